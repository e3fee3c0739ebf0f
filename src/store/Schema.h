#pragma once

#include <QString>
#include <QStringList>

class Connection;

// The tables of the program's database and the record state letters.
namespace Schema {

// Creates the tables zel, cemetery and lots (and their indexes) when missing.
void create(Connection& cn);
// True when the three tables are present.
bool isComplete(Connection& cn);

// Columns of zel in table order (recid first).
const QStringList& zelColumns();

// State letters.
inline constexpr const char* kBuried = "B";
inline constexpr const char* kReserved = "R";
inline constexpr const char* kSold = "S";

// The state letter a record is saved with: "B" with a valid interment date, "R" with an interred
// name but no interment date, "S" with nothing of an interred person but a purchase date or a
// purchaser name, " " otherwise. Names count when they hold more than blanks.
QString deriveState(bool intermentDateValid, const QString& interredFirst, const QString& interredLast,
                    bool purchaseDateValid, const QString& purchaserFirst, const QString& purchaserLast);

// Record form's display of a state letter ("SOLD", "RESERVED", "BURIED", "OPEN"); exact, case-sensitive.
QString stateDisplay(const QString& letter);
// Map legend's name ("Sold", "Reserved", "Buried", "Available").
QString stateLegend(const QString& letter);

}  // namespace Schema
