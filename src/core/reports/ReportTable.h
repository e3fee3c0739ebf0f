#pragma once

#include <QLocale>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "core/store/Money.h"

// A built report as a plain table: what the report window puts into its grid, and what printing,
// files and the command line are made from. Rows and columns are numbered from 1 as in the grid;
// row 0 is the header row.
namespace Report {

enum class Align : qint8 { Left = 0, Right = 1, Centre = 2 };  // the grid's TypeHAlign codes

// Columns whose width the report does not give keep the grid's default, this many characters.
inline constexpr double kDefaultColumnWidth = 9;

struct Column {
  QString header;
  Align headerAlign = Align::Left;
  std::optional<double> width;  // in character widths; none: the default; 0: hidden
  double shownWidth() const { return width.value_or(kDefaultColumnWidth); }
};

struct Cell {
  QString text;
  Align align = Align::Left;
  bool bold = false;
};

using Row = std::vector<Cell>;  // one cell per column

struct Table {
  QString title;
  std::vector<Column> columns;
  double rowHeightFactor = 0;  // every row this many times as high as a plain row; 0: unchanged
  int gap = 1;                 // the count line is this many rows below the last record
  std::vector<Row> rows;       // one per record, in the order of the query
  Row countLine;               // "Count: n" in column 2, and the total where the report has one
  std::optional<Money> total;  // the receivables' sum of balances
  int recordColumn = -1;       // the column whose record numbers a double-click opens; -1: none
  QString datePattern = QStringLiteral("mm-dd-yyyy");  // how the rows write dates; the page header too

  int count() const { return int(rows.size()); }
  // Grid row of the count line; the rows between the records and it stay empty.
  int countRow() const { return count() + gap; }
  // The text lines of a row at the row height factor (1 without one).
  double rowLines() const { return rowHeightFactor > 0 ? rowHeightFactor : 1; }
};

// Cells that are never cut short: amounts, numbers and dates (the right-aligned cells) and every
// cell of the count line. Other texts may be cut, and then end in an ellipsis.
inline bool showsWhole(const Cell& c, bool inCountLine) {
  return !c.text.isEmpty() && (inCountLine || c.align == Align::Right);
}

// Column widths, in character widths, that hold every cell shown whole: the report's width, or
// more where such a cell is wider. charsOf gives the widest line of a cell in digit widths of the
// plain cell font. Hidden columns stay hidden.
std::vector<double> fittedWidths(const Table& table, const std::function<double(const Cell&)>& charsOf);

// How the reports write dates and money: dates as the program writes them everywhere (the record
// form's "mm-dd-yyyy" or "dd-mm-yyyy", settled from the system's short date pattern), money with
// the system's decimal separator.
struct Format {
  QLocale locale;
  QString dateFormat = QStringLiteral("mm-dd-yyyy");
};

// Money in the ".00" form: two decimals, no grouping, no leading zero below one (.50, -.50, .00).
QString moneyText(Money m, const Format& f);
// The amount as moneyText shows it, to whole cents: balances and totals add these, so that a
// total is the sum of the amounts above it.
Money shownMoney(Money m);

}  // namespace Report
