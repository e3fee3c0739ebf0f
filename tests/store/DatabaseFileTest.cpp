// The database file: the password rule at start-up, sharing, and refusing files that are not ours.
#include <gtest/gtest.h>

#include <QDir>
#include <QRandomGenerator>

#include "DataGen.h"
#include "StoreTestUtil.h"
#include "store/Schema.h"
#include "support/TestFolder.h"

using namespace storetest;

namespace {

const QString kPassword = QString::fromLatin1(kDatabasePassword);

class DatabaseFileTest : public ::testing::Test {
 protected:
  TestFolder folder{false};
  QString file = folder.file(QStringLiteral("zel.mdb"));

  // A file as the demo seed is shipped: no password, schema, one record, a user version.
  void makePlainFile() {
    Connection cn;
    cn.create(file, QString());
    Schema::create(cn);
    cn.execute(QStringLiteral("PRAGMA user_version=7"));
    addRow(cn, QStringLiteral("zel"),
           {{"csection", "A"}, {"lot", "1"}, {"grave", "2"}, {"ownerlastname", "O'Brien"}, {"status", "S"}});
  }

  QStringList folderEntries() const { return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden); }

  // openProgramDatabase must refuse the file and leave it (and the folder) exactly as it was.
  void expectRefusedUntouched() {
    const QByteArray before = bytesOf(file);
    const QStringList entries = folderEntries();
    Connection cn;
    EXPECT_THROW(openProgramDatabase(cn, file), DbError);
    EXPECT_FALSE(cn.isOpen());
    EXPECT_EQ(bytesOf(file), before);
    EXPECT_EQ(folderEntries(), entries);
  }
};

QString scalarOn(Connection& cn, const QString& sql) {
  RecordSet rs(&cn);
  rs.open(sql);
  return rs.eof() ? QString() : rs.field(0).toString();
}

}  // namespace

TEST_F(DatabaseFileTest, PlainFileGetsPasswordAtFirstOpenAndStaysLockedForTheRun) {
  makePlainFile();
  Connection cn;
  EXPECT_TRUE(openProgramDatabase(cn, file));
  EXPECT_EQ(cn.mode(), Connection::ShareMode::Exclusive);
  EXPECT_EQ(scalarOn(cn, QStringLiteral("select ownerlastname from zel where csection='a'")), "O'Brien");
  EXPECT_EQ(scalarOn(cn, QStringLiteral("PRAGMA user_version")), "7");
  EXPECT_TRUE(folderEntries() == QStringList{QStringLiteral("zel.mdb")})
      << folderEntries().join(u' ').toStdString();

  // Nobody else gets in while this run holds the file, with or without the password...
  Connection other;
  EXPECT_THROW(other.open(file, kPassword), DbError);
  EXPECT_THROW(openProgramDatabase(other, file), DbError);
  EXPECT_FALSE(other.isOpen());
  // ...while the run itself reads and writes as usual.
  cn.execute(QStringLiteral("update zel set remarks='kept' where grave='2'"));
  EXPECT_EQ(scalarOn(cn, QStringLiteral("select remarks from zel")), "kept");
  cn.close();

  // The file now carries the password: without it, it is refused the engine's way.
  try {
    other.open(file, QString());
    ADD_FAILURE() << "a keyed file opened without the password";
  } catch (const DbError& e) {
    EXPECT_EQ(e.description(), "Not a valid password.");
  }
  EXPECT_NE(bytesOf(file).left(16), QByteArray("SQLite format 3\0", 16));
}

TEST_F(DatabaseFileTest, KeyedFileOpensWithPasswordAndNormalSharing) {
  makePlainFile();
  {
    Connection first;
    ASSERT_TRUE(openProgramDatabase(first, file));
  }
  const QByteArray keyed = bytesOf(file);

  Connection cn;
  EXPECT_FALSE(openProgramDatabase(cn, file));  // no second keying
  EXPECT_EQ(cn.mode(), Connection::ShareMode::Default);
  EXPECT_EQ(bytesOf(file), keyed);

  Connection other;  // e.g. a second program reading the same file
  ASSERT_NO_THROW(other.open(file, kPassword));
  EXPECT_EQ(scalarOn(other, QStringLiteral("select count(*) from zel")), "1");
  EXPECT_EQ(scalarOn(cn, QStringLiteral("PRAGMA user_version")), "7");
}

TEST_F(DatabaseFileTest, FileWithAnotherPasswordIsRefusedUntouched) {
  {
    Connection cn;
    cn.create(file, QStringLiteral("somebody else's"));
    Schema::create(cn);
  }
  expectRefusedUntouched();
}

TEST_F(DatabaseFileTest, DamagedFilesAreRefusedUntouched) {
  // Random bytes.
  QByteArray noise(8192, '\0');
  QRandomGenerator rng(42);
  for (char& c : noise) c = char(rng.bounded(256));
  writeBytes(file, noise);
  expectRefusedUntouched();

  // A plain header followed by garbage.
  writeBytes(file, QByteArray("SQLite format 3\0", 16) + noise);
  expectRefusedUntouched();

  // An empty file is no database either.
  writeBytes(file, QByteArray());
  expectRefusedUntouched();
}

TEST_F(DatabaseFileTest, TruncatedFilesAreRefusedUntouched) {
  DataGen::Options o;
  o.records = 300;
  for (const QString& password : {kPassword, QString()}) {
    SCOPED_TRACE(password.isEmpty() ? "plain" : "keyed");
    QFile::remove(file);
    DataGen::makeDatabase(file, o, password);
    const QByteArray whole = bytesOf(file);
    ASSERT_GT(whole.size(), 16 * 1024);
    for (qsizetype size : {whole.size() / 2, qsizetype(3000), qsizetype(100)}) {
      SCOPED_TRACE(size);
      writeBytes(file, whole.left(size));
      expectRefusedUntouched();
    }
  }
}

TEST_F(DatabaseFileTest, FileMadeByFirstCipherVersionOpens) {
  folder.copyIn(QStringLiteral(ZEL_TEST_DATA_DIR "/zel341.mdb"), QStringLiteral("zel.mdb"));
  Connection cn;
  EXPECT_FALSE(openProgramDatabase(cn, file));
  EXPECT_TRUE(Schema::isComplete(cn));
  EXPECT_EQ(scalarOn(cn, QStringLiteral("select count(*) from zel")), "12");
  EXPECT_EQ(scalarOn(cn, QStringLiteral("select count(*) from cemetery")), "2");
  RecordSet rs(&cn);
  rs.open(QStringLiteral("select * from zel where recid=6"));
  ASSERT_FALSE(rs.eof());
  EXPECT_EQ(rs.field(QStringLiteral("interdate")), Value(QDate(1978, 5, 15)));
  EXPECT_EQ(rs.field(QStringLiteral("amtpaid")), Value(*Money::parse(QStringLiteral("1101.50"))));
  EXPECT_EQ(rs.field(QStringLiteral("status")).toString(), "B");
}

TEST_F(DatabaseFileTest, ClosingTheConnectionClosesItsRecordSetsAndFreesTheFile) {
  makePlainFile();
  auto cn = std::make_unique<Connection>();
  ASSERT_TRUE(openProgramDatabase(*cn, file));
  RecordSet stream(cn.get()), keyed(cn.get());
  stream.open(QStringLiteral("select * from zel"));
  keyed.open(QStringLiteral("select * from zel"), RecordSet::Cursor::Static);
  ASSERT_FALSE(stream.eof());
  cn->close();
  EXPECT_FALSE(stream.isOpen());
  EXPECT_FALSE(keyed.isOpen());

  // The lock of the run went with the connection: the file can be copied and opened again.
  Connection other;
  ASSERT_NO_THROW(other.open(file, kPassword));
  other.close();
  ASSERT_NO_THROW(cn->open(file, kPassword, Connection::ShareMode::Exclusive));
  keyed.open(QStringLiteral("select * from zel"), RecordSet::Cursor::Static);
  cn.reset();  // a connection going away closes its sets too
  EXPECT_FALSE(keyed.isOpen());
}

TEST_F(DatabaseFileTest, PasswordStatementKeysAPlainFileAndChangesAKey) {
  makePlainFile();
  Connection cn;
  cn.open(file, QString(), Connection::ShareMode::Exclusive);
  cn.execute(QStringLiteral("ALTER DATABASE PASSWORD qzrpvn582 NULL;"));
  EXPECT_EQ(cn.mode(), Connection::ShareMode::Exclusive);
  EXPECT_EQ(scalarOn(cn, QStringLiteral("select ownerlastname from zel")), "O'Brien");
  EXPECT_EQ(scalarOn(cn, QStringLiteral("PRAGMA user_version")), "7");
  cn.close();
  Connection check;
  EXPECT_THROW(check.open(file, QString()), DbError);
  ASSERT_NO_THROW(check.open(file, kPassword));

  // A wrong old password changes nothing.
  const QByteArray keyed = bytesOf(file);
  EXPECT_THROW(check.execute(QStringLiteral("alter database password other NULL")), DbError);
  EXPECT_EQ(bytesOf(file), keyed);

  check.execute(QStringLiteral("alter database password o'ther qzrpvn582"));
  check.close();
  EXPECT_THROW(check.open(file, kPassword), DbError);
  ASSERT_NO_THROW(check.open(file, QStringLiteral("o'ther")));
  EXPECT_EQ(scalarOn(check, QStringLiteral("select count(*) from zel")), "1");
}
