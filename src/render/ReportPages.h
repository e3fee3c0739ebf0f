#pragma once

#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include "core/reports/ReportTable.h"

class QIODevice;
class QPagedPaintDevice;

// The printed pages of a report. Needs only Qt Gui: the report window paints on a QPrinter, a
// command line on a QPdfWriter, and both get the same pages.
namespace Report {

// Texts of every page: the header line holds the title at the left and the date at the right, the
// footer line the footer text at the left and the page number ("Page 2 of 5") at the right.
struct PageTexts {
  QString title;
  QString date;
  QString footer;
};

// Today's date as the page header writes it: in the pattern of the report's rows.
QString pageDate(const QDate& d, const QString& datePattern);

// The paper of the system's habit, Letter in the United States and A4 elsewhere, and the page
// layout every report is printed in: that paper upright with half an inch all round.
QPageSize localePaper();
QPageLayout pageLayout(const QPageSize& paper);

// The pages to paint, numbered from 1; 0 for both: every page.
struct PageRange {
  int from = 0;
  int to = 0;
};

// Paints the table on device: on each page the header line, the column headers, as many rows as
// fit and the footer line. Hidden columns are left out; rows are never split. Columns grow to
// their widest amount, number or date, which are never cut; other texts that do not fit end in an
// ellipsis, as do cells with more lines than their row holds. A table wider than the page is
// scaled down to the page's width. No border and no grid lines. False when painting could not
// begin or a page could not be added.
bool paintPages(QPagedPaintDevice& device, const Table& table, const PageTexts& texts,
                const PageRange& range = {});

// The same pages as a PDF document written to out (a file or the command line's standard output).
bool writePdf(QIODevice& out, const Table& table, const PageTexts& texts,
              const QPageSize& paper = localePaper());
// The same pages as a PDF file, written atomically; a failure throws DbError naming the file.
void savePdf(const QString& path, const Table& table, const PageTexts& texts, const QPageSize& paper);

}  // namespace Report
