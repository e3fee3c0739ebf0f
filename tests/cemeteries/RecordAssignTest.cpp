#include <QComboBox>
#include <QLineEdit>

#include "cemeteries/RecordAssign.h"
#include "cemeteries/frmCemeteryMgr.h"
#include "cemeteries/frmLotMgr.h"
#include "program/Zel1.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"
#include "support/TestFolder.h"
#include "support/WindowDriver.h"

namespace {

QStringList comboTexts(const QComboBox& c) {
  QStringList out;
  for (int i = 0; i < c.count(); ++i) out << c.itemText(i);
  return out;
}

using RecordAssignTest = DataTest;

TEST_F(RecordAssignTest, CemeteryModifyRebuildsBothListsWithNothingSelected) {
  exec("insert into cemetery (name) values ('Poplar')");
  QComboBox txtCemetery, Combo1;
  cemeteries::fillCemeteryLists(&txtCemetery, &Combo1);
  txtCemetery.setCurrentIndex(0);
  Combo1.setCurrentIndex(0);

  ScriptedMessages msgs;
  msgs.expectModal("frmCemeteryMgr", [](QDialog& d) {
    auto& w = static_cast<frmCemeteryMgr&>(d);
    QTest::keyClicks(w.txtName, "Hawthorn's Rest");
    press(w, "Command2");
    press(w, "Command1");
    return w.result();
  });
  cemeteries::openCemeteryManager();
  cemeteries::fillCemeteryLists(&txtCemetery, &Combo1);

  for (QComboBox* c : {&txtCemetery, &Combo1}) {
    EXPECT_EQ(comboTexts(*c), (QStringList{"Hawthorn's Rest", "Poplar"}));
    EXPECT_EQ(c->currentIndex(), -1);
    EXPECT_EQ(QString::number(c->itemData(0).toInt()),
              scalar("select cemeteryid from cemetery where name='Hawthorn''s Rest'"));
  }
}

TEST_F(RecordAssignTest, LotListsAndThePriceOfAChosenLotType) {
  exec(QStringLiteral("insert into lots (lotdesc, lotsize, lotprice) values ('Double  ', ' 8x10 ', %1)")
           .arg(sqlMoney("1.2345")));
  exec("insert into lots (lotdesc, lotsize, lotprice) values ('Baby', null, null)");
  QComboBox txtLotInfo;
  cemeteries::fillLotTypeList(&txtLotInfo);
  EXPECT_EQ(comboTexts(txtLotInfo), (QStringList{"Baby, ", "Double, 8x10"}));
  EXPECT_EQ(txtLotInfo.currentIndex(), -1);

  // A click with nothing selected marks the record changed and gives no price.
  ZEL1.RecordChanged = false;
  EXPECT_FALSE(cemeteries::txtLotInfoClick(&txtLotInfo));
  EXPECT_TRUE(ZEL1.RecordChanged);

  txtLotInfo.setCurrentIndex(1);
  std::optional<Money> price = cemeteries::txtLotInfoClick(&txtLotInfo);
  ASSERT_TRUE(price);
  EXPECT_EQ(price->scaled(), 12345);  // exact, all four decimals
  txtLotInfo.setCurrentIndex(0);
  EXPECT_FALSE(cemeteries::txtLotInfoClick(&txtLotInfo));  // no price stored: the typed price stays

  // A lot type deleted since the list was built leaves the purchase price alone.
  exec("delete from lots where lotdesc='Baby'");
  EXPECT_FALSE(cemeteries::txtLotInfoClick(&txtLotInfo));

  ScriptedMessages msgs;
  msgs.expectModal("frmLotMgr", [](QDialog& d) {
    auto& w = static_cast<frmLotMgr&>(d);
    QTest::keyClicks(w.txtLotDesc, "Urn");
    QTest::keyClicks(w.txtLotSize, "1x1");
    press(w, "Command2");
    press(w, "Command1");
    return w.result();
  });
  cemeteries::openLotManager();
  cemeteries::fillLotTypeList(&txtLotInfo);
  EXPECT_EQ(comboTexts(txtLotInfo), (QStringList{"Double, 8x10", "Urn, 1x1"}));
  EXPECT_EQ(txtLotInfo.currentIndex(), -1);
}

TEST_F(RecordAssignTest, AddressButtonMarksTheRecordOnlyWhenSaveChangedIt) {
  OwnerAddress addr{"1 Elm", "", "Troy", "NY", "12180", ""};
  ScriptedMessages msgs;
  ZEL1.RecordChanged = false;

  msgs.expectModal("frmAddress", [](QDialog& d) {
    static_cast<frmAddress&>(d).Command1Click();  // saved unchanged
    return d.result();
  });
  EXPECT_FALSE(cemeteries::Command3Click(addr));
  EXPECT_FALSE(ZEL1.RecordChanged);

  msgs.expectModal("frmAddress", [](QDialog& d) {
    auto& w = static_cast<frmAddress&>(d);
    w.txtPhone->setText("518-555-0199");
    w.Command2Click();  // closed: discarded
    return d.result();
  });
  EXPECT_FALSE(cemeteries::Command3Click(addr));
  EXPECT_EQ(addr.phone, "");
  EXPECT_FALSE(ZEL1.RecordChanged);

  msgs.expectModal("frmAddress", [](QDialog& d) {
    auto& w = static_cast<frmAddress&>(d);
    w.txtPhone->setText("518-555-0199");
    w.Command1Click();
    return d.result();
  });
  EXPECT_TRUE(cemeteries::Command3Click(addr));
  EXPECT_EQ(addr.phone, "518-555-0199");
  EXPECT_EQ(addr.city, "Troy");
  EXPECT_TRUE(ZEL1.RecordChanged);
}

TEST_F(RecordAssignTest, MapCommandSettlesTheCemetery) {
  ScriptedMessages msgs;
  msgs.expectInfo(
      "No cemeteries exist. You must first create cemeteries and them build a map for it in order to use "
      "this "
      "feature.");
  EXPECT_FALSE(cemeteries::settleMapCemetery());

  exec("insert into cemetery (name) values ('Only One')");
  EXPECT_TRUE(cemeteries::settleMapCemetery());  // no chooser with a single cemetery
  EXPECT_EQ(QString::number(ZEL1.CurrentCemeteryId), scalar("select cemeteryid from cemetery"));

  exec("insert into cemetery (name) values ('Another')");
  msgs.expectModal("frmCemeterySelect", [](QDialog& d) {
    d.reject();
    return d.result();
  });
  EXPECT_FALSE(cemeteries::settleMapCemetery());
  EXPECT_EQ(ZEL1.CurrentCemeteryId, 0);
}

}  // namespace
