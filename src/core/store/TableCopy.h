#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

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
// A server's rows are read a batch at a time (ServerEngine::prepareBatched), so that a table larger
// than memory is copied all the same; a server source must be in a transaction.
void copyAll(Connection& from, Connection& to, const QStringList& skip = {});
// Called after each row copied with its table and the rows of it copied so far; for the tests, which
// end a connection half-way through a copy.
void setRowHookForTesting(std::function<void(const QString& table, qint64 rows)> hook);

// What a copy is checked by: the rows of each table and the sum of each money column, as texts
// ("zel: rows" -> "120", "zel.purchprice: sum" -> "1500000").
using Summary = QMap<QString, QString>;
Summary summarize(Connection& cn, const QStringList& tables);
// The lines that differ, as "zel: rows 120 in the file, 119 on the server"; empty when none.
QStringList differences(const Summary& source, const Summary& copy, const QString& sourceName,
                        const QString& copyName);

}  // namespace TableCopy
