#include "backup/DataBackup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "controls/MapFile.h"
#include "store/Connection.h"
#include "store/Schema.h"
#include "store/sqlite.h"

namespace {

const QString kDatabase = QStringLiteral("zel.mdb");
// A journal beside the database belongs to it: a restored database must never meet an old one.
const QString kJournal = QStringLiteral("zel.mdb-journal");

const QRegularExpression& mapName() {
  static const QRegularExpression re(QStringLiteral("^zelmap[0-9]+\\.dat$"));
  return re;
}

std::function<bool(const QString&)>& placingFault() {
  static std::function<bool(const QString&)> fault;
  return fault;
}

// Empty when the database opens with the program's password and holds the program's tables (and,
// with integrity, passes the integrity check); otherwise the reason.
QString databaseProblem(const QString& path, bool integrity) {
  try {
    Connection cn;
    cn.open(path, QString::fromLatin1(kDatabasePassword));
    if (integrity) return DataBackup::integrityProblem(cn);
    if (!Schema::isComplete(cn)) return QStringLiteral("it does not hold the program's tables");
  } catch (const DbError& e) {
    return QStringLiteral("it does not open with the program's password (%1)").arg(e.description());
  }
  return QString();
}

QString mapProblem(const QString& path) {
  QString error;
  if (MapFile::load(
          path, [](const MapFile::Header&) {}, [](MapCell&&) {}, &error))
    return QString();
  return error;
}

DataBackup::Result failed(int code, const QString& reason, const QString& archive) {
  return DataBackup::Result{code, reason, archive};
}

// Checks the files of a data set lying in folder: the database and every map file.
DataBackup::Result checkFiles(const QString& folder, const QStringList& names, bool integrity,
                              const QString& archive) {
  for (const QString& name : names) {
    const QString path = QDir(folder).filePath(name);
    if (name == kDatabase) {
      const QString problem = databaseProblem(path, integrity);
      if (!problem.isEmpty())
        return failed(DataBackup::DatabaseUnusable,
                      QStringLiteral("The database zel.mdb in the archive %1 cannot be used: %2.")
                          .arg(archive, problem),
                      archive);
    } else {
      const QString problem = mapProblem(path);
      if (!problem.isEmpty())
        return failed(
            DataBackup::MapUnusable,
            QStringLiteral("The map %1 in the archive %2 does not load: %3").arg(name, archive, problem),
            archive);
    }
  }
  return DataBackup::Result{0, QString(), archive};
}

bool renameOver(const QString& from, const QString& to) {
  return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// A part of an operation's progress: fractions of the part map to [from, to] of the whole.
ZipArchive::Progress part(const ZipArchive::Progress& whole, double from, double to) {
  if (!whole) return {};
  return [whole, from, to](double f) { whole(from + (to - from) * f); };
}

}  // namespace

namespace DataBackup {

// The engine's quick integrity check reads every page, which checks each page's authentication
// code, and walks every table and index; the full check's comparison of each index with its table
// takes five times as long and finds no damage the quick one misses in a keyed file.
QString integrityProblem(Connection& cn) {
  try {
    sqlite3_stmt* st = nullptr;
    QString verdict;
    if (sqlite3_prepare_v2(cn.handle(), "PRAGMA quick_check(1)", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      verdict = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    else
      verdict = QString::fromUtf8(sqlite3_errmsg(cn.handle()));
    sqlite3_finalize(st);
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

QString archiveName(const QString& folder, const QDateTime& when) {
  QString f = folder;
  if (!f.endsWith(QLatin1Char('/'))) f += QLatin1Char('/');
  return f + QStringLiteral("zel") + when.toString(QStringLiteral("yyyyMMddHHmm")) + QStringLiteral(".zip");
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

Result backup(const QString& dataPath, const QString& archivePath, const ZipArchive::Progress& progress) {
  ZipArchive zip;
  const QString folder = QFileInfo(archivePath).absolutePath();
  if (int code = zip.checkReady(folder)) return failed(code, zip.reason(), archivePath);
  const QStringList files = dataFiles(dataPath);
  if (!QFileInfo(files.first()).isFile())
    return failed(NoDatabase,
                  QStringLiteral("There is no database zel.mdb in the data folder %1.").arg(dataPath),
                  archivePath);

  std::vector<ZipArchive::Source> sources;
  QStringList names;
  for (const QString& f : files) {
    // Database pages are encrypted and do not compress; the maps do.
    sources.push_back({f, f != files.first()});
    names << QFileInfo(f).fileName();
  }

  // Written under a name of its own in the same folder, so the final name only ever holds a
  // complete, checked archive.
  const QString temporary = archivePath + QStringLiteral(".%1.part").arg(QCoreApplication::applicationPid());
  struct Cleanup {
    QString path;
    ~Cleanup() {
      if (!path.isEmpty()) QFile::remove(path);
    }
  } cleanup{temporary};

  zip.setProgress(part(progress, 0.0, 0.5));
  // Reasons name the archive as the user knows it.
  const auto reason = [&] { return QString(zip.reason()).replace(temporary, archivePath); };
  if (int code = zip.write(temporary, sources)) return failed(code, reason(), archivePath);

  QTemporaryDir check;
  if (!check.isValid())
    return failed(ZipArchive::CannotExtract,
                  QStringLiteral("No temporary folder for checking the archive: %1").arg(check.errorString()),
                  archivePath);
  std::vector<std::pair<QString, QString>> copies;
  for (const QString& n : names) copies.emplace_back(n, check.filePath(n));
  zip.setProgress(part(progress, 0.5, 0.95));
  if (int code = zip.verify(temporary, sources, copies)) return failed(code, reason(), archivePath);
  Result checked = checkFiles(check.path(), names, false, archivePath);
  if (!checked.ok()) return checked;

  if (!renameOver(temporary, archivePath))
    return failed(
        ZipArchive::CannotWrite,
        QStringLiteral("The archive %1 cannot be written: %2").arg(archivePath, qt_error_string(errno)),
        archivePath);
  cleanup.path.clear();
  ZipArchive::sync(folder);
  if (progress) progress(1.0);
  return Result{0, QString(), archivePath};
}

Result restore(const QString& archivePath, const QString& dataPath, const ZipArchive::Progress& progress) {
  ZipArchive zip;
  if (int code = zip.checkReady(QFileInfo(archivePath).absolutePath()))
    return failed(code, zip.reason(), archivePath);
  std::vector<ZipArchive::Entry> entries;
  if (int code = zip.list(archivePath, entries)) return failed(code, zip.reason(), archivePath);

  QStringList names, refused;
  QSet<QString> seen;
  quint64 bytes = 0;
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
  }
  if (!refused.isEmpty())
    return failed(EntriesRefused,
                  QStringLiteral("The archive %1 holds entries that are never restored: %2.")
                      .arg(archivePath, refused.join(QStringLiteral(", "))),
                  archivePath);
  if (!seen.contains(kDatabase))
    return failed(NoDatabase, QStringLiteral("The archive %1 holds no database zel.mdb.").arg(archivePath),
                  archivePath);

  const QStorageInfo volume(dataPath);
  if (volume.isValid() && quint64(volume.bytesAvailable()) < bytes + (1u << 20))
    return failed(
        NoRoom,
        QStringLiteral("The data folder %1 has not enough free space for the %2 bytes of the archive.")
            .arg(dataPath)
            .arg(bytes),
        archivePath);

  // Extracted and checked beside the live files, on the same volume, so that putting them in place
  // is a rename.
  QTemporaryDir work(dataPath + QStringLiteral(".zelrestore-XXXXXX"));
  if (!work.isValid())
    return failed(
        ZipArchive::CannotExtract,
        QStringLiteral("The data folder %1 cannot be written: %2").arg(dataPath, work.errorString()),
        archivePath);
  zip.setProgress(part(progress, 0.0, 0.8));
  if (int code = zip.extract(archivePath, names, work.path())) return failed(code, zip.reason(), archivePath);
  Result checked = checkFiles(work.path(), names, true, archivePath);
  if (!checked.ok()) return checked;
  if (progress) progress(0.95);

  // The current files go aside; the restored ones take their place; on any failure the current
  // files come back.
  const QString aside = work.filePath(QStringLiteral("aside"));
  QStringList moved, placed;
  QString problem;
  if (!QDir().mkdir(aside)) problem = QStringLiteral("the folder %1 cannot be made").arg(aside);
  QStringList current = names;
  current << kJournal;
  for (const QString& n : current) {
    if (!problem.isEmpty()) break;
    if (!QFileInfo::exists(dataPath + n) && !QFileInfo(dataPath + n).isSymLink()) continue;
    if (!renameOver(dataPath + n, aside + QLatin1Char('/') + n))
      problem = QStringLiteral("%1 cannot be moved aside: %2").arg(dataPath + n, qt_error_string(errno));
    else
      moved << n;
  }
  for (const QString& n : names) {
    if (!problem.isEmpty()) break;
    if ((placingFault() && placingFault()(n)) || !renameOver(work.filePath(n), dataPath + n))
      problem = QStringLiteral("%1 cannot be put in place: %2").arg(dataPath + n, qt_error_string(errno));
    else
      placed << n;
  }
  if (problem.isEmpty() && !ZipArchive::sync(dataPath))
    problem = QStringLiteral("the data folder %1 cannot be written to disk: %2")
                  .arg(dataPath, qt_error_string(errno));
  if (problem.isEmpty()) {
    if (progress) progress(1.0);
    return Result{0, QString(), archivePath};
  }

  bool back = true;
  for (const QString& n : placed) back = QFile::remove(dataPath + n) && back;
  for (const QString& n : moved) back = renameOver(aside + QLatin1Char('/') + n, dataPath + n) && back;
  ZipArchive::sync(dataPath);
  if (back)
    return failed(NotPutInPlace,
                  QStringLiteral(
                      "The restored files could not be put in place: %1. The data folder was left as it was.")
                      .arg(problem),
                  archivePath);
  // Never delete the only copy of the user's files.
  work.setAutoRemove(false);
  return failed(
      NotPutInPlace,
      QStringLiteral("The restored files could not be put in place: %1. The earlier files are kept in %2.")
          .arg(problem, aside),
      archivePath);
}

QString outcomeText(const Result& r, const QString& successText) {
  if (r.code == 0) return successText;
  if (r.code == ZipArchive::NotReady)
    return QStringLiteral("You must format the diskette(s) prior to backup.");
  return QStringLiteral("Unsuccessful.\n\nError # ") + QString::number(r.code) + QLatin1Char('\n') + r.reason;
}

}  // namespace DataBackup
