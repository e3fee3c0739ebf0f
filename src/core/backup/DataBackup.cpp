#include "core/backup/DataBackup.h"

#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStorageInfo>
#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "core/history/History.h"
#include "core/maps/MapFile.h"
#include "core/maps/MapRows.h"
#include "core/store/Connection.h"
#include "core/store/Schema.h"
#include "core/store/ServerFolder.h"
#include "core/store/Statement.h"
#include "core/store/TableCopy.h"

namespace {

const QString kDatabase = QStringLiteral("zel.mdb");
// A journal beside the database belongs to it: a restored database must never meet an old one.
const QString kJournal = QStringLiteral("zel.mdb-journal");
const QString kRestoreJournal = QStringLiteral("journal");
const QString kRestorePrefix = QStringLiteral(".zelrestore-");
// A busy database is waited for this many times the connection's own wait.
constexpr int kBusyTries = 10;

const QRegularExpression& mapName() {
  static const QRegularExpression re(QStringLiteral("^zelmap[0-9]+\\.dat$"));
  return re;
}

std::function<bool(const QString&)>& placingFault() {
  static std::function<bool(const QString&)> fault;
  return fault;
}

std::function<void(int)>& stepHook() {
  static std::function<void(int)> hook;
  return hook;
}

QString password() { return QString::fromLatin1(kDatabasePassword); }

bool exists(const QString& path) { return QFileInfo::exists(path) || QFileInfo(path).isSymLink(); }

bool removeAll(const QString& path) {
  const QFileInfo info(path);
  if (info.isDir() && !info.isSymLink()) return QDir(path).removeRecursively();
  return !exists(path) || QFile::remove(path);
}

bool renameOver(const QString& from, const QString& to) {
  return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// A process that may still be writing its temporary files.
bool alive(qint64 pid) {
  if (pid <= 0) return false;
  if (pid == QCoreApplication::applicationPid()) return true;
  return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

qint64 recordCount(const QString& db) {
  try {
    Connection cn;
    cn.open(db, password());
    Statement count(cn, "select count(*) from zel");
    return count.next() ? count.int64(0) : -1;
  } catch (const DbError&) {
    return -1;
  }
}

QString databaseProblem(const QString& path) {
  try {
    Connection cn;
    cn.open(path, password());
    return DataBackup::integrityProblem(cn);
  } catch (const DbError& e) {
    return QStringLiteral("it does not open with the program's password (%1)").arg(e.description());
  }
}

QString mapProblem(const QString& path) {
  try {
    MapFile::load(
        path, [](const MapFile::Header&) {}, [](MapCell&&) {});
  } catch (const DbError& e) {
    return e.description();
  }
  return QString();
}

DataBackup::Result failed(int code, const QString& reason, const QString& archive) {
  return DataBackup::Result{code, reason, archive, {}, {}};
}

// A part of an operation's progress: fractions of the part map to [from, to] of the whole.
ZipArchive::Progress part(const ZipArchive::Progress& whole, double from, double to) {
  if (!whole) return {};
  return [whole, from, to](double f) { whole(from + (to - from) * f); };
}

// The archive's own record: which data folder, when, and which files were archived as they were
// because they did not load.
QString archiveComment(const QString& dataPath, const QDateTime& when, const QStringList& damaged) {
  QString c =
      QStringLiteral("Zelmora backup\nfolder: %1\nmade: %2\n").arg(dataPath, when.toString(Qt::ISODate));
  if (!damaged.isEmpty()) c += QStringLiteral("damaged: %1\n").arg(damaged.join(u' '));
  return c;
}

QString commentValue(const QString& comment, const QString& key) {
  for (const QString& line : comment.split(u'\n'))
    if (line.startsWith(key + QStringLiteral(": "))) return line.mid(key.size() + 2);
  return QString();
}

// Removes the temporary files of an operation on every way out, unless released.
struct Leftovers {
  QStringList paths;
  ~Leftovers() {
    for (const QString& p : paths) removeAll(p);
  }
};

DataBackup::Result makeArchive(const QString& dataPath, const QString& archivePath,
                               const ZipArchive::Progress& progress, bool keepAsItIs) {
  using namespace DataBackup;
  ZipArchive zip;
  const QString folder = QFileInfo(archivePath).absolutePath();
  if (int code = zip.checkReady(folder)) return failed(code, zip.reason(), archivePath);
  if (!QFileInfo(dataPath).isDir())
    return failed(FolderGone, QStringLiteral("The data folder %1 does not exist.").arg(dataPath),
                  archivePath);
  removeLeftovers(folder);
  QString server;
  try {
    server = serverOfFolder(dataPath);
  } catch (const DbError& e) {
    return failed(DatabaseUnusable, e.description(), archivePath);
  }
  const QStringList files = dataFiles(dataPath);
  const bool hasDatabase = QFileInfo(files.first()).isFile();
  if (!hasDatabase && !keepAsItIs && server.isEmpty()) {
    // An interrupted restore may hold it aside: say so rather than that there is none.
    const QString unfinished = unfinishedRestore(dataPath);
    return failed(NoDatabase,
                  unfinished.isEmpty()
                      ? QStringLiteral("There is no database zel.mdb in the data folder %1.").arg(dataPath)
                      : QStringLiteral("There is no database zel.mdb in the data folder %1: %2. Starting the "
                                       "program or zelmora-cli check --recover %1 completes it.")
                            .arg(dataPath, unfinished),
                  archivePath);
  }

  // Everything is made beside the archive under names of this process, so that the final name only
  // ever holds a complete, checked archive and a later run can tell what a killed one left.
  const QString pid = QString::number(QCoreApplication::applicationPid());
  const QString temporary = archivePath + QStringLiteral(".%1.part").arg(pid);
  const QString work = archivePath + QStringLiteral(".%1.work").arg(pid);
  Leftovers leftovers{{temporary, work}};
  removeAll(work);
  if (!QDir().mkdir(work) || !QDir().mkdir(work + QStringLiteral("/check")))
    return failed(
        ZipArchive::CannotWrite,
        QStringLiteral("The archive %1 cannot be written: %2").arg(archivePath, qt_error_string(errno)),
        archivePath);

  std::vector<ZipArchive::Source> sources;
  QStringList damaged, warnings;
  if (!server.isEmpty()) {
    // The records and the maps come from the server, as they were at one moment.
    QStringList maps;
    const QString snapshot = work + QLatin1Char('/') + kDatabase;
    if (const QString problem = snapshotServer(server, snapshot, work, &maps); !problem.isEmpty())
      return failed(
          DatabaseUnusable,
          QStringLiteral("The records on the server %1 cannot be backed up: %2").arg(server, problem),
          archivePath);
    sources.push_back({snapshot, false});
    for (const QString& m : maps) {
      const QString copy = work + QLatin1Char('/') + m;
      if (const QString problem = mapProblem(copy); !problem.isEmpty()) {
        damaged << m;
        warnings << QStringLiteral("The map %1 on the server does not load, so it was archived as it is: %2")
                        .arg(m, problem);
      }
      sources.push_back({copy, true});
    }
  } else if (hasDatabase) {
    bool busy = false, writeFailed = false;
    const QString snapshot = work + QLatin1Char('/') + kDatabase;
    QString problem = snapshotDatabase(files.first(), snapshot, &busy, &writeFailed);
    // A safety archive must not stop a restore that is meant to replace a damaged database: what
    // fails the checks is kept as it is.
    if (problem.isEmpty() && keepAsItIs) problem = databaseProblem(snapshot);
    if (problem.isEmpty()) {
      sources.push_back({snapshot, false});  // encrypted pages do not compress
    } else if (writeFailed) {
      return failed(ZipArchive::CannotWrite,
                    QStringLiteral("The archive %1 cannot be written: %2").arg(archivePath, problem),
                    archivePath);
    } else if (busy) {
      return failed(Busy,
                    QStringLiteral("The database %1 is being changed by another program (%2): the backup was "
                                   "not made. Try again when it has finished.")
                        .arg(files.first(), problem),
                    archivePath);
    } else if (!keepAsItIs) {
      return failed(DatabaseUnusable,
                    QStringLiteral("The database %1 cannot be backed up: %2.").arg(files.first(), problem),
                    archivePath);
    } else {
      // Kept as it is, with its journal: the bytes are all there is of it.
      sources.push_back({files.first(), false});
      damaged << kDatabase;
      warnings << QStringLiteral("The database %1 was archived as it is: %2.").arg(files.first(), problem);
      if (QFileInfo(dataPath + kJournal).isFile()) {
        sources.push_back({dataPath + kJournal, false});
        damaged << kJournal;
      }
    }
  }
  if (progress) progress(0.1);
  for (const QString& map : server.isEmpty() ? files.mid(1) : QStringList()) {
    // The program replaces a map by renaming a new file over it: a copy taken first is one whole
    // version, which the archive then holds and is checked against however often the map is saved.
    const QString copy = work + QLatin1Char('/') + QFileInfo(map).fileName();
    if (!QFile::copy(map, copy)) {
      if (!QFileInfo::exists(map)) continue;  // taken away meanwhile: there is nothing to keep
      return failed(ZipArchive::CannotWrite,
                    QStringLiteral("The archive %1 cannot be written: the map %2 cannot be copied (%3)")
                        .arg(archivePath, map, qt_error_string(errno)),
                    archivePath);
    }
    const QString problem = mapProblem(copy);
    if (!problem.isEmpty()) {
      damaged << QFileInfo(map).fileName();
      warnings
          << QStringLiteral("The map %1 does not load, so it was archived as it is: %2").arg(map, problem);
    }
    sources.push_back({copy, true});
  }
  QStringList names;
  for (const ZipArchive::Source& s : sources) names << QFileInfo(s.path).fileName();

  zip.setComment(archiveComment(dataPath, QDateTime::currentDateTime(), damaged));
  zip.setProgress(part(progress, 0.1, 0.5));
  // Reasons name the archive as the user knows it.
  const auto reason = [&] { return QString(zip.reason()).replace(temporary, archivePath); };
  if (int code = zip.write(temporary, sources)) return failed(code, reason(), archivePath);

  // Read back whole and checked as a restore checks it, so that "verified" means it restores.
  std::vector<std::pair<QString, QString>> copies;
  for (const QString& n : names) copies.emplace_back(n, work + QStringLiteral("/check/") + n);
  zip.setProgress(part(progress, 0.5, 0.85));
  if (int code = zip.verify(temporary, sources, copies)) return failed(code, reason(), archivePath);
  for (const QString& n : names) {
    if (damaged.contains(n)) continue;
    const QString copy = work + QStringLiteral("/check/") + n;
    // The copy holds the same bytes as the snapshot or map: a failure is the data folder's.
    if (n == kDatabase) {
      const QString problem = databaseProblem(copy);
      if (!problem.isEmpty())
        return failed(DatabaseUnusable,
                      QStringLiteral("The database %1 cannot be backed up: %2.").arg(files.first(), problem),
                      archivePath);
    } else if (const QString problem = mapProblem(copy); !problem.isEmpty()) {
      return failed(MapUnusable,
                    QStringLiteral("The map %1 read back from the archive %2 does not load: %3")
                        .arg(n, archivePath, problem),
                    archivePath);
    }
  }
  if (progress) progress(0.95);

  if (!renameOver(temporary, archivePath))
    return failed(
        ZipArchive::CannotWrite,
        QStringLiteral("The archive %1 cannot be written: %2").arg(archivePath, qt_error_string(errno)),
        archivePath);
  ZipArchive::sync(folder);
  if (progress) progress(1.0);
  return Result{0, QString(), archivePath, warnings, {}};
}

// The restore's journal: the archive, the safety archive, the names it puts in place and the names
// it moves aside, and whether it goes forward or is being undone.
struct Journal {
  QString archive, safety;
  QStringList placed, aside;
  bool forward = true;
};

bool writeJournal(const QString& work, const Journal& j) {
  QSaveFile f(work + QLatin1Char('/') + kRestoreJournal);
  if (!f.open(QIODevice::WriteOnly)) return false;
  const QString text = QStringLiteral("archive=%1\nsafety=%2\nplace=%3\naside=%4\ndirection=%5\n")
                           .arg(j.archive, j.safety, j.placed.join(u'/'), j.aside.join(u'/'),
                                j.forward ? QStringLiteral("forward") : QStringLiteral("back"));
  const QByteArray bytes = text.toUtf8();
  if (f.write(bytes) != bytes.size() || !f.commit()) return false;
  return ZipArchive::sync(work);
}

bool readJournal(const QString& work, Journal& j) {
  QFile f(work + QLatin1Char('/') + kRestoreJournal);
  if (!f.open(QIODevice::ReadOnly)) return false;
  bool complete = false;
  for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n')) {
    const QString key = line.section(u'=', 0, 0), value = line.section(u'=', 1);
    const QStringList list = value.split(u'/', Qt::SkipEmptyParts);
    if (key == QLatin1String("archive")) j.archive = value;
    if (key == QLatin1String("safety")) j.safety = value;
    if (key == QLatin1String("place")) j.placed = list;
    if (key == QLatin1String("aside")) j.aside = list;
    if (key == QLatin1String("direction")) {
      j.forward = value == QLatin1String("forward");
      complete = true;
    }
  }
  // Only plain data file names are ever moved.
  for (const QString& n : j.placed + j.aside)
    if (!DataBackup::isDataFileName(n) && n != kJournal) return false;
  return complete;
}

// Each file is in exactly one place at any moment (renames), so both directions can be taken up
// again from wherever a killed run stopped.
bool rollForward(const QString& dataPath, const QString& work, const Journal& j, QString& problem) {
  const QString fresh = work + QStringLiteral("/new/"), old = work + QStringLiteral("/old/");
  for (const QString& n : j.aside) {
    const bool placedAlready = j.placed.contains(n) && !exists(fresh + n);
    if (!exists(dataPath + n) || placedAlready || exists(old + n)) continue;
    if (!renameOver(dataPath + n, old + n)) {
      problem = QStringLiteral("%1 cannot be moved aside: %2").arg(dataPath + n, qt_error_string(errno));
      return false;
    }
  }
  for (const QString& n : j.placed) {
    if (!exists(fresh + n)) continue;
    if (!renameOver(fresh + n, dataPath + n)) {
      problem = QStringLiteral("%1 cannot be put in place: %2").arg(dataPath + n, qt_error_string(errno));
      return false;
    }
  }
  return ZipArchive::sync(dataPath);
}

bool rollBack(const QString& dataPath, const QString& work, const Journal& j, QString& problem) {
  const QString fresh = work + QStringLiteral("/new/"), old = work + QStringLiteral("/old/");
  for (const QString& n : j.placed) {
    if (exists(fresh + n) || !exists(dataPath + n)) continue;
    if (!renameOver(dataPath + n, fresh + n)) {
      problem = QStringLiteral("%1 cannot be taken back: %2").arg(dataPath + n, qt_error_string(errno));
      return false;
    }
  }
  for (const QString& n : j.aside) {
    if (!exists(old + n)) continue;
    if (!renameOver(old + n, dataPath + n)) {
      problem = QStringLiteral("%1 cannot be put back: %2").arg(dataPath + n, qt_error_string(errno));
      return false;
    }
  }
  return ZipArchive::sync(dataPath);
}

void step(int& number) {
  ++number;
  if (stepHook()) stepHook()(number);
}

// The restored database's history goes on from the restore. Empty, or what went wrong.
QString enterRestore(const QString& dataPath, const QString& archive, const QDateTime& written) {
  try {
    Connection cn;
    openProgramDatabase(cn, dataPath + kDatabase);
    History::restored(cn, QFileInfo(archive).fileName(), written);
  } catch (const DbError& e) {
    return QStringLiteral("The restore could not be entered in the restored database's history: %1")
        .arg(e.description());
  }
  return {};
}

}  // namespace

namespace DataBackup {

// The engine's quick integrity check reads every page, which checks each page's authentication
// code, and walks every table and index; the full check's comparison of each index with its table
// takes five times as long and finds no damage the quick one misses in a keyed file.
QString integrityProblem(Connection& cn) {
  try {
    QString verdict;
    try {
      Statement check(cn, "PRAGMA quick_check(1)");
      if (check.next()) verdict = check.string(0);
    } catch (const DbError& e) {
      verdict = e.description();  // a page that does not read is damage too
    }
    if (verdict != QLatin1String("ok")) return QStringLiteral("it is damaged (%1)").arg(verdict);
    if (!Schema::isComplete(cn)) return QStringLiteral("it does not hold the program's tables");
  } catch (const DbError& e) {
    return QStringLiteral("it cannot be read (%1)").arg(e.description());
  }
  return QString();
}

void setPlacingFaultForTesting(std::function<bool(const QString&)> fault) {
  placingFault() = std::move(fault);
}

void setStepHookForTesting(std::function<void(int)> hook) { stepHook() = std::move(hook); }

QString archiveName(const QString& folder, const QDateTime& when) {
  QString f = folder;
  if (!f.endsWith(QLatin1Char('/'))) f += QLatin1Char('/');
  return f + QStringLiteral("zel") + when.toString(QStringLiteral("yyyyMMddHHmm")) + QStringLiteral(".zip");
}

QString safetyArchiveName(const QString& dataPath, const QDateTime& when) {
  return QDir(dataPath).filePath(QStringLiteral("zelbeforerestore") +
                                 when.toString(QStringLiteral("yyyyMMddHHmmss")) + QStringLiteral(".zip"));
}

bool isDataFileName(const QString& name) { return name == kDatabase || mapName().match(name).hasMatch(); }

QStringList dataFiles(const QString& dataPath) {
  QStringList files{dataPath + kDatabase};
  const QStringList maps =
      QDir(dataPath).entryList({QStringLiteral("zelmap*.dat")}, QDir::Files | QDir::Hidden, QDir::Name);
  for (const QString& m : maps)
    if (mapName().match(m).hasMatch()) files << dataPath + m;
  return files;
}

QString snapshotDatabase(const QString& db, const QString& copy, bool* busy, bool* writeFailed) {
  if (busy) *busy = false;
  if (writeFailed) *writeFailed = false;
  removeAll(copy);
  const auto isBusy = [](const DbError& e) {
    return e.code() == DbError::Busy || e.code() == DbError::Locked;
  };
  for (int attempt = 1;; ++attempt) {
    Connection source;
    bool opened = false;
    try {
      try {
        source.open(db, password());
      } catch (const DbError& e) {
        if (e.code() != DbError::NotADatabase) throw;
        // A file without the password yet opens plainly; anything else fails here as it did above.
        try {
          source.open(db, QString());
        } catch (const DbError&) {
          throw e;
        }
      }
      opened = true;
      source.snapshotInto(copy, password());
      break;
    } catch (const DbError& e) {
      source.close();
      removeAll(copy);
      if (isBusy(e) && attempt < kBusyTries) continue;
      if (busy) *busy = isBusy(e);
      if (!opened || isBusy(e)) return e.description();
      // Only a page that does not read is the database's fault; anything else is the copy's.
      const bool damaged = e.code() == DbError::Corrupt || e.code() == DbError::NotADatabase;
      if (writeFailed) *writeFailed = !damaged;
      return damaged ? QStringLiteral("a page of it cannot be read (%1)").arg(e.description())
                     : QStringLiteral("the copy of the database cannot be written (%1)").arg(e.description());
    }
  }
  if (!ZipArchive::sync(copy)) {
    if (writeFailed) *writeFailed = true;
    return QStringLiteral("the copy of the database cannot be written to disk (%1)")
        .arg(qt_error_string(errno));
  }
  return QString();
}

QString snapshotServer(const QString& server, const QString& copy, const QString& mapFolder,
                       QStringList* maps) {
  removeAll(copy);
  try {
    Connection srv;
    srv.openServer(server);
    // One state of every table and map, whatever the other clerks save meanwhile.
    srv.engine().execute(QStringLiteral("begin isolation level repeatable read, read only"));
    {
      Connection file;
      file.create(copy, password());
      Schema::create(file);
      file.beginTransaction();
      TableCopy::copyAll(srv, file, {QStringLiteral("zelmaps")});
      file.commit();
    }
    if (MapRows::hasTable(srv)) {
      for (const QString& name : MapRows::names(srv)) {
        // Only names a restore takes back; anything else would make the archive unrestorable.
        if (!isDataFileName(name) || name == kDatabase) continue;
        QFile out(QDir(mapFolder).filePath(name));
        const QByteArray bytes = MapRows::bytes(srv, name);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush())
          return QStringLiteral("the map %1 cannot be written (%2)").arg(name, out.errorString());
        if (maps) *maps << name;
      }
    }
    srv.rollback();
  } catch (const DbError& e) {
    removeAll(copy);
    return e.description();
  }
  if (!ZipArchive::sync(copy))
    return QStringLiteral("the copy cannot be written to disk (%1)").arg(qt_error_string(errno));
  return QString();
}

Result backup(const QString& dataPath, const QString& archivePath, const ZipArchive::Progress& progress) {
  return makeArchive(dataPath, archivePath, progress, false);
}

QStringList removeLeftovers(const QString& folder, bool remove) {
  static const QRegularExpression archivePart(QStringLiteral("^.+\\.zip\\.([0-9]+)\\.(part.*|work)$"));
  static const QRegularExpression restoreWork(QStringLiteral("^\\.zelrestore-([0-9]+)$"));
  QStringList removed;
  const QDir dir(folder);
  for (const QString& name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
    QRegularExpressionMatch m = archivePart.match(name);
    const bool restore = !m.hasMatch();
    if (restore) m = restoreWork.match(name);
    if (!m.hasMatch() || alive(m.captured(1).toLongLong())) continue;
    // A restore that wrote its journal is finished by finishRestore, never thrown away.
    if (restore && exists(dir.filePath(name) + QLatin1Char('/') + kRestoreJournal)) continue;
    if (!remove || removeAll(dir.filePath(name))) removed << name;
  }
  return removed;
}

QString unfinishedRestore(const QString& dataPath) {
  const QDir dir(dataPath);
  for (const QString& name : dir.entryList({kRestorePrefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden)) {
    Journal j;
    if (!readJournal(dir.filePath(name), j)) continue;
    return QStringLiteral("a restore from the archive %1 was interrupted; its files are in %2")
        .arg(j.archive, dir.filePath(name));
  }
  return QString();
}

Recovery finishRestore(const QString& dataPath) {
  Recovery out;
  const QDir dir(dataPath);
  for (const QString& name : dir.entryList({kRestorePrefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden)) {
    const QString work = dir.filePath(name);
    Journal j;
    if (!exists(work + QLatin1Char('/') + kRestoreJournal)) continue;  // nothing was replaced
    if (!readJournal(work, j)) {
      out.found = true;
      out.ok = false;
      out.text = QStringLiteral(
                     "The data folder %1 holds the unreadable record of an interrupted restore in %2; "
                     "nothing was changed.")
                     .arg(dataPath, work);
      return out;
    }
    out.found = true;
    QString problem;
    const bool done =
        j.forward ? rollForward(dataPath, work, j, problem) : rollBack(dataPath, work, j, problem);
    if (!done) {
      out.ok = false;
      out.text =
          QStringLiteral(
              "A restore of the data folder %1 from the archive %2 was interrupted and cannot be %3: %4. "
              "Its files are kept in %5.")
              .arg(dataPath, j.archive, j.forward ? QStringLiteral("completed") : QStringLiteral("undone"),
                   problem.isEmpty() ? QStringLiteral("the folder cannot be written to disk") : problem,
                   work);
      return out;
    }
    // The journal goes first: a folder without one is a leftover, whatever else remains in it.
    QFile::remove(work + QLatin1Char('/') + kRestoreJournal);
    removeAll(work);
    if (j.forward) {
      out.text = QStringLiteral(
                     "A restore of the data folder %1 from the archive %2 was interrupted. It has now been "
                     "completed: the folder holds the data of that archive.")
                     .arg(dataPath, j.archive);
      if (!j.safety.isEmpty())
        out.text += QStringLiteral(" The data it replaced are kept in %1.").arg(j.safety);
      if (const QString p = enterRestore(dataPath, j.archive, {}); !p.isEmpty()) out.text += u' ' + p;
    } else {
      out.text = QStringLiteral(
                     "A restore of the data folder %1 from the archive %2 was interrupted. It has now been "
                     "undone: the folder holds the data it had before.")
                     .arg(dataPath, j.archive);
    }
  }
  removeLeftovers(dataPath);
  return out;
}

Result restore(const QString& archivePath, const QString& dataPath, const ZipArchive::Progress& progress,
               const Confirm& confirm) {
  ZipArchive zip;
  if (int code = zip.checkReady(QFileInfo(archivePath).absolutePath()))
    return failed(code, zip.reason(), archivePath);
  if (!QFileInfo(dataPath).isDir())
    return failed(FolderGone, QStringLiteral("The data folder %1 does not exist.").arg(dataPath),
                  archivePath);
  // A server's records are not replaced from one computer's folder.
  if (QFileInfo::exists(dataPath + QString::fromLatin1(kServerFile)))
    return failed(
        OnServer,
        QStringLiteral("The data folder %1 keeps its records on a server (%2): an archive is restored "
                       "into a folder with its own database only. Restore it into another folder; "
                       "zelmora-cli share can then move that onto an empty server database. Nothing "
                       "was changed.")
            .arg(dataPath, QString::fromLatin1(kServerFile)),
        archivePath);
  std::vector<ZipArchive::Entry> entries;
  if (int code = zip.list(archivePath, entries)) return failed(code, zip.reason(), archivePath);
  const QString comment = zip.comment();
  const QStringList damaged =
      commentValue(comment, QStringLiteral("damaged")).split(u' ', Qt::SkipEmptyParts);

  QStringList names, refused;
  QSet<QString> seen;
  quint64 bytes = 0;
  QDateTime written;
  for (const ZipArchive::Entry& e : entries) {
    QString why;
    if (e.link)
      why = QStringLiteral(" (a link)");
    else if (e.folder)
      why = QStringLiteral(" (a folder)");
    else if (e.encrypted)
      why = QStringLiteral(" (encrypted)");
    else if (seen.contains(e.name))
      why = QStringLiteral(" (twice)");
    if (!why.isEmpty() || !isDataFileName(e.name)) {
      refused << QLatin1Char('"') + e.name + QLatin1Char('"') + why;
      continue;
    }
    seen.insert(e.name);
    names << e.name;
    bytes += e.size;
    if (e.name == kDatabase) written = e.modified;
  }
  if (!refused.isEmpty())
    return failed(EntriesRefused,
                  QStringLiteral("The archive %1 holds entries that are never restored: %2.")
                      .arg(archivePath, refused.join(QStringLiteral(", "))),
                  archivePath);
  if (!seen.contains(kDatabase))
    return failed(NoDatabase, QStringLiteral("The archive %1 holds no database zel.mdb.").arg(archivePath),
                  archivePath);
  if (const QDateTime made =
          QDateTime::fromString(commentValue(comment, QStringLiteral("made")), Qt::ISODate);
      made.isValid())
    written = made;

  // Room for the restored files and the safety archive of the current ones.
  quint64 current = 0;
  for (const QString& f : dataFiles(dataPath)) current += quint64(qMax<qint64>(0, QFileInfo(f).size()));
  const QStorageInfo volume(dataPath);
  if (volume.isValid() && quint64(volume.bytesAvailable()) < bytes + current + (1u << 20))
    return failed(
        NoRoom,
        QStringLiteral("The disk of the data folder %1 is full: the restore needs %2 bytes and %3 are "
                       "free. Nothing was changed.")
            .arg(dataPath)
            .arg(bytes + current + (1u << 20))
            .arg(volume.bytesAvailable()),
        archivePath);

  // An earlier restore that was killed is completed before this one starts.
  Result out{0, QString(), archivePath, {}, {}};
  const Recovery earlier = finishRestore(dataPath);
  if (!earlier.ok) return failed(NotPutInPlace, earlier.text, archivePath);
  if (earlier.found) out.warnings << earlier.text;

  // Extracted and checked beside the live files, on the same volume, so that putting them in place
  // is a rename.
  const QString work = dataPath + kRestorePrefix + QString::number(QCoreApplication::applicationPid());
  const QString fresh = work + QStringLiteral("/new/"), old = work + QStringLiteral("/old/");
  Leftovers leftovers{{work}};
  removeAll(work);
  if (!QDir().mkpath(fresh) || !QDir().mkpath(old))
    return failed(
        ZipArchive::CannotExtract,
        QStringLiteral("The data folder %1 cannot be written: %2").arg(dataPath, qt_error_string(errno)),
        archivePath);
  zip.setProgress(part(progress, 0.0, 0.4));
  if (int code = zip.extract(archivePath, names, fresh)) return failed(code, zip.reason(), archivePath);
  for (const QString& n : names) {
    const QString problem = n == kDatabase ? databaseProblem(fresh + n) : mapProblem(fresh + n);
    if (problem.isEmpty()) continue;
    if (n == kDatabase)
      return failed(DatabaseUnusable,
                    QStringLiteral("The database zel.mdb in the archive %1 cannot be used: %2.")
                        .arg(archivePath, problem),
                    archivePath);
    // A map that was archived as it was comes back as it was; any other is damage.
    if (!damaged.contains(n))
      return failed(
          MapUnusable,
          QStringLiteral("The map %1 in the archive %2 does not load: %3").arg(n, archivePath, problem),
          archivePath);
    out.warnings << QStringLiteral(
                        "The map %1 did not load when it was backed up; it was restored as it was.")
                        .arg(dataPath + n);
  }
  if (progress) progress(0.5);

  if (confirm) {
    const RestoreInfo info{archivePath, written, recordCount(fresh + kDatabase),
                           QFileInfo(dataPath + kDatabase).isFile() ? recordCount(dataPath + kDatabase) : -1};
    if (!confirm(info)) return failed(Declined, QString(), archivePath);
  }

  // The current data are kept first; the snapshot rolls back a journal a killed writer left.
  Journal journal;
  journal.archive = archivePath;
  journal.placed = names;
  bool anyCurrent = false;
  for (const QString& f : dataFiles(dataPath)) anyCurrent = anyCurrent || exists(f);
  if (anyCurrent) {
    QDateTime when = QDateTime::currentDateTime();
    while (exists(safetyArchiveName(dataPath, when))) when = when.addSecs(1);
    const Result kept =
        makeArchive(dataPath, safetyArchiveName(dataPath, when), part(progress, 0.5, 0.9), true);
    if (!kept.ok())
      return failed(kept.code,
                    QStringLiteral("The current data could not be kept in a safety archive, so nothing was "
                                   "restored: %1")
                        .arg(kept.reason),
                    archivePath);
    journal.safety = kept.archive;
    out.safetyArchive = kept.archive;
    out.warnings << kept.warnings;
  }
  // Not needed when nothing was replaced.
  struct Safety {
    QString path;
    ~Safety() {
      if (!path.isEmpty()) QFile::remove(path);
    }
  } safety{journal.safety};
  // Every current map goes aside: maps the archive does not hold must not stay beside another
  // database (they are in the safety archive).
  for (const QString& f : dataFiles(dataPath))
    if (exists(f)) journal.aside << QFileInfo(f).fileName();
  if (exists(dataPath + kJournal)) journal.aside << kJournal;

  if (!writeJournal(work, journal))
    return failed(NotPutInPlace,
                  QStringLiteral("The data folder %1 cannot be written: nothing was changed.").arg(dataPath),
                  archivePath);
  // From here the journal decides: a killed run is completed at the next start.
  leftovers.paths.clear();
  safety.path.clear();
  int steps = 0;
  step(steps);

  QString problem;
  for (const QString& n : journal.aside) {
    if (!renameOver(dataPath + n, old + n)) {
      problem = QStringLiteral("%1 cannot be moved aside: %2").arg(dataPath + n, qt_error_string(errno));
      break;
    }
    step(steps);
  }
  for (const QString& n : names) {
    if (!problem.isEmpty()) break;
    if ((placingFault() && placingFault()(n)) || !renameOver(fresh + n, dataPath + n)) {
      problem = QStringLiteral("%1 cannot be put in place: %2").arg(dataPath + n, qt_error_string(errno));
      break;
    }
    step(steps);
  }
  if (problem.isEmpty() && !ZipArchive::sync(dataPath))
    problem = QStringLiteral("the data folder %1 cannot be written to disk: %2")
                  .arg(dataPath, qt_error_string(errno));

  if (problem.isEmpty()) {
    QFile::remove(work + QLatin1Char('/') + kRestoreJournal);
    step(steps);
    removeAll(work);
    safety.path.clear();
    if (!journal.safety.isEmpty()) {
      static const QRegularExpression kept(QStringLiteral("^zelbeforerestore([0-9]{14})\\.zip$"));
      rotate(dataPath, kept, kSafetyKeep, QFileInfo(journal.safety).fileName(), QDateTime::currentDateTime());
    }
    if (const QString p = enterRestore(dataPath, archivePath, written); !p.isEmpty()) out.warnings << p;
    if (progress) progress(1.0);
    return out;
  }

  journal.forward = false;
  QString undoProblem;
  if (writeJournal(work, journal) && rollBack(dataPath, work, journal, undoProblem)) {
    QFile::remove(work + QLatin1Char('/') + kRestoreJournal);
    removeAll(work);
    if (!journal.safety.isEmpty()) QFile::remove(journal.safety);
    return failed(NotPutInPlace,
                  QStringLiteral(
                      "The restored files could not be put in place: %1. The data folder was left as it was.")
                      .arg(problem),
                  archivePath);
  }
  // Never delete the only copy of the user's files: the next start finishes what is left.
  return failed(
      NotPutInPlace,
      QStringLiteral("The restored files could not be put in place: %1. The earlier files are kept in %2.")
          .arg(problem, old),
      archivePath);
}

Rotation rotate(const QString& folder, const QRegularExpression& pattern, int keep,
                const QString& justWritten, const QDateTime& now) {
  Rotation out;
  // A little slack for clocks of other machines writing to the same folder.
  const QDateTime future = now.addSecs(5 * 60);
  std::vector<std::pair<QDateTime, QString>> trusted;
  const QDir dir(folder);
  for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
    const QRegularExpressionMatch m = pattern.match(name);
    if (!m.hasMatch() || name == justWritten) continue;
    const QDateTime stamp = QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMddHHmmss"));
    const QDateTime modified = QFileInfo(dir.filePath(name)).lastModified();
    if (!stamp.isValid() || stamp > future || modified > future) {
      out.future << name;
      continue;
    }
    // The earlier of the two: an archive named ahead of the clock that wrote it is no newer for that,
    // and one copied in later is as old as its name says.
    trusted.emplace_back(qMin(stamp, modified), name);
  }
  std::sort(trusted.begin(), trusted.end());
  // The archive just written is one of those kept.
  const qsizetype excess = qsizetype(trusted.size()) - qMax(0, keep - 1);
  for (qsizetype i = 0; i < excess; ++i)
    if (QFile::remove(dir.filePath(trusted[size_t(i)].second))) out.removed << trusted[size_t(i)].second;
  return out;
}

QString outcomeText(const Result& r, const QString& successText) {
  QString text;
  if (r.code == 0) {
    text = successText;
    if (!r.archive.isEmpty()) text += QStringLiteral("\n\n%1").arg(r.archive);
    if (!r.safetyArchive.isEmpty())
      text += QStringLiteral(
                  "\n\nThe data it replaced are kept in %1; restoring that archive undoes this restore.")
                  .arg(r.safetyArchive);
  } else if (r.code == ZipArchive::NotReady) {
    text = QStringLiteral("You must format the diskette(s) prior to backup.");
    if (!r.reason.isEmpty()) text += QStringLiteral("\n\n") + r.reason;
  } else {
    text =
        QStringLiteral("Unsuccessful.\n\nError # ") + QString::number(r.code) + QLatin1Char('\n') + r.reason;
  }
  for (const QString& w : r.warnings) text += QStringLiteral("\n\n") + w;
  return text;
}

}  // namespace DataBackup
