#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

#include "core/reports/ReportTable.h"

class QIODevice;

// A report written to a file as the grid shows it: the header row, the rows, the empty rows of the
// gap and the count line. Hidden columns are left out, as in print.
namespace Report {

// Comma-separated, UTF-8, lines ending in CR LF. A cell holding a comma, a quote or a line break
// is put in quotes with its quotes doubled, so a multi-line cell stays one field. Written to out a
// chunk at a time; false when a write failed.
bool writeCsv(QIODevice& out, const Table& table);
QByteArray toCsv(const Table& table);

// Plain text in aligned columns under the title, numbers right-aligned; a multi-line cell takes as
// many lines as it has. Written as writeCsv writes.
bool writeText(QIODevice& out, const Table& table);
QString toText(const Table& table);

// Writes a file atomically: write fills the device and says whether all went well; only then does
// the file replace any earlier one. A failure throws DbError (IoErr) naming the file and the reason.
void saveFile(const QString& path, const std::function<bool(QIODevice&)>& write);
void saveCsv(const QString& path, const Table& table);

}  // namespace Report
