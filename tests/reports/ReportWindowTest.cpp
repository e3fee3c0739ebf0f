// The report window driven through its menus: the two states, the grid a report leaves, the
// cemetery chooser, database failures, printing and the frame's toolbar.
#include <gtest/gtest.h>

#include <QAction>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>

#include "core/history/History.h"
#include "core/program/Zel1.h"
#include "gui/app/Startup.h"
#include "gui/app/frm_Main.h"
#include "gui/cemeteries/frmCemeterySelect.h"
#include "gui/records/frmDataEntry.h"
#include "gui/reports/ReportGrid.h"
#include "gui/reports/frmReports.h"
#include "support/PdfPages.h"
#include "support/ScriptedMessages.h"
#include "support/TestData.h"
#include "support/TestFolder.h"
#include "support/TestFrame.h"
#include "support/WindowDriver.h"

namespace {

QStringList visibleMenus(const frmReports& w) {
  QStringList out;
  for (QAction* a : w.menuBar->actions())
    if (a->isVisible()) out << a->text();
  return out;
}

QStringList rowTexts(const ReportGrid& g, int row) {
  QStringList out;
  for (int c = 1; c <= g.maxCols(); ++c) out << g.text(row, c);
  return out;
}

// A default locale for the life of a test.
struct DefaultLocale {
  explicit DefaultLocale(const QLocale& l) { QLocale::setDefault(l); }
  ~DefaultLocale() { QLocale::setDefault(before); }
  QLocale before;
};

void addCemeteries() {
  exec(
      QStringLiteral("insert into cemetery (name, addr1, city, state, zipcode) values "
                     "('Oak Hill', '1 Main St', 'Springfield', 'IL', '62701'), ('Elm Rest', '2 Elm Rd', "
                     "'Dayton', 'OH', '45402')"));
}

class ReportWindow : public DataTest {
 protected:
  void SetUp() override {
    DataTest::SetUp();
    msgs = std::make_unique<ScriptedMessages>();
    w = std::make_unique<frmReports>(Report::Format{QLocale::c(), QStringLiteral("mm-dd-yyyy")});
    w->setStatusText(QStringLiteral("Data folder /srv/zel/"));
    w->show();
  }
  void TearDown() override {
    w.reset();
    msgs.reset();
    DataTest::TearDown();
  }
  ReportGrid& grid() { return *w->Spread1; }

  std::unique_ptr<ScriptedMessages> msgs;
  std::unique_ptr<frmReports> w;
};

TEST_F(ReportWindow, ChoosingOffersTheReportsThenShowingOffersPrint) {
  EXPECT_EQ(visibleMenus(*w), (QStringList{"&ReportType", "C&lose"}));
  EXPECT_FALSE(grid().isVisibleTo(w.get()));
  EXPECT_TRUE(w->lblHint->isVisibleTo(w.get()));
  EXPECT_EQ(w->lblHint->text(), "Choose a report from the ReportType menu.");
  msgs->expectHelp(11);
  w->findChild<QAction*>(QStringLiteral("helpKey"))->trigger();

  exec(QStringLiteral("insert into lots (lotdesc, lotsize, lotprice) values ('Single', '4x8', %1), "
                      "('Double', '8x8', %2)")
           .arg(sqlMoney("500"), sqlMoney("0.75")));
  w->mnuLotList->trigger();
  EXPECT_EQ(w->windowTitle(), "Lot Type List");
  EXPECT_EQ(visibleMenus(*w), (QStringList{"&Print", "Save &As...", "C&lose"}));
  EXPECT_TRUE(grid().isVisibleTo(w.get()));
  EXPECT_FALSE(w->lblHint->isVisibleTo(w.get()));

  // Header row bold, size 8, aligned; widths where the report gives them; rows, the empty gap row
  // and the bold count line, with the sheet cut back to them.
  const ReportModel& m = *grid().report();
  EXPECT_EQ(rowTexts(grid(), 0), (QStringList{"Rec ID", "Lot Description", "Lot Size", "Lot Price"}));
  EXPECT_EQ((QList<int>{m.typeHAlign(0, 2), m.typeHAlign(0, 4), m.typeHAlign(2, 4)}), (QList<int>{0, 1, 1}));
  EXPECT_TRUE(m.fontBold(0, 3) && m.font(0, 3).pointSizeF() == 8 && !m.fontBold(1, 3));
  const ReportGrid& g = grid();
  EXPECT_EQ((QList<double>{g.colWidth(1), g.colWidth(2), g.colWidth(3), g.colWidth(4), g.rowHeight(1)}),
            (QList<double>{Report::kDefaultColumnWidth, 30, 30, 15, 1}));
  EXPECT_EQ(rowTexts(grid(), 3), (QStringList{"", "", "", ""}));
  EXPECT_EQ(grid().maxRows(), 4);
  EXPECT_EQ(grid().text(4, 2), "Count: 2");
  EXPECT_TRUE(m.fontBold(4, 2));
}

TEST_F(ReportWindow, ChooserClosedWithoutChoiceLeavesTheWindowAsItWas) {
  addCemeteries();
  exec(QStringLiteral("insert into zel (cemeteryid, csection, lot, grave, ownerlastname, ownerfirstname, "
                      "interlastname, interfirstname, purchprice, burialfee, amtpaid) values "
                      "(1, 'A', '1', '1', 'Ames', 'Al', 'Ames', 'Bea', %1, 0, 0)")
           .arg(sqlMoney("100")));
  msgs->expectModal(QStringLiteral("frmCemeterySelect"), chooser(QString()));
  w->mnuAging->trigger();
  EXPECT_EQ(w->windowTitle(), "Reports");
  EXPECT_EQ(visibleMenus(*w), (QStringList{"&ReportType", "C&lose"}));
  EXPECT_FALSE(grid().isVisibleTo(w.get()));
  EXPECT_EQ(grid().maxRows(), 0);

  msgs->expectModal(QStringLiteral("frmCemeterySelect"), chooser(QStringLiteral("Oak Hill")));
  w->mnuAging->trigger();
  EXPECT_EQ(w->windowTitle(), "Outstanding Receivables for Oak Hill");
  EXPECT_TRUE(grid().isColumnHidden(0));  // Rec ID
  EXPECT_EQ(grid().rowHeight(1), 2.5);
  EXPECT_EQ(grid().text(1, 3), "Ames, Al\nAmes, Bea");
  EXPECT_EQ(grid().text(2, 8), "100.00");  // the total, bold and right-aligned in the count line
  EXPECT_TRUE(grid().report()->fontBold(2, 8) && grid().report()->typeHAlign(2, 8) == 1);
}

// The grid shows the built table itself, row for row, with the gap and the count line below it.
TEST_F(ReportWindow, GridShowsTheBuiltTableWithoutCopyingIt) {
  exec(
      QStringLiteral("insert into lots (lotdesc) with recursive n(i) as (select 1 union all select i + 1 "
                     "from n where i < 101) select 'Lot ' || substr('000' || i, -3) from n"));
  w->mnuLotList->trigger();
  EXPECT_EQ(grid().report()->table(), &w->table());
  EXPECT_EQ(grid().maxRows(), 103);
  EXPECT_EQ(grid().text(101, 2), QStringLiteral("Lot 101"));
  EXPECT_EQ(grid().text(102, 2), QString());
  EXPECT_EQ(grid().text(103, 2), QStringLiteral("Count: 101"));
  EXPECT_EQ(grid().model()->index(102, 1).data().toString(), QStringLiteral("Count: 101"));
}

TEST_F(ReportWindow, DatabaseFailureShowsOneMessageAndStaysChoosing) {
  addCemeteries();
  exec(QStringLiteral("drop table zel"));
  msgs->expectModal(QStringLiteral("frmCemeterySelect"), chooser(QStringLiteral("Elm Rest")));
  msgs->expectInfo(QStringLiteral("no such table: zel"));
  w->mnuLocationSort->trigger();
  EXPECT_EQ(w->windowTitle(), "Reports");
  EXPECT_EQ(visibleMenus(*w), (QStringList{"&ReportType", "C&lose"}));
  EXPECT_FALSE(grid().isVisibleTo(w.get()));

  // The window still works: another report can be chosen.
  w->mnuCemeteryList->trigger();
  EXPECT_EQ(grid().text(1, 2), "Elm Rest");
  EXPECT_EQ(grid().rowHeight(1), 3);
}

TEST_F(ReportWindow, PrintPutsCaptionDateAndFooterOnEveryPage) {
  addCemeteries();
  exec(
      QStringLiteral("insert into zel (cemeteryid, csection, lot, grave, interlastname, interfirstname, sex) "
                     "with recursive n(i) as (select 1 union all select i + 1 from n where i < 150) "
                     "select 1, 'A', i, '1', 'Name' || substr('000' || i, -3), 'First', 'F' from n"));
  msgs->expectModal(QStringLiteral("frmCemeterySelect"), chooser(QStringLiteral("Oak Hill")));
  w->mnuNameSort->trigger();
  ASSERT_TRUE(w->showing());

  // Letter where the locale is the United States', when no printer says otherwise.
  const DefaultLocale us(QLocale(QLocale::English, QLocale::UnitedStates));

  // Cancelling the printer dialog prints nothing and says nothing.
  const QString pdf = folder->file(QStringLiteral("report.pdf"));
  msgs->expectPrinter(QString());
  w->mnuPrint->trigger();
  EXPECT_FALSE(QFile::exists(pdf));

  // A print that cannot start says so.
  const QString nowhere = folder->file(QStringLiteral("missing/report.pdf"));
  msgs->expectPrinter(nowhere);
  msgs->expectInfo(QStringLiteral("The report could not be printed to %1.").arg(nowhere));
  w->mnuPrint->trigger();

  msgs->expectPrinter(pdf);
  const QString today = QDate::currentDate().toString(QStringLiteral("MM-dd-yyyy"));  // as the rows
  w->mnuPrint->trigger();
  const QStringList pages = pdfPageTexts(pdf);
  ASSERT_GE(pages.size(), 2);
  QString all;
  for (int i = 0; i < pages.size(); ++i) {
    const QString& page = pages[i];
    const QString first = page.trimmed().section(u'\n', 0, 0);
    const QString last = page.trimmed().section(u'\n', -1);
    EXPECT_TRUE(first.startsWith(QStringLiteral("Interred List for Oak Hill"))) << first.toStdString();
    EXPECT_TRUE(first.endsWith(today)) << first.toStdString();
    EXPECT_TRUE(last.startsWith(QStringLiteral("Data folder /srv/zel/"))) << last.toStdString();
    EXPECT_TRUE(last.endsWith(QStringLiteral("Page %1 of %2").arg(i + 1).arg(pages.size())))
        << last.toStdString();
    EXPECT_TRUE(page.contains(QStringLiteral("Location"))) << "column headers on every page";
    all += page;
  }
  // Every record once, and the count line at the end.
  EXPECT_EQ(all.count(QStringLiteral("First")), 150);
  EXPECT_TRUE(pages.back().contains(QStringLiteral("Count: 150")));

  // The pages the print dialog asks for, on the paper Save As uses.
  const QString second = folder->file(QStringLiteral("second.pdf"));
  msgs->expectPrinter(second, 2, 2);
  w->mnuPrint->trigger();
  EXPECT_EQ(pdfPageTexts(second), (QStringList{pages[1]}));
  msgs->expectSaveFile(folder->file(QStringLiteral("saved.pdf")));
  w->mnuSaveAs->trigger();
  const QPageSize paper = frmReports::paper();
  const QSizeF points = paper.size(QPageSize::Point);
  for (const QString& file : {pdf, second, folder->file(QStringLiteral("saved.pdf"))})
    for (const QSizeF& size : pdfWords(file).pages)
      EXPECT_NEAR(size.width() + size.height(), points.width() + points.height(), 1) << file.toStdString();
}

TEST_F(ReportWindow, FrameToolbarComesBackHoweverTheWindowCloses) {
  w.reset();
  auto frame = testFrame(folder->file(QStringLiteral("placement.ini")));
  frame->StatusPanel1->setText(QStringLiteral("status text"));
  frame->show();
  ASSERT_TRUE(frame->toolbarAction(QStringLiteral("Reports"))->isEnabled());

  // C&lose, the close box of its window inside the frame, and the frame's own closing.
  const std::function<void(frmReports&)> closers[] = {
      [](frmReports& r) { r.mnuClose->trigger(); },
      [](frmReports& r) { qobject_cast<QMdiSubWindow*>(r.parentWidget())->close(); },
      [&](frmReports&) { frame->close(); }};
  for (const auto& close : closers) {
    frame->toolbarAction(QStringLiteral("Reports"))->trigger();
    settle();
    auto* r = frame->mdiArea->findChild<frmReports*>();
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(frame->Toolbar1->isHidden());
    EXPECT_EQ(r->statusText(), "status text");
    close(*r);
    settle();
    EXPECT_FALSE(frame->Toolbar1->isHidden());
    EXPECT_EQ(frame->mdiArea->findChild<frmReports*>(), nullptr);
  }
}

TEST_F(ReportWindow, SaveAsWritesCsvOrPdfByTheTypedExtensionOrTheFilterAndRemembersBoth) {
  addCemeteries();
  exec(QStringLiteral("insert into zel (cemeteryid, csection, lot, grave, ownerlastname, ownerfirstname, "
                      "interlastname, purchprice, burialfee, amtpaid) values "
                      "(1, 'A', '1', '1', 'Ames, Jr.', 'Al', 'Ames \"Bo\"', %1, 0, 0), "
                      "(1, 'A', '1', '2', 'Bell', 'Cy', NULL, %2, 0, 0)")
           .arg(sqlMoney("100"), sqlMoney("0.25")));
  msgs->expectModal(QStringLiteral("frmCemeterySelect"), chooser(QStringLiteral("Oak Hill")));
  w->mnuAging->trigger();
  const QString csvFilter = QStringLiteral("CSV files (*.csv)"),
                pdfFilter = QStringLiteral("PDF files (*.pdf)");

  // The CSV filter: the name gets its extension; the hidden record number is left out, the
  // two-line name cell stays one field.
  msgs->expectSaveFile(folder->file(QStringLiteral("owing")), csvFilter);
  w->mnuSaveAs->trigger();
  expectFile(fileBytes(folder->file(QStringLiteral("owing.csv"))), "report-owing.csv");

  // The extension typed decides over the filter; the next dialog starts where and as the last
  // file was saved.
  msgs->expectSaveFile(folder->file(QStringLiteral("sub/typed.pdf")), csvFilter);
  QDir().mkdir(folder->file(QStringLiteral("sub")));
  w->mnuSaveAs->trigger();
  const QByteArray pdf = fileBytes(folder->file(QStringLiteral("sub/typed.pdf")));
  EXPECT_TRUE(pdf.startsWith("%PDF"));
  EXPECT_EQ(pdfPageCount(pdf), 1);
  const QStringList pages = pdfPageTexts(folder->file(QStringLiteral("sub/typed.pdf")));
  ASSERT_EQ(pages.size(), 1);
  EXPECT_TRUE(pages[0].contains(QStringLiteral("Outstanding Receivables for Oak Hill")));
  EXPECT_TRUE(pages[0].contains(QStringLiteral("Count: 2")));
  msgs->expectSaveFile(folder->file(QStringLiteral("typed.csv")), pdfFilter);
  w->mnuSaveAs->trigger();
  EXPECT_TRUE(fileBytes(folder->file(QStringLiteral("typed.csv"))).startsWith("Location,"));
  ASSERT_EQ(msgs->saveStarts().size(), 3u);
  EXPECT_EQ(QFileInfo(msgs->saveStarts()[2].dir).absolutePath(), folder->file(QStringLiteral("sub")));
  EXPECT_EQ(msgs->saveStarts()[2].filter, pdfFilter);

  // A file that cannot be written is named in one message; the earlier one stays; a cancelled
  // dialog writes nothing; a name that becomes an existing file's with its extension is replaced
  // only when the user says so.
  const QString earlier = folder->file(QStringLiteral("owing.csv"));
  const QByteArray before = fileBytes(earlier);
  msgs->expectSaveFile(folder->file(QStringLiteral("owing")), csvFilter);
  msgs->expectQuestion(earlier + QStringLiteral(" already exists.\nDo you want to replace it?"),
                       MessageService::Answer::No, true);
  w->mnuSaveAs->trigger();
  QDir().mkdir(folder->file(QStringLiteral("taken.csv")));  // a folder in the way
  msgs->expectSaveFile(folder->file(QStringLiteral("taken.csv")), csvFilter);
  msgs->expectInfo(QStringLiteral("*"));
  w->mnuSaveAs->trigger();
  EXPECT_TRUE(msgs->log().back().text.startsWith(QStringLiteral("The report could not be saved to ") +
                                                 folder->file(QStringLiteral("taken.csv"))))
      << msgs->log().back().text.toStdString();
  msgs->expectSaveFile(QString());
  w->mnuSaveAs->trigger();
  EXPECT_EQ(QFileInfo(msgs->saveStarts().back().dir).absolutePath(), QDir::cleanPath(folder->path()));
  EXPECT_EQ(msgs->saveStarts().back().filter, csvFilter);
  EXPECT_EQ(fileBytes(earlier), before);
  EXPECT_EQ(QDir(folder->path()).entryList({QStringLiteral("owing*")}, QDir::Files),
            (QStringList{"owing.csv"}));
}

// Amounts of thirteen digits, negative balances and a negative total, a name too long for its
// column and one of three lines: every amount whole on the screen and on paper, in its column.
TEST_F(ReportWindow, MoneyIsNeverCutOnTheScreenOrOnPaper) {
  addCemeteries();
  const QString longName = QStringLiteral("Vandenberghe-Oosterhuis-Wijnaldum");
  exec(QStringLiteral("insert into zel (cemeteryid, csection, lot, grave, ownerlastname, ownerfirstname, "
                      "interlastname, purchdate, purchprice, burialfee, amtpaid) values "
                      "(1, 'A', '1', '1', 'Ames', 'Al', 'Ames', '2001-03-15', %1, %2, 0), "
                      "(1, 'A', '1', '2', 'Bell', 'Cy', 'Bell' || char(10) || 'Dunn', NULL, 0, 0, %3), "
                      "(1, 'A', '1', '3', '%4', 'Eve', '', NULL, %5, 0, %6)")
           .arg(sqlMoney("1234567890123.45"), sqlMoney("8765432109876.554"), sqlMoney("9999999999999.99"),
                longName, sqlMoney("10000000"), sqlMoney("27000000.006")));
  const QString cemetery = QStringLiteral(
      "Oak Hill Memorial Gardens and Mausoleum of the Holy Redeemer, Northern Extension, "
      "Springfield Township");
  exec(QStringLiteral("update cemetery set name='%1' where cemeteryid=1").arg(cemetery));
  w = std::make_unique<frmReports>(Report::Format{QLocale::c(), QStringLiteral("dd-mm-yyyy")});
  w->setStatusText(QStringLiteral("Data folder /srv/zel/"));
  w->resize(800, 600);
  w->show();
  msgs->expectModal(QStringLiteral("frmCemeterySelect"), chooser(cemetery));
  w->mnuAging->trigger();
  ASSERT_EQ(w->table().count(), 3);
  auto amounts = [](const Report::Row& r) {
    QStringList out;
    for (size_t c = 4; c < 8; ++c) out << r[c].text;
    return out;
  };
  const Report::Table& t = w->table();
  EXPECT_EQ(amounts(t.rows[0]),
            (QStringList{"1234567890123.45", "8765432109876.55", ".00", "10000000000000.00"}));
  EXPECT_EQ(amounts(t.rows[1]), (QStringList{".00", ".00", "9999999999999.99", "-9999999999999.99"}));
  EXPECT_EQ(amounts(t.rows[2]), (QStringList{"10000000.00", ".00", "27000000.01", "-17000000.01"}));
  // The total is the sum of the balances shown, not of the stored fractions of a cent.
  EXPECT_EQ(t.countLine[7].text, "-17000000.00");

  // On the screen: every amount fits its column.
  ReportGrid& g = grid();
  for (int r = 1; r <= g.maxRows(); ++r)
    for (int c = 5; c <= 8; ++c) {
      const QString text = g.text(r, c);
      if (text.isEmpty()) continue;
      const double needed = QFontMetricsF(g.report()->font(r, c)).horizontalAdvance(text);
      EXPECT_LE(needed + 4, g.columnWidth(c - 1)) << text.toStdString();
    }

  // On paper: each amount one word, right-aligned under its column's header, apart from its
  // neighbours, inside the page.
  const QString file = folder->file(QStringLiteral("owing.pdf"));
  msgs->expectSaveFile(file);
  w->mnuSaveAs->trigger();
  const PdfWords pdf = pdfWords(file);
  ASSERT_EQ(pdf.pages.size(), 1u);
  auto word = [&](const QString& text, double below = 0) -> const PdfWord* {
    for (const PdfWord& wd : pdf.words)
      if (wd.text == text && wd.box.top() > below) return &wd;
    return nullptr;
  };
  const PdfWord* headers[] = {word("Price"), word("Fee"), word("Paid"), word("Due")};
  for (const PdfWord* h : headers) ASSERT_NE(h, nullptr);
  const QRectF page(QPointF(0, 0), pdf.pages[0]);
  for (int r = 0; r <= t.count(); ++r) {
    const Report::Row& row = r < t.count() ? t.rows[size_t(r)] : t.countLine;
    const PdfWord* left = nullptr;
    for (int c = 4; c < 8; ++c) {
      const QString text = row[size_t(c)].text;
      if (text.isEmpty()) continue;
      // The word of this text on the row's line: below the header, in this column.
      const PdfWord* found = nullptr;
      for (const PdfWord& wd : pdf.words)
        if (wd.text == text && std::abs(wd.box.right() - headers[c - 4]->box.right()) < 1.5 &&
            (!left || std::abs(wd.box.center().y() - left->box.center().y()) < 2))
          found = &wd;
      ASSERT_NE(found, nullptr) << "row " << r << ": " << text.toStdString() << " not whole in its column";
      EXPECT_TRUE(page.contains(found->box)) << text.toStdString();
      if (left) {
        EXPECT_LT(left->box.right(), found->box.left()) << text.toStdString();
      }
      left = found;
    }
  }
  // The long name is cut with a mark, the third line of a name is marked, the title does not run
  // into the date, and the header date is written as the rows' dates are.
  const QString text = pdfPageTexts(file).value(0);
  EXPECT_FALSE(text.contains(longName));
  EXPECT_TRUE(text.contains(longName.left(8))) << text.toStdString();
  EXPECT_TRUE(text.contains(QChar(0x2026))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("15-03-2001")));
  EXPECT_TRUE(text.contains(QStringLiteral("Northern Extension,")) &&
              text.contains(QStringLiteral("Springfield Township")))
      << "the whole title";
  const PdfWord* date = word(QDate::currentDate().toString(QStringLiteral("dd-MM-yyyy")));
  ASSERT_NE(date, nullptr);
  for (const PdfWord& wd : pdf.words)
    if (wd.box.top() < date->box.bottom() && &wd != date) {
      EXPECT_LT(wd.box.right(), date->box.left()) << wd.text.toStdString();
    }
}

TEST_F(ReportWindow, DoubleClickOnAMapCheckRowOpensTheRecordFormOnThatRecord) {
  w.reset();
  addCemeteries();
  exec(QStringLiteral("insert into lots (lotdesc) values ('Single')"));
  exec(QStringLiteral(
      "insert into zel (cemeteryid, lotid, csection, lot, grave, interlastname, status) values "
      "(1, 1, 'A', '1', '1', 'Ames', 'S'), (1, 1, 'A', '1', '2', 'Bell', 'R')"));
  const QString wrong = scalar(QStringLiteral("select recid from zel where interlastname='Ames'"));
  auto frame = testFrame(folder->file(QStringLiteral("placement.ini")));
  frame->resize(1200, 950);
  frame->show();
  frame->toolbarAction(QStringLiteral("Reports"))->trigger();
  settle();
  auto* r = frame->mdiArea->findChild<frmReports*>();
  ASSERT_NE(r, nullptr);
  msgs->expectModal(QStringLiteral("frmCemeterySelect"), chooser(QStringLiteral("Oak Hill")));
  r->mnuMapCheck->trigger();
  settle();
  ASSERT_EQ(r->table().count(), 2);  // no map, and the one record whose state is wrong
  ReportGrid& g = *r->Spread1;
  ASSERT_EQ(g.text(2, 1), wrong);

  // A row without a record number, and the count line, open nothing.
  auto doubleClick = [&g](int row) {
    const QRect cell = g.visualRect(g.model()->index(row - 1, 2));
    // As a mouse does it: a click, then the double-click.
    QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(g.viewport(), Qt::LeftButton, {}, cell.center());
    settle();
  };
  doubleClick(1);
  doubleClick(4);
  EXPECT_EQ(frame->mdiArea->findChild<frmReports*>(), r);
  EXPECT_TRUE(ZEL1.PendingQuery.isEmpty());

  doubleClick(2);
  EXPECT_EQ(frame->mdiArea->findChild<frmReports*>(), nullptr);
  auto* form = frame->mdiArea->findChild<frmDataEntry*>();
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->ui().txtRecordNum->text(), wrong);
  EXPECT_TRUE(ZEL1.PendingQuery.isEmpty());
  EXPECT_TRUE(frame->Toolbar1->isHidden());
  frame.reset();
}

}  // namespace

TEST_F(ReportWindow, RightsOfBurialRegisterFollowsAGraveWhosePurchaserChangedTwice) {
  addCemeteries();
  History::setIdentityForTesting(QStringLiteral("clerk"), QStringLiteral("office-pc"));
  Connection& cn = ZEL1.cnData;
  // Sold three times over: bought, transferred, transferred again.
  const qint64 id = saveRow(cn, "zel", 0,
                            {{"cemeteryid", 1},
                             {"csection", "B"},
                             {"lot", "2"},
                             {"grave", "1"},
                             {"ownerlastname", "Byrne"},
                             {"ownerfirstname", "Ann"},
                             {"purchdate", QDate(2001, 5, 1)}});
  saveRow(cn, "zel", id,
          {{"ownerlastname", "Walsh"}, {"ownerfirstname", "Tom"}, {"purchdate", QDate(2010, 6, 2)}});
  saveRow(cn, "zel", id,
          {{"ownerlastname", "Kelly"}, {"ownerfirstname", "Sue"}, {"purchdate", QDate(2020, 7, 3)}});
  // Sold before the history began; never sold; sold in another cemetery.
  exec(QStringLiteral(
      "insert into zel (cemeteryid, csection, lot, grave, ownerlastname, ownerfirstname) values "
      "(1, 'A', '10', '1', 'Early', 'Eve'), (2, 'A', '1', '1', 'Elsewhere', 'Ed')"));
  saveRow(cn, "zel", 0,
          {{"cemeteryid", 1}, {"csection", "A"}, {"lot", "1"}, {"grave", "1"}, {"interlastname", "Doe"}});
  History::setIdentityForTesting({}, {});

  msgs->expectModal(QStringLiteral("frmCemeterySelect"), chooser(QStringLiteral("Oak Hill")));
  w->mnuRightsOfBurial->trigger();
  const Report::Table& t = w->table();
  EXPECT_EQ(t.title, "Rights of Burial Register for Oak Hill");
  const QString today = QDate::currentDate().toString(QStringLiteral("MM-dd-yyyy"));
  const QString rec = QString::number(id);
  QList<QStringList> shown;
  for (const Report::Row& r : t.rows) {
    QStringList cells;
    for (const Report::Cell& c : r) cells << c.text;
    shown << cells;
  }
  EXPECT_EQ(shown, (QList<QStringList>{{scalar("select recid from zel where ownerlastname='Early'"), "A,10,1",
                                        "Early, Eve", "", "before history"},
                                       {rec, "B,2,1", "Byrne, Ann", "05-01-2001", today},
                                       {rec, "B,2,1", "Walsh, Tom", "06-02-2010", today},
                                       {rec, "B,2,1", "Kelly, Sue", "07-03-2020", today}}));
  EXPECT_EQ(t.countLine[1].text, "Graves: 2");
  EXPECT_EQ(t.recordColumn, 0);  // a double-click opens the grave's record
}
