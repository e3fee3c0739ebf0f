#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "import/DelimitedText.h"
#include "store/RecordFields.h"
#include "store/Value.h"

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
  friend bool operator==(const Column&, const Column&) = default;
};
using Mapping = std::vector<Column>;

// The field names a column can be mapped to, in the order they are offered.
QStringList mappingNames();
// A mapping from one name per column (the first name for column 1); empty names are not imported.
// Nothing, with the reason in error, when a name is not one of mappingNames().
std::optional<Mapping> mappingFromNames(const QStringList& names, QString* error = nullptr);
// A mapping written as "1=InterLastName,2=InterFirstName" (columns from 1, names in any case).
std::optional<Mapping> parseMapping(const QString& text, QString* error = nullptr);

// Which rows go in and how dates are read.
struct Plan {
  Mapping mapping;
  int firstRow = 1;
  int lastRow = 0;     // inclusive; rows beyond the source are empty records
  QString dateFormat;  // the record form's date pattern ("mm-dd-yyyy" or "dd-mm-yyyy")
  int records() const { return std::max(lastRow - firstRow + 1, 0); }
};

// A cell's text for its field's value: the field table's conversion, with the export file's own
// forms understood too (#NULL# for no value, a date between # signs). Nothing when it does not
// convert.
std::optional<Value> convert(const RecordFields::Field& field, const QString& text,
                             const QString& dateFormat);

// A mapped cell whose text does not convert; its field keeps its default.
struct Problem {
  int row = 0;
  int column = 0;
  const RecordFields::Field* field = nullptr;
  QString text;
};

struct Check {
  std::vector<Problem> problems;
  int rows = 0;  // rows holding a problem
};
// Every mapped cell of the plan's rows that will not convert.
Check check(const Source& source, const Plan& plan);
// "37 values in 21 rows will not convert and will keep their defaults"
QString summary(int values, int rows);
// The question asked before such values are imported: how many, in how many rows, and where they
// are listed.
QString question(const Check& c);
// One log line per problem, naming its row, column, field and text.
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
