// Writes to a data folder the ways a user does until it is killed, and checks the folder after.
//   zel_crashdriver init DIR         a data folder with a database, two cemeteries and a lot type
//   zel_crashdriver run DIR          saves records through the record form, maps through the map
//                                    editor and imports through the import window, for ever; one
//                                    line on standard output before each write and one after it
//                                    was acknowledged
//   zel_crashdriver check DIR LOG    after a kill: the database passes the engine's integrity check,
//                                    every acknowledged write of the log is there with its value,
//                                    every map loads and is the last one saved or the one being
//                                    saved, every import is there whole or not at all; the newest
//                                    acknowledged automatic backups are there, and every one there
//                                    restores
//   zel_crashdriver backups DIR      automatic backups of DIR (keeping 3) beside the writer, for ever
//   zel_crashdriver restore-init DIR WORK   a data folder and two archives of it, WORK/a.zip and
//                                    WORK/b.zip, whose records and maps differ
//   zel_crashdriver restores DIR WORK       restores a.zip and b.zip in turn, for ever
//   zel_crashdriver restore-check DIR WORK  after a kill: finishes the restore as the next start
//                                    does; the folder must hold exactly the data of a.zip or of
//                                    b.zip and pass the integrity check
// Lines of the log: "try-record <value>", "record <recid> <value>", "try-edit <recid> <value>",
// "try-map <cemetery> <generation>", "map <cemetery> <generation>", "try-import <tag> <rows>",
// "import <tag> <rows>", "backup <archive>", "restored <archive>". Each is written with one write call, so
// that a kill never leaves half a line.
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "core/backup/AutoBackup.h"
#include "core/backup/DataBackup.h"
#include "core/folder/DataFolderLock.h"
#include "core/maps/MapFile.h"
#include "core/program/Zel1.h"
#include "core/store/Connection.h"
#include "core/store/RecordSet.h"
#include "core/store/Schema.h"
#include "core/store/sqlite.h"
#include "gui/controls/GridControl.h"
#include "gui/import/frmImport.h"
#include "gui/maps/frmMapEdit.h"
#include "gui/records/frmDataEntry.h"
#include "support/ScriptedMessages.h"
#include "support/WindowDriver.h"

namespace {

const QString kPassword = QString::fromLatin1(kDatabasePassword);
constexpr int kMapSize = 150;

void say(const QString& line) {
  const QByteArray b = (line + u'\n').toUtf8();
  if (::write(STDOUT_FILENO, b.constData(), size_t(b.size())) != b.size()) std::_Exit(4);
}

[[noreturn]] void fail(const QString& what) {
  std::fprintf(stderr, "zel_crashdriver: %s\n", qPrintable(what));
  std::_Exit(3);
}

int init(const QString& dir) {
  QDir().mkpath(dir);
  Connection cn;
  cn.create(dir + QStringLiteral("zel.mdb"), kPassword);
  Schema::create(cn);
  cn.execute(QStringLiteral("insert into cemetery (name) values ('Oak Hill')"));
  cn.execute(QStringLiteral("insert into cemetery (name) values ('Elm Ridge')"));
  cn.execute(QStringLiteral("insert into lots (lotdesc) values ('Single')"));
  return 0;
}

int run(const QString& dir) {
  // Nobody is at the screen: the open dialog names the import file, questions get No, and any other
  // message means a write failed.
  ScriptedMessages driver(ScriptedMessages::Mode::Permissive);
  driver.onMessage = [](const ScriptedMessages::Record& m) {
    if (m.kind == ScriptedMessages::Kind::Information && m.text != QLatin1String("Import Complete."))
      fail(QStringLiteral("the program said: ") + m.text);
  };
  ZEL1.DataPath = dir;
  ZEL1.DateDisplayFormat = QStringLiteral("mm-dd-yyyy");
  ZEL1.cnData.open(dir + QStringLiteral("zel.mdb"), kPassword);
  const QString self = QString::number(QCoreApplication::applicationPid());
  frmDataEntry form;
  form.show();
  QApplication::processEvents();
  say(QStringLiteral("ready ") + self);

  QString recid;  // the record on the form
  for (int i = 1;; ++i) {
    const QString value = QStringLiteral("v%1-%2").arg(self).arg(i);
    if (i % 40 == 17) {
      // An import of a few hundred rows, all tagged with the same remark.
      const int rows = 100 + i % 300;
      QByteArray text;
      for (int r = 1; r <= rows; ++r)
        text += "I" + self.toLatin1() + "," + QByteArray::number(i) + "," + QByteArray::number(r) + "," +
                value.toLatin1() + "\r\n";
      driver.defaults.openFile = dir + QStringLiteral("import.csv");
      QFile f(driver.defaults.openFile);
      if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        fail(QStringLiteral("no import file"));
      f.close();
      say(QStringLiteral("try-import %1 %2").arg(value).arg(rows));
      frmImport w;
      w.mnuImportClick();
      const QStringList names{QStringLiteral("cSection"), QStringLiteral("Lot"), QStringLiteral("Grave"),
                              QStringLiteral("Remarks")};
      for (int c = 1; c <= names.size(); ++c) w.Spread1->setText(1, c, names[c - 1]);
      driver.clearLog();
      w.mnuImport2Click();
      if (driver.last() != QLatin1String("Import Complete."))
        fail(QStringLiteral("the import did not finish"));
      say(QStringLiteral("import %1 %2").arg(value).arg(rows));
    } else if (i % 9 == 4) {
      // A map saved by closing the map editor: every cell drawn, the first one naming its generation.
      const int cemetery = 1 + i / 9 % 2;
      ZEL1.CurrentCemeteryId = cemetery;
      std::unique_ptr<frmMapEdit> editor(frmMapEdit::open());
      if (!editor) fail(QStringLiteral("the map editor did not open"));
      GridControl& sheet = *editor->ui().Spread1;
      if (sheet.maxRows() < kMapSize) {
        sheet.setMaxRows(kMapSize);
        sheet.setMaxCols(kMapSize);
        for (int r = 1; r <= kMapSize; ++r)
          for (int c = 1; c <= kMapSize; ++c) sheet.setText(r, c, QStringLiteral("S%1,%2,1").arg(r).arg(c));
      }
      sheet.setText(1, 1, QStringLiteral("gen %1").arg(i));
      say(QStringLiteral("try-map %1 %2").arg(cemetery).arg(i));
      if (!editor->mnuCloseClick()) fail(QStringLiteral("the map was not saved"));
      say(QStringLiteral("map %1 %2").arg(cemetery).arg(i));
    } else if (recid.isEmpty() || i % 3 == 0) {
      form.mnuNewClick();
      type(form.ui().txtSection, QStringLiteral("P") + self);
      type(form.ui().txtLot, QString::number(i));
      type(form.ui().txtGrave, QStringLiteral("1"));
      type(form.ui().txtInterredLastName, QStringLiteral("Driver"));
      type(form.ui().txtRemarks, value);
      for (QComboBox* box : {form.ui().txtCemetery, form.ui().txtLotInfo}) choose(box, 0);
      say(QStringLiteral("try-record %1").arg(value));
      form.mnuSaveClick();
      recid = form.ui().txtRecordNum->text();
      if (recid.isEmpty() || ZEL1.RecordChanged) fail(QStringLiteral("a new record was not saved"));
      say(QStringLiteral("record %1 %2").arg(recid, value));
    } else {
      type(form.ui().txtRemarks, value);
      say(QStringLiteral("try-edit %1 %2").arg(recid, value));
      form.mnuSaveClick();
      if (ZEL1.RecordChanged) fail(QStringLiteral("a changed record was not saved"));
      say(QStringLiteral("record %1 %2").arg(recid, value));
    }
  }
}

int backups(const QString& dir) {
  const QString folder = dir + QStringLiteral("backups");
  QDir().mkpath(folder);
  say(QStringLiteral("ready"));
  // A name of its own for each, later than every name a killed run left: names in the order the
  // archives were made, as a clock gives them.
  QDateTime start = QDateTime::currentDateTime();
  static const QRegularExpression stamped(QStringLiteral("^zelauto([0-9]{14})-"));
  for (const QString& name : QDir(folder).entryList(QDir::Files)) {
    const QRegularExpressionMatch m = stamped.match(name);
    const QDateTime made = QDateTime::fromString(m.captured(1), QStringLiteral("yyyyMMddHHmmss"));
    if (m.hasMatch() && made.isValid() && made >= start) start = made.addSecs(1);
  }
  for (int i = 0;; ++i) {
    const DataBackup::Result r = AutoBackup::run(dir, folder, 3, start.addSecs(i));
    if (r.code == DataBackup::Busy) continue;  // the writer held the database too long: refused, said so
    if (!r.ok()) fail(QStringLiteral("backup: %1 (%2)").arg(r.reason).arg(r.code));
    say(QStringLiteral("backup ") + r.archive);
  }
}

void addRecords(Connection& cn, const QString& mark, int n) {
  cn.beginTransaction();
  cn.execute(QStringLiteral("delete from zel"));
  for (int i = 1; i <= n; ++i)
    cn.execute(QStringLiteral(
                   "insert into zel (cemeteryid, csection, lot, grave, remarks) values (1, 'R', '%1', '1', "
                   "'%2')")
                   .arg(i)
                   .arg(mark));
  cn.commit();
}

void writeMapOf(const QString& dir, int cemetery, const QString& mark) {
  MapSheetData sheet;
  sheet.maxRows = 40;
  sheet.maxCols = 40;
  sheet.cells.push_back({1, 1, mark});
  try {
    MapFile::save(MapFile::fileName(dir, cemetery), sheet);
  } catch (const DbError&) {
    fail(QStringLiteral("a map was not written"));
  }
}

// a.zip: 150 records marked "a" and the map of cemetery 1; b.zip: 90 records marked "b" and the
// map of cemetery 2.
int restoreInit(const QString& dir, const QString& work) {
  init(dir);
  Connection cn;
  cn.open(dir + QStringLiteral("zel.mdb"), kPassword);
  addRecords(cn, QStringLiteral("a"), 150);
  writeMapOf(dir, 1, QStringLiteral("a"));
  cn.close();
  if (!DataBackup::backup(dir, work + QStringLiteral("a.zip")).ok()) fail(QStringLiteral("no a.zip"));
  cn.open(dir + QStringLiteral("zel.mdb"), kPassword);
  addRecords(cn, QStringLiteral("b"), 90);
  cn.close();
  QFile::remove(MapFile::fileName(dir, 1));
  writeMapOf(dir, 2, QStringLiteral("b"));
  if (!DataBackup::backup(dir, work + QStringLiteral("b.zip")).ok()) fail(QStringLiteral("no b.zip"));
  return 0;
}

int restores(const QString& dir, const QString& work) {
  DataFolderLock lock(dir);
  if (lock.claim() != DataFolderLock::State::Held) fail(QStringLiteral("the data folder is locked"));
  say(QStringLiteral("ready"));
  // Most of a restore's time goes to extracting and checking; half of the runs also kill themselves
  // at a random step of the exchange (as abruptly as a kill), so that the short window between its
  // renames is hit too.
  std::srand(unsigned(QCoreApplication::applicationPid()));
  if (std::rand() % 2) {
    const int stop = 1 + std::rand() % 10;
    DataBackup::setStepHookForTesting([stop](int step) {
      if (step == stop) std::_Exit(137);  // no clean-up at all, as with a kill
    });
  }
  for (int i = 0;; ++i) {
    const QString archive = work + (i % 2 ? QStringLiteral("b.zip") : QStringLiteral("a.zip"));
    const DataBackup::Result r = DataBackup::restore(archive, dir);
    if (!r.ok()) fail(QStringLiteral("restore: %1 (%2)").arg(r.reason).arg(r.code));
    say(QStringLiteral("restored ") + archive);
  }
}

struct Checked {
  int records = 0, maps = 0, imports = 0, archives = 0, restored = 0;
  QStringList corrupt, lost;
};

// The set of data a folder holds: "a" or "b" as restoreInit made them, or what else it holds.
QString dataSet(const QString& dir) {
  Connection cn;
  cn.open(dir + QStringLiteral("zel.mdb"), kPassword);
  const QString damage = DataBackup::integrityProblem(cn);
  if (!damage.isEmpty()) throw DbError(SQLITE_CORRUPT, damage);
  RecordSet rs(&cn);
  rs.open(QStringLiteral("select count(*), min(remarks), max(remarks) from zel"));
  const QString records =
      QStringLiteral("%1 %2 %3").arg(rs.field(0).toInt()).arg(rs.field(1).toString(), rs.field(2).toString());
  QStringList maps;
  for (const QString& f : DataBackup::dataFiles(dir).mid(1)) {
    MapSheetData sheet;
    MapFile::load(f, sheet);
    maps << QFileInfo(f).fileName() + u'=' + (sheet.cells.empty() ? QString() : sheet.cells.front().text);
  }
  const QString set = records + u' ' + maps.join(u' ');
  if (set == QLatin1String("150 a a zelmap1.dat=a")) return QStringLiteral("a");
  if (set == QLatin1String("90 b b zelmap2.dat=b")) return QStringLiteral("b");
  return set;
}

Checked restoreCheck(const QString& dir) {
  Checked out;
  DataFolderLock lock(dir);
  if (lock.claim() != DataFolderLock::State::Held) fail(QStringLiteral("the data folder is still locked"));
  const DataBackup::Recovery recovery = DataBackup::finishRestore(dir);
  if (!recovery.ok) {
    out.lost << recovery.text;
    return out;
  }
  if (recovery.found) ++out.restored;
  try {
    const QString set = dataSet(dir);
    if (set != QLatin1String("a") && set != QLatin1String("b"))
      out.lost << QStringLiteral("the data folder holds neither archive's data: ") + set;
  } catch (const std::exception& e) {
    out.corrupt << QString::fromLocal8Bit(e.what());
  }
  return out;
}

// The newest acknowledged automatic backups must be there (a backup killed after its rotation may
// have removed the oldest of the three kept), and every acknowledged one that is there restores.
void checkBackups(const QStringList& acknowledged, Checked& out) {
  for (qsizetype i = 0; i < acknowledged.size(); ++i) {
    const QString& archive = acknowledged[i];
    if (acknowledged.lastIndexOf(archive) != i) continue;  // checked at its last acknowledgement
    if (!QFile::exists(archive)) {
      if (i >= acknowledged.size() - 2) out.lost << QStringLiteral("the backup %1 is gone").arg(archive);
      continue;
    }
    QTemporaryDir into;
    const DataBackup::Result r = DataBackup::restore(archive, into.path() + u'/');
    if (r.ok())
      ++out.archives;
    else
      out.corrupt << QStringLiteral("the backup %1 does not restore: %2").arg(archive, r.reason);
  }
}

Checked check(const QString& dir, const QString& logFile) {
  Checked out;
  QFile log(logFile);
  if (!log.open(QIODevice::ReadOnly)) fail(QStringLiteral("no log ") + logFile);
  // What each write must show now: its acknowledged value, or the value of a write that was under
  // way at the kill.
  QMap<QString, QStringList> record, map;  // recid / cemetery -> allowed values (first: acknowledged)
  QMap<QString, int> imported;             // tag -> rows, negative while not acknowledged
  QStringList archives;
  for (const QByteArray& raw : log.readAll().split('\n')) {
    const QStringList w = QString::fromUtf8(raw).split(u' ');
    if (w[0] == QLatin1String("backup")) {
      archives << w.mid(1).join(u' ');
    } else if (w[0] == QLatin1String("record")) {
      record[w[1]] = {w[2]};
      ++out.records;
    } else if (w[0] == QLatin1String("try-edit")) {
      record[w[1]] << w[2];
    } else if (w[0] == QLatin1String("try-map")) {
      if (!map.contains(w[1])) map[w[1]] = {QStringLiteral("(none)")};  // no map saved before
      map[w[1]] << w[2];
    } else if (w[0] == QLatin1String("map")) {
      map[w[1]] = {w[2]};
      ++out.maps;
    } else if (w[0] == QLatin1String("try-import")) {
      imported[w[1]] = -w[2].toInt();
    } else if (w[0] == QLatin1String("import")) {
      imported[w[1]] = w[2].toInt();
      ++out.imports;
    }
  }

  checkBackups(archives, out);
  Connection cn;
  try {
    cn.open(dir + QStringLiteral("zel.mdb"), kPassword);
    RecordSet rs(&cn);
    rs.open(QStringLiteral("PRAGMA integrity_check"));
    if (rs.eof() || rs.field(0).toString() != QLatin1String("ok"))
      out.corrupt << QStringLiteral("zel.mdb: ") + (rs.eof() ? QString() : rs.field(0).toString());
  } catch (const DbError& e) {
    out.corrupt << QStringLiteral("zel.mdb: ") + e.description();
    return out;
  }
  for (auto it = record.cbegin(); it != record.cend(); ++it) {
    RecordSet rs(&cn);
    rs.open(QStringLiteral("select remarks from zel where recid=") + it.key());
    const QString stored = rs.eof() ? QStringLiteral("(missing)") : rs.field(0).toString();
    if (!it.value().contains(stored))
      out.lost
          << QStringLiteral("record %1 holds %2 instead of %3").arg(it.key(), stored, it.value().join(u'|'));
  }
  for (auto it = imported.cbegin(); it != imported.cend(); ++it) {
    RecordSet rs(&cn);
    rs.open(QStringLiteral("select count(*) from zel where remarks='%1'").arg(it.key()));
    const int rows = rs.field(0).toInt();
    const int whole = std::abs(it.value());
    if (rows != whole && (it.value() > 0 || rows != 0))
      out.lost << QStringLiteral("import %1 holds %2 of its %3 rows").arg(it.key()).arg(rows).arg(whole);
  }
  for (auto it = map.cbegin(); it != map.cend(); ++it) {
    const QString file = MapFile::fileName(dir, it.key().toInt());
    MapSheetData sheet;
    if (!QFile::exists(file) && it.value().contains(QStringLiteral("(none)"))) continue;
    try {
      MapFile::load(file, sheet);
    } catch (const DbError& e) {
      out.corrupt << e.description();
      continue;
    }
    QString generation;
    for (const MapCell& c : sheet.cells)
      if (c.row == 1 && c.col == 1) generation = c.text.section(u' ', 1);
    if (!it.value().contains(generation))
      out.lost << QStringLiteral("map %1 is generation %2 instead of %3")
                      .arg(it.key(), generation, it.value().join(u'|'));
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  setFailureHandler([](const std::string& what) { fail(QString::fromStdString(what)); });
  const QStringList args = app.arguments();
  if (args.size() < 3) {
    std::fprintf(
        stderr,
        "usage: zel_crashdriver init|run|backups|check|restore-init|restores|restore-check DIR [LOG|WORK]\n");
    return 2;
  }
  QString dir = QDir(args[2]).absolutePath();
  if (!dir.endsWith(u'/')) dir += u'/';
  try {
    if (args[1] == QLatin1String("init")) return init(dir);
    if (args[1] == QLatin1String("run")) return run(dir);
    if (args[1] == QLatin1String("backups")) return backups(dir);
    const QString work = args.size() == 4 ? QDir(args[3]).absolutePath() + u'/' : QString();
    if (args[1] == QLatin1String("restore-init") && args.size() == 4) return restoreInit(dir, work);
    if (args[1] == QLatin1String("restores") && args.size() == 4) return restores(dir, work);
    const bool restoring = args[1] == QLatin1String("restore-check");
    if ((args[1] == QLatin1String("check") || restoring) && args.size() == 4) {
      const Checked c = restoring ? restoreCheck(dir) : check(dir, args[3]);
      for (const QString& p : c.corrupt + c.lost) std::printf("problem: %s\n", qPrintable(p));
      const auto ofBackups = [](const QStringList& l) {
        return qint64(l.filter(QRegularExpression(QStringLiteral("^the backup "))).size());
      };
      std::printf(
          "checked %d records %d maps %d imports %d archives %d restores %lld corrupt %lld lost %lld "
          "backup-corrupt %lld backup-lost\n",
          c.records, c.maps, c.imports, c.archives, c.restored,
          qint64(c.corrupt.size()) - ofBackups(c.corrupt), qint64(c.lost.size()) - ofBackups(c.lost),
          ofBackups(c.corrupt), ofBackups(c.lost));
      return c.corrupt.isEmpty() && c.lost.isEmpty() ? 0 : 1;
    }
  } catch (const std::exception& e) {
    fail(QString::fromLocal8Bit(e.what()));
  }
  return 2;
}
