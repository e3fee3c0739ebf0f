#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

class Connection;

// Copies a database between the file and a server, table by table and row by row, with every value
// as it is stored (the history's hashes too, so its chain still verifies), and sums up a database so
// that a copy can be checked against its source.
namespace TableCopy {

// The tables of a database, in name order: the engine's own tables and the server's version table
// left out.
QStringList tables(Connection& cn);

// Copies every table of from, except those named in skip, into to, which already holds the
// program's tables: a table or column to lacks is made first, with the nearest type. The rows of
// each table are added as they are, keys included, and the numbers new rows get continue after the
// source's (a number used once is never given again). Both sides are in the caller's transactions;
// failures throw DbError naming the table.
void copyAll(Connection& from, Connection& to, const QStringList& skip = {});

// What a copy is checked by: the rows of each table and the sum of each money column, as texts
// ("zel: rows" -> "120", "zel.purchprice: sum" -> "1500000").
using Summary = QMap<QString, QString>;
Summary summarize(Connection& cn, const QStringList& tables);
// The lines that differ, as "zel: rows 120 in the file, 119 on the server"; empty when none.
QStringList differences(const Summary& source, const Summary& copy, const QString& sourceName,
                        const QString& copyName);

}  // namespace TableCopy
