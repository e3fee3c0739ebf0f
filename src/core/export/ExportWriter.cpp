#include "core/export/ExportWriter.h"

#include <QSaveFile>
#include <cmath>
#include <cstring>

#include "core/program/CsvCell.h"
#include "core/program/Zel1.h"
#include "core/store/DateValue.h"
#include "core/store/DbError.h"
#include "core/store/RecordFields.h"
#include "core/store/RecordSet.h"
#include "core/store/Schema.h"
#include "core/store/Statement.h"
#include "core/store/Value.h"

namespace ExportWriter {

namespace {

// The select list is the field table's; the joins and the order are the export's own.
// Outer joins: a record without a lot type or cemetery (or whose one was removed) is exported with
// an empty cell there, never left out.
const char* kFromAndOrder =
    " FROM (ZEL LEFT JOIN Lots ON ZEL.LotID = Lots.LotID) LEFT JOIN Cemetery ON ZEL.CemeteryID = "
    "Cemetery.CemeteryID ORDER BY ZEL.cSection COLLATE PLACES, ZEL.Lot COLLATE PLACES, ZEL.Grave COLLATE "
    "PLACES, ZEL.OwnerLastName COLLATE NAMES, ZEL.OwnerFirstName COLLATE NAMES, ZEL.InterLastName COLLATE "
    "NAMES, ZEL.InterFirstName COLLATE NAMES";

std::vector<const RecordFields::Field*> exported() {
  std::vector<const RecordFields::Field*> list;
  for (const RecordFields::Field& f : RecordFields::all())
    if (f.exportItem) list.push_back(&f);
  return list;
}

void appendText(QByteArray& out, const QString& input) {
  const QString text = CsvCell::guard(input);
  out.append('"');
  if (text.contains(QLatin1Char('"'))) {
    QString doubled = text;
    doubled.replace(QLatin1String("\""), QLatin1String("\"\""));
    out.append(doubled.toUtf8());
  } else {
    out.append(text.toUtf8());
  }
  out.append('"');
}

void appendTwo(QByteArray& out, int n) {
  out.append(char('0' + n / 10));
  out.append(char('0' + n % 10));
}

// Shortest plain decimal text: a point, no exponent, no trailing zeros.
QByteArray realText(double d) {
  if (!std::isfinite(d)) return QByteArray::number(d);
  if (std::trunc(d) == d) {
    if (std::fabs(d) < 9.0e18) return QByteArray::number(qint64(d));
    return QByteArray::number(d, 'f', 0);
  }
  QByteArray s = QByteArray::number(d, 'g', 15);
  if (s.contains('e')) {
    const int exponent = int(std::floor(std::log10(std::fabs(d))));
    s = QByteArray::number(d, 'f', qBound(0, 14 - exponent, 330));
    while (s.endsWith('0')) s.chop(1);
    if (s.endsWith('.')) s.chop(1);
  }
  return s;
}

}  // namespace

QString query() {
  QStringList items;
  for (const RecordFields::Field* f : exported()) items << QString::fromLatin1(f->exportItem);
  return QStringLiteral("SELECT ") + items.join(QStringLiteral(", ")) + QLatin1String(kFromAndOrder);
}

const QStringList& titles() {
  static const QStringList t = [] {
    QStringList list;
    for (const RecordFields::Field* f : exported()) list << QString::fromLatin1(f->exportTitle);
    return list;
  }();
  return t;
}

void appendItem(QByteArray& out, const Value& v) {
  switch (v.type()) {
    case Value::Type::Null:
      out.append("#NULL#");
      break;
    case Value::Type::Text:
      appendText(out, v.toString());
      break;
    case Value::Type::Integer:
      out.append(QByteArray::number(v.toInt()));
      break;
    case Value::Type::Real:
      out.append(realText(v.toDouble()));
      break;
    case Value::Type::Money:
      out.append(v.toMoney().toPlainString().toLatin1());
      break;
    case Value::Type::Date: {
      const QDateTime dt = v.toDateTime();
      const QDate d = dt.date();
      const QTime t = dt.time();
      out.append('#');
      out.append(QByteArray::number(d.year()).rightJustified(4, '0'));
      out.append('-');
      appendTwo(out, d.month());
      out.append('-');
      appendTwo(out, d.day());
      if (v.hasTime() && t != QTime(0, 0)) {
        out.append(' ');
        appendTwo(out, t.hour());
        out.append(':');
        appendTwo(out, t.minute());
        out.append(':');
        appendTwo(out, t.second());
      }
      out.append('#');
      break;
    }
  }
}

QByteArray item(const Value& v) {
  QByteArray out;
  appendItem(out, v);
  return out;
}

namespace {

// Joined: the cemetery's name or the lot type's description, empty where the record has none.
enum class Kind { Other, Money, Date, Joined };

Kind kindOf(const Statement& st, int col) {
  const char* decl = st.declaredType(col);
  if (!decl) return Kind::Other;
  if (qstricmp(decl, "money") == 0) return Kind::Money;
  if (qstricmp(decl, "date") == 0 || qstricmp(decl, "datetime") == 0) return Kind::Date;
  return Kind::Other;
}

bool isDigits(const char* p, int n) {
  for (int i = 0; i < n; ++i)
    if (p[i] < '0' || p[i] > '9') return false;
  return true;
}

int number(const char* p, int n) {
  int v = 0;
  for (int i = 0; i < n; ++i) v = v * 10 + (p[i] - '0');
  return v;
}

// Stored dates in their usual ISO shapes are copied straight through; anything else goes the long
// way through the store's own reading.
bool appendStoredDate(QByteArray& out, const char* p, qsizetype n) {
  if (n != 10 && n != 19) return false;
  if (!isDigits(p, 4) || p[4] != '-' || !isDigits(p + 5, 2) || p[7] != '-' || !isDigits(p + 8, 2))
    return false;
  if (!QDate::isValid(number(p, 4), number(p + 5, 2), number(p + 8, 2))) return false;
  bool withTime = false;
  if (n == 19) {
    if (p[10] != ' ' || !isDigits(p + 11, 2) || p[13] != ':' || !isDigits(p + 14, 2) || p[16] != ':' ||
        !isDigits(p + 17, 2))
      return false;
    if (!QTime::isValid(number(p + 11, 2), number(p + 14, 2), number(p + 17, 2))) return false;
    withTime = std::memcmp(p + 11, "00:00:00", 8) != 0;
  }
  out.append('#');
  out.append(p, withTime ? 19 : 10);
  out.append('#');
  return true;
}

void appendRawText(QByteArray& out, const char* p, qsizetype n) {
  out.append('"');
  // A text a spreadsheet would run as a formula is guarded; only those starts take the long way.
  if (n > 0 && std::strchr("=+-@\t\r'", p[0]) && CsvCell::needsGuard(QString::fromUtf8(p, n)))
    out.append('\'');
  const char* end = p + n;
  while (const char* q = static_cast<const char*>(std::memchr(p, '"', size_t(end - p)))) {
    out.append(p, q - p + 1);
    out.append('"');
    p = q + 1;
  }
  out.append(p, end - p);
  out.append('"');
}

// A stored number other than money, plainly.
QByteArray numberText(const Statement& st, int col) {
  return st.type(col) == Statement::Type::Integer ? QByteArray::number(st.int64(col))
                                                  : realText(st.real(col));
}

// One column of the current row, read as the store reads it (money columns hold scaled integers,
// date columns ISO text) and written by the item rules.
void appendColumn(QByteArray& out, const Statement& st, int col, Kind kind) {
  if (kind == Kind::Money) {
    // Money has one reading in the file; anything else stored there is refused, never guessed.
    const std::optional<Value> v = st.money(col);
    if (!v) throw Schema::badMoney(QString::fromUtf8(st.columnName(col)), Value(st.string(col)));
    if (v->isNull())
      out.append("#NULL#");
    else
      out.append(v->toMoney().toPlainString().toLatin1());
    return;
  }
  switch (st.type(col)) {
    case Statement::Type::Null:
      out.append(kind == Kind::Joined ? "\"\"" : "#NULL#");
      return;
    case Statement::Type::Integer:
    case Statement::Type::Real:
      out.append(numberText(st, col));
      return;
    default: {
      const QByteArrayView text = st.text(col);
      const char* p = text.data();
      const qsizetype n = text.size();
      if (kind == Kind::Date) {
        if (appendStoredDate(out, p, n)) return;
        bool hasTime = false;
        const QDateTime dt = DateValue::fromIso(QString::fromUtf8(p, n), &hasTime);
        if (dt.isValid()) {
          appendItem(out, Value(dt, hasTime));
          return;
        }
      }
      appendRawText(out, p, n);
      return;
    }
  }
}

// Writes the title line and one line per row to out; on failure error says why.
bool writeRows(Connection& cn, RecordSet& rs, QIODevice& out, Result& result) {
  QByteArray buffer;
  constexpr qsizetype kChunk = 1 << 20;
  buffer.reserve(kChunk + 64 * 1024);
  // A short write (the disk just filled up) is followed by one more, which then fails with the
  // disk's own reason.
  const auto flush = [&]() {
    for (qsizetype done = 0; result.error.isEmpty() && done < buffer.size();) {
      const qint64 n = out.write(buffer.constData() + done, buffer.size() - done);
      if (n <= 0)
        result.error = out.errorString();
      else
        done += n;
    }
    buffer.clear();
  };

  for (int i = 0; i < titles().size(); ++i) {
    if (i) buffer.append(',');
    appendText(buffer, titles()[i]);
  }
  buffer.append("\r\n");

  try {
    if (rs.isOpen()) rs.close();
    if (!cn.isOpen()) throw DbError(DbError::Misuse, QStringLiteral("The database is not open."));
    // The rows are streamed straight from the engine: a record set would make values of every
    // field first, which costs more than the whole rest of the export.
    Statement stmt(cn, cn.translate(query()).toUtf8());

    // Look the fields up by name once; the rows are then read by position.
    const std::vector<const RecordFields::Field*> fields = exported();
    const int count = int(fields.size());
    std::vector<int> index(count, -1);
    std::vector<Kind> kinds(count);
    const int columns = stmt.columnCount();
    for (int i = 0; i < count; ++i) {
      const QByteArray name = fields[i]->exportField().toLatin1();
      for (int c = 0; c < columns && index[i] < 0; ++c)
        if (qstricmp(stmt.columnName(c), name.constData()) == 0) index[i] = c;
      if (index[i] < 0)
        throw DbError(DbError::Error, QStringLiteral("Item not found in this collection: %1").arg(name));
      kinds[i] = fields[i]->kind == RecordFields::Kind::Choice ? Kind::Joined : kindOf(stmt, index[i]);
    }

    while (result.error.isEmpty() && stmt.next()) {
      for (int i = 0; i < count; ++i) {
        if (i) buffer.append(',');
        appendColumn(buffer, stmt, index[i], kinds[i]);
      }
      buffer.append("\r\n");
      ++result.records;
      if (buffer.size() >= kChunk) flush();
    }
  } catch (const DbError& e) {
    result.error = e.description();
    return false;
  }
  flush();
  return result.error.isEmpty();
}

}  // namespace

Result write(Connection& cn, RecordSet& rs, const QString& fileName) {
  Result result;
  result.fileName = fileName;
  // Unbuffered, so that a failing write reports its own reason at once, not at the commit.
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    result.error = file.errorString();
    return result;
  }
  if (!writeRows(cn, rs, file, result) || !file.commit()) {
    if (result.error.isEmpty()) result.error = file.errorString();
    file.cancelWriting();
    return result;
  }
  result.ok = true;
  return result;
}

Result write(Connection& cn, RecordSet& rs, QIODevice& out, const QString& name) {
  Result result;
  result.fileName = name;
  result.ok = writeRows(cn, rs, out, result);
  return result;
}

Result write() { return write(ZEL1.cnData, ZEL1.rsRecords, ZEL1.dataFile(QLatin1String(kFileName))); }

}  // namespace ExportWriter
