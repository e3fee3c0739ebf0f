#pragma once

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

class Connection;

// Map files kept as rows of a server's table zelmaps: the file's name ("zelmap3.dat") and its bytes,
// exactly as the file holds them.
namespace MapRows {

// Makes the table when it is missing.
void createTable(Connection& cn);
bool hasTable(Connection& cn);
// The names of the maps held, in name order.
std::vector<QString> names(Connection& cn);
QByteArray bytes(Connection& cn, const QString& name);
// The SHA-256 of a map's bytes as the server holds them (hex); empty when there is none.
QString hashOf(Connection& cn, const QString& name);

}  // namespace MapRows

// Writes a map's bytes under its name, replacing (and counting up the version of) an earlier one.
void putMapBytes(Connection& cn, const QString& name, const QByteArray& bytes);
