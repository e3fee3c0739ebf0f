#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "core/store/DbError.h"
#include "core/store/Value.h"

struct pg_conn;
struct pg_result;

// A connection to a PostgreSQL server through libpq. Connection strings never carry a password: it
// comes from libpq's own means (~/.pgpass, a service file, the environment). Failures throw
// DbError with the store's codes: a server that cannot be reached or refuses the login is
// NotADatabase, a conflicting writer Busy, a lock not granted Locked, a full disk Full, damage
// Corrupt, anything else Error; the description is the server's own message.
class ServerLink {
 public:
  struct Rows {
    QStringList columns;
    std::vector<std::vector<Value>> rows;
  };

  ServerLink() = default;
  ~ServerLink();
  ServerLink(const ServerLink&) = delete;
  ServerLink& operator=(const ServerLink&) = delete;

  void open(const QString& connection);
  void close();
  bool isOpen() const { return cn_ != nullptr; }

  // Runs statements that return no rows (several may be separated by semicolons).
  void execute(const QString& sql);
  // Runs one statement with $1, $2 ... bound to params, sent apart from the SQL text. Columns are
  // read by their type: integers, floating point and numeric, text, dates and timestamps, booleans
  // (as 0 and 1); NULL is Null.
  Rows query(const QString& sql, const std::vector<Value>& params = {});

  // Sends each request (a libpq PQsend... call) followed by a sync, all at once, and returns each
  // one's last result (null where the connection failed): one wait for the server however many
  // there are. Each request runs, or fails, as it would on its own.
  using Send = std::function<int(pg_conn*)>;
  using Answer = std::unique_ptr<pg_result, void (*)(pg_result*)>;
  std::vector<Answer> pipeline(const std::vector<Send>& sends);

  // The times this connection has waited for the server's answer: a pipeline counts once.
  qint64 roundTrips() const { return trips_; }
  void countTrip() { ++trips_; }

  // For the store's server engine.
  pg_conn* handle() const { return cn_; }
  // The failure a result reports, in the store's codes and the server's words. A change the
  // connection's role has no right to make (NoRight) says so plainly, naming the role.
  static DbError failure(const pg_result* result, const pg_conn* cn = nullptr);
  // "You may read these records but not change them: the server's role ... has no right to <what>."
  static QString noRightText(const pg_conn* cn, const QString& what);

 private:
  [[noreturn]] void fail(const QString& what) const;
  pg_conn* cn_ = nullptr;
  qint64 trips_ = 0;
};
