#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include "core/maps/MapFile.h"
#include "core/program/Zel1.h"
#include "gui/controls/GridControl.h"
#include "gui/maps/MapColors.h"
#include "gui/maps/PlaceLine.h"
#include "gui/maps/frmMapEdit.h"
#include "support/OrdinaryUser.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"
#include "support/TestFolder.h"

namespace {

class MapEditTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    exec(QStringLiteral("insert into cemetery (cemeteryid, name) values (3, 'Oak Hill')"));
    ZEL1.CurrentCemeteryId = 3;
  }
  QString mapFile() const { return MapFile::fileName(ZEL1.DataPath, 3); }
  void trigger(frmMapEdit& w, const char* name) {
    w.findChild<QAction*>(QString::fromLatin1(name))->trigger();
  }
  // Types the three fields the way the user does.
  void fill(frmMapEdit& w, const QString& s, const QString& l, const QString& g) {
    for (QLineEdit* e : {w.ui().txtSection, w.ui().txtLot, w.ui().txtGrave}) e->clear();
    QTest::keyClicks(w.ui().txtSection, s);
    QTest::keyClicks(w.ui().txtLot, l);
    QTest::keyClicks(w.ui().txtGrave, g);
  }
  ScriptedMessages msgs;
};

const QColor kGreen(0, 128, 0);

}  // namespace

TEST_F(MapEditTest, SetNumbersBlocksRowByRowAndSetsKinds) {
  frmMapEdit w;
  GridControl& g = *w.ui().Spread1;
  w.ui().Check1->setChecked(true);
  fill(w, QStringLiteral(" A "), QStringLiteral("12"), QStringLiteral("5"));
  g.selectBlock(2, 2, 2, 2);
  w.ui().Command1->click();
  EXPECT_EQ(g.text(2, 2), "A,12,5");
  EXPECT_EQ(g.backColor(2, 2), QColor(Qt::white));

  g.selectBlock(4, 3, 5, 5);
  w.ui().Command1->click();
  EXPECT_EQ(g.text(4, 3), "A,12,5");
  EXPECT_EQ(g.text(4, 5), "A,12,7");
  EXPECT_EQ(g.text(5, 3), "A,12,8");
  EXPECT_EQ(g.text(5, 5), "A,12,10");
  EXPECT_EQ(g.backColor(3, 3), kGreen) << "outside the block";

  // Grave texts that do not start with a number count from 0; halves go to the even neighbour.
  fill(w, QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("x7"));
  g.selectBlock(7, 1, 7, 2);
  w.ui().Command1->click();
  EXPECT_EQ(g.text(7, 1), "B,1,0");
  EXPECT_EQ(g.text(7, 2), "B,1,1");
  fill(w, QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("2.5"));
  g.selectBlock(8, 1, 8, 1);
  w.ui().Command1->click();
  EXPECT_EQ(g.text(8, 1), "B,1,2");

  // Without AutoNumber every cell gets the trimmed fields as they are.
  w.ui().Check1->setChecked(false);
  fill(w, QStringLiteral("C"), QStringLiteral("2 "), QStringLiteral(" 9b"));
  g.selectBlock(10, 1, 11, 2);
  w.ui().Command1->click();
  EXPECT_EQ(g.text(10, 1), "C,2,9b");
  EXPECT_EQ(g.text(11, 2), "C,2,9b");

  // Paths and unused space never keep a text, whatever the fields say.
  w.ui().Option2->setChecked(true);
  g.selectBlock(10, 1, 10, 2);
  w.ui().Command1->click();
  EXPECT_EQ(g.text(10, 1), "");
  EXPECT_EQ(g.backColor(10, 2), QColor(Qt::black));
  w.ui().Option3->setChecked(true);
  g.selectBlock(11, 1, 11, 1);
  w.ui().Command1->click();
  EXPECT_EQ(g.text(11, 1), "");
  EXPECT_EQ(g.backColor(11, 1), kGreen);

  // Burial lots without a location: empty fields give white cells with no text.
  w.ui().Option1->setChecked(true);
  fill(w, QString(), QStringLiteral("  "), QString());
  g.selectBlock(4, 3, 4, 4);
  w.ui().Command1->click();
  EXPECT_EQ(g.text(4, 3), "");
  EXPECT_EQ(g.backColor(4, 4), QColor(Qt::white));
  EXPECT_EQ(g.text(4, 5), "A,12,7");
}

TEST_F(MapEditTest, ClickOrKeyShowsTheCellAndHeadersDoNothing) {
  frmMapEdit w;
  GridControl& g = *w.ui().Spread1;
  g.setText(3, 3, QStringLiteral("A ,12, 4"));
  g.setBackColor(GridRange::cell(3, 3), Qt::white);
  g.setBackColor(GridRange::cell(3, 4), Qt::black);
  g.setText(3, 5, QStringLiteral("A,1"));
  g.setBackColor(GridRange::cell(3, 5), Qt::red);

  w.Spread1Click(3, 3);
  EXPECT_EQ(w.ui().txtSection->text(), "A ");
  EXPECT_EQ(w.ui().txtGrave->text(), " 4");
  EXPECT_TRUE(w.ui().Option1->isChecked());
  w.Spread1Click(4, 3);
  EXPECT_EQ(w.ui().txtSection->text(), "");
  EXPECT_TRUE(w.ui().Option2->isChecked());
  w.Spread1Click(5, 3);  // other colours leave the kind as it was
  EXPECT_TRUE(w.ui().Option2->isChecked());
  w.Spread1Click(0, 3);
  w.Spread1Click(3, 0);
  EXPECT_TRUE(w.ui().Option2->isChecked());

  // The cursor moved by a key shows the cell it lands on.
  g.setActiveCell(3, 4);
  g.setFocus();
  QTest::keyClick(&g, Qt::Key_Left);
  EXPECT_EQ(g.activeCol(), 3);
  EXPECT_EQ(w.ui().txtLot->text(), "12");
  EXPECT_TRUE(w.ui().Option1->isChecked());
  EXPECT_EQ(w.ui().lblPlace->text(), "Place: A ,12, 4");  // whole, where the cell cuts it

  // Parts longer than the fields take are shown whole, and Set copies them unshortened; typing
  // stays limited.
  g.setText(4, 1, QStringLiteral("Chapel Yard North,12,10000000001"));
  w.Spread1Click(1, 4);
  EXPECT_EQ(w.ui().txtSection->text(), "Chapel Yard North");
  EXPECT_EQ(w.ui().txtGrave->text(), "10000000001");
  g.selectBlock(4, 2, 4, 2);
  w.ui().Option1->setChecked(true);
  w.ui().Command1->click();
  EXPECT_EQ(g.text(4, 2), "Chapel Yard North,12,10000000001");
  w.Spread1Click(3, 3);
  w.ui().txtSection->clear();
  QTest::keyClicks(w.ui().txtSection, "ABCDEFGHIJKLMN");
  EXPECT_EQ(w.ui().txtSection->text(), "ABCDEFGHIJ");
}

TEST_F(MapEditTest, InsertAndRemoveRowsAndColumnsAtTheCursor) {
  frmMapEdit w;
  GridControl& g = *w.ui().Spread1;
  g.setText(5, 5, QStringLiteral("A,1,1"));
  g.setBackColor(GridRange::block(1, 5, 500, 5), Qt::white);
  g.setActiveCell(5, 5);

  trigger(w, "mnuColIns");
  EXPECT_EQ(g.maxCols(), 501);
  EXPECT_EQ(g.text(5, 6), "A,1,1");
  EXPECT_EQ(g.backColor(500, 6), QColor(Qt::white));
  EXPECT_EQ(g.backColor(1, 5), kGreen);
  EXPECT_EQ(g.text(5, 5), "");

  g.setActiveCell(5, 5);
  trigger(w, "mnuRowIns");
  EXPECT_EQ(g.maxRows(), 501);
  EXPECT_EQ(g.text(6, 6), "A,1,1");
  EXPECT_EQ(g.backColor(5, 6), kGreen);

  g.setActiveCell(5, 5);
  trigger(w, "mnuRowDel");
  trigger(w, "mnuColDel");
  EXPECT_EQ(g.maxRows(), 500);
  EXPECT_EQ(g.maxCols(), 500);
  EXPECT_EQ(g.text(5, 5), "A,1,1");
  EXPECT_EQ(g.backColor(500, 5), QColor(Qt::white));
}

TEST_F(MapEditTest, NumberOfColumnsAndRowsGrowAndShrinkTheSheet) {
  frmMapEdit w;
  GridControl& g = *w.ui().Spread1;
  g.setBackColor(GridRange::block(1, 500, 500, 500), Qt::white);
  g.setText(10, 500, QStringLiteral("A,1,1"));

  for (const std::optional<QString>& answer :
       {std::optional<QString>(QStringLiteral("0")), std::optional<QString>(QStringLiteral("abc")),
        std::optional<QString>()}) {
    msgs.expectInput(QStringLiteral("How many columns would you like?"), answer);
    trigger(w, "mnuMaxCols");
    EXPECT_EQ(g.maxCols(), 500);
  }
  msgs.expectInput(QStringLiteral("How many columns would you like?"), QStringLiteral("502"));
  trigger(w, "mnuMaxCols");
  EXPECT_EQ(g.maxCols(), 502);
  EXPECT_EQ(g.backColor(10, 500), QColor(Qt::white)) << "existing cells keep their kind";
  EXPECT_EQ(g.backColor(10, 501), kGreen);

  // Cutting off drawn cells asks first (No by default), and No keeps the sheet whole.
  const QString cut = QStringLiteral(
      "The part of the map that would be cut off holds drawn cells or place names, and they would be lost. "
      "Make the map smaller anyway?");
  // Only unused space beyond asks nothing; Yes cuts.
  using enum MessageService::Answer;
  struct Step {
    bool rows;
    const char* answer;
    std::optional<MessageService::Answer> cutAnswer;
    int size;
  };
  for (const Step& s : {Step{true, "3", No, 500}, Step{false, "499", No, 502}, Step{false, "500", {}, 500},
                        Step{true, "3", Yes, 3}, Step{true, "20", {}, 20}}) {
    msgs.expectInput(s.rows ? QStringLiteral("How many rows would you like?")
                            : QStringLiteral("How many columns would you like?"),
                     QString::fromLatin1(s.answer));
    if (s.cutAnswer) msgs.expectQuestion(cut, *s.cutAnswer, true);
    trigger(w, s.rows ? "mnuMaxRows" : "mnuMaxCols");
    EXPECT_EQ(s.rows ? g.maxRows() : g.maxCols(), s.size) << s.answer;
    if (s.cutAnswer == No) {
      EXPECT_EQ(g.text(10, 500), "A,1,1");
    }
  }
  EXPECT_EQ(g.text(10, 500), "") << "shrinking dropped the cell";
  EXPECT_EQ(g.backColor(10, 500), kGreen);
  EXPECT_EQ(g.backColor(2, 500), QColor(Qt::white));
}

TEST_F(MapEditTest, MapWithoutMarkerIsCleanedOnceWhenOpened) {
  {
    GridControl old;
    old.setMaxRows(30);
    old.setMaxCols(20);
    old.setBackColor(GridRange::all(), Qt::white);
    old.setBackColor(GridRange::cell(1, 1), Qt::red);  // coloured by state by an earlier version
    old.setBackColor(GridRange::cell(1, 2), Qt::blue);
    old.setBackColor(GridRange::cell(1, 3), Qt::black);
    old.setText(1, 1, QStringLiteral("A,1,1"));
    ASSERT_TRUE(old.saveToFile(mapFile(), false));
  }
  frmMapEdit w;
  EXPECT_EQ(w.ui().Spread1->maxRows(), 30);
  EXPECT_EQ(w.ui().Spread1->backColor(1, 1), kGreen);
  EXPECT_EQ(w.ui().Spread1->text(1, 1), "A,1,1");
  EXPECT_EQ(w.ui().Spread1->backColor(1, 2), kGreen);
  EXPECT_EQ(w.ui().Spread1->backColor(1, 3), QColor(Qt::black));
  EXPECT_EQ(w.ui().Spread1->backColor(30, 20), QColor(Qt::white));
}

TEST_F(MapEditTest, AnUnreadableMapIsNeverWrittenOver) {
  {
    GridControl g;
    g.setText(1, 1, QStringLiteral("A,1,1"));
    ASSERT_TRUE(g.saveToFile(mapFile(), false));
  }
  QByteArray bytes = fileBytes(mapFile());
  bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x01);
  writeFile(mapFile(), bytes);
  const QString folder = ZEL1.DataPath;
  const QString question =
      QStringLiteral(
          "The map file %1zelmap3.dat cannot be read: it is damaged or is not a map file of "
          "this program.\n\nStart a new map? The unreadable file is kept as %1%2.")
          .arg(folder);

  // Declined: the editor does not open and the file stays as it is.
  msgs.expectQuestion(question.arg(QStringLiteral("zelmap3.unreadable.dat")), MessageService::Answer::No,
                      true);
  EXPECT_EQ(frmMapEdit::open(), nullptr);
  EXPECT_EQ(fileBytes(mapFile()), bytes);

  // The folder cannot take the kept file: the editor does not open either.
  chmodTo(folder, 0555);
  {
    OrdinaryUser user;
    msgs.expectQuestion(question.arg(QStringLiteral("zelmap3.unreadable.dat")), MessageService::Answer::Yes);
    msgs.expectInfo(
        QStringLiteral("The map file %1zelmap3.dat could not be kept as %1zelmap3.unreadable.dat: "
                       "Cannot open destination file: Permission denied. The map editor is not opened.")
            .arg(folder));
    EXPECT_EQ(frmMapEdit::open(), nullptr);
  }
  chmodTo(folder, 0755);
  EXPECT_EQ(fileBytes(mapFile()), bytes);

  // Accepted: the bytes go beside under a name that says what they are; a new map is drawn and
  // saved on closing. A second unreadable file does not replace the first one kept.
  for (const char* kept : {"zelmap3.unreadable.dat", "zelmap3.unreadable-2.dat"}) {
    msgs.expectQuestion(question.arg(QLatin1String(kept)), MessageService::Answer::Yes);
    std::unique_ptr<frmMapEdit> w(frmMapEdit::open());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->ui().Spread1->text(1, 1), "");
    EXPECT_EQ(w->ui().Spread1->backColor(250, 250), kGreen);
    EXPECT_FALSE(QFile::exists(mapFile()));
    EXPECT_TRUE(w->close());
    EXPECT_EQ(fileBytes(folder + QLatin1String(kept)), bytes);
    GridControl back;
    EXPECT_TRUE(back.loadFromFile(mapFile()));
    writeFile(mapFile(), bytes);
  }
}

TEST_F(MapEditTest, EveryWayOfClosingSavesTheWholeMapAndAFailedSaveKeepsTheEditorOpen) {
  QMdiArea area;
  auto* w = new frmMapEdit;
  QMdiSubWindow* sub = area.addSubWindow(w);
  sub->setAttribute(Qt::WA_DeleteOnClose, false);
  sub->show();
  w->ui().Check1->setChecked(true);
  fill(*w, QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"));
  w->ui().Spread1->selectBlock(1, 1, 3, 4);
  w->ui().Command1->click();
  w->ui().Option2->setChecked(true);
  w->ui().Spread1->selectBlock(4, 1, 4, 10);
  w->ui().Command1->click();
  msgs.expectInput(QStringLiteral("How many rows would you like?"), QStringLiteral("40"));
  trigger(*w, "mnuMaxRows");

  // The folder cannot be written: the close box leaves the editor open and says why.
  const QString folder = ZEL1.DataPath;
  chmodTo(folder, 0555);
  {
    OrdinaryUser user;
    msgs.expectInfo(
        QStringLiteral("The map could not be saved to %1zelmap3.dat: the folder %2 cannot be written "
                       "to.")
            .arg(folder, QDir::toNativeSeparators(QFileInfo(folder).absolutePath())));
    EXPECT_FALSE(sub->close());
    EXPECT_FALSE(sub->isHidden());
  }
  chmodTo(folder, 0755);
  EXPECT_FALSE(QFile::exists(mapFile()));

  // Close saves the map, and it comes back cell for cell.
  trigger(*w, "mnuClose");
  EXPECT_TRUE(sub->isHidden());
  frmMapEdit again;
  EXPECT_EQ(again.ui().Spread1->text(0, 0), "6.0");
  EXPECT_EQ(again.ui().Spread1->maxRows(), 40);
  for (int r = 0; r <= 41; ++r)
    for (int c = 0; c <= 501; ++c) {
      ASSERT_EQ(again.ui().Spread1->text(r, c), w->ui().Spread1->text(r, c)) << r << "," << c;
      ASSERT_EQ(again.ui().Spread1->backColor(r, c), w->ui().Spread1->backColor(r, c)) << r << "," << c;
    }
  EXPECT_EQ(again.ui().Spread1->text(3, 4), "A,1,12");

  // The window's own close box saves as Close does.
  again.ui().Spread1->setText(2, 2, QStringLiteral("B,2,2"));
  EXPECT_TRUE(again.close());
  GridControl back;
  ASSERT_TRUE(back.loadFromFile(mapFile()));
  EXPECT_EQ(back.text(2, 2), "B,2,2");
  // Two saves in the change history (the failed one wrote none), the last naming its one cell.
  EXPECT_EQ(scalar("select count(*) from history where kind='map saved' and recid=3"), "2");
  EXPECT_EQ(scalar("select detail from history where kind='map saved' order by id desc limit 1"),
            "2,2: A,1,6 [back ffffff] -> B,2,2 [back ffffff]");
}

TEST_F(MapEditTest, UnreadableCaptionIsReportedAndTheMapStillEdited) {
  exec(QStringLiteral("alter table cemetery rename to cemetery_gone"));
  msgs.expectInfo(QStringLiteral("*"));
  frmMapEdit w;
  ASSERT_EQ(msgs.log().size(), 1u);
  EXPECT_TRUE(msgs.log().back().text.contains("cemetery")) << msgs.log().back().text.toStdString();
  EXPECT_EQ(w.windowTitle(), "Map Editor");
  EXPECT_EQ(w.ui().Spread1->backColor(1, 1), kGreen);
  w.ui().Spread1->selectBlock(1, 1, 1, 1);
  w.ui().Option1->setChecked(true);
  fill(w, "A", "1", "1");
  w.Command1Click();
  EXPECT_TRUE(w.mnuCloseClick());
  GridControl back;
  ASSERT_TRUE(back.loadFromFile(mapFile()));
  EXPECT_EQ(back.text(1, 1), "A,1,1");
  exec(QStringLiteral("alter table cemetery_gone rename to cemetery"));
}
