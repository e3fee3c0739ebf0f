#pragma once

#include <QAnyStringView>
#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>
#include <span>

#include "core/store/Value.h"

// The grave record's fields: every column of table zel with what the record form, its printout,
// the export and the import need to know of it. Whatever handles a whole record reads this table,
// so that a field is declared once.
namespace RecordFields {

enum class Kind {
  Key,     // recid: assigned by the database, shown, never written
  Choice,  // the id of a list entry (cemetery, lot type)
  Text,
  Number,  // a whole number from 0 to the field's max
  Date,
  Money,
  Sex,    // "M", "F", "U", or " " when none is chosen
  State,  // the state letter, derived when the record is saved
};

struct Field {
  const char* name;  // the column as the program writes it; columns match without regard to case
  int tableColumn;   // its place in table zel, as files already made hold it
  Kind kind;
  int length;           // characters (texts) or digits (numbers) a user may type; 0: not typed
  qint64 max;           // numbers: the largest value the column takes; money: whole units either way
  const char* caption;  // label on the record form
  const char* control;  // the record form's control (txtMale for the three sex buttons)
  int printLine;        // line of the printout's field list, gaps are empty lines; 0: not printed
  const char* printLabel;
  const char* exportItem;   // the export's select-list item; nullptr: not exported
  const char* exportTitle;  // the export's column title
  bool imported;            // offered in the import's column mapping, under its name

  QString column() const { return QString::fromLatin1(name).toLower(); }
  // The name the export reads its value by (the select item after the table name).
  QString exportField() const;
};

// Every field, recid first, then in the order of the export's columns.
std::span<const Field> all();
// The field of a column (any case); nullptr for a name that is not a field.
const Field* find(QAnyStringView column);
// The field a record form control shows (its object name, as the table gives it); nullptr for none.
const Field* withControl(QAnyStringView control);
// The fields in the order of table zel's columns.
std::vector<const Field*> inTableOrder();
// The printed fields in the order of the printout.
std::vector<const Field*> printed();
// The import's column mapping choices, in order.
QStringList importNames();

// A whole number typed into a number field: nothing for an empty text, for one that is not a whole
// number, or for one beyond the field's max.
std::optional<qint64> wholeNumber(const Field& f, const QString& text);
// The refusal of a number out of the field's range; it names the field.
QString outOfRangeMessage(const Field& f);
// A number column's value the way the record form shows it: no decimals, 0 (and Null) as empty.
// A value too large for a whole number is shown as it is stored, never wrapped.
QString wholeNumberText(const Value& v);
// The whole number a stored value holds; nothing when it is no number or too large.
std::optional<qint64> storedWhole(const Value& v);

// The longest value a field is made to show whole: its length in capitals (or digits), the largest
// number it takes typed, a date, or an amount up to 9,999,999.99 either way.
QString longestValue(const Field& f);

// Text converted to a field's value, as typed on the form or read from an import file: texts
// unchanged, numbers as wholeNumber (empty as 0), dates in the given display pattern or ISO form
// (empty as Null), amounts of money within the money range (empty as 0). Nothing when the text
// does not convert.
std::optional<Value> fromText(const Field& f, const QString& text, const QString& dateFormat);

// The state letter a record is saved with: "B" with an interment date, "R" with an interred name
// but no interment date, "S" with nothing of an interred person but a purchaser name or purchase
// date, " " (open) otherwise.
QString stateLetter(bool intermentDate, const QString& interredFirst, const QString& interredLast,
                    bool purchaseDate, const QString& purchaserFirst, const QString& purchaserLast);

// The first rule a record's dates break, in the order the save checks them, and the column it
// concerns: an interment more than five days ahead, a birth or death after today, a birth after
// the death, a death after the interment. Invalid dates take no part; nothing when all pass.
struct DateRefusal {
  QString message;
  const char* column;
};
std::optional<DateRefusal> checkDates(const QDate& interment, const QDate& birth, const QDate& death,
                                      const QDate& today = QDate::currentDate());

// The money range of the record's amounts, in whole units either way.
inline constexpr qint64 kMoneyLimit = 9000000000LL;

}  // namespace RecordFields
