// The road of one grave record through the real program, as a new user walks it: start-up on the
// demo data, a cemetery and a lot type, a map, the record, its cell on the map, its reports, the
// export, a backup and the restore of that backup into an empty folder.
#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QMdiArea>
#include <QTemporaryDir>

#include "core/program/Zel1.h"
#include "core/store/RecordSet.h"
#include "gui/app/Startup.h"
#include "gui/app/frm_Main.h"
#include "gui/backup/frmBackupRestore.h"
#include "gui/cemeteries/frmCemeteryMgr.h"
#include "gui/cemeteries/frmCemeterySelect.h"
#include "gui/cemeteries/frmLotMgr.h"
#include "gui/controls/DateEdit.h"
#include "gui/controls/GridControl.h"
#include "gui/controls/MoneyEdit.h"
#include "gui/maps/MapColors.h"
#include "gui/maps/frmMapEdit.h"
#include "gui/maps/frmViewMap.h"
#include "gui/records/frmDataEntry.h"
#include "gui/reports/ReportGrid.h"
#include "gui/reports/frmReports.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"
#include "support/TestFolder.h"
#include "support/TestFrame.h"
#include "support/WindowDriver.h"

namespace {

const QString kNoDataFiles = QStringLiteral(
    "The data files cannot be found. You can at this time recover your data files from a previous backup if "
    "you like.");

// Every column of one row of zel, as text.
QStringList storedRow(const QString& recid) {
  RecordSet rs(&ZEL1.cnData);
  rs.open(QStringLiteral("select * from zel where recid=") + recid);
  QStringList values;
  for (int i = 0; !rs.eof() && i < rs.fieldCount(); ++i) values << rs.field(i).toString();
  return values;
}

// The program as main() runs it, on a data folder, with the frame shown.
class Road : public ::testing::Test {
 protected:
  void SetUp() override { ZEL1.reset(); }
  void TearDown() override {
    ZEL1.RecordChanged = false;
    frame.reset();
    ZEL1.cnData.close();
    ZEL1.reset();
  }

  Startup::Outcome start(const QString& dataFolder) {
    frame =
        testFrame(settings.filePath(QStringLiteral("zel.ini")), [this](int code) { ends.push_back(code); });
    const Startup::Outcome outcome =
        Startup(testStartup(dataFolder, settings.filePath(QStringLiteral("lock")))).run(*frame);
    frame->resize(1200, 950);
    frame->show();
    frame->activateWindow();
    frame->FormActivate();  // as the program does once after showing the frame
    if (outcome == Startup::Outcome::Running) (void)QTest::qWaitForWindowActive(frame.get());
    return outcome;
  }

  void press(const char* key) {
    ::press(*frame, key);
    settle();
  }
  template <class W>
  W* child() const {
    return frame->mdiArea->findChild<W*>();
  }

  QTemporaryDir settings;
  ScriptedMessages msgs;
  std::unique_ptr<frm_Main> frame;
  std::vector<int> ends;
};

TEST_F(Road, OneGraveRecordFromTheFormToTheMapReportsExportAndABackupRestoredElsewhere) {
  TestFolder data(false);
  data.copyIn(QStringLiteral(ZEL_BUILD_DIR "/data/zeldemo.mdb"));
  data.copyIn(QStringLiteral(ZEL_BUILD_DIR "/data/zelmap1.dat"));
  ASSERT_EQ(start(data.path()), Startup::Outcome::Running);
  const QString demoRecords = scalar(QStringLiteral("select count(*) from zel"));

  // DataEdit: the form shows an empty new record.
  press("DataEdit");
  frmDataEntry* form = child<frmDataEntry>();
  ASSERT_TRUE(form);
  EXPECT_TRUE(form->ui().txtRecordNum->text().isEmpty());

  // The user's own cemetery and lot type, through the two managers of the form.
  msgs.expectModal(QStringLiteral("frmCemeteryMgr"), [](QDialog& d) {
    auto& w = static_cast<frmCemeteryMgr&>(d);
    type(w.fields().txtName, QStringLiteral("Riverside"));
    w.ui().Command2->click();
    w.ui().Command1->click();
    return w.result();
  });
  form->ui().Command1->click();
  msgs.expectModal(QStringLiteral("frmLotMgr"), [](QDialog& d) {
    auto& w = static_cast<frmLotMgr&>(d);
    type(w.fields().txtLotDesc, QStringLiteral("Double"));
    type(w.fields().txtLotSize, QStringLiteral("8x8"));
    type(w.fields().txtLotPrice, QStringLiteral("1,975.50"));
    w.ui().Command2->click();
    w.ui().Command1->click();
    return w.result();
  });
  form->ui().Command2->click();
  const QString riverside = scalar(QStringLiteral("select cemeteryid from cemetery where name='Riverside'"));
  form->ui().mnuClose->trigger();
  settle();
  ASSERT_FALSE(frame->Toolbar1->isHidden());

  // Its map: two rows of three graves, A,1,1 to A,1,6, drawn in the map editor.
  msgs.expectModal(QStringLiteral("frmCemeterySelect"), chooser(QStringLiteral("Riverside")));
  press("MapEdit");
  frmMapEdit* editor = child<frmMapEdit>();
  ASSERT_TRUE(editor);
  editor->ui().Spread1->selectBlock(2, 2, 3, 4);
  editor->ui().Option1->setChecked(true);
  type(editor->ui().txtSection, QStringLiteral("A"));
  type(editor->ui().txtLot, QStringLiteral("1"));
  type(editor->ui().txtGrave, QStringLiteral("1"));
  editor->ui().Check1->setChecked(true);
  editor->ui().Command1->click();
  editor->ui().mnuClose->trigger();
  settle();
  ASSERT_TRUE(QFile::exists(data.file(QStringLiteral("zelmap%1.dat").arg(riverside))));
  ASSERT_FALSE(frame->Toolbar1->isHidden());

  // The record: cemetery and lot type from the lists (the price is copied), place, names, dates.
  press("DataEdit");
  form = child<frmDataEntry>();
  ASSERT_TRUE(form);
  choose(form->ui().txtCemetery, QStringLiteral("Riverside"));
  choose(form->ui().txtLotInfo, QStringLiteral("Double, 8x8"));
  EXPECT_EQ(form->ui().txtPurchPrice->text(), QStringLiteral("1,975.50"));
  type(form->ui().txtSection, QStringLiteral("A"));
  type(form->ui().txtLot, QStringLiteral("1"));
  type(form->ui().txtGrave, QStringLiteral("5"));
  type(form->ui().txtInterredFirstName, QStringLiteral("Mary Ann"));
  type(form->ui().txtInterredLastName, QStringLiteral("O'Hara"));
  type(form->ui().txtDateOfBirth, QStringLiteral("03-15-1931"));
  type(form->ui().txtDateOfDeath, QStringLiteral("01-10-2024"));
  type(form->ui().txtIntermentDate, QStringLiteral("01-14-2024"));
  type(form->ui().txtPurchaserFirstName, QStringLiteral("Sean"));
  type(form->ui().txtPurchaserLastName, QStringLiteral("O'Hara"));
  type(form->ui().txtPurchDate, QStringLiteral("01-12-2024"));
  type(form->ui().txtBurialFee, QStringLiteral("350"));
  type(form->ui().txtPaid, QStringLiteral("1000"));
  form->ui().txtFemale->click();
  form->ui().txtRemarks->setFocus();
  settle();
  EXPECT_TRUE(ZEL1.RecordChanged);

  // Save: the record number the database gave it, and the state letter of a buried grave.
  form->ui().mnuSave->trigger();
  settle();
  const QString recid = form->ui().txtRecordNum->text();
  ASSERT_FALSE(recid.isEmpty());
  EXPECT_EQ(recid, scalar(QStringLiteral("select max(recid) from zel")));
  EXPECT_FALSE(ZEL1.RecordChanged);
  const QString where = QStringLiteral(" from zel where recid=") + recid;
  EXPECT_EQ(scalar(QStringLiteral("select status") + where), QStringLiteral("B"));
  EXPECT_EQ(scalar(QStringLiteral("select cemeteryid") + where), riverside);
  EXPECT_EQ(scalar(QStringLiteral("select interdate || ' ' || birthdate") + where),
            QStringLiteral("2024-01-14 1931-03-15"));
  EXPECT_EQ(scalar(QStringLiteral("select purchprice") + where), QStringLiteral("1975.50"));
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QString::number(demoRecords.toInt() + 1));

  // The map viewer paints its cell red; its neighbours stay available. The form is moved to another
  // record first: the click and Close bring this one back through the pending query.
  form->ui().mnuGetFirst->trigger();
  ASSERT_NE(form->ui().txtRecordNum->text(), recid);
  msgs.expectModal(QStringLiteral("frmCemeterySelect"), chooser(QStringLiteral("Riverside")));
  form->ui().mnuMapView->trigger();
  settle();
  frmViewMap* viewer = child<frmViewMap>();
  ASSERT_TRUE(viewer);
  EXPECT_EQ(viewer->Spread1->text(3, 3), QStringLiteral("A,1,5"));
  EXPECT_EQ(viewer->Spread1->backColor(3, 3), MapColors::of(GraveState::State::Buried));
  EXPECT_EQ(viewer->Spread1->backColor(3, 2), MapColors::white());
  emit viewer->Spread1->cellClicked(3, 3);
  EXPECT_EQ(viewer->txtLocation->text(), QStringLiteral("A,1,5"));
  EXPECT_EQ(viewer->txtName->text(), QStringLiteral("O'Hara, Mary Ann"));
  viewer->mnuClose->trigger();
  settle();
  EXPECT_FALSE(child<frmViewMap>());
  EXPECT_TRUE(ZEL1.PendingQuery.isEmpty());
  EXPECT_EQ(form->ui().txtRecordNum->text(), recid);
  EXPECT_EQ(form->ui().txtInterredLastName->text(), QStringLiteral("O'Hara"));
  EXPECT_EQ(form->ui().txtStatus->text(), QStringLiteral("BURIED"));

  // The export file holds it, with its cemetery and lot type.
  msgs.expectSaveFile(data.file(QStringLiteral("zel.csv")))
      .expectFileWritten(QStringLiteral("Export complete. File named ") + data.path() +
                         QStringLiteral("zel.csv was created."));
  form->ui().mnuExport->trigger();
  const QList<QByteArray> lines = fileBytes(data.file(QStringLiteral("zel.csv"))).split('\n');
  QList<QByteArray> ours;
  for (const QByteArray& line : lines)
    if (line.startsWith("\"Riverside\"")) ours << line.trimmed();
  ASSERT_EQ(ours.size(), 1);
  EXPECT_TRUE(ours[0].startsWith("\"Riverside\",\"A\",\"1\",\"5\",\"Double\",")) << ours[0].constData();
  EXPECT_TRUE(ours[0].contains(",\"O'Hara\",\"Mary Ann\",")) << ours[0].constData();
  EXPECT_TRUE(ours[0].contains(",#2024-01-14#,")) << ours[0].constData();
  EXPECT_TRUE(ours[0].contains(",1975.5,350,1000,")) << ours[0].constData();
  EXPECT_TRUE(ours[0].endsWith(",\"B\"")) << ours[0].constData();
  form->ui().mnuClose->trigger();
  settle();

  // The reports of its cemetery list it: the interred by location, the money still owed, and the
  // graves of the map (five of the six still available).
  auto report = [&](QAction* frmReports::*command) {
    press("Reports");
    frmReports* reports = child<frmReports>();
    EXPECT_TRUE(reports);
    if (!reports) return Report::Table();
    msgs.expectModal(QStringLiteral("frmCemeterySelect"), chooser(QStringLiteral("Riverside")));
    (reports->*command)->trigger();
    settle();
    const Report::Table table = reports->table();
    EXPECT_EQ(reports->Spread1->text(1, 2), table.rows.empty() ? QString() : table.rows[0][1].text);
    reports->mnuClose->trigger();
    settle();
    return table;
  };
  auto texts = [](const Report::Row& row) {
    QStringList out;
    for (const Report::Cell& c : row) out << c.text;
    return out.join(QLatin1Char('|'));
  };
  const Report::Table interred = report(&frmReports::mnuLocationSort);
  ASSERT_EQ(interred.count(), 1);
  EXPECT_EQ(texts(interred.rows[0]).toStdString(),
            (recid + QStringLiteral("|A,1,5|O'Hara, Mary Ann|03-15-1931|01-10-2024|F")).toStdString());
  const Report::Table owed = report(&frmReports::mnuAging);
  ASSERT_EQ(owed.count(), 1);
  EXPECT_TRUE(
      texts(owed.rows[0]).startsWith(recid + QStringLiteral("|A,1,5|O'Hara, Sean\nO'Hara, Mary Ann|")))
      << texts(owed.rows[0]).toStdString();
  EXPECT_TRUE(texts(owed.rows[0]).endsWith(QStringLiteral("|1975.50|350.00|1000.00|1325.50")))
      << texts(owed.rows[0]).toStdString();
  const Report::Table graves = report(&frmReports::mnuAvailableGraves);
  ASSERT_FALSE(graves.rows.empty());
  EXPECT_TRUE(texts(graves.rows[0]).startsWith(QStringLiteral("A|6|5|")))
      << texts(graves.rows[0]).toStdString();
  EXPECT_FALSE(frame->Toolbar1->isHidden());

  // The next backup archive holds it: Archive, a folder, OK.
  const QStringList before = storedRow(recid);
  QTemporaryDir backups;
  msgs.expectModal(QStringLiteral("frmBackupRestore"), [&](QDialog& d) {
    auto& w = static_cast<frmBackupRestore&>(d);
    w.setTargetFolder(backups.path());
    msgs.expectInfo(QStringLiteral("*"));
    w.Command1->click();
    return d.result();
  });
  press("Archive");
  const QStringList archives = QDir(backups.path()).entryList({QStringLiteral("zel*.zip")}, QDir::Files);
  ASSERT_EQ(archives.size(), 1);
  EXPECT_EQ(msgs.log().back().text,
            QStringLiteral("File(s) succesfully zipped.\n\n") + QDir(backups.path()).filePath(archives[0]));
  const QString archive = QDir(backups.path()).filePath(archives[0]);
  ASSERT_TRUE(ZEL1.cnData.isOpen());
  frame->close();
  ASSERT_FALSE(ZEL1.cnData.isOpen());
  frame.reset();

  // Restored into an empty folder: the start-up finds no data and offers only the restore; the next
  // start opens the restored files, the record and its map whole.
  TestFolder empty(false);
  msgs.expectInfo(kNoDataFiles);
  msgs.expectModal(QStringLiteral("frmBackupRestore"), [&](QDialog& d) {
    auto& w = static_cast<frmBackupRestore&>(d);
    EXPECT_FALSE(w.Option1->isVisible());
    msgs.expectOpenFile(archive)
        .expectQuestion(QStringLiteral("*"), MessageService::Answer::Yes, true)
        .expectInfo(QStringLiteral("File(s) succesfully restored.\n\n") + archive);
    w.Command1->click();
    return d.result();
  });
  ASSERT_EQ(start(empty.path()), Startup::Outcome::Recovery);
  EXPECT_EQ(ends, std::vector<int>{0}) << "the program ends once the restore window closes";
  frame.reset();
  ZEL1.reset();
  ASSERT_EQ(start(empty.path()), Startup::Outcome::Running);
  EXPECT_EQ(storedRow(recid), before);
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QString::number(demoRecords.toInt() + 1));
  const QString map = QStringLiteral("zelmap%1.dat").arg(riverside);
  EXPECT_EQ(fileBytes(empty.file(map)), fileBytes(data.file(map)));
}

}  // namespace
