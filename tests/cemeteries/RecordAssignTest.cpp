#include <QComboBox>

#include "core/program/Zel1.h"
#include "gui/cemeteries/RecordAssign.h"
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

// The managers opened from the record form and the lists rebuilt after them: tests/integration.
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
}

TEST_F(RecordAssignTest, AddressButtonMarksTheRecordOnlyWhenSaveChangedIt) {
  OwnerAddress addr{"1 Elm", "", "Troy", "NY", "12180", ""};
  ScriptedMessages msgs;
  ZEL1.RecordChanged = false;
  // Saved unchanged, changed but closed, changed and saved.
  for (const auto& [edit, save] : {std::pair{false, true}, {true, false}, {true, true}}) {
    msgs.expectModal("frmAddress", [edit = edit, save = save](QDialog& d) {
      auto& w = static_cast<frmAddress&>(d);
      if (edit) w.ui().txtPhone->setText("518-555-0199");
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
