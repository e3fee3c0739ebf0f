#include <gtest/gtest.h>

#include <utility>

#include "core/history/History.h"
#include "core/import/RecordImport.h"
#include "core/program/Zel1.h"
#include "core/store/DbError.h"
#include "core/store/RecordSet.h"
#include "support/Engines.h"

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
  Plan p;
  p.mapping = mapping(map);
  p.firstRow = firstRow;
  p.lastRow = lastRow;
  p.dateFormat = QStringLiteral("mm-dd-yyyy");
  return p;
}

class RecordImportTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    // The lowest ids are not the first rows: records take the lowest.
    exec("insert into cemetery (cemeteryid, name) values (7, 'Zion'), (3, 'Oak Hill')");
    exec("insert into lots (lotid, lotdesc) values (9, 'Single'), (4, 'Double')");
    exec("insert into zel (cemeteryid, csection, lot, grave, status) values (3, 'OLD', '1', '1', 'S')");
  }
  int write(const DelimitedText::Table& t, const Plan& p, bool emptyFirst = false) {
    return RecordImport::write(ZEL1.cnData, TableSource(t), p, emptyFirst);
  }
  // The columns' values joined by '|', as the store reads them (Null as NULL).
  QString row(const QString& columns, const QString& where) {
    RecordSet rs(&ZEL1.cnData);
    rs.open("select " + columns + " from zel where " + where);
    QStringList values;
    for (int i = 0; !rs.eof() && i < rs.fieldCount(); ++i)
      values << (rs.field(i).isNull() ? QStringLiteral("NULL") : rs.field(i).toString());
    return values.join(u'|');
  }
  QString sections() {
    RecordSet rs(&ZEL1.cnData);
    QStringList list;
    for (rs.open("select csection from zel order by recid"); !rs.eof(); rs.moveNext())
      list << rs.field(0).toString();
    return list.join(u',');
  }
};
ZEL_ON_BOTH_ENGINES(RecordImportTest);

TEST(ImportMapping, NamesInOrderAndWrittenMappings) {
  const QStringList names = mappingNames();
  ASSERT_EQ(names.size(), 36);
  EXPECT_EQ(names.front(), "cSection");
  EXPECT_EQ(names[11], "InterLastName");
  EXPECT_EQ(names[32], "Remarks");
  EXPECT_EQ(names.mid(33), QStringList({"Cemetery", "LotType", "Vault"})) << "after the record's own";

  const Mapping m = mapping(" 3=age,1=InterLastName ,3=DeathDate,4=lottype");
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[0].column, 1) << "columns in order, whatever order they were given in";
  EXPECT_STREQ(m[1].field->name, "DeathDate") << "a column given twice keeps its last field";
  EXPECT_STREQ(m[2].field->name, "LotID");
  QString error;
  EXPECT_FALSE(parseMapping("1=Status", &error));
  EXPECT_EQ(error, "Column 1: \"Status\" is not a field that can be imported.");
  EXPECT_FALSE(parseMapping("x=Age", &error));
  EXPECT_FALSE(parseMapping("0=Age", &error));
  EXPECT_FALSE(parseMapping("2=", &error));
  EXPECT_EQ(mappingFromNames({"", "Lot", ""})->front(), (Column{2, RecordFields::find(u"Lot"), {}}));
}

TEST(ImportConvert, LocaleAndIsoDatesNumbersMoneyAndTheExportsOwnForms) {
  const auto* birth = RecordFields::find(u"BirthDate");
  const auto* age = RecordFields::find(u"Age");
  const auto* price = RecordFields::find(u"PurchPrice");
  const auto* remarks = RecordFields::find(u"Remarks");
  const auto* cemetery = RecordFields::find(u"CemeteryID");
  const QString us = QStringLiteral("mm-dd-yyyy"), eu = QStringLiteral("dd-mm-yyyy");
  EXPECT_EQ(convert(*birth, "03/04/1901", us)->toDate(), QDate(1901, 3, 4));
  EXPECT_EQ(convert(*birth, "03.04.1901", eu)->toDate(), QDate(1901, 4, 3));
  EXPECT_EQ(convert(*birth, "1901-04-03", us)->toDate(), QDate(1901, 4, 3));
  EXPECT_EQ(convert(*birth, "#1901-04-03#", eu)->toDate(), QDate(1901, 4, 3));
  for (const char* midnight : {"1949-06-23 00:00:00", "06-23-1949 00:00", "#1949-06-23 00:00:00#"}) {
    const std::optional<Value> v = convert(*birth, midnight, us);
    ASSERT_TRUE(v) << midnight;
    EXPECT_FALSE(v->hasTime()) << midnight << ": a midnight time is no time";
    EXPECT_EQ(v->toDate(), QDate(1949, 6, 23));
  }
  EXPECT_TRUE(convert(*birth, "1949-06-23 14:05:00", us)->hasTime());
  EXPECT_TRUE(convert(*birth, "#NULL#", us)->isNull());
  EXPECT_TRUE(convert(*birth, "", us)->isNull());
  for (const char* bad : {"02-30-1950", "1-2-50", "yesterday", "#1901-04-03"})
    EXPECT_FALSE(convert(*birth, bad, us)) << bad << " is no date, never a guessed one";
  EXPECT_EQ(convert(*age, " 69 ", us)->toInt(), 69);
  EXPECT_EQ(convert(*age, "", us)->toInt(), 0);
  for (const char* bad : {"12a", "-1", "151", "6.5"}) EXPECT_FALSE(convert(*age, bad, us)) << bad;
  EXPECT_EQ(convert(*price, "1,234.50", us)->toMoney(), Money::fromScaled(12345000));
  EXPECT_EQ(convert(*price, " $-7 ", us)->toMoney(), Money::fromUnits(-7));
  EXPECT_EQ(convert(*price, "12.500", us)->toMoney(), Money::fromScaled(125000)) << "zeros change nothing";
  for (const char* bad : {"12,3x", "12,50", "1,2345", ",500", "1,234,5", "1.234,56", "12.5,0"})
    EXPECT_FALSE(convert(*price, bad, us)) << bad << ": a comma only groups thousands";
  QString why;
  for (const char* bad : {"1500.555", "0.005", "100.004"}) {
    EXPECT_FALSE(convert(*price, bad, us, nullptr, &why)) << bad << " would show as another amount";
    EXPECT_EQ(why, "more than two decimals");
  }
  EXPECT_EQ(convert(*price, "1,234,567.5", us)->toMoney(), Money::fromScaled(12345675000));
  EXPECT_EQ(convert(*remarks, "  as typed ", us)->toString(), "  as typed ") << "texts are kept unchanged";
  EXPECT_FALSE(convert(*remarks, QString::fromUtf8("Caf\xef\xbf\xbd"), us, nullptr, &why));
  EXPECT_EQ(why, "bytes that are not UTF-8");
  // The export's guard against formulas comes off; an apostrophe of the text's own stays.
  EXPECT_EQ(convert(*remarks, "'=HYPERLINK(x)", us)->toString(), "=HYPERLINK(x)");
  EXPECT_EQ(convert(*remarks, "''-x", us)->toString(), "'-x");
  EXPECT_EQ(convert(*remarks, "'tis", us)->toString(), "'tis");
  // Cemeteries and lot types by name, in any case; a name that matches none or several does not
  // convert, an empty one keeps the default.
  Names names;
  names.cemeteries[QStringLiteral("oak hill")] = {3};
  names.cemeteries[QStringLiteral("zion")] = {7, 8};
  EXPECT_EQ(convert(*cemetery, " OAK Hill", us, &names)->toInt(), 3);
  EXPECT_TRUE(convert(*cemetery, "", us, &names)->isNull());
  EXPECT_FALSE(convert(*cemetery, "Nowhere", us, &names, &why));
  EXPECT_EQ(why, "no cemetery has this name");
  EXPECT_FALSE(convert(*cemetery, "Zion", us, &names, &why));
  EXPECT_EQ(why, "2 cemeteries have it");
}

TEST_P(RecordImportTest, DefaultsStateLettersAndTheRightHandColumn) {
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
  EXPECT_EQ(row("interlastname, status, interdate, age", "recid=2"), "Jones|B|1970-05-06|69")
      << "the right-hand column of a field wins";
  EXPECT_EQ(row("interlastname, status, age", "recid=3"), "|R|0")
      << "an empty right-hand cell wins too; a text that is no number keeps 0";
  EXPECT_EQ(row("status", "recid=4"), "S");
  EXPECT_EQ(row("status, csection, interdate, sex, purchprice", "recid=5"), " ||NULL||0.00")
      << "an empty row is a record of defaults";
  EXPECT_EQ(scalar("select count(*) from zel where recid>1 and (cemeteryid<>3 or lotid<>4)"), "0")
      << "every record gets the lowest cemetery and lot type";
}

TEST_P(RecordImportTest, ValuesThatWillNotConvertAreCountedAndNamed) {
  const auto t = tableOf({{"Born", "Age"}, {"02-30-1950", "x"}, {"01-02-1950", "7"}, {"", "y"}});
  Check c = check(TableSource(t), planOf("1=BirthDate,2=Age", 1, 4));
  EXPECT_EQ(c.problems.size(), 5u);
  EXPECT_EQ(c.rows, 3);
  EXPECT_EQ(question(c),
            "5 values in 3 rows will not convert and will keep their defaults.\n"
            "Dates are read month-first, as mm-dd-yyyy, from the system's settings.\n\n"
            "All are listed in import.log. Import anyway?");
  EXPECT_EQ(logLines(c).at(4), "Row 2, column 2 (Age): \"x\": no whole number from 0 to 150");
  c = check(TableSource(t), planOf("2=Age", 3, 4));
  EXPECT_EQ(question(c),
            "1 value in 1 row will not convert and will keep its default.\n\n"
            "All are listed in import.log. Import anyway?");
}

// A date column is read in one order; what the form's Save would refuse, rows with another number
// of items and quotes kept by a tab-delimited file are all said before anything is written.
TEST_P(RecordImportTest, DateOrdersRowsAndDatesTheFormRefusesAreReviewed) {
  const auto t = tableOf({{"01-02-2001", "03-15-1921", "15-03-2001"},
                          {"03-15-1921", "", "03-15-1921"},
                          {"12-31-2099", "01-01-1900", ""},
                          {"01-01-1950", "01-01-1960", ""}});
  Plan p = planOf("1=DeathDate,2=BirthDate,3=InterDate", 1, 4);
  p.dateFormat = QStringLiteral("dd-mm-yyyy");
  p.firstItems = 3;
  p.ragged = {{2, 4}, {9, 2}};
  settleDateOrders(TableSource(t), p);
  EXPECT_EQ(p.mapping[0].dateFormat, "mm-dd-yyyy") << "only month-first fits every value";
  EXPECT_EQ(p.mapping[1].dateFormat, "mm-dd-yyyy");
  EXPECT_EQ(p.mapping[2].dateFormat, "") << "values contradicting each other: the system's order";
  const Check c = check(TableSource(t), p);
  ASSERT_EQ(c.problems.size(), 1u);
  EXPECT_EQ(c.problems[0].row, 2) << "03-15-1921 is no date day-first";
  ASSERT_EQ(c.ragged.size(), 1u) << "only the plan's rows";
  ASSERT_EQ(c.refused.size(), 2u);
  EXPECT_EQ(c.refused[0].row, 3);
  EXPECT_EQ(c.refused[0].message, "Invalid Date of Death. This date can not be greater than today's date.");
  EXPECT_EQ(c.refused[1].message, "You cannot have a date-of-birth greater than the date-of-death.");
  const QString q = question(c);
  EXPECT_TRUE(q.contains("1 row has more or fewer items than the first row (3)")) << q.toStdString();
  EXPECT_TRUE(
      q.contains("2 rows have dates that the record form would refuse (such as row 3: \"Invalid "
                 "Date of Death."))
      << q.toStdString();
  EXPECT_TRUE(
      q.contains("Column 1 (DeathDate) is read month-first, as mm-dd-yyyy, since only that order "
                 "fits all its values (such as \"03-15-1921\")."))
      << q.toStdString();
  EXPECT_TRUE(q.contains("Dates are read day-first, as dd-mm-yyyy, from the system's settings."));
  EXPECT_TRUE(logLines(c).contains("Row 2: 4 items"));
  EXPECT_TRUE(c.notes.filter("double quotes").isEmpty());
  const auto quoted = tableOf({{"\"Lot\"", "\"Grave\""}, {"\"1\"", "\"2\""}, {"3", ""}});
  Plan tab = planOf("1=Lot,2=Grave", 1, 3);
  tab.quotesKept = true;
  EXPECT_EQ(check(TableSource(quoted), tab).notes,
            QStringList{"The items of the first rows stand in double quotes, which a tab-delimited file "
                        "keeps as part of the values."});

  // Written as the plan reads them: the column's own order.
  ASSERT_EQ(write(t, p), 4);
  EXPECT_EQ(row("deathdate, birthdate", "recid=2"), "2001-01-02|1921-03-15");
}

TEST_P(RecordImportTest, RefusedWithoutCemeteryOrLotTypeAndNothingDeleted) {
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
  EXPECT_EQ(sections(), "OLD");
  EXPECT_FALSE(ZEL1.cnData.inTransaction());
}

TEST_P(RecordImportTest, AFailureInTheMiddleRollsBackTheEmptyingToo) {
  if (onServer())
    exec(
        "create function refuse() returns trigger language plpgsql as $$ begin if new.csection = 'BAD' then "
        "raise exception 'refused'; end if; return new; end $$; create trigger refuse before insert on zel "
        "for each row execute function refuse()");
  else
    exec(
        "create trigger refuse before insert on zel when new.csection='BAD' begin select raise(abort, "
        "'refused'); end");
  // The file's import takes the indexes and the money check off while it adds rows: they come back
  // either way.
  const char* schema =
      onServer()
          ? "select count(*) from pg_indexes where tablename = 'zel'"
          : "select group_concat(name) from (select name from sqlite_master where type<>'table' and "
            "tbl_name<>'history_rows' order by name)";
  const QString before = scalar(schema);
  // The file's import also raises the page cache for the run (a small one here, so that even these
  // rows raise it): it comes back too.
  if (!onServer()) exec("PRAGMA cache_size=-64");
  const auto cache = [&] { return onServer() ? QString() : scalar("PRAGMA cache_size"); };
  const auto t = tableOf({{"A"}, {"B"}, {"BAD"}, {"D"}});
  try {
    write(t, planOf("1=cSection", 1, 4), true);
    FAIL() << "the third row is refused";
  } catch (const DbError& e) {
    EXPECT_EQ(e.description(), "Row 3 could not be added: refused. Nothing was imported.");
  }
  EXPECT_EQ(sections(), "OLD");
  EXPECT_EQ(scalar(schema), before);
  EXPECT_FALSE(ZEL1.cnData.inTransaction());
  // The connection is fit for the next import.
  EXPECT_EQ(write(t, planOf("1=cSection", 1, 2), true), 2);
  EXPECT_EQ(sections(), "A,B");
  // Rows beyond one batch of the server, with a refusal far down: named, and nothing imported.
  QList<QStringList> many(900, {"M"});
  many[700] = {"BAD"};
  try {
    write(tableOf(many), planOf("1=cSection", 1, 900));
    FAIL() << "row 701 is refused";
  } catch (const DbError& e) {
    EXPECT_EQ(e.description(), "Row 701 could not be added: refused. Nothing was imported.");
  }
  EXPECT_EQ(sections(), "A,B");
  EXPECT_EQ(cache(), onServer() ? "" : "-64");
  EXPECT_EQ(write(tableOf(many), planOf("1=cSection", 1, 700)), 700);
  EXPECT_EQ(cache(), onServer() ? "" : "-64");
  EXPECT_EQ(scalar("select count(*) from zel where csection = 'm'"), "700") << "text ignores case";
  EXPECT_EQ(scalar(schema), before);
  EXPECT_THROW(exec("insert into zel (purchprice) values (1.5)"), DbError) << "the money check is back";
}

TEST_P(RecordImportTest, TheHistoryNamesTheNumbersTheRecordsGotEvenWithAClerkAddingMeanwhile) {
  // On a server another clerk adds a record while the import is half done: it takes a number
  // between the imported ones.
  Connection other;
  if (onServer()) {
    other.openServer(openServerData());
    exec("insert into cemetery (name) values ('Zion')");
    exec("insert into lots (lotdesc) values ('Single')");
    exec("insert into zel (csection) values ('OLD')");
  }
  Plan plan = planOf("1=cSection", 1, 2000);
  plan.fileName = "many.csv";
  bool added = false;
  RecordImport::write(ZEL1.cnData, TableSource(tableOf(QList<QStringList>(2000, {"I"}))), plan, false,
                      [&](double) {
                        if (!other.isOpen() || std::exchange(added, true)) return;
                        other.execute("insert into zel (csection) values ('X')");
                      });
  const QString numbers = onServer() ? "2-1001,1003-2002" : "2-2001";
  EXPECT_EQ(History::entries(ZEL1.cnData).back().detail,
            "file: many.csv\nrows: 2000\nrecords added: " + numbers + "\nemptied first: no");
}

}  // namespace
