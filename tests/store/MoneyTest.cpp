// Money: exact amounts that never wrap, and one meaning for an amount in the file.
#include <gtest/gtest.h>

#include <map>

#include "core/program/Zel1.h"
#include "core/store/RecordFields.h"
#include "core/store/Schema.h"
#include "support/Engines.h"
#include "support/TestData.h"

namespace {

QString describe(const std::function<void()>& f) {
  try {
    f();
  } catch (const DbError& e) {
    return e.description();
  }
  return QStringLiteral("(no failure)");
}

}  // namespace

TEST(Money, ReadsAndPrintsAmountsAndRefusesWhatItCannotHold) {
  Money::ParseError why{};
  EXPECT_EQ(Money::parse(" $-1,234.56789 ")->toString(4), "-1234.5679");  // half away from zero
  EXPECT_EQ(Money::parse("922337203685477.5807")->scaled(), Money::kMaxScaled);
  for (const char* text :
       {"922337203685479", "922337203685477.5808", "-922337203685477.5808", "99999999999999999999999"}) {
    EXPECT_FALSE(Money::parse(QString::fromLatin1(text), &why)) << text;
    EXPECT_EQ(why, Money::ParseError::OutOfRange) << text;
  }
  EXPECT_EQ(Money::parseMessage(QStringLiteral(" 922337203685479"), why),
            "The amount 922337203685479 is out of range.");
  for (const char* text : {"", "-", "$", "1.2.3", "12a", "1e5", "--1", "١٢"}) {
    EXPECT_FALSE(Money::parse(QString::fromUtf8(text), &why)) << text;
    EXPECT_EQ(why, Money::ParseError::NotAnAmount) << text;
  }

  // Conversions and sums that would leave the range are refused, never wrapped.
  EXPECT_EQ(Money::fromUnits(922337203685477).toString(), "922337203685477.00");
  EXPECT_THROW(Money::fromUnits(922337203685478), MoneyOutOfRange);
  EXPECT_THROW(Money::fromDouble(1e30), MoneyOutOfRange);
  EXPECT_EQ(Money::fromDouble(-0.00005).toString(4), "-0.0001");
  EXPECT_THROW(Money::fromScaled(std::numeric_limits<qint64>::min()), MoneyOutOfRange);
  const Money most = Money::fromScaled(Money::kMaxScaled);
  EXPECT_THROW(most + Money::fromScaled(1), MoneyOutOfRange);
  EXPECT_THROW((Money() - most) - Money::fromScaled(1), MoneyOutOfRange);

  // The extremes print as themselves.
  EXPECT_EQ((Money() - most).toString(), "-922337203685477.58");
  EXPECT_EQ((Money() - most).toPlainString(), "-922337203685477.5807");
  EXPECT_EQ(most.toDisplayString(), "922,337,203,685,477.58");
}

TEST(Value, NumbersBeyondTheRangeAreRefusedNotWrapped) {
  EXPECT_EQ(Value(QStringLiteral(" 12.9kg")).toInt(), 12);
  EXPECT_EQ(Value(-9.2e18).toInt(), qint64(-9.2e18));
  for (const Value& v : {Value(1e30), Value(-1e30), Value(std::nan("")), Value(QStringLiteral("1e30"))})
    EXPECT_EQ(describe([&] { v.toInt(); }).left(11), "The number ") << v.toString().toStdString();
  EXPECT_EQ(describe([] { Value(QStringLiteral("922337203685479")).toMoney(); }),
            "The amount 922337203685479 is out of range.");
  EXPECT_EQ(describe([] { Value(1e30).toMoney(); }), "The amount 1e+30 is out of range.");
  EXPECT_TRUE(Value(QStringLiteral("n/a")).toMoney().isZero());
}

class MoneyColumns : public EngineTest {};
ZEL_ON_BOTH_ENGINES(MoneyColumns);

// A file's own: written by another program, or checked against the file's catalogue.
class MoneyColumnsInFile : public DataTest {};

TEST_P(MoneyColumns, HoldWholeTenThousandthsOnlySoSqlSumsExactly) {
  // Written through the helper, read back as meant, summed and compared exactly in SQL.
  exec(QStringLiteral("insert into zel (csection, purchprice, burialfee, amtpaid) values ('A', %1, %2, %3)")
           .arg(sqlMoney("0.1"), sqlMoney("0.2"), sqlMoney("0.3")));
  addRow(ZEL1.cnData, "zel",
         {{"csection", "B"},
          {"purchprice", *Money::parse("1250.75")},
          {"burialfee", Value()},
          {"amtpaid", 300}});
  RecordSet rs(&ZEL1.cnData);
  rs.open(QStringLiteral("select sum(purchprice) as total, sum(amtpaid) as paid from zel"));
  EXPECT_EQ(Schema::moneyOf(rs.field(QStringLiteral("total"))), *Money::parse("1250.85"));
  EXPECT_EQ(Schema::moneyOf(rs.field(QStringLiteral("paid"))), *Money::parse("300.3"));
  rs.open(QStringLiteral("select purchprice from zel where csection='A'"));
  EXPECT_EQ(rs.field(0), Value(*Money::parse("0.1")));

  // SQL text cannot store any other kind of number: it would mean something else when read.
  exec(QStringLiteral("insert into lots (lotdesc, lotprice) values ('x', %1)").arg(sqlMoney("1")));
  for (const QString& sql : {QStringLiteral("insert into zel (purchprice) values (1234.5)"),
                             QStringLiteral("insert into lots (lotprice) values ('12.50')"),
                             QStringLiteral("update zel set amtpaid=amtpaid/7.0 where csection='B'"),
                             QStringLiteral("update lots set lotprice=0.5")}) {
    EXPECT_EQ(describe([&] { exec(sql); }), "An amount must be stored as a whole number of ten-thousandths.")
        << sql.toStdString();
  }
  // The server refuses a text that is no number before the guard sees it, in its own words.
  EXPECT_THROW(exec(QStringLiteral("insert into lots (lotprice) values ('n/a')")), DbError);
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), "2");
  // A whole number written with a point is a whole number.
  exec(QStringLiteral("insert into lots (lotdesc, lotprice) values ('y', 20000.0)"));
  rs.open(QStringLiteral("select lotprice from lots where lotdesc='y'"));
  EXPECT_EQ(rs.field(0), Value(Money::fromUnits(2)));
  EXPECT_EQ(scalar(QStringLiteral("select group_concat(typeof(lotprice)) from lots")), "integer,integer");
}

TEST_F(MoneyColumnsInFile, AValueThatIsNoAmountIsReportedWhereverItIsRead) {
  // A file written by another program, without the guard.
  exec(QStringLiteral("drop trigger zel_money_insert"));
  exec(QStringLiteral("insert into zel (csection, purchprice, amtpaid) values ('A', 1e30, %1)")
           .arg(sqlMoney("5")));
  exec(QStringLiteral("insert into zel (csection, purchprice) values ('B', 'twelve')"));

  for (RecordSet::Cursor cursor : {RecordSet::Cursor::ForwardOnly, RecordSet::Cursor::Static}) {
    RecordSet rs(&ZEL1.cnData);
    rs.open(QStringLiteral("select * from zel order by csection"), cursor);
    EXPECT_EQ(rs.field(QStringLiteral("amtpaid")), Value(Money::fromUnits(5)));  // the row's other fields
    EXPECT_EQ(describe([&] { rs.field(QStringLiteral("purchprice")); }),
              "The amount stored in purchprice is out of range: 1e+30");
    rs.moveNext();
    EXPECT_EQ(describe([&] { rs.field(QStringLiteral("purchprice")); }),
              "The amount stored in purchprice is out of range: twelve");
  }
  // Editing another field of such a row leaves the stored value as it is.
  RecordSet rs(&ZEL1.cnData);
  rs.open(QStringLiteral("select * from zel where csection='A'"), RecordSet::Cursor::Static);
  rs.assign(QStringLiteral("lot"), QStringLiteral("7"));
  rs.update();
  EXPECT_EQ(scalar(QStringLiteral("select typeof(purchprice) || lot from zel where csection='A'")), "real7");
  EXPECT_THROW(Schema::moneyOf(Value(1e30)), DbError);
}

// Table zel is built from the field table; files already made hold it as it was first written, so
// a new file must get the same columns (order, names, declared types, keys), indexes on fields only,
// and the money guard on every money field.
TEST_F(MoneyColumnsInFile, TheFieldTableBuildsTableZelAsFilesAlreadyMadeHoldIt) {
  exec(QStringLiteral(
      "create table zel_made_before (recid integer primary key autoincrement, cemeteryid integer, "
      "csection text collate nocase, lot text collate nocase, grave text collate nocase, lotid integer, "
      "vault text collate nocase, ownerlastname text collate nocase, ownerfirstname text collate nocase, "
      "owneraddress1 text collate nocase, owneraddress2 text collate nocase, ownercity text collate nocase, "
      "ownerstate text collate nocase, ownerzip text collate nocase, ownerphone text collate nocase, "
      "interlastname text collate nocase, interfirstname text collate nocase, sex text collate nocase, "
      "age double, internum double, interdate date, birthdate date, deathdate date, "
      "deedbook text collate nocase, deedpage double, certnum text collate nocase, purchdate date, "
      "purchprice money, burialfee money, amtpaid money, birthplace text collate nocase, "
      "latereside text collate nocase, socialstate text collate nocase, "
      "nearestrelative text collate nocase, undertaker text collate nocase, deathcause text collate nocase, "
      "remarks text collate nocase, status text collate nocase)"));
  auto rows = [](const QString& sql) {
    RecordSet rs(&ZEL1.cnData);
    QStringList list;
    for (rs.open(sql); !rs.eof(); rs.moveNext()) {
      QStringList row;
      for (int i = 0; i < rs.fieldCount(); ++i) row << rs.field(i).toString();
      list << row.join(u'|');
    }
    return list;
  };
  EXPECT_EQ(rows(QStringLiteral("PRAGMA table_info(zel)")),
            rows(QStringLiteral("PRAGMA table_info(zel_made_before)")));
  EXPECT_EQ(
      scalar(QStringLiteral("select count(*) from sqlite_master where tbl_name='zel' and type='index'")),
      "9");
  for (const QString& index :
       rows(QStringLiteral("select name from sqlite_master where tbl_name='zel' and type='index'")))
    for (const QString& column : rows(QStringLiteral("PRAGMA index_info(%1)").arg(index)))
      EXPECT_NE(RecordFields::find(column.section(u'|', 2)), nullptr) << column.toStdString();
  int money = 0;
  exec(QStringLiteral("insert into zel (csection) values ('A')"));
  for (const RecordFields::Field& f : RecordFields::all()) {
    if (f.kind != RecordFields::Kind::Money) continue;
    ++money;
    EXPECT_THROW(exec(QStringLiteral("insert into zel (%1) values (1.5)").arg(f.column())), DbError)
        << f.name;
    EXPECT_THROW(exec(QStringLiteral("update zel set %1=1.5").arg(f.column())), DbError) << f.name;
  }
  EXPECT_EQ(money, 3);
}
