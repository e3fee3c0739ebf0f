#include "gui/maps/frmMapEdit.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include "core/maps/MapFile.h"
#include "core/program/Zel1.h"
#include "core/store/DbError.h"
#include "core/store/Value.h"
#include "gui/cemeteries/ManagerDialog.h"
#include "gui/cemeteries/frmCemeterySelect.h"
#include "gui/controls/GridControl.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"
#include "gui/maps/MapColors.h"
#include "gui/maps/PlaceLine.h"

namespace {

// A text's leading number rounded half to even; 0 when the text does not start with a number.
qint64 leadingWhole(const QString& text) {
  const double v = std::nearbyint(leadingNumber(text));
  if (!std::isfinite(v)) return 0;
  return qint64(std::clamp(v, -1e15, 1e15));
}

constexpr int kFieldLimit = 10;  // typing limit of the section, lot and grave fields

template <class T>
T* named(T* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

}  // namespace

frmMapEdit::frmMapEdit(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frmMapEdit"));
  setWindowTitle(QStringLiteral("Map Editor"));

  Spread1 = named(new GridControl(this), "Spread1");
  Spread1->setMaxRows(500);
  Spread1->setMaxCols(500);

  SSFrame1 = named(new QGroupBox(this), "SSFrame1");
  Option1 = named(new QRadioButton(QStringLiteral("Burial Lot"), SSFrame1), "Option1");
  Option2 = named(new QRadioButton(QStringLiteral("Path or Road"), SSFrame1), "Option2");
  Option3 = named(new QRadioButton(QStringLiteral("Unused Space"), SSFrame1), "Option3");
  Option1->setChecked(true);
  auto* kindBox = new QVBoxLayout(SSFrame1);
  kindBox->addWidget(Option1);
  kindBox->addWidget(Option2);
  kindBox->addWidget(Option3);

  txtSection = named(new QLineEdit(this), "txtSection");
  txtLot = named(new QLineEdit(this), "txtLot");
  txtGrave = named(new QLineEdit(this), "txtGrave");
  for (QLineEdit* e : {txtSection, txtLot, txtGrave}) e->setMaxLength(kFieldLimit);
  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("Section"), txtSection);
  fields->addRow(QStringLiteral("Lot"), txtLot);
  fields->addRow(QStringLiteral("Grave"), txtGrave);

  Command1 = named(new QPushButton(QStringLiteral("Set"), this), "Command1");

  SSFrame2 = named(new QGroupBox(this), "SSFrame2");
  Check1 = named(new QCheckBox(QStringLiteral("AutoNumber"), SSFrame2), "Check1");
  Option4 = named(new QRadioButton(QStringLiteral("Left to Right, Top to Bottom"), SSFrame2), "Option4");
  Option5 = named(new QRadioButton(QStringLiteral("Top to Bottom, Left to Right"), SSFrame2), "Option5");
  Option4->setChecked(true);
  auto* numBox = new QVBoxLayout(SSFrame2);
  numBox->addWidget(Check1);
  numBox->addWidget(Option4);
  numBox->addWidget(Option5);

  auto* side = new QVBoxLayout;
  side->addWidget(SSFrame1);
  side->addLayout(fields);
  side->addWidget(Command1);
  side->addWidget(SSFrame2);
  side->addStretch(1);
  lblPlace = new PlaceLine(Spread1, this);
  lblPlace->setWordWrap(true);
  side->addWidget(lblPlace);

  menuBar = named(new QMenuBar(this), "menuBar");
  mnuZoom = named(menuBar->addMenu(QStringLiteral("&Zoom")), "mnuZoom");
  mnu10 = named(mnuZoom->addAction(QStringLiteral("10%")), "mnu10");
  mnu25 = named(mnuZoom->addAction(QStringLiteral("25%")), "mnu25");
  mnu50 = named(mnuZoom->addAction(QStringLiteral("50%")), "mnu50");
  mnu100 = named(mnuZoom->addAction(QStringLiteral("100%")), "mnu100");
  mnu200 = named(mnuZoom->addAction(QStringLiteral("200%")), "mnu200");
  mnuRowCol = named(menuBar->addMenu(QStringLiteral("Row/Col")), "mnuRowCol");
  mnuColIns = named(mnuRowCol->addAction(QStringLiteral("Insert Column")), "mnuColIns");
  mnuRowIns = named(mnuRowCol->addAction(QStringLiteral("Insert Row")), "mnuRowIns");
  mnuColDel = named(mnuRowCol->addAction(QStringLiteral("Remove Column")), "mnuColDel");
  mnuRowDel = named(mnuRowCol->addAction(QStringLiteral("Remove Row")), "mnuRowDel");
  mnuRowCol->addSeparator();
  mnuMaxCols = named(mnuRowCol->addAction(QStringLiteral("Number of Columns")), "mnuMaxCols");
  mnuMaxRows = named(mnuRowCol->addAction(QStringLiteral("Number of Rows")), "mnuMaxRows");
  mnuHelp = named(menuBar->addAction(QStringLiteral("&Help")), "mnuHelp");
  mnuHelp->setShortcut(QKeySequence::HelpContents);
  mnuClose = named(menuBar->addAction(QStringLiteral("C&lose")), "mnuClose");

  auto* body = new QHBoxLayout;
  body->addWidget(Spread1, 1);
  body->addLayout(side);
  auto* outer = new QVBoxLayout(this);
  outer->setMenuBar(menuBar);
  outer->addLayout(body);

  connectCommand(Command1, &QPushButton::clicked, this, &frmMapEdit::Command1Click);
  connectCommand(mnu10, &QAction::triggered, this, [this] { zoom(3, 50, 25); });
  connectCommand(mnu25, &QAction::triggered, this, [this] { zoom(4, 100, 50); });
  connectCommand(mnu50, &QAction::triggered, this, [this] { zoom(5, 250, 125); });
  connectCommand(mnu100, &QAction::triggered, this, [this] { zoom(7, 500, 250); });
  connectCommand(mnu200, &QAction::triggered, this, [this] { zoom(10, 1000, 500); });
  connectCommand(mnuColIns, &QAction::triggered, this, &frmMapEdit::mnuColInsClick);
  connectCommand(mnuRowIns, &QAction::triggered, this, &frmMapEdit::mnuRowInsClick);
  connectCommand(mnuColDel, &QAction::triggered, this, &frmMapEdit::mnuColDelClick);
  connectCommand(mnuRowDel, &QAction::triggered, this, &frmMapEdit::mnuRowDelClick);
  connectCommand(mnuMaxCols, &QAction::triggered, this, &frmMapEdit::mnuMaxColsClick);
  connectCommand(mnuMaxRows, &QAction::triggered, this, &frmMapEdit::mnuMaxRowsClick);
  connectCommand(mnuHelp, &QAction::triggered, this, &frmMapEdit::mnuHelpClick);
  connectCommand(mnuClose, &QAction::triggered, this, &frmMapEdit::mnuCloseClick);
  connectCommand(Spread1, &GridControl::cellClicked, this, &frmMapEdit::Spread1Click);
  connectCommand(Spread1, &GridControl::keyPressed, this, &frmMapEdit::Spread1KeyUp);

  resize(900, 600);
  FormLoad();
}

frmMapEdit* frmMapEdit::open(QWidget* parent) {
  auto* w = new frmMapEdit(parent);
  if (w->isOpened()) return w;
  delete w;
  return nullptr;
}

void frmMapEdit::FormLoad() {
  try {
    if (std::optional<QString> name = cemeteryName(ZEL1.CurrentCemeteryId)) setWindowTitle(*name);
  } catch (const DbError& e) {
    // The map can still be drawn and saved; only its caption comes from the database.
    showFailure(e);
  }

  GridModel::Batch batch(*Spread1->grid());
  Spread1->setBackColor(GridRange::all(), MapColors::green());
  QCoreApplication::processEvents();

  const QString file = MapFile::fileName(ZEL1.DataPath, ZEL1.CurrentCemeteryId);
  if (QFile::exists(file)) {
    QString error;
    if (!Spread1->loadFromFile(file, &error) && !keepUnreadable(file, error)) {
      opened_ = false;
      return;
    }
  }

  Spread1->setFontName(GridRange::all(), QStringLiteral("Arial"));
  Spread1->setFontSize(GridRange::all(), 7);
  Spread1->setColWidth(-1, 500);
  Spread1->setRowHeight(-1, 250);

  if (Spread1->text(0, 0) != QLatin1String(kMapMarker)) {
    // Maps of earlier versions: every cell that is neither a burial lot nor a path is unused space.
    Spread1->grid()->replaceBackColors({MapColors::white(), MapColors::black()}, MapColors::green());
  }
  Spread1->setActiveCell(1, 1);
}

void frmMapEdit::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  refit();
}

void frmMapEdit::refit() {
  Spread1->setAutoSize(false);
  Spread1->setAutoSize(true);
}

void frmMapEdit::showCell(int row, int col) {
  // A part longer than the fields' typing limit is shown whole, so that Set does not cut it.
  QStringList parts = Spread1->text(row, col).split(QLatin1Char(','));
  if (parts.size() != 3) parts = {QString(), QString(), QString()};
  setFieldText(txtSection, parts[0], kFieldLimit);
  setFieldText(txtLot, parts[1], kFieldLimit);
  setFieldText(txtGrave, parts[2], kFieldLimit);
  const QColor b = Spread1->backColor(row, col);
  if (b == MapColors::white())
    Option1->setChecked(true);
  else if (b == MapColors::black())
    Option2->setChecked(true);
  else if (b == MapColors::green())
    Option3->setChecked(true);
}

void frmMapEdit::Spread1Click(int col, int row) {
  if (col < 1 || row < 1) return;
  showCell(row, col);
}

void frmMapEdit::Spread1KeyUp() {
  const int r = Spread1->activeRow(), c = Spread1->activeCol();
  if (r >= 1 && c >= 1) showCell(r, c);
}

void frmMapEdit::Command1Click() {
  qint64 n = leadingWhole(txtGrave->text());
  const int r1 = Spread1->selBlockRow(), r2 = Spread1->selBlockRow2();
  const int c1 = Spread1->selBlockCol(), c2 = Spread1->selBlockCol2();
  if (r1 < 1 || c1 < 1) return;  // no cell to set
  const QString section = txtSection->text().trimmed(), lot = txtLot->text().trimmed(),
                grave = txtGrave->text().trimmed();
  const bool allEmpty = section.isEmpty() && lot.isEmpty() && grave.isEmpty();
  const QString prefix = section + QLatin1Char(',') + lot + QLatin1Char(',');
  GridModel::Batch batch(*Spread1->grid());
  for (int r = r1; r <= r2; ++r) {
    for (int c = c1; c <= c2; ++c) {
      QString text;
      if (allEmpty)
        text.clear();
      else if (!Check1->isChecked())
        text = prefix + grave;
      else
        text = prefix + QString::number(n);
      if (Option1->isChecked()) {
        Spread1->setBackColor(GridRange::cell(r, c), MapColors::white());
      } else if (Option2->isChecked()) {
        Spread1->setBackColor(GridRange::cell(r, c), MapColors::black());
        text.clear();
      } else if (Option3->isChecked()) {
        Spread1->setBackColor(GridRange::cell(r, c), MapColors::green());
        text.clear();
      }
      Spread1->setText(r, c, text);
      ++n;  // every cell of the block uses a number, whatever its kind
    }
  }
}

void frmMapEdit::zoom(double fontSize, int colWidth, int rowHeight) {
  Spread1->setFontName(GridRange::all(), QStringLiteral("Arial"));
  Spread1->setFontSize(GridRange::all(), fontSize);
  Spread1->setColWidth(-1, colWidth);
  Spread1->setRowHeight(-1, rowHeight);
  refit();
}

void frmMapEdit::mnuColInsClick() {
  const int col = Spread1->activeCol();
  if (col < 1) return;
  Spread1->setMaxCols(Spread1->maxCols() + 1);
  Spread1->insertCol(col);
  Spread1->setBackColor(GridRange::block(1, col, Spread1->maxRows(), col), MapColors::green());
}

void frmMapEdit::mnuRowInsClick() {
  const int row = Spread1->activeRow();
  if (row < 1) return;
  Spread1->setMaxRows(Spread1->maxRows() + 1);
  Spread1->insertRow(row);
  Spread1->setBackColor(GridRange::block(row, 1, row, Spread1->maxCols()), MapColors::green());
}

void frmMapEdit::mnuColDelClick() {
  const int col = Spread1->activeCol();
  if (col < 1) return;
  Spread1->deleteCol(col);
  Spread1->setMaxCols(Spread1->maxCols() - 1);
  QCoreApplication::processEvents();
  refit();
}

void frmMapEdit::mnuRowDelClick() {
  const int row = Spread1->activeRow();
  if (row < 1) return;
  Spread1->deleteRow(row);
  Spread1->setMaxRows(Spread1->maxRows() - 1);
  QCoreApplication::processEvents();
  refit();
}

bool frmMapEdit::shrinkAllowed(int rows, int cols) {
  // Every close saves the sheet: a mistyped number would lose what lies beyond it for good.
  const auto drawn = [this](int r, int c) {
    return !Spread1->text(r, c).isEmpty() || Spread1->backColor(r, c) != MapColors::green();
  };
  bool any = false;
  for (int r = 1; r <= Spread1->maxRows() && !any; ++r)
    for (int c = r > rows ? 1 : cols + 1; c <= Spread1->maxCols() && !any; ++c) any = drawn(r, c);
  if (!any) return true;
  return messages().question(
             QStringLiteral("The part of the map that would be cut off holds drawn cells or "
                            "place names, and they would be lost. Make the map smaller anyway?"),
             true) == MessageService::Answer::Yes;
}

void frmMapEdit::mnuMaxColsClick() {
  const int old = Spread1->maxCols();
  const auto answer =
      messages().inputBox(QStringLiteral("How many columns would you like?"), QString::number(old));
  const qint64 n = leadingWhole(answer.value_or(QString()));
  // Nothing changes for 0; a negative count is refused the same way, a huge one is capped.
  if (n < 1) return;
  if (!shrinkAllowed(Spread1->maxRows(), int(std::min<qint64>(n, MapFile::kMaxSize)))) return;
  Spread1->setMaxCols(int(std::min<qint64>(n, MapFile::kMaxSize)));
  if (Spread1->maxCols() > old)
    Spread1->setBackColor(GridRange::block(1, old + 1, Spread1->maxRows(), Spread1->maxCols()),
                          MapColors::green());
}

void frmMapEdit::mnuMaxRowsClick() {
  const int old = Spread1->maxRows();
  const auto answer =
      messages().inputBox(QStringLiteral("How many rows would you like?"), QString::number(old));
  const qint64 n = leadingWhole(answer.value_or(QString()));
  if (n < 1) return;
  if (!shrinkAllowed(int(std::min<qint64>(n, MapFile::kMaxSize)), Spread1->maxCols())) return;
  Spread1->setMaxRows(int(std::min<qint64>(n, MapFile::kMaxSize)));
  if (Spread1->maxRows() > old)
    Spread1->setBackColor(GridRange::block(old + 1, 1, Spread1->maxRows(), Spread1->maxCols()),
                          MapColors::green());
}

void frmMapEdit::mnuHelpClick() { messages().showHelp(9); }

bool frmMapEdit::keepUnreadable(const QString& file, const QString& error) {
  // Saving would write over the unreadable bytes: they go aside first, or the editor stays shut.
  const QFileInfo info(file);
  QString beside;
  for (int n = 1; beside.isEmpty() || QFileInfo::exists(beside); ++n)
    beside = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
             QStringLiteral(".unreadable") + (n > 1 ? QStringLiteral("-%1").arg(n) : QString()) +
             QStringLiteral(".dat");
  const QString shown = QDir::toNativeSeparators(beside);
  if (messages().question(error + QStringLiteral("\n\nStart a new map? The unreadable file is kept as ") +
                              shown + QStringLiteral("."),
                          true) != MessageService::Answer::Yes)
    return false;
  QFile f(file);
  if (!f.rename(beside)) {
    messages().information(
        QStringLiteral("The map file %1 could not be kept as %2: %3. The map editor is not "
                       "opened.")
            .arg(QDir::toNativeSeparators(file), shown, f.errorString()));
    return false;
  }
  return true;
}

bool frmMapEdit::saveMap() {
  Spread1->setText(0, 0, QString::fromLatin1(kMapMarker));
  QString error;
  if (Spread1->saveToFile(MapFile::fileName(ZEL1.DataPath, ZEL1.CurrentCemeteryId), false, &error))
    return true;
  // Closing now would lose the map: the editor stays open so the user can try again.
  messages().information(error);
  return false;
}

void frmMapEdit::closeEvent(QCloseEvent* e) {
  if (opened_) {
    if (!saveMap()) {
      e->ignore();
      return;
    }
    emit toolbarWanted();
  }
  QWidget::closeEvent(e);
}

bool frmMapEdit::mnuCloseClick() {
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) return sub->close();
  return close();
}
