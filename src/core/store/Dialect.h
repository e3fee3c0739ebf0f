#pragma once

#include <QString>

// Turns the program's SQL texts into SQLite:
//  - #date# literals become ISO text literals; the date is read in the day/month order of the
//    record form's date pattern ("mm-dd-yyyy" or "dd-mm-yyyy"); ISO dates are taken as they are;
//  - "select top N ..." becomes "select ... limit N";
//  - text inside single quotes is never touched.
// Text comparisons ignore case through the NOCASE collation of the schema's text columns.
namespace Dialect {

QString translate(const QString& sql, const QString& dateDisplayFormat);

// The same texts for PostgreSQL, after translate(): "collate nocase" goes (text columns ignore case
// for every letter there by their type), a LIKE pattern's backslashes stand for themselves as in
// the file, group_concat is string_agg of texts (its separator ',' unless given), and every ORDER BY puts
// Null first as the file does (ascending; last descending), the order the server's indexes are built in.
QString translateForServer(const QString& sql, const QString& dateDisplayFormat);

// Doubles every single quote so that the text can stand inside an SQL string literal.
QString sqlQuote(const QString& text);

}  // namespace Dialect
