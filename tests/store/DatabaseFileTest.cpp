// The database file: the password rule at start-up, sharing, and refusing files that are not ours.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include "DataGen.h"
#include "core/store/Schema.h"
#include "core/store/sqlite.h"
#include "support/OrdinaryUser.h"
#include "support/TestData.h"
#include "support/TestFolder.h"

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
    const QByteArray before = fileBytes(file);
    const QStringList entries = folderEntries();
    Connection cn;
    EXPECT_THROW(openProgramDatabase(cn, file), DbError);
    EXPECT_FALSE(cn.isOpen());
    EXPECT_EQ(fileBytes(file), before);
    EXPECT_EQ(folderEntries(), entries);
  }
};

}  // namespace

TEST_F(DatabaseFileTest, PlainFileGetsPasswordAtFirstOpenAndIsSharedWithReaders) {
  makePlainFile();
  Connection cn;
  EXPECT_TRUE(openProgramDatabase(cn, file));
  EXPECT_EQ(cn.mode(), Connection::ShareMode::Default);
  EXPECT_EQ(scalarOn(cn, QStringLiteral("select ownerlastname from zel where csection='a'")), "O'Brien");
  EXPECT_EQ(scalarOn(cn, QStringLiteral("PRAGMA user_version")), "7");
  EXPECT_TRUE(folderEntries() == QStringList{QStringLiteral("zel.mdb")})
      << folderEntries().join(u' ').toStdString();

  // Another reader (the command line) gets in beside this run, and sees what the run writes.
  cn.execute(QStringLiteral("update zel set remarks='kept' where grave='2'"));
  Connection other;
  ASSERT_NO_THROW(other.open(file, kPassword));
  EXPECT_EQ(scalarOn(other, QStringLiteral("select remarks from zel")), "kept");
  other.close();
  cn.close();

  // The file now carries the password: without it, it is refused the engine's way.
  try {
    other.open(file, QString());
    ADD_FAILURE() << "a keyed file opened without the password";
  } catch (const DbError& e) {
    EXPECT_EQ(e.code(), DbError::WrongPassword);
    EXPECT_EQ(e.description(), "Not a valid password.");
  }
  EXPECT_NE(fileBytes(file).left(16), QByteArray("SQLite format 3\0", 16));
}

TEST_F(DatabaseFileTest, KeyedFileOpensWithPasswordAndNormalSharing) {
  makePlainFile();
  {
    Connection first;
    ASSERT_TRUE(openProgramDatabase(first, file));
  }
  const QByteArray keyed = fileBytes(file);

  Connection cn;
  EXPECT_FALSE(openProgramDatabase(cn, file));  // no second keying
  EXPECT_EQ(cn.mode(), Connection::ShareMode::Default);
  EXPECT_EQ(fileBytes(file), keyed);

  Connection other;  // e.g. a second program reading the same file
  ASSERT_NO_THROW(other.open(file, kPassword));
  EXPECT_EQ(scalarOn(other, QStringLiteral("select count(*) from zel")), "1");
  EXPECT_EQ(scalarOn(cn, QStringLiteral("PRAGMA user_version")), "7");
}

TEST_F(DatabaseFileTest, ForeignDamagedAndTruncatedFilesAreRefusedUntouched) {
  {
    Connection cn;
    cn.create(file, QStringLiteral("somebody else's"));
    Schema::create(cn);
  }
  expectRefusedUntouched();

  // Random bytes, a plain header followed by them, and an empty file.
  QByteArray noise(8192, '\0');
  QRandomGenerator rng(42);
  for (char& c : noise) c = char(rng.bounded(256));
  for (const QByteArray& bytes : {noise, QByteArray("SQLite format 3\0", 16) + noise, QByteArray()}) {
    writeFile(file, bytes);
    expectRefusedUntouched();
  }

  DataGen::Options o;
  o.records = 300;
  for (const QString& password : {kPassword, QString()}) {
    SCOPED_TRACE(password.isEmpty() ? "plain" : "keyed");
    QFile::remove(file);
    DataGen::makeDatabase(file, o, password);
    const QByteArray whole = fileBytes(file);
    ASSERT_GT(whole.size(), 16 * 1024);
    for (qsizetype size : {whole.size() / 2, qsizetype(3000), qsizetype(100)}) {
      SCOPED_TRACE(size);
      writeFile(file, whole.left(size));
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
  const QByteArray keyed = fileBytes(file);
  EXPECT_THROW(check.execute(QStringLiteral("alter database password other NULL")), DbError);
  EXPECT_EQ(fileBytes(file), keyed);

  check.execute(QStringLiteral("alter database password o'ther qzrpvn582"));
  check.close();
  EXPECT_THROW(check.open(file, kPassword), DbError);
  ASSERT_NO_THROW(check.open(file, QStringLiteral("o'ther")));
  EXPECT_EQ(scalarOn(check, QStringLiteral("select count(*) from zel")), "1");
}

TEST_F(DatabaseFileTest, FileIndexedBeforeEveryLetterWasFoldedIsReindexedWhenOpened) {
  // A keyed file as the previous version left it: indexes ordered by folding A to Z only, no money
  // guard, user version 0.
  {
    Connection cn;
    cn.create(file, kPassword);
    Schema::create(cn);
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr),
            SQLITE_OK);
  sqlite3_key(db, kDatabasePassword, int(qstrlen(kDatabasePassword)));
  QString old = QStringLiteral(
      "drop index zel_place_order; drop index zel_location_order; drop trigger zel_money_insert; "
      "PRAGMA user_version=0;");
  const QStringList names = {QStringLiteral("Éloïse"), QStringLiteral("éloïse"), QStringLiteral("ÉLOÏSE"),
                             QStringLiteral("Ölberg"), QStringLiteral("ölberg"), QStringLiteral("Zoë")};
  for (int i = 0; i < 300; ++i)
    old += QStringLiteral("insert into zel (csection, interlastname) values ('%1', '%2%3');")
               .arg(i)
               .arg(names[i % names.size()], i % 2 ? QStringLiteral("a") : QStringLiteral("Ä"));
  old += QStringLiteral("REINDEX nocase;");
  ASSERT_EQ(sqlite3_exec(db, old.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);

  // Read by every letter, the old order is wrong...
  Connection cn;
  cn.open(file, kPassword);
  EXPECT_NE(scalarOn(cn, QStringLiteral("PRAGMA integrity_check")), "ok");
  cn.close();
  // ...until the program opens it once.
  EXPECT_FALSE(openProgramDatabase(cn, file));
  EXPECT_EQ(scalarOn(cn, QStringLiteral("PRAGMA integrity_check")), "ok");
  EXPECT_EQ(scalarOn(cn, QStringLiteral("select count(*) from zel where interlastname='éloïseä'")), "100");
  EXPECT_EQ(scalarOn(cn, QStringLiteral("select count(*) from zel where interlastname like 'ÖLBERG%'")),
            "100");
  EXPECT_EQ(scalarOn(cn, QStringLiteral("PRAGMA user_version")), QString::number(Schema::kVersion));
  EXPECT_THROW(cn.execute(QStringLiteral("insert into zel (amtpaid) values (1.5)")), DbError);
}

TEST_F(DatabaseFileTest, AReadOnlyFolderOrFileIsNamedAsTheReasonChangesFail) {
  makePlainFile();
  Connection cn;
  openProgramDatabase(cn, file);
  EXPECT_EQ(cn.writeProblem(), "");
  cn.close();
  const QString folderName = QDir::toNativeSeparators(QFileInfo(file).absolutePath());
  const struct {
    mode_t folderMode, fileMode;
    QString expected;
  } cases[] = {
      // The file can be written but its folder cannot: the engine's journal has nowhere to go.
      {0555, 0666,
       QStringLiteral("The data folder %1 cannot be written to: changes cannot be saved.").arg(folderName)},
      {0777, 0444, QStringLiteral("The database file %1 is read-only: changes cannot be saved.").arg(file)},
  };
  for (const auto& c : cases) {
    chmodTo(folder.path(), c.folderMode);
    chmodTo(file, c.fileMode);
    {
      OrdinaryUser user;
      openProgramDatabase(cn, file);
      EXPECT_EQ(cn.writeProblem(), c.expected);
      for (const auto& save : std::initializer_list<std::function<void()>>{
               [&] {
                 addRow(cn, QStringLiteral("zel"), {{"csection", "B"}});
               },
               [&] { cn.execute(QStringLiteral("update zel set remarks='x'")); }}) {
        try {
          save();
          ADD_FAILURE() << "saved: " << c.expected.toStdString();
        } catch (const DbError& e) {
          EXPECT_EQ(e.description(), c.expected);
        }
      }
      EXPECT_EQ(scalarOn(cn, QStringLiteral("select count(*) from zel where ifnull(remarks, '')<>'x'")), "1");
      cn.close();
    }
    chmodTo(folder.path(), 0700);
    chmodTo(file, 0600);
  }
}

// A file of the previous version gains the indexes in the order of places, so that the record
// form's first page is read through an index, never by sorting every record.
TEST_F(DatabaseFileTest, EarlierFileGainsThePlaceOrderIndexes) {
  {
    Connection cn;
    cn.create(file, kPassword);
    Schema::create(cn);
    cn.execute(
        QStringLiteral("drop index zel_place_order; drop index zel_location_order; PRAGMA user_version=1"));
  }
  Connection cn;
  openProgramDatabase(cn, file);
  EXPECT_EQ(scalarOn(cn, QStringLiteral("PRAGMA user_version")), QString::number(Schema::kVersion));
  for (const QString& where : {QString(), QStringLiteral("where cemeteryid=1 ")}) {
    RecordSet plan(&cn);
    plan.open(QStringLiteral("explain query plan select recid from zel %1order by csection collate places, "
                             "lot collate places, grave collate places")
                  .arg(where));
    QStringList steps;
    for (; !plan.eof(); plan.moveNext()) steps << plan.field(QStringLiteral("detail")).toString();
    EXPECT_FALSE(steps.join(u'|').contains(QStringLiteral("TEMP B-TREE"))) << steps.join(u'|').toStdString();
  }
}
