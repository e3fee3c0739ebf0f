// The report builders on small databases: cells, alignments, widths, count lines and totals.
#include <gtest/gtest.h>

#include "program/Zel1.h"
#include "reports/Reports.h"
#include "support/TestFolder.h"

namespace {

using Report::Align;
using Report::Id;

const Report::Format kFormat{QLocale::c(), QStringLiteral("mm-dd-yyyy")};

QString money(const char* text) { return QString::number(Money::parse(QLatin1String(text))->scaled()); }

// A grave record of cemetery 1 (or another) with the given columns; values are SQL literals.
void grave(const QString& columns, const QString& values, int cemetery = 1) {
  exec(QStringLiteral("insert into zel (cemeteryid, %1) values (%2, %3)")
           .arg(columns)
           .arg(cemetery)
           .arg(values));
}

void owes(const char* owner, const char* price, const char* fee, const char* paid, const QString& more = {},
          const QString& moreValues = {}) {
  grave(
      QStringLiteral("csection, lot, grave, ownerlastname, ownerfirstname, purchprice, burialfee, amtpaid") +
          more,
      QStringLiteral("' A ', '12', '3 ', '%1', 'John', %2, %3, %4")
              .arg(QLatin1String(owner), money(price), money(fee), money(paid)) +
          moreValues);
}

QStringList texts(const Report::Row& row) {
  QStringList out;
  for (const Report::Cell& c : row) out << c.text;
  return out;
}

QList<Align> aligns(const Report::Row& row) {
  QList<Align> out;
  for (const Report::Cell& c : row) out << c.align;
  return out;
}

Report::Table build(Id id, const QString& cemeteryName = QStringLiteral("Oak Hill"),
                    const Report::Format& f = kFormat) {
  return Report::build(id, ZEL1.cnData, {1, cemeteryName}, f);
}

class Reports : public DataTest {};

TEST_F(Reports, ReceivablesListOwingRecordsByOwnerWithBalancesAndTotal) {
  owes("Smith", "100", "50.5", "100", QStringLiteral(", interlastname, interfirstname, purchdate"),
       QStringLiteral(", ' Doe ', 'Jane', '2020-03-07'"));
  owes("Adams", "100", "0", "125");                                                            // overpaid
  owes("Brown", "0.40", "0", "0", QStringLiteral(", purchdate"), QStringLiteral(", 'soon'"));  // not a date
  owes("Carter", "100", "50", "150");                                                          // paid up
  grave(QStringLiteral("ownerlastname, purchprice, burialfee"),
        QStringLiteral("'Null', %1, 0").arg(money("10")));  // amount paid Null
  owes("Other", "10", "0", "0");
  exec(QStringLiteral("update zel set cemeteryid=2 where ownerlastname='Other'"));

  const Report::Table t = build(Id::Receivables);
  EXPECT_EQ(t.title, "Outstanding Receivables for Oak Hill");
  QStringList headers;
  QList<Align> headerAligns;
  QList<double> widths;
  for (const Report::Column& c : t.columns) {
    headers << c.header;
    headerAligns << c.headerAlign;
    widths << c.width.value_or(-1);
  }
  EXPECT_EQ(headers, (QStringList{"Rec ID", "Location", "Purchaser/Interred", "Purch Date", "Purch Price",
                                  "Burial Fee", "Amt Paid", "Total Due"}));
  const QList<Align> L{Align::Left, Align::Left, Align::Left, Align::Left};
  const QList<Align> R{Align::Right, Align::Right, Align::Right, Align::Right};
  EXPECT_EQ(headerAligns, L + R);
  EXPECT_EQ(widths, (QList<double>{0, 12, 23, 10, 10, 10, 10, 10}));  // Rec ID hidden
  EXPECT_EQ(t.rowHeightFactor, 2.5);
  EXPECT_EQ(t.gap, 1);

  ASSERT_EQ(t.count(), 3);
  EXPECT_EQ(texts(t.rows[0]).mid(1),
            (QStringList{"A,12,3", "Adams, John\n, ", "", "100.00", ".00", "125.00", "-25.00"}));
  EXPECT_EQ(texts(t.rows[1]).mid(1),
            (QStringList{"A,12,3", "Brown, John\n, ", "", ".40", ".00", ".00", ".40"}));
  EXPECT_EQ(texts(t.rows[2]).mid(1), (QStringList{"A,12,3", "Smith, John\nDoe, Jane", "03-07-2020", "100.00",
                                                  "50.50", "100.00", "50.50"}));
  EXPECT_EQ(t.rows[2][0].text, scalar(QStringLiteral("select recid from zel where ownerlastname='Smith'")));
  EXPECT_EQ(aligns(t.rows[2]), L + R);

  EXPECT_EQ(t.countRow(), 4);
  EXPECT_EQ(texts(t.countLine), (QStringList{"", "Count: 3", "", "", "", "", "", "25.90"}));
  EXPECT_TRUE(t.countLine[1].bold);
  EXPECT_TRUE(t.countLine[7].bold);
  EXPECT_EQ(t.countLine[7].align, Align::Right);
  EXPECT_EQ(t.total, Money::parse(QStringLiteral("25.90")));

  // The system's decimal separator.
  const Report::Table german =
      build(Id::Receivables, QStringLiteral("Oak Hill"),
            {QLocale(QLocale::German, QLocale::Germany), QStringLiteral("dd-mm-yyyy")});
  EXPECT_EQ(texts(german.rows[0]).mid(4), (QStringList{"100,00", ",00", "125,00", "-25,00"}));
  EXPECT_EQ(german.rows[2][3].text, "07-03-2020");
  EXPECT_EQ(german.countLine[7].text, "25,90");
}

TEST_F(Reports, ReceivablesTotalIsExactOverManySmallBalances) {
  exec(QStringLiteral("insert into zel (cemeteryid, ownerlastname, purchprice, burialfee, amtpaid) "
                      "with recursive n(i) as (select 1 union all select i + 1 from n where i < 10000) "
                      "select 1, 'Owner' || i, %1, 0, 0 from n")
           .arg(money("0.10")));
  const Report::Table t = build(Id::Receivables);
  EXPECT_EQ(t.count(), 10000);
  EXPECT_EQ(t.total->scaled(), 1000 * Money::kScale);
  EXPECT_EQ(t.countLine[7].text, "1000.00");
}

TEST_F(Reports, EmptyReportsHoldOnlyTheCountLineBelowTheirGap) {
  exec(QStringLiteral("insert into cemetery (name) values ('Oak Hill')"));
  grave(QStringLiteral("interlastname, purchprice, burialfee, amtpaid"), QStringLiteral("'', 0, 0, 0"));
  grave(QStringLiteral("interfirstname"), QStringLiteral("'Nameless'"));  // Null last name
  exec(QStringLiteral("delete from cemetery"));

  const struct {
    Id id;
    int countRow;
  } cases[] = {{Id::Receivables, 1}, {Id::InterredByLocation, 2}, {Id::CemeteryList, 1}, {Id::LotList, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.id));
    const Report::Table t = build(c.id);
    EXPECT_EQ(t.count(), 0);
    EXPECT_EQ(t.countRow(), c.countRow);
    EXPECT_EQ(t.countLine[1].text, "Count: 0");
    EXPECT_EQ(t.countLine.size(), t.columns.size());
  }
  EXPECT_EQ(build(Id::Receivables).countLine[7].text, ".00");
  EXPECT_FALSE(build(Id::LotList).total.has_value());
}

TEST_F(Reports, InterredListsListTheSameRecordsInFourOrders) {
  const QString cols =
      QStringLiteral("csection, lot, grave, interlastname, interfirstname, birthdate, deathdate, sex");
  grave(cols, QStringLiteral("'B', '2', '1', 'Zeller', 'Anna', '1921-03-07', '1990-01-02', 'F'"));
  grave(cols, QStringLiteral("'A', '10', '1', 'Abbot', '', '1950-06-30', 'unknown', 'M'"));
  grave(cols, QStringLiteral("'A', '9', '2', 'Miller', 'Ed', NULL, '1980-05-05', ' '"));
  grave(cols, QStringLiteral("'C', '1', '1', '', 'Nobody', NULL, NULL, 'U'"));  // no interred last name
  grave(cols, QStringLiteral("'C', '1', '2', 'Other', 'Place', NULL, NULL, 'U'"), 2);

  const Report::Format dayFirst{QLocale::c(), QStringLiteral("dd-mm-yyyy")};
  const Report::Table byName = build(Id::InterredByName, QStringLiteral("Oak Hill"), dayFirst);
  EXPECT_EQ(byName.title, "Interred List for Oak Hill");
  QStringList headers;
  for (const Report::Column& c : byName.columns)
    headers << c.header + u'/' + QString::number(c.width.value_or(-1));
  EXPECT_EQ(headers, (QStringList{"Rec ID/-1", "Location/15", "Name/30", "DOB/12", "DOD/12", "Sex/7"}));
  EXPECT_EQ(byName.columns[3].headerAlign, Align::Right);
  EXPECT_EQ(byName.columns[5].headerAlign, Align::Centre);
  EXPECT_EQ(byName.gap, 2);
  EXPECT_EQ(byName.rowHeightFactor, 0);

  // By name the dates are always month first; the other orders use the program's date form.
  ASSERT_EQ(byName.count(), 3);
  EXPECT_EQ(texts(byName.rows[0]).mid(1), (QStringList{"A,10,1", "Abbot, ", "06-30-1950", "", "M"}));
  EXPECT_EQ(texts(byName.rows[1]).mid(1), (QStringList{"A,9,2", "Miller, Ed", "", "05-05-1980", " "}));
  EXPECT_EQ(texts(byName.rows[2]).mid(1),
            (QStringList{"B,2,1", "Zeller, Anna", "03-07-1921", "01-02-1990", "F"}));
  // Dates are right-aligned only where there is one; sex is centred.
  EXPECT_EQ(aligns(byName.rows[0]),
            (QList<Align>{Align::Left, Align::Left, Align::Left, Align::Right, Align::Left, Align::Centre}));
  EXPECT_EQ(byName.countRow(), 5);
  EXPECT_EQ(byName.countLine[1].text, "Count: 3");

  auto locations = [&](Id id) {
    QStringList out;
    for (const Report::Row& r : build(id, QStringLiteral("Oak Hill"), dayFirst).rows) out << r[1].text;
    return out;
  };
  // Location order compares the text columns: "10" before "9".
  EXPECT_EQ(locations(Id::InterredByLocation), (QStringList{"A,10,1", "A,9,2", "B,2,1"}));
  EXPECT_EQ(locations(Id::InterredByDob), (QStringList{"A,9,2", "B,2,1", "A,10,1"}));  // Null first
  EXPECT_EQ(locations(Id::InterredByDod), (QStringList{"A,9,2", "B,2,1", "A,10,1"}));  // text sorts last
  EXPECT_EQ(build(Id::InterredByDob, QStringLiteral("Oak Hill"), dayFirst).rows[1][3].text, "07-03-1921");
}

TEST_F(Reports, CemeteryListShowsAddressBlocksOfTwoAndThreeLines) {
  exec(
      QStringLiteral("insert into cemetery (name, addr1, addr2, city, state, zipcode, phone) values "
                     "('Oak Hill', '1 Main St', 'PO Box 4', 'Springfield', 'IL', '62701', '555-0100'), "
                     "('Elm Rest', '2 Elm Rd', '   ', 'Dayton', 'OH', '45402', NULL), "
                     "('Ash Field', 'Rural Route', NULL, NULL, NULL, NULL, '')"));
  const Report::Table t = build(Id::CemeteryList);
  EXPECT_EQ(t.title, "Cemetery List");
  EXPECT_EQ(t.rowHeightFactor, 3);
  EXPECT_EQ(t.gap, 1);
  ASSERT_EQ(t.count(), 3);
  EXPECT_EQ(texts(t.rows[0]).mid(1), (QStringList{"Ash Field", "Rural Route\n,   ", ""}));
  EXPECT_EQ(texts(t.rows[1]).mid(1), (QStringList{"Elm Rest", "2 Elm Rd\nDayton, OH  45402", ""}));
  EXPECT_EQ(texts(t.rows[2]).mid(1),
            (QStringList{"Oak Hill", "1 Main St\nPO Box 4\nSpringfield, IL  62701", "555-0100"}));
  EXPECT_EQ(t.rows[2][0].text,
            scalar(QStringLiteral("select cemeteryid from cemetery where name='Oak Hill'")));
  EXPECT_EQ(t.countRow(), 4);
  EXPECT_EQ(t.countLine[1].text, "Count: 3");
}

TEST_F(Reports, LotListShowsPricesInMoneyForm) {
  exec(QStringLiteral(
           "insert into lots (lotdesc, lotsize, lotprice) values "
           "('Single', '4x8', %1), ('Double', '8x8', %2), ('Single', '3x8', 0), ('Niche', NULL, NULL)")
           .arg(money("1234.5"), money("0.75")));
  const Report::Table t = build(Id::LotList);
  EXPECT_EQ(t.title, "Lot Type List");
  EXPECT_EQ(t.columns[3].header, "Lot Price");
  EXPECT_EQ(t.columns[3].headerAlign, Align::Right);
  ASSERT_EQ(t.count(), 4);
  QStringList rows;
  for (const Report::Row& r : t.rows) rows << texts(r).mid(1).join(u'|');
  EXPECT_EQ(rows, (QStringList{"Double|8x8|.75", "Niche||", "Single|3x8|.00", "Single|4x8|1234.50"}));
  EXPECT_EQ(t.rows[0][3].align, Align::Right);
  EXPECT_EQ(t.countRow(), 6);
}

TEST(ReportMoney, DotZeroZeroFormHasNoLeadingZeroBelowOne) {
  const struct {
    const char* amount;
    const char* text;
  } cases[] = {{"0.5", ".50"},          {"0", ".00"},        {"-12", "-12.00"}, {"-0.5", "-.50"},
               {"1234.567", "1234.57"}, {"10.005", "10.01"}, {"-0.004", ".00"}, {"1000000", "1000000.00"}};
  for (const auto& c : cases)
    EXPECT_EQ(Report::moneyText(*Money::parse(QLatin1String(c.amount)), kFormat), QLatin1String(c.text))
        << c.amount;
}

}  // namespace
