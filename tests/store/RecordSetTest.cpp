// Record sets as the windows use them: stepping, reading by name, adding and editing rows.
#include <gtest/gtest.h>

#include "core/program/Zel1.h"
#include "support/Engines.h"
#include "support/TestData.h"

using Cursor = RecordSet::Cursor;

namespace {

class RecordSetTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    for (const char* s : {"C", "A", "B"})
      addRow(ZEL1.cnData, "zel", {{"csection", s}, {"lot", "1"}, {"grave", "1"}});
  }
  RecordSet& rs = ZEL1.rsRecords;
};

int errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const DbError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace

ZEL_ON_BOTH_ENGINES(RecordSetTest);

TEST_P(RecordSetTest, AddedRowAppearsAtTheEndOfStaticSets) {
  // Keyed ("select *") and snapshot (column list) sets behave alike.
  for (const char* sql :
       {"select * from zel order by csection", "select recid, csection, lot from zel order by csection"}) {
    SCOPED_TRACE(sql);
    rs.open(sql, Cursor::Static);
    EXPECT_EQ(rs.field("csection").toString(), "A");
    rs.moveNext();
    rs.addNew();
    rs.assign("CSECTION", "0");  // would sort first
    rs.assign("lot", "9");
    rs.update();
    rs.moveLast();
    EXPECT_EQ(rs.field("csection").toString(), "0");
    EXPECT_EQ(rs.field("recid").toString(), scalar("select max(recid) from zel"));
    EXPECT_EQ(rs.recordCount(), 4);
    rs.moveFirst();
    EXPECT_EQ(rs.field("csection").toString(), "A");
    exec("delete from zel where csection='0'");
  }

  // The save's way: an empty set opened for adding, used for two new records in a row.
  rs.open("select * from zel where recid=0", Cursor::Static);
  EXPECT_TRUE(rs.eof() && rs.bof());
  QStringList keys;
  for (const char* s : {"X", "Y"}) {
    rs.addNew();
    rs.assign("csection", s);
    rs.update();
    rs.moveLast();
    keys << rs.field("recid").toString();
    EXPECT_EQ(scalar("select csection from zel where recid=" + keys.back()), s);
  }
  EXPECT_NE(keys[0], keys[1]);
}

TEST_P(RecordSetTest, EditWritesOnlyTheCurrentRowsAssignedFields) {
  exec("update zel set owneraddress1=null, remarks='old' where 1=1");
  rs.open("select * from zel order by csection", Cursor::Static);
  rs.moveNext();  // B
  const QString key = rs.field("recid").toString();
  rs.assign("Remarks", "new");
  EXPECT_EQ(rs.field("remarks").toString(), "new");  // the pending value shows before the update
  rs.update();
  EXPECT_EQ(rs.field("remarks").toString(), "new");
  EXPECT_EQ(rs.field("csection").toString(), "B");
  EXPECT_EQ(scalar("select count(*) from zel where remarks='new'"), "1");
  EXPECT_EQ(scalar("select remarks from zel where recid=" + key), "new");
  EXPECT_EQ(scalar("select count(*) from zel where owneraddress1 is null"), "3");

  // Moving away drops an edit that was not written.
  rs.assign("remarks", "dropped");
  rs.moveNext();
  EXPECT_EQ(scalar("select count(*) from zel where remarks='dropped'"), "0");
}

TEST_P(RecordSetTest, StaticSetsStepBothWaysAndSkipRowsDeletedMeanwhile) {
  rs.open("select * from zel order by csection", Cursor::Static);
  rs.movePrevious();
  EXPECT_TRUE(rs.bof());
  EXPECT_EQ(errorOf([&] { rs.field("csection"); }), 3021);
  rs.moveNext();
  EXPECT_EQ(rs.field("csection").toString(), "A");

  exec("delete from zel where csection='B'");
  rs.moveNext();
  EXPECT_EQ(rs.field("csection").toString(), "C");
  rs.movePrevious();
  EXPECT_EQ(rs.field("csection").toString(), "A");
  exec("delete from zel where csection='C'");
  rs.moveLast();
  EXPECT_EQ(rs.field("csection").toString(), "A");
  rs.moveNext();
  EXPECT_TRUE(rs.eof());
  EXPECT_EQ(errorOf([&] { rs.moveNext(); }), 3021);
}

TEST_P(RecordSetTest, StaticSetsOfCountsAndColumnListsOpen) {
  rs.open("select count(*) as cnt from zel where csection>'A'", Cursor::Static);
  EXPECT_EQ(rs.field("CNT").toInt(), 2);
  rs.open("select csection from zel order by csection desc", Cursor::Static);
  EXPECT_EQ(rs.recordCount(), 3);
  EXPECT_EQ(rs.field("csection").toString(), "C");
  rs.open("select distinct lot from zel", Cursor::Static);
  EXPECT_EQ(rs.recordCount(), 1);
}

TEST_P(RecordSetTest, ForwardOnlySetsReadOnceAndDoNotEdit) {
  exec("update zel set remarks=''");
  rs.open("select csection, owneraddress1, remarks from zel order by csection");
  EXPECT_EQ(rs.recordCount(), -1);
  EXPECT_EQ(rs.field("CSection").toString(), "A");
  EXPECT_TRUE(rs.field("OwnerAddress1").isNull());
  EXPECT_FALSE(rs.field("remarks").isNull());  // empty text is not Null
  EXPECT_EQ(errorOf([&] { rs.field("nosuchcolumn"); }), 3265);
  EXPECT_EQ(errorOf([&] { rs.movePrevious(); }), 3219);
  EXPECT_EQ(errorOf([&] { rs.addNew(); }), 3251);
  EXPECT_EQ(errorOf([&] { rs.assign("remarks", "x"); }), 3251);
  rs.moveNext();
  rs.moveNext();
  EXPECT_EQ(rs.field(0).toString(), "C");
  rs.moveNext();
  EXPECT_TRUE(rs.eof());
  EXPECT_EQ(errorOf([&] { rs.field(0); }), 3021);
  rs.moveFirst();  // runs the query again
  EXPECT_EQ(rs.field(0).toString(), "A");
  rs.close();
  EXPECT_EQ(errorOf([&] { rs.eof(); }), 3704);
}

TEST_P(RecordSetTest, MoneyAndDatesRoundTripExactly) {
  const Value values[][2] = {
      {*Money::parse("0.1"), QDate(2024, 2, 29)},
      {*Money::parse("1234.5678"), Value(QDateTime(QDate(1899, 12, 30), QTime(13, 45, 10)), true)},
      {*Money::parse("-9000000000"), QDate(1, 1, 1)},
      {*Money::parse("9000000000"), Value()},
      {*Money::parse("0.0001"), QDate(9999, 12, 31)},
  };
  QStringList keys;
  for (const auto& [amount, date] : values)
    keys << QString::number(addRow(ZEL1.cnData, "zel", {{"amtpaid", amount}, {"deathdate", date}}));
  // Text and plain numbers given to money and date columns are converted, not stored as they are.
  keys << QString::number(addRow(ZEL1.cnData, "zel", {{"amtpaid", "1,234.50"}, {"deathdate", "2001-02-03"}}));
  keys << QString::number(addRow(ZEL1.cnData, "zel", {{"amtpaid", 300}, {"deathdate", "03-04-2001"}}));

  for (Cursor cursor : {Cursor::ForwardOnly, Cursor::Static}) {
    rs.open("select recid, amtpaid, deathdate from zel where recid>=" + keys[0] + " order by recid", cursor);
    for (const auto& [amount, date] : values) {
      EXPECT_EQ(rs.field("amtpaid"), amount) << rs.field("amtpaid").toString().toStdString();
      EXPECT_EQ(rs.field("deathdate"), date) << rs.field("deathdate").toString().toStdString();
      rs.moveNext();
    }
    EXPECT_EQ(rs.field("amtpaid"), Value(*Money::parse("1234.5")));
    EXPECT_EQ(rs.field("deathdate"), Value(QDate(2001, 2, 3)));
    rs.moveNext();
    EXPECT_EQ(rs.field("amtpaid"), Value(Money::fromUnits(300)));
    EXPECT_EQ(rs.field("deathdate"), Value(QDate(2001, 3, 4)));  // the display order, mm-dd
  }
  EXPECT_EQ(scalar("select sum(amtpaid) from zel where recid=" + keys[0] + " or recid=" + keys[1]),
            QString::number(Money::parse("1234.6678")->scaled()));
}

TEST_P(RecordSetTest, TransactionRollbackUndoesWrites) {
  ZEL1.cnData.beginTransaction();
  addRow(ZEL1.cnData, "zel", {{"csection", "T"}});
  exec("delete from zel where csection='A'");
  ZEL1.cnData.rollback();
  EXPECT_FALSE(ZEL1.cnData.inTransaction());
  EXPECT_EQ(scalar("select group_concat(csection, '') from (select csection from zel order by csection)"),
            "ABC");
}

TEST_P(RecordSetTest, TextThatDoesNotConvertLeavesTypedFieldsAtTheirDefaults) {
  // The import's way: defaults first, then the texts of a file row.
  ZEL1.cnData.setDateDisplayFormat("dd-mm-yyyy");
  rs.open("select * from zel where recid=0", Cursor::Static);
  rs.addNew();
  for (const char* f : {"age", "internum", "deedpage"}) rs.assign(f, 0);
  rs.assign("purchprice", Money());
  const std::pair<const char*, const char*> texts[] = {{"age", " 42 "},
                                                       {"internum", "12a"},
                                                       {"deedpage", ""},
                                                       {"cemeteryid", "3"},
                                                       {"birthdate", "31-12-1950"},
                                                       {"deathdate", "31-02-2001"},
                                                       {"interdate", "2001-13-01"},
                                                       {"purchdate", ""},
                                                       {"purchprice", "$1,250.50"},
                                                       {"burialfee", "n/a"},
                                                       {"csection", " A "}};
  for (const auto& [f, text] : texts) rs.assign(f, text);
  rs.update();
  rs.moveLast();
  EXPECT_EQ(rs.field("age").toDouble(), 42);
  EXPECT_EQ(rs.field("internum").toDouble(), 0);
  EXPECT_EQ(rs.field("deedpage").toDouble(), 0);
  EXPECT_EQ(rs.field("cemeteryid"), Value(3));
  EXPECT_EQ(rs.field("birthdate"), Value(QDate(1950, 12, 31)));
  EXPECT_TRUE(rs.field("deathdate").isNull());
  EXPECT_TRUE(rs.field("interdate").isNull());
  EXPECT_TRUE(rs.field("purchdate").isNull());
  EXPECT_EQ(rs.field("purchprice"), Value(*Money::parse("1250.5")));
  EXPECT_TRUE(rs.field("burialfee").isNull());
  EXPECT_EQ(rs.field("csection").toString(), " A ");  // text columns take text unchanged
  EXPECT_EQ(
      scalar("select typeof(age) || typeof(internum) || typeof(deedpage) from zel where csection=' A '"),
      "realrealreal");
}
