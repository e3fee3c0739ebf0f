// The program's SQL texts as the windows write them, run on a real database.
#include <gtest/gtest.h>

#include <QCollator>

#include "core/program/Zel1.h"
#include "core/store/DateValue.h"
#include "core/store/Dialect.h"
#include "support/Engines.h"
#include "support/TestData.h"

namespace {

class DialectTest : public EngineTest {
 protected:
  qint64 add(Fields fields) { return addRow(ZEL1.cnData, QStringLiteral("zel"), fields); }
  void setDateFormat(const char* f) {
    ZEL1.DateDisplayFormat = QString::fromLatin1(f);
    ZEL1.cnData.setDateDisplayFormat(ZEL1.DateDisplayFormat);
  }
  // The values of one column of a query, joined with blanks.
  QString column(const QString& sql, RecordSet::Cursor cursor = RecordSet::Cursor::ForwardOnly) {
    RecordSet rs(&ZEL1.cnData);
    rs.open(sql, cursor);
    QStringList out;
    for (; !rs.eof(); rs.moveNext()) out << rs.field(0).toString();
    return out.join(u' ');
  }
};

Money money(const char* text) { return *Money::parse(QString::fromLatin1(text)); }

// The stored and shown forms read and written without patterns agree with Qt's own for every day
// of four centuries; other forms still go through the pattern.
TEST(DateValue, StoredAndShownFormsAgreeWithQtsPatterns) {
  for (QDate d(1800, 1, 1); d.year() < 2200; d = d.addDays(1)) {
    bool hasTime = true;
    const QDateTime read = DateValue::fromIso(d.toString(Qt::ISODate), &hasTime);
    ASSERT_EQ(read, QDateTime(d, QTime(0, 0))) << d.toString().toStdString();
    ASSERT_FALSE(hasTime);
    ASSERT_EQ(DateValue::formatDisplay(d, QStringLiteral("dd-mm-yyyy")),
              d.toString(QStringLiteral("dd-MM-yyyy")));
    ASSERT_EQ(DateValue::formatDisplay(d, QStringLiteral("mm-dd-yyyy")),
              d.toString(QStringLiteral("MM-dd-yyyy")));
  }
  EXPECT_EQ(DateValue::formatDisplay(QDate(999, 1, 2), QStringLiteral("mm-dd-yyyy")), "01-02-0999");
  bool hasTime = false;
  EXPECT_EQ(DateValue::fromIso(QStringLiteral(" 2020-3-7 10:30"), &hasTime),
            QDateTime(QDate(2020, 3, 7), QTime(10, 30)));
  EXPECT_TRUE(hasTime);
  for (const char* bad : {"2020-02-30", "2020-13-01", "2020-0a-01", "0000-01-01", "2020/03/07"})
    EXPECT_FALSE(DateValue::fromIso(QString::fromLatin1(bad)).isValid()) << bad;
}

}  // namespace

ZEL_ON_BOTH_ENGINES(DialectTest);

TEST_P(DialectTest, DateLiteralsAreReadInTheDisplayOrder) {
  exec("insert into zel (csection, deathdate) values ('A', #03-04-2020#)");
  EXPECT_EQ(scalar("select deathdate from zel where csection='A'"), "2020-03-04");
  EXPECT_EQ(scalar("select csection from zel where deathdate=#3/4/2020#"), "A");
  EXPECT_EQ(scalar("select count(*) from zel where deathdate=#04-03-2020#"), "0");

  setDateFormat("dd-mm-yyyy");
  exec("insert into zel (csection, deathdate) values ('B', #03-04-2020#)");
  EXPECT_EQ(scalar("select deathdate from zel where csection='B'"), "2020-04-03");
  EXPECT_EQ(scalar("select csection from zel where deathdate=#04.03.2020#"), "A");
  EXPECT_EQ(column("select csection from zel where deathdate>=#01-04-2020# order by csection"), "B");
  // ISO text means the same in either order.
  EXPECT_EQ(scalar("select csection from zel where deathdate=#2020-03-04#"), "A");

  // A date that does not exist matches nothing rather than failing or matching some other day.
  EXPECT_EQ(scalar("select count(*) from zel where deathdate=#31-02-2020#"), "0");
  // "#" inside a quoted text is text.
  exec("insert into zel (csection, remarks) values ('C', 'Plot #5, row #2')");
  EXPECT_EQ(scalar("select remarks from zel where remarks like '%#5%'"), "Plot #5, row #2");
}

TEST_P(DialectTest, SelectTopLimitsTheOrderedRows) {
  for (const char* s : {"D", "B", "E", "A", "C"}) add({{"csection", s}, {"status", "B"}});
  EXPECT_EQ(column("select top 1 * from zel order by csection"),
            column("select recid from zel where csection='A'"));
  EXPECT_EQ(column("SELECT TOP 2 csection FROM zel WHERE status='B' ORDER BY csection DESC;"), "E D");
  EXPECT_EQ(column("select top 3 csection from zel order by csection", RecordSet::Cursor::Static), "A B C");
  EXPECT_EQ(column("select csection from zel where csection='select top 1' order by csection"), "");
}

TEST_P(DialectTest, TextComparesOrdersAndMatchesRegardlessOfCase) {
  add({{"csection", "b"}, {"ownerlastname", "Smith"}, {"status", "B"}});
  add({{"csection", "A"}, {"ownerlastname", "SMITHERS"}, {"status", "s"}});
  add({{"csection", "C"}, {"ownerlastname", "Asmith"}, {"status", "R"}});
  add({{"csection", "a2"}, {"ownerlastname", "O'Brien"}, {"status", " "}});

  EXPECT_EQ(column("select csection from zel where status='b'"), "b");
  EXPECT_EQ(column("select csection from zel where Status='S'"), "A");
  EXPECT_EQ(column("select csection from zel order by csection"), "A a2 b C");
  EXPECT_EQ(column("select csection from zel where csection>'B' order by cSection"), "C");
  EXPECT_EQ(column("select csection from zel where ownerlastname like 'smith%' order by csection"), "A b");
  EXPECT_EQ(column("select csection from zel where ownerlastname='smith'"), "b");
  EXPECT_EQ(column("select csection from zel where ownerlastname='" + Dialect::sqlQuote("o'brien") + "'"),
            "a2");
  EXPECT_EQ(column("select csection from zel where rtrim(status)>'' order by csection"), "A b C");

  // Every letter, not only A to Z: comparisons, LIKE (with its wildcards) and ordering.
  add({{"csection", "é1"}, {"interlastname", "Éloïse"}, {"status", "b"}});
  add({{"csection", "É2"}, {"interlastname", "MÜLLER"}});
  add({{"csection", "e3"}, {"interlastname", "Eloise"}});
  add({{"csection", "Ω4"}, {"interlastname", "100% Ωmega_"}});
  EXPECT_EQ(column("select csection from zel where interlastname like 'éloïse%'"), "é1");
  EXPECT_EQ(column("select csection from zel where interlastname like 'ÉLOÏSE%'"), "é1");
  EXPECT_EQ(column("select csection from zel where interlastname like 'müller'"), "É2");
  EXPECT_EQ(column("select csection from zel where interlastname='mÜller'"), "É2");
  EXPECT_EQ(column("select csection from zel where interlastname like '_lo_se' order by csection"), "e3 é1");
  EXPECT_EQ(column("select csection from zel where interlastname like '100\\%%ω%\\_' escape '\\'"), "Ω4");
  EXPECT_EQ(column("select csection from zel where interlastname like '100\\%x%' escape '\\'"), "");
  EXPECT_EQ(column("select csection from zel where csection>='e' and csection<'f' order by csection desc"),
            "e3");
  EXPECT_EQ(column("select csection from zel where csection like 'É%' order by csection"), "é1 É2");
  EXPECT_EQ(column("select csection from zel where status='B' order by csection"), "b é1");
}

TEST_P(DialectTest, PlacesSortByTheirNumbersAndNamesByLanguage) {
  for (const char* place : {"A,10", "a,2", "A,02b", "B", "A,1", "A,2a", "10", "9"})
    add({{"csection", place}});
  EXPECT_EQ(column("select csection from zel order by csection collate places"),
            "9 10 A,1 a,2 A,2a A,02b A,10 B");
  EXPECT_EQ(column("select csection from zel order by csection collate places desc"),
            "B A,10 A,02b A,2a a,2 A,1 10 9");
  exec("delete from zel");
  for (const char* name : {"Novak", "Négatif", "nay", "Nuñez", "Ngata"}) add({{"interlastname", name}});
  EXPECT_EQ(column("select interlastname from zel order by interlastname collate names"),
            "nay Négatif Ngata Novak Nuñez");

  // Plain names take a shorter way than the others: both ways give the language's own order.
  exec("delete from zel");
  QStringList names;
  for (const char* name :
       {"van Dyke", "Vance", "Mac Donald", "MacDonald", "Macy", "O Neil", "ONeil", "Oakes", "Smith 2",
        "Smith 10", "smith", "Smith", "Smíth", "Zoe", "Zoë", "Åberg", "Abbot"}) {
    add({{"interlastname", name}});
    names << QString::fromUtf8(name);
  }
  QCollator collator{QLocale::system().language() == QLocale::C ? QLocale(QLocale::English)
                                                                : QLocale::system()};
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  RecordSet rs(&ZEL1.cnData);
  rs.open(QStringLiteral("select interlastname from zel order by interlastname collate names"));
  QStringList sorted;
  for (; !rs.eof(); rs.moveNext()) sorted << rs.field(0).toString();
  ASSERT_EQ(sorted.size(), names.size());
  for (qsizetype i = 1; i < sorted.size(); ++i)
    EXPECT_LE(collator.compare(sorted[i - 1], sorted[i]), 0)
        << sorted[i - 1].toStdString() << " before " << sorted[i].toStdString();
}

TEST_P(DialectTest, BalanceConditionIsExactOnMoney) {
  auto owes = [&](const char* price, const char* fee, const char* paid) {
    exec("delete from zel");
    add({{"purchprice", money(price)}, {"burialfee", money(fee)}, {"amtpaid", money(paid)}});
    return scalar("select count(*) as cnt from zel where purchprice+burialfee<>amtpaid") == "1";
  };
  EXPECT_FALSE(owes("0.1", "0.2", "0.3"));
  EXPECT_FALSE(owes("8999999999.99", "0.01", "9000000000"));
  EXPECT_TRUE(owes("8999999999.99", "0.01", "8999999999.99"));
  EXPECT_TRUE(owes("250.75", "0", "250.70"));
  EXPECT_TRUE(owes("300", "0", "325"));  // overpaid is listed too
  EXPECT_TRUE(owes("0.0001", "0", "0"));
}

TEST_P(DialectTest, NullsSortFirstAndPatternsTakeBackslashesAsThemselves) {
  add({{"csection", "A"}, {"deathdate", QDate(2001, 1, 1)}, {"interlastname", "C:\\x y"}});
  add({{"csection", "B"}});
  add({{"csection", "C"}, {"deathdate", QDate(1999, 1, 1)}, {"interlastname", "C:xy"}});
  EXPECT_EQ(column("select csection from zel order by deathdate"), "B C A");
  EXPECT_EQ(column("select csection from zel order by deathdate desc, csection"), "A C B");
  EXPECT_EQ(column("select top 2 * from (select csection, deathdate from zel) order by deathdate"), "B C");
  EXPECT_EQ(column("select csection from zel where interlastname like 'c:\\x%'"), "A");
  EXPECT_EQ(column("select csection from zel where interlastname like 'c:\\\\x%'"), "");
  EXPECT_EQ(column("select csection from zel order by interlastname collate nocase desc, csection"), "C A B");
  EXPECT_EQ(column("select group_concat(recid) || '|' || group_concat(trim(csection || ' '), '; ') from zel"),
            "1,2,3|A; B; C");
}
