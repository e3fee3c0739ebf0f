#include <QLineEdit>
#include <QPlainTextEdit>

#include "core/program/Zel1.h"
#include "gui/cemeteries/frmCemeteryMgr.h"
#include "support/ScriptedMessages.h"
#include "support/TestFolder.h"
#include "support/WindowDriver.h"

namespace {

const QString kSaveFirst = QStringLiteral("Do you want to save your changes first?");
const QString kNoName = QStringLiteral("You cannot save a cemetery with no name.");
const QString kInUse = QStringLiteral(
    "You cannot delete the cemetery you selected because graves have been assigned to it. You must first "
    "change or remove the graves associated with this cemetery before deletion.");

class CemeteryMgrTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    ZEL1.ManagerChanged = true;  // the window starts clean whatever was left before
  }
  void TearDown() override {
    window.reset();
    DataTest::TearDown();
  }
  QString row(const QString& columns, const QString& where) {
    return scalar(QStringLiteral("select %1 from cemetery where %2").arg(columns, where));
  }
  // The window over the rows inserted so far, shown.
  frmCemeteryMgr& open() {
    window = std::make_unique<frmCemeteryMgr>();
    window->show();
    return *window;
  }

  ScriptedMessages msgs;
  std::unique_ptr<frmCemeteryMgr> window;
};

TEST_F(CemeteryMgrTest, CreateOpenChangeAndDeleteThroughTheWindow) {
  exec("insert into cemetery (name) values ('Beech Hill')");
  frmCemeteryMgr& w = open();
  EXPECT_FALSE(ZEL1.ManagerChanged);
  EXPECT_EQ(listTexts(w.ui().List1), QStringList{"Beech Hill"});
  EXPECT_EQ(selectedRow(w.ui().List1), -1);

  // A new cemetery: leading blanks, a quote, a comma and letters beyond ASCII are stored as typed.
  QTest::keyClicks(w.fields().txtName, "  O'Brien, ");
  w.fields().txtName->insert(QStringLiteral("Łódź Église"));
  QTest::keyClicks(w.fields().txtAddr1, "12 Kirk's Lane");
  QTest::keyClicks(w.fields().txtCity, "Ashford");
  QTest::keyClicks(w.fields().txtState, "NYX");  // two characters at most
  QTest::keyClicks(w.fields().txtZipCode, "12345-6789");
  QTest::keyClicks(w.fields().txtPhone, "555-0100");
  QTest::keyClicks(w.fields().txtRemarks, "Gate locks at dusk; key at \"office\"");
  EXPECT_TRUE(ZEL1.ManagerChanged);
  press(w, "Command2");

  const QString name = QStringLiteral("  O'Brien, Łódź Église");
  EXPECT_EQ(scalar("select count(*) from cemetery"), "2");
  const QString id = row("cemeteryid", "addr1='12 Kirk''s Lane'");
  // Empty texts are stored as empty texts, not Null.
  EXPECT_EQ(
      row("name || '|' || state || '|' || zipcode || '|' || addr2 || '|' || remarks", "cemeteryid=" + id),
      name + "|NY|12345-6789||Gate locks at dusk; key at \"office\"");

  // After Save the fields are empty, nothing is selected and the list holds the new name.
  for (const QLineEdit* e : w.findChildren<QLineEdit*>())
    EXPECT_EQ(e->text(), "") << e->objectName().toStdString();
  EXPECT_EQ(w.fields().txtRemarks->toPlainText(), "");
  EXPECT_EQ(selectedRow(w.ui().List1), -1);
  EXPECT_FALSE(ZEL1.ManagerChanged);
  EXPECT_EQ(listTexts(w.ui().List1), (QStringList{name, "Beech Hill"}));

  // Open it again: shown trimmed, with its id.
  doubleClickRow(w.ui().List1, 0);
  EXPECT_EQ(w.fields().txtCemeteryID->text(), id);
  EXPECT_EQ(w.fields().txtName->text(), name.trimmed());
  EXPECT_EQ(w.fields().txtCity->text(), "Ashford");
  EXPECT_FALSE(ZEL1.ManagerChanged);
  EXPECT_EQ(w.focusWidget(), w.fields().txtName);

  // Change it in place: the same row, now holding the trimmed name and the new city.
  w.fields().txtCity->clear();
  QTest::keyClicks(w.fields().txtCity, "Ashford, Kent");
  press(w, "Command2");
  EXPECT_EQ(scalar("select count(*) from cemetery"), "2");
  EXPECT_EQ(row("city", "cemeteryid=" + id), "Ashford, Kent");
  EXPECT_EQ(row("name", "cemeteryid=" + id), name.trimmed());
  EXPECT_EQ(w.fields().txtCemeteryID->text(), "");
  EXPECT_EQ(selectedRow(w.ui().List1), -1);

  // Delete it: the question names the entry; No keeps it, Yes removes only its row.
  EXPECT_EQ(listTexts(w.ui().List1), (QStringList{"Beech Hill", name.trimmed()}));
  clickRow(w.ui().List1, 1);
  msgs.expectQuestion("Do you want to delete the following cemetery?\n\n" + name.trimmed(),
                      MessageService::Answer::No, true);
  rightPress(w.ui().List1, 1);
  EXPECT_EQ(scalar("select count(*) from cemetery"), "2");
  msgs.expectQuestion("*", MessageService::Answer::Yes, true);
  rightPress(w.ui().List1, 1);
  EXPECT_EQ(scalar("select count(*) from cemetery where cemeteryid=" + id), "0");
  EXPECT_EQ(listTexts(w.ui().List1), QStringList{"Beech Hill"});
  EXPECT_EQ(selectedRow(w.ui().List1), -1);
  // Each step is in the change history, the removal with the last contents.
  EXPECT_EQ(scalar("select group_concat(kind || ':' || field, ',') from (select * from history where "
                   "tablename='cemetery' and recid=" +
                   id + " order by id)"),
            "cemetery added:,cemetery changed:name,cemetery changed:city,cemetery removed:");
  EXPECT_TRUE(scalar("select detail from history where kind='cemetery removed'").contains("Ashford, Kent"));
}

TEST_F(CemeteryMgrTest, GravesKeepACemeteryAndStrayClicksDoNothing) {
  exec("insert into cemetery (name) values ('Alder Row')");
  exec("insert into cemetery (name) values ('Birch Vale')");
  const QString used = scalar("select cemeteryid from cemetery where name='Birch Vale'");
  exec("insert into zel (cemeteryid, csection, lot, grave, status) values (" + used +
       ", 'A', '1', '1', ' ')");

  frmCemeteryMgr& w = open();

  // Right button with nothing selected, and a left press: nothing asked, nothing deleted.
  rightPress(w.ui().List1, 1);
  EXPECT_EQ(selectedRow(w.ui().List1), -1);
  clickRow(w.ui().List1, 1);
  EXPECT_EQ(selectedRow(w.ui().List1), 1);

  // The press acts on the selected entry, not on the one under the pointer, and keeps the selection.
  msgs.expectInfo(kInUse);
  rightPress(w.ui().List1, 0);
  EXPECT_EQ(selectedRow(w.ui().List1), 1);
  EXPECT_EQ(scalar("select count(*) from cemetery"), "2");
}

TEST_F(CemeteryMgrTest, NameOfBlanksIsRefusedAndTheEditsStay) {
  frmCemeteryMgr& w = open();
  QTest::keyClicks(w.fields().txtName, "   ");
  QTest::keyClicks(w.fields().txtCity, "Dover");
  msgs.expectInfo(kNoName);
  press(w, "Command2");
  EXPECT_EQ(scalar("select count(*) from cemetery"), "0");
  EXPECT_TRUE(ZEL1.ManagerChanged);
  EXPECT_EQ(w.fields().txtCity->text(), "Dover");

  // Close, answering Yes: the refused Save keeps the window open with its edits.
  msgs.expectQuestion(kSaveFirst, MessageService::Answer::Yes, true);
  msgs.expectInfo(kNoName);
  press(w, "Command1");
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.fields().txtCity->text(), "Dover");

  // Cancel stays with the edits.
  msgs.expectQuestion(kSaveFirst, MessageService::Answer::Cancel, true);
  press(w, "Command1");
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.fields().txtCity->text(), "Dover");

  // Answering No closes without saving.
  msgs.expectQuestion(kSaveFirst, MessageService::Answer::No, true);
  press(w, "Command1");
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(scalar("select count(*) from cemetery"), "0");
}

TEST_F(CemeteryMgrTest, UnsavedEditsAreAskedAboutOnNewAndClose) {
  frmCemeteryMgr& w = open();

  // New with no edits asks nothing.
  press(w, "Command4");
  QTest::keyClicks(w.fields().txtName, "Cedar Knoll");
  msgs.expectQuestion(kSaveFirst, MessageService::Answer::No, true);
  press(w, "Command4");
  EXPECT_EQ(w.fields().txtName->text(), "");
  EXPECT_FALSE(ZEL1.ManagerChanged);
  EXPECT_EQ(scalar("select count(*) from cemetery"), "0");

  QTest::keyClicks(w.fields().txtName, "Cedar Knoll");
  msgs.expectQuestion(kSaveFirst, MessageService::Answer::Yes, true);
  press(w, "Command4");
  EXPECT_EQ(scalar("select name from cemetery"), "Cedar Knoll");
  EXPECT_EQ(w.fields().txtName->text(), "");

  // The window's own close (title bar, Escape) asks too.
  QTest::keyClicks(w.fields().txtRemarks, "new gate");
  msgs.expectQuestion(kSaveFirst, MessageService::Answer::Yes, true);
  msgs.expectInfo(kNoName);
  w.close();
  EXPECT_TRUE(w.isVisible());
  QTest::keyClicks(w.fields().txtName, "Dogwood");
  msgs.expectQuestion(kSaveFirst, MessageService::Answer::Yes, true);
  w.close();
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(scalar("select remarks from cemetery where name='Dogwood'"), "new gate");
}

TEST_F(CemeteryMgrTest, OpenEntryAfterSavingLoadsTheEntryDoubleClicked) {
  exec("insert into cemetery (name, city) values ('Maple', 'Leeds')");
  exec("insert into cemetery (name, city) values ('Oak', 'York')");
  const QString oak = scalar("select cemeteryid from cemetery where name='Oak'");
  frmCemeteryMgr& w = open();

  // "Aspen" sorts before "Oak", so saving it shifts the rows of the list.
  QTest::keyClicks(w.fields().txtName, "Aspen");
  msgs.expectQuestion(kSaveFirst, MessageService::Answer::Yes, true);
  doubleClickRow(w.ui().List1, 1);
  EXPECT_EQ(scalar("select count(*) from cemetery where name='Aspen'"), "1");
  EXPECT_EQ(w.fields().txtCemeteryID->text(), oak);
  EXPECT_EQ(w.fields().txtName->text(), "Oak");
  EXPECT_EQ(w.fields().txtCity->text(), "York");
  EXPECT_EQ(w.ui().List1->currentItem()->text(), "Oak");
  EXPECT_FALSE(ZEL1.ManagerChanged);

  // Answering No loads the other entry and drops the edits.
  w.fields().txtCity->setText("Hull");
  msgs.expectQuestion(kSaveFirst, MessageService::Answer::No, true);
  doubleClickRow(w.ui().List1, 1);
  EXPECT_EQ(w.fields().txtName->text(), "Maple");
  EXPECT_EQ(scalar("select city from cemetery where name='Oak'"), "York");
}

TEST_F(CemeteryMgrTest, NullColumnsSameNamesAndLongRemarks) {
  exec("insert into cemetery (name) values ('Twin')");
  exec("insert into cemetery (name, city, remarks) values ('Twin', 'Second', '  spaced  ')");
  const QString second = scalar("select cemeteryid from cemetery where city='Second'");
  frmCemeteryMgr& w = open();
  ASSERT_EQ(w.ui().List1->count(), 2);

  // Entries with equal names are told apart by their ids.
  const int row = w.ui().List1->item(0)->data(Qt::UserRole).toString() == second ? 0 : 1;
  doubleClickRow(w.ui().List1, 1 - row);
  EXPECT_EQ(w.fields().txtCity->text(), "");  // Null columns load empty
  EXPECT_EQ(w.fields().txtRemarks->toPlainText(), "");
  doubleClickRow(w.ui().List1, row);
  EXPECT_EQ(w.fields().txtCemeteryID->text(), second);
  EXPECT_EQ(w.fields().txtCity->text(), "Second");
  EXPECT_EQ(w.fields().txtRemarks->toPlainText(), "spaced");

  // Remarks: typing stops at 255 characters, a longer stored remark still loads whole.
  w.fields().txtRemarks->insertPlainText(QString(300, u'r'));
  EXPECT_EQ(w.fields().txtRemarks->toPlainText().size(), 255);
  exec("update cemetery set remarks='" + QString(400, u'x') + "' where cemeteryid=" + second);
  msgs.expectQuestion(kSaveFirst, MessageService::Answer::No);
  doubleClickRow(w.ui().List1, row);
  EXPECT_EQ(w.fields().txtRemarks->toPlainText().size(), 400);
}

TEST_F(CemeteryMgrTest, DeletingTheEntryBeingEditedDropsItsEdits) {
  exec("insert into cemetery (name) values ('Rowan')");
  frmCemeteryMgr& w = open();
  doubleClickRow(w.ui().List1, 0);
  QTest::keyClicks(w.fields().txtCity, "Bath");
  msgs.expectQuestion("Do you want to delete the following cemetery?\n\nRowan", MessageService::Answer::Yes);
  rightPress(w.ui().List1, 0);
  EXPECT_EQ(scalar("select count(*) from cemetery"), "0");
  EXPECT_EQ(w.fields().txtName->text(), "");
  EXPECT_FALSE(ZEL1.ManagerChanged);
}

}  // namespace
