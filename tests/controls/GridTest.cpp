#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QHeaderView>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

#include "gui/controls/GridControl.h"
#include "support/PdfPages.h"
#include "support/TestData.h"

// The model keeps its contract through every structural change the windows make.
TEST(Grid, ModelContractHoldsThroughStructuralChanges) {
  GridModel m;
  QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::Fatal);
  m.setMaxRows(20);
  m.setMaxCols(10);
  m.setText(3, 4, QStringLiteral("x"));
  m.setBackColor(GridRange::block(1, 1, 5, 5), Qt::red);
  m.insertRowAt(2);
  m.insertColAt(2);
  m.deleteRowAt(1);
  m.deleteColAt(10);
  m.insertRows(20, 3);
  m.setMaxRows(5);
  m.setMaxCols(3);
  m.setCellType(GridRange::cell(1, 1), GridModel::kComboCell, QStringLiteral("a\tb"));
  EXPECT_TRUE(m.setData(m.index(0, 0), QStringLiteral("b")));
  EXPECT_FALSE(m.setData(m.index(0, 1), QStringLiteral("b")));  // plain cells are the program's
  EXPECT_EQ(m.text(1, 1), "b");
  m.setMaxRows(0);
  EXPECT_EQ(m.rowCount(), 0);
}

TEST(Grid, AddressingBlocksWholeSheetAndHeaders) {
  GridModel m;
  m.setMaxRows(100);
  m.setMaxCols(50);
  EXPECT_EQ(m.dataRowCnt(), 0);
  EXPECT_EQ(m.dataColCnt(), 0);

  m.setBackColor(GridRange::all(), QColor(0, 128, 0));
  m.setBackColor(GridRange::block(2, 3, 4, 5), Qt::white);
  m.setBackColor(GridRange{-1, 7, -1, 7}, Qt::black);  // one column, every row
  EXPECT_EQ(m.backColor(100, 50), QColor(0, 128, 0));
  EXPECT_EQ(m.backColor(4, 5), QColor(Qt::white));
  EXPECT_EQ(m.backColor(5, 5), QColor(0, 128, 0));
  EXPECT_EQ(m.backColor(1, 7), QColor(Qt::black));
  EXPECT_EQ(m.backColor(100, 7), QColor(Qt::black));
  // The whole sheet again wipes every cell's own colour.
  m.setBackColor(GridRange::all(), Qt::yellow);
  EXPECT_EQ(m.backColor(4, 5), QColor(Qt::yellow));
  EXPECT_EQ(m.backColor(1, 7), QColor(Qt::yellow));

  m.setText(0, 2, QStringLiteral("Name"));
  m.setText(40, 0, QStringLiteral("R"));
  EXPECT_EQ(m.headerData(1, Qt::Horizontal).toString(), "Name");
  EXPECT_EQ(m.headerData(0, Qt::Horizontal).toString(), "1");
  EXPECT_EQ(m.headerData(39, Qt::Vertical).toString(), "R");
  m.setTypeHAlign(GridRange{0, -1, 0, -1}, 2);  // the report's centred column headers
  m.setFontBold(GridRange::cell(0, 2), true);
  EXPECT_EQ(m.headerData(4, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
                Qt::AlignHorizontal_Mask,
            Qt::AlignHCenter);
  EXPECT_TRUE(m.headerData(1, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
  EXPECT_EQ(m.dataRowCnt(), 0) << "header texts are not data";

  m.setText(7, 3, QStringLiteral("a"));
  m.setText(2, 9, QStringLiteral("b"));
  EXPECT_EQ(m.dataRowCnt(), 7);
  EXPECT_EQ(m.dataColCnt(), 9);
  m.setText(7, 3, QString());
  EXPECT_EQ(m.dataRowCnt(), 2);

  // Shrinking drops what lies beyond; growing again brings blank cells.
  m.setText(90, 40, QStringLiteral("far"));
  m.setMaxRows(50);
  m.setMaxRows(100);
  EXPECT_EQ(m.text(90, 40), "");
  m.setText(10, 45, QStringLiteral("wide"));
  m.setMaxCols(44);
  m.setMaxCols(50);
  EXPECT_EQ(m.text(10, 45), "");
  // Out of range writes are ignored rather than growing the sheet.
  m.setText(101, 1, QStringLiteral("no"));
  EXPECT_EQ(m.maxRows(), 100);
}

TEST(Grid, InsertAndDeleteActionsShiftCellsAndKeepTheSize) {
  GridModel m;
  m.setMaxRows(4);
  m.setMaxCols(4);
  for (int r = 1; r <= 4; ++r)
    for (int c = 1; c <= 4; ++c) m.setText(r, c, QString::number(r * 10 + c));
  m.setBackColor(GridRange::cell(2, 2), Qt::black);

  m.insertColAt(2);
  EXPECT_EQ(m.maxCols(), 4);
  EXPECT_EQ(m.text(1, 1), "11");
  EXPECT_EQ(m.text(1, 2), "");
  EXPECT_EQ(m.text(1, 3), "12");
  EXPECT_EQ(m.text(1, 4), "13");  // 14 fell off the end
  EXPECT_EQ(m.backColor(2, 3), QColor(Qt::black));

  m.deleteColAt(2);
  EXPECT_EQ(m.text(1, 2), "12");
  EXPECT_EQ(m.text(1, 4), "");
  EXPECT_EQ(m.backColor(2, 2), QColor(Qt::black));

  m.deleteRowAt(1);
  EXPECT_EQ(m.maxRows(), 4);
  EXPECT_EQ(m.text(1, 1), "21");
  EXPECT_EQ(m.text(4, 1), "");
  m.insertRowAt(1);
  EXPECT_EQ(m.text(1, 1), "");
  EXPECT_EQ(m.text(2, 1), "21");

  m.insertRows(2, 3);  // the import window's insert grows the sheet
  EXPECT_EQ(m.maxRows(), 7);
  EXPECT_EQ(m.text(5, 1), "21");
}

TEST(Grid, FormatsFollowTheirCellsAndTheSheetDefaults) {
  GridModel m;
  m.setMaxRows(10);
  m.setMaxCols(10);
  m.setFontName(GridRange::all(), QStringLiteral("Arial"));
  m.setFontSize(GridRange::all(), 7);
  m.setFontBold(GridRange{1, -1, 1, -1}, true);
  m.setTypeHAlign(GridRange::block(2, 2, 3, 3), 1);
  m.setForeColor(GridRange::cell(5, 5), Qt::white);
  EXPECT_TRUE(m.fontBold(1, 10));
  EXPECT_FALSE(m.fontBold(2, 1));
  EXPECT_EQ(m.font(1, 1).pointSizeF(), 7);
  EXPECT_EQ(m.typeHAlign(3, 3), 1);
  EXPECT_EQ(m.data(m.index(2, 2), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
            Qt::AlignRight);
  EXPECT_EQ(m.typeHAlign(4, 4), 0);
  EXPECT_EQ(m.foreColor(5, 5), QColor(Qt::white));
  // A later whole-sheet font size overrides what single cells had.
  m.setFontSize(GridRange::cell(6, 6), 20);
  m.setFontSize(GridRange::all(), 10);
  EXPECT_EQ(m.font(6, 6).pointSizeF(), 10);
  EXPECT_TRUE(m.fontBold(1, 1)) << "bold is kept when only the size changes";

  m.setCellType(GridRange{1, -1, 1, -1}, GridModel::kComboCell, QStringLiteral("\tcsection\tlot"));
  EXPECT_EQ(m.cellType(1, 4), GridModel::kComboCell);
  EXPECT_EQ(m.comboList(1, 4), (QStringList{"", "csection", "lot"}));
  EXPECT_TRUE(m.flags(m.index(0, 3)) & Qt::ItemIsEditable);
  EXPECT_FALSE(m.flags(m.index(1, 3)) & Qt::ItemIsEditable);
}

TEST(Grid, SizesSelectionAndTextWidths) {
  GridControl g;
  g.resize(400, 300);
  g.setMaxRows(30);
  g.setMaxCols(30);
  g.setColWidth(-1, 1440);  // one inch
  g.setRowHeight(-1, 720);
  g.setColWidth(3, 2880);
  EXPECT_EQ(g.horizontalHeader()->sectionSize(0), g.logicalDpiX());
  EXPECT_EQ(g.horizontalHeader()->sectionSize(2), 2 * g.logicalDpiX());
  EXPECT_EQ(g.verticalHeader()->sectionSize(5), g.logicalDpiY() / 2);
  g.setColWidth(-1, 500);
  EXPECT_EQ(g.colWidth(3), 500) << "all columns includes those sized one by one";

  g.setText(2, 4, QStringLiteral("short"));
  const double shortW = g.maxTextColWidth(4);
  g.setText(9, 4, QStringLiteral("a much longer text than the first"));
  EXPECT_GT(g.maxTextColWidth(4), shortW);
  EXPECT_EQ(g.maxTextColWidth(5), 0);

  g.setActiveCell(7, 8);
  g.clearSelection();
  EXPECT_EQ(g.selBlockRow(), 7) << "no block: the cursor cell";
  EXPECT_EQ(g.selBlockCol2(), 8);
}

TEST(Grid, PrintsTheDataBlockOnAsManyPagesAsItNeeds) {
  QTemporaryDir dir;
  GridControl g;
  g.setMaxRows(10);
  g.setMaxCols(10);
  g.setColWidth(-1, 720);
  g.setRowHeight(-1, 300);
  g.setText(3, 3, QStringLiteral("Smith"));
  g.printSettings().header = QStringLiteral("Report/rPage");
  g.printSettings().footer = QStringLiteral("Footer");

  QPrinter small;
  small.setOutputFormat(QPrinter::PdfFormat);
  small.setOutputFileName(dir.filePath(QStringLiteral("small.pdf")));
  ASSERT_TRUE(g.print(small));
  EXPECT_EQ(pdfPageCount(fileBytes(dir.filePath(QStringLiteral("small.pdf")))), 1);

  // Forty one-inch columns cannot fit one page across.
  g.setMaxCols(40);
  g.setColWidth(-1, 1440);
  g.setText(1, 40, QStringLiteral("."));
  QPrinter wide;
  wide.setOutputFormat(QPrinter::PdfFormat);
  wide.setOutputFileName(dir.filePath(QStringLiteral("wide.pdf")));
  ASSERT_TRUE(g.print(wide));
  EXPECT_GE(pdfPageCount(fileBytes(dir.filePath(QStringLiteral("wide.pdf")))), 5);
}

// Reading items is the loader's (tests/import); the grid keeps what fits and logs the rest.
TEST(Grid, LoadsDelimitedTextAndLogsWhatDoesNotFit) {
  QTemporaryDir dir;
  const QString log = dir.filePath(QStringLiteral("import.log")), tab = dir.filePath(QStringLiteral("a.txt"));
  writeFile(tab, "Smith\tJohn\t\"A, 1\"\r\n\r\nO'Neil\t\xc3\xa9le\r\n");
  GridControl g;
  g.setMaxRows(10);
  g.setMaxCols(5);
  ASSERT_TRUE(g.loadTextFile(tab, QString(), QStringLiteral("\t"), QStringLiteral("\r\n"), 4, log));
  EXPECT_EQ(g.text(1, 3), "\"A, 1\"") << "without a qualifier quotes stay";
  EXPECT_EQ(g.text(3, 2), QString::fromUtf8("\xc3\xa9le"));
  EXPECT_EQ(g.dataRowCnt(), 3);

  GridControl small;
  small.setMaxRows(1);
  small.setMaxCols(2);
  EXPECT_FALSE(small.loadTextFile(tab, QString(), QStringLiteral("\t"), QStringLiteral("\r\n"), 4, log));
  EXPECT_TRUE(fileBytes(log).contains("Line 1, item 3"));
  EXPECT_EQ(small.text(1, 2), "John");
}

TEST(Grid, ClicksReportCellsAndHeadersInGridNumbers) {
  GridControl g;
  g.setMaxRows(5);
  g.setMaxCols(5);
  g.resize(600, 300);
  g.show();
  QCoreApplication::processEvents();
  QList<QPair<int, int>> clicks;
  QObject::connect(&g, &GridControl::cellClicked, [&](int col, int row) { clicks.append({col, row}); });
  QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, g.visualRect(g.grid()->index(2, 3)).center());
  EXPECT_EQ(g.activeRow(), 3);
  EXPECT_EQ(g.activeCol(), 4);
  const QHeaderView* top = g.horizontalHeader();
  QTest::mouseClick(top->viewport(), Qt::LeftButton, {},
                    QPoint(top->sectionViewportPosition(1) + top->sectionSize(1) / 2, top->height() / 2));
  ASSERT_EQ(clicks.size(), 2);
  EXPECT_EQ(clicks[0], qMakePair(4, 3));
  EXPECT_EQ(clicks[1], qMakePair(2, 0));
}
