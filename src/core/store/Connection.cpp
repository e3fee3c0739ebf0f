#include "core/store/Connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include "core/store/Dialect.h"
#include "core/store/RecordSet.h"
#include "core/store/Schema.h"
#include "core/store/ServerEngine.h"
#include "core/store/ServerFolder.h"
#include "core/store/ServerLock.h"
#include "core/store/SqliteEngine.h"
#include "core/store/TextFold.h"
#include "core/store/sqlite.h"

namespace {

void applyKey(sqlite3* db, const QString& password) {
  if (password.isEmpty()) return;
  QByteArray k = password.toUtf8();
  sqlite3_key(db, k.constData(), int(k.size()));
}

QString lastError(sqlite3* db, int rc) {
  if (db) return QString::fromUtf8(sqlite3_errmsg(db));
  return QString::fromUtf8(sqlite3_errstr(rc));
}

}  // namespace

Connection::~Connection() { close(); }

Engine& Connection::engine() const {
  if (!engine_) throw DbError(3704, QStringLiteral("Operation is not allowed when the object is closed."));
  return *engine_;
}

void Connection::requireFile(const char* what) const {
  if (isServer())
    throw DbError(DbError::Misuse, 0,
                  QStringLiteral("%1 is not done on a database server.").arg(QLatin1String(what)));
}

qint64 Connection::lastInsertKey() { return engine().lastInsertKey(); }

void Connection::fail(int rc) const { throw error(rc); }

int Connection::userVersion() {
  if (isServer()) return engine_->schemaVersion();
  sqlite3_stmt* st = nullptr;
  int rc = sqlite3_prepare_v2(db_, "PRAGMA main.user_version", -1, &st, nullptr);
  if (rc != SQLITE_OK) fail(rc);
  rc = sqlite3_step(st);
  const int version = rc == SQLITE_ROW ? sqlite3_column_int(st, 0) : 0;
  sqlite3_finalize(st);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail(rc);
  return version;
}

void Connection::snapshotInto(const QString& copy, const QString& password) {
  requireFile("A snapshot into a file");
  QFile::remove(copy);
  const auto failWith = [&](int rc, const QString& message) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_exec(db_, "DETACH DATABASE snapshot", nullptr, nullptr, nullptr);
    QFile::remove(copy);
    throw DbError(rc, message);
  };
  const bool keyed = !password_.isEmpty();
  int version = 0;
  if (!keyed) {
    version = userVersion();
    // The attached file must exist: it is opened with the main file's flags, which cannot create.
    QFile made(copy);
    if (!made.open(QIODevice::WriteOnly)) throw DbError(SQLITE_CANTOPEN, made.errorString());
    made.close();
    // Attached before the read transaction: the engine refuses it inside one.
    const QString attach = QStringLiteral("ATTACH DATABASE '%1' AS snapshot KEY '%2'")
                               .arg(Dialect::sqlQuote(copy), Dialect::sqlQuote(password));
    if (const int rc = sqlite3_exec(db_, attach.toUtf8().constData(), nullptr, nullptr, nullptr);
        rc != SQLITE_OK)
      failWith(rc, lastError(db_, rc));
  }
  // The first read takes the shared lock, rolling a hot journal back first; no writer can change the
  // file until the transaction ends.
  if (const int rc =
          sqlite3_exec(db_, "BEGIN; SELECT count(*) FROM main.sqlite_master;", nullptr, nullptr, nullptr);
      rc != SQLITE_OK)
    failWith(rc, lastError(db_, rc));

  if (!keyed) {
    const QByteArray exportSql =
        QStringLiteral("SELECT sqlcipher_export('snapshot'); PRAGMA snapshot.user_version=%1; COMMIT;")
            .arg(version)
            .toUtf8();
    if (const int rc = sqlite3_exec(db_, exportSql.constData(), nullptr, nullptr, nullptr); rc != SQLITE_OK)
      failWith(rc, lastError(db_, rc));
    sqlite3_exec(db_, "DETACH DATABASE snapshot", nullptr, nullptr, nullptr);
    return;
  }

  sqlite3* target = nullptr;
  int rc = sqlite3_open_v2(QFile::encodeName(copy).constData(), &target,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  QString problem;
  if (rc == SQLITE_OK) {
    const QByteArray key = password.toUtf8();
    sqlite3_key(target, key.constData(), int(key.size()));
    sqlite3_backup* b = sqlite3_backup_init(target, "main", db_, "main");
    if (!b) {
      rc = sqlite3_errcode(target);
      problem = QString::fromUtf8(sqlite3_errmsg(target));
    } else {
      rc = sqlite3_backup_step(b, -1);
      const int finish = sqlite3_backup_finish(b);
      if (rc == SQLITE_DONE) rc = finish;
      if (rc != SQLITE_OK)
        problem = QString::fromUtf8(finish != SQLITE_OK ? sqlite3_errmsg(target) : sqlite3_errstr(rc));
    }
  } else {
    problem = QString::fromUtf8(sqlite3_errstr(rc));
  }
  if (sqlite3_close(target) != SQLITE_OK && problem.isEmpty()) {
    rc = SQLITE_IOERR;
    problem = QStringLiteral("the copy stays open");
  }
  if (!problem.isEmpty()) failWith(rc, problem);
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Connection::useEachFromOneThread() {
  sqlite3_config(SQLITE_CONFIG_MULTITHREAD);
  sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
}

DbError Connection::error(int rc, const QString& engineMessage) const {
  const QString message = engineMessage.isEmpty() ? lastError(db_, rc) : engineMessage;
  // The engine blames "unable to open database file" when it cannot write its journal beside the
  // file: say what is really wrong.
  switch (rc & 0xFF) {
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_IOERR:
      if (const QString problem = writeProblem(); !problem.isEmpty()) return DbError(rc, problem);
      break;
    default:
      break;
  }
  return DbError(rc, message);
}

QString Connection::writeProblem() const {
  if (isServer()) return engine_->writeProblem();
  if (!db_) return {};
  if (sqlite3_db_readonly(db_, "main") == 1)
    return QStringLiteral("The database file %1 is read-only: changes cannot be saved.")
        .arg(QDir::toNativeSeparators(path_));
  const QString folder = QFileInfo(path_).absolutePath();
  if (!folderWritable(folder))
    return QStringLiteral("The data folder %1 cannot be written to: changes cannot be saved.")
        .arg(QDir::toNativeSeparators(folder));
  return {};
}

bool folderWritable(const QString& folder) {
  // Trying is the only sure test: permission bits say nothing of read-only mounts or of root.
  QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".zel-write-XXXXXX")));
  return probe.open();
}

namespace {

// The failure of an open: a file that is no database, opened without a password, is one that
// carries a password (the engine cannot tell the two apart).
DbError openFailure(int rc, const QString& engineMessage, bool withoutPassword) {
  if (rc == SQLITE_NOTADB && withoutPassword)
    return DbError(DbError::WrongPassword, rc, QStringLiteral("Not a valid password."));
  return DbError(rc, engineMessage.isEmpty() ? QString::fromUtf8(sqlite3_errstr(rc)) : engineMessage);
}

// Gives up a handle whose open failed, with the engine's words for it.
[[noreturn]] void closeAndThrow(sqlite3* db, int rc, bool withoutPassword = false) {
  const QString msg = lastError(db, rc);
  sqlite3_close(db);
  throw openFailure(rc, msg, withoutPassword);
}

}  // namespace

void Connection::open(const QString& path, const QString& password, ShareMode mode) {
  close();
  if (!QFileInfo(path).isFile())
    throw DbError(SQLITE_CANTOPEN, QStringLiteral("Could not find file '%1'.").arg(path));
  // The engine takes a file shorter than one page for a new, empty database, and would write its
  // tables into it; for us it is a damaged one, as is a plain file without the engine's header.
  constexpr qint64 kSmallestPage = 512;
  if (QFileInfo(path).size() < kSmallestPage) throw openFailure(SQLITE_NOTADB, {}, password.isEmpty());
  if (password.isEmpty()) {
    QFile f(path);
    if (f.open(QIODevice::ReadOnly) && f.read(16) != QByteArray("SQLite format 3\0", 16))
      throw openFailure(SQLITE_NOTADB, {}, password.isEmpty());
  }
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) closeAndThrow(db, rc);
  sqlite3_busy_timeout(db, 2000);
  TextFold::install(db);
  applyKey(db, password);
  // Keying always succeeds; the first read tells whether the key (or its absence) fits.
  rc = sqlite3_exec(db, "select count(*) from sqlite_master", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) closeAndThrow(db, rc, password.isEmpty());
  const char* setup = mode == ShareMode::Exclusive
                          ? "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA cache_size=-32768; "
                            "PRAGMA locking_mode=EXCLUSIVE;"
                            " BEGIN EXCLUSIVE; COMMIT;"
                          : "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA cache_size=-32768;";
  rc = sqlite3_exec(db, setup, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) closeAndThrow(db, rc);
  db_ = db;
  path_ = path;
  mode_ = mode;
  password_ = password;
  engine_ = std::make_unique<SqliteEngine>(*this);
}

void Connection::openServer(const QString& connection) {
  close();
  engine_ = std::make_unique<ServerEngine>(connection);
  path_.clear();
  password_.clear();
}

void Connection::create(const QString& path, const QString& password) {
  close();
  if (QFileInfo::exists(path))
    throw DbError(SQLITE_CANTOPEN, QStringLiteral("The file '%1' already exists.").arg(path));
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) closeAndThrow(db, rc);
  TextFold::install(db);
  applyKey(db, password);
  rc = sqlite3_exec(db,
                    "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA cache_size=-32768;"
                    " select count(*) from sqlite_master",
                    nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) closeAndThrow(db, rc);
  db_ = db;
  path_ = path;
  mode_ = ShareMode::Default;
  password_ = password;
  engine_ = std::make_unique<SqliteEngine>(*this);
}

void Connection::close() {
  for (RecordSet* rs : std::vector<RecordSet*>(sets_)) rs->close();
  sets_.clear();
  engine_.reset();
  if (!db_) return;
  sqlite3_close_v2(db_);
  db_ = nullptr;
  mode_ = ShareMode::Default;
}

QString Connection::translate(const QString& sql) const {
  return engine_ ? engine_->translate(sql, dateFormat_) : Dialect::translate(sql, dateFormat_);
}

void Connection::execute(const QString& sql) {
  Engine& engine = this->engine();
  static const QRegularExpression alter(
      QStringLiteral("^\\s*alter\\s+database\\s+password\\s+([^\\s;]+)\\s+([^\\s;]+)\\s*;?\\s*$"),
      QRegularExpression::CaseInsensitiveOption);
  if (auto m = alter.match(sql); m.hasMatch()) {
    auto word = [&](int i) {
      QString w = m.captured(i);
      return w.compare(QLatin1String("NULL"), Qt::CaseInsensitive) == 0 ? QString() : w;
    };
    requireFile("A database password");
    changePassword(word(1), word(2));
    return;
  }
  engine.execute(translate(sql));
}

void Connection::changePassword(const QString& newPassword, const QString& oldPassword) {
  if (oldPassword != password_)
    throw DbError(DbError::WrongPassword, SQLITE_AUTH, QStringLiteral("Not a valid password."));
  if (newPassword == oldPassword) return;
  if (newPassword.isEmpty())
    throw DbError(SQLITE_MISUSE, QStringLiteral("Removing the database password is not supported."));
  if (inTransaction()) throw DbError(SQLITE_BUSY, QStringLiteral("The database is in a transaction."));
  const QString path = path_;
  const ShareMode mode = mode_;
  if (oldPassword.isEmpty()) {
    // A plain file is keyed into a copy that replaces it, with the connection closed meanwhile.
    close();
    encryptPlainFile(path, newPassword);
    open(path, newPassword, mode);
    return;
  }
  const QString rekey = QStringLiteral("PRAGMA rekey='%1'").arg(Dialect::sqlQuote(newPassword));
  int rc = sqlite3_exec(db_, rekey.toUtf8().constData(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fail(rc);
  // The rekey reports success even when it did nothing: check by opening with the new key.
  close();
  open(path, newPassword, mode);
}

void Connection::beginTransaction() { engine().beginTransaction(); }
void Connection::commit() { engine().commit(); }
void Connection::rollback() {
  if (engine_) engine_->rollback();
}
bool Connection::inTransaction() const { return engine_ && engine_->inTransaction(); }

void encryptPlainFile(const QString& path, const QString& password) {
  const QString tmp = path + QStringLiteral(".keying");
  QFile::remove(tmp);
  sqlite3* db = nullptr;
  auto fail = [&](int rc) {
    QString msg = lastError(db, rc);
    sqlite3_close(db);
    QFile::remove(tmp);
    throw DbError(rc, msg);
  };
  if (!QFileInfo(path).isFile())
    throw DbError(SQLITE_CANTOPEN, QStringLiteral("Could not find file '%1'.").arg(path));
  // ATTACH opens with the main file's flags: without CREATE it cannot make the keyed copy.
  int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) fail(rc);
  // The export builds the copy's indexes: under the same collation as every other connection.
  TextFold::install(db);
  int userVersion = 0;
  {
    sqlite3_stmt* st = nullptr;
    rc = sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr);
    if (rc != SQLITE_OK) fail(rc);
    if (sqlite3_step(st) == SQLITE_ROW) userVersion = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
  }
  QString quotedTmp = Dialect::sqlQuote(tmp);
  QString attach = QStringLiteral(
                       "ATTACH DATABASE '%1' AS encrypted KEY '%2'; SELECT sqlcipher_export('encrypted');"
                       " PRAGMA encrypted.user_version=%3; DETACH DATABASE encrypted;")
                       .arg(quotedTmp, Dialect::sqlQuote(password))
                       .arg(userVersion);
  rc = sqlite3_exec(db, attach.toUtf8().constData(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fail(rc);
  sqlite3_close(db);
  db = nullptr;
  // Check the keyed copy before it replaces the original.
  try {
    Connection check;
    check.open(tmp, password);
  } catch (const DbError&) {
    QFile::remove(tmp);
    throw;
  }
  if (::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(path).constData()) != 0) {
    QFile::remove(tmp);
    throw DbError(SQLITE_IOERR, QStringLiteral("Could not replace '%1'.").arg(path));
  }
}

bool openProgramDatabase(Connection& cn, const QString& path) {
  if (const QString server = serverOfFolder(QFileInfo(path).absolutePath()); !server.isEmpty()) {
    cn.openServer(server);
    // In place of the folder's lock file: every program and command on the records holds this.
    ServerLock::holdShared(cn);
    if (!Schema::isComplete(cn))
      Schema::create(cn);
    else if (!cn.engine().hasTable(QStringLiteral("zelmaps")))
      cn.engine().execute(QString::fromLatin1(Schema::kServerMapsTable));
    return false;
  }
  bool keyed = false;
  try {
    cn.open(path, QString());
    keyed = true;
  } catch (const DbError& e) {
    if (e.code() != DbError::WrongPassword) throw;
    cn.open(path, QString::fromLatin1(kDatabasePassword));
  }
  if (keyed) {
    // The file has no password yet: give it one. It is shared as on any later start, so that the
    // command line can read it beside this run.
    cn.close();
    encryptPlainFile(path, QString::fromLatin1(kDatabasePassword));
    cn.open(path, QString::fromLatin1(kDatabasePassword));
  }
  // A file that cannot be written keeps its old indexes; the start-up says it cannot be changed.
  if (cn.writeProblem().isEmpty()) Schema::upgrade(cn);
  return keyed;
}
