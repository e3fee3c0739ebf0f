#include "gui/reports/frmReports.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include "core/program/Zel1.h"
#include "core/reports/ReportFiles.h"
#include "gui/cemeteries/frmCemeterySelect.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"
#include "gui/reports/ReportGrid.h"
#include "render/ReportPages.h"
#include "ui_frmReports.h"

frmReports::frmReports(const Report::Format& format, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::frmReports>()), format_(format) {
  ui_->setupUi(this);
  Spread1 = ui_->Spread1;
  lblHint = ui_->lblHint;
  menuBar = ui_->menuBar;
  layout()->setMenuBar(menuBar);  // the form cannot place a bar on a plain widget
  mnuReportsMenu = ui_->mnuReportsMenu;
  mnuReports = mnuReportsMenu->menuAction();
  mnuReports->setObjectName(QStringLiteral("mnuReports"));
  mnuCemeteryList = ui_->mnuCemeteryList;
  mnuLotList = ui_->mnuLotList;
  mnuInterredListMenu = ui_->mnuInterredListMenu;
  mnuInterredList = mnuInterredListMenu->menuAction();
  mnuInterredList->setObjectName(QStringLiteral("mnuInterredList"));
  mnuLocationSort = ui_->mnuLocationSort;
  mnuNameSort = ui_->mnuNameSort;
  mnuDOBSort = ui_->mnuDOBSort;
  mnuDODSort = ui_->mnuDODSort;
  mnuAging = ui_->mnuAging;
  mnuAvailableGraves = ui_->mnuAvailableGraves;
  mnuMapCheck = ui_->mnuMapCheck;
  mnuAgedReceivables = ui_->mnuAgedReceivables;
  mnuRightsOfBurial = ui_->mnuRightsOfBurial;
  mnuPrint = ui_->mnuPrint;
  mnuSaveAs = ui_->mnuSaveAs;
  mnuClose = ui_->mnuClose;
  // The report items carry the captions of the reports they build.
  for (const Report::Definition& d : Report::definitions())
    if (auto* a = findChild<QAction*>(QLatin1String(d.menuName), Qt::FindDirectChildrenOnly))
      a->setText(QString::fromLatin1(d.caption));
  Spread1->setVisible(false);
  lblHint->setContentsMargins(8, 8, 8, 8);
  mnuPrint->setVisible(false);
  mnuSaveAs->setVisible(false);

  // The frame's toolbar, and with it its Help button, is hidden while this window is open; the
  // window takes the focus, and with it F1, while its grid is hidden.
  auto* help = new QAction(this);
  help->setObjectName(QStringLiteral("helpKey"));
  help->setShortcut(QKeySequence::HelpContents);
  help->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  addAction(help);
  connectCommand(help, &QAction::triggered, this, [] { messages().showHelp(11); });

  connectCommand(mnuCemeteryList, &QAction::triggered, this, &frmReports::mnuCemeteryListClick);
  connectCommand(mnuLotList, &QAction::triggered, this, &frmReports::mnuLotListClick);
  connectCommand(mnuLocationSort, &QAction::triggered, this, &frmReports::mnuLocationSortClick);
  connectCommand(mnuNameSort, &QAction::triggered, this, &frmReports::mnuNameSortClick);
  connectCommand(mnuDOBSort, &QAction::triggered, this, &frmReports::mnuDOBSortClick);
  connectCommand(mnuDODSort, &QAction::triggered, this, &frmReports::mnuDODSortClick);
  connectCommand(mnuAging, &QAction::triggered, this, &frmReports::mnuAgingClick);
  connectCommand(mnuAvailableGraves, &QAction::triggered, this, &frmReports::mnuAvailableGravesClick);
  connectCommand(mnuMapCheck, &QAction::triggered, this, &frmReports::mnuMapCheckClick);
  connectCommand(mnuAgedReceivables, &QAction::triggered, this, &frmReports::mnuAgedReceivablesClick);
  connectCommand(mnuRightsOfBurial, &QAction::triggered, this, &frmReports::mnuRightsOfBurialClick);
  connectCommand(mnuPrint, &QAction::triggered, this, &frmReports::mnuPrintClick);
  connectCommand(mnuSaveAs, &QAction::triggered, this, &frmReports::mnuSaveAsClick);
  // Queued: the hand-over closes this window, which must not happen inside the grid's own handler.
  connectCommand(
      Spread1, &QAbstractItemView::doubleClicked, this,
      [this](const QModelIndex& i) { Spread1DblClick(i.column() + 1, i.row() + 1); }, Qt::QueuedConnection);
  connectCommand(mnuClose, &QAction::triggered, this, &frmReports::mnuCloseClick);
  resize(900, 600);
}

frmReports::~frmReports() = default;

bool frmReports::runReport(Report::Id id) {
  if (showing_) return false;  // one report per window
  Report::Cemetery cemetery;
  if (Report::definition(id).perCemetery) {
    const bool chosen = frmCemeterySelect::choose(this);
    QCoreApplication::processEvents();
    if (!chosen || ZEL1.CurrentCemeteryId == 0) return false;
    cemetery = {ZEL1.CurrentCemeteryId, ZEL1.CurrentCemeteryName};
  }
  // The query runs before the window changes, so a failing one leaves the window as it was.
  try {
    table_ = Report::build(id, ZEL1.cnData, cemetery, format_, Report::Sources{ZEL1.DataPath});
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
  mnuSaveAs->setVisible(true);

  Spread1->showTable(&table_);
  lblHint->setVisible(false);
  Spread1->setVisible(true);
  showing_ = true;
}

Report::PageTexts frmReports::pageTexts() const {
  return {windowTitle(), Report::pageDate(QDate::currentDate(), table_.datePattern), statusText_};
}

QPageSize frmReports::paper() {
  const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
  if (!printer.isNull() && printer.defaultPageSize().isValid()) return printer.defaultPageSize();
  return Report::localePaper();
}

void frmReports::mnuPrintClick() {
  // A cancelled printer dialog prints nothing; a print that fails says so rather than leaving the
  // user waiting for paper.
  try {
    QPrinter printer;
    printer.setPageLayout(Report::pageLayout(paper()));  // the paper of Save As too
    if (!messages().choosePrinter(printer)) return;
    QCoreApplication::processEvents();
    Report::PageRange pages;
    if (printer.printRange() == QPrinter::PageRange) pages = {printer.fromPage(), printer.toPage()};
    if (!Report::paintPages(printer, table_, pageTexts(), pages))
      messages().information(printer.outputFileName().isEmpty()
                                 ? QStringLiteral("The report could not be printed.")
                                 : QStringLiteral("The report could not be printed to %1.")
                                       .arg(QDir::toNativeSeparators(printer.outputFileName())));
  } catch (const std::exception& e) {
    showFailure(e);
  }
}

void frmReports::mnuSaveAsClick() {
  const QString csv = QStringLiteral("CSV files (*.csv)"), pdf = QStringLiteral("PDF files (*.pdf)");
  // A name the file system takes, from the report's title.
  QString suggested = windowTitle();
  suggested.replace(QRegularExpression(QStringLiteral("[^\\w .'-]+")), QStringLiteral("_"));
  // The first time the user's documents folder (or the home folder) and CSV; then as last saved.
  if (saveFolder_.isEmpty()) {
    saveFolder_ = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QDir(saveFolder_).exists()) saveFolder_ = QDir::homePath();
  }
  QString filter = saveFilter_.isEmpty() ? csv : saveFilter_;
  QString file =
      messages().saveFileName(QStringLiteral("Save Report As"), QDir(saveFolder_).filePath(suggested),
                              csv + QStringLiteral(";;") + pdf, &filter);
  if (file.isEmpty()) return;
  // The extension typed decides; a name without one takes the chosen filter's.
  const bool typedPdf = file.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive);
  const bool typedCsv = file.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
  const bool asPdf = typedPdf || (!typedCsv && filter == pdf);
  if (!typedPdf && !typedCsv) {
    file += asPdf ? QStringLiteral(".pdf") : QStringLiteral(".csv");
    // The dialog asked about the name as typed, not about this one.
    if (QFileInfo::exists(file) &&
        messages().question(file + QStringLiteral(" already exists.\nDo you want to replace it?"), true) !=
            MessageService::Answer::Yes)
      return;
  }
  saveFolder_ = QFileInfo(file).absolutePath();
  saveFilter_ = asPdf ? pdf : csv;
  if (asPdf)
    Report::savePdf(file, table_, pageTexts(), paper());
  else
    Report::saveCsv(file, table_);
}

void frmReports::Spread1DblClick(int /*col*/, int row) {
  const int c = table_.recordColumn;
  if (!showing_ || c < 0 || row < 1 || row > table_.count()) return;
  const Report::Row& r = table_.rows[size_t(row - 1)];
  bool isNumber = false;
  const qint64 record = size_t(c) < r.size() ? r[size_t(c)].text.toLongLong(&isNumber) : 0;
  if (!isNumber) return;
  // As the map viewer does: the record form runs the query when it is next activated.
  ZEL1.PendingQuery = QStringLiteral("select * from zel where recid=") + QString::number(record);
  // The form opens first: the frame shows its toolbar again whenever no child window is left.
  emit recordFormWanted();
  mnuCloseClick();
}

void frmReports::mnuCloseClick() {
  // The frame shows its toolbar again once this window is gone, however it was closed.
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
    sub->close();
  else
    close();
}
