#pragma once

#include <QString>

// Text cells of the comma-separated files the program writes (the export, the reports' CSV), kept
// from being run as formulas: a spreadsheet reads a cell beginning with =, +, -, @, a tab or a
// carriage return as a formula, so such a text is written after an apostrophe, which spreadsheets
// hide. Numbers ("-12.50", "-3") are left as they are; the import takes the apostrophe off again.
namespace CsvCell {

// Whether a text is written with a leading apostrophe: it begins with one of the characters above
// and is no number, or it begins with an apostrophe that the import would otherwise take off.
bool needsGuard(QStringView text);
// The text as written: with the apostrophe when it needs one.
QString guard(const QString& text);
// The text as it was before guard().
QString unguard(const QString& text);

}  // namespace CsvCell
