#include <QDir>
#include <QFileInfo>

#include "BackupFixture.h"
#include "backup/DataBackup.h"
#include "store/Schema.h"

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
  writeBytes(folder->file(QStringLiteral("zelmap_old.dat")), "not ours");
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
  ZEL1.cnData.open(db(), QString::fromLatin1(kDatabasePassword));
  exec(QStringLiteral("insert into cemetery (name) values ('Later')"));
  ZEL1.cnData.close();
  writeMap(folder->file(QStringLiteral("zelmap1.dat")), QStringLiteral("Z,9,9"));
  writeBytes(folder->file(QStringLiteral("zel.mdb-journal")), "stale journal of the replaced database");
  const DataBackup::Result back = DataBackup::restore(made.archive, data());
  ASSERT_TRUE(back.ok()) << back.reason.toStdString();
  EXPECT_EQ(snapshot(data()), before) << "same files, same bytes, nothing left over";
  EXPECT_EQ(cemeteries(), QStringLiteral("Elm Ridge,Oak Hill"));

  // A second backup in the same minute replaces the first once it is complete.
  ZEL1.cnData.open(db(), QString::fromLatin1(kDatabasePassword));
  exec(QStringLiteral("insert into cemetery (name) values ('Second')"));
  ZEL1.cnData.close();
  ASSERT_TRUE(DataBackup::backup(data(), made.archive).ok());
  ASSERT_TRUE(DataBackup::restore(made.archive, data()).ok());
  EXPECT_EQ(cemeteries(), QStringLiteral("Elm Ridge,Oak Hill,Second"));
}

TEST_F(BackupTest, ArchiveWithoutMapsRestoresAndLeavesOtherMapsAlone) {
  QFile::remove(folder->file(QStringLiteral("zelmap1.dat")));
  QFile::rename(folder->file(QStringLiteral("zelmap2.dat")), target.filePath(QStringLiteral("keep.dat")));
  const DataBackup::Result made = DataBackup::backup(data(), DataBackup::archiveName(target.path(), kWhen));
  ASSERT_TRUE(made.ok()) << made.reason.toStdString();
  std::vector<ZipArchive::Entry> entries;
  ZipArchive zip;
  ASSERT_EQ(zip.list(made.archive, entries), 0);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, QStringLiteral("zel.mdb"));

  writeMap(folder->file(QStringLiteral("zelmap7.dat")), QStringLiteral("C,7,7"));
  const QByteArray map7 = bytesOf(folder->file(QStringLiteral("zelmap7.dat")));
  ASSERT_TRUE(DataBackup::restore(made.archive, data()).ok());
  EXPECT_EQ(bytesOf(folder->file(QStringLiteral("zelmap7.dat"))), map7);
}

TEST_F(BackupTest, BackupThatCannotBeMadeOrCheckedLeavesNoArchive) {
  // A folder that is not there, or a file instead of a folder: the medium is not ready.
  DataBackup::Result r = DataBackup::backup(data(), DataBackup::archiveName(target.filePath("gone"), kWhen));
  EXPECT_EQ(r.code, 510);
  EXPECT_EQ(DataBackup::outcomeText(r, "ok"),
            QStringLiteral("You must format the diskette(s) prior to backup."));
  writeBytes(target.filePath(QStringLiteral("plain")), "x");
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

  // A damaged map or database is found by the check, before success is claimed.
  writeBytes(folder->file(QStringLiteral("zelmap2.dat")), "garbage");
  const QString other = DataBackup::archiveName(target.filePath(QStringLiteral("inside")), kWhen);
  QDir().mkdir(target.filePath(QStringLiteral("inside")));
  r = DataBackup::backup(data(), other);
  EXPECT_EQ(r.code, DataBackup::MapUnusable);
  EXPECT_TRUE(r.reason.contains(QStringLiteral("zelmap2.dat"))) << r.reason.toStdString();
  QFile::remove(folder->file(QStringLiteral("zelmap2.dat")));
  writeBytes(db(), QByteArray(8192, 'x'));
  EXPECT_EQ(DataBackup::backup(data(), other).code, DataBackup::DatabaseUnusable);
  QFile::remove(db());
  EXPECT_EQ(DataBackup::backup(data(), other).code, DataBackup::NoDatabase);

  EXPECT_EQ(snapshot(target.path()).keys(), (QStringList{"inside", "plain", "zel200312041530.zip"}));
}

// Archives that a restore must refuse, each leaving the data folder exactly as it was.
TEST_F(BackupTest, HostileAndDamagedArchivesChangeNothing) {
  const DataBackup::Result good = DataBackup::backup(data(), DataBackup::archiveName(target.path(), kWhen));
  ASSERT_TRUE(good.ok());
  const QByteArray archive = bytesOf(good.archive);
  const QByteArray database = bytesOf(db());
  const QByteArray map = bytesOf(folder->file(QStringLiteral("zelmap1.dat")));
  QByteArray otherKey;
  {
    QTemporaryDir tmp;
    Connection cn;
    cn.create(tmp.filePath(QStringLiteral("x.mdb")), QStringLiteral("someone else"));
    Schema::create(cn);
    cn.close();
    otherKey = bytesOf(tmp.filePath(QStringLiteral("x.mdb")));
  }
  QByteArray plainTables;
  {
    QTemporaryDir tmp;
    Connection cn;
    cn.create(tmp.filePath(QStringLiteral("x.mdb")), QString::fromLatin1(kDatabasePassword));
    cn.execute(QStringLiteral("create table other (x)"));
    cn.close();
    plainTables = bytesOf(tmp.filePath(QStringLiteral("x.mdb")));
  }
  // Flipping bytes inside the database's stored data breaks its checksum.
  QByteArray corrupted = archive;
  const qsizetype middle = archive.indexOf("zel.mdb") + 7 + database.size() / 2;
  for (qsizetype i = middle; i < middle + 16; ++i) corrupted[i] = char(~corrupted[i]);

  struct Case {
    const char* what;
    std::function<void(const QString&)> make;
    int code;
    const char* named;
  };
  const std::vector<Case> cases = {
      {"path traversal",
       [&](const QString& p) {
         makeArchive(p, {{"../zel.mdb", database}});
       },
       DataBackup::EntriesRefused, "\"../zel.mdb\""},
      {"absolute path",
       [&](const QString& p) {
         makeArchive(p, {{"zel.mdb", database}, {"/tmp/zelmap1.dat", map}});
       },
       DataBackup::EntriesRefused, "\"/tmp/zelmap1.dat\""},
      {"symlink",
       [&](const QString& p) {
         makeArchive(p, {{"zel.mdb", "/etc/passwd", S_IFLNK | 0777}});
       },
       DataBackup::EntriesRefused, "\"zel.mdb\" (a link)"},
      {"subfolder",
       [&](const QString& p) {
         makeArchive(p, {{"zel.mdb", database}, {"maps/", ""}, {"maps/zelmap1.dat", map}});
       },
       DataBackup::EntriesRefused, "\"maps/\" (a folder), \"maps/zelmap1.dat\""},
      {"other name",
       [&](const QString& p) {
         makeArchive(p, {{"zel.mdb", database}, {"zel6.hlp", "help"}});
       },
       DataBackup::EntriesRefused, "\"zel6.hlp\""},
      {"no database",
       [&](const QString& p) {
         makeArchive(p, {{"zelmap1.dat", map}});
       },
       DataBackup::NoDatabase, "no database"},
      {"truncated", [&](const QString& p) { writeBytes(p, archive.left(archive.size() * 2 / 3)); },
       ZipArchive::NotAnArchive, "not a zip archive"},
      {"corrupted", [&](const QString& p) { writeBytes(p, corrupted); }, ZipArchive::EntryDamaged, "zel.mdb"},
      {"not a zip at all", [&](const QString& p) { writeBytes(p, "PK\x03\x04 hello"); },
       ZipArchive::NotAnArchive, ""},
      {"database with another password",
       [&](const QString& p) {
         makeArchive(p, {{"zel.mdb", otherKey}});
       },
       DataBackup::DatabaseUnusable, "does not open with the program's password"},
      {"database of another program",
       [&](const QString& p) {
         makeArchive(p, {{"zel.mdb", plainTables}});
       },
       DataBackup::DatabaseUnusable, "program's tables"},
      {"damaged map",
       [&](const QString& p) {
         makeArchive(p, {{"zel.mdb", database}, {"zelmap1.dat", "garbage"}});
       },
       DataBackup::MapUnusable, "zelmap1.dat"},
  };

  writeBytes(folder->file(QStringLiteral("zel.mdb-journal")), "a journal the restore must not lose");
  const auto before = snapshot(data());
  for (const Case& c : cases) {
    const QString path = target.filePath(QStringLiteral("hostile.zip"));
    c.make(path);
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
  ZEL1.cnData.open(db(), QString::fromLatin1(kDatabasePassword));
  exec(QStringLiteral("insert into cemetery (name) values ('Later')"));
  ZEL1.cnData.close();
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

}  // namespace
