#include "import/RecordImport.h"

#include <algorithm>

#include "store/Connection.h"
#include "store/DateValue.h"
#include "store/DbError.h"
#include "store/RecordSet.h"
#include "store/sqlite.h"

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

class Statement {
 public:
  Statement(Connection& cn, const QString& sql) {
    const QByteArray b = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(cn.handle(), b.constData(), int(b.size()), &st_, nullptr);
    if (rc != SQLITE_OK) cn.fail(rc);
  }
  ~Statement() { sqlite3_finalize(st_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() const { return st_; }

 private:
  sqlite3_stmt* st_ = nullptr;
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

// Values are stored as the record form stores them: money as its scaled integer, dates as ISO text.
// A text is bound from held, which keeps it until the statement has run.
void bind(sqlite3_stmt* st, int pos, const Value& v, QByteArray& held) {
  switch (v.type()) {
    case Value::Type::Null:
      sqlite3_bind_null(st, pos);
      return;
    case Value::Type::Integer:
      sqlite3_bind_int64(st, pos, v.toInt());
      return;
    case Value::Type::Real:
      sqlite3_bind_double(st, pos, v.toDouble());
      return;
    case Value::Type::Money:
      sqlite3_bind_int64(st, pos, v.toMoney().scaled());
      return;
    case Value::Type::Date:
    case Value::Type::Text:
      held = (v.isDate() ? DateValue::toIso(v.toDateTime(), v.hasTime()) : v.toString()).toUtf8();
      sqlite3_bind_text(st, pos, held.constData(), int(held.size()), SQLITE_STATIC);
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

}  // namespace

QStringList mappingNames() { return RecordFields::importNames(); }

std::optional<Mapping> mappingFromNames(const QStringList& names, QString* error) {
  Mapping m;
  for (int i = 0; i < names.size(); ++i) {
    const QString name = names[i].trimmed();
    if (name.isEmpty()) continue;
    const Field* f = RecordFields::find(name);
    if (!f || !f->imported) {
      if (error)
        *error =
            QStringLiteral("Column %1: \"%2\" is not a field that can be imported.").arg(i + 1).arg(name);
      return std::nullopt;
    }
    m.push_back({i + 1, f});
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

std::optional<Value> convert(const Field& field, const QString& text, const QString& dateFormat) {
  if (field.kind == Kind::Money && !commasGroupThousands(QStringView(text).trimmed())) return std::nullopt;
  // Most texts neither stand in blanks nor in # signs: they go to the field table as they are.
  const auto plain = [](QChar c) { return c != u'#' && !c.isSpace(); };
  if (text.isEmpty() || (plain(text.front()) && plain(text.back())))
    return RecordFields::fromText(field, text, dateFormat);
  const QString t = text.trimmed();
  if (t == QLatin1String("#NULL#")) return Value();
  if (field.kind == Kind::Date && t.size() > 2 && t.startsWith(u'#') && t.endsWith(u'#'))
    return RecordFields::fromText(field, t.mid(1, t.size() - 2), dateFormat);
  return RecordFields::fromText(field, text, dateFormat);
}

Check check(const Source& source, const Plan& plan) {
  Check c;
  for (int r = plan.firstRow; r <= plan.lastRow; ++r) {
    bool bad = false;
    for (const Column& col : plan.mapping) {
      const QString text = source.text(r, col.column);
      if (convert(*col.field, text, plan.dateFormat)) continue;
      c.problems.push_back({r, col.column, col.field, ownCopy(text)});
      bad = true;
    }
    if (bad) ++c.rows;
  }
  return c;
}

QString summary(int values, int rows) {
  return QStringLiteral("%1 in %2 will not convert and will keep %3")
      .arg(plural(values, "value", "values"), plural(rows, "row", "rows"),
           QLatin1StringView(values == 1 ? "its default" : "their defaults"));
}

QString question(const Check& c) {
  return summary(int(c.problems.size()), c.rows) + QStringLiteral(" (listed in import.log). Import anyway?");
}

QStringList logLines(const Check& c) {
  QStringList lines;
  lines << QStringLiteral("%1 will not convert; their fields keep their defaults:")
               .arg(plural(int(c.problems.size()), "value", "values"));
  for (const Problem& p : c.problems)
    lines << QStringLiteral("Row %1, column %2 (%3): \"%4\"")
                 .arg(p.row)
                 .arg(p.column)
                 .arg(QLatin1StringView(p.field->name), p.text);
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
  for (const Column& c : plan.mapping) targets.push_back(indexOf(fields, c.field->name));
  const int status = indexOf(fields, "Status"), interDate = indexOf(fields, "InterDate"),
            interFirst = indexOf(fields, "InterFirstName"), interLast = indexOf(fields, "InterLastName"),
            purchDate = indexOf(fields, "PurchDate"), ownerFirst = indexOf(fields, "OwnerFirstName"),
            ownerLast = indexOf(fields, "OwnerLastName");

  Statement insert(cn,
                   QStringLiteral("insert into zel (%1) values (%2)")
                       .arg(columns.join(u','), QStringList(columns.size(), QStringLiteral("?")).join(u',')));
  Transaction tx(cn);
  if (emptyFirst) cn.execute(QStringLiteral("delete from zel"));
  const int total = plan.records();
  // Building an index once over the added rows is several times quicker than keeping it up row by
  // row, unless the table already holds more rows than are added.
  std::vector<std::pair<QString, QString>> indexes;
  if (total > 0 && total >= (emptyFirst ? 0 : storedRecords(cn))) {
    indexes = zelIndexes(cn);
    for (const auto& [name, sql] : indexes) cn.execute(QStringLiteral("drop index \"%1\"").arg(name));
  }
  // The statement keeps its bindings from row to row: fields no column is mapped to are bound once.
  std::vector<Value> row = defaults;
  std::vector<QByteArray> held(row.size());
  for (size_t i = 0; i < row.size(); ++i) bind(insert.get(), int(i) + 1, row[i], held[i]);
  std::vector<int> varying = targets;
  varying.push_back(status);
  std::sort(varying.begin(), varying.end());
  varying.erase(std::unique(varying.begin(), varying.end()), varying.end());
  int done = 0;
  for (int r = plan.firstRow; r <= plan.lastRow; ++r) {
    for (int i : varying) row[size_t(i)] = defaults[size_t(i)];
    bool bad = false;
    for (size_t i = 0; i < plan.mapping.size(); ++i) {
      const Column& c = plan.mapping[i];
      const QString text = source.text(r, c.column);
      if (auto v = convert(*c.field, text, plan.dateFormat)) {
        row[size_t(targets[i])] = *v;
      } else if (problems) {
        problems->problems.push_back({r, c.column, c.field, ownCopy(text)});
        bad = true;
      }
    }
    if (bad) ++problems->rows;
    row[size_t(status)] =
        RecordFields::stateLetter(row[size_t(interDate)].isDate(), row[size_t(interFirst)].toString(),
                                  row[size_t(interLast)].toString(), row[size_t(purchDate)].isDate(),
                                  row[size_t(ownerFirst)].toString(), row[size_t(ownerLast)].toString());
    for (int i : varying) bind(insert.get(), i + 1, row[size_t(i)], held[size_t(i)]);
    const int rc = sqlite3_step(insert.get());
    if (rc != SQLITE_DONE) {
      const QString why = QString::fromUtf8(sqlite3_errmsg(cn.handle()));
      throw DbError(rc,
                    QStringLiteral("Row %1 could not be added: %2. Nothing was imported.").arg(r).arg(why));
    }
    sqlite3_reset(insert.get());
    // The rows take most of the time; rebuilding the indexes and the commit the rest.
    if (progress && ++done % kProgressStep == 0) progress(kRowsShare * done / total);
  }
  for (const auto& [name, sql] : indexes) cn.execute(sql);
  if (progress) progress(kRowsShare + (1 - kRowsShare) / 2);
  tx.commit();
  if (progress) progress(1);
  return total;
}

}  // namespace RecordImport
