// Several clerks on one server database, each on a connection of its own.

#include <gtest/gtest.h>

#include <QThread>

#include "core/history/History.h"
#include "core/store/Connection.h"
#include "core/store/RecordFields.h"
#include "core/store/RecordSet.h"
#include "core/store/Schema.h"
#include "core/store/ServerEngine.h"
#include "core/store/ServerLock.h"
#include "support/TestData.h"
#include "support/TestServer.h"

namespace {

class Clerks : public ::testing::Test {
 protected:
  void SetUp() override {
    TestServer& server = TestServer::shared();
    ASSERT_EQ(server.problem(), QString());
    database = server.newDatabase();
    a.openServer(database);
    Schema::create(a);
    b.openServer(database);
  }

  // A record saved through the history, as the record form saves one; its number.
  static qint64 add(Connection& cn, const QString& lastName) {
    RecordSet rs(&cn);
    rs.open(QStringLiteral("select * from zel where recid=0"), RecordSet::Cursor::Static);
    rs.addNew();
    rs.assign(QStringLiteral("interlastname"), lastName);
    return History::saveRow(cn, rs, QStringLiteral("zel"));
  }
  static void openRecord(RecordSet& rs, qint64 id) {
    rs.open(QStringLiteral("select * from zel where recid=%1").arg(id), RecordSet::Cursor::Static);
  }
  static void change(Connection& cn, qint64 id, const QString& column, const QString& value) {
    RecordSet rs(&cn);
    openRecord(rs, id);
    rs.assign(column, value);
    History::saveRow(cn, rs, QStringLiteral("zel"));
  }

  QString database;
  Connection a, b;
};

}  // namespace

TEST_F(Clerks, ASaveOverARecordChangedOrRemovedSinceItWasReadIsRefused) {
  const qint64 id = add(a, QStringLiteral("Smith"));
  RecordSet shown(&a);
  openRecord(shown, id);
  const std::optional<qint64> version = shown.version();
  ASSERT_TRUE(version);
  // The version is no column: nothing that lists the columns sees it.
  EXPECT_FALSE(shown.hasField(QStringLiteral("zel_version")));
  EXPECT_EQ(shown.fieldCount(), int(RecordFields::all().size()));

  change(b, id, QStringLiteral("interlastname"), QStringLiteral("Brown"));
  shown.assign(QStringLiteral("remarks"), QStringLiteral("mine"));
  try {
    History::saveRow(a, shown, QStringLiteral("zel"));
    FAIL() << "saved over another clerk's change";
  } catch (const RowConflict& c) {
    EXPECT_FALSE(c.removed());
  }
  // Nothing of the refused save was written; the set holds the row as stored now.
  EXPECT_EQ(scalarOn(a, QStringLiteral("select remarks from zel")), QString());
  EXPECT_EQ(shown.field(QStringLiteral("interlastname")).toString(), QStringLiteral("Brown"));
  EXPECT_NE(shown.version(), version);
  EXPECT_EQ(scalarOn(a, QStringLiteral("select count(*) from history where field = 'remarks'")),
            QStringLiteral("0"));

  // Saved knowingly over the version now read: both changes stay.
  shown.assign(QStringLiteral("remarks"), QStringLiteral("mine"));
  History::saveRow(a, shown, QStringLiteral("zel"));
  EXPECT_EQ(scalarOn(a, QStringLiteral("select interlastname || '/' || remarks from zel")),
            QStringLiteral("Brown/mine"));

  // A window that read the row earlier than its set did says which version it showed.
  RecordSet late(&a);
  openRecord(late, id);
  late.expectVersion(*version);
  late.assign(QStringLiteral("remarks"), QStringLiteral("stale"));
  EXPECT_THROW(late.update(), RowConflict);

  History::removeRow(b, QStringLiteral("zel"), id);
  shown.assign(QStringLiteral("remarks"), QStringLiteral("again"));
  try {
    shown.update();
    FAIL() << "saved a removed record";
  } catch (const RowConflict& c) {
    EXPECT_TRUE(c.removed());
  }
  EXPECT_EQ(scalarOn(a, QStringLiteral("select count(*) from zel")), QStringLiteral("0"));
}

TEST_F(Clerks, TwoAddingAtOnceGetNumbersOfTheirOwn) {
  // A's row is added in a transaction still open while B adds and commits.
  a.beginTransaction();
  RecordSet ra(&a), rb(&b);
  for (RecordSet* rs : {&ra, &rb})
    rs->open(QStringLiteral("select * from zel where recid=0"), RecordSet::Cursor::Static);
  ra.addNew();
  ra.assign(QStringLiteral("interlastname"), QStringLiteral("A"));
  ra.update();
  rb.addNew();
  rb.assign(QStringLiteral("interlastname"), QStringLiteral("B"));
  rb.update();
  a.commit();
  ASSERT_NE(ra.savedKey(), rb.savedKey());
  EXPECT_EQ(scalarOn(a, QStringLiteral("select interlastname from zel where recid=%1").arg(ra.savedKey())),
            QStringLiteral("A"));
  EXPECT_EQ(scalarOn(a, QStringLiteral("select interlastname from zel where recid=%1").arg(rb.savedKey())),
            QStringLiteral("B"));

  // Through the history each clerk's entry names the clerk's own record.
  const qint64 x = add(a, QStringLiteral("X"));
  const qint64 y = add(b, QStringLiteral("Y"));
  EXPECT_NE(x, y);
  EXPECT_EQ(scalarOn(a, QStringLiteral("select recid from history where detail like '%Y%'")),
            QString::number(y));
}

TEST_F(Clerks, TheRecordsAloneAreRefusedWhileOthersAreConnectedAndSaySoWithTheCount) {
  ServerLock::holdShared(a);
  ServerLock::holdShared(b);
  Connection c;
  c.openServer(database);
  const auto alone = [&c] {
    try {
      ServerLock::Alone hold(c, QStringLiteral("An import that empties the records first"));
      return QString();
    } catch (const DbError& e) {
      EXPECT_EQ(e.code(), DbError::Busy);
      return e.description();
    }
  };
  EXPECT_EQ(
      alone(),
      QStringLiteral("An import that empties the records first needs the records alone, but 2 other clerks "
                     "are connected to these records. Ask them to close the program, then try again. "
                     "Nothing was changed."));
  b.close();
  EXPECT_TRUE(alone().contains(QLatin1String("but another clerk is connected")));
  a.close();
  EXPECT_EQ(alone(), QString());
  {
    // While one has them alone, nobody else starts on them.
    ServerLock::Alone hold(c, QStringLiteral("A restore"));
    a.openServer(database);
    EXPECT_THROW(ServerLock::holdShared(a), DbError);
  }
  ServerLock::holdShared(a);
}

TEST_F(Clerks, AReadOnlyRoleBrowsesButASaveIsRefusedPlainly) {
  const qint64 id = add(a, QStringLiteral("Smith"));
  a.execute(
      QStringLiteral("do $$ begin if not exists (select from pg_roles where rolname = 'zel_reader') then "
                     "create role zel_reader login; end if; end $$; "
                     "grant select on all tables in schema public to zel_reader"));
  Connection reader;
  reader.openServer(database + QStringLiteral(" user=zel_reader"));
  ServerLock::holdShared(reader);
  RecordSet rs(&reader);
  openRecord(rs, id);
  EXPECT_EQ(rs.field(QStringLiteral("interlastname")).toString(), QStringLiteral("Smith"));
  rs.assign(QStringLiteral("remarks"), QStringLiteral("no"));
  try {
    History::saveRow(reader, rs, QStringLiteral("zel"));
    FAIL() << "a reader saved";
  } catch (const DbError& e) {
    EXPECT_EQ(e.code(), DbError::NoRight);
    EXPECT_EQ(e.description(),
              QStringLiteral("You may read these records but not change them: the server's role "
                             "\"zel_reader\" has no right to change the table zel."));
  }
  EXPECT_THROW(add(reader, QStringLiteral("New")), DbError);
}

// The record form's First waits for the server once: the first page of keys and the first record
// come together, and what the connection has learnt (key columns, column types, prepared
// statements) is not asked again. The record so read is the record as stored at that moment, with
// or without a warm-up of the read sent before (one round trip of its own, read by the next
// request without another).
TEST_F(Clerks, FirstWaitsOnceForTheFirstPageAndItsRecord) {
  for (const char* name : {"C", "A", "B"}) {
    const qint64 id = add(a, QString::fromLatin1(name));
    change(a, id, QStringLiteral("csection"), QString::fromLatin1(name));
  }
  const auto trips = [&] { return static_cast<ServerEngine&>(b.engine()).roundTrips(); };
  const QString first = QStringLiteral(
      "select * from zel order by csection collate places, lot collate places, "
      "grave collate places");
  RecordSet rs(&b);
  qint64 before = trips();
  warmUpServer(b, QStringLiteral("zel"), first);
  EXPECT_EQ(trips() - before, 1);
  before = trips();
  rs.open(first, RecordSet::Cursor::Static);
  // The key column, the table's column types, three statements prepared, the page with its record.
  EXPECT_LE(trips() - before, 6);
  EXPECT_EQ(rs.field(QStringLiteral("interlastname")).toString(), QStringLiteral("A"));

  const qint64 firstId =
      scalarOn(a, QStringLiteral("select recid from zel where csection = 'A'")).toLongLong();
  warmUpServer(b, QStringLiteral("zel"), first);
  change(a, firstId, QStringLiteral("remarks"), QStringLiteral("changed"));
  before = trips();
  rs.open(first, RecordSet::Cursor::Static);
  rs.moveFirst();
  EXPECT_EQ(rs.field(QStringLiteral("interlastname")).toString(), QStringLiteral("A"));
  EXPECT_EQ(rs.field(QStringLiteral("remarks")).toString(), QStringLiteral("changed"));
  EXPECT_EQ(trips() - before, 1);
  rs.moveNext();
  EXPECT_EQ(rs.field(QStringLiteral("interlastname")).toString(), QStringLiteral("B"));
  EXPECT_EQ(trips() - before, 2);

  // The version read with the first record is the one stored: a save over it goes through.
  rs.moveFirst();
  rs.assign(QStringLiteral("remarks"), QStringLiteral("mine"));
  EXPECT_NO_THROW(History::saveRow(b, rs, QStringLiteral("zel")));
  EXPECT_EQ(scalarOn(a, QStringLiteral("select remarks from zel where csection = 'A'")),
            QStringLiteral("mine"));
}

// A warm-up whose read cannot run is silent and leaves the connection as it was: in a database
// without the tables yet (the start makes them next), inside a transaction (where a failure would
// spoil it), and on a connection whose server process has gone, where the next request reports it.
TEST_F(Clerks, AWarmUpThatCannotRunIsSilentAndLeavesTheConnectionAsItWas) {
  const QString first = QStringLiteral("select * from zel order by csection collate places");
  Connection empty;
  empty.openServer(TestServer::shared().newDatabase());
  warmUpServer(empty, QStringLiteral("zel"), first);
  ASSERT_NO_THROW(Schema::create(empty));
  EXPECT_TRUE(Schema::isComplete(empty));

  b.beginTransaction();
  warmUpServer(b, QStringLiteral("nosuch"), QStringLiteral("select * from nosuch"));
  b.execute(QStringLiteral("insert into cemetery (name) values ('Kept')"));
  b.commit();
  EXPECT_EQ(scalarOn(a, QStringLiteral("select count(*) from cemetery where name = 'Kept'")),
            QStringLiteral("1"));

  // The server process ends before the warm-up is sent, or after (while it runs or once it ran).
  for (const bool warmFirst : {false, true}) {
    SCOPED_TRACE(warmFirst ? "warmed, then ended" : "ended, then warmed");
    Connection c;
    c.openServer(database);
    const QString pid = scalarOn(c, QStringLiteral("select pg_backend_pid()"));
    if (warmFirst) warmUpServer(c, QStringLiteral("zel"), first);
    scalarOn(a, QStringLiteral("select pg_terminate_backend(%1)").arg(pid));
    while (scalarOn(a, QStringLiteral("select count(*) from pg_stat_activity where pid = %1").arg(pid)) !=
           "0")
      QThread::msleep(10);
    if (!warmFirst) {
      EXPECT_NO_THROW(warmUpServer(c, QStringLiteral("zel"), first));
    }
    try {
      scalarOn(c, QStringLiteral("select count(*) from zel"));
      ADD_FAILURE() << "a query on a lost connection gave a result";
    } catch (const DbError& e) {
      EXPECT_FALSE(e.description().isEmpty());
    }
  }
}
