#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class Connection;

// Moving a data folder's records onto a PostgreSQL server, so that several computers share them.
namespace OfficeShare {

struct Result {
  bool ok = false;
  QString text;             // what was done, or why not and what was left as it was
  QStringList differences;  // where the copy on the server differed from the file
  QStringList warnings;     // done, but something was not as it should be
  QString archive;          // the verified archive of the folder's old files
  QString movedDatabase;    // where zel.mdb went
};

// Copies the folder's database (every table, the history as stored) and its map files into the
// server's empty database in one transaction and checks the copy (rows of each table, sums of the
// money columns, each map's bytes by hash, the history chain). The old files are first kept in a
// verified archive in the folder ("zelbeforeshare<stamp>.zip"); then zel.server is written and
// zel.mdb and the maps are moved aside under names no program opens. A run killed between any two
// steps leaves a folder that opens: on its file until zel.server is written, on the server after.
// The caller holds the folder's lock.
Result share(const QString& dataPath, const QString& server);

// The program's tables a server's database lacks (empty when it holds them all).
QStringList missingTables(Connection& cn);

// The name a file moved aside by a share gets: "zel.mdb" -> "zel.mdb.moved-to-server-<stamp>".
QString movedName(const QString& name, const QString& stamp);

// Tests stop a share after each of its steps (1 archive written, 2 server committed, 3 zel.server
// written, 4 and on: each file moved aside), as if killed there.
void setStepHookForTesting(std::function<void(int step)> hook);

}  // namespace OfficeShare
