#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <thread>

#include "BackupFixture.h"
#include "core/backup/AutoBackup.h"
#include "core/backup/DataBackup.h"
#include "core/store/Schema.h"

namespace {

const QDateTime kWhen(QDate(2003, 12, 4), QTime(15, 30));

TEST(ArchiveName, RootFolderIsUsedAsItIsOtherFoldersGetASeparator) {
  EXPECT_EQ(DataBackup::archiveName(QStringLiteral("/"), kWhen), QStringLiteral("/zel200312041530.zip"));
  EXPECT_EQ(DataBackup::archiveName(QStringLiteral("/media/stick"), kWhen),
            QStringLiteral("/media/stick/zel200312041530.zip"));
  EXPECT_EQ(
      DataBackup::archiveName(QStringLiteral("/media/stick/"), QDateTime(QDate(2024, 1, 2), QTime(3, 4, 59))),
      QStringLiteral("/media/stick/zel202401020304.zip"));
}

TEST_F(BackupTest, RoundTripPutsBackTheDatabaseAndMapsByteForByte) {
  writeFile(folder->file(QStringLiteral("zelmap_old.dat")), "not ours");
  const auto before = snapshot(data());
  std::vector<double> seen;
  const DataBackup::Result made = DataBackup::backup(data(), DataBackup::archiveName(target.path(), kWhen),
                                                     [&](double f) { seen.push_back(f); });
  ASSERT_TRUE(made.ok()) << made.reason.toStdString();
  EXPECT_EQ(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"zel200312041530.zip"})
      << "no temporary file is left beside it";
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), 1.0);
  std::vector<ZipArchive::Entry> entries;
  ZipArchive zip;
  ASSERT_EQ(zip.list(made.archive, entries), 0);
  QStringList names;
  for (const auto& e : entries) names << e.name;
  EXPECT_EQ(names, (QStringList{"zel.mdb", "zelmap1.dat", "zelmap2.dat"}))
      << "only the program's own map names";

  // Later work: a new cemetery, a changed map, a stale journal; the restore brings back the backup.
  execOnDb(QStringLiteral("insert into cemetery (name) values ('Later')"));
  writeMap(folder->file(QStringLiteral("zelmap1.dat")), QStringLiteral("Z,9,9"));
  writeFile(folder->file(QStringLiteral("zel.mdb-journal")), "stale journal of the replaced database");
  const DataBackup::Result back = DataBackup::restore(made.archive, data());
  ASSERT_TRUE(back.ok()) << back.reason.toStdString();
  auto after = snapshot(data());
  ASSERT_TRUE(after.remove(QFileInfo(back.safetyArchive).fileName())) << "the replaced data are kept";
  // The database is a copy taken through the engine: the same records, not the same bytes.
  EXPECT_EQ(after.keys(), before.keys()) << "nothing left over";
  after.remove("zel.mdb");
  auto maps = before;
  maps.remove("zel.mdb");
  EXPECT_EQ(after, maps) << "the maps byte for byte";
  EXPECT_EQ(cemeteries(), QStringLiteral("Elm Ridge,Oak Hill"));

  // A second backup in the same minute replaces the first once it is complete.
  execOnDb(QStringLiteral("insert into cemetery (name) values ('Second')"));
  ASSERT_TRUE(DataBackup::backup(data(), made.archive).ok());
  ASSERT_TRUE(DataBackup::restore(made.archive, data()).ok());
  EXPECT_EQ(cemeteries(), QStringLiteral("Elm Ridge,Oak Hill,Second"));

  // A database whose pages read but whose structure is damaged is what a restore is for: the
  // safety archive keeps it as it is instead of refusing the restore.
  ZEL1.cnData.open(db(), QString::fromLatin1(kDatabasePassword));
  exec(QStringLiteral("PRAGMA writable_schema=ON"));
  exec(QStringLiteral(
      "update sqlite_master set rootpage=(select rootpage from sqlite_master where name='zel') "
      "where name=(select min(name) from sqlite_master where type='index')"));
  ZEL1.cnData.close();
  const QByteArray damaged = fileBytes(db());
  const DataBackup::Result over = DataBackup::restore(made.archive, data());
  ASSERT_TRUE(over.ok()) << over.reason.toStdString();
  EXPECT_EQ(cemeteries(), QStringLiteral("Elm Ridge,Oak Hill,Second"));
  ASSERT_FALSE(over.warnings.isEmpty());
  EXPECT_TRUE(
      over.warnings.join(u'\n').contains(QStringLiteral("The database %1 was archived as it is").arg(db())))
      << over.warnings.join(u'\n').toStdString();
  QTemporaryDir unpacked;
  ASSERT_EQ(ZipArchive().extract(over.safetyArchive, {QStringLiteral("zel.mdb")}, unpacked.path() + u'/'), 0);
  EXPECT_EQ(fileBytes(unpacked.filePath(QStringLiteral("zel.mdb"))), damaged);
}

TEST_F(BackupTest, ArchiveWithoutMapsRestoresAndTakesOtherMapsAway) {
  QFile::remove(folder->file(QStringLiteral("zelmap1.dat")));
  QFile::rename(folder->file(QStringLiteral("zelmap2.dat")), target.filePath(QStringLiteral("keep.dat")));
  const DataBackup::Result made = DataBackup::backup(data(), DataBackup::archiveName(target.path(), kWhen));
  ASSERT_TRUE(made.ok()) << made.reason.toStdString();
  std::vector<ZipArchive::Entry> entries;
  ZipArchive zip;
  ASSERT_EQ(zip.list(made.archive, entries), 0);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, QStringLiteral("zel.mdb"));

  // A map the archive does not hold must not stay beside its database: it goes into the safety archive.
  writeMap(folder->file(QStringLiteral("zelmap7.dat")), QStringLiteral("C,7,7"));
  const DataBackup::Result r = DataBackup::restore(made.archive, data());
  ASSERT_TRUE(r.ok());
  EXPECT_FALSE(QFile::exists(folder->file(QStringLiteral("zelmap7.dat"))));
  ASSERT_EQ(zip.list(r.safetyArchive, entries), 0);
  EXPECT_EQ(entries.back().name, QStringLiteral("zelmap7.dat"));
}

TEST_F(BackupTest, BackupThatCannotBeMadeOrCheckedLeavesNoArchive) {
  // A folder that is not there, or a file instead of a folder: the medium is not ready.
  DataBackup::Result r = DataBackup::backup(data(), DataBackup::archiveName(target.filePath("gone"), kWhen));
  EXPECT_EQ(r.code, 510);
  EXPECT_EQ(DataBackup::outcomeText(r, "ok"),
            QStringLiteral(
                "You must format the diskette(s) prior to backup.\n\nThe folder %1 cannot be reached: its "
                "drive or medium is not ready.")
                .arg(target.filePath("gone")));
  writeFile(target.filePath(QStringLiteral("plain")), "x");
  EXPECT_EQ(DataBackup::backup(data(), DataBackup::archiveName(target.filePath("plain"), kWhen)).code, 510);

  // A folder that cannot be written (even by the superuser).
  r = DataBackup::backup(data(), DataBackup::archiveName(QStringLiteral("/proc"), kWhen));
  EXPECT_EQ(r.code, ZipArchive::CannotWrite);
  EXPECT_TRUE(r.reason.contains(QStringLiteral("/proc/zel200312041530.zip"))) << r.reason.toStdString();
  EXPECT_TRUE(DataBackup::outcomeText(r, "ok").startsWith(
      QStringLiteral("Unsuccessful.\n\nError # 502\nThe archive")));

  // The final name is taken by a folder: the written and checked archive cannot take its place.
  const QString name = DataBackup::archiveName(target.path(), kWhen);
  QDir().mkdir(name);
  EXPECT_EQ(DataBackup::backup(data(), name).code, ZipArchive::CannotWrite);

  // A damaged database is found before success is claimed; it blames the data folder's file.
  const QString other = DataBackup::archiveName(target.filePath(QStringLiteral("inside")), kWhen);
  QDir().mkdir(target.filePath(QStringLiteral("inside")));
  writeFile(db(), QByteArray(8192, 'x'));
  r = DataBackup::backup(data(), other);
  EXPECT_EQ(r.code, DataBackup::DatabaseUnusable);
  EXPECT_TRUE(r.reason.startsWith(QStringLiteral("The database %1 cannot be backed up").arg(db())))
      << r.reason.toStdString();
  QFile::remove(db());
  EXPECT_EQ(DataBackup::backup(data(), other).code, DataBackup::NoDatabase);

  EXPECT_EQ(snapshot(target.path()).keys(), (QStringList{"inside", "plain", "zel200312041530.zip"}));
}

// Archives that a restore must refuse, each leaving the data folder exactly as it was.
TEST_F(BackupTest, HostileAndDamagedArchivesChangeNothing) {
  const DataBackup::Result good = DataBackup::backup(data(), DataBackup::archiveName(target.path(), kWhen));
  ASSERT_TRUE(good.ok());
  const QByteArray archive = fileBytes(good.archive);
  const QByteArray database = fileBytes(db());
  const QByteArray map = fileBytes(folder->file(QStringLiteral("zelmap1.dat")));
  // A database keyed with another password, and one with tables of another program.
  const auto madeDatabase = [](const QString& password, const QString& sql) {
    QTemporaryDir tmp;
    Connection cn;
    cn.create(tmp.filePath(QStringLiteral("x.mdb")), password);
    sql.isEmpty() ? Schema::create(cn) : cn.execute(sql);
    cn.close();
    return fileBytes(tmp.filePath(QStringLiteral("x.mdb")));
  };
  const QByteArray otherKey = madeDatabase(QStringLiteral("someone else"), {});
  const QByteArray plainTables =
      madeDatabase(QString::fromLatin1(kDatabasePassword), QStringLiteral("create table other (x)"));
  // Flipping bytes inside the database's stored data breaks its checksum.
  QByteArray corrupted = archive;
  const qsizetype middle = archive.indexOf("zel.mdb") + 7 + database.size() / 2;
  for (qsizetype i = middle; i < middle + 16; ++i) corrupted[i] = char(~corrupted[i]);

  // Each case is an archive of the entries given, or the raw bytes given.
  struct Case {
    const char* what;
    std::vector<RawEntry> entries;
    QByteArray raw;
    int code;
    const char* named;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"path traversal", {{"../zel.mdb", database}}, {}, DataBackup::EntriesRefused, "\"../zel.mdb\""},
      {"absolute path", {{"zel.mdb", database}, {"/tmp/zelmap1.dat", map}}, {}, DataBackup::EntriesRefused,
       "\"/tmp/zelmap1.dat\""},
      {"symlink", {{"zel.mdb", "/etc/passwd", S_IFLNK | 0777}}, {}, DataBackup::EntriesRefused,
       "\"zel.mdb\" (a link)"},
      {"subfolder", {{"zel.mdb", database}, {"maps/", ""}, {"maps/zelmap1.dat", map}}, {},
       DataBackup::EntriesRefused, "\"maps/\" (a folder), \"maps/zelmap1.dat\""},
      {"other name", {{"zel.mdb", database}, {"zel6.hlp", "help"}}, {}, DataBackup::EntriesRefused,
       "\"zel6.hlp\""},
      {"no database", {{"zelmap1.dat", map}}, {}, DataBackup::NoDatabase, "no database"},
      {"truncated", {}, archive.left(archive.size() * 2 / 3), ZipArchive::NotAnArchive, "not a zip archive"},
      {"corrupted", {}, corrupted, ZipArchive::EntryDamaged, "zel.mdb"},
      {"not a zip at all", {}, "PK\x03\x04 hello", ZipArchive::NotAnArchive, ""},
      {"database with another password", {{"zel.mdb", otherKey}}, {}, DataBackup::DatabaseUnusable,
       "does not open with the program's password"},
      {"database of another program", {{"zel.mdb", plainTables}}, {}, DataBackup::DatabaseUnusable,
       "program's tables"},
      {"damaged map", {{"zel.mdb", database}, {"zelmap1.dat", "garbage"}}, {}, DataBackup::MapUnusable,
       "zelmap1.dat"},
  };
  // clang-format on

  writeFile(folder->file(QStringLiteral("zel.mdb-journal")), "a journal the restore must not lose");
  const auto before = snapshot(data());
  for (const Case& c : cases) {
    const QString path = target.filePath(QStringLiteral("hostile.zip"));
    c.raw.isEmpty() ? makeArchive(path, c.entries) : writeFile(path, c.raw);
    const DataBackup::Result r = DataBackup::restore(path, data());
    EXPECT_EQ(r.code, c.code) << c.what << ": " << r.reason.toStdString();
    EXPECT_TRUE(r.reason.contains(QString::fromUtf8(c.named))) << c.what << ": " << r.reason.toStdString();
    EXPECT_EQ(snapshot(data()), before) << c.what;
  }
  EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/zelmap1.dat")));
}

TEST_F(BackupTest, RestoreThatFailsWhilePuttingFilesInPlacePutsTheCurrentOnesBack) {
  const DataBackup::Result made = DataBackup::backup(data(), DataBackup::archiveName(target.path(), kWhen));
  ASSERT_TRUE(made.ok());
  execOnDb(QStringLiteral("insert into cemetery (name) values ('Later')"));
  writeMap(folder->file(QStringLiteral("zelmap2.dat")), QStringLiteral("Q,1,1"));
  const auto before = snapshot(data());

  // The database is already in place when the second map fails.
  DataBackup::setPlacingFaultForTesting(
      [](const QString& name) { return name == QLatin1String("zelmap2.dat"); });
  const DataBackup::Result r = DataBackup::restore(made.archive, data());
  DataBackup::setPlacingFaultForTesting({});
  EXPECT_EQ(r.code, DataBackup::NotPutInPlace);
  EXPECT_TRUE(r.reason.contains(QStringLiteral("The data folder was left as it was.")))
      << r.reason.toStdString();
  EXPECT_EQ(snapshot(data()), before);
  EXPECT_EQ(cemeteries(), QStringLiteral("Elm Ridge,Oak Hill,Later"));
}

// A writer killed inside a transaction leaves a hot journal; a writer running beside the backup
// keeps committing. Every archive restores and holds whole transactions only.
TEST_F(BackupTest, BackupsBesideAKilledOrRunningWriterRestore) {
  ZEL1.cnData.open(db(), QString::fromLatin1(kDatabasePassword));
  addRecords(ZEL1.cnData, 40);
  ZEL1.cnData.close();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A small page cache makes the engine write changed pages into the file before the commit.
    Connection cn;
    cn.open(db(), QString::fromLatin1(kDatabasePassword));
    cn.execute(QStringLiteral("PRAGMA cache_size=10"));
    cn.beginTransaction();
    for (int i = 0; i < 2000; ++i)
      cn.execute(
          QStringLiteral("insert into zel (cemeteryid, remarks) values (1, '%1')").arg(QString(300, u'k')));
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(QFileInfo(folder->file(QStringLiteral("zel.mdb-journal"))).size() > 0) << "a hot journal";

  const DataBackup::Result afterKill =
      DataBackup::backup(data(), target.filePath(QStringLiteral("kill.zip")));
  ASSERT_TRUE(afterKill.ok()) << afterKill.reason.toStdString();
  QTemporaryDir restored;
  const QString into = restored.path() + u'/';
  ASSERT_TRUE(DataBackup::restore(afterKill.archive, into).ok());
  EXPECT_EQ(recordsIn(into), 41) << "the killed transaction is rolled back, not half archived";

  // Beside a connection that holds an uncommitted change: the committed state is archived.
  Connection open;
  open.open(db(), QString::fromLatin1(kDatabasePassword));
  open.beginTransaction();
  open.execute(QStringLiteral("delete from zel"));
  const DataBackup::Result beside = DataBackup::backup(data(), target.filePath(QStringLiteral("beside.zip")));
  open.rollback();
  open.close();
  ASSERT_TRUE(beside.ok()) << beside.reason.toStdString();
  ASSERT_TRUE(DataBackup::restore(beside.archive, into).ok());
  EXPECT_EQ(recordsIn(into), 41);

  // Beside a writer that commits 25 records at a time for as long as the backups take.
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    Connection cn;
    cn.open(db(), QString::fromLatin1(kDatabasePassword));
    while (!stop) addRecords(cn, 25);
  });
  std::vector<DataBackup::Result> made;
  for (int i = 0; i < 3; ++i)
    made.push_back(DataBackup::backup(data(), target.filePath(QStringLiteral("w%1.zip").arg(i))));
  stop = true;
  writer.join();
  for (const DataBackup::Result& r : made) {
    ASSERT_TRUE(r.ok()) << r.reason.toStdString();
    ASSERT_TRUE(DataBackup::restore(r.archive, into).ok()) << r.archive.toStdString();
    EXPECT_EQ((recordsIn(into) - 41) % 25, 0) << r.archive.toStdString();
  }
}

// A map that does not load is archived as it is and named; the database is backed up all the same,
// and the restore brings back exactly those bytes. A database without its password yet is archived
// keyed, and its own file stays as it was.
TEST_F(BackupTest, DamagedMapAndUnkeyedDatabaseDoNotStopTheBackup) {
  writeFile(folder->file(QStringLiteral("zelmap2.dat")), "garbage");
  DataBackup::Result r = DataBackup::backup(data(), target.filePath(QStringLiteral("a.zip")));
  ASSERT_TRUE(r.ok()) << r.reason.toStdString();
  ASSERT_EQ(r.warnings.size(), 1);
  EXPECT_TRUE(r.warnings[0].startsWith(QStringLiteral("The map %1 does not load, so it was archived as it is")
                                           .arg(folder->file("zelmap2.dat"))));
  EXPECT_TRUE(DataBackup::outcomeText(r, "Done.").startsWith("Done.\n\n" + r.archive + "\n\nThe map "));
  writeMap(folder->file(QStringLiteral("zelmap2.dat")), QStringLiteral("B,2,2"));
  r = DataBackup::restore(r.archive, data());
  ASSERT_TRUE(r.ok()) << r.reason.toStdString();
  EXPECT_EQ(fileBytes(folder->file(QStringLiteral("zelmap2.dat"))), "garbage");
  EXPECT_TRUE(r.warnings.join(' ').contains("did not load when it was backed up"))
      << r.warnings.join(' ').toStdString();

  QFile::remove(db());
  {
    Connection plain;
    plain.create(db(), QString());
    Schema::create(plain);
    plain.execute(QStringLiteral("insert into zel (cemeteryid) values (1)"));
  }
  const QByteArray plainBytes = fileBytes(db());
  r = DataBackup::backup(data(), target.filePath(QStringLiteral("plain.zip")));
  ASSERT_TRUE(r.ok()) << r.reason.toStdString();
  EXPECT_EQ(fileBytes(db()), plainBytes);
  QTemporaryDir restored;
  ASSERT_TRUE(DataBackup::restore(r.archive, restored.path() + u'/').ok());
  EXPECT_EQ(recordsIn(restored.path() + u'/'), 1);
}

// A restore stopped after each of its steps, as a kill would: the next start completes it (the
// folder holds the archive's records) or, stopped before anything was replaced, the old ones stay.
TEST_F(BackupTest, RestoreKilledAtEveryStepIsCompletedOnTheNextRun) {
  const DataBackup::Result made = DataBackup::backup(data(), target.filePath(QStringLiteral("a.zip")));
  ASSERT_TRUE(made.ok());
  ZEL1.cnData.open(db(), QString::fromLatin1(kDatabasePassword));
  addRecords(ZEL1.cnData, 10);
  ZEL1.cnData.close();
  writeMap(folder->file(QStringLiteral("zelmap9.dat")), QStringLiteral("N,9,9"));
  const QString stray = target.filePath(QStringLiteral("a.zip.999999.part"));
  writeFile(stray, "left by a killed backup");
  const auto before = snapshot(data());

  for (int stop = 0;; ++stop) {
    SCOPED_TRACE(stop);
    bool finished = false;
    if (stop == 0)  // killed while extracting: nothing replaced yet
      QDir().mkdir(data() + QStringLiteral(".zelrestore-999999"));
    else
      finished = restoreKilledAfter(made.archive, data(), stop);
    const bool unfinished = !DataBackup::unfinishedRestore(data()).isEmpty();
    const DataBackup::Recovery recovery = DataBackup::finishRestore(data());
    EXPECT_TRUE(recovery.ok) << recovery.text.toStdString();
    EXPECT_EQ(recovery.found, unfinished);
    if (stop == 0) {
      EXPECT_FALSE(recovery.found);
      EXPECT_EQ(snapshot(data()), before);
      continue;
    }
    EXPECT_EQ(recordsIn(data()), 1);
    EXPECT_FALSE(QFile::exists(folder->file(QStringLiteral("zelmap9.dat")))) << "not beside another database";
    if (unfinished) {
      EXPECT_TRUE(
          recovery.text.contains(QStringLiteral("It has now been completed: the folder holds the data of "
                                                "that archive. The data it replaced are kept in ")))
          << recovery.text.toStdString();
    }
    // The safety archive holds the replaced data, the extra map included; it puts them back.
    const QStringList kept = QDir(data()).entryList({QStringLiteral("zelbeforerestore*.zip")});
    ASSERT_EQ(kept.size(), 1);
    ASSERT_TRUE(DataBackup::restore(data() + kept[0], data()).ok());
    EXPECT_EQ(recordsIn(data()), 11);
    EXPECT_EQ(fileBytes(folder->file(QStringLiteral("zelmap9.dat"))), before["zelmap9.dat"]);
    for (const QString& name : QDir(data()).entryList({QStringLiteral("zelbeforerestore*.zip")}))
      QFile::remove(data() + name);
    EXPECT_EQ(snapshot(data()).keys(), before.keys()) << "nothing left over";
    if (finished) break;
  }
  DataBackup::backup(data(), target.filePath(QStringLiteral("b.zip")));
  EXPECT_FALSE(QFile::exists(stray)) << "a killed backup's leftovers go at the next backup";
}

TEST(Rotation, FutureStampedArchivesAndOtherDataFoldersAreLeftAlone) {
  QTemporaryDir shared, one, two;
  const QString a = one.path() + u'/', b = two.path() + u'/';
  const QDateTime now = QDateTime::currentDateTime();
  const auto make = [&](const QString& data, const QDateTime& when) {
    const QString name = AutoBackup::archiveName(shared.path(), data, when);
    writeFile(name, "x");
    return QFileInfo(name).fileName();
  };
  const QString future1 = make(a, now.addYears(1)), future2 = make(a, now.addYears(2));
  const QString old1 = make(a, now.addDays(-3)), old2 = make(a, now.addDays(-2));
  const QString other1 = make(b, now.addDays(-5)), other2 = make(b, now.addDays(-4));
  const QString fresh = make(a, now);
  const DataBackup::Rotation r = AutoBackup::rotate(shared.path(), a, 2, fresh, now);
  EXPECT_EQ(r.removed, QStringList{old1});
  EXPECT_EQ(r.future, (QStringList{future1, future2}));
  QStringList left = QDir(shared.path()).entryList(QDir::Files),
              expected{fresh, old2, future1, future2, other1, other2};
  left.sort();
  expected.sort();
  EXPECT_EQ(left, expected);
  EXPECT_EQ(AutoBackup::rotate(shared.path(), a, 1, fresh, now).removed, QStringList{old2});

  // Named a minute ahead by a clock since put right, but written before the last backup: it goes
  // first, not the last backup.
  const QString ahead = make(a, now.addSecs(60));
  QFile aheadFile(shared.filePath(ahead));
  ASSERT_TRUE(aheadFile.open(QIODevice::ReadWrite));
  ASSERT_TRUE(aheadFile.setFileTime(now.addSecs(-120), QFileDevice::FileModificationTime));
  aheadFile.close();
  const QString newest = make(a, now.addSecs(1));
  EXPECT_EQ(AutoBackup::rotate(shared.path(), a, 2, newest, now).removed, QStringList{ahead});
  EXPECT_TRUE(QFile::exists(shared.filePath(fresh)));
  EXPECT_FALSE(AutoBackup::isAutomaticArchive(other1, a));
  EXPECT_TRUE(AutoBackup::isAutomaticArchive(other1, b));
}

}  // namespace
