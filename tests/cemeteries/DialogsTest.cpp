#include <QDialogButtonBox>
#include <QLineEdit>
#include <QTest>

#include "core/program/Zel1.h"
#include "gui/cemeteries/RecordAssign.h"
#include "gui/cemeteries/frmAddress.h"
#include "gui/cemeteries/frmCemeterySelect.h"
#include "support/ScriptedMessages.h"
#include "support/TestFolder.h"
#include "support/WindowDriver.h"

namespace {

using ChooserTest = DataTest;

TEST_F(ChooserTest, EnterOkOrDoubleClickChoosesAndAnyOtherCloseChoosesNothing) {
  ScriptedMessages msgs;
  // Nothing to choose: a message, not an empty box.
  msgs.expectInfo(QString::fromLatin1(kNothingToChoose));
  EXPECT_FALSE(frmCemeterySelect::choose());

  exec("insert into cemetery (name) values ('Willow')");
  exec("insert into cemetery (name) values ('ash grove')");
  exec("insert into cemetery (name) values ('Elm')");
  const QString elm = scalar("select cemeteryid from cemetery where name='Elm'");
  const QString willow = scalar("select cemeteryid from cemetery where name='Willow'");

  // By keyboard: the list has the focus and the first entry; Down, Enter chooses.
  msgs.expectModal("frmCemeterySelect", [&](QDialog& d) {
    auto& w = static_cast<frmCemeterySelect&>(d);
    EXPECT_EQ(listTexts(w.List1), (QStringList{"ash grove", "Elm", "Willow"}));
    w.activateWindow();
    EXPECT_EQ(w.focusWidget(), w.List1);
    QTest::keyClick(w.List1, Qt::Key_Down);
    EXPECT_EQ(ZEL1.CurrentCemeteryId, 0);  // moving chooses nothing
    QTest::keyClick(w.List1, Qt::Key_Return);
    EXPECT_FALSE(w.isVisible());
    return w.result();
  });
  EXPECT_TRUE(frmCemeterySelect::choose());
  EXPECT_EQ(QString::number(ZEL1.CurrentCemeteryId), elm);
  EXPECT_EQ(ZEL1.CurrentCemeteryName, "Elm");

  // A double-click on an entry.
  msgs.expectModal("frmCemeterySelect", [&](QDialog& d) {
    auto& w = static_cast<frmCemeterySelect&>(d);
    clickRow(w.List1, 2);
    EXPECT_EQ(ZEL1.CurrentCemeteryId, 0);  // a single click chooses nothing
    doubleClickRow(w.List1, 2);
    return w.result();
  });
  EXPECT_TRUE(frmCemeterySelect::choose());
  EXPECT_EQ(QString::number(ZEL1.CurrentCemeteryId), willow);

  // Escape, Cancel or the close box: id back to 0, the name of the last choice stays.
  const std::function<void(frmCemeterySelect&)> closes[] = {
      [](frmCemeterySelect& w) { QTest::keyClick(w.List1, Qt::Key_Escape); },
      [](frmCemeterySelect& w) { w.Buttons->button(QDialogButtonBox::Cancel)->click(); },
      [](frmCemeterySelect& w) { w.close(); },
  };
  for (const auto& close : closes) {
    msgs.expectModal("frmCemeterySelect", [&](QDialog& d) {
      auto& w = static_cast<frmCemeterySelect&>(d);
      clickRow(w.List1, 1);
      close(w);
      EXPECT_FALSE(w.isVisible());
      return w.result();
    });
    EXPECT_FALSE(frmCemeterySelect::choose());
    EXPECT_EQ(ZEL1.CurrentCemeteryId, 0);
    EXPECT_EQ(ZEL1.CurrentCemeteryName, "Willow");
  }
}

TEST(AddressTest, SaveHandsTheTextsBackCloseDiscardsAndLimitsApplyToTypingOnly) {
  const OwnerAddress before{"1 Main St", "Apt 2", "Springfield", "IL", "62701", "555-1234"};
  ScriptedMessages msgs;
  msgs.expectModal("frmAddress", [](QDialog& d) {
    auto& w = static_cast<frmAddress&>(d);
    EXPECT_EQ(w.ui().txtCity->text(), "Springfield");
    EXPECT_EQ(w.ui().txtPhone->text(), "555-1234");
    w.ui().txtAddr1->clear();
    QTest::keyClicks(w.ui().txtAddr1, "14 O'Neil Rd, Unit 3");
    w.ui().txtCity->clear();
    w.ui().txtCity->insert(QStringLiteral("Zürich"));
    press(w, "Command1");
    return w.result();
  });
  std::optional<OwnerAddress> saved = frmAddress::edit(before);
  ASSERT_TRUE(saved);
  EXPECT_EQ(*saved, (OwnerAddress{"14 O'Neil Rd, Unit 3", "Apt 2", QStringLiteral("Zürich"), "IL", "62701",
                                  "555-1234"}));

  msgs.expectModal("frmAddress", [](QDialog& d) {
    auto& w = static_cast<frmAddress&>(d);
    w.ui().txtAddr2->setText("changed");
    press(w, "Command2");
    return w.result();
  });
  EXPECT_FALSE(frmAddress::edit(before));

  // All fields emptied and saved: the record form's six texts become empty.
  msgs.expectModal("frmAddress", [](QDialog& d) {
    for (QLineEdit* e : d.findChildren<QLineEdit*>()) e->clear();
    static_cast<frmAddress&>(d).Command1Click();
    return d.result();
  });
  EXPECT_EQ(frmAddress::edit(before), OwnerAddress{});

  // Limits apply to typing, but stored texts stay whole.
  const QString longCity = QStringLiteral("Llanfairpwllgwyngyll-on-Sea");  // longer than the 20 typed
  msgs.expectModal("frmAddress", [&](QDialog& d) {
    auto& w = static_cast<frmAddress&>(d);
    EXPECT_EQ(w.ui().txtCity->text(), longCity);
    QTest::keyClicks(w.ui().txtState, "TXX");
    w.Command1Click();
    return w.result();
  });
  saved = frmAddress::edit(OwnerAddress{"", "", longCity, "", "", ""});
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->city, longCity);
  EXPECT_EQ(saved->state, "TX");
}

}  // namespace
