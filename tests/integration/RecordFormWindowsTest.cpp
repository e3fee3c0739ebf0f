// The record form inside the frame, with the real windows its commands open.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTest>

#include "core/maps/MapFile.h"
#include "core/program/Zel1.h"
#include "core/reports/PlaceReports.h"
#include "gui/app/frm_Main.h"
#include "gui/cemeteries/frmAddress.h"
#include "gui/controls/GridControl.h"
#include "gui/controls/MaskedEdit.h"
#include "gui/controls/MoneyEdit.h"
#include "gui/maps/MapColors.h"
#include "gui/maps/frmViewMap.h"
#include "gui/records/frmDataEntry.h"
#include "gui/search/frmFind.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"
#include "support/TestFolder.h"
#include "support/TestFrame.h"
#include "support/WindowDriver.h"

namespace {

class RecordFormWindows : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    exec(QStringLiteral("insert into lots (lotdesc, lotsize, lotprice) values ('Plain', '4x8', %1)")
             .arg(sqlMoney("100")));
    msgs = std::make_unique<ScriptedMessages>();
    frame = testFrame(folder->file(QStringLiteral("placement.ini")));
    showActive(*frame, QSize(1200, 950));
  }
  void TearDown() override {
    ZEL1.RecordChanged = false;
    frame.reset();
    msgs.reset();
    DataTest::TearDown();
  }

  // DataEdit on the frame's toolbar: the record form inside the frame.
  frmDataEntry& openForm() {
    frame->toolbarAction(QStringLiteral("DataEdit"))->trigger();
    settle();
    form = frame->mdiArea->findChild<frmDataEntry*>();
    EXPECT_NE(form, nullptr);
    EXPECT_TRUE(frame->Toolbar1->isHidden());
    return *form;
  }

  QString stored(const QString& column) const {
    return scalar(
        QStringLiteral("select %1 from zel where recid=%2").arg(column, form->ui().txtRecordNum->text()));
  }

  // A new record at a place, with the first cemetery and lot type, saved.
  void placeAndSave(const QString& section, const QString& lot, const QString& grave) {
    if (form->ui().txtCemetery->currentIndex() < 0) form->ui().txtCemetery->setCurrentIndex(0);
    if (form->ui().txtLotInfo->currentIndex() < 0) form->ui().txtLotInfo->setCurrentIndex(0);
    type(form->ui().txtSection, section);
    type(form->ui().txtLot, lot);
    type(form->ui().txtGrave, grave);
    form->ui().txtVault->setFocus();
    settle();
    form->ui().mnuSave->trigger();
    ASSERT_FALSE(form->ui().txtRecordNum->text().isEmpty());
  }

  std::unique_ptr<ScriptedMessages> msgs;
  std::unique_ptr<frm_Main> frame;
  frmDataEntry* form = nullptr;
};

// The managers opened from the form, the lists they fill and the ids the save stores: the road test.
TEST_F(RecordFormWindows, ALaterPriceOfTheLotTypeDoesNotReplaceTheStoredOne) {
  exec(QStringLiteral("insert into cemetery (name) values ('Oakwood')"));
  exec(QStringLiteral("insert into lots (lotdesc, lotsize, lotprice) values ('Single', '4x8', %1)")
           .arg(sqlMoney("1250.75")));
  openForm();
  choose(form->ui().txtLotInfo, QStringLiteral("Single, 4x8"));
  placeAndSave(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("2"));
  EXPECT_EQ(stored(QStringLiteral("purchprice")), QStringLiteral("1250.75"));

  exec(QStringLiteral("update lots set lotprice=%1 where lotdesc='Single'").arg(sqlMoney("300")));
  form->ui().mnuGetFirst->trigger();
  EXPECT_EQ(form->ui().txtLotInfo->currentText(), QStringLiteral("Single, 4x8"));
  EXPECT_EQ(form->ui().txtPurchPrice->text(), QStringLiteral("1,250.75"));
  EXPECT_FALSE(ZEL1.RecordChanged);
}

TEST_F(RecordFormWindows, AddressDialogEditsTheHiddenFieldsThatTheSaveStores) {
  exec(QStringLiteral("insert into cemetery (name) values ('Oakwood')"));
  openForm();
  form->ui().txtAddr1->setText(QStringLiteral("1 Old Rd"));

  const QStringList typed = {"2 Elm St", "Apt 4", "Troy", "NY", "12180", "555-0101"};
  msgs->expectModal(QStringLiteral("frmAddress"), [&](QDialog& d) {
    auto& w = static_cast<frmAddress&>(d);
    EXPECT_EQ(w.ui().txtAddr1->text(), QStringLiteral("1 Old Rd"));  // the form's own values
    const QList<QLineEdit*> fields = {w.ui().txtAddr1, w.ui().txtAddr2,   w.ui().txtCity,
                                      w.ui().txtState, w.ui().txtZipCode, w.ui().txtPhone};
    for (int i = 0; i < fields.size(); ++i) {
      fields[i]->clear();
      QTest::keyClicks(fields[i], typed[i]);
    }
    w.ui().Command1->click();  // Save
    return w.result();
  });
  form->ui().Command3->click();

  placeAndSave(QStringLiteral("B"), QStringLiteral("2"), QStringLiteral("3"));
  const QStringList columns = {"owneraddress1", "owneraddress2", "ownercity",
                               "ownerstate",    "ownerzip",      "ownerphone"};
  for (int i = 0; i < columns.size(); ++i)
    EXPECT_EQ(stored(columns[i]), typed[i]) << columns[i].toStdString();
}

TEST_F(RecordFormWindows, PrintsWhatTheFormShowsAndExportsTheStoredRecords) {
  exec(QStringLiteral("insert into cemetery (name) values ('Oakwood')"));
  openForm();
  type(form->ui().txtInterredLastName, QStringLiteral("Stored"));
  placeAndSave(QStringLiteral("C"), QStringLiteral("3"), QStringLiteral("4"));
  type(form->ui().txtInterredLastName, QStringLiteral("Unsaved"));

  // What Print puts on paper (the printout's own tests print it).
  const PrintedRecord r = form->printedRecord();
  EXPECT_EQ(r.cemetery, QStringLiteral("Oakwood"));
  EXPECT_EQ(r.value(QStringLiteral("interlastname")), QStringLiteral("Unsaved"));
  EXPECT_EQ(r.value(QStringLiteral("status")), form->ui().txtStatus->text());

  msgs->expectSaveFile(ZEL1.dataFile(QStringLiteral("zel.csv")))
      .expectFileWritten(QStringLiteral("Export complete. File named ") + ZEL1.DataPath +
                         QStringLiteral("zel.csv was created."));
  form->ui().mnuExport->trigger();
  const QList<QByteArray> lines = fileBytes(folder->file(QStringLiteral("zel.csv"))).trimmed().split('\n');
  ASSERT_EQ(lines.size(), 2);  // titles and the one record, as stored
  EXPECT_TRUE(lines[1].contains("\"Oakwood\""));
  EXPECT_TRUE(lines[1].contains("\"Stored\""));
}

// The grave's letter is stored with a blank, as files written elsewhere hold some: the map, the form
// and the reports all read it as the same state. (The viewer's click and Close on a plain record: the
// road test.)
TEST_F(RecordFormWindows, ALetterStoredWithABlankIsOneStateOnTheMapTheFormAndTheReports) {
  exec(QStringLiteral("insert into cemetery (cemeteryid, name) values (4, 'Elm Ridge')"));
  exec(QStringLiteral(
      "insert into zel (cemeteryid, csection, lot, grave, status, interlastname, interfirstname) "
      "values (4, 'A', '1', '1', ' B', 'Smith', 'Ann')"));
  {
    GridControl g;
    g.setMaxRows(4);
    g.setMaxCols(4);
    g.setBackColor(GridRange::all(), QColor(0, 128, 0));
    g.setText(1, 1, QStringLiteral("A,1,1"));
    g.setText(0, 0, QStringLiteral("6.0"));
    ASSERT_TRUE(g.saveToFile(MapFile::fileName(ZEL1.DataPath, 4), false));
  }
  openForm();
  form->ui().mnuMapView->trigger();  // one cemetery: no chooser
  settle();
  auto* viewer = frame->mdiArea->findChild<frmViewMap*>();
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(viewer->Spread1->backColor(1, 1), MapColors::of(GraveState::State::Buried));
  emit viewer->Spread1->cellClicked(1, 1);
  QStringList checked;
  for (const Report::Row& row : Report::mapCheck(ZEL1.cnData, {4, {}}, {ZEL1.DataPath}).rows)
    if (row.size() > 3) checked << row[3].text;
  EXPECT_TRUE(checked.contains(QStringLiteral("Stored as BURIED; Save would make it RESERVED")))
      << checked.join(u'\n').toStdString();

  viewer->mnuClose->trigger();
  settle();
  EXPECT_EQ(form->ui().txtInterredLastName->text(), QStringLiteral("Smith"));
  EXPECT_EQ(form->ui().txtStatus->text(), QStringLiteral("BURIED"));
}

TEST_F(RecordFormWindows, FindMatchesNamesWhateverTheCaseOfAnyLetter) {
  exec(QStringLiteral("insert into zel (csection, interlastname) values ('A', 'Éloïse')"));
  exec(QStringLiteral("insert into zel (csection, interlastname) values ('B', 'Eloise')"));
  openForm();
  for (const QString& typed : {QStringLiteral("éloïse"), QStringLiteral("ÉLOÏSE")}) {
    msgs->expectModal(QStringLiteral("frmFind"), [&](QDialog& d) {
      auto& f = static_cast<frmFind&>(d);
      child<QTabWidget>(f, "Tab1")->setCurrentIndex(1);
      child<QLineEdit>(f, "txtInterredLastName")->setFocus();
      for (QChar c : typed)  // typed as a keyboard sends letters that have no key of their own
        QTest::sendKeyEvent(QTest::Click, child<QLineEdit>(f, "txtInterredLastName"), Qt::Key_unknown,
                            QString(c), Qt::NoModifier);
      EXPECT_EQ(child<QLineEdit>(f, "txtInterredLastName")->text(), typed);
      child<QPushButton>(f, "Command1")->click();
      return int(QDialog::Accepted);
    });
    form->ui().mnuOpen->trigger();
    settle();
    EXPECT_EQ(form->ui().txtInterredLastName->text(), QStringLiteral("Éloïse")) << typed.toStdString();
    EXPECT_EQ(form->ui().txtSection->text(), QStringLiteral("A"));
  }
}

}  // namespace
