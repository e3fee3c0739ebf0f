#include "core/import/RecordImport.h"

#include <QRegularExpression>
#include <algorithm>

#include "core/history/History.h"
#include "core/program/CsvCell.h"
#include "core/store/Connection.h"
#include "core/store/DateValue.h"
#include "core/store/DbError.h"
#include "core/store/RecordSet.h"
#include "core/store/Statement.h"

namespace RecordImport {

namespace {

using RecordFields::Field;
using RecordFields::Kind;

constexpr int kProgressStep = 1000;
constexpr double kRowsShare = 0.8;

// Rolls the work back unless it was committed, however it ends.
class Transaction {
 public:
  explicit Transaction(Connection& cn) : cn_(cn) { cn_.beginTransaction(); }
  ~Transaction() {
    if (!committed_) cn_.rollback();
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void commit() {
    cn_.commit();
    committed_ = true;
  }

 private:
  Connection& cn_;
  bool committed_ = false;
};

// The lowest key of a table: the cemetery and lot type every imported record gets.
qint64 lowestKey(Connection& cn, const QString& sql, const QString& key, const QString& missing) {
  RecordSet rs(&cn);
  rs.open(sql);
  if (rs.eof()) throw DbError(3021, missing);
  return rs.field(key).toInt();
}

qint64 storedRecords(Connection& cn) {
  RecordSet rs(&cn);
  rs.open(QStringLiteral("select count(*) as cnt from zel"));
  return rs.field(QStringLiteral("cnt")).toInt();
}

// The indexes of table zel: name and the statement that makes it.
std::vector<std::pair<QString, QString>> zelIndexes(Connection& cn) {
  RecordSet rs(&cn);
  rs.open(QStringLiteral(
      "select name, sql from sqlite_master where type='index' and tbl_name='zel' and sql is not null"));
  std::vector<std::pair<QString, QString>> list;
  for (; !rs.eof(); rs.moveNext())
    list.emplace_back(rs.field(QStringLiteral("name")).toString(),
                      rs.field(QStringLiteral("sql")).toString());
  return list;
}

// A page cache that holds the table and the indexes built over it while the import runs, the
// connection's own again after it, however the import ends. Each index built reads the whole table,
// and a page read again is decrypted again; the pages the rows and the indexes take are written
// once, at the commit. Sized first by a guess per record, then from the pages the rows took.
class CacheForRun {
 public:
  CacheForRun(Connection& cn, qint64 records) : cn_(cn) {
    before_ = pragma("cache_size");
    pageSize_ = std::max<qint64>(pragma("page_size"), 512);
    raiseTo(records * kBytesPerRecord / 1024);
  }
  ~CacheForRun() {
    try {
      if (raised_) cn_.execute(QStringLiteral("PRAGMA cache_size=%1").arg(before_));
    } catch (const DbError&) {
      // The larger cache stays: it costs memory, never data.
    }
  }
  CacheForRun(const CacheForRun&) = delete;
  CacheForRun& operator=(const CacheForRun&) = delete;

  // Once the rows are in: room for the table as it stands and for the indexes about to be built.
  void fitTable() {
    // The indexes of table zel take about three pages for every four of the table's (measured at
    // 100,000 and 1,000,000 records); the engine keeps some 300 bytes of its own beside each page.
    // Holding only the table, the later builds re-read and decrypt what the earlier ones pushed out.
    constexpr qint64 kIndexPagesPer4 = 3, kPageExtra = 300;
    raiseTo(pragma("page_count") * (4 + kIndexPagesPer4) / 4 * (pageSize_ + kPageExtra) / 1024);
  }

 private:
  static constexpr qint64 kBytesPerRecord = 400;
  // A bound that leaves an office computer of 4 GB room for the program and the file's rows.
  static constexpr qint64 kMostKb = 512 * 1024;

  qint64 pragma(const char* name) {
    RecordSet rs(&cn_);
    rs.open(QStringLiteral("PRAGMA %1").arg(QLatin1StringView(name)));
    return rs.eof() ? 0 : rs.field(0).toInt();
  }
  // Negative: kibibytes; positive: pages. Never below the connection's own.
  void raiseTo(qint64 kb) {
    kb = std::min(kb, kMostKb);
    const qint64 ownKb = before_ < 0 ? -before_ : before_ * pageSize_ / 1024;
    if (before_ == 0 || kb <= std::max(ownKb, nowKb_)) return;
    cn_.execute(QStringLiteral("PRAGMA cache_size=-%1").arg(kb));
    nowKb_ = kb;
    raised_ = true;
  }

  Connection& cn_;
  qint64 before_ = 0, pageSize_ = 1024, nowKb_ = 0;
  bool raised_ = false;
};

// The money check on inserted rows: its name and the statement that makes it. While it is in place
// every insert runs as a statement of its own within the transaction, which copies each page it
// touches aside (encrypted) in case the check refuses the row; that copying took most of the
// import's time. The import binds amounts as integers only, which the check cannot refuse.
std::optional<std::pair<QString, QString>> moneyCheck(Connection& cn) {
  RecordSet rs(&cn);
  rs.open(
      QStringLiteral("select name, sql from sqlite_master where type='trigger' and tbl_name='zel' and "
                     "name='zel_money_insert'"));
  if (rs.eof()) return std::nullopt;
  return std::make_pair(rs.field(QStringLiteral("name")).toString(),
                        rs.field(QStringLiteral("sql")).toString());
}

// The text as UTF-8 in held. Plain ASCII, most cells, is copied into held's own buffer: a new array
// for each of a million rows' cells costs more than the copy.
void utf8Into(QStringView s, QByteArray& held) {
  const qsizetype n = s.size();
  const char16_t* p = s.utf16();
  for (qsizetype i = 0; i < n; ++i)
    if (p[i] >= 0x80) {
      held = s.toUtf8();
      return;
    }
  held.resize(n);
  char* d = held.data();
  for (qsizetype i = 0; i < n; ++i) d[i] = char(p[i]);
}

// Values are stored as the record form stores them: money as its scaled integer, dates as ISO text.
// A text is bound from held, which keeps it until the statement has run.
void bind(Statement& st, int pos, const Value& v, QByteArray& held) {
  switch (v.type()) {
    case Value::Type::Null:
      st.bindNull(pos);
      return;
    case Value::Type::Integer:
      st.bind(pos, v.toInt());
      return;
    case Value::Type::Real:
      st.bind(pos, v.toDouble());
      return;
    case Value::Type::Money:
      st.bind(pos, v.toMoney().scaled());
      return;
    case Value::Type::Date:
    case Value::Type::Text:
      utf8Into(v.isDate() ? DateValue::toIso(v.toDateTime(), v.hasTime()) : v.toString(), held);
      st.bindText(pos, held);
      return;
  }
}

int indexOf(const std::vector<const Field*>& fields, const char* name) {
  const Field* f = RecordFields::find(QLatin1StringView(name));
  const auto it = std::find(fields.begin(), fields.end(), f);
  return it == fields.end() ? -1 : int(it - fields.begin());
}

// A source may hand out texts that share its own characters; a problem outlives the source.
QString ownCopy(const QString& text) { return QString(text.constData(), text.size()); }

QString plural(int n, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(n).arg(QLatin1StringView(n == 1 ? one : many));
}

// Commas in an amount only group thousands: "12,50", written where a comma is the decimal sign, is
// no amount here rather than 1250.
bool commasGroupThousands(QStringView t) {
  const qsizetype point = t.indexOf(u'.');
  const qsizetype end = point < 0 ? t.size() : point;
  if (t.indexOf(u',', end) >= 0) return false;
  qsizetype comma = t.indexOf(u',');
  if (comma < 0) return true;
  if (comma == 0 || !t[comma - 1].isDigit()) return false;
  while (comma >= 0 && comma < end) {
    qsizetype next = t.indexOf(u',', comma + 1);
    if (next < 0 || next > end) next = end;
    if (next - comma != 4) return false;
    for (qsizetype i = comma + 1; i < next; ++i)
      if (!t[i].isDigit()) return false;
    comma = next < end ? next : -1;
  }
  return true;
}

// The server takes the rows many at a time, in one insert of several rows: a round trip per row
// would cost more than the insert itself. Fields no column is mapped to are bound once per
// statement.
class ServerRows {
 public:
  static constexpr int kRows = 200;

  ServerRows(Connection& cn, const QString& insert, const QString& placeholders,
             const std::vector<Value>& defaults, const std::vector<int>& varying)
      : cn_(cn), insert_(insert), placeholders_(placeholders), defaults_(defaults), varying_(varying) {
    pending_.reserve(kRows);
  }

  // Keeps a row; true when a batch is full and wants flush().
  bool add(int sourceRow, const std::vector<Value>& row) {
    if (pending_.empty()) first_ = sourceRow;
    std::vector<Value>& kept = pending_.emplace_back();
    kept.reserve(varying_.size());
    for (int i : varying_) kept.push_back(row[size_t(i)]);
    return int(pending_.size()) == kRows;
  }

  // Inserts the kept rows; the server's refusal when it refuses them.
  std::optional<DbError> flush() {
    lastRows_ = int(pending_.size());
    lastFirst_ = first_;
    if (pending_.empty()) return std::nullopt;
    Prepared& p = lastRows_ == kRows ? full_ : rest_;
    if (!p.st || p.rows != lastRows_) p = prepare(lastRows_);
    const int columns = int(defaults_.size());
    for (int k = 0; k < lastRows_; ++k)
      for (size_t v = 0; v < varying_.size(); ++v) {
        const size_t slot = size_t(k * columns + varying_[v]);
        bind(*p.st, int(slot) + 1, pending_[size_t(k)][v], p.held[slot]);
      }
    pending_.clear();
    try {
      for (bool row = p.st->next(); row; row = p.st->next()) added_.push_back(p.st->int64(0));
      p.st->reset();
    } catch (const DbError& e) {
      p.st.reset();  // made again if the connection goes on
      return e;
    }
    return std::nullopt;
  }
  // The source rows of the last flush.
  int lastRows() const { return lastRows_; }
  int lastFirst() const { return lastFirst_; }
  // The numbers the server gave the rows, as they came: another clerk adding meanwhile takes some
  // numbers in between.
  std::vector<qint64>& added() { return added_; }

 private:
  struct Prepared {
    std::unique_ptr<Statement> st;
    int rows = 0;
    std::vector<QByteArray> held;
  };
  Prepared prepare(int rows) {
    Prepared p;
    p.rows = rows;
    p.st = std::make_unique<Statement>(
        cn_, (insert_ + QStringList(rows, placeholders_).join(u',') + QStringLiteral(" returning recid"))
                 .toUtf8());
    const size_t columns = defaults_.size();
    p.held.resize(columns * size_t(rows));
    for (int k = 0; k < rows; ++k)
      for (size_t i = 0; i < columns; ++i)
        bind(*p.st, int(size_t(k) * columns + i) + 1, defaults_[i], p.held[size_t(k) * columns + i]);
    return p;
  }

  Connection& cn_;
  QString insert_, placeholders_;
  const std::vector<Value>& defaults_;
  const std::vector<int>& varying_;
  std::vector<std::vector<Value>> pending_;
  int first_ = 0, lastFirst_ = 0, lastRows_ = 0;
  Prepared full_, rest_;
  std::vector<qint64> added_;
};

// The server refused a batch, and with it the whole import. Which row it was is found after the
// rollback, by adding the batch's rows one by one in a transaction of their own that is rolled back
// too: the failing path pays for naming the row, the rows that go in do not.
template <class ConvertRow, class RowFailed>
DbError failureOf(Connection& cn, const ServerRows& batch, const DbError& e, const ConvertRow& convertRow,
                  const std::vector<Value>& row, const RowFailed& rowFailed) {
  const int first = batch.lastFirst(), last = first + batch.lastRows() - 1;
  const DbError whole(e.number(),
                      QStringLiteral("Rows %1 to %2 could not be added: %3. Nothing was imported.")
                          .arg(first)
                          .arg(last)
                          .arg(e.description()));
  try {
    cn.rollback();
    QStringList columns;
    for (const Field& f : RecordFields::all())
      if (f.kind != Kind::Key) columns << f.column();
    Transaction tx(cn);
    Statement one(cn,
                  QStringLiteral("insert into zel (%1) values (%2)")
                      .arg(columns.join(u','), QStringList(columns.size(), QStringLiteral("?")).join(u','))
                      .toUtf8());
    std::vector<QByteArray> held(row.size());
    for (int r = first; r <= last; ++r) {
      convertRow(r, nullptr);
      for (size_t i = 0; i < row.size(); ++i) bind(one, int(i) + 1, row[i], held[i]);
      try {
        one.next();
        one.reset();
      } catch (const DbError& rowError) {
        return rowFailed(r, rowError);
      }
    }
  } catch (const DbError&) {
    // The server is gone or refuses more: the batch's own failure says enough.
  }
  return whole;
}

}  // namespace

// Beyond the record's own fields: what the export writes of its cemetery, lot type and vault.
constexpr std::pair<const char*, const char*> kExtraNames[] = {
    {"Cemetery", "CemeteryID"}, {"LotType", "LotID"}, {"Vault", "Vault"}};

QStringList mappingNames() {
  QStringList names = RecordFields::importNames();
  for (const auto& [name, field] : kExtraNames) names << QLatin1StringView(name);
  return names;
}

const Field* fieldFor(const QString& name) {
  for (const auto& [extra, field] : kExtraNames)
    if (name.compare(QLatin1StringView(extra), Qt::CaseInsensitive) == 0)
      return RecordFields::find(QLatin1StringView(field));
  const Field* f = RecordFields::find(name);
  return f && f->imported ? f : nullptr;
}

QString mappingName(const Field& f) {
  for (const auto& [extra, field] : kExtraNames)
    if (RecordFields::find(QLatin1StringView(field)) == &f) return QLatin1StringView(extra);
  return QLatin1StringView(f.name);
}

std::optional<Mapping> mappingFromNames(const QStringList& names, QString* error) {
  Mapping m;
  for (int i = 0; i < names.size(); ++i) {
    const QString name = names[i].trimmed();
    if (name.isEmpty()) continue;
    const Field* f = fieldFor(name);
    if (!f) {
      if (error)
        *error =
            QStringLiteral("Column %1: \"%2\" is not a field that can be imported.").arg(i + 1).arg(name);
      return std::nullopt;
    }
    m.push_back({i + 1, f, {}});
  }
  return m;
}

std::optional<Mapping> parseMapping(const QString& text, QString* error) {
  QStringList names;
  for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
    const qsizetype eq = part.indexOf(u'=');
    bool ok = false;
    const int col = eq > 0 ? part.left(eq).trimmed().toInt(&ok) : 0;
    if (!ok || col < 1 || col > 10000000) {
      if (error)
        *error = QStringLiteral("\"%1\" is not a column number, an equals sign and a field.").arg(part);
      return std::nullopt;
    }
    if (names.size() < col) names.resize(col);
    names[col - 1] = part.mid(eq + 1).trimmed();
    if (names[col - 1].isEmpty()) {
      if (error) *error = QStringLiteral("\"%1\" names no field.").arg(part);
      return std::nullopt;
    }
  }
  return mappingFromNames(names, error);
}

Names names(Connection& cn) {
  Names n;
  RecordSet rs(&cn);
  rs.open(QStringLiteral("select cemeteryid, name from cemetery"));
  for (; !rs.eof(); rs.moveNext())
    n.cemeteries[rs.field(1).toString().trimmed().toCaseFolded()] << rs.field(0).toInt();
  rs.close();
  rs.open(QStringLiteral("select lotid, lotdesc from lots"));
  for (; !rs.eof(); rs.moveNext())
    n.lotTypes[rs.field(1).toString().trimmed().toCaseFolded()] << rs.field(0).toInt();
  return n;
}

namespace {

QString otherOrder(const QString& dateFormat) {
  return DateValue::isDayFirst(dateFormat) ? QStringLiteral("mm-dd-yyyy") : QStringLiteral("dd-mm-yyyy");
}

// A date written in the day and month order of a pattern, as the column's cells give it.
QString displayDate(const QString& text) {
  QString t = text.trimmed();
  if (t.size() > 2 && t.startsWith(u'#') && t.endsWith(u'#')) t = t.mid(1, t.size() - 2).trimmed();
  return t;
}

// A time of midnight after a date says nothing: "1949-06-23 00:00:00" is the day.
QString withoutMidnight(const QString& t) {
  static const QRegularExpression midnight(QStringLiteral("^(\\S+)[ T]0?0:00(:00(\\.0+)?)?$"));
  const QRegularExpressionMatch m = midnight.match(t);
  return m.hasMatch() ? m.captured(1) : t;
}

std::optional<Value> refuse(QString* why, const QString& reason) {
  if (why) *why = reason;
  return std::nullopt;
}

// Two decimals at most: further digits other than zeros would be stored and never shown.
bool moreThanTwoDecimals(QStringView t) {
  const qsizetype point = t.indexOf(u'.');
  if (point < 0) return false;
  for (qsizetype i = point + 3; i < t.size() && t[i].isDigit(); ++i)
    if (t[i] != u'0') return true;
  return false;
}

}  // namespace

std::optional<Value> convert(const Field& field, const QString& text, const QString& dateFormat,
                             const Names* names, QString* why) {
  if (text.contains(QChar(DelimitedText::kUndecodable)))
    return refuse(why, QStringLiteral("bytes that are not UTF-8"));
  switch (field.kind) {
    case Kind::Text:
    case Kind::Sex:
      // Most texts need nothing done: they go to the field table as they are.
      if (text.isEmpty() || (text.front() != u'#' && text.front() != u'\''))
        return RecordFields::fromText(field, text, dateFormat);
      if (text.trimmed() == QLatin1String("#NULL#")) return Value();
      return RecordFields::fromText(field, CsvCell::unguard(text), dateFormat);
    case Kind::Choice: {
      const QString name = CsvCell::unguard(text).trimmed();
      const bool cemetery = &field == RecordFields::find(u"CemeteryID");
      // No name: a record has no lot type (as the export writes it), but always a cemetery, the
      // default one.
      if (name.isEmpty() || name == QLatin1String("#NULL#")) return cemetery ? Value() : Value(qint64(0));
      const QList<qint64> ids =
          names ? (cemetery ? names->cemeteries : names->lotTypes).value(name.toCaseFolded())
                : QList<qint64>();
      if (ids.size() == 1) return Value(ids.front());
      if (ids.isEmpty())
        return refuse(why, cemetery ? QStringLiteral("no cemetery has this name")
                                    : QStringLiteral("no lot type has this description"));
      return refuse(why, QStringLiteral("%1 %2 have it")
                             .arg(ids.size())
                             .arg(cemetery ? QStringLiteral("cemeteries") : QStringLiteral("lot types")));
    }
    case Kind::Money: {
      const QStringView t = QStringView(text).trimmed();
      if (!commasGroupThousands(t)) return refuse(why, QStringLiteral("no amount"));
      if (moreThanTwoDecimals(t)) return refuse(why, QStringLiteral("more than two decimals"));
      if (t == QLatin1String("#NULL#")) return Value();
      if (auto v = RecordFields::fromText(field, text, dateFormat)) return v;
      return refuse(why, Money::parse(t.toString()) ? QStringLiteral("beyond 9000000000 either way")
                                                    : QStringLiteral("no amount"));
    }
    case Kind::Number: {
      if (text.trimmed() == QLatin1String("#NULL#")) return Value();
      if (auto v = RecordFields::fromText(field, text, dateFormat)) return v;
      return refuse(why, QStringLiteral("no whole number from 0 to %1").arg(field.max));
    }
    case Kind::Date: {
      const QString t = displayDate(text);
      if (t == QLatin1String("NULL")) return Value();
      std::optional<Value> v =
          RecordFields::fromText(field, t.size() > 10 ? withoutMidnight(t) : t, dateFormat);
      if (v) return v;
      return refuse(why, QStringLiteral("no date (read %1)").arg(dateFormat));
    }
    case Kind::Key:
    case Kind::State:
      break;
  }
  return refuse(why, QStringLiteral("not imported"));
}

void settleDateOrders(const Source& source, Plan& plan) {
  const QString other = otherOrder(plan.dateFormat);
  for (Column& col : plan.mapping) {
    if (col.field->kind != Kind::Date) continue;
    col.dateFormat.clear();
    bool onlyOther = false, onlySystem = false;
    for (int r = plan.firstRow; r <= plan.lastRow && !onlySystem; ++r) {
      const QString t = displayDate(source.text(r, col.column));
      if (t.isEmpty()) continue;
      const bool system = DateValue::parseDisplay(t, plan.dateFormat).isValid();
      const bool otherWay = DateValue::parseDisplay(t, other).isValid();
      onlyOther = onlyOther || (otherWay && !system);
      onlySystem = system && !otherWay;
    }
    if (onlyOther && !onlySystem) col.dateFormat = other;
  }
}

QString dateOrderText(const QString& dateFormat) {
  return QStringLiteral("dates read %1, as %2")
      .arg(DateValue::isDayFirst(dateFormat) ? QStringLiteral("day-first") : QStringLiteral("month-first"),
           dateFormat);
}

namespace {

const QString& formatOf(const Column& c, const Plan& p) {
  return c.dateFormat.isEmpty() ? p.dateFormat : c.dateFormat;
}

// The first value of a column read the other way that the system's order does not read.
QString otherWayExample(const Source& source, const Plan& plan, const Column& col) {
  for (int r = plan.firstRow; r <= plan.lastRow; ++r) {
    const QString t = displayDate(source.text(r, col.column));
    if (!t.isEmpty() && !DateValue::parseDisplay(t, plan.dateFormat).isValid() &&
        DateValue::parseDisplay(t, col.dateFormat).isValid())
      return t;
  }
  return {};
}

// Items in double quotes in the first rows of a file that keeps its quotes: the user likely meant
// them as quoting.
bool looksQuoted(const Source& source, const Plan& plan) {
  constexpr int kRows = 5;
  int rows = 0, quoted = 0;
  for (int r = plan.firstRow; r <= plan.lastRow && rows < kRows; ++r) {
    bool any = false, all = true;
    for (const Column& c : plan.mapping) {
      const QString t = source.text(r, c.column);
      if (t.isEmpty()) continue;
      any = true;
      all = all && t.size() >= 2 && t.startsWith(u'"') && t.endsWith(u'"');
    }
    if (!any) continue;
    ++rows;
    if (all) ++quoted;
  }
  return rows > 0 && quoted * 2 > rows;
}

}  // namespace

namespace {

// Which of the dates the record form's Save checks a field is: interment, birth, death; -1 none.
int dateSlot(const Field* f) {
  static const Field* const kSlots[] = {RecordFields::find(u"InterDate"), RecordFields::find(u"BirthDate"),
                                        RecordFields::find(u"DeathDate")};
  for (int k = 0; k < 3; ++k)
    if (f == kSlots[k]) return k;
  return -1;
}

// The dates of one row (the right-hand column wins), checked as the record form's Save checks them.
struct RowDates {
  QDate d[3];
  void take(const Field* f, const std::optional<Value>& v) {
    if (const int k = dateSlot(f); k >= 0) d[k] = v && v->isDate() ? v->toDateTime().date() : QDate();
  }
  void check(int row, Check& c, const QDate& today) const {
    if (const auto refusal = RecordFields::checkDates(d[0], d[1], d[2], today))
      c.refused.push_back({row, refusal->message.simplified()});
  }
};

void reviewRest(const Source& source, const Plan& plan, Check& c, bool refusals) {
  c.firstItems = plan.firstItems;
  for (const Ragged& r : plan.ragged)
    if (r.row >= plan.firstRow && r.row <= plan.lastRow) c.ragged.push_back(r);
  bool dates = false, checked = false;
  for (const Column& col : plan.mapping) {
    if (col.field->kind != Kind::Date) continue;
    dates = true;
    checked = checked || dateSlot(col.field) >= 0;
    if (!col.dateFormat.isEmpty() && col.dateFormat != plan.dateFormat)
      c.notes << QStringLiteral(
                     "Column %1 (%2) is read %3, since only that order fits all its values (such as \"%4\").")
                     .arg(col.column)
                     .arg(mappingName(*col.field), dateOrderText(col.dateFormat).mid(11),
                          otherWayExample(source, plan, col));
  }
  if (dates)
    c.dateOrder = QStringLiteral("Dates are %1, from the system's settings.")
                      .arg(dateOrderText(plan.dateFormat).mid(6));
  if (refusals && checked) {
    const QDate today = QDate::currentDate();
    for (int r = plan.firstRow; r <= plan.lastRow; ++r) {
      RowDates row;
      for (const Column& col : plan.mapping)
        if (dateSlot(col.field) >= 0)
          row.take(col.field, convert(*col.field, source.text(r, col.column), formatOf(col, plan)));
      row.check(r, c, today);
    }
  }
  if (plan.quotesKept && looksQuoted(source, plan))
    c.notes << QStringLiteral(
        "The items of the first rows stand in double quotes, which a tab-delimited file keeps as part of "
        "the values.");
}

}  // namespace

void review(const Source& source, const Plan& plan, Check& c) { reviewRest(source, plan, c, true); }

Check check(const Source& source, const Plan& plan) {
  Check c;
  const QDate today = QDate::currentDate();
  for (int r = plan.firstRow; r <= plan.lastRow; ++r) {
    bool bad = false;
    RowDates dates;
    for (const Column& col : plan.mapping) {
      const QString text = source.text(r, col.column);
      QString why;
      const std::optional<Value> v = convert(*col.field, text, formatOf(col, plan), &plan.names, &why);
      if (col.field->kind == Kind::Date) dates.take(col.field, v);
      if (v) continue;
      c.problems.push_back({r, col.column, col.field, ownCopy(text), why});
      bad = true;
    }
    if (bad) ++c.rows;
    dates.check(r, c, today);
  }
  reviewRest(source, plan, c, false);
  return c;
}

QString summary(int values, int rows) {
  return QStringLiteral("%1 in %2 will not convert and will keep %3")
      .arg(plural(values, "value", "values"), plural(rows, "row", "rows"),
           QLatin1StringView(values == 1 ? "its default" : "their defaults"));
}

QString raggedSummary(int rows, int firstItems) {
  return QStringLiteral(
             "%1 more or fewer items than the first row (%2), so some values may stand in the wrong field")
      .arg(rows == 1 ? QStringLiteral("1 row has") : QStringLiteral("%1 rows have").arg(rows))
      .arg(firstItems);
}

QString question(const Check& c) {
  QStringList lines;
  if (!c.problems.empty()) lines << summary(int(c.problems.size()), c.rows) + u'.';
  if (!c.ragged.empty()) lines << raggedSummary(int(c.ragged.size()), c.firstItems) + u'.';
  if (!c.refused.empty())
    lines << QStringLiteral("%1 dates that the record form would refuse (such as row %2: \"%3\").")
                 .arg(c.refused.size() == 1 ? QStringLiteral("1 row has")
                                            : QStringLiteral("%1 rows have").arg(c.refused.size()))
                 .arg(c.refused.front().row)
                 .arg(c.refused.front().message);
  lines << c.notes;
  if (!c.dateOrder.isEmpty()) lines << c.dateOrder;
  return lines.join(u'\n') + QStringLiteral("\n\nAll are listed in import.log. Import anyway?");
}

QStringList logLines(const Check& c) {
  QStringList lines;
  if (!c.problems.empty())
    lines << QStringLiteral("%1 will not convert; their fields keep their defaults:")
                 .arg(plural(int(c.problems.size()), "value", "values"));
  for (const Problem& p : c.problems)
    lines << QStringLiteral("Row %1, column %2 (%3): \"%4\"%5")
                 .arg(p.row)
                 .arg(p.column)
                 .arg(mappingName(*p.field), p.text,
                      p.why.isEmpty() ? QString() : QStringLiteral(": ") + p.why);
  if (!c.ragged.empty()) lines << raggedSummary(int(c.ragged.size()), c.firstItems) + u':';
  for (const Ragged& r : c.ragged) lines << QStringLiteral("Row %1: %2 items").arg(r.row).arg(r.items);
  if (!c.refused.empty()) lines << QStringLiteral("Dates that the record form would refuse:");
  for (const Refusal& r : c.refused) lines << QStringLiteral("Row %1: %2").arg(r.row).arg(r.message);
  lines << c.notes;
  if (!c.dateOrder.isEmpty()) lines << c.dateOrder;
  return lines;
}

Targets targets(Connection& cn) {
  return {
      lowestKey(
          cn, QStringLiteral("select top 1 * from cemetery order by cemeteryid"),
          QStringLiteral("cemeteryid"),
          QStringLiteral("There is no cemetery in the database, so the records would belong to none. Add "
                         "a cemetery first; nothing was imported.")),
      lowestKey(cn, QStringLiteral("select top 1 * from lots order by lotid"), QStringLiteral("lotid"),
                QStringLiteral("There is no lot type in the database, so the records would have none. Add a "
                               "lot type first; nothing was imported."))};
}

int write(Connection& cn, const Source& source, const Plan& plan, bool emptyFirst, const Progress& progress,
          Check* problems) {
  // Both lookups come first, so that a refusal leaves every record where it was.
  const auto [cemetery, lot] = targets(cn);

  std::vector<const Field*> fields;
  QStringList columns;
  std::vector<Value> defaults;
  for (const Field& f : RecordFields::all()) {
    if (f.kind == Kind::Key) continue;
    fields.push_back(&f);
    columns << f.column();
    switch (f.kind) {
      case Kind::Choice:
        defaults.emplace_back(&f == RecordFields::find(u"CemeteryID") ? cemetery : lot);
        break;
      case Kind::Number:
        defaults.emplace_back(qint64(0));
        break;
      case Kind::Money:
        defaults.emplace_back(Money());
        break;
      case Kind::Date:
        defaults.emplace_back();
        break;
      default:
        defaults.emplace_back(QString());
        break;
    }
  }
  std::vector<int> targets;
  std::vector<QString> formats;
  for (const Column& c : plan.mapping) {
    targets.push_back(indexOf(fields, c.field->name));
    formats.push_back(c.dateFormat.isEmpty() ? plan.dateFormat : c.dateFormat);
  }
  const int status = indexOf(fields, "Status"), interDate = indexOf(fields, "InterDate"),
            interFirst = indexOf(fields, "InterFirstName"), interLast = indexOf(fields, "InterLastName"),
            purchDate = indexOf(fields, "PurchDate"), ownerFirst = indexOf(fields, "OwnerFirstName"),
            ownerLast = indexOf(fields, "OwnerLastName");

  const int total = plan.records();
  const bool server = cn.isServer();
  // The file's tuning: its page cache, its indexes built once, its money check. The server keeps
  // its indexes (dropping one would lock out every other clerk) and checks money by the column's type.
  std::optional<CacheForRun> cache;
  if (!server) cache.emplace(cn, total);
  Transaction tx(cn);
  if (emptyFirst) History::removeAllRecords(cn);
  // Building an index once over the added rows is several times quicker than keeping it up row by
  // row, unless the table already holds more rows than are added.
  std::vector<std::pair<QString, QString>> indexes;
  if (!server && total > 0 && total >= (emptyFirst ? 0 : storedRecords(cn))) {
    indexes = zelIndexes(cn);
    for (const auto& [name, sql] : indexes) cn.execute(QStringLiteral("drop index \"%1\"").arg(name));
  }
  const auto check = server ? std::nullopt : moneyCheck(cn);
  if (check) cn.execute(QStringLiteral("drop trigger \"%1\"").arg(check->first));
  std::vector<int> varying = targets;
  varying.push_back(status);
  std::sort(varying.begin(), varying.end());
  varying.erase(std::unique(varying.begin(), varying.end()), varying.end());
  // One source row as a record: the defaults, the mapped cells, the state letter.
  std::vector<Value> row = defaults;
  const auto convertRow = [&](int r, Check* found) {
    for (int i : varying) row[size_t(i)] = defaults[size_t(i)];
    bool bad = false;
    for (size_t i = 0; i < plan.mapping.size(); ++i) {
      const Column& c = plan.mapping[i];
      const QString text = source.text(r, c.column);
      if (auto v = convert(*c.field, text, formats[i], &plan.names)) {
        if (!v->isNull() || c.field->kind != Kind::Choice) row[size_t(targets[i])] = *v;
      } else if (found) {
        found->problems.push_back({r, c.column, c.field, ownCopy(text), {}});
        bad = true;
      }
    }
    if (bad) ++found->rows;
    row[size_t(status)] =
        RecordFields::stateLetter(row[size_t(interDate)].isDate(), row[size_t(interFirst)].toString(),
                                  row[size_t(interLast)].toString(), row[size_t(purchDate)].isDate(),
                                  row[size_t(ownerFirst)].toString(), row[size_t(ownerLast)].toString());
  };
  const auto rowFailed = [](int r, const DbError& e) {
    return DbError(
        e.number(),
        QStringLiteral("Row %1 could not be added: %2. Nothing was imported.").arg(r).arg(e.description()));
  };
  const QString insertSql = QStringLiteral("insert into zel (%1) values ").arg(columns.join(u','));
  const QString placeholders = u'(' + QStringList(columns.size(), QStringLiteral("?")).join(u',') + u')';
  int done = 0;
  std::vector<qint64> added;
  added.reserve(size_t(total));
  const auto advance = [&](int rows) {
    // The rows take most of the time; rebuilding the indexes and the commit the rest.
    for (int k = 0; k < rows; ++k)
      if (progress && ++done % kProgressStep == 0) progress(kRowsShare * done / total);
  };
  if (server) {
    ServerRows out(cn, insertSql, placeholders, defaults, varying);
    for (int r = plan.firstRow; r <= plan.lastRow; ++r) {
      convertRow(r, problems);
      if (!out.add(r, row)) continue;
      if (const std::optional<DbError> e = out.flush())
        throw failureOf(cn, out, *e, convertRow, row, rowFailed);
      advance(out.lastRows());
    }
    if (const std::optional<DbError> e = out.flush())
      throw failureOf(cn, out, *e, convertRow, row, rowFailed);
    advance(out.lastRows());
    added = std::move(out.added());
  } else {
    // Prepared once the table's indexes and checks are as the rows will meet them.
    Statement insert(cn, (insertSql + placeholders).toUtf8());
    // The statement keeps its bindings from row to row: fields no column is mapped to are bound once.
    std::vector<QByteArray> held(row.size());
    for (size_t i = 0; i < row.size(); ++i) bind(insert, int(i) + 1, row[i], held[i]);
    for (int r = plan.firstRow; r <= plan.lastRow; ++r) {
      convertRow(r, problems);
      for (int i : varying) bind(insert, i + 1, row[size_t(i)], held[size_t(i)]);
      try {
        insert.next();
      } catch (const DbError& e) {
        throw rowFailed(r, e);
      }
      added.push_back(cn.lastInsertKey());
      insert.reset();
      advance(1);
    }
  }
  if (cache && !indexes.empty()) cache->fitTable();
  if (check) cn.execute(check->second);
  for (const auto& [name, sql] : indexes) cn.execute(sql);
  if (progress) progress(kRowsShare + (1 - kRowsShare) / 2);
  // Whatever else records this import belongs here, so that it commits or rolls back with the rows.
  History::imported(cn, plan.fileName, total, added, emptyFirst);
  tx.commit();
  if (progress) progress(1);
  return total;
}

}  // namespace RecordImport
