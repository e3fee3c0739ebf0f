// Stepping through records, the save question, finding and closing.
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "RecordFormFixture.h"
#include "gui/controls/MaskedEdit.h"
#include "gui/search/frmFind.h"

namespace {
const QString kSaveFirst = QStringLiteral("Would you like to save your changes first?");
}

class Navigation : public RecordFormOf<EngineTest> {
 protected:
  void SetUp() override {
    RecordFormOf::SetUp();
    oak = addCemetery(QStringLiteral("Oakwood"));
    maple = addCemetery(QStringLiteral("Maple"));
    addLot(QStringLiteral("Single"), QStringLiteral("NULL"), QStringLiteral("NULL"));
    // Location order takes numbers by value: lot 9 before lot 10.
    row(oak, "A", "9", "1", "Zeller", "1950-01-01");
    row(maple, "A", "10", "1", "Adams", "1940-01-01");
    row(oak, "B", "1", "1", "Moore", NULL);
    open();
  }
  static void row(qint64 cem, const char* section, const char* lot, const char* grave, const char* name,
                  const char* death) {
    exec(QStringLiteral("insert into zel (cemeteryid, csection, lot, grave, lotid, interlastname, deathdate) "
                        "values (%1, '%2', '%3', '%4', 1, '%5', %6)")
             .arg(cem)
             .arg(QLatin1String(section), QLatin1String(lot), QLatin1String(grave), QString::fromUtf8(name),
                  death ? QStringLiteral("'%1'").arg(QLatin1String(death)) : QStringLiteral("NULL")));
  }
  QString name() const { return form->ui().txtInterredLastName->text(); }
  static void key(QWidget* w, Qt::Key k) { QTest::keyClick(w, k); }

  qint64 oak = 0, maple = 0;
};
ZEL_ON_BOTH_ENGINES(Navigation);

TEST_P(Navigation, KeysStepThroughInTheChosenOrderWhicheverFieldHasFocus) {
  key(form->ui().txtRemarks, Qt::Key_Home);
  EXPECT_EQ(name(), QStringLiteral("Zeller"));
  key(form->ui().txtDateOfBirth, Qt::Key_PageDown);
  EXPECT_EQ(name(), QStringLiteral("Adams"));
  key(form->ui().txtCemetery, Qt::Key_PageDown);
  EXPECT_EQ(name(), QStringLiteral("Moore"));
  key(form->ui().txtSection, Qt::Key_PageDown);  // past the end: nothing happens
  EXPECT_EQ(name(), QStringLiteral("Moore"));
  key(form->ui().txtSection, Qt::Key_PageUp);
  EXPECT_EQ(name(), QStringLiteral("Adams"));
  key(form->ui().txtSection, Qt::Key_End);
  EXPECT_EQ(name(), QStringLiteral("Moore"));

  // Names in the language's order: an accented letter sorts with its plain one.
  row(oak, "C", "1", "1", "Négatif", NULL);
  row(oak, "C", "1", "2", "Novak", NULL);
  form->ui().Option2->setChecked(true);
  form->ui().mnuGetLast->trigger();
  EXPECT_EQ(name(), QStringLiteral("Zeller"));
  form->ui().mnuGetPrev->trigger();
  EXPECT_EQ(name(), QStringLiteral("Novak"));
  form->ui().mnuGetPrev->trigger();
  EXPECT_EQ(name(), QStringLiteral("Négatif"));
  exec(QStringLiteral("delete from zel where csection='C'"));
  form->ui().mnuGetFirst->trigger();
  EXPECT_EQ(name(), QStringLiteral("Adams"));
  form->ui().Option4->setChecked(true);  // by death date: the empty one first
  form->Toolbar1ButtonClick(QStringLiteral("Last"));
  EXPECT_EQ(name(), QStringLiteral("Zeller"));

  // One cemetery only.
  form->ui().Option1->setChecked(true);
  form->ui().Check1->setChecked(true);
  msgs->expectInfo(
      QStringLiteral("You have chosen to search the database for a specific cemetery but have chosen no "
                     "cemetery from the drop-down box."));
  form->mnuGetFirstClick();
  EXPECT_EQ(name(), QStringLiteral("Zeller"));
  form->ui().Combo1->setCurrentIndex(form->ui().Combo1->findText(QStringLiteral("Oakwood")));
  form->mnuGetFirstClick();
  EXPECT_EQ(name(), QStringLiteral("Zeller"));
  form->mnuGetNextClick();
  EXPECT_EQ(name(), QStringLiteral("Moore"));
  form->mnuGetNextClick();
  EXPECT_EQ(name(), QStringLiteral("Moore"));

  // A cemetery without records keeps the shown record.
  exec(QStringLiteral("insert into cemetery (name) values ('Empty')"));
  form->loadCemeteryLists();
  form->ui().Combo1->setCurrentIndex(form->ui().Combo1->findText(QStringLiteral("Empty")));
  form->mnuGetLastClick();
  EXPECT_EQ(name(), QStringLiteral("Moore"));
  EXPECT_FALSE(form->ui().txtRecordNum->text().isEmpty());
}

TEST_P(Navigation, NextAndPrevDoNothingBeforeASetIsOpen) {
  form->mnuGetNextClick();
  form->mnuGetPrevClick();
  EXPECT_TRUE(form->ui().txtRecordNum->text().isEmpty());
}

TEST_P(Navigation, ChangedRecordAsksBeforeMovingAndClosing) {
  form->mnuGetLastClick();
  type(form->ui().txtRemarks, QStringLiteral("edited"));
  // At the end: the question comes first, No keeps the edits on the form.
  msgs->expectQuestion(kSaveFirst, MessageService::Answer::No, true);
  key(form->ui().txtRemarks, Qt::Key_PageDown);
  EXPECT_EQ(form->ui().txtRemarks->text(), QStringLiteral("edited"));
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel where remarks='edited'")), QStringLiteral("0"));

  // Yes saves, then moves.
  msgs->expectQuestion(kSaveFirst, MessageService::Answer::Yes, true);
  key(form->ui().txtRemarks, Qt::Key_PageUp);
  EXPECT_EQ(name(), QStringLiteral("Adams"));
  EXPECT_EQ(scalar(QStringLiteral("select interlastname from zel where remarks='edited'")),
            QStringLiteral("Moore"));
  EXPECT_FALSE(ZEL1.RecordChanged);

  // Unchanged: no question.
  form->mnuGetFirstClick();
  EXPECT_EQ(name(), QStringLiteral("Zeller"));

  // A new record typed, then navigation: asked, saved on Yes.
  form->mnuNewClick();
  type(form->ui().txtSection, QStringLiteral("N"));
  choose(form->ui().txtLotInfo, 0);
  choose(form->ui().txtCemetery, 0);
  msgs->expectQuestion(kSaveFirst, MessageService::Answer::Yes, true);
  form->mnuGetFirstClick();
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel where csection='N'")), QStringLiteral("1"));

  // Closing with edits asks once, and either answer closes.
  type(form->ui().txtVault, QStringLiteral("V"));
  msgs->expectQuestion(kSaveFirst, MessageService::Answer::No, true);
  form->ui().mnuClose->trigger();
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(ZEL1.rsRecords.isOpen());
}

TEST_P(Navigation, CancelOrARefusedSaveKeepsTheRecordAndItsEditsWhicheverWayItIsLeft) {
  const QString refusal = QStringLiteral("You haven't assigned a valid lot type yet.");
  // Two ways to stay: Cancel (Escape) on the question, or Yes with a save that is refused.
  const auto cancel = [&](frmDataEntry& f) {
    type(f.ui().txtRemarks, QStringLiteral("kept"));
    msgs->expectQuestion(kSaveFirst, MessageService::Answer::Cancel, true);
  };
  const auto refuseToSave = [&](frmDataEntry& f) {
    type(f.ui().txtRemarks, QStringLiteral("kept"));
    f.ui().txtLotInfo->setCurrentIndex(-1);
    msgs->expectQuestion(kSaveFirst, MessageService::Answer::Yes, true);
    msgs->expectInfo(refusal);
  };
  const auto stillThere = [&](frmDataEntry& f, const QString& recid, bool refused) {
    msgs->verify();
    EXPECT_EQ(f.ui().txtRecordNum->text(), recid);
    EXPECT_EQ(f.ui().txtRemarks->text(), QStringLiteral("kept"));
    if (refused) {
      EXPECT_EQ(f.focusWidget(), f.ui().txtLotInfo);
    }
    EXPECT_TRUE(f.isVisible());
    EXPECT_TRUE(ZEL1.RecordChanged);
    if (!recid.isEmpty()) {
      EXPECT_TRUE(ZEL1.rsRecords.isOpen());
    }
  };
  form->mnuGetFirstClick();
  key(form->ui().txtRemarks, Qt::Key_PageDown);
  const QString recid = form->ui().txtRecordNum->text();
  const std::pair<const char*, std::function<void()>> ways[] = {
      {"First", [&] { key(form->ui().txtRemarks, Qt::Key_Home); }},
      {"Previous", [&] { key(form->ui().txtRemarks, Qt::Key_PageUp); }},
      {"Next", [&] { form->Toolbar1ButtonClick(QStringLiteral("Next")); }},
      {"Last", [&] { form->ui().mnuGetLast->trigger(); }},
      {"New", [&] { form->ui().mnuNew->trigger(); }},
      {"Find", [&] { form->ui().mnuOpen->trigger(); }},  // the dialog does not open
      {"a pending query",
       [&] {
         ZEL1.PendingQuery = QStringLiteral("select * from zel");
         form->FormActivate();
       }},
      {"Close", [&] { form->ui().mnuClose->trigger(); }},
      {"the close box", [&] { form->close(); }},
  };
  for (const auto& [way, leave] : ways) {
    SCOPED_TRACE(way);
    cancel(*form);
    leave();
    stillThere(*form, recid, false);
    refuseToSave(*form);
    leave();
    stillThere(*form, recid, true);
    choose(form->ui().txtLotInfo, 0);
  }
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel where remarks='kept'")), QStringLiteral("0"));
  // The query is dropped, not asked about again at every activation.
  EXPECT_TRUE(ZEL1.PendingQuery.isEmpty());
  // No drops the edits.
  msgs->expectQuestion(kSaveFirst, MessageService::Answer::No, true);
  form->ui().mnuNew->trigger();
  EXPECT_TRUE(form->ui().txtRemarks->text().isEmpty());
  EXPECT_TRUE(form->ui().txtRecordNum->text().isEmpty());
  // A new record that was never saved stays too.
  cancel(*form);
  form->ui().mnuGetFirst->trigger();
  stillThere(*form, QString(), false);
  form.reset();

  // The frame's Exit closes the form first: Cancel or a refused save keeps both open.
  frmDataEntry& inFrame = openInFrame(QSize(1024, 768));
  inFrame.mnuGetLastClick();
  for (bool refused : {false, true}) {
    refused ? refuseToSave(inFrame) : cancel(inFrame);
    frame->ExitClick();
    stillThere(inFrame, inFrame.ui().txtRecordNum->text(), refused);
    EXPECT_TRUE(frame->isVisible());
    choose(inFrame.ui().txtLotInfo, 0);
  }
}

TEST_P(Navigation, TheRealSaveQuestionAnswersEscapeWithCancelAndEnterWithNo) {
  RealMessageService real;
  const std::pair<Qt::Key, MessageService::Answer> keys[] = {{Qt::Key_Escape, MessageService::Answer::Cancel},
                                                             {Qt::Key_Return, MessageService::Answer::No}};
  for (auto [k, answer] : keys) {
    QStringList buttons;
    QTimer::singleShot(0, [&, k = k] {
      QWidget* box = QApplication::activeModalWidget();
      ASSERT_NE(box, nullptr);
      for (auto* b : box->findChildren<QPushButton*>()) buttons << b->text().remove(QLatin1Char('&'));
      QTest::keyClick(box, k);
    });
    EXPECT_EQ(real.questionWithCancel(kSaveFirst), answer);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("Cancel"), QStringLiteral("No"), QStringLiteral("Yes")}));
  }
}

TEST_P(Navigation, FindOpensTheRecordsOfEachTab) {
  // Purchaser and interred details for the find tabs.
  exec(
      QStringLiteral("update zel set ownerlastname='O''Brien', deedbook='D''1', deedpage=12, internum=0, "
                     "birthdate='1901-02-03' where interlastname='Zeller'"));
  exec(QStringLiteral("update zel set interlastname='O''Neil' where interlastname='Moore'"));
  auto find = [&](int tab, std::function<void(frmFind&)> fill, QString failure = {}) {
    msgs->expectModal(QStringLiteral("frmFind"), [tab, fill](QDialog& d) {
      auto& f = static_cast<frmFind&>(d);
      child<QTabWidget>(f, "Tab1")->setCurrentIndex(tab);
      fill(f);
      child<QPushButton>(f, "Command1")->click();
      return int(d.result());
    });
    if (!failure.isEmpty()) msgs->expectInfo(failure);
    form->ui().mnuOpen->trigger();
  };
  find(0, [](frmFind& f) {
    child<QComboBox>(f, "txtCemetery")
        ->setCurrentIndex(child<QComboBox>(f, "txtCemetery")->findText(QStringLiteral("Maple")));
    QTest::keyClicks(child<QLineEdit>(f, "txtGrave"), QStringLiteral("1"));
  });
  EXPECT_EQ(ZEL1.PendingQuery, QStringLiteral("select * from zel where cemeteryid=2 and grave='1'"));
  EXPECT_EQ(name(), QStringLiteral("Adams"));
  // Found records come in the form's order (here by name), and Next walks them.
  form->ui().Option2->setChecked(true);
  find(0, [](frmFind& f) { QTest::keyClicks(child<QLineEdit>(f, "txtGrave"), QStringLiteral("1")); });
  EXPECT_EQ(name(), QStringLiteral("Adams"));
  form->ui().mnuGetNext->trigger();
  EXPECT_EQ(name(), QStringLiteral("O'Neil"));
  form->ui().Option1->setChecked(true);

  find(1, [](frmFind& f) {
    QTest::keyClicks(child<QLineEdit>(f, "txtInterredLastName"), QStringLiteral("o'n"));
  });
  EXPECT_EQ(name(), QStringLiteral("O'Neil"));
  find(1, [](frmFind& f) {
    QTest::keyClicks(child<QLineEdit>(f, "txtIntermentNum"), QStringLiteral("0"));
    QTest::keyClicks(child<QLineEdit>(f, "txtDateOfBirth"), QStringLiteral("2/3/1901"));
  });
  EXPECT_EQ(ZEL1.PendingQuery,
            QStringLiteral("select * from zel where internum=0 and substr(birthdate,1,10)=#02-03-1901#"));
  EXPECT_EQ(name(), QStringLiteral("Zeller"));

  // Edits on the form are offered for saving before Find clears it.
  type(form->ui().txtVault, QStringLiteral("v"));
  msgs->expectQuestion(kSaveFirst, MessageService::Answer::No, true);
  find(2, [](frmFind& f) {
    QTest::keyClicks(child<QLineEdit>(f, "txtPurchaserLastName"), QStringLiteral("O'B"));
    QTest::keyClicks(child<QLineEdit>(f, "txtDeedBook"), QStringLiteral("D'1"));
    QTest::keyClicks(child<QLineEdit>(f, "txtDeedPage"), QStringLiteral("12b"));
  });
  EXPECT_EQ(name(), QStringLiteral("Zeller"));
  EXPECT_FALSE(ZEL1.RecordChanged);

  // Nothing found: the form stays cleared.
  find(0, [](frmFind& f) { QTest::keyClicks(child<QLineEdit>(f, "txtSection"), QStringLiteral("ZZ")); });
  EXPECT_TRUE(form->ui().txtRecordNum->text().isEmpty());

  // Cancel leaves nothing pending and the form cleared.
  msgs->expectModal(QStringLiteral("frmFind"), [](QDialog& d) {
    child<QPushButton>(static_cast<frmFind&>(d), "Command2")->click();
    return int(d.result());
  });
  form->mnuOpenClick();
  EXPECT_TRUE(ZEL1.PendingQuery.isEmpty());
  EXPECT_TRUE(form->ui().txtSection->text().isEmpty());

  // A query the database refuses: nothing filled on the tab.
  find(
      2, [](frmFind&) {},
      QStringLiteral("The search could not be performed.\n\n") +
          (onServer() ? "syntax error at end of input" : "near \"where\": syntax error"));
  EXPECT_TRUE(form->ui().txtRecordNum->text().isEmpty());
  EXPECT_TRUE(ZEL1.PendingQuery.isEmpty());
}

TEST_P(Navigation, PendingQueryRunsOnceAtActivation) {
  ZEL1.PendingQuery = QStringLiteral("select * from zel where interlastname='Moore'");
  form->FormActivate();
  EXPECT_EQ(name(), QStringLiteral("Moore"));
  EXPECT_TRUE(ZEL1.PendingQuery.isEmpty());
  // Unsaved edits are offered for saving before the record is replaced.
  type(form->ui().txtVault, QStringLiteral("x"));
  ZEL1.PendingQuery = QStringLiteral("select * from zel where recid=-1");
  msgs->expectQuestion(kSaveFirst, MessageService::Answer::Yes, true);
  form->FormActivate();
  EXPECT_EQ(scalar(QStringLiteral("select vault from zel where interlastname='Moore'")), QStringLiteral("x"));
  EXPECT_TRUE(form->ui().txtRecordNum->text().isEmpty());
  EXPECT_FALSE(ZEL1.RecordChanged);
}

TEST_P(Navigation, MovingOnFromTheAgeFieldLeavesTheNextRecordAsStored) {
  // Adams has a date of death but no date of birth; the age field must not fill one in.
  form->mnuGetFirstClick();
  type(form->ui().txtAge, QString());
  key(form->ui().txtAge, Qt::Key_PageDown);
  EXPECT_EQ(name(), QStringLiteral("Adams"));
  EXPECT_TRUE(form->ui().txtDateOfBirth->text().isEmpty());
  EXPECT_FALSE(ZEL1.RecordChanged);
  EXPECT_EQ(form->focusWidget(), form->ui().txtSection);
}

TEST_P(Navigation, ShortcutKeysRunTheirCommands) {
  form->mnuGetFirstClick();
  type(form->ui().txtRemarks, QStringLiteral("by key"));
  QTest::keyClick(form->ui().txtRemarks, Qt::Key_F12);
  EXPECT_FALSE(ZEL1.RecordChanged);
  EXPECT_EQ(scalar(QStringLiteral("select interlastname from zel where remarks='by key'")),
            QStringLiteral("Zeller"));
  QTest::keyClick(form->ui().txtRemarks, Qt::Key_N, Qt::ControlModifier);
  EXPECT_TRUE(form->ui().txtRecordNum->text().isEmpty());
  msgs->expectModal(QStringLiteral("frmFind"), [](QDialog& d) {
    child<QPushButton>(static_cast<frmFind&>(d), "Command2")->click();
    return int(d.result());
  });
  QTest::keyClick(form->ui().txtSection, Qt::Key_F, Qt::ControlModifier);
}
