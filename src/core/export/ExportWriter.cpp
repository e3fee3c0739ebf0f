#include "core/export/ExportWriter.h"

#include <QFile>
#include <QSaveFile>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <system_error>
#include <thread>

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

// The select list is the field table's; the joins and the order are the export's own. The key ends
// the order, so that records alike in every other item come in the same order on either engine.
// Outer joins: a record without a lot type or cemetery (or whose one was removed) is exported with
// an empty cell there, never left out.
const char* kFrom =
    " FROM (ZEL LEFT JOIN Lots ON ZEL.LotID = Lots.LotID) LEFT JOIN Cemetery ON ZEL.CemeteryID = "
    "Cemetery.CemeteryID";
const char* kOrder =
    " ORDER BY ZEL.cSection COLLATE PLACES, ZEL.Lot COLLATE PLACES, ZEL.Grave COLLATE "
    "PLACES, ZEL.OwnerLastName COLLATE NAMES, ZEL.OwnerFirstName COLLATE NAMES, ZEL.InterLastName COLLATE "
    "NAMES, ZEL.InterFirstName COLLATE NAMES, ZEL.recid";

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

namespace {

QString queryWhere(const char* where) {
  QStringList items;
  for (const RecordFields::Field* f : exported()) items << QString::fromLatin1(f->exportItem);
  return QStringLiteral("SELECT ") + items.join(QStringLiteral(", ")) + QLatin1String(kFrom) +
         QLatin1String(where) + QLatin1String(kOrder);
}

}  // namespace

QString query() { return queryWhere(""); }

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
void appendNumber(QByteArray& out, const Statement& st, int col) {
  if (st.type(col) != Statement::Type::Integer) {
    out.append(realText(st.real(col)));
    return;
  }
  char digits[24];
  const auto r = std::to_chars(digits, digits + sizeof digits, st.int64(col));
  out.append(digits, r.ptr - digits);
}

// An amount from its stored ten-thousandths, as Money::toPlainString writes it ("12.5", "-0.25",
// "7"), without making a Money and two strings for every cell.
void appendAmount(QByteArray& out, qint64 scaled) {
  const quint64 a = scaled < 0 ? quint64(0) - quint64(scaled) : quint64(scaled);
  quint64 units = a / quint64(Money::kScale), fraction = a % quint64(Money::kScale);
  int decimals = 4;
  for (; decimals > 0 && fraction % 10 == 0; --decimals) fraction /= 10;
  char text[32];
  char* const end = text + sizeof text;
  char* p = end;
  for (int k = 0; k < decimals; ++k, fraction /= 10) *--p = char('0' + fraction % 10);
  if (decimals > 0) *--p = '.';
  do {
    *--p = char('0' + units % 10);
    units /= 10;
  } while (units);
  if (scaled < 0) *--p = '-';
  out.append(p, end - p);
}

// One column of the current row, read as the store reads it (money columns hold scaled integers,
// date columns ISO text) and written by the item rules.
void appendColumn(QByteArray& out, const Statement& st, int col, Kind kind) {
  if (kind == Kind::Money) {
    // Money has one reading in the file (Schema::fromStored); anything else stored there is refused,
    // never guessed.
    const Statement::Type type = st.type(col);
    if (type == Statement::Type::Null) {
      out.append("#NULL#");
      return;
    }
    if (type != Statement::Type::Integer || st.int64(col) < -Money::kMaxScaled)
      throw Schema::badMoney(QString::fromUtf8(st.columnName(col)), Value(st.string(col)));
    appendAmount(out, st.int64(col));
    return;
  }
  switch (st.type(col)) {
    case Statement::Type::Null:
      out.append(kind == Kind::Joined ? "\"\"" : "#NULL#");
      return;
    case Statement::Type::Integer:
    case Statement::Type::Real:
      appendNumber(out, st, col);
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

constexpr qsizetype kChunk = 1 << 20;

// Where each exported field stands among a query's columns, and how it is written.
struct Layout {
  std::vector<int> index;
  std::vector<Kind> kinds;
};

Layout layoutOf(const Statement& stmt) {
  // Look the fields up by name once; the rows are then read by position.
  const std::vector<const RecordFields::Field*> fields = exported();
  const int count = int(fields.size());
  Layout l{std::vector<int>(size_t(count), -1), std::vector<Kind>(size_t(count))};
  const int columns = stmt.columnCount();
  for (size_t i = 0; i < size_t(count); ++i) {
    const QByteArray name = fields[i]->exportField().toLatin1();
    for (int c = 0; c < columns && l.index[i] < 0; ++c)
      if (qstricmp(stmt.columnName(c), name.constData()) == 0) l.index[i] = c;
    if (l.index[i] < 0)
      throw DbError(DbError::Error, QStringLiteral("Item not found in this collection: %1").arg(name));
    l.kinds[i] = fields[i]->kind == RecordFields::Kind::Choice ? Kind::Joined : kindOf(stmt, l.index[i]);
  }
  return l;
}

// Writes the rows of stmt into buffer, one line each; whenever the buffer holds a chunk, full()
// takes it, and stops the rows by returning false. Returns the lines written.
qint64 formatRows(Statement& stmt, QByteArray& buffer, const std::function<bool()>& full) {
  const Layout layout = layoutOf(stmt);
  const size_t count = layout.index.size();
  qint64 lines = 0;
  while (stmt.next()) {
    for (size_t i = 0; i < count; ++i) {
      if (i) buffer.append(',');
      appendColumn(buffer, stmt, layout.index[i], layout.kinds[i]);
    }
    buffer.append("\r\n");
    ++lines;
    if (buffer.size() >= kChunk && !full()) break;
  }
  return lines;
}

// Two readers share the rows, split at a section: the first reads the sections that sort before it,
// the second the rest, on a connection of its own. The orders of the two halves join into the order
// of the whole, their rows coming through the same index as the whole's would.
const char* kFirstHalf = " WHERE ZEL.cSection < ? COLLATE PLACES";
const char* kSecondHalf = " WHERE ZEL.cSection >= ? COLLATE PLACES";
constexpr int kSamples = 101;

qint64 number(Connection& cn, const char* sql) {
  Statement st(cn, sql);
  return st.next() ? st.int64(0) : 0;
}

// The section where the second reader starts: the middle one of records sampled evenly over the
// keys. Nothing when one reader reads everything: fewer records than splitFrom, or records without a
// section (they sort first, and no range of sections holds them).
std::optional<QByteArray> splitSection(Connection& cn, qint64 splitFrom) {
  const qint64 first = number(cn, "SELECT min(recid) FROM zel"),
               last = number(cn, "SELECT max(recid) FROM zel");
  if (last - first + 1 < splitFrom || number(cn, "SELECT count(*) FROM zel WHERE cSection IS NULL") > 0)
    return std::nullopt;
  QStringList keys;
  for (int i = 0; i < kSamples; ++i)
    keys << QString::number(first + qint64(double(last - first) * (2 * i + 1) / (2 * kSamples)));
  Statement st(cn, "SELECT cSection FROM zel WHERE recid IN (" + keys.join(u',').toLatin1() +
                       ") ORDER BY cSection COLLATE PLACES");
  std::vector<QByteArray> sections;
  while (st.next()) sections.emplace_back(st.text(0).toByteArray());
  if (sections.size() < 2) return std::nullopt;
  return sections[sections.size() / 2];
}

// Whether a core stands idle for a second reader: the system's run queue over the last minute is
// below the number of cores less one. On a busy machine the second reader only adds its own work
// (its connection, its page reads and the hand-over of its lines), a fifth more in all.
bool secondCoreFree() {
  const unsigned cores = std::thread::hardware_concurrency();
  if (cores < 2) return false;
  QFile f(QStringLiteral("/proc/loadavg"));
  if (!f.open(QIODevice::ReadOnly)) return true;
  bool ok = false;
  const double load = f.readLine().split(' ').value(0).toDouble(&ok);
  return !ok || load < double(cores) - 1;
}

// What the second reader made: its lines in chunks, or failed (the first reader then reads its
// half after its own, so that a busy file or any failure is met, and reported, as one reader meets
// it).
struct SecondHalf {
  std::vector<QByteArray> chunks;
  qint64 lines = 0;
  bool failed = false;
  std::atomic<bool> stop{false};
};

void readSecondHalf(const Connection& cn, const QByteArray& section, SecondHalf& half) {
  try {
    Connection reader;
    reader.openAlongside(cn);
    Statement stmt(reader, reader.translate(queryWhere(kSecondHalf)).toUtf8());
    stmt.bindText(1, section);
    QByteArray buffer;
    buffer.reserve(kChunk + 64 * 1024);
    half.lines = formatRows(stmt, buffer, [&] {
      half.chunks.push_back(std::move(buffer));
      buffer = QByteArray();
      buffer.reserve(kChunk + 64 * 1024);
      return !half.stop;
    });
    half.chunks.push_back(std::move(buffer));
    half.failed = half.stop;
  } catch (...) {
    half.failed = true;
  }
}

// Writes the title line and one line per row to out; on failure error says why.
bool writeRows(Connection& cn, RecordSet& rs, QIODevice& out, Result& result, qint64 splitFrom) {
  QByteArray buffer;
  buffer.reserve(kChunk + 64 * 1024);
  // A short write (the disk just filled up) is followed by one more, which then fails with the
  // disk's own reason.
  const auto write = [&](const QByteArray& bytes) {
    for (qsizetype done = 0; result.error.isEmpty() && done < bytes.size();) {
      const qint64 n = out.write(bytes.constData() + done, bytes.size() - done);
      if (n <= 0)
        result.error = out.errorString();
      else
        done += n;
    }
    return result.error.isEmpty();
  };
  const auto flush = [&] {
    write(buffer);
    buffer.clear();
    return result.error.isEmpty();
  };

  for (int i = 0; i < titles().size(); ++i) {
    if (i) buffer.append(',');
    appendText(buffer, titles()[i]);
  }
  buffer.append("\r\n");

  std::optional<QByteArray> section;  // where the second reader starts
  SecondHalf half;
  std::thread second;
  bool began = false;
  const auto endRead = [&] {
    if (second.joinable()) {
      half.stop = true;
      second.join();
    }
    if (began) cn.rollback();
  };
  try {
    if (rs.isOpen()) rs.close();
    if (!cn.isOpen()) throw DbError(DbError::Misuse, QStringLiteral("The database is not open."));
    // The rows are streamed straight from the engine: a record set would make values of every
    // field first, which costs more than the whole rest of the export.
    // A second reader needs a file the connection shares and no changes of its own yet uncommitted.
    if (cn.mode() == Connection::ShareMode::Default && !cn.inTransaction()) {
      // The read lock taken here keeps every writer out until both readers have read.
      cn.execute(QStringLiteral("BEGIN"));
      began = true;
      // A server reads the rows in one statement, from one snapshot, on its own cores.
      if (!cn.isServer() && (splitFrom == 0 || secondCoreFree())) section = splitSection(cn, splitFrom);
      if (section) {
        try {
          second = std::thread(readSecondHalf, std::cref(cn), std::cref(*section), std::ref(half));
        } catch (const std::system_error&) {
          half.failed = true;
        }
      }
    }
    const auto readHalf = [&](const char* where) {
      // One reader of everything takes the rows as they come: a server's result would otherwise be
      // held whole before its first line is written.
      Statement stmt(cn, cn.translate(queryWhere(where)).toUtf8(),
                     section ? Statement::Rows::Default : Statement::Rows::Streamed);
      if (section) stmt.bindText(1, *section);
      result.records += formatRows(stmt, buffer, flush);
    };
    readHalf(section ? kFirstHalf : "");
    if (section) {
      half.stop = !result.error.isEmpty();
      if (second.joinable()) second.join();
      if (result.error.isEmpty() && half.failed) {
        readHalf(kSecondHalf);
      } else if (result.error.isEmpty() && flush()) {
        for (const QByteArray& chunk : half.chunks) write(chunk);
        result.records += half.lines;
      }
    }
    endRead();
  } catch (const DbError& e) {
    endRead();
    result.error = e.description();
    return false;
  }
  flush();
  return result.error.isEmpty();
}
}  // namespace

Result write(Connection& cn, RecordSet& rs, const QString& fileName, qint64 splitFrom) {
  Result result;
  result.fileName = fileName;
  // Unbuffered, so that a failing write reports its own reason at once, not at the commit.
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    result.error = file.errorString();
    return result;
  }
  if (!writeRows(cn, rs, file, result, splitFrom) || !file.commit()) {
    if (result.error.isEmpty()) result.error = file.errorString();
    file.cancelWriting();
    return result;
  }
  result.ok = true;
  return result;
}

Result write(Connection& cn, RecordSet& rs, QIODevice& out, const QString& name, qint64 splitFrom) {
  Result result;
  result.fileName = name;
  result.ok = writeRows(cn, rs, out, result, splitFrom);
  return result;
}

Result write() { return write(ZEL1.cnData, ZEL1.rsRecords, ZEL1.dataFile(QLatin1String(kFileName))); }

}  // namespace ExportWriter
