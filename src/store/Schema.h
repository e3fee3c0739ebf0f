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

// Record form's display of a state letter ("SOLD", "RESERVED", "BURIED", "OPEN"); exact, case-sensitive.
QString stateDisplay(const QString& letter);
// Map legend's name ("Sold", "Reserved", "Buried", "Available").
QString stateLegend(const QString& letter);

}  // namespace Schema
