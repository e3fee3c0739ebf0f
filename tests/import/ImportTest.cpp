#include <gtest/gtest.h>

#include "import/RecordImport.h"
#include "program/Zel1.h"
#include "store/DbError.h"
#include "support/TestFolder.h"

using namespace RecordImport;

namespace {

DelimitedText::Table tableOf(const QList<QStringList>& rows) {
  DelimitedText::Table t;
  int line = 0;
  for (const QStringList& r : rows) {
    DelimitedText::Items items(r.begin(), r.end());
    t.append(++line, items);
  }
  return t;
}

Mapping mapping(const QString& text) {
  QString error;
  const std::optional<Mapping> m = parseMapping(text, &error);
  EXPECT_TRUE(m) << error.toStdString();
  return m.value_or(Mapping());
}

Plan planOf(const QString& map, int firstRow, int lastRow) {
  return Plan{mapping(map), firstRow, lastRow, QStringLiteral("mm-dd-yyyy")};
}

class RecordImportTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    // The lowest ids are not the first rows: records take the lowest.
    exec("insert into cemetery (cemeteryid, name) values (7, 'Zion'), (3, 'Oak Hill')");
    exec("insert into lots (lotid, lotdesc) values (9, 'Single'), (4, 'Double')");
    exec("insert into zel (cemeteryid, csection, lot, grave, status) values (3, 'OLD', '1', '1', 'S')");
  }
  int write(const DelimitedText::Table& t, const Plan& p, bool emptyFirst = false) {
    return RecordImport::write(ZEL1.cnData, TableSource(t), p, emptyFirst);
  }
  QString row(const QString& columns, const QString& where) {
    return scalar("select " + columns + " from zel where " + where);
  }
};

TEST(ImportMapping, NamesInOrderAndWrittenMappings) {
  const QStringList names = mappingNames();
  ASSERT_EQ(names.size(), 33);
  EXPECT_EQ(names.front(), "cSection");
  EXPECT_EQ(names[11], "InterLastName");
  EXPECT_EQ(names.back(), "Remarks");
  EXPECT_FALSE(names.contains("Vault")) << "cemetery, lot type, vault and state are not offered";

  const Mapping m = mapping(" 3=age,1=InterLastName ,3=DeathDate");
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[0].column, 1) << "columns in order, whatever order they were given in";
  EXPECT_STREQ(m[1].field->name, "DeathDate") << "a column given twice keeps its last field";
  QString error;
  EXPECT_FALSE(parseMapping("1=Vault", &error));
  EXPECT_EQ(error, "Column 1: \"Vault\" is not a field that can be imported.");
  EXPECT_FALSE(parseMapping("x=Age", &error));
  EXPECT_FALSE(parseMapping("0=Age", &error));
  EXPECT_FALSE(parseMapping("2=", &error));
  EXPECT_EQ(mappingFromNames({"", "Lot", ""})->front(), (Column{2, RecordFields::find(u"Lot")}));
}

TEST(ImportConvert, LocaleAndIsoDatesNumbersMoneyAndTheExportsOwnForms) {
  const auto* birth = RecordFields::find(u"BirthDate");
  const auto* age = RecordFields::find(u"Age");
  const auto* price = RecordFields::find(u"PurchPrice");
  const auto* remarks = RecordFields::find(u"Remarks");
  const QString us = QStringLiteral("mm-dd-yyyy"), eu = QStringLiteral("dd-mm-yyyy");
  EXPECT_EQ(convert(*birth, "03/04/1901", us)->toDate(), QDate(1901, 3, 4));
  EXPECT_EQ(convert(*birth, "03.04.1901", eu)->toDate(), QDate(1901, 4, 3));
  EXPECT_EQ(convert(*birth, "1901-04-03", us)->toDate(), QDate(1901, 4, 3));
  EXPECT_EQ(convert(*birth, "#1901-04-03#", eu)->toDate(), QDate(1901, 4, 3));
  EXPECT_TRUE(convert(*birth, "#NULL#", us)->isNull());
  EXPECT_TRUE(convert(*birth, "", us)->isNull());
  for (const char* bad : {"02-30-1950", "1-2-50", "yesterday", "#1901-04-03"})
    EXPECT_FALSE(convert(*birth, bad, us)) << bad << " is no date, never a guessed one";
  EXPECT_EQ(convert(*age, " 69 ", us)->toInt(), 69);
  EXPECT_EQ(convert(*age, "", us)->toInt(), 0);
  for (const char* bad : {"12a", "-1", "151", "6.5"}) EXPECT_FALSE(convert(*age, bad, us)) << bad;
  EXPECT_EQ(convert(*price, "1,234.50", us)->toMoney(), Money::fromScaled(12345000));
  EXPECT_EQ(convert(*price, " $-7 ", us)->toMoney(), Money::fromUnits(-7));
  for (const char* bad : {"12,3x", "12,50", "1,2345", ",500", "1,234,5", "1.234,56", "12.5,0"})
    EXPECT_FALSE(convert(*price, bad, us)) << bad << ": a comma only groups thousands";
  EXPECT_EQ(convert(*price, "1,234,567.5", us)->toMoney(), Money::fromScaled(12345675000));
  EXPECT_EQ(convert(*remarks, "  as typed ", us)->toString(), "  as typed ") << "texts are kept unchanged";
}

TEST_F(RecordImportTest, DefaultsStateLettersAndTheRightHandColumn) {
  const auto t = tableOf({
      {"Sec", "Last", "First", "Died", "Owner", "Age", "Other"},
      {"A", "Smith", "John", "05-06-1970", "", "69", "Jones"},
      {"A", "Smith", "Ann", "", "", "x", ""},
      {"B", "", "", "", "Brown", "", ""},
      {},
      {"C"},
  });
  Plan p = planOf(
      "1=cSection,2=InterLastName,3=InterFirstName,4=InterDate,5=OwnerLastName,6=Age,7=InterLastName", 2, 6);
  ASSERT_EQ(write(t, p), 5);
  EXPECT_EQ(scalar("select count(*) from zel"), "6");
  EXPECT_EQ(row("interlastname || '|' || status || '|' || interdate || '|' || age", "recid=2"),
            "Jones|B|1970-05-06|69.0")
      << "the right-hand column of a field wins";
  EXPECT_EQ(row("interlastname || '|' || status || '|' || age", "recid=3"), "|R|0.0")
      << "an empty right-hand cell wins too; a text that is no number keeps 0";
  EXPECT_EQ(row("status", "recid=4"), "S");
  EXPECT_EQ(row("quote(status) || quote(csection) || quote(interdate) || quote(sex) || quote(purchprice)",
                "recid=5"),
            "' '''NULL''0")
      << "an empty row is a record of defaults";
  EXPECT_EQ(scalar("select count(*) from zel where recid>1 and (cemeteryid<>3 or lotid<>4)"), "0")
      << "every record gets the lowest cemetery and lot type";
}

TEST_F(RecordImportTest, ValuesThatWillNotConvertAreCountedAndNamed) {
  const auto t = tableOf({{"Born", "Age"}, {"02-30-1950", "x"}, {"01-02-1950", "7"}, {"", "y"}});
  Check c = check(TableSource(t), planOf("1=BirthDate,2=Age", 1, 4));
  EXPECT_EQ(c.problems.size(), 5u);
  EXPECT_EQ(c.rows, 3);
  EXPECT_EQ(question(c),
            "5 values in 3 rows will not convert and will keep their defaults (listed in import.log). Import "
            "anyway?");
  EXPECT_EQ(logLines(c).at(4), "Row 2, column 2 (Age): \"x\"");
  c = check(TableSource(t), planOf("2=Age", 3, 4));
  EXPECT_EQ(
      question(c),
      "1 value in 1 row will not convert and will keep its default (listed in import.log). Import anyway?");
}

TEST_F(RecordImportTest, RefusedWithoutCemeteryOrLotTypeAndNothingDeleted) {
  const auto t = tableOf({{"A"}});
  exec("delete from cemetery");
  try {
    write(t, planOf("1=cSection", 1, 1), true);
    FAIL() << "no cemetery";
  } catch (const DbError& e) {
    EXPECT_TRUE(e.description().startsWith("There is no cemetery in the database"));
  }
  exec("insert into cemetery (name) values ('New')");
  exec("delete from lots");
  EXPECT_THROW(write(t, planOf("1=cSection", 1, 1), true), DbError);
  EXPECT_EQ(scalar("select csection from zel"), "OLD");
  EXPECT_FALSE(ZEL1.cnData.inTransaction());
}

TEST_F(RecordImportTest, AFailureInTheMiddleRollsBackTheEmptyingToo) {
  exec(
      "create trigger refuse before insert on zel when new.csection='BAD' begin select raise(abort, "
      "'refused'); end");
  const auto t = tableOf({{"A"}, {"B"}, {"BAD"}, {"D"}});
  try {
    write(t, planOf("1=cSection", 1, 4), true);
    FAIL() << "the third row is refused";
  } catch (const DbError& e) {
    EXPECT_EQ(e.description(), "Row 3 could not be added: refused. Nothing was imported.");
  }
  EXPECT_EQ(scalar("select group_concat(csection) from zel"), "OLD");
  EXPECT_FALSE(ZEL1.cnData.inTransaction());
  // The connection is fit for the next import.
  EXPECT_EQ(write(t, planOf("1=cSection", 1, 2), true), 2);
  EXPECT_EQ(scalar("select group_concat(csection) from zel"), "A,B");
}

}  // namespace
