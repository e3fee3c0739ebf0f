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

#include "core/history/History.h"
#include "core/maps/MapFile.h"
#include "core/maps/MapStore.h"
#include "core/program/Zel1.h"
#include "core/store/DbError.h"
#include "core/store/Value.h"
#include "gui/cemeteries/ManagerDialog.h"
#include "gui/cemeteries/frmCemeterySelect.h"
#include "gui/controls/GridControl.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"
#include "gui/controls/ReadOnly.h"
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

}  // namespace

frmMapEdit::frmMapEdit(QWidget* parent) : QWidget(parent) {
  ui_.setupUi(this);
  layout()->setMenuBar(ui_.menuBar);
  ui_.lblPlace->follow(ui_.Spread1);
  ui_.Spread1->setMaxRows(500);
  ui_.Spread1->setMaxCols(500);
  static_assert(kFieldLimit == 10, "the typing limit of frmMapEdit.ui's section, lot and grave fields");

  connectCommand(ui_.Command1, &QPushButton::clicked, this, &frmMapEdit::Command1Click);
  connectCommand(ui_.mnu10, &QAction::triggered, this, [this] { zoom(3, 50, 25); });
  connectCommand(ui_.mnu25, &QAction::triggered, this, [this] { zoom(4, 100, 50); });
  connectCommand(ui_.mnu50, &QAction::triggered, this, [this] { zoom(5, 250, 125); });
  connectCommand(ui_.mnu100, &QAction::triggered, this, [this] { zoom(7, 500, 250); });
  connectCommand(ui_.mnu200, &QAction::triggered, this, [this] { zoom(10, 1000, 500); });
  connectCommand(ui_.mnuColIns, &QAction::triggered, this, &frmMapEdit::mnuColInsClick);
  connectCommand(ui_.mnuRowIns, &QAction::triggered, this, &frmMapEdit::mnuRowInsClick);
  connectCommand(ui_.mnuColDel, &QAction::triggered, this, &frmMapEdit::mnuColDelClick);
  connectCommand(ui_.mnuRowDel, &QAction::triggered, this, &frmMapEdit::mnuRowDelClick);
  connectCommand(ui_.mnuMaxCols, &QAction::triggered, this, &frmMapEdit::mnuMaxColsClick);
  connectCommand(ui_.mnuMaxRows, &QAction::triggered, this, &frmMapEdit::mnuMaxRowsClick);
  connectCommand(ui_.mnuHelp, &QAction::triggered, this, &frmMapEdit::mnuHelpClick);
  connectCommand(ui_.mnuClose, &QAction::triggered, this, &frmMapEdit::mnuCloseClick);
  connectCommand(ui_.Spread1, &GridControl::cellClicked, this, &frmMapEdit::Spread1Click);
  connectCommand(ui_.Spread1, &GridControl::keyPressed, this, &frmMapEdit::Spread1KeyUp);

  readOnly_ = !readOnlyReason().isEmpty();
  FormLoad();
  if (readOnly_) {
    // The map is shown as stored: nothing sets cells, and closing saves nothing.
    showReadOnly(this, {ui_.Option1, ui_.Option2, ui_.Option3, ui_.txtSection, ui_.txtLot, ui_.txtGrave,
                        ui_.Command1, ui_.Check1, ui_.Option4, ui_.Option5});
    for (QAction* a : ui_.mnuRowCol->actions()) a->setEnabled(false);
  }
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

  GridModel::Batch batch(*ui_.Spread1->grid());
  ui_.Spread1->setBackColor(GridRange::all(), MapColors::green());
  QCoreApplication::processEvents();

  QString error;
  // A map that does not load is not replaced by a new one over records that may only be read.
  if (!loadMap(&error) && (readOnly_ ? (messages().information(error), true) : !keepUnreadable(error))) {
    opened_ = false;
    return;
  }

  ui_.Spread1->setFontName(GridRange::all(), QStringLiteral("Arial"));
  ui_.Spread1->setFontSize(GridRange::all(), 7);
  ui_.Spread1->setColWidth(-1, 500);
  ui_.Spread1->setRowHeight(-1, 250);

  if (ui_.Spread1->text(0, 0) != QLatin1String(kMapMarker)) {
    // Maps of earlier versions: every cell that is neither a burial lot nor a path is unused space.
    ui_.Spread1->grid()->replaceBackColors({MapColors::white(), MapColors::black()}, MapColors::green());
  }
  ui_.Spread1->setActiveCell(1, 1);
}

void frmMapEdit::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  refit();
}

void frmMapEdit::refit() {
  ui_.Spread1->setAutoSize(false);
  ui_.Spread1->setAutoSize(true);
}

void frmMapEdit::showCell(int row, int col) {
  // A part longer than the fields' typing limit is shown whole, so that Set does not cut it.
  QStringList parts = ui_.Spread1->text(row, col).split(QLatin1Char(','));
  if (parts.size() != 3) parts = {QString(), QString(), QString()};
  setFieldText(ui_.txtSection, parts[0], kFieldLimit);
  setFieldText(ui_.txtLot, parts[1], kFieldLimit);
  setFieldText(ui_.txtGrave, parts[2], kFieldLimit);
  const QColor b = ui_.Spread1->backColor(row, col);
  if (b == MapColors::white())
    ui_.Option1->setChecked(true);
  else if (b == MapColors::black())
    ui_.Option2->setChecked(true);
  else if (b == MapColors::green())
    ui_.Option3->setChecked(true);
}

void frmMapEdit::Spread1Click(int col, int row) {
  if (col < 1 || row < 1) return;
  showCell(row, col);
}

void frmMapEdit::Spread1KeyUp() {
  const int r = ui_.Spread1->activeRow(), c = ui_.Spread1->activeCol();
  if (r >= 1 && c >= 1) showCell(r, c);
}

void frmMapEdit::Command1Click() {
  qint64 n = leadingWhole(ui_.txtGrave->text());
  const int r1 = ui_.Spread1->selBlockRow(), r2 = ui_.Spread1->selBlockRow2();
  const int c1 = ui_.Spread1->selBlockCol(), c2 = ui_.Spread1->selBlockCol2();
  if (r1 < 1 || c1 < 1) return;  // no cell to set
  const QString section = ui_.txtSection->text().trimmed(), lot = ui_.txtLot->text().trimmed(),
                grave = ui_.txtGrave->text().trimmed();
  const bool allEmpty = section.isEmpty() && lot.isEmpty() && grave.isEmpty();
  const QString prefix = section + QLatin1Char(',') + lot + QLatin1Char(',');
  GridModel::Batch batch(*ui_.Spread1->grid());
  for (int r = r1; r <= r2; ++r) {
    for (int c = c1; c <= c2; ++c) {
      QString text;
      if (allEmpty)
        text.clear();
      else if (!ui_.Check1->isChecked())
        text = prefix + grave;
      else
        text = prefix + QString::number(n);
      if (ui_.Option1->isChecked()) {
        ui_.Spread1->setBackColor(GridRange::cell(r, c), MapColors::white());
      } else if (ui_.Option2->isChecked()) {
        ui_.Spread1->setBackColor(GridRange::cell(r, c), MapColors::black());
        text.clear();
      } else if (ui_.Option3->isChecked()) {
        ui_.Spread1->setBackColor(GridRange::cell(r, c), MapColors::green());
        text.clear();
      }
      ui_.Spread1->setText(r, c, text);
      ++n;  // every cell of the block uses a number, whatever its kind
    }
  }
}

void frmMapEdit::zoom(double fontSize, int colWidth, int rowHeight) {
  ui_.Spread1->setFontName(GridRange::all(), QStringLiteral("Arial"));
  ui_.Spread1->setFontSize(GridRange::all(), fontSize);
  ui_.Spread1->setColWidth(-1, colWidth);
  ui_.Spread1->setRowHeight(-1, rowHeight);
  refit();
}

void frmMapEdit::mnuColInsClick() {
  const int col = ui_.Spread1->activeCol();
  if (col < 1) return;
  ui_.Spread1->setMaxCols(ui_.Spread1->maxCols() + 1);
  ui_.Spread1->insertCol(col);
  ui_.Spread1->setBackColor(GridRange::block(1, col, ui_.Spread1->maxRows(), col), MapColors::green());
}

void frmMapEdit::mnuRowInsClick() {
  const int row = ui_.Spread1->activeRow();
  if (row < 1) return;
  ui_.Spread1->setMaxRows(ui_.Spread1->maxRows() + 1);
  ui_.Spread1->insertRow(row);
  ui_.Spread1->setBackColor(GridRange::block(row, 1, row, ui_.Spread1->maxCols()), MapColors::green());
}

void frmMapEdit::mnuColDelClick() {
  const int col = ui_.Spread1->activeCol();
  if (col < 1) return;
  ui_.Spread1->deleteCol(col);
  ui_.Spread1->setMaxCols(ui_.Spread1->maxCols() - 1);
  QCoreApplication::processEvents();
  refit();
}

void frmMapEdit::mnuRowDelClick() {
  const int row = ui_.Spread1->activeRow();
  if (row < 1) return;
  ui_.Spread1->deleteRow(row);
  ui_.Spread1->setMaxRows(ui_.Spread1->maxRows() - 1);
  QCoreApplication::processEvents();
  refit();
}

bool frmMapEdit::shrinkAllowed(int rows, int cols) {
  // Every close saves the sheet: a mistyped number would lose what lies beyond it for good.
  const auto drawn = [this](int r, int c) {
    return !ui_.Spread1->text(r, c).isEmpty() || ui_.Spread1->backColor(r, c) != MapColors::green();
  };
  bool any = false;
  for (int r = 1; r <= ui_.Spread1->maxRows() && !any; ++r)
    for (int c = r > rows ? 1 : cols + 1; c <= ui_.Spread1->maxCols() && !any; ++c) any = drawn(r, c);
  if (!any) return true;
  return messages().question(
             QStringLiteral("The part of the map that would be cut off holds drawn cells or "
                            "place names, and they would be lost. Make the map smaller anyway?"),
             true) == MessageService::Answer::Yes;
}

void frmMapEdit::mnuMaxColsClick() {
  const int old = ui_.Spread1->maxCols();
  const auto answer =
      messages().inputBox(QStringLiteral("How many columns would you like?"), QString::number(old));
  const qint64 n = leadingWhole(answer.value_or(QString()));
  // Nothing changes for 0; a negative count is refused the same way, a huge one is capped.
  if (n < 1) return;
  if (!shrinkAllowed(ui_.Spread1->maxRows(), int(std::min<qint64>(n, MapFile::kMaxSize)))) return;
  ui_.Spread1->setMaxCols(int(std::min<qint64>(n, MapFile::kMaxSize)));
  if (ui_.Spread1->maxCols() > old)
    ui_.Spread1->setBackColor(GridRange::block(1, old + 1, ui_.Spread1->maxRows(), ui_.Spread1->maxCols()),
                              MapColors::green());
}

void frmMapEdit::mnuMaxRowsClick() {
  const int old = ui_.Spread1->maxRows();
  const auto answer =
      messages().inputBox(QStringLiteral("How many rows would you like?"), QString::number(old));
  const qint64 n = leadingWhole(answer.value_or(QString()));
  if (n < 1) return;
  if (!shrinkAllowed(int(std::min<qint64>(n, MapFile::kMaxSize)), ui_.Spread1->maxCols())) return;
  ui_.Spread1->setMaxRows(int(std::min<qint64>(n, MapFile::kMaxSize)));
  if (ui_.Spread1->maxRows() > old)
    ui_.Spread1->setBackColor(GridRange::block(old + 1, 1, ui_.Spread1->maxRows(), ui_.Spread1->maxCols()),
                              MapColors::green());
}

void frmMapEdit::mnuHelpClick() { messages().showHelp(9); }

bool frmMapEdit::loadMap(QString* error) {
  version_ = 0;
  return ui_.Spread1->grid()->loadMap(
      [this](const auto& onHeader, const auto& onCell, MapFile::Text text) {
        version_ = MapStore::read(ZEL1.cnData, ZEL1.DataPath, mapName(), onHeader, onCell, text);
      },
      error);
}

QString frmMapEdit::mapName() const { return MapStore::nameOf(ZEL1.CurrentCemeteryId); }

bool frmMapEdit::keepUnreadable(const QString& error) {
  // Saving would write over the unreadable bytes: they go aside first, or the editor stays shut.
  Connection& cn = ZEL1.cnData;
  const QString& dir = ZEL1.DataPath;
  const QString name = mapName();
  try {
    const std::optional<MapStore::Stored> stored = MapStore::fetch(cn, dir, name);
    // A map that could not be fetched at all (a server out of reach) is no map to put aside.
    if (!stored) {
      messages().information(error);
      return false;
    }
    const QString base = QFileInfo(name).completeBaseName();
    QString beside;
    for (int n = 1; beside.isEmpty() || MapStore::exists(cn, dir, beside); ++n)
      beside = base + QStringLiteral(".unreadable") + (n > 1 ? QStringLiteral("-%1").arg(n) : QString()) +
               QStringLiteral(".dat");
    const QString shown = QDir::toNativeSeparators(MapStore::shownName(cn, dir, beside));
    if (messages().question(
            error +
                (cn.isServer() ? QStringLiteral("\n\nStart a new map? The unreadable map is kept as ")
                               : QStringLiteral("\n\nStart a new map? The unreadable file is kept as ")) +
                shown + QStringLiteral("."),
            true) != MessageService::Answer::Yes)
      return false;
    if (MapStore::rename(cn, dir, name, beside, stored->version)) return true;
    messages().information(
        QStringLiteral("The map %1 was changed on another computer meanwhile. The map editor is not opened.")
            .arg(MapStore::shownName(cn, dir, name)));
  } catch (const DbError& e) {
    messages().information(e.description() + QStringLiteral(" The map editor is not opened."));
  }
  return false;
}

bool frmMapEdit::saveMap() {
  ui_.Spread1->setText(0, 0, QString::fromLatin1(kMapMarker));
  QString error;
  Connection& cn = ZEL1.cnData;
  const QString name = mapName();
  MapStore::Saved saved;
  // The history's entry: on the server in the map's own transaction; on the file once the file is in
  // place, where an entry the history cannot take is said, not hidden (the map is saved either way).
  MapStore::AfterSave entry = [&](const QByteArray& before, const QByteArray& after) {
    if (cn.isServer()) {
      History::mapBytesSaved(cn, ZEL1.CurrentCemeteryId, before, after);
      return;
    }
    if (!cn.isOpen()) return;
    try {
      History::mapBytesSaved(cn, ZEL1.CurrentCemeteryId, before, after);
    } catch (const DbError& e) {
      showFailure(e);
    }
  };
  const bool ok = ui_.Spread1->grid()->saveMap(
      [&](const MapFile::Header& h, const MapFile::CellWriter& cells) {
        saved = MapStore::save(cn, ZEL1.DataPath, name, h, cells, version_, entry);
      },
      false, &error);
  if (!ok) {
    // Closing now would lose the map: the editor stays open so the user can try again.
    messages().information(error);
    return false;
  }
  if (saved.written) {
    version_ = saved.version;
    return true;
  }
  return resolveConflict();
}

bool frmMapEdit::resolveConflict() {
  Connection& cn = ZEL1.cnData;
  const QString name = mapName();
  QString who;
  try {
    for (const History::Entry& e : History::ofTable(cn, QStringLiteral("cemetery"), ZEL1.CurrentCemeteryId))
      if (e.kind == History::Kind::MapSaved) {
        who = QStringLiteral(" (last saved by %1 on %2 at %3)")
                  .arg(e.user, e.computer, QLocale().toString(e.time.toLocalTime(), QLocale::ShortFormat));
        break;
      }
  } catch (const DbError&) {
    // Who saved it is a help, not a condition: the message goes without it.
  }
  const auto answer = messages().questionWithCancel(
      QStringLiteral("The map was saved or removed on another computer since this editor opened it%1. "
                     "Your map is not saved over it.\n\nYes: keep your map under a new name and close; "
                     "No: reload the map as it is now (your changes are lost); Cancel: go on editing.")
          .arg(who));
  if (answer == MessageService::Answer::Yes) {
    QString error;
    MapStore::Saved saved;
    QString kept;
    const QString base = QFileInfo(name).completeBaseName();
    const bool ok = ui_.Spread1->grid()->saveMap(
        [&](const MapFile::Header& h, const MapFile::CellWriter& cells) {
          // A new name of the map's own, taken by nothing yet: a map written there meanwhile is not
          // saved over either, the next name is tried.
          for (int n = 1; !saved.written && n < 1000; ++n) {
            kept = base + QStringLiteral(".kept") + (n > 1 ? QStringLiteral("-%1").arg(n) : QString()) +
                   QStringLiteral(".dat");
            if (!MapStore::exists(cn, ZEL1.DataPath, kept))
              saved = MapStore::save(cn, ZEL1.DataPath, kept, h, cells, 0);
          }
        },
        false, &error);
    if (ok && saved.written) {
      messages().information(
          QStringLiteral("Your map is kept as %1.")
              .arg(QDir::toNativeSeparators(MapStore::shownName(cn, ZEL1.DataPath, kept))));
      return true;
    }
    messages().information(ok ? QStringLiteral("Your map could not be kept under a new name.") : error);
    return false;
  }
  if (answer == MessageService::Answer::No) {
    QString error;
    if (!loadMap(&error)) {
      messages().information(error);
    } else if (version_ == 0) {
      // Removed meanwhile: what is there now is no map at all.
      GridModel::Batch batch(*ui_.Spread1->grid());
      ui_.Spread1->grid()->clear();
      ui_.Spread1->setBackColor(GridRange::all(), MapColors::green());
    }
  }
  return false;
}

void frmMapEdit::closeEvent(QCloseEvent* e) {
  if (opened_ && !readOnly_ && !saveMap()) {
    e->ignore();
    return;
  }
  QWidget::closeEvent(e);
}

bool frmMapEdit::mnuCloseClick() {
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) return sub->close();
  return close();
}
