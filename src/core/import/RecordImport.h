#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "core/import/DelimitedText.h"
#include "core/store/RecordFields.h"
#include "core/store/Value.h"

class Connection;

// Writing rows of a delimited file as grave records: each mapped cell converted by its field's
// rule, every other field at its default, the state letter derived as the record form's save
// derives it. Runs without any window, from a source of cells and a mapping.
namespace RecordImport {

// The cells to import: rows and columns from 1.
class Source {
 public:
  virtual ~Source() = default;
  virtual int rowCount() const = 0;
  virtual QString text(int row, int col) const = 0;
};

class TableSource : public Source {
 public:
  explicit TableSource(const DelimitedText::Table& t) : t_(t) {}
  int rowCount() const override { return t_.rowCount(); }
  QString text(int row, int col) const override { return t_.text(row, col); }

 private:
  const DelimitedText::Table& t_;
};

// A column of the source and the field it goes into.
struct Column {
  int column = 0;
  const RecordFields::Field* field = nullptr;
  QString dateFormat;  // a date column's own order; empty: the plan's
  friend bool operator==(const Column&, const Column&) = default;
};
using Mapping = std::vector<Column>;

// The field names a column can be mapped to, in the order they are offered: the record's own
// fields, then "Cemetery" (by its name), "LotType" (by its description) and "Vault", so that the
// export imports back whole.
QStringList mappingNames();
// The field a mapping name stands for (any case); nullptr for a name that is not offered.
const RecordFields::Field* fieldFor(const QString& name);
// The name a field is offered under.
QString mappingName(const RecordFields::Field& f);
// A mapping from one name per column (the first name for column 1); empty names are not imported.
// Nothing, with the reason in error, when a name is not one of mappingNames().
std::optional<Mapping> mappingFromNames(const QStringList& names, QString* error = nullptr);
// A mapping written as "1=InterLastName,2=InterFirstName" (columns from 1, names in any case).
std::optional<Mapping> parseMapping(const QString& text, QString* error = nullptr);

// The cemeteries by name and the lot types by description (trimmed, in any case), with their ids.
struct Names {
  QHash<QString, QList<qint64>> cemeteries;
  QHash<QString, QList<qint64>> lotTypes;
};
Names names(Connection& cn);

// A row whose number of items differs from the first row's.
struct Ragged {
  int row = 0;
  int items = 0;
};

// Which rows go in and how dates are read.
struct Plan {
  Mapping mapping;
  int firstRow = 1;
  int lastRow = 0;     // inclusive; rows beyond the source are empty records
  QString dateFormat;  // the record form's date pattern ("mm-dd-yyyy" or "dd-mm-yyyy")
  Names names;         // for the cemetery and lot type columns
  // What the loader found: the first row's number of items and the rows that have another.
  int firstItems = 0;
  std::vector<Ragged> ragged;
  bool quotesKept = false;  // the file's quotes are ordinary characters (tab-delimited)
  QString fileName;         // named in the change history
  int records() const { return std::max(lastRow - firstRow + 1, 0); }
};

// A cell's text for its field's value: the field table's conversion, with the export file's own
// forms understood too (#NULL# for no value, a date between # signs, a midnight time as no time,
// a text's leading apostrophe that guards it in a spreadsheet). Amounts take two decimals at
// most; bytes that were not UTF-8 convert to nothing. Cemetery and lot type columns are looked up
// in names; an empty one is no lot type, and the default cemetery (a Null value). Nothing when the text does
// not convert, with the reason in why.
std::optional<Value> convert(const RecordFields::Field& field, const QString& text, const QString& dateFormat,
                             const Names* names = nullptr, QString* why = nullptr);

// Reads every date column in one order: the system's, unless some of the column's values are no
// dates that way and all of them are dates the other way (review() then says so).
void settleDateOrders(const Source& source, Plan& plan);
// The order dates are read in, for the question: "dates read day-first, as dd-mm-yyyy, from the
// system's settings".
QString dateOrderText(const QString& dateFormat);

// A mapped cell whose text does not convert; its field keeps its default.
struct Problem {
  int row = 0;
  int column = 0;
  const RecordFields::Field* field = nullptr;
  QString text;
  QString why;
};

// A row whose dates the record form's Save would refuse, with the form's reason.
struct Refusal {
  int row = 0;
  QString message;
};

struct Check {
  std::vector<Problem> problems;
  int rows = 0;  // rows holding a problem
  std::vector<Ragged> ragged;
  int firstItems = 0;
  std::vector<Refusal> refused;
  QString dateOrder;  // how dates are read, when a date column is mapped
  QStringList notes;  // worth saying, though nothing is refused: date columns read the other way,
                      // quotes kept
  // Nothing to ask about: no value, row or date the user has not seen.
  bool clean() const { return problems.empty() && ragged.empty() && refused.empty(); }
};
// Every mapped cell of the plan's rows that will not convert, and all that review() finds. The
// plan's date orders are settled first (settleDateOrders).
Check check(const Source& source, const Plan& plan);
// All but the cells: rows with more or fewer items, dates the form refuses, notes.
void review(const Source& source, const Plan& plan, Check& c);
// "37 values in 21 rows will not convert and will keep their defaults"
QString summary(int values, int rows);
// "2 rows have more or fewer items than the first row (5)"
QString raggedSummary(int rows, int firstItems);
// The question asked before such values and rows are imported: how many of each, how dates are
// read, and where they are listed.
QString question(const Check& c);
// One log line per problem, naming its row, column, field, text and reason.
QStringList logLines(const Check& c);

// The cemetery and the lot type every imported record gets: the first of each. A database without
// a cemetery or a lot type is refused with DbError.
struct Targets {
  qint64 cemetery = 0;
  qint64 lot = 0;
};
Targets targets(Connection& cn);

// Adds one record per row of the plan to table zel, after deleting every grave record when
// emptyFirst is set; all in one transaction. Refuses (DbError, nothing changed) a database without
// a cemetery or a lot type: the records would belong to none. Any failure rolls everything back
// and is thrown as DbError naming the row. Returns the number of records added. Cells that did not
// convert are added to problems when it is given, as check() names them: one pass instead of two
// where nobody is asked first.
using Progress = std::function<void(double fraction)>;  // of the whole work, now and then
int write(Connection& cn, const Source& source, const Plan& plan, bool emptyFirst,
          const Progress& progress = {}, Check* problems = nullptr);

}  // namespace RecordImport
