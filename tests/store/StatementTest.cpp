// Prepared statements as the import, export and reports use them, on either engine.
#include <gtest/gtest.h>

#include "core/program/Zel1.h"
#include "core/store/Statement.h"
#include "support/Engines.h"
#include "support/TestData.h"

namespace {

class StatementTest : public EngineTest {};
ZEL_ON_BOTH_ENGINES(StatementTest);

}  // namespace

TEST_P(StatementTest, BindsRunsAgainAndReadsTypedColumns) {
  Statement insert(ZEL1.cnData,
                   "insert into zel (csection, remarks, age, cemeteryid, purchprice, deathdate) "
                   "values (?, '?', ?, ?, ?, ?)");
  const QByteArray sections[] = {"A", ""};
  for (int i = 0; i < 2; ++i) {
    insert.bindText(1, sections[i]);  // an empty text is a text, not Null
    insert.bind(2, 42.5);
    insert.bind(3, qint64(7 + i));
    if (i == 0)
      insert.bind(4, Schema::toStored(*Money::parse("1250.75")));
    else
      insert.bindNull(4);
    insert.bindText(5, "2001-02-03");
    EXPECT_FALSE(insert.next());
    insert.reset();
  }

  Statement select(ZEL1.cnData,
                   "select csection, remarks, age, cemeteryid, purchprice, deathdate, length(remarks) "
                   "from zel where cemeteryid >= ? order by cemeteryid");
  select.bind(1, qint64(7));
  ASSERT_EQ(select.columnCount(), 7);
  EXPECT_STREQ(select.columnName(4), "purchprice");
  EXPECT_STREQ(select.declaredType(4), "money");
  EXPECT_STREQ(select.declaredType(5), "date");
  EXPECT_STREQ(select.declaredType(3), "integer");
  EXPECT_EQ(select.declaredType(6), nullptr);
  for (int pass = 0; pass < 2; ++pass) {  // a reset runs it again
    ASSERT_TRUE(select.next());
    EXPECT_EQ(select.string(0), "A");
    EXPECT_EQ(select.string(1), "?");
    EXPECT_EQ(select.type(2), Statement::Type::Real);
    EXPECT_DOUBLE_EQ(select.real(2), 42.5);
    EXPECT_EQ(select.type(3), Statement::Type::Integer);
    EXPECT_EQ(select.int64(3), 7);
    EXPECT_EQ(select.money(4), Value(*Money::parse("1250.75")));
    EXPECT_EQ(select.string(5), "2001-02-03");
    EXPECT_EQ(select.int64(6), 1);
    ASSERT_TRUE(select.next());
    EXPECT_EQ(select.type(0), Statement::Type::Text);
    EXPECT_EQ(select.string(0), "");
    EXPECT_EQ(select.money(4), Value());
    EXPECT_FALSE(select.next());
    select.reset();
  }

  // Sums of money stay whole ten-thousandths; failures are the store's.
  Statement sum(ZEL1.cnData, "select sum(purchprice) from zel");
  ASSERT_TRUE(sum.next());
  EXPECT_EQ(sum.type(0), Statement::Type::Integer);
  EXPECT_EQ(sum.int64(0), 12507500);
  EXPECT_THROW(Statement(ZEL1.cnData, "selct 1"), DbError);
  Statement wrong(ZEL1.cnData, "insert into zel (purchprice) values (0.5)");
  EXPECT_THROW(wrong.next(), DbError);
}

TEST_P(StatementTest, WhatOnlyAFileHasIsRefusedOnAServer) {
  const auto code = [](const std::function<void()>& work) {
    try {
      work();
    } catch (const DbError& e) {
      return e.code();
    }
    return 0;
  };
  EXPECT_EQ(ZEL1.cnData.isServer(), onServer());
  const int expected = onServer() ? int(DbError::Misuse) : 0;
  EXPECT_EQ(code([] { ZEL1.cnData.snapshotInto(ZEL1.dataFile("copy.mdb"), "x"); }), expected);
  EXPECT_EQ(code([] {
              ZEL1.cnData.execute(QStringLiteral("ALTER DATABASE PASSWORD %1 %1;").arg(kDatabasePassword));
            }),
            expected);
  ZEL1.cnData.close();
  EXPECT_FALSE(ZEL1.cnData.isOpen());
  EXPECT_THROW(Statement(ZEL1.cnData, "select 1"), DbError);
}

// Bytes go in and come out as they are (the history's hashes), in the history table the schema made
// on either engine, whose rows refuse change.
TEST_P(StatementTest, BlobsRoundTripInTheHistoryWhichRefusesChanges) {
  EXPECT_EQ(scalar("select count(*) from history"), "0");  // begins with the first change
  const QByteArray bytes("\x00\xff\\x'\"?\x80", 7);
  Statement insert(ZEL1.cnData,
                   "insert into history (id, written, username, computer, kind, hash, oldhash, newhash) "
                   "values (1000, 'w', 'u', 'c', 'k', ?, ?, ?)");
  insert.bindBlob(1, bytes);
  insert.bindBlob(2, QByteArrayView(""));  // empty bytes are not Null
  insert.bindNull(3);
  EXPECT_FALSE(insert.next());
  Statement select(ZEL1.cnData, "select hash, oldhash, newhash from history where hash = ?");
  select.bindBlob(1, bytes);
  for (int pass = 0; pass < 2; ++pass) {
    ASSERT_TRUE(select.next());
    EXPECT_EQ(select.type(0), Statement::Type::Blob);
    EXPECT_EQ(select.blob(0).toByteArray(), bytes);
    EXPECT_EQ(select.type(1), Statement::Type::Blob);
    EXPECT_TRUE(select.blob(1).isEmpty());
    EXPECT_EQ(select.type(2), Statement::Type::Null);
    EXPECT_FALSE(select.next());
    select.reset();
  }
  EXPECT_THROW(exec("update history set detail='x' where id=1000"), DbError);
  EXPECT_THROW(exec("update history set hash=hash where id=1000"), DbError);
  EXPECT_THROW(exec("delete from history where id=1000"), DbError);
  EXPECT_EQ(scalar("select count(*) from history"), "1");
}
