#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
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

  // Sends statements (one text, several apart by semicolons) whose answer no one waits for: it is
  // read and dropped before the connection's next request, whatever that answer is. A failure of
  // theirs is no one's; a connection lost on the way is reported by the next request, as it would
  // have been without them. Sent only on an idle connection outside a transaction, once at a time.
  // Counted as one round trip.
  void sendAside(const QByteArray& sql);

  // The times this connection has waited for the server's answer: a pipeline counts once.
  qint64 roundTrips() const { return trips_; }
  void countTrip() { ++trips_; }

  // For the store's server engine: the connection, with an answer sent aside read.
  pg_conn* handle() const {
    settle();
    return cn_;
  }
  // Before a request of the engine's own: as handle(), and where the connection broke while the
  // answer sent aside came, that failure is the request's, as it would have been without it.
  void ready() {
    settle();
    if (lost_) {
      const DbError e = *lost_;
      lost_.reset();
      throw e;
    }
  }
  // The failure a result reports, in the store's codes and the server's words. A change the
  // connection's role has no right to make (NoRight) says so plainly, naming the role.
  static DbError failure(const pg_result* result, const pg_conn* cn = nullptr);
  // "You may read these records but not change them: the server's role ... has no right to <what>."
  static QString noRightText(const pg_conn* cn, const QString& what);

 private:
  [[noreturn]] void fail(const QString& what) const;
  // Reads and drops the answer of what was sent aside, if any.
  void settle() const {
    if (aside_) dropAside();
  }
  void dropAside() const;
  pg_conn* cn_ = nullptr;
  qint64 trips_ = 0;
  mutable bool aside_ = false;           // an answer sent aside is not read yet
  mutable std::optional<DbError> lost_;  // the connection broke while it came
};
