#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

#include "backup/ZipArchive.h"

class Connection;

// Backup and restore of the data files: the database "zel.mdb" and the map files
// "zelmap<id>.dat" of a data folder. Both run with the database closed.
namespace DataBackup {

// Codes beyond those of the zip archive.
enum Code {
  NoDatabase = 520,        // no zel.mdb in the data folder or in the archive
  EntriesRefused = 521,    // the archive holds names that are never restored
  DatabaseUnusable = 522,  // the database does not open with the password or is damaged
  MapUnusable = 523,       // a map file does not load
  NotPutInPlace = 524,     // the restored files could not replace the current ones
  NoRoom = 525,            // not enough free space in the data folder
};

struct Result {
  int code = 0;
  QString reason;   // in words, naming the file; empty on success
  QString archive;  // the archive written or read
  bool ok() const { return code == 0; }
};

// The archive name of a backup made at a time: the folder, a separator unless it already ends with
// one, then "zel", the year, month, day, hour and minute as twelve digits, and ".zip".
QString archiveName(const QString& folder, const QDateTime& when);

// The data files of a data folder: zel.mdb first (whether it exists or not), then each map file in
// name order. Only map files as the program names them are data files.
QStringList dataFiles(const QString& dataPath);
// True for the names a restore puts into the data folder: "zel.mdb" and "zelmap<digits>.dat".
bool isDataFileName(const QString& name);

// Writes a verified archive of the data folder's files at archivePath: written under a temporary
// name in the same folder, flushed, read back (every entry against its file's checksum; the
// database must open with the password and every map must load), and only then renamed to its
// name, replacing an earlier archive of that name. A failure leaves no archive behind.
Result backup(const QString& dataPath, const QString& archivePath, const ZipArchive::Progress& progress = {});

// Puts the data files of an archive back into the data folder, or leaves the folder exactly as it
// was. Only the plain data file names are accepted; the files are extracted into a temporary folder
// inside the data folder and checked there (the database opens with the password, passes the
// integrity check and holds the program's tables; every map loads) before the current files are
// moved aside and replaced. Files of the folder that the archive does not hold stay as they are.
Result restore(const QString& archivePath, const QString& dataPath,
               const ZipArchive::Progress& progress = {});

// Empty when an open database passes the engine's integrity check and holds the program's tables;
// otherwise the reason ("it is damaged (...)").
QString integrityProblem(Connection& cn);

// The message a user sees for a result: the success text, the diskette text for 510, otherwise
// "Unsuccessful.", the code and the reason.
QString outcomeText(const Result& r, const QString& successText);

// Tests make putting a restored file in place fail: the function is asked before each file and
// true fails it. An empty function puts the normal behaviour back.
void setPlacingFaultForTesting(std::function<bool(const QString& name)> fault);

}  // namespace DataBackup
