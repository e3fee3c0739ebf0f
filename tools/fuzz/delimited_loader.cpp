// The delimited-file loader: any bytes as a tab- or comma-delimited file load or are refused with a
// reason; what loads writes back to a file that loads the same; every cell goes through the
// import's conversion.
#include <QFile>
#include <QStringDecoder>

#include "FuzzTarget.h"
#include "core/import/DelimitedText.h"
#include "core/import/RecordImport.h"

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
    Fuzz::fail(QStringLiteral("cannot write ") + path);
}

QString logText(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The table as the format writes it: quoted items in double quotes with inner quotes doubled. Short
// rows get empty items, which read as the missing ones do.
QByteArray written(const DelimitedText::Table& t, const DelimitedText::Format& f) {
  QString out;
  for (int r = 1; r <= t.rowCount(); ++r) {
    for (int c = 1; c <= t.columnCount(); ++c) {
      if (c > 1) out += f.delimiter;
      const QString item = t.text(r, c);
      if (f.quoted)
        out += u'"' + QString(item).replace(u'"', QStringLiteral("\"\"")) + u'"';
      else
        out += item;
    }
    out += QStringLiteral("\r\n");
  }
  // With a byte order mark, as spreadsheets write UTF-8: a first item that starts with the mark's
  // character keeps it.
  return "\xEF\xBB\xBF" + out.toUtf8();
}

// An item as UTF-8 gives it back: a lone surrogate (from a UTF-16 file) becomes a replacement
// character; a byte order mark inside an item stays.
QString asWritten(const QString& item) {
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
  return utf8(item.toUtf8());
}

}  // namespace

ZEL_FUZZ_TARGET(delimited_loader) {
  Fuzz::Input in{data, size};
  const uint8_t choice = in.byte();
  const QByteArray bytes = in.rest();
  DelimitedText::Options o;
  o.format = (choice & 1) ? DelimitedText::Format{u',', true} : DelimitedText::Format{u'\t', false};
  if (choice & 2) o.format.quoted = !o.format.quoted;
  o.memoryLimit = qint64(1) << 30;
  o.logFile = Fuzz::scratch() + QStringLiteral("/import.log");
  const QString file = Fuzz::scratch() + QStringLiteral("/people.csv");
  writeFile(file, bytes);
  QFile::remove(o.logFile);

  DelimitedText::Table table;
  const DelimitedText::Result r = DelimitedText::loadTable(file, o, table);
  const QString log = logText(o.logFile);
  if (!r.ok) {
    Fuzz::require(!r.error.isEmpty(), "a refused file gives its reason");
    Fuzz::require(log.contains(QStringLiteral("The file was not loaded: ") + r.error),
                  "the log says why a file was not loaded");
    return 0;
  }
  Fuzz::require(log.contains(QStringLiteral("The file was loaded.")), "the log says the file was loaded");
  Fuzz::require(r.rows == table.rowCount() && r.columns == table.columnCount() && r.rows >= 1,
                "the result counts the rows and items the sink was given");
  Fuzz::require(r.lines >= r.rows, "every row starts on a line of its own");

  // Written back in the same format, the rows load as they were.
  writeFile(file, written(table, o.format));
  DelimitedText::Table again;
  const DelimitedText::Result r2 = DelimitedText::loadTable(file, o, again);
  if (!r2.ok) Fuzz::fail(QStringLiteral("the rows written back do not load: ") + r2.error);
  Fuzz::require(again.rowCount() == table.rowCount(), "the rows written back load as many rows");
  for (int row = 1; row <= table.rowCount(); ++row)
    for (int c = 1; c <= table.columnCount(); ++c)
      if (again.text(row, c) != asWritten(table.text(row, c)))
        Fuzz::fail(QStringLiteral("row %1 item %2 does not load back as it was").arg(row).arg(c));

  // Every cell through the import's conversion, the columns mapped to the fields in turn.
  const QStringList names = RecordImport::mappingNames();
  QStringList mapped;
  for (int c = 0; c < std::min<int>(table.columnCount(), int(names.size())); ++c)
    mapped << names[(c + choice / 4) % names.size()];
  QString error;
  const std::optional<RecordImport::Mapping> mapping = RecordImport::mappingFromNames(mapped, &error);
  if (!mapping) Fuzz::fail(QStringLiteral("the import's own names are refused: ") + error);
  RecordImport::Plan plan;
  plan.mapping = *mapping;
  plan.lastRow = table.rowCount();
  plan.dateFormat = (choice & 0x80) ? QStringLiteral("dd-mm-yyyy") : QStringLiteral("mm-dd-yyyy");
  plan.firstItems = r.firstItems;
  for (const auto& [row, items] : r.ragged) plan.ragged.push_back({row, items});
  RecordImport::settleDateOrders(RecordImport::TableSource(table), plan);
  const RecordImport::Check check = RecordImport::check(RecordImport::TableSource(table), plan);
  Fuzz::require(check.rows <= table.rowCount(), "problems lie in rows of the file");
  Fuzz::require(check.ragged.size() == r.ragged.size(), "every row with another number of items is listed");
  const auto listed = [](size_t n) { return n ? qsizetype(n) + 1 : 0; };  // a heading and one line each
  Fuzz::require(
      RecordImport::logLines(check).size() == listed(check.problems.size()) + listed(check.ragged.size()) +
                                                  listed(check.refused.size()) + check.notes.size() +
                                                  (check.dateOrder.isEmpty() ? 0 : 1),
      "one log line per problem, row and refused date, under headings");
  return 0;
}
