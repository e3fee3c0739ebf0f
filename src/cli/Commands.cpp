#include "cli/Commands.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "cli/Console.h"
#include "core/backup/AutoBackup.h"
#include "core/backup/DataBackup.h"
#include "core/export/ExportWriter.h"
#include "core/folder/DataFolderLock.h"
#include "core/folder/DateGuard.h"
#include "core/history/History.h"
#include "core/import/DelimitedText.h"
#include "core/import/RecordImport.h"
#include "core/maps/MapFile.h"
#include "core/maps/MapRows.h"
#include "core/maps/MapStore.h"
#include "core/program/CsvCell.h"
#include "core/program/Zel2.h"
#include "core/reports/ReportFiles.h"
#include "core/reports/Reports.h"
#include "core/share/OfficeShare.h"
#include "core/store/Connection.h"
#include "core/store/DbError.h"
#include "core/store/RecordFields.h"
#include "core/store/RecordSet.h"
#include "core/store/Schema.h"
#include "core/store/ServerFolder.h"
#include "core/store/ServerLock.h"
#include "core/store/Statement.h"
#include "render/ReportPages.h"

namespace Cli {

namespace {

using Console::fail;

const QString kDatabase = QStringLiteral("zel.mdb");
const QString kImportLog = QStringLiteral("import.log");
const QString kStandardOutput = QStringLiteral("-");
// The exit status of a backup that was made with warnings.
constexpr int kBackedUpWithWarnings = 3;

QString password() { return QString::fromLatin1(kDatabasePassword); }

// A data folder named on the command line, as the program names it: absolute, ending with '/'.
QString dataFolder(const QString& given) {
  const QFileInfo info(given);
  if (!info.exists()) fail(QStringLiteral("%1: no such folder").arg(given));
  if (!info.isDir()) fail(QStringLiteral("%1: not a folder").arg(given));
  QString path = info.absoluteFilePath();
  if (!path.endsWith(u'/')) path += u'/';
  return path;
}

// Why the engine refused a database file, in words. A keyed file cannot tell a wrong password from
// damage; its size can still show that it was cut short.
QString openingProblem(const DbError& e, const QString& db) {
  if (e.code() == DbError::Busy || e.code() == DbError::Locked)
    return QStringLiteral("it is locked by another program (%1)").arg(e.description());
  if (e.code() == DbError::Corrupt) return QStringLiteral("it is damaged (%1)").arg(e.description());
  const qint64 size = QFileInfo(db).size();
  constexpr qint64 kPage = 1024;  // the engine's page size for the program's files
  if (size == 0) return QStringLiteral("it is empty (0 bytes)");
  if (size % kPage != 0)
    return QStringLiteral(
               "it is damaged: its %1 bytes are no whole number of pages, so it was cut short (%2)")
        .arg(size)
        .arg(e.description());
  return QStringLiteral("it does not open with the program's password, or it is damaged (%1)")
      .arg(e.description());
}

// The connection string of a folder whose records are on a server; empty for a database file.
QString folderServer(const QString& dataPath) {
  try {
    return serverOfFolder(dataPath);
  } catch (const DbError& e) {
    fail(e.description());
  }
}

QString existingDatabase(const QString& dataPath) {
  const QString db = dataPath + kDatabase;
  if (!folderServer(dataPath).isEmpty()) return db;
  if (!QFileInfo(db).isFile())
    fail(QStringLiteral("%1: no such file; the folder holds no database (zelmora-cli init makes one)")
             .arg(db));
  return db;
}

// For reading: with the program's password, or plainly when the program has not given the file
// its password yet (it does so at its next start; a reading command leaves the file as it is).
// Returns false for a file without the password.
bool openForReading(Connection& cn, const QString& dataPath) {
  if (const QString server = folderServer(dataPath); !server.isEmpty()) {
    try {
      cn.openServer(server);
      return true;
    } catch (const DbError& e) {
      fail(dataPath + QString::fromLatin1(kServerFile) + QStringLiteral(": ") + e.description());
    }
  }
  const QString db = existingDatabase(dataPath);
  try {
    cn.open(db, password());
    return true;
  } catch (const DbError& e) {
    try {
      cn.open(db, QString());
      return false;
    } catch (const DbError&) {
    }
    fail(db + QStringLiteral(": ") + openingProblem(e, db));
  }
}

// For writing, as the program's start opens it: a file without the password gets it now.
void openForWriting(Connection& cn, const QString& dataPath) {
  const QString db = existingDatabase(dataPath);
  try {
    openProgramDatabase(cn, db);
  } catch (const DbError& e) {
    if (!folderServer(dataPath).isEmpty())
      fail(dataPath + QString::fromLatin1(kServerFile) + QStringLiteral(": ") + e.description());
    fail(db + QStringLiteral(": ") + openingProblem(e, db));
  }
}

// Commands that change a data folder hold its lock while they work; the program holds it while
// it runs.
std::unique_ptr<DataFolderLock> lockFolder(const QString& dataPath) {
  auto lock = std::make_unique<DataFolderLock>(dataPath);
  switch (lock->claim()) {
    case DataFolderLock::State::Held:
      break;
    case DataFolderLock::State::InUse:
      fail(
          QStringLiteral("%1: the data folder is in use by %2; close the program first. Nothing was changed.")
              .arg(dataPath, lock->holder()));
    case DataFolderLock::State::Unavailable:
      fail(QStringLiteral("%1: the data folder cannot be locked: %2. Nothing was changed.")
               .arg(dataPath, lock->reason()));
  }
  return lock;
}

// The record form's date pattern, settled from the system's short date pattern as the program does.
QString dateFormat() {
  const QString f = DateGuard::displayFormatFor(DateGuard::systemShortDatePattern());
  return f.isEmpty() ? QStringLiteral("mm-dd-yyyy") : f;
}

qint64 count(Connection& cn, const QString& table) {
  RecordSet rs(&cn);
  rs.open(QStringLiteral("select count(*) as cnt from ") + table);
  return rs.field(QStringLiteral("cnt")).toInt();
}

QString plural(qint64 n, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(n).arg(QLatin1StringView(n == 1 ? one : many));
}

QString outcome(const DataBackup::Result& r) {
  return QStringLiteral("%1 (error %2)").arg(r.reason).arg(r.code);
}

// Data to a file, put in place only when whole, or to standard output.
void writeData(const QString& target, const std::function<bool(QIODevice&)>& write) {
  if (target != kStandardOutput) {
    try {
      Report::saveFile(target, write);
    } catch (const DbError& e) {
      fail(e.description());
    }
    return;
  }
  QFile out;
  if (!Console::openStandardOutput(out) || !write(out))
    fail(QStringLiteral("standard output: %1").arg(out.errorString()));
}

// --- init ---

QString findDataFile(const QString& name) {
  for (const QString& folder : dataFileFolders())
    if (QFileInfo(QDir(folder).filePath(name)).isFile()) return QDir(folder).filePath(name);
  fail(QStringLiteral("%1: not found in %2").arg(name, dataFileFolders().join(QStringLiteral(", "))));
}

int init(const Invocation& in) {
  const QFileInfo dir(in.arguments[0]);
  QString dataPath = dir.absoluteFilePath();
  if (!dataPath.endsWith(u'/')) dataPath += u'/';
  const QString db = dataPath + kDatabase;
  if (dir.exists() && !dir.isDir()) fail(QStringLiteral("%1: not a folder").arg(in.arguments[0]));
  if (QFileInfo::exists(db) || QFileInfo(db).isSymLink())
    fail(QStringLiteral("%1: already exists; init never replaces a database").arg(db));
  const QString serverFile = dataPath + QString::fromLatin1(kServerFile);
  const QString server = in.value("server");
  if (in.has("server")) {
    if (QFileInfo::exists(serverFile))
      fail(QStringLiteral("%1: already exists; the folder is made for a server already").arg(serverFile));
    try {
      checkServerAddress(server, QStringLiteral("--server"));
      Connection cn;
      cn.openServer(server);
      if (const QStringList missing = OfficeShare::missingTables(cn); !missing.isEmpty())
        fail(QStringLiteral(
                 "%1: the database does not hold the program's tables (missing: %2); run zelmora-cli "
                 "share DIR URL on the computer whose folder holds the records first. Nothing was "
                 "made.")
                 .arg(server, missing.join(QStringLiteral(", "))));
    } catch (const DbError& e) {
      fail(QStringLiteral("%1: %2 Nothing was made.").arg(server, e.description()));
    }
  }
  const QStringList documents{findDataFile(QStringLiteral("zel6.hlp")),
                              findDataFile(QStringLiteral("zl-tutor.html"))};

  // Whatever this command made goes again when a later step fails.
  struct Undo {
    QStringList files;
    QString folder;
    bool done = false;
    ~Undo() {
      if (done) return;
      for (const QString& f : files) QFile::remove(f);
      if (!folder.isEmpty()) QDir().rmdir(folder);
    }
  } undo;
  if (!dir.exists()) {
    if (!QDir().mkpath(dataPath)) fail(QStringLiteral("%1: the folder cannot be made").arg(dataPath));
    undo.folder = dataPath;
  }
  const auto lock = lockFolder(dataPath);

  // Made under a name of its own, so that zel.mdb only ever names a whole database.
  const QString part = dataPath + QStringLiteral("zel.mdb.%1.new").arg(QCoreApplication::applicationPid());
  undo.files << part;
  if (!in.has("server")) {
    try {
      Connection cn;
      cn.create(part, password());
      Schema::create(cn);
      cn.close();
    } catch (const DbError& e) {
      fail(QStringLiteral("%1: the database cannot be made (%2)").arg(db, e.description()));
    }
  }
  // The help file and the tutorial of this version replace older ones.
  for (const QString& from : documents) {
    const QString to = dataPath + QFileInfo(from).fileName();
    if (!QFileInfo::exists(to)) undo.files << to;
    QFile source(from);
    QSaveFile target(to);
    if (!source.open(QIODevice::ReadOnly)) fail(QStringLiteral("%1: %2").arg(from, source.errorString()));
    if (!target.open(QIODevice::WriteOnly) || target.write(source.readAll()) != source.size() ||
        !target.commit())
      fail(QStringLiteral("%1: %2").arg(to, target.errorString()));
  }
  if (in.has("server")) {
    QSaveFile f(serverFile);
    const QByteArray text = (server + u'\n').toUtf8();
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size() || !f.commit())
      fail(QStringLiteral("%1: %2").arg(serverFile, f.errorString()));
    undo.done = true;
    Console::note(
        QStringLiteral("Made the data folder %1 for the records on the server %2").arg(dataPath, server));
    return 0;
  }
  if (QFileInfo::exists(db) || !QFile::rename(part, db))
    fail(QStringLiteral("%1: the database cannot be put in place").arg(db));
  undo.done = true;
  Console::note(QStringLiteral("Made the data folder %1").arg(dataPath));
  return 0;
}

// --- share ---

int share(const Invocation& in) {
  const QString dataPath = dataFolder(in.arguments[0]);
  const auto lock = lockFolder(dataPath);
  const OfficeShare::Result r = OfficeShare::share(dataPath, in.arguments[1]);
  for (const QString& w : r.warnings) Console::error(w);
  if (!r.ok) {
    for (const QString& d : r.differences) Console::error(QStringLiteral("differs: ") + d);
    fail(r.text);
  }
  // Where the old files went is said even to a script: it is the only pointer to them.
  Console::print(r.text);
  return 0;
}

// --- export ---

int exportRecords(const Invocation& in) {
  const QString dataPath = dataFolder(in.arguments[0]);
  Connection cn;
  openForReading(cn, dataPath);
  // The rows stream through once: a small page cache spares the memory a large one would take.
  if (!cn.isServer()) cn.execute(QStringLiteral("PRAGMA cache_size=-2000"));
  RecordSet rs(&cn);
  const QString target = in.value("o", dataPath + QLatin1String(ExportWriter::kFileName));
  ExportWriter::Result r;
  if (target == kStandardOutput) {
    QFile out;
    if (!Console::openStandardOutput(out)) fail(QStringLiteral("standard output: %1").arg(out.errorString()));
    r = ExportWriter::write(cn, rs, out, QStringLiteral("standard output"));
  } else {
    r = ExportWriter::write(cn, rs, target);
  }
  if (!r.ok) fail(QStringLiteral("%1: the export could not be written: %2").arg(r.fileName, r.error));
  Console::note(QStringLiteral("%1 exported to %2").arg(plural(r.records, "record", "records"), r.fileName));
  return 0;
}

// --- report ---

Report::Cemetery findCemetery(Connection& cn, const QString& given, const QString& db) {
  const QString wanted = given.trimmed();
  std::vector<Report::Cemetery> all, matching;
  RecordSet rs(&cn);
  rs.open(QStringLiteral("select cemeteryid, name from cemetery order by name"));
  for (; !rs.eof(); rs.moveNext()) all.push_back({qint32(rs.field(0).toInt()), rs.field(1).toString()});
  rs.close();
  bool isNumber = false;
  const qint64 id = wanted.toLongLong(&isNumber);
  for (const Report::Cemetery& c : all)
    if (isNumber && c.id == id) return c;
  for (const Report::Cemetery& c : all)
    if (c.name.trimmed().compare(wanted, Qt::CaseInsensitive) == 0) matching.push_back(c);
  if (matching.size() == 1) return matching.front();
  auto listed = [](const std::vector<Report::Cemetery>& list) {
    QStringList items;
    for (const Report::Cemetery& c : list) items << QStringLiteral("%1 %2").arg(c.id).arg(c.name);
    return items.join(QStringLiteral(", "));
  };
  if (matching.size() > 1)
    fail(QStringLiteral("%1: %2 cemeteries are named \"%3\" (%4); give its number")
             .arg(db)
             .arg(matching.size())
             .arg(wanted, listed(matching)));
  fail(QStringLiteral("%1: no cemetery \"%2\"; the cemeteries are: %3")
           .arg(db, wanted, all.empty() ? QStringLiteral("none") : listed(all)));
}

QString reportKeys() {
  QStringList keys;
  for (const Report::Definition& d : Report::definitions()) keys << QLatin1String(d.key);
  return keys.join(QStringLiteral(", "));
}

// The format asked for, or the one the output file's name asks for, or text.
QString reportFormat(const Invocation& in) {
  if (in.has("format")) return in.value("format");
  const QString out = in.value("o");
  if (out.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) return QStringLiteral("pdf");
  if (out.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) return QStringLiteral("csv");
  return QStringLiteral("text");
}

int report(const Invocation& in) {
  const Report::Definition* def = Report::findByKey(in.arguments[0]);
  if (!def)
    throw UsageError(
        QStringLiteral("%1: no such report; the reports are %2").arg(in.arguments[0], reportKeys()),
        in.command);
  const QString key = QLatin1String(def->key);
  if (def->perCemetery && !in.has("cemetery"))
    throw UsageError(QStringLiteral("report %1 needs --cemetery NAME|ID").arg(key), in.command);
  if (!def->perCemetery && in.has("cemetery"))
    throw UsageError(QStringLiteral("report %1 lists every cemetery; it takes no --cemetery").arg(key),
                     in.command);
  const QString format = reportFormat(in);
  if (format == QLatin1String("pdf") && !in.has("o"))
    throw UsageError(QStringLiteral("a PDF report needs -o FILE (- for standard output)"), in.command);

  const QString dataPath = dataFolder(in.arguments[1]);
  Connection cn;
  openForReading(cn, dataPath);
  const QString db = dataPath + kDatabase;
  Report::Table table;
  try {
    Report::Cemetery cemetery;
    if (def->perCemetery) cemetery = findCemetery(cn, in.value("cemetery"), db);
    table = Report::build(def->id, cn, cemetery, Report::Format{QLocale::system(), dateFormat()},
                          Report::Sources{dataPath});
  } catch (const DbError& e) {
    fail(db + QStringLiteral(": ") + e.description());
  } catch (const Console::Failure&) {
    throw;
  } catch (const std::exception& e) {
    fail(QString::fromLocal8Bit(e.what()));  // a map file that does not load, named in the text
  }
  cn.close();

  const QString target = in.value("o", kStandardOutput);
  if (format == QLatin1String("pdf")) {
    // The page footer shows the data folder, as the window's shows the frame's status line.
    const Report::PageTexts texts{table.title, Report::pageDate(QDate::currentDate(), table.datePattern),
                                  dataPath};
    writeData(target, [&](QIODevice& d) { return Report::writePdf(d, table, texts); });
  } else {
    const bool csv = format == QLatin1String("csv");
    writeData(target,
              [&](QIODevice& d) { return csv ? Report::writeCsv(d, table) : Report::writeText(d, table); });
  }
  if (target != kStandardOutput) Console::note(QStringLiteral("%1 written to %2").arg(table.title, target));
  return 0;
}

// --- backup and restore ---

int backup(const Invocation& in) {
  const QString dataPath = dataFolder(in.arguments[0]);
  const QFileInfo target(in.arguments[1]);
  const bool toFile =
      !target.isDir() && target.fileName().endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
  if (toFile && in.has("keep"))
    throw UsageError(QStringLiteral("--keep rotates the archives of a folder; TARGET must be a folder"),
                     in.command);
  const QDateTime now = QDateTime::currentDateTime();
  Console::Progress progress(QStringLiteral("Backing up"));
  const auto onProgress = [&progress](double f) { progress(f); };
  const DataBackup::Result r =
      in.has("keep")
          ? AutoBackup::run(dataPath, target.absoluteFilePath(), in.value("keep").toInt(), now, onProgress)
      : toFile
          ? DataBackup::backup(dataPath, target.absoluteFilePath(), onProgress)
          : DataBackup::backup(dataPath, DataBackup::archiveName(target.absoluteFilePath(), now), onProgress);
  if (!r.ok()) fail(outcome(r));
  Console::note(QStringLiteral("Backed up %1 to %2").arg(dataPath, r.archive));
  // Made, but not all as it should be (a map that does not load was archived as it is).
  for (const QString& w : r.warnings) Console::error(w);
  return r.warnings.isEmpty() ? 0 : kBackedUpWithWarnings;
}

int restore(const Invocation& in) {
  const QFileInfo archive(in.arguments[0]);
  const QString dataPath = dataFolder(in.arguments[1]);
  if (!archive.isFile()) fail(QStringLiteral("%1: no such file").arg(in.arguments[0]));
  const auto lock = lockFolder(dataPath);
  Console::Progress progress(QStringLiteral("Restoring"));
  const DataBackup::Result r =
      DataBackup::restore(archive.absoluteFilePath(), dataPath, [&progress](double f) { progress(f); });
  if (!r.ok()) fail(outcome(r));
  for (const QString& w : r.warnings) Console::error(w);
  Console::note(QStringLiteral("Restored %1 from %2").arg(dataPath, r.archive));
  if (!r.safetyArchive.isEmpty())
    Console::print(QStringLiteral("The data it replaced are kept in %1").arg(r.safetyArchive));
  return 0;
}

// --- check ---

// One line of the Map Check report's findings by kind: "Place not on the map 1, ...".
void checkMaps(Connection& cn, const QString& dataPath, const QSet<qint32>& unreadable,
               const std::function<void(const QString&)>& problem,
               const std::function<void(const QString&)>& disagreement, const QString& mapFolder = {}) {
  const QString maps = mapFolder.isEmpty() ? dataPath : mapFolder;
  std::vector<Report::Cemetery> cemeteries;
  RecordSet rs(&cn);
  rs.open(QStringLiteral("select cemeteryid, name from cemetery order by name"));
  for (; !rs.eof(); rs.moveNext())
    cemeteries.push_back({qint32(rs.field(0).toInt()), rs.field(1).toString()});
  rs.close();
  const Report::Format format{QLocale::system(), dateFormat()};
  for (const Report::Cemetery& c : cemeteries) {
    const QString title = QStringLiteral("Map Check for %1").arg(c.name);
    if (unreadable.contains(c.id)) {
      problem(QStringLiteral("%1: not run, its map does not load").arg(title));
      continue;
    }
    const Report::Table t = Report::build(Report::Id::MapCheck, cn, c, format, Report::Sources{maps});
    // Every finding names a place; the report's notes ("no map", "no disagreements") do not.
    QStringList kinds;
    QList<int> counts;
    for (const Report::Row& row : t.rows) {
      // Records without a place are one row that counts them.
      const bool placeless = row.size() >= 4 && row[1].text == QLatin1String("Records without a place");
      if (row.size() < 3 || (row[2].text.isEmpty() && !placeless)) continue;
      const int n = placeless ? row[3].text.section(u' ', 0, 0).toInt() : 1;
      const qsizetype at = kinds.indexOf(row[1].text);
      if (at >= 0) {
        counts[at] += n;
      } else {
        kinds << row[1].text;
        counts << n;
      }
    }
    const bool hasMap = MapStore::exists(cn, dataPath, MapStore::nameOf(c.id));
    if (kinds.isEmpty()) {
      Console::print(title + (hasMap ? QStringLiteral(": no disagreements")
                                     : QStringLiteral(": no map; its records agree with each other")));
      continue;
    }
    QStringList parts;
    int total = 0;
    for (qsizetype i = 0; i < kinds.size(); ++i) {
      parts << QStringLiteral("%1 %2").arg(kinds[i]).arg(counts[i]);
      total += counts[i];
    }
    disagreement(QStringLiteral("%1: %2 (%3); zelmora-cli report map-check %4 --cemetery %5 lists them")
                     .arg(title, plural(total, "disagreement", "disagreements"),
                          parts.join(QStringLiteral(", ")), dataPath)
                     .arg(c.id));
  }
}

// check's exit status when the files are sound but the Map Check found disagreements.
constexpr int kDisagreements = 3;

// The checks of a folder whose records are on a server: the server's own files are its business.
void checkServer(const QString& dataPath, const QString& server,
                 const std::function<void(const QString&)>& problem,
                 const std::function<void(const QString&)>& disagreement) {
  Console::print(QStringLiteral("%1%2: the records are on the server %3; the checks of a database file (its "
                                "password, the integrity check, map files in the folder) do not apply")
                     .arg(dataPath, QString::fromLatin1(kServerFile), server));
  Connection cn;
  try {
    cn.openServer(server);
  } catch (const DbError& e) {
    problem(QStringLiteral("%1: the server cannot be reached: %2").arg(server, e.description()));
    return;
  }
  try {
    if (const QStringList missing = OfficeShare::missingTables(cn); !missing.isEmpty()) {
      problem(QStringLiteral("%1: the database does not hold the program's tables (missing: %2)")
                  .arg(server, missing.join(QStringLiteral(", "))));
      return;
    }
    Console::print(QStringLiteral("%1: answers; %2, %3, %4")
                       .arg(server, plural(count(cn, QStringLiteral("zel")), "record", "records"),
                            plural(count(cn, QStringLiteral("cemetery")), "cemetery", "cemeteries"),
                            plural(count(cn, QStringLiteral("lots")), "lot type", "lot types")));
    QStringList odd;
    for (const RecordFields::Field& f : RecordFields::all())
      if (f.kind == RecordFields::Kind::Money)
        odd << f.column() + QStringLiteral(" <> trunc(") + f.column() + u')';
    Statement money(cn,
                    QStringLiteral("select (select count(*) from zel where %1) + (select count(*) from lots "
                                   "where lotprice <> trunc(lotprice))")
                        .arg(odd.join(QStringLiteral(" or ")))
                        .toUtf8());
    if (const qint64 bad = money.next() ? money.int64(0) : 0; bad == 0)
      Console::print(QStringLiteral("%1: every amount is a whole number of ten-thousandths").arg(server));
    else
      problem(QStringLiteral("%1: %2 amounts that are no whole number of ten-thousandths")
                  .arg(server, plural(bad, "row holds", "rows hold")));
    if (const History::Verdict v = History::verify(cn); v.ok)
      Console::print(QStringLiteral("%1: the change history holds %2, each following the one before")
                         .arg(server, plural(v.entries, "entry", "entries")));
    else
      problem(QStringLiteral("%1: the change history was changed outside the program: %2")
                  .arg(server, v.problem));

    // The maps are checked and compared from copies, as the file checks read the folder's.
    QTemporaryDir copies;
    QSet<qint32> unreadable;
    const std::vector<QString> names = MapRows::hasTable(cn) ? MapRows::names(cn) : std::vector<QString>{};
    if (names.empty()) Console::print(QStringLiteral("%1: holds no maps").arg(server));
    for (const QString& name : names) {
      const QString copy = QDir(copies.path()).filePath(name);
      QFile out(copy);
      const QByteArray bytes = MapRows::bytes(cn, name);
      if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
        problem(QStringLiteral("%1: %2").arg(copy, out.errorString()));
        continue;
      }
      out.close();
      MapFile::Header header;
      try {
        MapFile::read(
            copy, [&header](const MapFile::Header& h) { header = h; }, [](MapCell&&) {},
            MapFile::Text::Bytes);
        Console::print(QStringLiteral("%1: the map %2 loads (%3 rows, %4 columns)")
                           .arg(server, name)
                           .arg(header.maxRows)
                           .arg(header.maxCols));
      } catch (const DbError& e) {
        problem(QStringLiteral("%1: the map %2 does not load: %3").arg(server, name, e.description()));
        unreadable.insert(QFileInfo(name).completeBaseName().mid(int(qstrlen("zelmap"))).toInt());
      }
    }
    checkMaps(cn, dataPath, unreadable, problem, disagreement, copies.path() + u'/');
  } catch (const DbError& e) {
    problem(server + QStringLiteral(": ") + e.description());
  } catch (const std::exception& e) {
    problem(QString::fromLocal8Bit(e.what()));
  }
}

int check(const Invocation& in) {
  const QString dataPath = dataFolder(in.arguments[0]);
  int problems = 0, disagreements = 0;
  const auto problem = [&problems](const QString& text) {
    ++problems;
    Console::error(text);
  };
  const auto disagreement = [&disagreements](const QString& text) {
    ++disagreements;
    Console::error(text);
  };
  if (const QString server = folderServer(dataPath); !server.isEmpty()) {
    checkServer(dataPath, server, problem, disagreement);
    if (problems + disagreements == 0) {
      Console::print(QStringLiteral("All is well."));
      return 0;
    }
    Console::error(QStringLiteral("%1: %2 found")
                       .arg(dataPath, plural(problems + disagreements, "problem", "problems")));
    return problems ? 1 : kDisagreements;
  }

  // A restore that was killed on its way: the database may be aside, not missing.
  if (const QString unfinished = DataBackup::unfinishedRestore(dataPath); !unfinished.isEmpty()) {
    if (in.has("recover")) {
      const auto lock = lockFolder(dataPath);
      const DataBackup::Recovery r = DataBackup::finishRestore(dataPath);
      if (r.ok)
        Console::print(r.text);
      else
        problem(r.text);
    } else {
      problem(
          QStringLiteral("%1: %2; zelmora-cli check --recover %1 completes it, as the program does when it "
                         "starts")
              .arg(dataPath, unfinished));
    }
  }
  for (const QString& name : DataBackup::removeLeftovers(dataPath, in.has("recover")))
    Console::print(QStringLiteral("%1%2: left by a backup or restore that was killed%3")
                       .arg(dataPath, name,
                            in.has("recover") ? QStringLiteral("; removed")
                                              : QStringLiteral("; check --recover removes it")));

  const QString db = dataPath + kDatabase;
  Connection cn;
  bool usable = false;
  if (!QFileInfo(db).isFile()) {
    problem(QStringLiteral("%1: no such file; the folder holds no database").arg(db));
  } else {
    bool keyed = true;
    try {
      cn.open(db, password());
    } catch (const DbError& e) {
      keyed = false;
      try {
        cn.open(db, QString());
        problem(QStringLiteral("%1: the database has no password yet (the program gives it one when it next "
                               "starts on this folder)")
                    .arg(db));
      } catch (const DbError&) {
        problem(db + QStringLiteral(": ") + openingProblem(e, db));
      }
    }
    if (cn.isOpen()) {
      const QString damage = DataBackup::integrityProblem(cn);
      if (damage.isEmpty()) {
        usable = true;
        Console::print(QStringLiteral("%1: %2 and passes the integrity check; %3, %4, %5")
                           .arg(db,
                                keyed ? QStringLiteral("opens with the program's password")
                                      : QStringLiteral("opens without a password"),
                                plural(count(cn, QStringLiteral("zel")), "record", "records"),
                                plural(count(cn, QStringLiteral("cemetery")), "cemetery", "cemeteries"),
                                plural(count(cn, QStringLiteral("lots")), "lot type", "lot types")));
      } else {
        problem(db + QStringLiteral(": ") + damage);
      }
    }
  }

  QSet<qint32> unreadable;
  for (const QString& map : DataBackup::dataFiles(dataPath).mid(1)) {
    MapFile::Header header;
    try {
      // Every check of a load in one pass; the cells go nowhere, so their texts are not decoded.
      MapFile::read(
          map, [&header](const MapFile::Header& h) { header = h; }, [](MapCell&&) {}, MapFile::Text::Bytes);
      Console::print(
          QStringLiteral("%1: loads (%2 rows, %3 columns)").arg(map).arg(header.maxRows).arg(header.maxCols));
    } catch (const DbError& e) {
      problem(e.description());
      const QString name = QFileInfo(map).completeBaseName();
      unreadable.insert(name.mid(int(qstrlen("zelmap"))).toInt());
    }
  }

  if (usable) {
    try {
      if (!History::hasTable(cn)) {
        Console::print(
            QStringLiteral("%1: no change history yet (the program starts it when it next opens the file)")
                .arg(db));
      } else if (const History::Verdict v = History::verify(cn); v.ok) {
        Console::print(QStringLiteral("%1: the change history holds %2, each following the one before")
                           .arg(db, plural(v.entries, "entry", "entries")));
      } else {
        problem(
            QStringLiteral("%1: the change history was changed outside the program: %2").arg(db, v.problem));
      }
    } catch (const DbError& e) {
      problem(db + QStringLiteral(": ") + e.description());
    }
    try {
      checkMaps(cn, dataPath, unreadable, problem, disagreement);
    } catch (const DbError& e) {
      problem(db + QStringLiteral(": ") + e.description());
    } catch (const std::exception& e) {
      problem(QString::fromLocal8Bit(e.what()));
    }
  }
  if (problems + disagreements == 0) {
    Console::print(QStringLiteral("All is well."));
    return 0;
  }
  Console::error(
      QStringLiteral("%1: %2 found").arg(dataPath, plural(problems + disagreements, "problem", "problems")));
  return problems ? 1 : kDisagreements;
}

// --- history ---

QString csvLine(const QStringList& cells) {
  QStringList out;
  for (const QString& c : cells) {
    const QString t = CsvCell::guard(c);
    const bool quote = t.contains(u',') || t.contains(u'"') || t.contains(u'\n') || t.contains(u'\r');
    out << (quote ? u'"' + QString(t).replace(u'"', QStringLiteral("\"\"")) + u'"' : t);
  }
  return out.join(u',') + u'\n';
}

int history(const Invocation& in) {
  const QString dataPath = dataFolder(in.arguments[0]);
  const QString db = dataPath + kDatabase;
  if (in.has("erase-owner")) {
    const auto lock = lockFolder(dataPath);
    Connection cn;
    openForWriting(cn, dataPath);
    const qint64 recid = in.value("erase-owner").toLongLong();
    int erased = 0;
    try {
      erased = History::eraseOwner(cn, recid);
    } catch (const DbError& e) {
      fail(db + QStringLiteral(": ") + e.description());
    }
    Console::note(QStringLiteral("%1: %2 of the owner of record %3 erased")
                      .arg(db, plural(erased, "value", "values"))
                      .arg(recid));
    return 0;
  }
  Connection cn;
  openForReading(cn, dataPath);
  QDateTime since;
  if (in.has("since")) since = QDateTime(QDate::fromString(in.value("since"), Qt::ISODate), QTime(0, 0));
  std::vector<History::Entry> entries;
  try {
    entries = History::entries(cn, since, in.value("record").toLongLong());
  } catch (const DbError& e) {
    fail(db + QStringLiteral(": ") + e.description());
  }
  const QString target = in.value("o", kStandardOutput);
  const bool csv = in.has("format") ? in.value("format") == QLatin1String("csv")
                                    : target.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
  QString text;
  if (csv)
    text = csvLine({QStringLiteral("Entry"), QStringLiteral("Time"), QStringLiteral("User"),
                    QStringLiteral("Computer"), QStringLiteral("Change"), QStringLiteral("Table"),
                    QStringLiteral("Row"), QStringLiteral("Field"), QStringLiteral("Old value"),
                    QStringLiteral("New value"), QStringLiteral("Detail")});
  for (const History::Entry& e : entries) {
    const QString when = e.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString row = e.recordId ? QString::number(e.recordId) : QString();
    if (csv) {
      text += csvLine({QString::number(e.id), when, e.user, e.computer, History::kindName(e.kind), e.table,
                       row, e.field, e.oldValue, e.newValue, e.detail});
      continue;
    }
    QString line = QStringLiteral("%1  %2  %3@%4  %5")
                       .arg(e.id)
                       .arg(when, e.user, e.computer, History::kindName(e.kind));
    if (!e.table.isEmpty() && e.recordId) line += QStringLiteral("  %1 %2").arg(e.table).arg(e.recordId);
    if (!e.field.isEmpty())
      line += QStringLiteral("  %1: \"%2\" -> \"%3\"").arg(e.field, e.oldValue, e.newValue);
    else if (!e.newValue.isEmpty())
      line += QStringLiteral("  ") + e.newValue;
    if (!e.detail.isEmpty())
      line += QStringLiteral("\n      ") + QString(e.detail).replace(u'\n', QStringLiteral("\n      "));
    text += line + u'\n';
  }
  writeData(target, [&text](QIODevice& out) { return out.write(text.toUtf8()) >= 0; });
  if (target != kStandardOutput)
    Console::note(
        QStringLiteral("%1 written to %2").arg(plural(qint64(entries.size()), "entry", "entries"), target));
  return 0;
}

// --- import ---

int import(const Invocation& in) {
  const QString file = in.arguments[0];
  const QString dataPath = dataFolder(in.arguments[1]);
  const bool dryRun = in.has("dry-run"), emptyFirst = in.has("empty-first"),
             acceptDefaults = in.has("accept-defaults");
  QString error;
  const std::optional<RecordImport::Mapping> mapping = RecordImport::parseMapping(in.value("map"), &error);
  if (!mapping) fail(QStringLiteral("--map %1: %2").arg(in.value("map"), error));
  if (mapping->empty()) fail(QStringLiteral("--map names no column"));
  const std::optional<DelimitedText::Format> format = DelimitedText::formatFor(file);
  if (!format)
    fail(QStringLiteral("%1: not an import file; its name must end in .txt (tab-delimited) or .csv "
                        "(comma-delimited)")
             .arg(file));
  const QString db = dataPath + kDatabase;
  existingDatabase(dataPath);
  // The load writes its log into the folder: nothing is written while the program runs on it.
  std::unique_ptr<DataFolderLock> lock;
  if (!dryRun) lock = lockFolder(dataPath);

  DelimitedText::Table table;
  DelimitedText::Result loaded;
  {
    Console::Progress progress(QStringLiteral("Loading"));
    DelimitedText::Options options;
    options.format = *format;
    if (!dryRun) options.logFile = dataPath + kImportLog;
    options.progress = [&progress](double f) { progress(f); };
    loaded = DelimitedText::loadTable(file, options, table);
  }
  if (!loaded.ok) fail(QStringLiteral("%1: the file could not be loaded: %2").arg(file, loaded.error));
  for (const RecordImport::Column& c : *mapping)
    if (c.column > table.columnCount())
      fail(QStringLiteral("--map names column %1, but %2 has %3")
               .arg(c.column)
               .arg(file, plural(table.columnCount(), "column", "columns")));

  RecordImport::Plan plan;
  plan.mapping = *mapping;
  plan.firstRow = in.has("skip-first-row") ? 2 : 1;
  plan.lastRow = loaded.lastDataRow;  // empty lines at the end are no rows
  plan.dateFormat = dateFormat();
  plan.firstItems = loaded.firstItems;
  for (const auto& [row, items] : loaded.ragged) plan.ragged.push_back({row, items});
  plan.quotesKept = !format->quoted;
  plan.fileName = QFileInfo(file).fileName();
  const RecordImport::TableSource source(table);

  // Cemeteries and lot types are looked up by name before anything is written.
  Connection cn;
  openForReading(cn, dataPath);
  QString refusal;
  try {
    plan.names = RecordImport::names(cn);
    RecordImport::targets(cn);
  } catch (const DbError& e) {
    refusal = e.description();
  }
  RecordImport::settleDateOrders(source, plan);
  const RecordImport::Check problems = RecordImport::check(source, plan);
  QStringList found;
  if (!problems.problems.empty())
    found << RecordImport::summary(int(problems.problems.size()), problems.rows)
                 .section(QStringLiteral(" and"), 0, 0);
  if (!problems.ragged.empty())
    found << RecordImport::raggedSummary(int(problems.ragged.size()), problems.firstItems);
  if (!problems.refused.empty())
    found << QStringLiteral("%1 dates that the record form would refuse")
                 .arg(problems.refused.size() == 1
                          ? QStringLiteral("1 row has")
                          : QStringLiteral("%1 rows have").arg(problems.refused.size()));
  const QString askAccept = QStringLiteral(
      "; --accept-defaults imports them anyway, values that will not convert keeping their fields' defaults");

  if (dryRun) {
    Console::print(QStringLiteral("%1: %2 of %3 (%4)")
                       .arg(file, plural(plan.lastRow, "row", "rows"),
                            plural(loaded.columns, "column", "columns"),
                            DelimitedText::encodingName(loaded.encoding)));
    if (emptyFirst)
      Console::print(QStringLiteral("%1 of %2 would be deleted first.")
                         .arg(plural(count(cn, QStringLiteral("zel")), "grave record", "grave records"), db));
    Console::print(
        QStringLiteral("%1 would be added to %2.").arg(plural(plan.records(), "record", "records"), db));
    for (const QString& line : RecordImport::logLines(problems)) Console::print(line);
    Console::print(QStringLiteral("Nothing was changed (a trial run)."));
    if (!refusal.isEmpty()) fail(db + QStringLiteral(": ") + refusal);
    if (!problems.clean() && !acceptDefaults)
      fail(QStringLiteral("%1: %2, so the import would stop%3")
               .arg(file, found.join(QStringLiteral("; ")), askAccept));
    return 0;
  }
  cn.close();
  if (!refusal.isEmpty()) fail(db + QStringLiteral(": ") + refusal);

  const QStringList lines = RecordImport::logLines(problems);
  try {
    if (!lines.isEmpty()) DelimitedText::appendLog(dataPath + kImportLog, lines);
  } catch (const DbError& e) {
    Console::error(e.description());
  }
  for (const QString& note : problems.notes) Console::error(file + QStringLiteral(": ") + note);
  if (!problems.clean()) {
    if (!acceptDefaults) {
      constexpr int kShown = 10;
      int shown = 0;
      for (const QString& line : lines)
        if (line.startsWith(QLatin1String("Row ")) && ++shown <= kShown)
          Console::error(file + QStringLiteral(": ") + line);
      if (!problems.dateOrder.isEmpty()) Console::error(file + QStringLiteral(": ") + problems.dateOrder);
      fail(QStringLiteral("%1: %2 (listed in %3); nothing was imported%4")
               .arg(file, found.join(QStringLiteral("; ")), dataPath + kImportLog, askAccept));
    }
    Console::error(QStringLiteral("%1: %2; imported as --accept-defaults says")
                       .arg(file, found.join(QStringLiteral("; "))));
  }
  openForWriting(cn, dataPath);
  int added = 0;
  try {
    // Emptying takes the records from under every clerk on the server: not while one is connected.
    std::optional<ServerLock::Alone> alone;
    if (emptyFirst) alone.emplace(cn, QStringLiteral("An import that empties the records first"));
    Console::Progress progress(QStringLiteral("Importing"));
    added = RecordImport::write(cn, source, plan, emptyFirst, [&progress](double f) { progress(f); });
  } catch (const DbError& e) {
    fail(db + QStringLiteral(": ") + e.description());
  }
  Console::note(QStringLiteral("%1 added to %2").arg(plural(added, "record", "records"), db));
  return 0;
}

}  // namespace

QStringList dataFileFolders() {
  const QString bin = QCoreApplication::applicationDirPath();
  QStringList folders{QDir(bin).filePath(QStringLiteral("data")),
                      QDir::cleanPath(QDir(bin).filePath(QStringLiteral("../share/zelmora")))};
  const QString installed = QStringLiteral(ZEL_INSTALLED_DATA_DIR);
  if (!folders.contains(installed)) folders << installed;
  return folders;
}

bool needsGui(const Invocation& in) {
  return in.command && !in.help && QLatin1String(in.command->name) == QLatin1String("report") &&
         reportFormat(in) == QLatin1String("pdf");
}

int run(const Invocation& in) {
  const QString name = QLatin1String(in.command->name);
  try {
    if (name == QLatin1String("init")) return init(in);
    if (name == QLatin1String("share")) return share(in);
    if (name == QLatin1String("export")) return exportRecords(in);
    if (name == QLatin1String("report")) return report(in);
    if (name == QLatin1String("backup")) return backup(in);
    if (name == QLatin1String("restore")) return restore(in);
    if (name == QLatin1String("check")) return check(in);
    if (name == QLatin1String("import")) return import(in);
    if (name == QLatin1String("history")) return history(in);
  } catch (const Console::Failure& f) {
    Console::error(f.text);
    return 1;
  }
  return 2;
}

}  // namespace Cli
