#include "gui/import/frmImport.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <algorithm>
#include <cmath>
#include <optional>

#include "core/import/DelimitedText.h"
#include "core/import/RecordImport.h"
#include "core/program/Zel1.h"
#include "core/store/DbError.h"
#include "core/store/ServerLock.h"
#include "gui/controls/GridControl.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"
#include "gui/import/GridSource.h"
#include "ui_frmImport.h"

namespace {

const QString kNotValid = QStringLiteral(
    "Not a valid import file. Must end in TXT or CSV. If the file is a spreadsheet, open the file in your "
    "spreadsheet program and save the file to either a Tab-Delimited Text File or a Comma-Delimited Text "
    "File.");
const QString kNotLoaded = QStringLiteral("File could not be properly loaded.");
const QString kEmptyFirst = QStringLiteral("Do you want to empty the current database first?");
const QString kSkipRow2 = QStringLiteral(
    "Should ROW 2 be excluded from the import (if ROW 2 is a header row you will want to say 'YES' to this.");
const QString kComplete = QStringLiteral("Import Complete.");
const QString kFilter =
    QStringLiteral("Tab-Delimited Text Files (*.txt);;Comma-Delimited Text Files (*.csv)");
const QString kLog = QStringLiteral("import.log");

constexpr int kMinWidth = 15;   // character widths
constexpr int kMaxWidth = 255;  // a spreadsheet's widest column
constexpr qint64 kProgressBytes = 1 << 20;
constexpr int kProgressRows = 2000;

}  // namespace

const QColor& frmImport::markColor() {
  static const QColor c(255, 199, 206);
  return c;
}

const QColor& frmImport::raggedColor() {
  static const QColor c(255, 235, 156);
  return c;
}

frmImport::frmImport(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::frmImport>()) {
  ui_->setupUi(this);
  Spread1 = ui_->Spread1;
  menuBar = ui_->menuBar;
  layout()->setMenuBar(menuBar);  // the form cannot place a bar on a plain widget
  mnuImport = ui_->mnuImport;
  mnuImport2 = ui_->mnuImport2;
  mnuHelp = ui_->mnuHelp;
  mnuClose = ui_->mnuClose;
  lblStatus = ui_->lblStatus;
  prgProgress = ui_->prgProgress;
  Spread1->grid()->setUnit(GridModel::Unit::Chars);
  mnuHelp->setShortcut(QKeySequence::HelpContents);
  ui_->status->addWidget(lblStatus, 1);
  ui_->status->addPermanentWidget(prgProgress);
  prgProgress->hide();

  connectCommand(mnuImport, &QAction::triggered, this, &frmImport::mnuImportClick);
  connectCommand(mnuImport2, &QAction::triggered, this, &frmImport::mnuImport2Click);
  connectCommand(mnuHelp, &QAction::triggered, this, &frmImport::mnuHelpClick);
  connectCommand(mnuClose, &QAction::triggered, this, &frmImport::mnuCloseClick);
  // A choice in the mapping row marks at once what its column's field will not take.
  connect(Spread1->grid(), &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& from, const QModelIndex& to) {
            if (marking_ || from.row() != 0 || !mnuImport2->isVisible()) return;
            for (int c = from.column(); c <= to.column(); ++c) markColumn(c + 1);
            showStatus();
          });

  resize(sizeHint());
  FormLoad();
}

frmImport::~frmImport() = default;

void frmImport::FormLoad() {
  mnuImport2->setVisible(false);
  emptyGrid();
  lblStatus->setText(QStringLiteral("Choose Import to load a tab- or comma-delimited text file."));
}

void frmImport::emptyGrid() {
  Spread1->setMaxRows(0);
  Spread1->setMaxCols(0);
  unconvertible_.clear();
  dateOrders_.clear();
  ragged_.clear();
}

void frmImport::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  Spread1->setAutoSize(false);
  Spread1->setAutoSize(true);
}

void frmImport::closeEvent(QCloseEvent* e) {
  // Rows being written are one transaction; the window stays until it has ended.
  if (busy_)
    e->ignore();
  else
    QWidget::closeEvent(e);
}

void frmImport::progress(double fraction) {
  prgProgress->setValue(int(std::lround(std::clamp(fraction, 0.0, 1.0) * 100)));
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void frmImport::mnuImportClick() {
  if (busy_) return;
  const QString file =
      messages().openFileName(QStringLiteral("Open"), QDir::homePath() + QStringLiteral("/*.txt"), kFilter);
  if (file.isEmpty()) return;  // cancelled
  try {
    emptyGrid();
    Spread1->setMaxRows(10000);
    Spread1->setMaxCols(500);
    const std::optional<DelimitedText::Format> format = DelimitedText::formatFor(file);
    if (!format) {
      emptyGrid();
      messages().information(kNotValid);
      return;
    }
    QString error, logError;
    GridTextLoad extra;
    DelimitedText::Result result;
    extra.result = &result;
    extra.grow = true;
    extra.error = &error;
    extra.logError = &logError;
    const bool large = QFileInfo(file).size() >= kProgressBytes;
    if (large) {
      extra.progress = [this](double f) { progress(f); };
      lblStatus->setText(QStringLiteral("Loading %1").arg(QFileInfo(file).fileName()));
      prgProgress->setValue(0);
      prgProgress->show();
    }
    bool ok = false;
    {
      const Busy busy(*this);
      ok = Spread1->loadTextFile(file, format->quoted ? QStringLiteral("\"") : QString(),
                                 QString(format->delimiter), QStringLiteral("\r\n"), 4, ZEL1.dataFile(kLog),
                                 extra);
    }
    if (!logError.isEmpty()) messages().information(logError);
    if (!ok) {
      emptyGrid();
      FormLoad();
      messages().information(error.isEmpty() ? kNotLoaded : kNotLoaded + QStringLiteral("\n\n") + error);
      return;
    }
    // The file's rows move down one row under the mapping row.
    Spread1->setMaxRows(Spread1->dataRowCnt());
    Spread1->setMaxCols(Spread1->dataColCnt());
    Spread1->insertRows(1, 1);
    const GridRange mappingRow{1, -1, 1, -1};
    Spread1->setFontBold(mappingRow, true);
    // The empty first choice takes a mapping back.
    Spread1->setCellType(mappingRow, GridModel::kComboCell,
                         QLatin1Char('\t') + RecordImport::mappingNames().join(QLatin1Char('\t')));
    // Rows with a delimiter too many or too few are marked; the import asks before writing them.
    firstItems_ = result.firstItems;
    quotesKept_ = !format->quoted;
    for (const auto& [row, items] : result.ragged) {
      if (row + 1 > Spread1->maxRows()) continue;
      ragged_.push_back({row + 1, items});
      Spread1->setBackColor(GridRange{row + 1, 1, row + 1, Spread1->maxCols()}, raggedColor());
    }
    names_ = RecordImport::names(ZEL1.cnData);
    fitColumns();
    fileName_ = file;
    mnuImport->setVisible(false);
    mnuImport2->setVisible(true);
    showStatus();
  } catch (const std::exception& e) {
    emptyGrid();
    FormLoad();
    showFailure(e);
  }
}

void frmImport::fitColumns() {
  GridModel* m = Spread1->grid();
  const QFontMetricsF plain(m->font(2, 1));
  const QFontMetricsF bold(m->font(1, 1));
  // Widths in the grid's character widths, as the grid turns them into pixels; a cell's text
  // needs its margins besides.
  const double pad = Spread1->widthToPixels(0);
  const double perChar = std::max((Spread1->widthToPixels(1000) - pad) / 1000.0, 1.0);
  const double margins = 8;
  auto chars = [&](double textWidth) { return int(std::ceil((textWidth + margins - pad) / perChar)); };
  // Every field name shows whole in the bold mapping row.
  int least = kMinWidth;
  for (const QString& name : RecordImport::mappingNames())
    least = std::max(least, chars(bold.horizontalAdvance(name)));
  // Texts are measured character by character: one call per distinct character rather than one
  // per cell keeps a file of a hundred thousand rows quick.
  std::vector<float> advance(0x10000, -1.0f);
  std::vector<double> widest(size_t(Spread1->maxCols()) + 1, 0.0);
  m->forEachText([&](int, int col, QStringView text) {
    double w = 0;
    for (QChar ch : text) {
      float& a = advance[ch.unicode()];
      if (a < 0) a = float(plain.horizontalAdvance(ch));
      w += a;
    }
    widest[size_t(col)] = std::max(widest[size_t(col)], w);
  });
  Spread1->setAutoSize(false);
  Spread1->setColWidth(-1, least);
  for (int c = 1; c <= Spread1->maxCols(); ++c)
    if (const int w = chars(widest[size_t(c)]); w > least) Spread1->setColWidth(c, std::min(w, kMaxWidth));
  Spread1->setAutoSize(true);
}

QColor frmImport::sheetColor(int row) const {
  const auto it = std::lower_bound(ragged_.begin(), ragged_.end(), row,
                                   [](const RecordImport::Ragged& r, int n) { return r.row < n; });
  if (it != ragged_.end() && it->row == row) return raggedColor();
  // The header cells never carry a colour of their own: theirs is the sheet's.
  return Spread1->grid()->backColor(0, 0);
}

RecordImport::Plan frmImport::plan(const RecordImport::Mapping& mapping, int firstRow) const {
  RecordImport::Plan p;
  p.mapping = mapping;
  p.firstRow = firstRow;
  p.lastRow = Spread1->maxRows();
  p.dateFormat = ZEL1.DateDisplayFormat;
  p.names = names_;
  p.firstItems = firstItems_;
  p.ragged = ragged_;
  p.quotesKept = quotesKept_;
  p.fileName = QFileInfo(fileName_).fileName();
  for (RecordImport::Column& c : p.mapping)
    if (const auto it = dateOrders_.find(c.column); it != dateOrders_.end()) c.dateFormat = it->second;
  return p;
}

void frmImport::markColumn(int col) {
  marking_ = true;
  GridModel* m = Spread1->grid();
  {
    GridModel::Batch batch(*m);
    std::vector<int>& rows = unconvertible_[col];
    for (int r : rows) m->setBackColor(GridRange::cell(r, col), sheetColor(r));
    rows.clear();
    dateOrders_.erase(col);
    if (const RecordFields::Field* field = RecordImport::fieldFor(Spread1->text(1, col))) {
      // A date column is read in one order, the one that fits all of its values.
      RecordImport::Plan p = plan({{col, field, {}}}, 2);
      RecordImport::settleDateOrders(GridSource(*Spread1), p);
      const RecordImport::Column& c = p.mapping.front();
      if (!c.dateFormat.isEmpty()) dateOrders_[col] = c.dateFormat;
      const QString& order = c.dateFormat.isEmpty() ? p.dateFormat : c.dateFormat;
      for (int r = 2; r <= p.lastRow; ++r)
        if (!RecordImport::convert(*field, Spread1->text(r, col), order, &names_)) {
          m->setBackColor(GridRange::cell(r, col), markColor());
          rows.push_back(r);
        }
    }
    if (rows.empty()) unconvertible_.erase(col);
  }
  marking_ = false;
}

RecordImport::Check frmImport::marked(int firstRow) const {
  std::vector<std::pair<int, int>> cells;
  for (const auto& [col, rows] : unconvertible_)
    for (int r : rows)
      if (r >= firstRow) cells.emplace_back(r, col);
  std::sort(cells.begin(), cells.end());
  RecordImport::Check c;
  for (const auto& [r, col] : cells) {
    if (c.problems.empty() || c.problems.back().row != r) ++c.rows;
    const RecordFields::Field* field = RecordImport::fieldFor(Spread1->text(1, col));
    const auto order = dateOrders_.find(col);
    QString why;
    RecordImport::convert(*field, Spread1->text(r, col),
                          order == dateOrders_.end() ? ZEL1.DateDisplayFormat : order->second, &names_, &why);
    c.problems.push_back({r, col, field, Spread1->text(r, col), why});
  }
  return c;
}

void frmImport::showStatus() {
  const RecordImport::Check c = marked(2);
  const QString ragged = ragged_.empty() ? QString()
                                         : QStringLiteral("; ") +
                                               RecordImport::raggedSummary(int(ragged_.size()), firstItems_) +
                                               QStringLiteral(" (marked)");
  if (c.problems.empty() && !ragged_.empty())
    lblStatus->setText(RecordImport::raggedSummary(int(ragged_.size()), firstItems_) +
                       QStringLiteral(" (marked)."));
  else if (c.problems.empty())
    lblStatus->setText(QStringLiteral("%1 %2, %3 %4 from %5. Choose each column's field in the first row.")
                           .arg(Spread1->maxRows() - 1)
                           .arg(QLatin1StringView(Spread1->maxRows() == 2 ? "row" : "rows"))
                           .arg(Spread1->maxCols())
                           .arg(QLatin1StringView(Spread1->maxCols() == 1 ? "column" : "columns"),
                                QFileInfo(fileName_).fileName()));
  else
    lblStatus->setText(RecordImport::summary(int(c.problems.size()), c.rows) + QStringLiteral(" (marked)") +
                       ragged + u'.');
}

void frmImport::mnuImport2Click() {
  if (busy_) return;
  const bool emptyFirst = messages().question(kEmptyFirst, true) == MessageService::Answer::Yes;
  const bool skipRow2 = messages().question(kSkipRow2, true) == MessageService::Answer::Yes;
  try {
    QStringList names;
    for (int c = 1; c <= Spread1->maxCols(); ++c) names << Spread1->text(1, c);
    QString error;
    const std::optional<RecordImport::Mapping> mapping = RecordImport::mappingFromNames(names, &error);
    if (!mapping) {
      messages().information(error);
      return;
    }
    const RecordImport::Plan plan = this->plan(*mapping, skipRow2 ? 3 : 2);
    const GridSource source(*Spread1);
    // Nothing is written before the user has seen what will not convert (the cells marked when
    // their columns were mapped), the rows with more or fewer items and the dates the form refuses.
    RecordImport::Check check = marked(plan.firstRow);
    RecordImport::review(source, plan, check);
    if (!check.clean() || !check.notes.empty()) {
      try {
        DelimitedText::appendLog(ZEL1.dataFile(kLog), RecordImport::logLines(check));
      } catch (const DbError& e) {
        showFailure(e);
      }
      if (messages().question(RecordImport::question(check), true) != MessageService::Answer::Yes) return;
    }
    const bool large = plan.records() >= kProgressRows;
    if (large) {
      lblStatus->setText(QStringLiteral("Adding %1 records").arg(plan.records()));
      prgProgress->setValue(0);
      prgProgress->show();
    }
    const Busy busy(*this);
    // Emptying takes the records from under every other clerk: not while one is connected.
    std::optional<ServerLock::Alone> alone;
    if (emptyFirst) alone.emplace(ZEL1.cnData, QStringLiteral("An import that empties the records first"));
    const int added = RecordImport::write(ZEL1.cnData, source, plan, emptyFirst, [&](double f) {
      if (large) progress(f);
    });
    lblStatus->setText(QStringLiteral("%1 records added.").arg(added));
  } catch (const std::exception& e) {
    showStatus();
    showFailure(e);
    return;
  }
  messages().information(kComplete);
  close();
}

void frmImport::mnuHelpClick() { messages().showHelp(kHelpTopic); }

void frmImport::mnuCloseClick() { close(); }

frmImport::Busy::~Busy() {
  w_.busy_ = false;
  w_.prgProgress->hide();
}
