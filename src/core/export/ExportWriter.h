#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class Connection;
class QIODevice;
class RecordSet;
class Value;

// The export of every grave record, with its cemetery's name and lot type (empty where it has
// none), to "zel.csv".
namespace ExportWriter {

inline constexpr const char* kFileName = "zel.csv";

// The export's query and the titles of its 37 columns, in the order of the select list.
QString query();
const QStringList& titles();

// One item of a line: texts in double quotes (a quote inside doubled, a leading apostrophe before
// a text a spreadsheet would run as a formula, see CsvCell), numbers without trailing zeros and
// with a point, dates as #yyyy-mm-dd# (with " hh:mm:ss" when a time is stored), Null as #NULL#.
void appendItem(QByteArray& out, const Value& v);
QByteArray item(const Value& v);

struct Result {
  bool ok = false;
  QString fileName;  // the file written (or that could not be written)
  QString error;     // why it failed
  qint64 records = 0;
};

// From this many records on, two readers share the rows when a second core is idle, each on a
// connection of its own in one consistent read of the file; their lines are the same as one
// reader's. A splitFrom of 0 splits any rows, idle core or not.
inline constexpr qint64 kSplitRecords = 20000;

// Runs the query on cn and writes the title line and one line per row to fileName. The shared
// record set rs is closed first, as every command that reuses it does, and left closed. The file is written
// aside and put in place only when complete, so a failure keeps the earlier file as it was.
Result write(Connection& cn, RecordSet& rs, const QString& fileName, qint64 splitFrom = kSplitRecords);
// The same lines into a device that is already open (the command line's standard output, or a
// failing device in tests); a failing device's own reason is the error. name is
// what the result calls it.
Result write(Connection& cn, RecordSet& rs, QIODevice& out, const QString& name = QString(),
             qint64 splitFrom = kSplitRecords);
// The same for the program: ZEL1.cnData and ZEL1.rsRecords into "zel.csv" in the data folder.
Result write();

}  // namespace ExportWriter
