#include "core/store/ServerLock.h"

#include <QThread>
#include <algorithm>

#include "core/store/Connection.h"
#include "core/store/Statement.h"

namespace ServerLock {

namespace {

// The keys, within the database: the advisory locks of one database never meet another's.
constexpr const char* kDataSet = "7021";
constexpr const char* kChanges = "7022";

qint64 scalar(Connection& cn, const QByteArray& sql) {
  Statement st(cn, sql);
  return st.next() ? st.int64(0) : 0;
}

}  // namespace

void holdShared(Connection& cn) {
  if (cn.isServer() && !scalar(cn, QByteArray("select pg_try_advisory_lock_shared(") + kDataSet + ")::int"))
    throw DbError(DbError::Busy, 0,
                  QStringLiteral("Another clerk has the records alone now (an import that empties them, or a "
                                 "restore). Try again when it has finished."));
}

int othersConnected(Connection& cn) {
  if (!cn.isServer()) return 0;
  return int(scalar(cn, QByteArray("select count(distinct pid) from pg_locks where locktype = 'advisory' and "
                                   "granted and classid = 0 and objsubid = 1 and objid = ") +
                            kDataSet +
                            " and pid <> pg_backend_pid() and database = (select oid from pg_database "
                            "where datname = current_database())"));
}

int tryExclusive(Connection& cn) {
  if (!cn.isServer()) return 0;
  // A program closed a moment ago lets go of its lock only when its server process has ended: a
  // clerk who has just been asked to close is given a second before the refusal.
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (scalar(cn, QByteArray("select pg_try_advisory_lock(") + kDataSet + ")::int")) return 0;
    if (attempt < 9) QThread::msleep(100);
  }
  // Held by someone who may have gone meanwhile: never report none.
  return std::max(1, othersConnected(cn));
}

void releaseExclusive(Connection& cn) {
  if (cn.isServer() && cn.isOpen())
    scalar(cn, QByteArray("select pg_advisory_unlock(") + kDataSet + ")::int");
}

QString othersText(int others) {
  return others == 1 ? QStringLiteral("another clerk is connected to these records")
                     : QStringLiteral("%1 other clerks are connected to these records").arg(others);
}

void serializeChanges(Connection& cn) {
  if (cn.isServer()) scalar(cn, QByteArray("select pg_advisory_xact_lock(") + kChanges + ")");
}

Alone::Alone(Connection& cn, const QString& command) : cn_(cn) {
  if (const int others = tryExclusive(cn))
    throw DbError(
        DbError::Busy, 0,
        QStringLiteral("%1 needs the records alone, but %2. Ask them to close the program, then try "
                       "again. Nothing was changed.")
            .arg(command, othersText(others)));
}

Alone::~Alone() {
  try {
    releaseExclusive(cn_);
  } catch (const DbError&) {
    // A connection lost lets go of its locks.
  }
}

}  // namespace ServerLock
