#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

class Connection;

// Synthetic but plausible data for demos, tests and benchmarks.
namespace DataGen {

struct Options {
  int cemeteries = 2;
  int lotTypes = 5;
  int records = 300;
  quint32 seed = 1;
  // With false every record is a burial; with true records come in every state (open, sold,
  // reserved, buried), the first four records one of each.
  bool allStates = true;
  // The demo's planted disagreements between cemetery 1 and its map, one of each kind the map
  // check finds (the README lists them): the plan draws the place of its 6th grave with the text of
  // its 5th, its last record is moved onto the place of its 11th, and its 21st record is sold with
  // an interred name.
  bool disagreements = false;
};

// Fills an open connection whose schema exists and whose tables are empty: cemeteries with
// addresses, lot types with sizes and prices, grave records with names, places (section/lot/grave),
// dates and money in every state, some owing money (purchprice+burialfee<>amtpaid). Records are
// dealt to the cemeteries in turn. Deterministic for a seed; one transaction.
void fill(Connection& cn, const Options& o);

// Writes a new database file at path (replacing any file there), keyed with password unless it is
// empty, with the schema and fill()'s data. The file appears only when complete.
void makeDatabase(const QString& path, const Options& o, const QString& password);

// A place of the map plan of cemetery 1 (the first cemetery fill() writes).
struct Cell {
  int row = 0;  // 1-based grid row
  int col = 0;  // 1-based grid column
  QString section, lot, grave;
  // The map cell's text: "A,12,3"; empty for a label cell.
  QString text() const;
  QString label;  // a section caption ("Section A") instead of a grave, or empty
};

struct Layout {
  int rows = 0;
  int cols = 0;
  QList<Cell> cells;  // every grave space of cemetery 1, plus one caption cell per section
};

// Where each grave space of cemetery 1 lies on its plan: every section is a block with one row per
// lot and one column per grave; blocks stand side by side in bands with a blank row and column
// between them. Matches the section/lot/grave of the records fill() writes with the same options.
Layout demoLayout(const Options& o);

}  // namespace DataGen
