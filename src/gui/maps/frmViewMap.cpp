#include "gui/maps/frmViewMap.h"

#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPageLayout>
#include <QPrinter>
#include <QTimer>

#include "core/maps/MapKeys.h"
#include "core/maps/MapStore.h"
#include "core/program/Zel1.h"
#include "core/program/Zel2.h"
#include "core/store/DbError.h"
#include "core/store/RecordSet.h"
#include "gui/cemeteries/frmCemeterySelect.h"
#include "gui/controls/GridControl.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"
#include "gui/maps/MapColors.h"
#include "gui/maps/PlaceLine.h"
#include "ui_frmViewMap.h"

namespace {

QWidget* legendEntry(QWidget* parent, const QString& name, const QColor& color, const QString& label) {
  auto* box = new QWidget(parent);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  auto* swatch = new QLabel(box);
  swatch->setObjectName(QStringLiteral("shp") + name);
  swatch->setFixedSize(16, 16);
  swatch->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #404040;").arg(color.name()));
  auto* text = new QLabel(label, box);
  text->setObjectName(QStringLiteral("lbl") + name);
  row->addWidget(swatch);
  row->addWidget(text);
  row->addStretch(1);
  return box;
}

}  // namespace

frmViewMap::frmViewMap(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::frmViewMap>()) {
  ui_->setupUi(this);
  Spread1 = ui_->Spread1;
  txtLocation = ui_->txtLocation;
  txtName = ui_->txtName;
  menuBar = ui_->menuBar;
  mnuZoom = ui_->mnuZoom;
  mnuPrint = ui_->mnuPrint;
  mnuHelp = ui_->mnuHelp;
  mnuClose = ui_->mnuClose;
  layout()->setMenuBar(menuBar);  // the form cannot place a bar on a plain widget
  Spread1->setMaxRows(500);
  Spread1->setMaxCols(500);
  mnuHelp->setShortcut(QKeySequence::HelpContents);

  auto* legend = ui_->legend;
  using GraveState::State;
  for (State s : {State::Open, State::Buried, State::Sold, State::Reserved}) {
    const QString text = QString::fromLatin1(GraveState::of(s).legendText);
    legend->addWidget(legendEntry(this, text, MapColors::of(s), text));
  }
  legend->addWidget(
      legendEntry(this, QStringLiteral("Path"), MapColors::black(), QStringLiteral("Path or Road")));
  lblPlace = new PlaceLine(Spread1, this);
  legend->addWidget(lblPlace, 1);

  connectCommand(mnuZoom, &QAction::triggered, this, &frmViewMap::mnuZoomClick);
  connectCommand(mnuPrint, &QAction::triggered, this, &frmViewMap::mnuPrintClick);
  connectCommand(mnuHelp, &QAction::triggered, this, &frmViewMap::mnuHelpClick);
  connectCommand(mnuClose, &QAction::triggered, this, &frmViewMap::mnuCloseClick);
  connectCommand(Spread1, &GridControl::cellClicked, this, &frmViewMap::Spread1Click);
  // The arrow keys reach a grave as a click does.
  connectCommand(Spread1, &GridControl::keyPressed, this,
                 [this] { Spread1Click(Spread1->activeCol(), Spread1->activeRow()); });

  resize(900, 650);
  FormLoad();
}

frmViewMap::~frmViewMap() = default;

void frmViewMap::FormLoad() {
  try {
    if (std::optional<QString> name = cemeteryName(ZEL1.CurrentCemeteryId)) setWindowTitle(*name);
  } catch (const DbError& e) {
    // The map itself does not need the database: it is still shown, under the window's own caption.
    showFailure(e);
  }

  QString error;
  // The viewer never writes: the map stays as it is for the editor to deal with.
  const QString name = MapStore::nameOf(ZEL1.CurrentCemeteryId);
  if (!Spread1->grid()->loadMap(
          [&](const auto& onHeader, const auto& onCell, MapFile::Text text) {
            MapStore::read(ZEL1.cnData, ZEL1.DataPath, name, onHeader, onCell, text);
          },
          &error))
    messages().information(error + QStringLiteral("\n\nThe map is shown empty; the file is left as it is."));
  GridModel::Batch batch(*Spread1->grid());
  Spread1->setFontName(GridRange::all(), QStringLiteral("Arial"));
  Spread1->setFontSize(GridRange::all(), 7);
  Spread1->setColWidth(-1, 500);
  Spread1->setRowHeight(-1, 250);
  ZEL1.MapZoom = 500;
}

void frmViewMap::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (!coloured_) QTimer::singleShot(0, this, &frmViewMap::FormActivate);
}

void frmViewMap::FormActivate() {
  if (coloured_) return;
  coloured_ = true;
  QCoreApplication::processEvents();
  // A map coloured without its records would tell the user every grave is free: a failing read
  // is shown, and the map stays uncoloured.
  MapKeys::StateTable states;
  try {
    RecordSet rs(&ZEL1.cnData);
    // Open places are left out here already; the state table decides on what is read.
    rs.open(QStringLiteral("select status, csection, lot, grave from zel where cemeteryid=") +
            QString::number(ZEL1.CurrentCemeteryId) +
            QStringLiteral(" and trim(status, char(32, 9, 10, 11, 12, 13)) > ''"));
    for (; !rs.eof(); rs.moveNext())
      states.add(rs.field(1).toString(), rs.field(2).toString(), rs.field(3).toString(),
                 rs.field(0).toString());
  } catch (const DbError& e) {
    showFailure(e);
    return;
  }
  if (states.size() == 0) return;

  // One pass over the cells that hold a text, each looked up once and coloured in place; an open
  // place keeps the colour the map gives it.
  using GraveState::State;
  std::vector<std::pair<QColor, QColor>> palette(GraveState::all().size());
  for (const GraveState::Info& i : GraveState::all())
    palette[size_t(i.state)] = {MapColors::of(i.state), MapColors::textOf(i.state)};
  Spread1->grid()->colourTexts(palette, [&](QStringView text) {
    const State s = states.state(text);
    return s == State::Open ? -1 : int(s);
  });
}

void frmViewMap::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  refit();
}

void frmViewMap::refit() {
  Spread1->setAutoSize(false);
  Spread1->setAutoSize(true);
}

QString frmViewMap::graveQuery(const QStringList& parts) {
  // The cell's parts go into the query as they stand, quoted so that any text stays a literal.
  return QStringLiteral("select * from zel where cemeteryid=") + QString::number(ZEL1.CurrentCemeteryId) +
         QStringLiteral(" and csection='") + ZEL2::SqlQuote(parts[0]) + QStringLiteral("' and lot='") +
         ZEL2::SqlQuote(parts[1]) + QStringLiteral("' and grave='") + ZEL2::SqlQuote(parts[2]) +
         QStringLiteral("'");
}

void frmViewMap::Spread1Click(int col, int row) {
  if (col == 0 || row == 0) return;
  txtLocation->setText(Spread1->text(row, col));
  txtName->clear();
  if (txtLocation->text().isEmpty()) return;
  const QStringList parts = txtLocation->text().split(QLatin1Char(','));
  if (parts.size() != 3) return;
  try {
    RecordSet rs(&ZEL1.cnData);
    rs.open(graveQuery(parts));
    if (!rs.eof()) {
      const GraveState::State state = GraveState::fromStored(rs.field(QStringLiteral("Status")).toString());
      if (state == GraveState::State::Sold || state == GraveState::State::Reserved)
        txtName->setText(rs.field(QStringLiteral("ownerlastname")).toString().trimmed() +
                         QStringLiteral(", ") +
                         rs.field(QStringLiteral("ownerfirstname")).toString().trimmed());
      else
        txtName->setText(rs.field(QStringLiteral("interlastname")).toString().trimmed() +
                         QStringLiteral(", ") +
                         rs.field(QStringLiteral("interfirstname")).toString().trimmed());
    }
  } catch (const DbError& e) {
    showFailure(e);
  }
}

void frmViewMap::mnuZoomClick() {
  switch (ZEL1.MapZoom) {
    case 50:
      ZEL1.MapZoom = 100;
      break;
    case 100:
      ZEL1.MapZoom = 250;
      break;
    case 250:
      ZEL1.MapZoom = 500;
      break;
    case 500:
      ZEL1.MapZoom = 1000;
      break;
    case 1000:
      ZEL1.MapZoom = 50;
      break;
    default:
      break;
  }
  GridModel::Batch batch(*Spread1->grid());
  Spread1->setColWidth(-1, 2 * ZEL1.MapZoom);
  Spread1->setRowHeight(-1, ZEL1.MapZoom);
  Spread1->setFontSize(GridRange::all(), ZEL1.MapZoom < 500 ? 6 : 8);
  QCoreApplication::processEvents();
  refit();
}

QString frmViewMap::printFooter() { return QStringLiteral("Zelmora cemetery records - zelmora.example.org"); }

void frmViewMap::mnuPrintClick() {
  const int lastRow = Spread1->maxRows(), lastCol = Spread1->maxCols();
  bool dotted = false;
  try {
    QPrinter printer;
    if (!messages().choosePrinter(printer)) return;  // cancelled: nothing is printed
    QCoreApplication::processEvents();
    GridControl::PrintSettings& ps = Spread1->printSettings();
    ps.color = messages().question(QStringLiteral("Do you want to print colors?"), true) ==
               MessageService::Answer::Yes;
    // The printed block ends at the last cell holding text; a dot there makes it the whole sheet.
    if (lastRow >= 1 && lastCol >= 1 && Spread1->text(lastRow, lastCol).isEmpty()) {
      Spread1->setText(lastRow, lastCol, QStringLiteral("."));
      dotted = true;
    }
    ps.footer = printFooter();
    ps.header.clear();
    ps.marginLeft = 0;
    ps.marginTop = 0;
    ps.grid = true;
    const QRectF paper = printer.pageLayout().paintRect(QPageLayout::Inch);
    const qint64 pageW = qint64(paper.width() * 1440), pageH = qint64(paper.height() * 1440);
    const qint64 gridW = Spread1->sheetWidthTwips(), gridH = Spread1->sheetHeightTwips();
    if (gridW < pageW) {
      const qint64 innerW = qint64(width()) * 1440 / std::max(logicalDpiX(), 1);
      // Centred as on the window, but never pushed off the page.
      ps.marginLeft = int(std::clamp<qint64>((innerW - gridW) / 2, 0, pageW - gridW));
    }
    if (gridH < pageH) ps.marginTop = 1440;
    if (!Spread1->print(printer))
      messages().information(printer.outputFileName().isEmpty()
                                 ? QStringLiteral("The map could not be printed.")
                                 : QStringLiteral("The map could not be printed to %1.")
                                       .arg(QDir::toNativeSeparators(printer.outputFileName())));
  } catch (const std::exception& e) {
    // The print is abandoned; the user is told why rather than left waiting for paper.
    showFailure(e);
  }
  if (dotted && Spread1->text(lastRow, lastCol) == QLatin1String("."))
    Spread1->setText(lastRow, lastCol, QString());
}

void frmViewMap::mnuHelpClick() { messages().showHelp(10); }

void frmViewMap::mnuCloseClick() {
  ZEL1.PendingQuery.clear();
  if (!txtLocation->text().isEmpty()) {
    const QStringList parts = txtLocation->text().split(QLatin1Char(','));
    if (parts.size() == 3) ZEL1.PendingQuery = graveQuery(parts);
  }
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
    sub->close();
  else
    close();
}
