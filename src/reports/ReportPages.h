#pragma once

#include <QString>

#include "reports/ReportTable.h"

class QIODevice;
class QPagedPaintDevice;

// The printed pages of a report. Needs only Qt Gui: the report window paints on a QPrinter, a
// command line on a QPdfWriter, and both get the same pages.
namespace Report {

// Texts of every page: the header line holds the title at the left and the date at the right, the
// footer line the footer text.
struct PageTexts {
  QString title;
  QString date;
  QString footer;
};

// Today's date as the page header writes it: month-day-year, "12-04-2026", whatever the system's
// date settings.
QString pageDate(const QDate& d);

// Paints the table on device: on each page the header line, the column headers, as many rows as
// fit and the footer line. Hidden columns are left out; rows are never split; a table wider than
// the page is scaled down to the page's width. No border and no grid lines. False when painting
// could not begin or a page could not be added.
bool paintPages(QPagedPaintDevice& device, const Table& table, const PageTexts& texts);

// The same pages as a PDF document written to out (a file or the command line's standard output).
bool writePdf(QIODevice& out, const Table& table, const PageTexts& texts);
// The same pages as a PDF file, written atomically; on failure error names the file.
bool savePdf(const QString& path, const Table& table, const PageTexts& texts, QString* error);

}  // namespace Report
