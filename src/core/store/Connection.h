#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "core/store/DbError.h"
#include "core/store/Engine.h"

struct sqlite3;
class RecordSet;

// The one database connection: an SQLCipher file opened with or without the file's password, or a
// PostgreSQL server. Callers use both alike; what only a file has (its password, a snapshot into a
// file, its folder) fails with Misuse on a server.
class Connection {
 public:
  enum class ShareMode { Default, Exclusive };

  Connection() = default;
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens an existing file. An empty password opens it as a plain SQLite file. The open is
  // checked by reading the file's catalogue: a file with some other password, a plain file
  // opened with a password, or a damaged file fail with DbError.
  // Without a password a file that carries one fails with the code WrongPassword.
  void open(const QString& path, const QString& password, ShareMode mode = ShareMode::Default);
  // Opens the file another open connection has open, with its password and normal sharing: a
  // second reader beside it.
  void openAlongside(const Connection& other) {
    open(other.path_, other.password_);
    dateFormat_ = other.dateFormat_;
  }
  // Creates a new, empty file with the password (fails when the file exists).
  void create(const QString& path, const QString& password);
  // Connects to a server by a libpq connection string or URI. It never carries a password: libpq
  // finds one in ~/.pgpass, a service file or the environment. A server that cannot be reached or
  // refuses the login fails with NotADatabase.
  void openServer(const QString& connection);
  // Closes the record sets open on this connection too: their statements would otherwise keep the
  // file open (and locked) after the close.
  void close();
  bool isOpen() const { return engine_ != nullptr; }
  bool isServer() const { return engine_ && engine_->kind() == Engine::Kind::Server; }
  const QString& path() const { return path_; }
  ShareMode mode() const { return mode_; }

  // Runs statements that return no rows, after the dialect translation. The password statement
  // "ALTER DATABASE PASSWORD new old;" (NULL for none) keys a plain file or changes the key; the
  // connection stays open on the file in its sharing mode.
  void execute(const QString& sql);
  void beginTransaction();
  void commit();
  void rollback();
  bool inTransaction() const;

  // Pattern of the record form's date fields; #date# literals are read in its order.
  void setDateDisplayFormat(const QString& f) { dateFormat_ = f; }
  const QString& dateDisplayFormat() const { return dateFormat_; }
  QString translate(const QString& sql) const;

  // Copies the open database, as one consistent state, into a new file keyed with password: under a
  // read transaction (which first rolls back a journal a killed writer left), through the engine's
  // online backup, or its export for a file without a password yet. The copy is removed on failure.
  // DbError's code tells a busy file (Busy, Locked), a page that does not read (Corrupt,
  // NotADatabase) and a copy that cannot be written (anything else).
  void snapshotInto(const QString& copy, const QString& password);
  // The database's own version number.
  int userVersion();
  // The key of the row this connection inserted last.
  qint64 lastInsertKey();

  // For a process that uses each connection from one thread at a time, called before the first: the
  // engine then locks nothing on each call of a connection, nor counts its memory.
  static void useEachFromOneThread();

  // For the store's own classes: the engine that runs the statements (open connections only), and
  // the file's handle (nullptr on a server).
  Engine& engine() const;
  sqlite3* handle() const { return db_; }
  [[noreturn]] void fail(int rc) const;
  // The failure for an engine result code, in words the user can act on: a write refused because
  // the file or its folder is read-only says so, naming it.
  DbError error(int rc, const QString& engineMessage = QString()) const;
  // Empty when changes can be saved; else why not ("The data folder ... cannot be written to:
  // changes cannot be saved."). The engine writes a journal beside the file, so the folder counts.
  QString writeProblem() const;

 private:
  friend class RecordSet;
  std::vector<RecordSet*> sets_;  // open record sets, registered by RecordSet::open

  void changePassword(const QString& newPassword, const QString& oldPassword);

  void requireFile(const char* what) const;

  std::unique_ptr<Engine> engine_;
  sqlite3* db_ = nullptr;
  QString path_;
  QString password_;
  ShareMode mode_ = ShareMode::Default;
  QString dateFormat_ = QStringLiteral("mm-dd-yyyy");
};

// The program's fixed database password.
inline constexpr const char* kDatabasePassword = "qzrpvn582";

// Gives a plain (unencrypted) database file the password, in place: the file is exported into a
// keyed copy beside it which then replaces it. The original stays untouched on any failure.
void encryptPlainFile(const QString& path, const QString& password);

// Whether a file can be made in a folder (tried, not guessed from permission bits).
bool folderWritable(const QString& folder);

// Opens the program's database the way the start-up does: a file that has no password yet gets
// it now and stays locked exclusively for this run; a file that has it opens with normal sharing.
// A writable file made by an earlier version is brought up to date (Schema::upgrade).
// Anything else (damaged file, some other password) fails with DbError and writes nothing.
// A folder with a zel.server (ServerFolder.h) opens its server instead, making the tables in an
// empty database. Returns true when the password was set by this open.
bool openProgramDatabase(Connection& cn, const QString& path);
