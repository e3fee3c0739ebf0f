// The change history in the windows: the record form's History and Removed Records, the managers'
// History, the erasure in the owner address dialog, all on a real database file.
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTableWidget>

#include "RecordFormFixture.h"
#include "core/history/History.h"
#include "gui/cemeteries/frmAddress.h"
#include "gui/cemeteries/frmCemeteryMgr.h"
#include "gui/cemeteries/frmLotMgr.h"
#include "gui/history/frmHistory.h"
#include "gui/history/frmRemovedRecords.h"

namespace {

qint64 save(const char* table, qint64 id, Fields fields) { return saveRow(ZEL1.cnData, table, id, fields); }

// A history list's rows as texts, each "field|old|new" with the user and computer checked.
QStringList rows(const QTableWidget* list, int from = 3) {
  QStringList out;
  for (int r = 0; r < list->rowCount(); ++r) {
    QStringList cells;
    for (int c = from; c < list->columnCount(); ++c) cells << list->item(r, c)->text();
    out << cells.join(u'|');
  }
  return out;
}

// Records what a history list showed and closes it.
std::function<int(QDialog&)> readHistory(QString& title, QStringList& shown) {
  return [&title, &shown](QDialog& d) {
    auto& w = static_cast<frmHistory&>(d);
    title = w.windowTitle();
    shown = rows(w.List1);
    for (int r = 0; r < w.List1->rowCount(); ++r) {
      EXPECT_EQ(w.List1->item(r, 1)->text(), "clerk");
      EXPECT_EQ(w.List1->item(r, 2)->text(), "office-pc");
      // Local time, the date as the form writes dates.
      EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d:\\d\\d$"))
                      .match(w.List1->item(r, 0)->text())
                      .hasMatch())
          << w.List1->item(r, 0)->text().toStdString();
    }
    w.Command1->click();
    return w.result();
  };
}

class HistoryWindows : public RecordForm {
 protected:
  void SetUp() override {
    RecordForm::SetUp();
    History::setIdentityForTesting(QStringLiteral("clerk"), QStringLiteral("office-pc"));
    cemetery = addCemetery(QStringLiteral("Oak Hill"));
    lot = addLot(QStringLiteral("Single"), QStringLiteral("'4x8'"), QStringLiteral("100"));
  }
  void TearDown() override {
    History::setIdentityForTesting({}, {});
    RecordForm::TearDown();
  }
  qint64 grave(const char* section, Fields more = {}) {
    const qint64 id =
        save("zel", 0,
             {{"cemeteryid", cemetery}, {"lotid", lot}, {"csection", section}, {"lot", "1"}, {"grave", "1"}});
    if (more.size()) save("zel", id, more);
    return id;
  }
  void showRecord(qint64 id) {
    ZEL1.PendingQuery = QStringLiteral("select * from zel where recid=%1").arg(id);
    form->FormActivate();
    ASSERT_EQ(form->ui().txtRecordNum->text(), QString::number(id));
  }
  qint64 cemetery = 0, lot = 0;
};

}  // namespace

TEST_F(HistoryWindows, RecordHistoryIsNewestFirstWithCaptionsAndTheFormsFormats) {
  const qint64 other = addLot(QStringLiteral("Double"), QStringLiteral("'8x8'"), QStringLiteral("200"));
  const qint64 id = grave("A", {{"ownerlastname", "Byrne"}});
  save("zel", id,
       {{"ownerlastname", "Walsh"},
        {"purchprice", Value(Money::fromUnits(1500) + Money::fromScaled(5000))},
        {"purchdate", QDate(2020, 3, 1)},
        {"lotid", other}});
  open();
  // A record never saved has none.
  msgs->expectInfo(QStringLiteral("This record has not been saved yet, so it has no history."));
  form->ui().mnuHistory->trigger();

  showRecord(id);
  QString title;
  QStringList shown;
  msgs->expectModal(QStringLiteral("frmHistory"), readHistory(title, shown));
  QTest::keyClick(form->ui().txtSection, Qt::Key_H, Qt::ControlModifier);
  EXPECT_EQ(title, QStringLiteral("History of Record %1").arg(id));
  ASSERT_EQ(shown.size(), 6);
  // One save's fields in any order, then the save before it, then the adding.
  QStringList lastSave = shown.mid(0, 4);
  lastSave.sort();
  EXPECT_EQ(lastSave, (QStringList{"Lot Information|Single, 4x8|Double, 8x8", "Purchase Date||03-01-2020",
                                   "Purchase Price||1,500.50", "Purchaser Last Name|Byrne|Walsh"}));
  EXPECT_EQ(shown[4], "Purchaser Last Name||Byrne");
  EXPECT_TRUE(shown[5].startsWith("Record added||")) << shown[5].toStdString();
  EXPECT_TRUE(shown[5].contains("Section: A")) << shown[5].toStdString();
}

TEST_F(HistoryWindows, RemovedRecordsAreFoundByPlaceOrNameAndPutBackAsNewRecords) {
  const qint64 buried = grave("A", {{"interlastname", "O'Neil"}, {"interdate", QDate(2001, 3, 18)}});
  const qint64 sold = grave("B", {{"ownerlastname", "Walsh"}});
  History::removeRow(ZEL1.cnData, QStringLiteral("zel"), buried);
  History::removeRow(ZEL1.cnData, QStringLiteral("zel"), sold);
  const qint64 taker = grave("B");  // the sold grave's place is taken again
  open();
  type(form->ui().txtRemarks, QStringLiteral("unsaved"));

  msgs->expectQuestion(QStringLiteral("Would you like to save your changes first?"),
                       MessageService::Answer::No, true);
  msgs->expectModal(QStringLiteral("frmRemovedRecords"), [&](QDialog& d) {
    auto& w = static_cast<frmRemovedRecords&>(d);
    EXPECT_EQ(w.List1->rowCount(), 2);
    type(w.txtFind, QStringLiteral("walsh"));
    EXPECT_EQ(rows(w.List1, 2), QStringList{QStringLiteral("%1|B / 1 / 1|Walsh").arg(sold)});
    // Its place is taken: refused with the record holding it, and the window stays.
    msgs->expectInfo(
        QStringLiteral("Record %1 holds the place B / 1 / 1 now: the removed record cannot be put "
                       "back there.")
            .arg(taker));
    press(w, "Command1");
    EXPECT_TRUE(w.isVisible());
    type(w.txtFind, QStringLiteral("o'ne"));
    EXPECT_EQ(w.List1->rowCount(), 1);
    EXPECT_TRUE(w.txtContents->toPlainText().contains("Interred Last Name: O'Neil\n"));
    EXPECT_TRUE(w.txtContents->toPlainText().contains("Interment Date: 03-18-2001"));
    type(w.txtFind, QStringLiteral("nobody"));
    EXPECT_EQ(w.List1->rowCount(), 0);
    EXPECT_FALSE(w.Command1->isEnabled());
    type(w.txtFind, QStringLiteral("O'NEIL"));
    press(w, "Command1");
    return w.result();
  });
  form->ui().mnuRemoved->trigger();

  // The record is back under a new number, on the form, and its history says where it came from.
  const QString back = form->ui().txtRecordNum->text();
  EXPECT_NE(back.toLongLong(), buried);
  EXPECT_EQ(form->ui().txtInterredLastName->text(), "O'Neil");
  EXPECT_EQ(form->ui().txtIntermentDate->text(), "03-18-2001");
  EXPECT_FALSE(ZEL1.RecordChanged);
  const auto entries = History::ofRecord(ZEL1.cnData, back.toLongLong());
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.front().kind, History::Kind::RecordAdded);
  EXPECT_EQ(scalar("select count(*) from zel"), "2");
}

// A record an emptying import removed is told and put back as one removed alone.
TEST_F(HistoryWindows, ARecordRemovedByAnEmptyingImportIsPutBack) {
  const qint64 id = grave("C", {{"interlastname", "Quinn"}, {"purchprice", "250"}});
  History::removeAllRecords(ZEL1.cnData);
  frmRemovedRecords removed;
  type(removed.txtFind, QStringLiteral("quinn"));
  ASSERT_EQ(rows(removed.List1, 2), QStringList{QStringLiteral("%1|C / 1 / 1|Quinn").arg(id)});
  EXPECT_TRUE(removed.txtContents->toPlainText().contains("Purchase Price: 250.00"));
  press(removed, "Command1");
  EXPECT_GT(removed.putBackRecord(), id);
  EXPECT_EQ(scalar(QStringLiteral("select interlastname || purchprice from zel")), "Quinn2500000");
}

TEST_F(HistoryWindows, ManagersShowTheirEntryOrTheirWholeTable) {
  save("cemetery", cemetery, {{"city", "Ashford"}});
  save("lots", lot, {{"lotprice", Value(Money::fromUnits(1975) + Money::fromScaled(5000))}});
  ZEL1.ManagerChanged = false;
  QString title;
  QStringList shown;
  {
    frmCemeteryMgr w;
    w.show();
    msgs->expectModal(QStringLiteral("frmHistory"), readHistory(title, shown));
    press(w, "cmdHistory");  // nothing chosen: every cemetery
    EXPECT_EQ(title, "History of Cemeteries");
    EXPECT_EQ(shown, QStringList{"City||Ashford"});  // made before the history saw it
    doubleClickRow(w.ui().List1, 0);
    msgs->expectModal(QStringLiteral("frmHistory"), readHistory(title, shown));
    press(w, "cmdHistory");
    EXPECT_EQ(title, "History of Oak Hill");
    EXPECT_EQ(shown, QStringList{"City||Ashford"});
  }
  frmLotMgr w;
  w.show();
  clickRow(w.ui().List1, 0);
  msgs->expectModal(QStringLiteral("frmHistory"), readHistory(title, shown));
  press(w, "cmdHistory");
  EXPECT_EQ(title, "History of Single");
  EXPECT_EQ(shown, QStringList{"Price|100.00|1,975.50"});
}

TEST_F(HistoryWindows, EraseAsksFirstAndLeavesTheFormsOtherEditsAlone) {
  const qint64 id =
      grave("A", {{"ownerlastname", "Byrne"}, {"owneraddress1", "1 Elm St"}, {"ownerphone", "555-0100"}});
  save("zel", id, {{"owneraddress1", "2 Oak Rd"}});
  open();
  // A new record has nothing stored to erase.
  msgs->expectModal(QStringLiteral("frmAddress"), [](QDialog& d) {
    EXPECT_FALSE(static_cast<frmAddress&>(d).ui().cmdErase->isEnabled());
    return int(QDialog::Rejected);
  });
  form->ui().Command3->click();

  showRecord(id);
  type(form->ui().txtRemarks, QStringLiteral("kept"));
  const QString question = QStringLiteral(
      "This replaces the purchaser's stored address and phone, in this record and in all of its history, by "
      "a "
      "note of who erased them and when. It cannot be undone.\n\nDo you want to erase them?");
  msgs->expectModal(QStringLiteral("frmAddress"), [&](QDialog& d) {
    auto& w = static_cast<frmAddress&>(d);
    msgs->expectQuestion(question, MessageService::Answer::No, true);
    press(w, "cmdErase");
    EXPECT_EQ(scalar(QStringLiteral("select owneraddress1 from zel where recid=%1").arg(id)), "2 Oak Rd");
    msgs->expectQuestion(question, MessageService::Answer::Yes, true);
    press(w, "cmdErase");
    return w.result();
  });
  form->ui().Command3->click();

  const QString erased = History::erasedText(QDateTime::currentDateTimeUtc().date(), QStringLiteral("clerk"));
  EXPECT_EQ(form->ui().txtAddr1->text(), erased);
  EXPECT_EQ(form->ui().txtPhone->text(), erased);
  EXPECT_EQ(form->ui().txtPurchaserLastName->text(), "Byrne");
  EXPECT_EQ(form->ui().txtRemarks->text(), "kept");
  EXPECT_TRUE(ZEL1.RecordChanged);
  // A save now writes the remark alone: the erased values are what is stored.
  form->mnuSaveClick();
  EXPECT_EQ(scalar(QStringLiteral("select owneraddress1 || '|' || remarks from zel where recid=%1").arg(id)),
            erased + "|kept");
  for (const History::Entry& e : History::ofRecord(ZEL1.cnData, id))
    EXPECT_FALSE((e.oldValue + e.newValue + e.detail).contains("Elm")) << e.detail.toStdString();
  EXPECT_TRUE(History::verify(ZEL1.cnData).ok);
}

TEST_F(HistoryWindows, TheWindowsFitAnEightHundredBySixHundredScreen) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  ASSERT_LE(screen.width(), 800);
  const QString longText(300, u'W');
  const qint64 id = grave("A", {{"remarks", longText.left(80)}, {"ownerlastname", longText.left(30)}});
  History::removeRow(ZEL1.cnData, QStringLiteral("zel"), id);
  std::vector<HistoryLine> lines(40, HistoryLine{"01-02-2024 10:11:12", longText.left(40), longText.left(40),
                                                 "Purchaser Last Name", longText, longText});
  frmHistory history(QStringLiteral("History"), lines);
  frmRemovedRecords removed;
  frmAddress address(OwnerAddress{longText.left(50), {}, {}, {}, {}, {}}, nullptr, id);
  frmCemeteryMgr cemeteries;
  for (QDialog* d : std::initializer_list<QDialog*>{&history, &removed, &address, &cemeteries}) {
    d->show();
    QApplication::processEvents();
    const std::string name = d->objectName().toStdString();
    EXPECT_TRUE(screen.contains(d->geometry())) << name;
    EXPECT_GE(d->width(), d->minimumSizeHint().width()) << name;
    EXPECT_GE(d->height(), d->minimumSizeHint().height()) << name;
    for (QPushButton* b : d->findChildren<QPushButton*>())
      EXPECT_TRUE(d->rect().contains(QRect(b->mapTo(d, QPoint()), b->size())))
          << name << " " << b->objectName().toStdString();
  }
}
