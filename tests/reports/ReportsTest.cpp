// The report builders on small databases: cells, alignments, widths, count lines and totals.
#include <gtest/gtest.h>

#include "core/program/Zel1.h"
#include "core/reports/Reports.h"
#include "support/Engines.h"
#include "support/TestData.h"

namespace {

using Report::Id;

const Report::Format kFormat{QLocale::c(), QStringLiteral("mm-dd-yyyy")};

// A grave record of cemetery 1 with the given columns; values are SQL literals.
void grave(const QString& columns, const QString& values) {
  exec(QStringLiteral("insert into zel (cemeteryid, %1) values (1, %2)").arg(columns, values));
}

void owes(const char* owner, const char* price, const char* fee, const char* paid, const QString& more = {},
          const QString& moreValues = {}) {
  grave(
      QStringLiteral("csection, lot, grave, ownerlastname, ownerfirstname, purchprice, burialfee, amtpaid") +
          more,
      QStringLiteral("' A ', '12', '3 ', '%1', 'John', %2, %3, %4")
              .arg(QLatin1String(owner), sqlMoney(price), sqlMoney(fee), sqlMoney(paid)) +
          moreValues);
}

// A row's cells from column 2 on, marked: ">" right-aligned, "^" centred, "*" bold.
QStringList cells(const Report::Row& row) {
  QStringList out;
  for (size_t i = 1; i < row.size(); ++i) {
    const Report::Cell& c = row[i];
    const char* align = c.align == Report::Align::Right ? ">" : c.align == Report::Align::Centre ? "^" : "";
    out << (c.bold ? QStringLiteral("*") : QString()) + QLatin1String(align) + c.text;
  }
  return out;
}

Report::Table build(Id id, const Report::Format& f = kFormat) {
  return Report::build(id, ZEL1.cnData, {1, QStringLiteral("Oak Hill")}, f);
}

// Each report on the file and on a server.
class Reports : public EngineTest {};
ZEL_ON_BOTH_ENGINES(Reports);

TEST_P(Reports, ReceivablesListOwingRecordsByOwnerWithBalancesAndTotal) {
  owes("Smith", "100", "50.5", "100", QStringLiteral(", interlastname, interfirstname, purchdate"),
       QStringLiteral(", ' Doe ', 'Jane', '2020-03-07'"));
  owes("Adams", "100", "0", "125");                                                            // overpaid
  owes("Brown", "0.40", "0", "0", QStringLiteral(", purchdate"), QStringLiteral(", 'soon'"));  // not a date
  owes("Carter", "100", "50", "150");                                                          // paid up
  grave(QStringLiteral("ownerlastname, purchprice, burialfee"),
        QStringLiteral("'Null', %1, 0").arg(sqlMoney("1")));  // paid Null
  owes("Other", "10", "0", "0");
  exec(QStringLiteral("update zel set cemeteryid=2 where ownerlastname='Other'"));
  owes("Dale", "100.004", "0", "100");  // owes less than a cent: nothing in the amounts shown

  const Report::Table t = build(Id::Receivables);
  EXPECT_EQ(t.title, "Outstanding Receivables for Oak Hill");
  EXPECT_EQ(t.rowHeightFactor, 2.5);
  ASSERT_EQ(t.count(), 3);
  EXPECT_EQ(cells(t.rows[0]),
            (QStringList{"A,12,3", "Adams, John\n, ", "", ">100.00", ">.00", ">125.00", ">-25.00"}));
  EXPECT_EQ(cells(t.rows[1]), (QStringList{"A,12,3", "Brown, John\n, ", "", ">.40", ">.00", ">.00", ">.40"}));
  EXPECT_EQ(cells(t.rows[2]), (QStringList{"A,12,3", "Smith, John\nDoe, Jane", "03-07-2020", ">100.00",
                                           ">50.50", ">100.00", ">50.50"}));
  EXPECT_EQ(t.rows[2][0].text, scalar(QStringLiteral("select recid from zel where ownerlastname='Smith'")));
  EXPECT_EQ(t.countRow(), 4);  // directly below the last record
  EXPECT_EQ(cells(t.countLine), (QStringList{"*Count: 3", "", "", "", "", "", "*>25.90"}));
  EXPECT_EQ(t.total, Money::parse(QStringLiteral("25.90")));

  // The system's decimal separator.
  const Report::Table german =
      build(Id::Receivables, {QLocale(QLocale::German, QLocale::Germany), QStringLiteral("dd-mm-yyyy")});
  EXPECT_EQ(cells(german.rows[0]).mid(3), (QStringList{">100,00", ">,00", ">125,00", ">-25,00"}));
  EXPECT_EQ(german.rows[2][3].text, "07-03-2020");
  EXPECT_EQ(german.countLine[7].text, "25,90");
}

TEST_P(Reports, ReceivablesTotalIsExactOverManySmallBalances) {
  exec(QStringLiteral("insert into zel (cemeteryid, ownerlastname, purchprice, burialfee, amtpaid) "
                      "with recursive n(i) as (select 1 union all select i + 1 from n where i < 10000) "
                      "select 1, 'Owner' || i, %1, 0, 0 from n")
           .arg(sqlMoney("0.10")));
  const Report::Table t = build(Id::Receivables);
  EXPECT_EQ(t.count(), 10000);
  EXPECT_EQ(t.total->scaled(), 1000 * Money::kScale);
  EXPECT_EQ(t.countLine[7].text, "1000.00");
}

TEST_P(Reports, EmptyReportsHoldOnlyTheCountLineBelowTheirGap) {
  grave(QStringLiteral("interlastname, purchprice, burialfee, amtpaid"), QStringLiteral("'', 0, 0, 0"));
  grave(QStringLiteral("interfirstname"), QStringLiteral("'Nameless'"));  // Null last name
  for (const auto& [id, row] : {std::pair{Id::Receivables, 1}, std::pair{Id::InterredByLocation, 2},
                                std::pair{Id::CemeteryList, 1}, std::pair{Id::LotList, 2}}) {
    const Report::Table t = build(id);
    EXPECT_EQ(t.count(), 0);
    EXPECT_EQ(t.countRow(), row) << int(id);
    EXPECT_EQ(t.countLine[1].text, "Count: 0");
    EXPECT_EQ(t.countLine.size(), t.columns.size());
  }
  EXPECT_EQ(build(Id::Receivables).countLine[7].text, ".00");
}

TEST_P(Reports, InterredListsListTheSameRecordsInFourOrders) {
  const QString cols =
      QStringLiteral("csection, lot, grave, interlastname, interfirstname, birthdate, deathdate, sex");
  grave(cols, QStringLiteral("'B', '2', '1', 'Zeller', 'Anna', '1921-03-07', '1970-01-02', 'F'"));
  grave(cols, QStringLiteral("'A', '10', '1', 'Abbot', '', '1950-06-30', 'unknown', 'M'"));
  // A name padded with a no-break space, a date with a time of day.
  grave(cols, QStringLiteral("'A', '9', '2', 'Miller\u00a0', 'Ed', '1949-06-23 10:30', '1980-05-05', ' '"));
  grave(cols, QStringLiteral("'C', '1', '1', '', 'Nobody', NULL, NULL, 'U'"));  // no interred last name
  exec(QStringLiteral("insert into zel (cemeteryid, interlastname) values (2, 'Elsewhere')"));

  // By name the dates are always month first; dates are right-aligned only where there is one.
  const Report::Format dayFirst{QLocale::c(), QStringLiteral("dd-mm-yyyy")};
  const Report::Table byName = build(Id::InterredByName, dayFirst);
  EXPECT_EQ(byName.title, "Interred List for Oak Hill");
  ASSERT_EQ(byName.count(), 3);
  EXPECT_EQ(cells(byName.rows[0]), (QStringList{"A,10,1", "Abbot, ", ">06-30-1950", "", "^M"}));
  EXPECT_EQ(cells(byName.rows[1]), (QStringList{"A,9,2", "Miller, Ed", ">06-23-1949", ">05-05-1980", "^ "}));
  EXPECT_EQ(cells(byName.rows[2]),
            (QStringList{"B,2,1", "Zeller, Anna", ">03-07-1921", ">01-02-1970", "^F"}));
  EXPECT_EQ(byName.countRow(), 5);  // one empty row between
  EXPECT_EQ(byName.countLine[1].text, "Count: 3");

  // The other orders write the program's date form. Places sort by their numbers: 9 before 10.
  auto locations = [&](Id id) {
    QStringList out;
    for (const Report::Row& r : build(id, dayFirst).rows) out << r[1].text + u' ' + r[3].text;
    return out;
  };
  EXPECT_EQ(locations(Id::InterredByLocation),
            (QStringList{"A,9,2 23-06-1949", "A,10,1 30-06-1950", "B,2,1 07-03-1921"}));
  EXPECT_EQ(locations(Id::InterredByDob),
            (QStringList{"B,2,1 07-03-1921", "A,9,2 23-06-1949", "A,10,1 30-06-1950"}));
  EXPECT_EQ(locations(Id::InterredByDod),
            (QStringList{"B,2,1 07-03-1921", "A,9,2 23-06-1949", "A,10,1 30-06-1950"}));
}

TEST_P(Reports, CemeteryListShowsAddressBlocksOfTwoAndThreeLines) {
  exec(
      QStringLiteral("insert into cemetery (name, addr1, addr2, city, state, zipcode, phone) values "
                     "('Oak Hill', '1 Main St', 'PO Box 4', 'Springfield', 'IL', '62701', '555-0100'), "
                     "('Elm Rest', '2 Elm Rd', '   ', 'Dayton', 'OH', '45402', NULL), "
                     "('Ash Field', 'Rural Route', NULL, NULL, NULL, NULL, '')"));
  const Report::Table t = build(Id::CemeteryList);
  EXPECT_EQ(t.title, "Cemetery List");
  ASSERT_EQ(t.count(), 3);
  EXPECT_EQ(cells(t.rows[0]), (QStringList{"Ash Field", "Rural Route\n,   ", ""}));
  EXPECT_EQ(cells(t.rows[1]), (QStringList{"Elm Rest", "2 Elm Rd\nDayton, OH  45402", ""}));
  EXPECT_EQ(cells(t.rows[2]),
            (QStringList{"Oak Hill", "1 Main St\nPO Box 4\nSpringfield, IL  62701", "555-0100"}));
  EXPECT_EQ(t.rows[2][0].text,
            scalar(QStringLiteral("select cemeteryid from cemetery where name='Oak Hill'")));
  EXPECT_EQ(t.countRow(), 4);
}

TEST_P(Reports, LotListShowsPricesInMoneyForm) {
  exec(QStringLiteral("insert into lots (lotdesc, lotsize, lotprice) values ('Single', '4x8', %1), "
                      "('Double', '8x8', %2), ('Single', '3x8', 0), ('Niche', NULL, NULL)")
           .arg(sqlMoney("1234.5"), sqlMoney("0.75")));
  const Report::Table t = build(Id::LotList);
  EXPECT_EQ(t.title, "Lot Type List");
  QStringList rows;
  for (const Report::Row& r : t.rows) rows << cells(r).join(u'|');
  EXPECT_EQ(rows, (QStringList{"Double|8x8|>.75", "Niche||", "Single|3x8|>.00", "Single|4x8|>1234.50"}));
  EXPECT_EQ(t.countRow(), 6);
}

TEST(ReportMoney, DotZeroZeroFormHasNoLeadingZeroBelowOne) {
  const std::pair<const char*, const char*> cases[] = {
      {"0.5", ".50"},          {"0", ".00"},        {"-12", "-12.00"}, {"-0.5", "-.50"},
      {"1234.567", "1234.57"}, {"10.005", "10.01"}, {"-0.004", ".00"}, {"1000000", "1000000.00"}};
  for (const auto& [amount, text] : cases)
    EXPECT_EQ(Report::moneyText(*Money::parse(QLatin1String(amount)), kFormat), QLatin1String(text))
        << amount;
}

}  // namespace
