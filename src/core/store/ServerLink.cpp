#include "core/store/ServerLink.h"

#include <QDateTime>
#include <memory>

#include "core/store/DateValue.h"
#include "core/store/ServerTypes.h"

using namespace ServerTypes;

namespace {

// The store's code for a server's SQLSTATE.
int codeFor(const char* state) {
  const QByteArray s(state ? state : "");
  if (s == "40001" || s == "40P01") return DbError::Busy;    // serialization failure, deadlock
  if (s == "55P03" || s == "57014") return DbError::Locked;  // lock not available, statement timeout
  if (s == "53100") return DbError::Full;
  if (s == "XX001" || s == "XX002") return DbError::Corrupt;
  if (s.startsWith("08") || s.startsWith("28") || s == "3D000") return DbError::NotADatabase;
  return DbError::Error;
}

Value cell(const PGresult* r, int row, int col) {
  if (PQgetisnull(r, row, col)) return Value();
  const char* text = PQgetvalue(r, row, col);
  const QByteArray bytes(text, PQgetlength(r, row, col));
  switch (PQftype(r, col)) {
    case kBool:
      return Value(qint64(bytes == "t"));
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
      return Value(bytes.toLongLong());
    case kFloat4:
    case kFloat8:
    case kNumeric:
      return Value(bytes.toDouble());
    case kDate:
      return Value(QDate::fromString(QString::fromLatin1(bytes), Qt::ISODate));
    case kTimestamp:
    case kTimestampTz: {
      bool hasTime = false;
      const QDateTime dt = DateValue::fromIso(QString::fromLatin1(bytes.left(19)), &hasTime);
      return Value(dt, hasTime);
    }
    default:
      return Value(QString::fromUtf8(bytes));
  }
}

}  // namespace

ServerLink::~ServerLink() { close(); }

void ServerLink::open(const QString& connection) {
  close();
  cn_ = PQconnectdb(connection.toUtf8().constData());
  if (PQstatus(cn_) == CONNECTION_OK) {
    // Texts travel as UTF-8 whatever the server's or the client's locale.
    if (PQsetClientEncoding(cn_, "UTF8") == 0) return;
  }
  const DbError e(DbError::NotADatabase, QStringLiteral("The database server could not be reached: %1")
                                             .arg(QString::fromUtf8(PQerrorMessage(cn_)).trimmed()));
  close();
  throw e;
}

void ServerLink::close() {
  // An answer still on its way is left to the server: it ends the statement when it finds the
  // connection gone.
  if (cn_) PQfinish(cn_);
  cn_ = nullptr;
  aside_ = false;
  lost_.reset();
}

void ServerLink::sendAside(const QByteArray& sql) {
  settle();
  if (!cn_ || PQstatus(cn_) != CONNECTION_OK || PQtransactionStatus(cn_) != PQTRANS_IDLE) return;
  aside_ = PQsendQuery(cn_, sql.constData()) == 1;
  if (aside_) ++trips_;
}

void ServerLink::dropAside() const {
  aside_ = false;
  // Every result up to the end of the text: a statement that failed ends it early. A connection that
  // broke meanwhile gives its failure here; it is kept for the next request.
  while (PGresult* r = PQgetResult(cn_)) {
    const Result result(r);
    if (PQstatus(cn_) == CONNECTION_BAD && !lost_ && PQresultStatus(r) == PGRES_FATAL_ERROR)
      lost_ = failure(r, cn_);
  }
}

void ServerLink::fail(const QString& what) const { throw DbError(DbError::Error, what); }

void ServerLink::execute(const QString& sql) {
  if (!cn_) fail(QStringLiteral("The database server is not connected."));
  ready();
  ++trips_;
  Result r(PQexec(cn_, sql.toUtf8().constData()));
  const ExecStatusType st = PQresultStatus(r.get());
  if (st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK) return;
  throw failure(r.get(), cn_);
}

DbError ServerLink::failure(const pg_result* result, const pg_conn* cn) {
  if (!result)
    return DbError(DbError::NotADatabase, QStringLiteral("The database server connection was lost."));
  // The server's own sentence, without its "ERROR:" and the lines of context after it.
  const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
  if (qstrcmp(PQresultErrorField(result, PG_DIAG_SQLSTATE), "42501") == 0) {
    // "permission denied for table zel": what was refused is named by the table.
    QString what = QString::fromUtf8(primary ? primary : "");
    const qsizetype at = what.indexOf(QLatin1String(" for "));
    what = at >= 0 ? QStringLiteral("change the %1").arg(what.mid(at + 5)) : QStringLiteral("change them");
    return DbError(DbError::NoRight, 0, noRightText(cn, what));
  }
  return DbError(codeFor(PQresultErrorField(result, PG_DIAG_SQLSTATE)),
                 QString::fromUtf8(primary ? primary : PQresultErrorMessage(result)).trimmed());
}

QString ServerLink::noRightText(const pg_conn* cn, const QString& what) {
  return QStringLiteral(
             "You may read these records but not change them: the server's role \"%1\" has no right to %2.")
      .arg(cn ? QString::fromUtf8(PQuser(cn)) : QString(), what);
}

ServerLink::Rows ServerLink::query(const QString& sql, const std::vector<Value>& params) {
  if (!cn_) fail(QStringLiteral("The database server is not connected."));
  ready();
  std::vector<QByteArray> held;
  held.reserve(params.size());
  std::vector<const char*> values;
  for (const Value& v : params) {
    if (v.isNull()) {
      values.push_back(nullptr);
      continue;
    }
    held.push_back((v.isDate() ? DateValue::toIso(v.toDateTime(), v.hasTime()) : v.toString()).toUtf8());
    values.push_back(held.back().constData());
  }
  ++trips_;
  Result r(PQexecParams(cn_, sql.toUtf8().constData(), int(values.size()), nullptr, values.data(), nullptr,
                        nullptr, 0));
  const ExecStatusType st = PQresultStatus(r.get());
  if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) throw failure(r.get(), cn_);
  Rows out;
  const int cols = PQnfields(r.get());
  for (int c = 0; c < cols; ++c) out.columns << QString::fromUtf8(PQfname(r.get(), c));
  const int rows = PQntuples(r.get());
  out.rows.reserve(size_t(rows));
  for (int i = 0; i < rows; ++i) {
    std::vector<Value> row;
    row.reserve(size_t(cols));
    for (int c = 0; c < cols; ++c) row.push_back(cell(r.get(), i, c));
    out.rows.push_back(std::move(row));
  }
  return out;
}

std::vector<ServerLink::Answer> ServerLink::pipeline(const std::vector<Send>& sends) {
  if (!cn_) fail(QStringLiteral("The database server is not connected."));
  ready();
  std::vector<Answer> out;
  if (PQenterPipelineMode(cn_) != 1) throw failure(nullptr);
  ++trips_;
  size_t sent = 0;
  for (const Send& send : sends) {
    if (send(cn_) != 1 || PQpipelineSync(cn_) != 1) break;
    ++sent;
  }
  for (size_t i = 0; i < sent; ++i) {
    // A request's results end with a null; its sync follows.
    PGresult* last = nullptr;
    while (PGresult* r = PQgetResult(cn_)) {
      PQclear(last);
      last = r;
    }
    out.emplace_back(last, PQclear);
    Result sync(PQgetResult(cn_));
    if (PQresultStatus(sync.get()) != PGRES_PIPELINE_SYNC) break;
  }
  // A connection lost on the way leaves no pipeline to end: the requests not answered fail.
  PQexitPipelineMode(cn_);
  while (out.size() < sends.size()) out.emplace_back(nullptr, PQclear);
  return out;
}
