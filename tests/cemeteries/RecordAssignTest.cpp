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
  // Saved unchanged, changed but closed, changed and saved.
  for (const auto& [edit, save] : {std::pair{false, true}, {true, false}, {true, true}}) {
    msgs.expectModal("frmAddress", [edit = edit, save = save](QDialog& d) {
      auto& w = static_cast<frmAddress&>(d);
      if (edit) w.txtPhone->setText("518-555-0199");
      save ? w.Command1Click() : w.Command2Click();
      return d.result();
    });
    EXPECT_EQ(cemeteries::Command3Click(addr), edit && save);
    EXPECT_EQ(addr.phone, edit && save ? "518-555-0199" : "");
    EXPECT_EQ(ZEL1.RecordChanged, edit && save);
  }
  EXPECT_EQ(addr.city, "Troy");
}

}  // namespace
