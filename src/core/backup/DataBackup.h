#pragma once

#include <QDateTime>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <functional>

#include "core/backup/ZipArchive.h"

class Connection;

// Backup and restore of the data files: the database "zel.mdb" and the map files
// "zelmap<id>.dat" of a data folder. Both run with the program's own connection closed.
namespace DataBackup {

// Codes beyond those of the zip archive.
enum Code {
  NoDatabase = 520,        // no zel.mdb in the data folder or in the archive
  EntriesRefused = 521,    // the archive holds names that are never restored
  DatabaseUnusable = 522,  // the database does not open with the password or is damaged
  MapUnusable = 523,       // a map file does not load
  NotPutInPlace = 524,     // the restored files could not replace the current ones
  NoRoom = 525,            // not enough free space
  Busy = 526,              // another program is writing the database
  Declined = 527,          // the user chose not to restore
  FolderGone = 528,        // the chosen folder no longer exists
  OnServer = 529,          // a restore into a folder whose records are on a server
};

struct Result {
  int code = 0;
  QString reason;         // in words, naming the file; empty on success
  QString archive;        // the archive written or read
  QStringList warnings;   // done, but something was not as it should be (a damaged map kept as it was)
  QString safetyArchive;  // a restore: the archive that keeps the data it replaced
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

// A consistent copy of a live database into copy (a new file keyed with the program's password),
// taken through the engine under a read lock: a journal left by a writer that was killed is rolled
// back first, and no writer can change the file meanwhile. A database without the password yet is
// exported into a keyed copy. Empty on success, else the reason; *busy tells that another program
// kept the database locked, *writeFailed that the copy could not be written (a full disk).
QString snapshotDatabase(const QString& db, const QString& copy, bool* busy = nullptr,
                         bool* writeFailed = nullptr);

// The same for a folder whose records are on a server (zel.server): the server's tables, read as one
// consistent state (a repeatable-read, read-only transaction), into a new keyed file copy, and its
// maps into mapFolder; *maps gets their names. Empty on success, else the reason.
QString snapshotServer(const QString& server, const QString& copy, const QString& mapFolder,
                       QStringList* maps);

// Writes a verified archive of the data folder's files at archivePath. A folder whose records are on
// a server is archived the same way, from a snapshot of the server (see snapshotServer). The database is a
// snapshot (see snapshotDatabase); the archive is written under a temporary name in the same folder, read
// back and checked exactly as a restore checks it, and only then renamed to its name. A map that
// does not load is archived as it is and named in a warning; it never stops the backup. A failure
// leaves no archive and no temporary file behind.
Result backup(const QString& dataPath, const QString& archivePath, const ZipArchive::Progress& progress = {});

// What a restore is about to do, for the question before it.
struct RestoreInfo {
  QString archive;
  QDateTime written;           // when the archive's database was taken
  qint64 records = 0;          // grave records in the archive
  qint64 currentRecords = -1;  // in the data folder now; -1 when it has no readable database
};
using Confirm = std::function<bool(const RestoreInfo&)>;

// Puts the data files of an archive back into the data folder. The files are extracted beside the
// data and checked (password, integrity, tables, every map loads); confirm may then decline. The
// current database and maps are kept in a verified safety archive "zelbeforerestore<stamp>.zip" in
// the data folder (the newest few are kept); map files the archive does not hold go into it too.
// The files are then exchanged under a journal, so that a run killed at any point is completed by
// finishRestore. Any failure leaves the folder as it was.
Result restore(const QString& archivePath, const QString& dataPath, const ZipArchive::Progress& progress = {},
               const Confirm& confirm = {});

inline constexpr int kSafetyKeep = 3;
QString safetyArchiveName(const QString& dataPath, const QDateTime& when);

// An unfinished restore of a data folder (a run that was killed): completes it, or undoes it when
// it had failed, and removes what a killed backup or restore left there. found says whether there
// was one; text says what was done, naming the archives.
struct Recovery {
  bool found = false;
  bool ok = true;
  QString text;
};
Recovery finishRestore(const QString& dataPath);
// Describes an unfinished restore without changing anything; empty when there is none.
QString unfinishedRestore(const QString& dataPath);

// Removes what killed backups and restores left in a folder: "*.zip.<pid>.part*", "*.zip.<pid>.work"
// and restore folders without a journal, of processes that are gone. Returns their names; with
// remove false only names them.
QStringList removeLeftovers(const QString& folder, bool remove = true);

// Removes the oldest archives of a folder whose names match pattern (its first capture: the time
// they were made, yyyyMMddHHmmss) beyond keep, ordered by that time and their modification time.
// The archive just written is always kept and counted; archives dated more than a few minutes
// after now are never removed nor counted, only reported in future.
struct Rotation {
  QStringList removed, future;
};
Rotation rotate(const QString& folder, const QRegularExpression& pattern, int keep,
                const QString& justWritten, const QDateTime& now);

// Empty when an open database passes the engine's quick check and holds the program's tables;
// otherwise the reason ("it is damaged (...)").
QString integrityProblem(Connection& cn);

// The message a user sees for a result: the success text followed by where the archive is, the
// diskette text for 510 (with the folder), otherwise "Unsuccessful.", the code and the reason.
// Warnings follow.
QString outcomeText(const Result& r, const QString& successText);

// Tests make putting a restored file in place fail: the function is asked before each file and
// true fails it. An empty function puts the normal behaviour back.
void setPlacingFaultForTesting(std::function<bool(const QString& name)> fault);
// Tests stop a restore between its steps: the function is called after each step that changed the
// data folder, with its number from 1 (a test process ends there, as if killed).
void setStepHookForTesting(std::function<void(int step)> hook);

}  // namespace DataBackup
