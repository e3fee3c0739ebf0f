#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include "core/maps/MapFile.h"
#include "core/program/Zel1.h"
#include "core/store/RecordSet.h"
#include "gui/controls/GridControl.h"
#include "gui/maps/PlaceLine.h"
#include "gui/maps/frmViewMap.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"
#include "support/TestFolder.h"

namespace {

const QColor kRed(255, 0, 0), kBlue(0, 0, 255), kYellow(255, 255, 0), kWhite(255, 255, 255), kBlack(0, 0, 0);

class ViewMapTest : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    exec(QStringLiteral("insert into cemetery (cemeteryid, name) values (4, 'Elm Ridge')"));
    exec(QStringLiteral("insert into cemetery (cemeteryid, name) values (5, 'Other')"));
    ZEL1.CurrentCemeteryId = 4;
  }
  void record(int cem, const QString& s, const QString& l, const QString& g, const QString& status,
              const QString& inter = QString(), const QString& owner = QString()) {
    exec(QStringLiteral(
             "insert into zel (cemeteryid, csection, lot, grave, status, interlastname, interfirstname, "
             "ownerlastname, ownerfirstname) values (%1, '%2', '%3', '%4', '%5', '%6', 'Ann', '%7', "
             "'Bob')")
             .arg(cem)
             .arg(QString(s).replace("'", "''"), l, g, status, inter, owner));
  }
  // A map of white burial lots whose texts are given row by row in row 1.
  void map(const QStringList& texts) {
    GridControl g;
    g.setMaxRows(10);
    g.setMaxCols(12);
    g.setBackColor(GridRange::all(), QColor(0, 128, 0));
    for (int i = 0; i < texts.size(); ++i) {
      g.setBackColor(GridRange::cell(1, i + 1), kWhite);
      g.setText(1, i + 1, texts[i]);
    }
    g.setBackColor(GridRange::cell(2, 1), kBlack);
    g.setText(0, 0, QStringLiteral("6.0"));
    ASSERT_TRUE(g.saveToFile(MapFile::fileName(ZEL1.DataPath, 4), false));
  }
  QString recidOf(const QString& query) {
    RecordSet rs(&ZEL1.cnData);
    rs.open(query);
    return rs.eof() ? QString() : rs.field(QStringLiteral("recid")).toString();
  }
  ScriptedMessages msgs;
};

}  // namespace

TEST_F(ViewMapTest, ColoursGravesByStateOnce) {
  record(4, "A", "1", "1", "B");
  record(4, "A", "1", "2", "S");
  record(4, "a", "1", "3", "r");  // lower-case state: found by the query, painted as nothing
  record(4, "A", "1", "4", "R");
  record(4, "A", "1", "5", " ");
  record(4, "A", "1", "6", "S");  // the first of two records with one place decides
  record(4, "A", "1", "6", "B");
  record(5, "A", "1", "7", "B");     // another cemetery
  record(4, "A", "1", "1,1", "B");   // a key of four parts
  record(4, "A ", " 1", "8 ", "S");  // stored with blanks
  map({"A,1,1", " a,1,2 ", "A,1,3", "A,1,4", "A,1,5", "A,1,6", "A,1,7", "A,1", "A,1,1,1", "A,1,8"});

  frmViewMap w;
  EXPECT_EQ(w.windowTitle(), "Elm Ridge");  // the cemetery's name
  EXPECT_FALSE(w.coloured());
  w.show();
  QCoreApplication::processEvents();
  ASSERT_TRUE(w.coloured());
  GridControl& g = *w.Spread1;
  QList<QColor> row;
  for (int c = 1; c <= 10; ++c) row << g.backColor(1, c);
  // Keys ignore case and blanks around the text (2, 10); the first record of a place decides (6);
  // another cemetery's grave, two or four parts and a lower-case state paint nothing.
  EXPECT_EQ(row, (QList<QColor>{kRed, kBlue, kWhite, kYellow, kWhite, kBlue, kWhite, kWhite, kWhite, kBlue}));
  EXPECT_EQ(g.foreColor(1, 1), kWhite);
  EXPECT_EQ(g.foreColor(1, 4), kBlack);
  EXPECT_EQ(g.backColor(2, 1), kBlack);

  // Records changed later do not recolour an open viewer.
  exec(QStringLiteral("update zel set status='B' where grave='5'"));
  w.FormActivate();
  EXPECT_EQ(g.backColor(1, 5), kWhite);
  EXPECT_FALSE(QFile(MapFile::fileName(ZEL1.DataPath, 4)).size() == 0);
}

TEST_F(ViewMapTest, ClickShowsTheGraveAndCloseHandsItToTheRecordForm) {
  record(4, "A", "1", "1", "B", "Grey");
  record(4, "A", "1", "2", "S", "Nobody", "Buyer");
  record(4, "A", "1", "3", " ");
  record(4, "O'Neil", "2", "1", "R", "", "Quote");
  record(5, "A", "1", "9", "B", "Elsewhere");
  map({"A,1,1", "A,1,2", "A,1,3", "O'Neil,2,1", "A,1", "A,1,9", "a,1,1,1"});
  frmViewMap w;

  w.Spread1Click(1, 1);
  EXPECT_EQ(w.txtLocation->text(), "A,1,1");
  EXPECT_EQ(w.txtName->text(), "Grey, Ann");
  w.Spread1Click(2, 1);
  EXPECT_EQ(w.txtName->text(), "Buyer, Bob");
  w.Spread1Click(3, 1);
  EXPECT_EQ(w.txtName->text(), ", Ann");
  w.Spread1Click(6, 1);
  EXPECT_EQ(w.txtName->text(), "") << "a grave of another cemetery";
  w.Spread1Click(0, 1);
  w.Spread1Click(6, 0);
  EXPECT_EQ(w.txtLocation->text(), "A,1,9") << "header clicks change nothing";
  // A name cut by its narrow cell is whole under the mouse; an empty cell has no tip.
  const QAbstractItemModel& m = *w.Spread1->model();
  EXPECT_EQ(m.data(m.index(0, 3), Qt::ToolTipRole).toString(), "O'Neil,2,1");
  EXPECT_FALSE(m.data(m.index(5, 5), Qt::ToolTipRole).isValid());
  // And in the status line, for the cell under the mouse or else the current one, whole even in a
  // window of 800 x 600.
  w.resize(800, 600);
  w.show();
  QCoreApplication::processEvents();
  QWidget* sheet = w.Spread1->viewport();
  const QPoint over = w.Spread1->visualRect(m.index(0, 3)).center();
  QMouseEvent move(QEvent::MouseMove, over, sheet->mapToGlobal(over), Qt::NoButton, {}, {});
  QCoreApplication::sendEvent(sheet, &move);
  EXPECT_EQ(w.lblPlace->text(), "Place: O'Neil,2,1");
  QCoreApplication::processEvents();
  EXPECT_TRUE(w.lblPlace->isVisible());
  EXPECT_GE(w.lblPlace->width(), w.lblPlace->sizeHint().width());
  w.Spread1->setActiveCell(1, 6);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(sheet, &leave);
  EXPECT_EQ(w.lblPlace->text(), "Place: A,1,9");
  // The arrow keys reach a grave as a click does.
  w.Spread1->setActiveCell(1, 1);
  QTest::keyClick(w.Spread1, Qt::Key_Right);
  EXPECT_EQ(w.txtName->text(), "Buyer, Bob");

  // A quote in the location stays inside its literal.
  w.Spread1Click(4, 1);
  EXPECT_EQ(w.txtName->text(), "Quote, Bob");
  w.mnuCloseClick();
  EXPECT_EQ(recidOf(ZEL1.PendingQuery), scalar("select recid from zel where csection='O''Neil'"));
  EXPECT_TRUE(ZEL1.PendingQuery.startsWith("select * from zel where cemeteryid=4 and csection='"));

  for (int col : {5, 7}) {  // two and four parts name no grave
    frmViewMap v;
    v.Spread1Click(col, 1);
    EXPECT_FALSE(v.txtLocation->text().isEmpty());
    EXPECT_EQ(v.txtName->text(), "");
    ZEL1.PendingQuery = QStringLiteral("old");
    v.mnuCloseClick();
    EXPECT_EQ(ZEL1.PendingQuery, "");
  }
  frmViewMap v;
  v.Spread1Click(1, 1);
  v.mnuCloseClick();
  EXPECT_EQ(recidOf(ZEL1.PendingQuery),
            scalar("select recid from zel where grave='1' and interlastname='Grey'"));
}

TEST_F(ViewMapTest, PlacesMatchTheirRecordsWhateverTheCaseOfAnyLetter) {
  record(4, "É", "1", "1", "B", "Éloïse");
  record(4, "ß", "Ü", "2", "S", "", "Müller");
  map({"é,1,1", "ß,ü,2"});
  frmViewMap w;
  w.show();
  QCoreApplication::processEvents();
  EXPECT_EQ(w.Spread1->backColor(1, 1), kRed);
  EXPECT_EQ(w.Spread1->backColor(1, 2), kBlue);
  w.Spread1Click(1, 1);
  EXPECT_EQ(w.txtName->text(), "Éloïse, Ann");
  w.Spread1Click(2, 1);
  EXPECT_EQ(w.txtName->text(), "Müller, Bob");
  w.mnuCloseClick();
  EXPECT_EQ(recidOf(ZEL1.PendingQuery), scalar("select recid from zel where ownerlastname='Müller'"));
}

TEST_F(ViewMapTest, ZoomStepsThroughItsSizesAndRoundAgain) {
  frmViewMap w;
  w.findChild<QAction*>(QStringLiteral("mnuZoom"))->trigger();
  EXPECT_EQ(ZEL1.MapZoom, 1000);
  EXPECT_EQ(w.Spread1->rowHeight(1), 1000);
  w.mnuZoomClick();
  EXPECT_EQ(ZEL1.MapZoom, 50);
}

TEST_F(ViewMapTest, PrintsToPdfAndPutsTheCornerCellBack) {
  map({"A,1,1"});
  QTemporaryDir dir;
  const QString pdf = dir.filePath(QStringLiteral("map.pdf"));
  frmViewMap w;
  msgs.expectPrinter(pdf).expectQuestion(QStringLiteral("Do you want to print colors?"),
                                         MessageService::Answer::Yes, true);
  w.findChild<QAction*>(QStringLiteral("mnuPrint"))->trigger();
  EXPECT_TRUE(fileBytes(pdf).startsWith("%PDF"));
  EXPECT_EQ(w.Spread1->text(10, 12), "");
  EXPECT_TRUE(w.Spread1->printSettings().color);
  EXPECT_EQ(w.Spread1->printSettings().marginTop, 1440);

  // A text in the last cell stays; black and white printing when the answer is No.
  w.Spread1->setText(10, 12, QStringLiteral("X"));
  msgs.expectPrinter(pdf).expectQuestion(QStringLiteral("Do you want to print colors?"),
                                         MessageService::Answer::No, true);
  w.mnuPrintClick();
  EXPECT_EQ(w.Spread1->text(10, 12), "X");
  EXPECT_FALSE(w.Spread1->printSettings().color);

  // Cancelling the printer choice prints nothing and asks nothing.
  msgs.expectPrinter(QString());
  w.mnuPrintClick();

  // A printer that cannot start is named.
  const QString nowhere = dir.filePath(QStringLiteral("no/such/folder/map.pdf"));
  msgs.expectPrinter(nowhere)
      .expectQuestion(QStringLiteral("Do you want to print colors?"), MessageService::Answer::No, true)
      .expectInfo(QStringLiteral("The map could not be printed to %1.").arg(nowhere));
  w.mnuPrintClick();
}

TEST_F(ViewMapTest, WithoutMapFileShowsAnEmptySheet) {
  frmViewMap w;
  w.show();
  QCoreApplication::processEvents();
  EXPECT_TRUE(w.coloured());
  EXPECT_EQ(w.Spread1->dataRowCnt(), 0);
  w.Spread1Click(1, 1);
  EXPECT_EQ(w.txtLocation->text(), "");
}

TEST_F(ViewMapTest, DatabaseFailuresAreReportedAndTheMapStillShown) {
  map({"A,1,1"});
  // The caption cannot be read: the viewer says why and shows the map under its own caption.
  exec(QStringLiteral("alter table cemetery rename to cemetery_gone"));
  msgs.expectInfo(QStringLiteral("no such table: cemetery"));
  frmViewMap w;
  EXPECT_EQ(w.windowTitle(), "Zelmora Map");
  EXPECT_EQ(w.Spread1->text(1, 1), "A,1,1");

  // The states cannot be read: said, rather than showing every grave as free; the map stays plain.
  exec(QStringLiteral("alter table zel rename to zel_gone"));
  msgs.expectInfo(QStringLiteral("no such table: zel"));
  w.show();
  QCoreApplication::processEvents();
  EXPECT_EQ(w.Spread1->backColor(1, 1), kWhite);

  // The grave of a clicked cell cannot be looked up: said once, the location still shown.
  msgs.expectInfo(QStringLiteral("no such table: zel"));
  emit w.Spread1->cellClicked(1, 1);
  EXPECT_EQ(w.txtLocation->text(), "A,1,1");
  EXPECT_EQ(w.txtName->text(), "");
  w.mnuCloseClick();
  EXPECT_TRUE(ZEL1.PendingQuery.startsWith("select * from zel where cemeteryid=4 and csection='A'"));
  exec(QStringLiteral("alter table zel_gone rename to zel"));
  exec(QStringLiteral("alter table cemetery_gone rename to cemetery"));
}
