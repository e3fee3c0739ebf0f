#include "core/store/ServerEngine.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <charconv>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/store/Connection.h"
#include "core/store/Dialect.h"
#include "core/store/ServerFolder.h"
#include "core/store/ServerLink.h"
#include "core/store/ServerTypes.h"

using namespace ServerTypes;

namespace {

Result checked(PGresult* r, const pg_conn* cn) {
  Result result(r);
  const ExecStatusType st = PQresultStatus(r);
  if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) throw ServerLink::failure(r, cn);
  return result;
}

// The SQL with its "?" parameters numbered as the server writes them ($1, $2 ...); quoted texts,
// quoted names and comments are left as they are.
QByteArray numberParameters(QByteArrayView sql, int* count) {
  QByteArray out;
  out.reserve(sql.size() + 16);
  int n = 0;
  for (qsizetype i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      qsizetype j = i + 1;
      while (j < sql.size() && sql[j] != c) ++j;
      out.append(sql.sliced(i, std::min(j + 1, sql.size()) - i));
      i = j;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      qsizetype j = i;
      while (j < sql.size() && sql[j] != '\n') ++j;
      out.append(sql.sliced(i, j - i));
      i = j - 1;
    } else if (c == '?') {
      out.append('$').append(QByteArray::number(++n));
    } else {
      out.append(c);
    }
  }
  *count = n;
  return out;
}

// A numeric's text as a whole number ("1500", "-2.000"): money and its sums, which the file holds
// as integers.
std::optional<qint64> wholeNumber(QByteArrayView text) {
  const qsizetype point = text.indexOf('.');
  if (point >= 0)
    for (char c : text.sliced(point + 1))
      if (c != '0') return std::nullopt;
  const char* const end = text.data() + (point >= 0 ? point : text.size());
  qint64 v = 0;
  const auto r = std::from_chars(text.data(), end, v);
  if (r.ec != std::errc() || r.ptr != end) return std::nullopt;
  return v;
}

// A value that is not Null as the file would hold it, by the server's type of its column.
ColumnType typeOf(Oid type, QByteArrayView text) {
  switch (type) {
    case kBool:
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
      return ColumnType::Integer;
    case kFloat4:
    case kFloat8:
      return ColumnType::Real;
    case kNumeric:
      return wholeNumber(text) ? ColumnType::Integer : ColumnType::Real;
    case kBytea:
      return ColumnType::Blob;
    default:
      return ColumnType::Text;
  }
}

qint64 int64Of(Oid type, QByteArrayView text) {
  if (type == kBool) return text == "t";
  if (const std::optional<qint64> v = wholeNumber(text)) return *v;
  return qint64(text.toByteArray().toDouble());
}

double realOf(QByteArrayView text) { return text.toByteArray().toDouble(); }

// The catalogue's questions about a table, by its name's text (keyColumn) or its number
// (declaredType): the table as a parameter, or as a literal for a warm-up.
QString keyColumnQuery(const QString& tableName) {
  return QStringLiteral(
             "select a.attname, format_type(a.atttypid, a.atttypmod), array_length(i.indkey, 1) "
             "from pg_index i join pg_attribute a on a.attrelid = i.indrelid and a.attnum = i.indkey[0] "
             "where i.indrelid = to_regclass(%1) and i.indisprimary")
      .arg(tableName);
}
QString columnTypesQuery(const QString& tableNumber) {
  return QStringLiteral(
             "select attnum, format_type(atttypid, atttypmod) from pg_attribute "
             "where attrelid = %1 and attnum > 0 and not attisdropped")
      .arg(tableNumber);
}

// A bytea comes as text in the server's hex form ("\\x0a1b").
QByteArray bytesOf(QByteArrayView text) {
  return QByteArray::fromHex(text.startsWith("\\x") ? text.sliced(2).toByteArray() : text.toByteArray());
}

// A value of a row of a result in text form, as the file would hold it.
QByteArrayView textAt(const PGresult* r, int row, int col) {
  return QByteArrayView(PQgetvalue(r, row, col), PQgetlength(r, row, col));
}
ColumnType typeAt(const PGresult* r, int row, int col) {
  if (PQgetisnull(r, row, col)) return ColumnType::Null;
  return typeOf(PQftype(r, col), textAt(r, row, col));
}
qint64 int64At(const PGresult* r, int row, int col) { return int64Of(PQftype(r, col), textAt(r, row, col)); }
// A bytea decoded once per row and column into blobs (cleared on every step): the bytes of each
// column stay valid until the next step, as a bound value may need.
QByteArrayView blobAt(const PGresult* r, int row, int col, std::map<int, QByteArray>& blobs) {
  if (PQgetisnull(r, row, col)) return {};
  if (PQftype(r, col) != kBytea) return textAt(r, row, col);
  auto it = blobs.find(col);
  if (it == blobs.end()) it = blobs.emplace(col, bytesOf(textAt(r, row, col))).first;
  return it->second;
}

}  // namespace

// Statements the server has prepared, kept by their SQL once the statement that used one is gone:
// the record form opens the same few statements again on every move, and preparing one costs two
// round trips (prepare, describe) and dropping it a third. A change of the tables drops them all.
class ServerEngine::Prepared {
 public:
  struct Entry {
    QByteArray name;
    PGresult* description = nullptr;  // owned
  };
  ~Prepared() {
    for (auto& [sql, e] : idle_) PQclear(e.description);
  }
  // Statements prepared before the last change of the tables are not kept.
  int generation() const { return generation_; }
  std::optional<Entry> take(const QByteArray& sql) {
    const auto it = idle_.find(sql.toStdString());
    if (it == idle_.end()) return std::nullopt;
    Entry e = it->second;
    idle_.erase(it);
    return e;
  }
  void give(const QByteArray& sql, Entry e, int generation, ServerLink& link) {
    if (idle_.size() < kKept && generation == generation_) {
      idle_.emplace(sql.toStdString(), e);
      return;
    }
    PQclear(e.description);
    if (PQtransactionStatus(link.handle()) != PQTRANS_INERROR) {
      link.countTrip();
      PQclear(PQexec(link.handle(), ("DEALLOCATE " + e.name).constData()));
    }
  }
  void clear(ServerLink& link) {
    pg_conn* cn = link.handle();
    ++generation_;
    QByteArray drop;
    for (const auto& [sql, e] : idle_) {
      drop += "DEALLOCATE " + e.name + ";";
      PQclear(e.description);
    }
    idle_.clear();
    // In a failed transaction the names stay taken until the connection closes: they are never used
    // again.
    if (!drop.isEmpty() && PQtransactionStatus(cn) != PQTRANS_INERROR) {
      link.countTrip();
      PQclear(PQexec(cn, drop.constData()));
    }
  }

 private:
  static constexpr size_t kKept = 64;
  std::unordered_multimap<std::string, Entry> idle_;
  int generation_ = 0;
};

namespace {

// The values of a row of a result read whole, as the server's text gives them: what a prepared
// statement and a cursor's batches are read by.
class ResultRows : public EngineStatement {
 public:
  int columnCount() const override { return PQnfields(description_.get()); }
  const char* columnName(int col) const override { return PQfname(description_.get(), col); }
  const char* declaredType(int col) const override {
    const Oid table = PQftable(description_.get(), col);
    if (table == InvalidOid) return nullptr;
    return engine_.declaredType(table, PQftablecol(description_.get(), col));
  }
  ColumnType type(int col) const override { return typeAt(result_.get(), row_, col); }
  qint64 int64(int col) const override { return int64At(result_.get(), row_, col); }
  double real(int col) const override { return realOf(text(col)); }
  QByteArrayView text(int col) const override { return textAt(result_.get(), row_, col); }
  QByteArrayView blob(int col) const override { return blobAt(result_.get(), row_, col, blobs_); }

 protected:
  pg_conn* cn() const { return link_->handle(); }
  ResultRows(ServerEngine& engine, std::shared_ptr<ServerLink> link)
      : engine_(engine), link_(std::move(link)) {}

  ServerEngine& engine_;
  std::shared_ptr<ServerLink> link_;
  Result description_;
  Result result_;
  int row_ = 0;
  mutable std::map<int, QByteArray> blobs_;
};

class ServerStatement final : public ResultRows {
 public:
  ServerStatement(ServerEngine& engine, std::shared_ptr<ServerLink> link,
                  std::shared_ptr<ServerEngine::Prepared> prepared, QByteArrayView sql, int number)
      : ResultRows(engine, std::move(link)),
        pool_(std::move(prepared)),
        sql_(sql.toByteArray()),
        generation_(pool_->generation()) {
    if (std::optional<ServerEngine::Prepared::Entry> e = pool_->take(sql_)) {
      name_ = std::move(e->name);
      description_.reset(e->description);
    } else {
      name_ = "zel_s" + QByteArray::number(number);
      int count = 0;
      const QByteArray text = numberParameters(sql, &count);
      // Prepared and described in one wait.
      std::vector<ServerLink::Answer> answers = link_->pipeline(
          {[&](pg_conn* c) { return PQsendPrepare(c, name_.constData(), text.constData(), count, nullptr); },
           [&](pg_conn* c) { return PQsendDescribePrepared(c, name_.constData()); }});
      checked(answers[0].release(), cn());
      description_ = checked(answers[1].release(), cn());
    }
    prepared_ = true;
    params_.resize(size_t(PQnparams(description_.get())));
    formats_.assign(params_.size(), 0);
  }
  ~ServerStatement() override {
    if (prepared_ && PQstatus(cn()) == CONNECTION_OK)
      pool_->give(sql_, {name_, description_.release()}, generation_, *link_);
  }

  bool step() override {
    if (!result_ || ran_) {
      if (!ran_) {
        link_->ready();
        link_->countTrip();
        const Bindings b = bindings();
        result_.reset(PQexecPrepared(cn(), name_.constData(), int(b.values.size()), b.values.data(),
                                     b.lengths.data(), formats_.data(), 0));
      }
      ran_ = false;
      result_ = checked(result_.release(), cn());
      row_ = 0;
    } else if (row_ < PQntuples(result_.get())) {
      ++row_;
    }
    blobs_.clear();
    return row_ < PQntuples(result_.get());
  }
  void reset() override {
    result_.reset();
    ran_ = false;
    blobs_.clear();
  }
  // Sends the statement with its bindings, for a pipeline.
  int send(pg_conn* c) const {
    const Bindings b = bindings();
    return PQsendQueryPrepared(c, name_.constData(), int(b.values.size()), b.values.data(), b.lengths.data(),
                               formats_.data(), 0);
  }
  // The answer of a run along with others: the next step() reads it as its own (or fails with it).
  void ran(ServerLink::Answer answer) {
    result_.reset(answer.release());
    ran_ = true;
    blobs_.clear();
  }

  void bindNull(int pos) override { param(pos).reset(); }
  void bindInt(int pos, qint64 v) override { param(pos) = QByteArray::number(v); }
  void bindReal(int pos, double v) override { param(pos) = QByteArray::number(v, 'g', 17); }
  void bindText(int pos, QByteArrayView utf8, bool) override { param(pos) = utf8.toByteArray(); }
  // Sent as binary: a bytea parameter takes the bytes as they are, with no escaping.
  void bindBlob(int pos, QByteArrayView bytes, bool) override { param(pos, 1) = bytes.toByteArray(); }

 private:
  struct Bindings {
    std::vector<const char*> values;
    std::vector<int> lengths;
  };
  Bindings bindings() const {
    Bindings b;
    b.values.reserve(params_.size());
    b.lengths.reserve(params_.size());
    for (const auto& p : params_) {
      b.values.push_back(p ? p->constData() : nullptr);
      b.lengths.push_back(p ? int(p->size()) : 0);
    }
    return b;
  }
  std::optional<QByteArray>& param(int pos, int format = 0) {
    if (pos < 1 || pos > int(params_.size()))
      throw DbError(DbError::Misuse, QStringLiteral("There is no parameter %1.").arg(pos));
    formats_[size_t(pos - 1)] = format;
    return params_[size_t(pos - 1)];
  }

  std::shared_ptr<ServerEngine::Prepared> pool_;
  QByteArray sql_;
  int generation_;
  QByteArray name_;
  bool prepared_ = false;
  bool ran_ = false;  // result_ is an answer not read yet (or null for a lost connection)
  std::vector<std::optional<QByteArray>> params_;
  std::vector<int> formats_;  // 0 text, 1 binary, per parameter
};

// The rows of one query as COPY writes them in its text form: a line per row, the columns apart by
// tabs, Null as \N, and a backslash before a tab, a line end or a backslash within a value. The
// server makes each value with the same output function as a result's, so that the values read the
// same as ServerStatement's; only a line is held at a time.
class ServerStream final : public EngineStatement {
 public:
  ServerStream(ServerEngine& engine, std::shared_ptr<ServerLink> link, QByteArrayView sql)
      : link_(std::move(link)), sql_(sql.toByteArray()) {
    int count = 0;
    numberParameters(sql, &count);
    if (count > 0) noParameters();
    link_->ready();
    // The columns' names and types from the query described (it does not run).
    checked(PQprepare(cn(), "", sql_.constData(), 0, nullptr), cn());
    description_ = checked(PQdescribePrepared(cn(), ""), cn());
    columns_ = PQnfields(description_.get());
    // Asked now: the catalogue cannot be read while the rows come.
    for (int c = 0; c < columns_; ++c) {
      const Oid table = PQftable(description_.get(), c);
      declared_.push_back(
          table == InvalidOid ? nullptr : engine.declaredType(table, PQftablecol(description_.get(), c)));
    }
  }
  ~ServerStream() override { stop(); }

  bool step() override {
    if (done_) return false;
    if (!copying_) {
      const Result started(PQexec(cn(), "COPY (" + sql_ + ") TO STDOUT"));
      if (PQresultStatus(started.get()) != PGRES_COPY_OUT) throw ServerLink::failure(started.get(), cn());
      copying_ = true;
    }
    freeLine();
    const int n = PQgetCopyData(cn(), &line_, 0);
    if (n > 0) {
      split(n);
      return true;
    }
    copying_ = false;
    done_ = true;
    finish(n == -2);
    return false;
  }
  void reset() override {
    stop();
    done_ = false;
  }

  void bindNull(int) override { noParameters(); }
  void bindInt(int, qint64) override { noParameters(); }
  void bindReal(int, double) override { noParameters(); }
  void bindText(int, QByteArrayView, bool) override { noParameters(); }
  void bindBlob(int, QByteArrayView, bool) override { noParameters(); }

  int columnCount() const override { return columns_; }
  const char* columnName(int col) const override { return PQfname(description_.get(), col); }
  const char* declaredType(int col) const override { return declared_.at(size_t(col)); }
  ColumnType type(int col) const override {
    if (fields_[size_t(col)].size < 0) return ColumnType::Null;
    return typeOf(PQftype(description_.get(), col), text(col));
  }
  qint64 int64(int col) const override { return int64Of(PQftype(description_.get(), col), text(col)); }
  double real(int col) const override { return realOf(text(col)); }
  QByteArrayView text(int col) const override {
    const Field& f = fields_[size_t(col)];
    return f.size < 0 ? QByteArrayView() : QByteArrayView(f.data, f.size);
  }
  QByteArrayView blob(int col) const override {
    if (PQftype(description_.get(), col) != kBytea) return text(col);
    blob_ = bytesOf(text(col));
    return blob_;
  }

 private:
  struct Field {
    const char* data;
    qsizetype size;  // -1 for Null
  };

  pg_conn* cn() const { return link_->handle(); }
  [[noreturn]] static void noParameters() {
    throw DbError(DbError::Misuse, QStringLiteral("A statement read as a stream takes no parameters."));
  }
  void freeLine() {
    if (line_) PQfreemem(line_);
    line_ = nullptr;
  }

  // The line's values, each unescaped where it stands (never longer than its text).
  void split(int n) {
    char* end = line_ + n;
    if (end[-1] == '\n') --end;
    fields_.clear();
    for (char* p = line_;;) {
      char* tab = static_cast<char*>(std::memchr(p, '\t', size_t(end - p)));
      if (!tab) tab = end;
      fields_.push_back(field(p, tab));
      if (tab == end) break;
      p = tab + 1;
    }
    if (int(fields_.size()) != columns_)
      throw DbError(DbError::Error, QStringLiteral("The database server sent a row of %1 columns for %2.")
                                        .arg(fields_.size())
                                        .arg(columns_));
  }
  static Field field(char* p, char* end) {
    if (end - p == 2 && p[0] == '\\' && p[1] == 'N') return {nullptr, -1};
    char* q = static_cast<char*>(std::memchr(p, '\\', size_t(end - p)));
    if (!q) return {p, end - p};
    char* out = q;
    for (; q < end; ++q) {
      if (*q != '\\' || q + 1 == end) {
        *out++ = *q;
        continue;
      }
      switch (*++q) {
        case 'b':
          *out++ = '\b';
          break;
        case 'f':
          *out++ = '\f';
          break;
        case 'n':
          *out++ = '\n';
          break;
        case 'r':
          *out++ = '\r';
          break;
        case 't':
          *out++ = '\t';
          break;
        case 'v':
          *out++ = '\v';
          break;
        default:
          *out++ = *q;
      }
    }
    return {p, out - p};
  }

  // After the last line: the copy's own result tells whether every row came. A copy that broke off
  // (the server stopped it, the connection was lost) fails, never reads as a shorter result.
  void finish(bool broken) {
    std::optional<DbError> failed;
    while (PGresult* r = PQgetResult(cn())) {
      const Result result(r);
      const ExecStatusType st = PQresultStatus(r);
      if (st != PGRES_COMMAND_OK && !failed) failed = ServerLink::failure(r, cn());
      if (st == PGRES_COPY_OUT) break;
    }
    if (!failed && broken)
      failed = DbError(DbError::NotADatabase, QStringLiteral("The database server connection was lost: %1")
                                                  .arg(QString::fromUtf8(PQerrorMessage(cn())).trimmed()));
    if (failed) throw *failed;
  }
  // Reads a copy stopped half-way to its end, so that the connection can run the next statement.
  void stop() {
    freeLine();
    fields_.clear();
    if (!copying_) return;
    copying_ = false;
    char* line = nullptr;
    while (PQgetCopyData(cn(), &line, 0) > 0) PQfreemem(line);
    while (PGresult* r = PQgetResult(cn())) {
      const bool again = PQresultStatus(r) == PGRES_COPY_OUT;
      PQclear(r);
      if (again) break;
    }
  }

  std::shared_ptr<ServerLink> link_;
  QByteArray sql_;
  Result description_;
  int columns_ = 0;
  std::vector<const char*> declared_;
  bool copying_ = false;
  bool done_ = false;
  char* line_ = nullptr;  // libpq's, freed on the next step
  std::vector<Field> fields_;
  mutable QByteArray blob_;
};

// The rows of one query through a cursor of the transaction the connection is in, fetched a batch
// at a time: the values of a result read whole (ResultRows), with one batch held, from the
// transaction's snapshot. Between batches the connection is free for other statements. A batch that
// fails (the connection lost, the server stopped) fails the step; a short batch is the last.
class ServerCursor final : public ResultRows {
 public:
  static constexpr int kBatch = 2000;

  ServerCursor(ServerEngine& engine, std::shared_ptr<ServerLink> link, QByteArrayView sql, int number)
      : ResultRows(engine, std::move(link)),
        sql_(sql.toByteArray()),
        name_("zel_c" + QByteArray::number(number)) {
    int count = 0;
    numberParameters(sql, &count);
    if (count > 0) noParameters();
    // The columns' names and types from the query described (it does not run).
    link_->countTrip();
    checked(PQprepare(cn(), "", sql_.constData(), 0, nullptr), cn());
    link_->countTrip();
    description_ = checked(PQdescribePrepared(cn(), ""), cn());
  }
  ~ServerCursor() override { close(); }

  bool step() override {
    blobs_.clear();
    if (!open_) {
      if (done_) return false;
      link_->countTrip();
      checked(PQexec(cn(), "DECLARE " + name_ + " NO SCROLL CURSOR FOR " + sql_), cn());
      open_ = true;
      fetch();
    }
    while (++row_ >= PQntuples(result_.get())) {
      if (PQntuples(result_.get()) < kBatch) {
        close();
        done_ = true;
        row_ = PQntuples(result_.get());
        return false;
      }
      fetch();
    }
    return true;
  }
  void reset() override {
    close();
    result_.reset();
    blobs_.clear();
    done_ = false;
  }

  void bindNull(int) override { noParameters(); }
  void bindInt(int, qint64) override { noParameters(); }
  void bindReal(int, double) override { noParameters(); }
  void bindText(int, QByteArrayView, bool) override { noParameters(); }
  void bindBlob(int, QByteArrayView, bool) override { noParameters(); }

 private:
  [[noreturn]] static void noParameters() {
    throw DbError(DbError::Misuse, QStringLiteral("A statement read in batches takes no parameters."));
  }
  void fetch() {
    result_.reset();  // the batch before goes first: only one is held
    link_->countTrip();
    result_ = checked(PQexec(cn(), "FETCH FORWARD " + QByteArray::number(kBatch) + " FROM " + name_), cn());
    row_ = -1;
  }
  // A cursor read to its end, or left half-way, is closed; in a failed transaction it is gone already.
  void close() {
    if (!open_) return;
    open_ = false;
    if (PQstatus(cn()) == CONNECTION_OK && PQtransactionStatus(cn()) == PQTRANS_INTRANS) {
      link_->countTrip();
      PQclear(PQexec(cn(), ("CLOSE " + name_).constData()));
    }
  }

  QByteArray sql_;
  QByteArray name_;
  bool open_ = false;  // declared and not closed
  bool done_ = false;  // read to the end: no rows until a reset
};

}  // namespace

ServerEngine::ServerEngine(const QString& connection)
    : link_(std::make_shared<ServerLink>()), prepared_(std::make_shared<Prepared>()) {
  link_->open(connection);
  // Dates and texts travel as the file holds them; a session's settings never change a result.
  link_->execute(QStringLiteral("set datestyle = 'ISO, YMD'; set extra_float_digits = 1"));
}

ServerEngine::~ServerEngine() = default;

QString ServerEngine::translate(const QString& sql, const QString& fmt) const {
  return Dialect::translateForServer(sql, fmt);
}

void ServerEngine::execute(const QString& sql) {
  // A changed table may change what a kept statement returns.
  static const QRegularExpression ddl(QStringLiteral("\\b(create|alter|drop)\\s"),
                                      QRegularExpression::CaseInsensitiveOption);
  if (ddl.match(sql).hasMatch()) {
    prepared_->clear(*link_);
    keys_.clear();
    declared_.clear();
  }
  link_->execute(sql);
}

std::unique_ptr<EngineStatement> ServerEngine::prepare(QByteArrayView sql) {
  return std::make_unique<ServerStatement>(*this, link_, prepared_, sql, ++statements_);
}

std::unique_ptr<EngineStatement> ServerEngine::prepareStreamed(QByteArrayView sql) {
  return std::make_unique<ServerStream>(*this, link_, sql);
}

std::unique_ptr<EngineStatement> ServerEngine::prepareBatched(QByteArrayView sql) {
  return std::make_unique<ServerCursor>(*this, link_, sql, ++statements_);
}

void ServerEngine::runTogether(const std::vector<EngineStatement*>& statements) {
  std::vector<ServerLink::Send> sends;
  for (EngineStatement* st : statements)
    sends.push_back([st](pg_conn* c) { return static_cast<ServerStatement*>(st)->send(c); });
  std::vector<ServerLink::Answer> answers = link_->pipeline(sends);
  for (size_t i = 0; i < statements.size(); ++i)
    static_cast<ServerStatement*>(statements[i])->ran(std::move(answers[i]));
}

qint64 ServerEngine::roundTrips() const { return link_->roundTrips(); }

void ServerEngine::warmUp(const QString& table, const QString& select) {
  const QString name = QLatin1Char('\'') + Dialect::sqlQuote(table.toLower()) + QLatin1Char('\'');
  // The questions a record set's open asks, then the read. The time limit keeps a table without an
  // index for the order (a database made by an older version) from sorting all its rows here: the
  // work wanted is the catalogue's, done in the first milliseconds.
  link_->sendAside((QStringLiteral("set local statement_timeout = 250; ") + keyColumnQuery(name) + u';' +
                    columnTypesQuery(QStringLiteral("to_regclass(%1)").arg(name)) + u';' + select +
                    QStringLiteral(" limit 1"))
                       .toUtf8());
}

void ServerEngine::beginTransaction() { link_->execute(QStringLiteral("BEGIN")); }
void ServerEngine::commit() { link_->execute(QStringLiteral("COMMIT")); }
void ServerEngine::rollback() {
  if (inTransaction()) link_->execute(QStringLiteral("ROLLBACK"));
}
bool ServerEngine::inTransaction() const {
  const PGTransactionStatusType st = PQtransactionStatus(link_->handle());
  return st == PQTRANS_INTRANS || st == PQTRANS_INERROR;
}

qint64 ServerEngine::lastInsertKey() {
  const ServerLink::Rows r = link_->query(QStringLiteral("select lastval()"));
  return r.rows.empty() ? 0 : r.rows[0][0].toInt();
}

QString ServerEngine::keyColumn(const QString& table) {
  // Asked on every open of a record set: the catalogue is read once per table.
  if (const auto it = keys_.constFind(table.toLower()); it != keys_.constEnd()) return *it;
  return keys_[table.toLower()] = readKeyColumn(table);
}

QString ServerEngine::readKeyColumn(const QString& table) {
  const ServerLink::Rows r = link_->query(keyColumnQuery(QStringLiteral("$1")), {Value(table.toLower())});
  if (r.rows.size() != 1 || r.rows[0][2].toInt() != 1) return {};
  const QString type = r.rows[0][1].toString();
  return type == QLatin1String("bigint") || type == QLatin1String("integer") ? r.rows[0][0].toString()
                                                                             : QString();
}

int ServerEngine::schemaVersion() {
  if (!hasTable(QStringLiteral("zel_schema"))) return 0;
  const ServerLink::Rows r = link_->query(QStringLiteral("select max(version) from zel_schema"));
  return r.rows.empty() ? 0 : int(r.rows[0][0].toInt());
}

void ServerEngine::setSchemaVersion(int version) {
  link_->execute(QStringLiteral("create table if not exists zel_schema (version integer not null); "
                                "delete from zel_schema; insert into zel_schema values (%1)")
                     .arg(version));
}

QString ServerEngine::writeProblem() const {
  if (writeProblem_) return *writeProblem_;
  try {
    const ServerLink::Rows r = link_->query(QStringLiteral(
        "select has_table_privilege('zel', 'INSERT') and has_table_privilege('zel', 'UPDATE') and "
        "has_table_privilege('zel', 'DELETE') where to_regclass('zel') is not null"));
    if (r.rows.empty()) return {};
    writeProblem_ = r.rows[0][0].toInt()
                        ? QString()
                        : ServerLink::noRightText(link_->handle(), QStringLiteral("change the table zel"));
  } catch (const DbError&) {
    // Not known now: a save says it when it is refused.
    return {};
  }
  return *writeProblem_;
}

bool ServerEngine::hasTable(const QString& table) {
  const ServerLink::Rows r =
      link_->query(QStringLiteral("select to_regclass($1) is not null"), {Value(table.toLower())});
  return !r.rows.empty() && r.rows[0][0].toInt() == 1;
}

const char* ServerEngine::declaredType(unsigned table, int column) {
  const auto keyOf = [table](qint64 c) { return (quint64(table) << 16) | quint64(c & 0xFFFF); };
  auto it = declared_.constFind(keyOf(column));
  if (it == declared_.constEnd()) {
    // Every column of the table in one question: a record set asks for each of its columns.
    const ServerLink::Rows r = link_->query(columnTypesQuery(QStringLiteral("$1")), {Value(qint64(table))});
    for (const std::vector<Value>& row : r.rows) {
      const QString type = row[1].toString();
      // The file's words for the schema's types: what RecordSet reads a column's kind from.
      QByteArray word = "text";
      if (type == QLatin1String("zel_money"))
        word = "money";
      else if (type == QLatin1String("zel_date"))
        word = "date";
      else if (type == QLatin1String("double precision") || type == QLatin1String("real"))
        word = "double";
      else if (type == QLatin1String("bigint") || type == QLatin1String("integer") ||
               type == QLatin1String("smallint"))
        word = "integer";
      declared_.insert(keyOf(row[0].toInt()), word);
    }
    it = declared_.constFind(keyOf(column));
    if (it == declared_.constEnd()) it = declared_.insert(keyOf(column), "text");
  }
  return it->constData();
}

void warmUpServer(Connection& cn, const QString& table, const QString& select) {
  if (cn.isServer()) static_cast<ServerEngine&>(cn.engine()).warmUp(table, cn.translate(select));
}

QString serverOfFolder(const QString& folder) {
  QFile file(QDir(folder).filePath(QString::fromLatin1(kServerFile)));
  if (!file.exists()) return {};
  if (!file.open(QIODevice::ReadOnly))
    throw DbError(DbError::CantOpen, 0,
                  QStringLiteral("%1 could not be read: %2").arg(file.fileName(), file.errorString()));
  QString connection;
  for (const QByteArray& line : file.readAll().split('\n')) {
    const QString text = QString::fromUtf8(line).trimmed();
    if (text.isEmpty() || text.startsWith(u'#')) continue;
    connection = text;
    break;
  }
  checkServerAddress(connection, file.fileName());
  return connection;
}

void checkServerAddress(const QString& connection, const QString& where) {
  char* problem = nullptr;
  PQconninfoOption* options = PQconninfoParse(connection.toUtf8().constData(), &problem);
  if (!options || connection.isEmpty()) {
    const QString why = problem ? QString::fromUtf8(problem).trimmed() : QStringLiteral("it is empty");
    PQfreemem(problem);
    if (options) PQconninfoFree(options);  // an empty text parses
    throw DbError(DbError::NotADatabase, 0, QStringLiteral("%1 holds no server address: %2").arg(where, why));
  }
  bool password = false;
  for (const PQconninfoOption* o = options; o->keyword; ++o)
    if (qstrcmp(o->keyword, "password") == 0 && o->val && *o->val) password = true;
  PQconninfoFree(options);
  if (password)
    throw DbError(DbError::Misuse, 0,
                  QStringLiteral("%1 holds a password. Remove it: the password belongs in ~/.pgpass, a "
                                 "service file or the environment, where only you can read it.")
                      .arg(where));
}
