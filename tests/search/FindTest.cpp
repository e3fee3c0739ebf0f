// The find dialog's query texts and what they find.
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "core/program/Zel1.h"
#include "gui/controls/DateEdit.h"
#include "gui/controls/MaskedEdit.h"
#include "gui/search/frmFind.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"
#include "support/TestFolder.h"
#include "support/WindowDriver.h"

class Find : public DataTest {
 protected:
  QString ok(frmFind& f) {
    child<QPushButton>(f, "Command1")->click();
    return ZEL1.PendingQuery;
  }
  static int count(const QString& sql) {
    RecordSet rs(&ZEL1.cnData);
    rs.open(sql, RecordSet::Cursor::Static);
    return rs.recordCount();
  }
};

TEST_F(Find, LoadsCemeteriesAndBuildsTheShowingTabsQuery) {
  exec(QStringLiteral("insert into cemetery (name) values ('Zion')"));
  exec(QStringLiteral("insert into cemetery (name) values ('Abbey')"));
  frmFind f;
  ASSERT_EQ(child<QComboBox>(f, "txtCemetery")->count(), 2);
  EXPECT_EQ(child<QComboBox>(f, "txtCemetery")->itemText(0), QStringLiteral("Abbey"));
  EXPECT_EQ(child<QComboBox>(f, "txtCemetery")->currentIndex(), -1);

  // Location: cemetery 1 (Zion) and grave 12; a section typed elsewhere does not count.
  child<QComboBox>(f, "txtCemetery")->setCurrentIndex(1);
  QTest::keyClicks(child<QLineEdit>(f, "txtGrave"), QStringLiteral("12"));
  QTest::keyClicks(child<QLineEdit>(f, "txtInterredLastName"), QStringLiteral("Smith"));
  EXPECT_EQ(f.buildQuery(), QStringLiteral("select * from zel where cemeteryid=1 and grave='12'"));
  child<QLineEdit>(f, "txtGrave")->clear();
  QTest::keyClicks(child<QLineEdit>(f, "txtSection"), QStringLiteral("B'2"));
  QTest::keyClicks(child<QLineEdit>(f, "txtLot"), QStringLiteral("7"));
  EXPECT_EQ(f.buildQuery(),
            QStringLiteral("select * from zel where cemeteryid=1 and csection='B''2' and lot='7'"));

  // Interred: only this tab's fields.
  child<QTabWidget>(f, "Tab1")->setCurrentIndex(1);
  child<QLineEdit>(f, "txtInterredLastName")->setText(QStringLiteral("O'Neil"));
  QTest::keyClicks(child<QLineEdit>(f, "txtIntermentNum"), QStringLiteral("0"));
  QTest::keyClicks(child<QLineEdit>(f, "txtIntermentDate"),
                   QStringLiteral("1922"));  // not a date: not filled
  QTest::keyClicks(child<QLineEdit>(f, "txtDateOfDeath"), QStringLiteral("3/4/1950"));
  QTest::keyClicks(child<QLineEdit>(f, "txtInterredFirstName"), QStringLiteral("Jo"));
  EXPECT_EQ(f.buildQuery(),
            QStringLiteral(
                "select * from zel where internum=0 and interfirstname like 'Jo%' and interlastname like "
                "'O''Neil%' and substr(deathdate,1,10)=#03-04-1950#"));

  // Purchaser.
  child<QTabWidget>(f, "Tab1")->setCurrentIndex(2);
  QTest::keyClicks(child<QLineEdit>(f, "txtDeedPage"), QStringLiteral("12b"));
  QTest::keyClicks(child<QLineEdit>(f, "txtCertificateNum"), QStringLiteral("X'1"));
  QTest::keyClicks(child<QLineEdit>(f, "txtPurchaserFirstName"), QStringLiteral("a"));
  EXPECT_EQ(f.buildQuery(),
            QStringLiteral("select * from zel where ownerfirstname like 'a%' and deedpage=12 and "
                           "certnum='X''1'"));
  child<QLineEdit>(f, "txtPurchaserFirstName")->clear();
  child<QLineEdit>(f, "txtDeedPage")->clear();
  child<QLineEdit>(f, "txtCertificateNum")->clear();
  EXPECT_EQ(ok(f), QStringLiteral("select * from zel where "));

  // Cancel leaves nothing pending.
  frmFind g;
  child<QPushButton>(g, "Command2")->click();
  EXPECT_TRUE(ZEL1.PendingQuery.isEmpty());
}

TEST_F(Find, QueriesFindTheRightRowsWhateverTheCaseQuotesAndDateOrder) {
  exec(
      QStringLiteral("insert into zel (interlastname, ownerlastname, csection, deathdate) "
                     "values ('O''Neil', 'Mc''Kay', 'B''2', '1950-04-03')"));
  exec(
      QStringLiteral("insert into zel (interlastname, ownerlastname, csection, deathdate) "
                     "values ('Olsen', 'Moore', 'B', '1950-03-04 00:00:00')"));
  frmFind f;
  child<QTabWidget>(f, "Tab1")->setCurrentIndex(1);
  QTest::keyClicks(child<QLineEdit>(f, "txtInterredLastName"), QStringLiteral("o"));
  EXPECT_EQ(count(f.buildQuery()), 2);  // a prefix of one letter, any case
  child<QLineEdit>(f, "txtInterredLastName")->setText(QStringLiteral("o'"));
  EXPECT_EQ(count(f.buildQuery()), 1);
  child<QLineEdit>(f, "txtInterredLastName")->clear();
  QTest::keyClicks(child<QLineEdit>(f, "txtDateOfDeath"), QStringLiteral("04-03-1950"));
  EXPECT_EQ(count(f.buildQuery()), 1);
  child<QTabWidget>(f, "Tab1")->setCurrentIndex(0);
  QTest::keyClicks(child<QLineEdit>(f, "txtSection"), QStringLiteral("b'2"));
  EXPECT_EQ(count(f.buildQuery()), 1);
  child<QTabWidget>(f, "Tab1")->setCurrentIndex(2);
  QTest::keyClicks(child<QLineEdit>(f, "txtPurchaserLastName"), QStringLiteral("MC'"));
  EXPECT_EQ(count(f.buildQuery()), 1);

  // With the day-first pattern the same text is 4 March.
  ZEL1.DateDisplayFormat = QStringLiteral("dd-mm-yyyy");
  ZEL1.cnData.setDateDisplayFormat(ZEL1.DateDisplayFormat);
  frmFind d;
  child<QTabWidget>(d, "Tab1")->setCurrentIndex(1);
  QTest::keyClicks(child<QLineEdit>(d, "txtDateOfDeath"), QStringLiteral("04-03-1950"));
  const QString q = d.buildQuery();
  EXPECT_EQ(q, QStringLiteral("select * from zel where substr(deathdate,1,10)=#04-03-1950#"));
  RecordSet rs(&ZEL1.cnData);
  rs.open(q);
  ASSERT_FALSE(rs.eof());
  EXPECT_EQ(rs.field(QStringLiteral("interlastname")).toString(), QStringLiteral("Olsen"))
      << "a date stored with a time of day is found by its day";
}
