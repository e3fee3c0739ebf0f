#include "reports/frmReports.h"

#include <QCoreApplication>
#include <QDate>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QVBoxLayout>

#include "cemeteries/frmCemeterySelect.h"
#include "controls/GridControl.h"
#include "controls/MessageService.h"
#include "program/Zel1.h"
#include "reports/ReportPages.h"

namespace {

QAction* item(QObject* owner, QMenu* menu, const char* name, const QString& caption) {
  QAction* a = menu->addAction(caption);
  a->setObjectName(QLatin1String(name));
  a->setParent(owner);
  return a;
}

}  // namespace

frmReports::frmReports(const Report::Format& format, QWidget* parent) : QWidget(parent), format_(format) {
  setObjectName(QStringLiteral("frmReports"));
  setWindowTitle(QStringLiteral("Reports"));

  Spread1 = new GridControl(this);
  Spread1->setObjectName(QStringLiteral("Spread1"));
  Spread1->grid()->setUnit(GridModel::Unit::Chars);
  Spread1->setMaxCols(8);
  Spread1->setMaxRows(100);
  Spread1->setEditTriggers(QAbstractItemView::NoEditTriggers);  // a report is read, not edited
  Spread1->setVisible(false);

  menuBar = new QMenuBar(this);
  menuBar->setObjectName(QStringLiteral("menuBar"));
  mnuReportsMenu = menuBar->addMenu(QStringLiteral("&ReportType"));
  mnuReports = mnuReportsMenu->menuAction();
  mnuReports->setObjectName(QStringLiteral("mnuReports"));
  auto caption = [](Report::Id id) { return QString::fromLatin1(Report::definition(id).caption); };
  auto name = [](Report::Id id) { return Report::definition(id).menuName; };
  using Report::Id;
  mnuCemeteryList = item(this, mnuReportsMenu, name(Id::CemeteryList), caption(Id::CemeteryList));
  mnuLotList = item(this, mnuReportsMenu, name(Id::LotList), caption(Id::LotList));
  mnuInterredListMenu = mnuReportsMenu->addMenu(QStringLiteral("List of Interred"));
  mnuInterredList = mnuInterredListMenu->menuAction();
  mnuInterredList->setObjectName(QStringLiteral("mnuInterredList"));
  mnuLocationSort =
      item(this, mnuInterredListMenu, name(Id::InterredByLocation), caption(Id::InterredByLocation));
  mnuNameSort = item(this, mnuInterredListMenu, name(Id::InterredByName), caption(Id::InterredByName));
  mnuDOBSort = item(this, mnuInterredListMenu, name(Id::InterredByDob), caption(Id::InterredByDob));
  mnuDODSort = item(this, mnuInterredListMenu, name(Id::InterredByDod), caption(Id::InterredByDod));
  mnuAging = item(this, mnuReportsMenu, name(Id::Receivables), caption(Id::Receivables));
  mnuPrint = menuBar->addAction(QStringLiteral("&Print"));
  mnuPrint->setObjectName(QStringLiteral("mnuPrint"));
  mnuPrint->setVisible(false);
  mnuClose = menuBar->addAction(QStringLiteral("C&lose"));
  mnuClose->setObjectName(QStringLiteral("mnuClose"));

  // The frame's toolbar, and with it its Help button, is hidden while this window is open.
  auto* help = new QAction(this);
  help->setObjectName(QStringLiteral("helpKey"));
  help->setShortcut(QKeySequence::HelpContents);
  help->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  addAction(help);
  setFocusPolicy(Qt::StrongFocus);  // the window keeps the focus, and F1, while its grid is hidden
  connect(help, &QAction::triggered, this, [] { messages().showHelp(11); });

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setMenuBar(menuBar);
  outer->addWidget(Spread1, 1);

  connect(mnuCemeteryList, &QAction::triggered, this, &frmReports::mnuCemeteryListClick);
  connect(mnuLotList, &QAction::triggered, this, &frmReports::mnuLotListClick);
  connect(mnuLocationSort, &QAction::triggered, this, &frmReports::mnuLocationSortClick);
  connect(mnuNameSort, &QAction::triggered, this, &frmReports::mnuNameSortClick);
  connect(mnuDOBSort, &QAction::triggered, this, &frmReports::mnuDOBSortClick);
  connect(mnuDODSort, &QAction::triggered, this, &frmReports::mnuDODSortClick);
  connect(mnuAging, &QAction::triggered, this, &frmReports::mnuAgingClick);
  connect(mnuPrint, &QAction::triggered, this, &frmReports::mnuPrintClick);
  connect(mnuClose, &QAction::triggered, this, &frmReports::mnuCloseClick);
  resize(900, 600);
}

bool frmReports::runReport(Report::Id id) {
  if (showing_) return false;  // one report per window
  Report::Cemetery cemetery;
  if (Report::definition(id).perCemetery) {
    const bool chosen = chooseCemetery ? chooseCemetery() : frmCemeterySelect::choose(this);
    QCoreApplication::processEvents();
    if (!chosen || ZEL1.CurrentCemeteryId == 0) return false;
    cemetery = {ZEL1.CurrentCemeteryId, ZEL1.CurrentCemeteryName};
  }
  // The query runs before the window changes, so a failing one leaves the window as it was.
  try {
    table_ = Report::build(id, ZEL1.cnData, cemetery, format_);
  } catch (const std::exception& e) {
    table_ = {};
    showFailure(e);
    return false;
  }
  showTable();
  return true;
}

void frmReports::showTable() {
  const Report::Table& t = table_;
  setWindowTitle(t.title);
  mnuReports->setVisible(false);
  mnuPrint->setVisible(true);

  GridControl& g = *Spread1;
  {
    GridModel::Batch batch(*g.grid());
    const int cols = int(t.columns.size());
    g.setMaxCols(cols);
    for (int c = 1; c <= cols; ++c) {
      g.setText(0, c, t.columns[size_t(c - 1)].header);
      g.setTypeHAlign(GridRange::cell(0, c), int(t.columns[size_t(c - 1)].headerAlign));
    }
    for (int c = 1; c <= cols; ++c)
      if (const auto w = t.columns[size_t(c - 1)].width) g.setColWidth(c, *w);
    if (t.rowHeightFactor > 0) g.setRowHeight(-1, g.rowHeight(1) * t.rowHeightFactor);
    g.setFontSize(GridRange{0, -1}, 8);
    g.setFontBold(GridRange{0, -1}, true);

    auto put = [&g](int row, int col, const Report::Cell& cell) {
      if (cell.text.isEmpty()) return;  // a cell the report leaves empty is not touched
      g.setText(row, col, cell.text);
      if (cell.align != Report::Align::Left) g.setTypeHAlign(GridRange::cell(row, col), int(cell.align));
      if (cell.bold) g.setFontBold(GridRange::cell(row, col), true);
    };
    for (const Report::Row& r : t.rows) {
      // The sheet grows a hundred rows at a time and is cut back at the end.
      if (g.maxRows() == g.dataRowCnt()) g.setMaxRows(g.maxRows() + 100);
      const int row = g.dataRowCnt() + 1;
      for (int c = 1; c <= int(r.size()); ++c) put(row, c, r[size_t(c - 1)]);
    }
    g.setMaxRows(g.dataRowCnt() + t.gap);
    for (int c = 1; c <= int(t.countLine.size()); ++c) put(g.maxRows(), c, t.countLine[size_t(c - 1)]);
  }
  for (int c = 1; c <= int(t.columns.size()); ++c)
    g.setColumnHidden(c - 1, t.columns[size_t(c - 1)].width == 0.0);
  g.setVisible(true);
  showing_ = true;
}

void frmReports::mnuPrintClick() {
  // Any failure, the cancelled printer dialog included, ends printing without a message.
  try {
    QPrinter printer;
    if (!messages().choosePrinter(printer)) return;
    QCoreApplication::processEvents();
    const Report::PageTexts texts{windowTitle(), Report::pageDate(QDate::currentDate()),
                                  statusText ? statusText() : QString()};
    Report::paintPages(printer, table_, texts);
  } catch (...) {
  }
}

void frmReports::mnuCloseClick() {
  // The frame shows its toolbar again once this window is gone, however it was closed.
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
    sub->close();
  else
    close();
}

void frmReports::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  Spread1->setAutoSize(false);
  Spread1->setAutoSize(true);
}
