// Loading, showing and clearing the record form; its menus and toolbar.
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyleOptionFrame>

#include "RecordFormFixture.h"
#include "gui/controls/MaskedEdit.h"
#include "gui/controls/MoneyEdit.h"
#include "gui/search/frmFind.h"

TEST_F(RecordForm, ListsLoadInNameOrderAndNewSelectsTheOnlyCemetery) {
  addCemetery(QStringLiteral("Oakwood"));
  addLot(QStringLiteral("Single "), QStringLiteral("NULL"), QStringLiteral("100"));
  addLot(QStringLiteral("Double"), QStringLiteral("' 4x8 '"), QStringLiteral("250"));
  open();
  ASSERT_EQ(form->ui().txtCemetery->count(), 1);
  EXPECT_EQ(form->ui().txtCemetery->currentIndex(), 0);  // the only cemetery is chosen for a new record
  EXPECT_EQ(form->ui().Combo1->currentIndex(), -1);
  ASSERT_EQ(form->ui().txtLotInfo->count(), 2);
  EXPECT_EQ(form->ui().txtLotInfo->itemText(0), QStringLiteral("Double, 4x8"));
  EXPECT_EQ(form->ui().txtLotInfo->itemText(1), QStringLiteral("Single, "));
  EXPECT_EQ(form->ui().txtLotInfo->currentIndex(), -1);
  EXPECT_EQ(form->ui().txtStatus->text(), QStringLiteral("OPEN"));
  EXPECT_FALSE(ZEL1.RecordChanged);
  form.reset();

  addCemetery(QStringLiteral("Maple Hill"));
  open();
  ASSERT_EQ(form->ui().txtCemetery->count(), 2);
  EXPECT_EQ(form->ui().txtCemetery->itemText(0), QStringLiteral("Maple Hill"));
  EXPECT_EQ(form->ui().Combo1->itemText(1), QStringLiteral("Oakwood"));
  EXPECT_EQ(form->ui().txtCemetery->currentIndex(), -1);
}

TEST_F(RecordForm, CommandsOfOtherWindowsOpenThemAndTheListsReloadAfterAManager) {
  open();
  emit form->ui().mnuFile->aboutToShow();
  EXPECT_FALSE(form->ui().mnuImport->isEnabled()) << "no import window is wired to a form on its own";
  msgs->expectPrinter(QString());
  form->findChild<QAction*>(QStringLiteral("Toolbar1_Print"))->trigger();
  msgs->expectModal(QStringLiteral("frmCemeteryMgr"), [&](QDialog&) {
    addCemetery(QStringLiteral("Added Later"));
    return 0;
  });
  form->ui().Command1->click();
  EXPECT_EQ(form->ui().txtCemetery->count(), 1);
  EXPECT_EQ(form->ui().Combo1->count(), 1);
  EXPECT_EQ(form->ui().txtCemetery->currentIndex(), -1);
}

TEST_F(RecordForm, ShowsAStoredRowAsTheUserShouldSeeIt) {
  const qint64 cem = addCemetery(QStringLiteral("Oakwood"));
  const qint64 lot = addLot(QStringLiteral("Single"), QStringLiteral("'4x8'"), QStringLiteral("100"));
  exec(QStringLiteral(
           "insert into zel (cemeteryid, csection, lot, grave, lotid, status, internum, age, deedpage, "
           "interdate, birthdate, deathdate, purchdate, sex, purchprice, burialfee, amtpaid, "
           "interlastname, ownerzip) values (%1, ' A ', '7', '3', %2, 'b', 0, 0, 0, '1990-05-04', "
           "'1920-01-02', NULL, NULL, 'F', %3, NULL, 0, 'Smith  ', NULL)")
           .arg(cem)
           .arg(lot)
           .arg(sqlMoney("1234.5")));
  exec(
      QStringLiteral("insert into zel (csection, cemeteryid, lotid, status, internum, age, deedpage, sex) "
                     "values ('Z', 999, 999, 'R', 12.0, 71, 33, 'x')"));
  open();
  form->mnuGetFirstClick();
  EXPECT_EQ(form->ui().txtSection->text(), QStringLiteral("A"));
  EXPECT_EQ(form->ui().txtStatus->text(), QStringLiteral("OPEN"));  // lower-case "b" is not a state
  EXPECT_EQ(form->ui().txtIntermentNum->text(), QString());
  EXPECT_EQ(form->ui().txtAge->text(), QString());
  EXPECT_EQ(form->ui().txtDeedPage->text(), QString());
  EXPECT_EQ(form->ui().txtIntermentDate->text(), QStringLiteral("05-04-1990"));
  EXPECT_EQ(form->ui().txtDateOfDeath->text(), QString());
  EXPECT_TRUE(form->ui().txtFemale->isChecked());
  EXPECT_EQ(form->printedRecord().value(QStringLiteral("sex")), QStringLiteral("Female"));
  EXPECT_EQ(form->ui().txtInterredLastName->text(), QStringLiteral("Smith"));
  EXPECT_EQ(form->ui().txtPurchPrice->text(),
            QStringLiteral("1,234.50"));  // the stored price, not the lot type's
  EXPECT_EQ(form->ui().txtBurialFee->text(), QString());
  EXPECT_EQ(form->ui().txtPaid->text(), QStringLiteral("0.00"));
  EXPECT_EQ(form->ui().txtLotInfo->currentIndex(), 0);
  EXPECT_EQ(form->ui().txtCemetery->currentIndex(), 0);
  EXPECT_FALSE(ZEL1.RecordChanged);

  form->mnuGetNextClick();
  EXPECT_EQ(form->ui().txtStatus->text(), QStringLiteral("RESERVED"));
  EXPECT_EQ(form->ui().txtIntermentNum->text(), QStringLiteral("12"));
  EXPECT_EQ(form->ui().txtAge->text(), QStringLiteral("71"));
  EXPECT_EQ(form->ui().txtDeedPage->text(), QStringLiteral("33"));
  EXPECT_EQ(form->ui().txtLotInfo->currentIndex(), -1);  // ids that match no entry
  EXPECT_EQ(form->ui().txtCemetery->currentIndex(), -1);
  EXPECT_FALSE(form->ui().txtMale->isChecked() || form->ui().txtFemale->isChecked() ||
               form->ui().txtUnknown->isChecked());
  EXPECT_FALSE(ZEL1.RecordChanged);

  // Any edit marks the record changed, the amount paid and the address included.
  for (QLineEdit* f : std::initializer_list<QLineEdit*>{form->ui().txtRemarks, form->ui().txtPaid,
                                                        form->ui().txtDateOfBirth, form->ui().txtCity}) {
    form->ShowCurrentRecord();
    ASSERT_FALSE(ZEL1.RecordChanged);
    QTest::keyClicks(f, QStringLiteral("1"));
    EXPECT_TRUE(ZEL1.RecordChanged) << f->objectName().toStdString();
  }
  form->ShowCurrentRecord();
  form->ui().txtCity->setText(QString());  // written back unchanged by the address dialog
  EXPECT_FALSE(ZEL1.RecordChanged);
  form->ShowCurrentRecord();
  form->ui().txtUnknown->click();
  EXPECT_TRUE(ZEL1.RecordChanged);
  form->ui().txtUnknown->click();  // clicking the chosen one keeps it
  EXPECT_TRUE(form->ui().txtUnknown->isChecked());
  msgs->expectQuestion(QStringLiteral("Would you like to save your changes first?"),
                       MessageService::Answer::No, true);
  form->mnuNewClick();
  EXPECT_FALSE(ZEL1.RecordChanged);
  EXPECT_EQ(form->ui().txtRecordNum->text(), QString());
  EXPECT_FALSE(form->ui().txtUnknown->isChecked());
}

TEST_F(RecordForm, ChoosingALotTypeCopiesItsPrice) {
  addCemetery(QStringLiteral("Oakwood"));
  addLot(QStringLiteral("Single"), QStringLiteral("NULL"), QStringLiteral("100.25"));
  addLot(QStringLiteral("Urn"), QStringLiteral("NULL"), QStringLiteral("NULL"));
  open();
  type(form->ui().txtPurchPrice, QStringLiteral("5"));
  choose(form->ui().txtLotInfo, 0);
  EXPECT_EQ(form->ui().txtPurchPrice->text(), QStringLiteral("100.25"));
  choose(form->ui().txtLotInfo, 1);  // no price stored: the typed one stays
  EXPECT_EQ(form->ui().txtPurchPrice->text(), QStringLiteral("100.25"));
  EXPECT_TRUE(ZEL1.RecordChanged);
}

TEST_F(RecordForm, MapViewFindsTheCemeteryOrAsks) {
  open();
  msgs->expectInfo(
      QStringLiteral("No cemeteries exist. You must first create cemeteries and them build a map for it "
                     "in order to use this feature."));
  QSignalSpy viewer(form.get(), &frmDataEntry::mapViewerWanted);
  form->ui().mnuMapView->trigger();
  EXPECT_EQ(viewer.count(), 0);

  const qint64 id = addCemetery(QStringLiteral("Oakwood"));
  form->Toolbar1ButtonClick(QStringLiteral("MapView"));
  EXPECT_EQ(ZEL1.CurrentCemeteryId, id);
  EXPECT_EQ(viewer.count(), 1);

  addCemetery(QStringLiteral("Maple"));
  ZEL1.CurrentCemeteryId = 0;
  msgs->expectModal(QStringLiteral("frmCemeterySelect"), [](QDialog&) { return 0; });  // cancelled
  form->mnuMapViewClick();
  EXPECT_EQ(viewer.count(), 1);
}

// Each field shows its longest value whole, inside the smallest frame the program runs in and a
// larger one, and no control of the form is cut off.
TEST_F(RecordForm, EveryFieldShowsItsLongestValueWholeAt800x600) {
  addCemetery(QStringLiteral("Oakwood"));
  for (const QSize size : {QSize(800, 600), QSize(1280, 1024)}) {
    SCOPED_TRACE(size.width());
    frmDataEntry& f = openInFrame(size);
    const QWidget* area = frame->mdiArea->viewport();
    int checked = 0;
    for (const RecordFields::Field& field : RecordFields::all()) {
      auto* e = f.findChild<QLineEdit*>(QLatin1String(field.control));
      if (!e || !e->isVisible()) continue;  // the address is edited in its own dialog
      SCOPED_TRACE(field.control);
      const QString text = RecordFields::longestValue(field);
      e->setText(text);
      ASSERT_EQ(e->text(), text);
      QStyleOptionFrame opt;
      opt.initFrom(e);
      opt.lineWidth = e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e);
      // The line edit keeps 2 pixels each side of the text and one for the caret.
      const int room = e->style()->subElementRect(QStyle::SE_LineEditContents, &opt, e).width() - 4;
      EXPECT_LE(e->fontMetrics().horizontalAdvance(text) + 1, room);
      ++checked;
    }
    EXPECT_EQ(checked, 29);
    for (QWidget* w : f.findChildren<QWidget*>()) {
      if (!w->isVisible() || !QRegularExpression(QStringLiteral("^(txt|Command|Option|Check|Combo)"))
                                  .match(w->objectName())
                                  .hasMatch())
        continue;
      const QRect onArea(w->mapTo(area, QPoint(0, 0)), w->size());
      EXPECT_TRUE(area->rect().contains(onArea)) << w->objectName().toStdString();
      EXPECT_GE(w->height(), w->minimumSizeHint().height()) << w->objectName().toStdString();
    }
    ZEL1.RecordChanged = false;
    frame.reset();
  }
}
