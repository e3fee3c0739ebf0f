#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>

#include "DataGen.h"
#include "backup/BackupFixture.h"
#include "core/backup/AutoBackup.h"
#include "core/export/ExportWriter.h"
#include "core/folder/DataFolderLock.h"
#include "core/folder/DateGuard.h"
#include "core/history/History.h"
#include "core/import/RecordImport.h"
#include "core/program/Zel1.h"
#include "core/reports/ReportFiles.h"
#include "core/reports/Reports.h"
#include "core/store/Schema.h"
#include "core/store/ServerFolder.h"
#include "support/CliRun.h"
#include "support/PdfPages.h"
#include "support/TestData.h"
#include "support/TestFolder.h"
#include "support/TestServer.h"

namespace {

// A data folder with generated records of two cemeteries, open as ZEL1.cnData.
class Cli : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    DataGen::Options o;
    o.records = 120;
    DataGen::fill(ZEL1.cnData, o);
    dir = folder->path();
  }
  QString file(const QString& name) const { return folder->file(name); }
  qint64 records() { return scalar(QStringLiteral("select count(*) from zel")).toLongLong(); }
  QString dir;
};

TEST(CliUsage, UsageErrorsExitTwoHelpAndVersionExitZero) {
  const std::vector<QStringList> wrong = {{},
                                          {"frobnicate"},
                                          {"export"},
                                          {"export", "a", "b"},
                                          {"export", "a", "--bogus"},
                                          {"report", "receivables", "d", "--format", "xml"},
                                          {"backup", "d", "t", "--keep", "0"},
                                          {"restore", "a.zip", "d"},
                                          {"import", "f.csv", "d"},
                                          {"import", "f.csv", "d", "--map", "1=Lot", "--empty-first"},
                                          {"check", "d", "--yes=1"},
                                          {"history", "d", "--format", "pdf"},
                                          {"history", "d", "--since", "12-07-2026"},
                                          {"history", "d", "--erase-owner", "3"}};
  for (const QStringList& args : wrong) {
    const Outcome r = cli(args);
    EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
    EXPECT_TRUE(r.err.contains("--help")) << r.err.toStdString();
  }
  Outcome r = cli({"--help"});
  EXPECT_EQ(r.code, 0);
  for (const char* c : {"init", "export", "report", "backup", "restore", "check", "import"})
    EXPECT_TRUE(r.out.contains(c)) << c;
  r = cli({"import", "--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(r.out.contains("--dry-run"));
  r = cli({"--version"});
  EXPECT_EQ(r.out, "zelmora-cli 6.8.1\n");
}

TEST_F(Cli, ExportWritesTheRecordFormsBytesToAFileOrStandardOutput) {
  ASSERT_TRUE(ExportWriter::write().ok);  // the record form's Export
  const QByteArray form = fileBytes(file("zel.csv"));
  ASSERT_GT(form.count('\n'), 120);
  QFile::remove(file("zel.csv"));

  Outcome r = cli({"export", dir});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(r.err.isEmpty()) << "quiet when not on a terminal: " << r.err.toStdString();
  EXPECT_EQ(fileBytes(file("zel.csv")), form);
  r = cli({"export", dir, "-o", "-"});
  EXPECT_EQ(r.out, form);
  EXPECT_EQ(cli({"export", dir, "--output=" + file("copy.csv")}).code, 0);
  EXPECT_EQ(fileBytes(file("copy.csv")), form);

  // Bad input names its file and reason and changes nothing.
  EXPECT_RUN(cli({"export", dir + "missing"}), 1, dir + "missing: no such folder");
  EXPECT_RUN(cli({"export", dir, "-o", dir + "no/such/folder.csv"}), 1, dir + "no/such/folder.csv");
  ZEL1.cnData.close();
  ZEL1.cnData.open(file("zel.mdb"), QString::fromLatin1(kDatabasePassword));
  ZEL1.cnData.execute(QStringLiteral("ALTER DATABASE PASSWORD other qzrpvn582"));
  ZEL1.cnData.close();
  EXPECT_RUN(cli({"export", dir}), 1, file("zel.mdb") + ": it does not open with the program's password");
  EXPECT_EQ(fileBytes(file("copy.csv")), form);
}

TEST_F(Cli, ReportsAreTheWindowsBuildersAsTextCsvAndPdf) {
  const Report::Format format{QLocale::system(),
                              DateGuard::displayFormatFor(DateGuard::systemShortDatePattern())};
  const Report::Cemetery second{2, scalar("select name from cemetery where cemeteryid=2")};
  const Report::Table receivables =
      Report::build(Report::Id::Receivables, ZEL1.cnData, second, format, {dir});
  ASSERT_GT(receivables.count(), 0);

  // By number or by name in any case; CSV and text to standard output.
  Outcome r = cli({"report", "receivables", dir, "--cemetery", "2", "--format", "csv"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out, Report::toCsv(receivables));
  r = cli({"report", "receivables", dir, "--cemetery", second.name.toUpper()});
  EXPECT_EQ(QString::fromUtf8(r.out), Report::toText(receivables));
  r = cli({"report", "cemeteries", dir, "-o", file("cemeteries.csv")});
  EXPECT_EQ(fileBytes(file("cemeteries.csv")),
            Report::toCsv(Report::build(Report::Id::CemeteryList, ZEL1.cnData, {}, format, {dir})));

  // PDF through the window's page painter, offscreen.
  r = cli({"report", "interred-by-name", dir, "--cemetery", "1", "-o", file("interred.pdf")});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  const QByteArray pdf = fileBytes(file("interred.pdf"));
  EXPECT_TRUE(pdf.startsWith("%PDF"));
  EXPECT_GE(pdfPageCount(pdf), 1);

  EXPECT_RUN(cli({"report", "receivable", dir, "--cemetery", "1"}), 2,
             "receivable: no such report; the reports are cemeteries");
  EXPECT_RUN(cli({"report", "receivables", dir, "--cemetery", "Nowhere"}), 1,
             file("zel.mdb") + ": no cemetery \"Nowhere\"; the cemeteries are: 1 ");
  EXPECT_RUN(cli({"report", "receivables", dir, "--cemetery", "99"}), 1, "no cemetery \"99\"");
  EXPECT_RUN(cli({"report", "receivables", dir}), 2, "needs --cemetery");
  EXPECT_RUN(cli({"report", "receivables", dir, "--cemetery", "1", "--format", "pdf"}), 2, "needs -o FILE");
  writeFile(MapFile::fileName(dir, 1), "not a map");
  EXPECT_RUN(cli({"report", "map-check", dir, "--cemetery", "1"}), 1, MapFile::fileName(dir, 1));
}

TEST_F(Cli, BackupThenRestoreGivesTheRecordsBackAndKeepRotatesOnlyAutomaticArchives) {
  writeMap(file("zelmap1.dat"), QStringLiteral("A,1,1"));
  ASSERT_EQ(cli({"export", dir, "-o", file("before.csv")}).code, 0);
  const QString target = QDir(dir).filePath("archives");
  QDir().mkdir(target);

  Outcome r = cli({"backup", dir, target});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
  const QStringList made = QDir(target).entryList({"zel*.zip"}, QDir::Files);
  ASSERT_EQ(made.size(), 1);
  EXPECT_TRUE(QRegularExpression("^zel[0-9]{12}\\.zip$").match(made[0]).hasMatch()) << made[0].toStdString();
  const QString archive = QDir(target).filePath(made[0]);

  exec(QStringLiteral("delete from zel where cemeteryid=1"));
  writeMap(file("zelmap1.dat"), QStringLiteral("Z,9,9"));
  ZEL1.cnData.close();
  writeFile(file("damaged.zip"), fileBytes(archive).left(300));
  const auto beforeDamaged = snapshot(dir);
  EXPECT_RUN(cli({"restore", file("damaged.zip"), dir, "--yes"}), 1, file("damaged.zip"));
  EXPECT_EQ(snapshot(dir), beforeDamaged) << "a damaged archive changes nothing";

  r = cli({"restore", archive, dir, "--yes"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("The data it replaced are kept in " + dir.toUtf8() + "zelbeforerestore"))
      << r.out.constData();
  ASSERT_EQ(cli({"export", dir, "-o", file("after.csv")}).code, 0);
  EXPECT_EQ(fileBytes(file("after.csv")), fileBytes(file("before.csv")));
  MapSheetData map;
  MapFile::load(file("zelmap1.dat"), map);
  EXPECT_EQ(map.cells.back().text, QStringLiteral("A,1,1"));

  // A restore killed once the database went aside: check names it, check --recover completes it.
  restoreKilledAfter(archive, dir, 2);
  ASSERT_FALSE(QFile::exists(file("zel.mdb")));
  EXPECT_RUN(cli({"check", dir}), 1, "a restore from the archive " + archive + " was interrupted");
  r = cli({"check", dir, "--recover"});
  EXPECT_TRUE(r.out.contains("It has now been completed")) << r.out.constData() << r.err.toStdString();
  ASSERT_EQ(cli({"export", dir, "-o", file("after.csv")}).code, 0);
  EXPECT_EQ(fileBytes(file("after.csv")), fileBytes(file("before.csv")));

  // --keep: automatic names, the oldest automatic archives of this folder go, a hand-made one stays.
  const QString rotating = QDir(dir).filePath("nightly");
  QDir().mkdir(rotating);
  const QString older = AutoBackup::archiveName(rotating, dir, QDateTime(QDate(2020, 1, 1), QTime(1, 1)));
  const QString newer = AutoBackup::archiveName(rotating, dir, QDateTime(QDate(2020, 1, 2), QTime(1, 1)));
  for (const QString& old : {older, newer, QDir(rotating).filePath("zel202001030101.zip")}) {
    writeFile(old, "old");
    QFile(old).setFileTime(QDateTime(QDate(2020, 1, 3), QTime(1, 1)), QFileDevice::FileModificationTime);
  }
  EXPECT_EQ(cli({"backup", dir, rotating, "--keep", "2"}).code, 0);
  const QStringList kept = QDir(rotating).entryList(QDir::Files, QDir::Name);
  ASSERT_EQ(kept.size(), 3) << kept.join(' ').toStdString();
  EXPECT_EQ(kept[0], "zel202001030101.zip");
  EXPECT_EQ(kept[1], QFileInfo(newer).fileName());
  EXPECT_TRUE(AutoBackup::isAutomaticArchive(kept[2], dir));

  // A map that does not load: backed up all the same, named on standard error, exit status 3.
  writeFile(file("zelmap4.dat"), "damaged");
  EXPECT_RUN(cli({"backup", dir, file("warned.zip")}), 3, file("zelmap4.dat") + " does not load");
  QFile::remove(file("zelmap4.dat"));

  EXPECT_EQ(cli({"backup", dir, file("one.zip")}).code, 0);
  EXPECT_TRUE(QFile::exists(file("one.zip")));
  EXPECT_RUN(cli({"backup", dir, file("two.zip"), "--keep", "3"}), 2, "TARGET must be a folder");
  EXPECT_RUN(cli({"backup", dir + "missing", target}), 1, "no such folder");
}

TEST_F(Cli, CheckPassesAHealthyFolderAndNamesEachProblem) {
  Outcome r = cli({"check", dir});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("passes the integrity check; 120 records, 2 cemeteries, 5 lot types"));
  EXPECT_TRUE(r.out.endsWith("All is well.\n"));

  // A map that disagrees with the records: the Map Check's findings by kind, with an exit status
  // of their own; records without a place count once each, not as places they share.
  writeMap(file("zelmap1.dat"), QStringLiteral("A,1,1"));
  exec("insert into zel (cemeteryid, csection, lot, grave) values (1, '', '', ''), (1, ' ', '', '')");
  r = cli({"check", dir});
  EXPECT_RUN(r, 3, "Map Check for " + scalar("select name from cemetery where cemeteryid=1") + ": ");
  EXPECT_TRUE(r.err.contains("Place not on the map ")) << r.err.toStdString();
  EXPECT_TRUE(r.err.contains("Records without a place 2)")) << r.err.toStdString();
  EXPECT_FALSE(r.err.contains("Place shared by records")) << r.err.toStdString();
  exec("delete from zel where trim(csection)=''");
  EXPECT_TRUE(r.out.contains("zelmap1.dat: loads (20 rows, 30 columns)"));

  writeFile(file("zelmap1.dat"), "damaged");
  r = cli({"check", dir});
  EXPECT_RUN(r, 1, file("zelmap1.dat"));
  EXPECT_TRUE(r.err.contains("damaged")) << r.err.toStdString();
  QFile::remove(file("zelmap1.dat"));

  ZEL1.cnData.close();
  const QByteArray whole = fileBytes(file("zel.mdb"));
  writeFile(file("zel.mdb"), whole.left(whole.size() / 2));
  EXPECT_RUN(cli({"check", dir}), 1, file("zel.mdb") + ": it is damaged");
  writeFile(file("zel.mdb"), whole.left(whole.size() / 2 + 100));
  EXPECT_RUN(cli({"check", dir}), 1, file("zel.mdb") + ": it is damaged");
  QFile::remove(file("zel.mdb"));
  EXPECT_RUN(cli({"check", dir}), 1, file("zel.mdb") + ": no such file");
}

TEST_F(Cli, HistoryListsChangesEraseKeepsTheChainAndCheckNamesAnEntryChangedOutside) {
  const QString id = scalar("select min(recid) from zel");
  RecordSet rs(&ZEL1.cnData);
  rs.open("select * from zel where recid=" + id, RecordSet::Cursor::Static);
  rs.assign("owneraddress1", "12 Elm St");
  rs.assign("ownerphone", "555 0100");
  History::saveRow(ZEL1.cnData, rs, "zel");
  rs.close();

  Outcome r = cli({"history", dir, "--record", id});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("record saved  zel " + id.toUtf8() + "  ownerphone: \"\" -> \"555 0100\""))
      << r.out.toStdString();
  EXPECT_FALSE(r.out.contains("history begins"));
  r = cli({"history", dir, "--format", "csv", "--since", "2000-01-01"});
  EXPECT_TRUE(
      r.out.startsWith("Entry,Time,User,Computer,Change,Table,Row,Field,Old value,New value,Detail\n"));
  EXPECT_TRUE(r.out.contains(",record saved,zel," + id.toUtf8() + ",owneraddress1,,12 Elm St,"));
  EXPECT_EQ(cli({"history", dir, "--since", "2999-01-01"}).out, "");

  r = cli({"history", dir, "--erase-owner", id, "--yes"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(scalar("select ownerphone from zel where recid=" + id).startsWith("erased on "));
  r = cli({"history", dir, "--record", id});
  EXPECT_FALSE(r.out.contains("555 0100") || r.out.contains("Elm St")) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains("owner's data erased"));
  r = cli({"check", dir});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.contains("each following the one before"));

  exec("drop trigger history_no_update");
  exec("update history set username='someone' where id=2");
  EXPECT_RUN(cli({"check", dir}), 1, "the change history was changed outside the program: Entry 2 ");
}

TEST_F(Cli, ImportDryRunChangesNothingAndTheImportIsAllOrNothing) {
  writeFile(file("new.csv"),
            "Last,First,Died,Paid\n"
            "Abbot,Ann,1990-04-03,12.50\n"
            "O'Neil,Mary,1950-02-31,x\n"
            "\"Brown, Jr\",Tom,,\n");
  const QStringList import{"import",
                           file("new.csv"),
                           dir,
                           "--map",
                           "1=InterLastName,2=InterFirstName,3=DeathDate,4=AmtPaid",
                           "--skip-first-row"};
  ZEL1.cnData.close();
  const auto before = snapshot(dir);

  Outcome r = cli(import + QStringList{"--dry-run"});
  EXPECT_RUN(r, 1, "2 values in 1 row will not convert, so the import would stop");
  EXPECT_TRUE(r.out.contains("3 records would be added")) << r.out.constData();
  EXPECT_TRUE(r.out.contains("Row 3, column 3 (DeathDate): \"1950-02-31\": no date")) << r.out.constData();
  EXPECT_TRUE(r.out.contains("Dates are read ") && r.out.contains(", from the system's settings."))
      << "the dry run names the order dates are read in: " << r.out.constData();
  EXPECT_EQ(cli(import + QStringList{"--dry-run", "--accept-defaults", "--yes", "--empty-first"}).code, 0);
  EXPECT_EQ(snapshot(dir), before) << "a trial run writes nothing, not even the log";

  EXPECT_RUN(cli(import), 1, "nothing was imported; --accept-defaults imports them anyway");
  EXPECT_RUN(cli(import + QStringList{"--yes"}), 1, "nothing was imported");  // --yes accepts no values
  EXPECT_RUN(cli({"import", file("new.csv"), dir, "--map", "1=InterLastName,2=Nonsense"}), 1, "\"Nonsense\"");
  EXPECT_RUN(cli({"import", file("new.csv"), dir, "--map", "1InterLastName"}), 1, "--map 1InterLastName");
  EXPECT_RUN(cli({"import", file("new.csv"), dir, "--map", "5=InterLastName"}), 1, "has 4 columns");
  EXPECT_RUN(cli({"import", file("new.txs"), dir, "--map", "1=InterLastName"}), 1, "must end in .txt");
  ZEL1.cnData.open(file("zel.mdb"), QString::fromLatin1(kDatabasePassword));
  EXPECT_EQ(records(), 120);

  r = cli(import + QStringList{"--accept-defaults"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(records(), 123);
  EXPECT_EQ(scalar("select deathdate from zel where interlastname='Abbot'"), "1990-04-03");
  EXPECT_EQ(scalar("select count(*) from zel where interlastname='O''Neil' and deathdate is null"), "1");
  EXPECT_EQ(scalar("select interfirstname from zel where interlastname='Brown, Jr'"), "Tom");

  r = cli(import + QStringList{"--accept-defaults", "--yes", "--empty-first"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(records(), 3);
}

// The clerk's file of the import window's test, from the command line: listed and stopped, then
// imported only as --accept-defaults says, with no record for the empty lines at the end.
TEST_F(Cli, AClerksFileStopsTheImportUntilItsValuesAreAccepted) {
  exec("delete from zel");
  exec("update cemetery set name='Oak Hill' where cemeteryid=(select min(cemeteryid) from cemetery)");
  writeFile(file("clerk.csv"), kClerkFile);
  const QStringList import{"import", file("clerk.csv"), dir, "--map", kClerkMapping, "--skip-first-row"};
  ZEL1.cnData.close();
  const auto before = snapshot(dir);
  Outcome r = cli(import + QStringList{"--dry-run"});
  EXPECT_RUN(
      r, 1,
      "7 values in 3 rows will not convert; 1 row has more or fewer items than the first row (5), so "
      "some values may stand in the wrong field; 1 row has dates that the record form would refuse, so "
      "the import would stop");
  EXPECT_TRUE(r.out.contains("4 records would be added")) << r.out.constData();
  EXPECT_TRUE(r.out.contains("Row 3, column 4 (PurchPrice): \"1500.555\": more than two decimals"));
  EXPECT_TRUE(r.out.contains("Row 4: 6 items"));
  EXPECT_TRUE(r.out.contains("UTF-8, with some bytes that are not UTF-8")) << r.out.constData();
  EXPECT_EQ(snapshot(dir), before);
  r = cli(import + QStringList{"--yes"});
  EXPECT_RUN(r, 1, "nothing was imported");
  EXPECT_TRUE(r.err.contains("Row 5, column 5 (Cemetery): \"Nowhere\": no cemetery has this name"));

  r = cli(import + QStringList{"--accept-defaults"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  ZEL1.cnData.open(file("zel.mdb"), QString::fromLatin1(kDatabasePassword));
  EXPECT_EQ(scalar(kClerkRecordsSql), kClerkRecords.join(';'));
}

TEST_F(Cli, WritingCommandsRefuseWhileTheFolderIsHeldAndAStaleLockDoesNotBlock) {
  const QString archive = file("a.zip");
  ASSERT_EQ(cli({"backup", dir, archive}).code, 0);
  writeFile(file("one.csv"), "Stone\n");
  ZEL1.cnData.close();
  {
    DataFolderLock program(dir);  // as the running program holds it
    ASSERT_EQ(program.claim(), DataFolderLock::State::Held);
    const auto before = snapshot(dir);
    const QString inUse = dir + ": the data folder is in use by ";
    EXPECT_RUN(cli({"import", file("one.csv"), dir, "--map", "1=InterLastName"}), 1, inUse);
    EXPECT_RUN(cli({"restore", archive, dir, "--yes"}), 1, inUse);
    EXPECT_EQ(snapshot(dir), before);
    // Removing the lock file does not take the lock away.
    QFile::remove(DataFolderLock::fileName(dir));
    EXPECT_RUN(cli({"restore", archive, dir, "--yes"}), 1,
               dir + ": the data folder is in use by another program");
    EXPECT_EQ(snapshot(dir).size(), before.size() - 1);
    QFile::rename(file("zel.mdb"), file("kept.mdb"));
    EXPECT_RUN(cli({"init", dir}), 1, inUse);
    EXPECT_FALSE(QFile::exists(file("zel.mdb")));
    QFile::rename(file("kept.mdb"), file("zel.mdb"));
    // Reading works beside the program.
    EXPECT_EQ(cli({"export", dir, "-o", "-"}).code, 0);
    EXPECT_EQ(cli({"check", dir}).code, 0);
  }
  // A lock left by a run that crashed: its process is gone.
  {
    QLockFile probe(DataFolderLock::fileName(dir));
    ASSERT_TRUE(probe.tryLock(0));
    QByteArray content = fileBytes(DataFolderLock::fileName(dir));
    probe.unlock();
    content = "999999" + content.mid(content.indexOf('\n'));
    writeFile(DataFolderLock::fileName(dir), content);
  }
  Outcome r = cli({"import", file("one.csv"), dir, "--map", "1=InterLastName"});
  EXPECT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_FALSE(QFile::exists(DataFolderLock::fileName(dir))) << "released at the end";
}

TEST(CliInit, InitMakesAnEmptyKeyedDatabaseWithTheHelpFileAndTheTutorial) {
  QTemporaryDir tmp;
  const QString dir = tmp.filePath("office/records");
  const Outcome r = cli({"init", dir});
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  {
    Connection cn;
    cn.open(dir + "/zel.mdb", QString::fromLatin1(kDatabasePassword));
    EXPECT_TRUE(Schema::isComplete(cn));
    RecordSet rs(&cn);
    rs.open("select (select count(*) from zel)+(select count(*) from cemetery)+(select count(*) from lots)");
    EXPECT_EQ(rs.field(0).toInt(), 0);
  }
  EXPECT_EQ(fileBytes(dir + "/zel6.hlp"), fileBytes(ZEL_BUILD_DIR "/data/zel6.hlp"));
  EXPECT_EQ(fileBytes(dir + "/zl-tutor.html"), fileBytes(ZEL_BUILD_DIR "/data/zl-tutor.html"));
  EXPECT_EQ(cli({"check", dir}).code, 0);

  const auto before = snapshot(dir);
  EXPECT_RUN(cli({"init", dir}), 1, dir + "/zel.mdb: already exists");
  EXPECT_EQ(snapshot(dir), before);
  writeFile(tmp.filePath("plain"), "x");
  EXPECT_RUN(cli({"init", tmp.filePath("plain")}), 1, "not a folder");
}

}  // namespace

TEST(CliServer, AFolderWithZelServerExportsAsTheSameRecordsInAFileDo) {
  const auto fill = [](Connection& cn) {
    const qint64 oak = addRow(cn, "cemetery", {{"name", "Oak Hill"}});
    const qint64 single = addRow(cn, "lots", {{"lotdesc", "Single"}, {"lotprice", *Money::parse("1250.5")}});
    addRow(cn, "zel",
           {{"cemeteryid", oak},
            {"lotid", single},
            {"csection", "A"},
            {"lot", "10"},
            {"grave", "2"},
            {"interlastname", "M\xc3\xbcller"},
            {"deathdate", QDate(1921, 3, 15)},
            {"purchprice", *Money::parse("1500.0001")}});
    addRow(
        cn, "zel",
        {{"cemeteryid", oak}, {"csection", "a"}, {"lot", "2"}, {"ownerlastname", "O'Brien"}, {"age", 42.5}});
    addRow(cn, "zel", {{"csection", "B"}, {"remarks", "=1+1, \"quoted\""}});
    addRow(cn, "zel", {});
  };
  TestFolder file;
  fill(ZEL1.cnData);
  ZEL1.cnData.close();
  const Outcome fromFile = cli({"export", file.path(), "-o", "-"});
  EXPECT_EQ(fromFile.code, 0) << fromFile.err.toStdString();

  TestFolder server(false);
  ASSERT_EQ(TestServer::shared().problem(), QString());
  writeFile(server.file(QString::fromLatin1(kServerFile)), TestServer::shared().newDatabase().toUtf8());
  Connection cn;
  openProgramDatabase(cn, server.file("zel.mdb"));
  fill(cn);
  cn.close();
  const Outcome fromServer = cli({"export", server.path(), "-o", "-"});
  EXPECT_EQ(fromServer.code, 0) << fromServer.err.toStdString();
  EXPECT_EQ(fromServer.out.count('\n'), 5);
  EXPECT_EQ(fromServer.out.toStdString(), fromFile.out.toStdString());
  EXPECT_FALSE(QFile::exists(server.file("zel.mdb")));
}

TEST(CliServer, AnImportThatEmptiesTheRecordsFirstWaitsUntilNoOtherClerkIsConnected) {
  TestFolder folder(false);
  writeFile(folder.file(QString::fromLatin1(kServerFile)), TestServer::shared().newDatabase().toUtf8());
  Connection a, b;
  openProgramDatabase(a, folder.file("zel.mdb"));
  openProgramDatabase(b, folder.file("zel.mdb"));
  addRow(a, "cemetery", {{"name", "Oak Hill"}});
  addRow(a, "lots", {{"lotdesc", "Single"}});
  addRow(a, "zel", {{"csection", "OLD"}});
  writeFile(folder.file("new.csv"), "NEW\n");
  const QStringList import{"import",     folder.file("new.csv"), folder.path(), "--map",
                           "1=cSection", "--empty-first",        "--yes"};
  EXPECT_RUN(cli(import), 1, "needs the records alone, but 2 other clerks are connected to these records.");
  EXPECT_EQ(scalarOn(a, "select string_agg(csection, ',') from zel"), "OLD");
  b.close();
  a.close();
  EXPECT_RUN(cli(import), 0, "");
  openProgramDatabase(a, folder.file("zel.mdb"));
  EXPECT_EQ(scalarOn(a, "select string_agg(csection, ',') from zel"), "NEW");
}
