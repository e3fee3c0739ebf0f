#include "core/share/OfficeShare.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>

#include "core/backup/DataBackup.h"
#include "core/backup/ZipArchive.h"
#include "core/history/History.h"
#include "core/maps/MapFile.h"
#include "core/maps/MapRows.h"
#include "core/store/Connection.h"
#include "core/store/Schema.h"
#include "core/store/ServerFolder.h"
#include "core/store/Statement.h"
#include "core/store/TableCopy.h"

namespace OfficeShare {

namespace {

const QString kDatabase = QStringLiteral("zel.mdb");

std::function<void(int)>& stepHook() {
  static std::function<void(int)> hook;
  return hook;
}

void step(int number) {
  if (stepHook()) stepHook()(number);
}

Result refused(const QString& why) { return Result{false, why, {}, {}, {}, {}}; }

struct Map {
  QString name;
  QByteArray bytes;
  QString hash;
};

bool writeServerFile(const QString& dataPath, const QString& server) {
  QSaveFile f(dataPath + QString::fromLatin1(kServerFile));
  if (!f.open(QIODevice::WriteOnly)) return false;
  const QByteArray text =
      QStringLiteral(
          "# The server this data folder's records are on (zelmora-cli share, %1). Its password\n"
          "# belongs in ~/.pgpass, a service file or the environment, never here.\n%2\n")
          .arg(QDateTime::currentDateTime().toString(Qt::ISODate), server)
          .toUtf8();
  return f.write(text) == text.size() && f.commit() && ZipArchive::sync(dataPath);
}

// Where the server's copy differs from the file; sharedEntries: the entries the share itself added.
QStringList differencesOf(Connection& file, Connection& srv, const std::vector<Map>& maps,
                          qint64 sharedEntries) {
  const QStringList tables = TableCopy::tables(file);
  TableCopy::Summary copy = TableCopy::summarize(srv, tables);
  if (const QString key = QStringLiteral("history: rows"); copy.contains(key))
    copy[key] = QString::number(copy[key].toLongLong() - sharedEntries);
  QStringList differences =
      TableCopy::differences(TableCopy::summarize(file, tables), copy, QStringLiteral("in the file"),
                             QStringLiteral("on the server"));
  for (const Map& m : maps)
    if (const QString h = MapRows::hashOf(srv, m.name); h != m.hash)
      differences << QStringLiteral("the map %1: %2 bytes in the file, %3 on the server")
                         .arg(m.name)
                         .arg(m.bytes.size())
                         .arg(h.isEmpty() ? QStringLiteral("missing") : QStringLiteral("other bytes"));
  if (const qsizetype held = qsizetype(MapRows::names(srv).size()); held != qsizetype(maps.size()))
    differences << QStringLiteral("maps: %1 in the folder, %2 on the server").arg(maps.size()).arg(held);
  if (History::hasTable(file)) {
    const History::Verdict before = History::verify(file), after = History::verify(srv);
    if (before.ok != after.ok || before.entries + sharedEntries != after.entries)
      differences << QStringLiteral(
                         "the change history: %1 entries %2 in the file, %3 entries %4 on the server")
                         .arg(before.entries)
                         .arg(before.ok ? QStringLiteral("following each other") : QStringLiteral("broken"))
                         .arg(after.entries - sharedEntries)
                         .arg(after.ok ? QStringLiteral("following each other") : after.problem);
  }
  return differences;
}

// Copies and checks in the server's transaction; the differences found (none: committed).
QStringList copyAndCheck(Connection& file, Connection& srv, const std::vector<Map>& maps,
                         const QString& server) {
  srv.beginTransaction();
  // The file is read as one state: the folder's lock keeps the program out meanwhile anyway.
  file.beginTransaction();
  try {
    Schema::create(srv);
    MapRows::createTable(srv);
    TableCopy::copyAll(file, srv);
    for (const Map& m : maps) putMapBytes(srv, m.name, m.bytes);
    if (QStringList differences = differencesOf(file, srv, maps, 0); !differences.isEmpty()) {
      srv.rollback();
      file.rollback();
      return differences;
    }
    History::shared(srv, server);
    srv.commit();
  } catch (...) {
    srv.rollback();
    file.rollback();
    throw;
  }
  file.rollback();
  return {};
}

// A share of this very folder whose copy was committed before the run was killed: the server's last
// entry is the share, and the server holds exactly the folder's data besides it.
bool committedEarlier(Connection& file, Connection& srv, const std::vector<Map>& maps) {
  if (!History::hasTable(srv) || !MapRows::hasTable(srv)) return false;
  {
    Statement last(srv, "select kind from history order by id desc limit 1");
    if (!last.next() || History::kindFromName(last.string(0)) != History::Kind::Shared) return false;
  }
  return differencesOf(file, srv, maps, 1).isEmpty();
}

}  // namespace

QString movedName(const QString& name, const QString& stamp) {
  return name + QStringLiteral(".moved-to-server-") + stamp;
}

void setStepHookForTesting(std::function<void(int)> hook) { stepHook() = std::move(hook); }

QStringList missingTables(Connection& cn) {
  QStringList missing;
  for (const char* t : {"zel", "cemetery", "lots", "history"})
    if (!cn.engine().hasTable(QLatin1String(t))) missing << QLatin1String(t);
  return missing;
}

Result share(const QString& dataPath, const QString& server) {
  const QString db = dataPath + kDatabase;
  try {
    checkServerAddress(server, QStringLiteral("The server address"));
  } catch (const DbError& e) {
    return refused(e.description() + QStringLiteral(" Nothing was changed."));
  }
  if (QFileInfo::exists(dataPath + QString::fromLatin1(kServerFile)))
    return refused(QStringLiteral("The data folder %1 already holds %2: its records are on a server already. "
                                  "Nothing was changed.")
                       .arg(dataPath, QString::fromLatin1(kServerFile)));
  if (!QFileInfo(db).isFile())
    return refused(QStringLiteral("%1: no such file; the folder holds no database to share.").arg(db));

  Connection file;
  try {
    openProgramDatabase(file, db);
  } catch (const DbError& e) {
    return refused(QStringLiteral("%1 does not open (%2). Nothing was changed.").arg(db, e.description()));
  }
  if (const QString damage = DataBackup::integrityProblem(file); !damage.isEmpty())
    return refused(QStringLiteral("%1: %2, so it was not shared. Nothing was changed.").arg(db, damage));

  Result out;
  std::vector<Map> maps;
  for (const QString& path : DataBackup::dataFiles(dataPath).mid(1)) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
      return refused(
          QStringLiteral("The map %1 cannot be read: %2. Nothing was changed.").arg(path, f.errorString()));
    Map m{QFileInfo(path).fileName(), f.readAll(), {}};
    m.hash = QString::fromLatin1(QCryptographicHash::hash(m.bytes, QCryptographicHash::Sha256).toHex());
    try {
      MapFile::load(
          path, [](const MapFile::Header&) {}, [](MapCell&&) {});
    } catch (const DbError& e) {
      out.warnings << QStringLiteral("The map %1 does not load; it was copied as it is: %2")
                          .arg(path, e.description());
    }
    maps.push_back(std::move(m));
  }

  Connection srv;
  bool resumed = false;
  try {
    srv.openServer(server);
    QStringList held;
    for (const char* t : {"zel", "cemetery", "lots", "history", "zelmaps"})
      if (srv.engine().hasTable(QLatin1String(t))) held << QLatin1String(t);
    resumed = !held.isEmpty() && committedEarlier(file, srv, maps);
    if (!held.isEmpty() && !resumed)
      return refused(QStringLiteral("The database %1 already holds the program's tables (%2): share copies a "
                                    "data folder into an empty database only. Nothing was changed.")
                         .arg(server, held.join(QStringLiteral(", "))));
  } catch (const DbError& e) {
    return refused(QStringLiteral("The server %1 cannot be reached: %2 Nothing was changed.")
                       .arg(server, e.description()));
  }

  // 1: the old files in a verified archive, before anything else changes.
  const QDateTime now = QDateTime::currentDateTime();
  const QString stamp = now.toString(QStringLiteral("yyyyMMddHHmmss"));
  const QString archive = dataPath + QStringLiteral("zelbeforeshare%1.zip").arg(stamp);
  const DataBackup::Result kept = DataBackup::backup(dataPath, archive);
  if (!kept.ok())
    return refused(
        QStringLiteral("The data folder's files could not be kept in an archive, so nothing was shared: "
                       "%1 (error %2)")
            .arg(kept.reason)
            .arg(kept.code));
  out.warnings << kept.warnings;
  out.archive = archive;
  step(1);

  // 2: the copy, checked before it is committed (or found committed by a run that was killed).
  if (resumed) {
    out.warnings << QStringLiteral(
                        "An earlier share of %1 to the server %2 was interrupted after the records "
                        "were copied and checked; it has now been completed.")
                        .arg(dataPath, server);
  } else {
    try {
      const QStringList differences = copyAndCheck(file, srv, maps, server);
      if (!differences.isEmpty()) {
        QFile::remove(archive);
        Result r =
            refused(QStringLiteral("The copy on the server %1 differs from the data folder, so it was not "
                                   "kept and nothing was changed: %2.")
                        .arg(server, differences.join(QStringLiteral("; "))));
        r.differences = differences;
        return r;
      }
    } catch (const DbError& e) {
      QFile::remove(archive);
      return refused(
          QStringLiteral("The records could not be copied to the server %1: %2 Nothing was changed.")
              .arg(server, e.description()));
    }
  }
  file.close();
  srv.close();
  step(2);

  // 3: from here the folder opens the server.
  if (!writeServerFile(dataPath, server)) {
    QFile::remove(dataPath + QString::fromLatin1(kServerFile));
    return refused(
        QStringLiteral("The server %1 holds the records now, but %2 cannot be written into the data "
                       "folder %3, which still uses its own database. Empty the server's database "
                       "before sharing again.")
            .arg(server, QString::fromLatin1(kServerFile), dataPath));
  }
  step(3);

  // 4: the old files aside, where no program opens them; they are in the archive.
  int number = 4;
  QStringList moved;
  for (const QString& path : DataBackup::dataFiles(dataPath)) {
    if (!QFileInfo::exists(path)) continue;
    const QString to = movedName(path, stamp);
    if (std::rename(QFile::encodeName(path).constData(), QFile::encodeName(to).constData()) != 0) {
      out.warnings << QStringLiteral(
                          "%1 could not be moved aside: %2. The folder opens the server all the same.")
                          .arg(path, qt_error_string(errno));
      continue;
    }
    if (path == db) out.movedDatabase = to;
    moved << QFileInfo(to).fileName();
    step(number++);
  }
  ZipArchive::sync(dataPath);
  out.ok = true;
  out.text = QStringLiteral("The records of %1 are on the server %2 now; the folder opens it.")
                 .arg(dataPath, server);
  if (!out.movedDatabase.isEmpty())
    out.text += QStringLiteral(" The old database was moved to %1 so that nothing opens it by mistake.")
                    .arg(out.movedDatabase);
  out.text += QStringLiteral(" The old files are kept in the verified archive %1.").arg(archive);
  return out;
}

}  // namespace OfficeShare
