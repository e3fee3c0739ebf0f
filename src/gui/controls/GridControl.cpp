#include "gui/controls/GridControl.h"

#include <QComboBox>
#include <QFile>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPrinter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "core/import/DelimitedText.h"
#include "core/store/DbError.h"

namespace {

// Drop-down list cells get a combo box editor with the cell's choices.
class GridDelegate : public QStyledItemDelegate {
 public:
  GridDelegate(GridModel* model, QObject* parent) : QStyledItemDelegate(parent), model_(model) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    const int r = index.row() + 1, c = index.column() + 1;
    if (model_->cellType(r, c) != GridModel::kComboCell)
      return QStyledItemDelegate::createEditor(parent, option, index);
    auto* box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("gridCombo"));
    box->addItems(model_->comboList(r, c));
    return box;
  }
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
      box->setCurrentIndex(std::max(box->findText(index.data(Qt::EditRole).toString()), 0));
      return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
  }
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
      model->setData(index, box->currentText());
      return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
  }

 private:
  GridModel* model_;
};

// Splits a header or footer line at its "/r" code: left part, right-aligned part.
std::pair<QString, QString> splitRight(const QString& line) {
  const int at = line.indexOf(QStringLiteral("/r"));
  if (at < 0) return {line, QString()};
  return {line.left(at), line.mid(at + 2)};
}

}  // namespace

GridControl::GridControl(QWidget* parent) : QTableView(parent), model_(new GridModel(this)) {
  setModel(model_);
  setItemDelegate(new GridDelegate(model_, this));
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setEditTriggers(QAbstractItemView::AllEditTriggers);
  setWordWrap(false);
  horizontalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setHighlightSections(false);
  verticalHeader()->setHighlightSections(false);

  connect(model_, &GridModel::sizesChanged, this, [this] {
    if (autoSize_) applySizes();
  });
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { applySizes(); });
  connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { applySizes(); });
  connect(model_, &QAbstractItemModel::columnsInserted, this, [this] { applySizes(); });
  connect(this, &QAbstractItemView::clicked, this,
          [this](const QModelIndex& i) { emit cellClicked(i.column() + 1, i.row() + 1); });
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int s) { emit cellClicked(s + 1, 0); });
  connect(verticalHeader(), &QHeaderView::sectionClicked, this,
          [this](int s) { emit cellClicked(0, s + 1); });
  applySizes();
}

// ---- sizes --------------------------------------------------------------------------------------

int GridControl::widthToPixels(double w) const {
  if (model_->unit() == GridModel::Unit::Twips) return qRound(w * logicalDpiX() / 1440.0);
  return qRound(w * charWidth() + 6);
}

int GridControl::heightToPixels(double h) const {
  if (model_->unit() == GridModel::Unit::Twips) return qRound(h * logicalDpiY() / 1440.0);
  const QFontMetricsF fm(model_->font(1, 1));
  return qRound(h * (fm.height() + 4));
}

double GridControl::charWidth() const {
  // The width of a digit, as spreadsheets count: numbers and dates fill the width they were given.
  return QFontMetricsF(model_->font(1, 1)).horizontalAdvance(QLatin1Char('0'));
}

double GridControl::colTwips(int col) const {
  return double(widthToPixels(model_->colWidth(col))) * 1440.0 / logicalDpiX();
}

double GridControl::rowTwips(int row) const {
  return double(heightToPixels(model_->rowHeight(row))) * 1440.0 / logicalDpiY();
}

qint64 GridControl::sheetWidthTwips() const {
  if (!model_->hasColWidthOverrides()) return qint64(colTwips(1) * model_->maxCols());
  double sum = 0;
  for (int c = 1; c <= model_->maxCols(); ++c) sum += colTwips(c);
  return qint64(sum);
}

qint64 GridControl::sheetHeightTwips() const {
  if (!model_->hasRowHeightOverrides()) return qint64(rowTwips(1) * model_->maxRows());
  double sum = 0;
  for (int r = 1; r <= model_->maxRows(); ++r) sum += rowTwips(r);
  return qint64(sum);
}

void GridControl::applySizes() {
  // Headers follow the sheet's font so that row numbers shrink and grow with the cells.
  const QFont headerFont = model_->font(model_->maxRows() + 1, model_->maxCols() + 1);
  horizontalHeader()->setFont(headerFont);
  verticalHeader()->setFont(headerFont);
  // The default size resizes every section at once; only explicit sizes are set one by one.
  horizontalHeader()->setDefaultSectionSize(std::max(widthToPixels(model_->defaultColWidth()), 1));
  verticalHeader()->setDefaultSectionSize(std::max(heightToPixels(model_->defaultRowHeight()), 1));
  if (model_->hasColWidthOverrides())
    for (int c = 1; c <= model_->maxCols(); ++c) {
      const int px = std::max(widthToPixels(model_->colWidth(c)), 1);
      if (horizontalHeader()->sectionSize(c - 1) != px) horizontalHeader()->resizeSection(c - 1, px);
    }
  if (model_->hasRowHeightOverrides())
    for (int r = 1; r <= model_->maxRows(); ++r) {
      const int px = std::max(heightToPixels(model_->rowHeight(r)), 1);
      if (verticalHeader()->sectionSize(r - 1) != px) verticalHeader()->resizeSection(r - 1, px);
    }
}

void GridControl::setAutoSize(bool on) {
  autoSize_ = on;
  if (on) {
    applySizes();
    updateGeometries();
    viewport()->update();
  }
}

double GridControl::maxTextColWidth(int col) const {
  double px = 0;
  for (int r = 0; r <= model_->maxRows(); ++r) {
    const QString t = model_->text(r, col);
    if (t.isEmpty()) continue;
    px = std::max(px, QFontMetricsF(model_->font(r, col)).horizontalAdvance(t));
  }
  if (px == 0) return 0;
  px += 6;  // the cell's inner margins
  if (model_->unit() == GridModel::Unit::Twips) return px * 1440.0 / logicalDpiX();
  return std::ceil((px - 6) / charWidth());
}

// ---- cursor and selection -----------------------------------------------------------------------

int GridControl::activeRow() const {
  const QModelIndex i = currentIndex();
  return i.isValid() ? i.row() + 1 : 0;
}

int GridControl::activeCol() const {
  const QModelIndex i = currentIndex();
  return i.isValid() ? i.column() + 1 : 0;
}

void GridControl::setActiveCell(int row, int col) {
  if (row < 1 || col < 1 || row > maxRows() || col > maxCols()) return;
  setCurrentIndex(model_->index(row - 1, col - 1));
}

void GridControl::selectBlock(int row, int col, int row2, int col2) {
  if (row < 1 || col < 1 || row2 > maxRows() || col2 > maxCols() || row > row2 || col > col2) return;
  selectionModel()->setCurrentIndex(model_->index(row - 1, col - 1), QItemSelectionModel::NoUpdate);
  selectionModel()->select(QItemSelection(model_->index(row - 1, col - 1), model_->index(row2 - 1, col2 - 1)),
                           QItemSelectionModel::ClearAndSelect);
}

namespace {
struct Block {
  int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
};
Block selectedBlock(const QItemSelectionModel* sel, const QModelIndex& current) {
  Block b;
  bool any = false;
  for (const QItemSelectionRange& range : sel->selection()) {
    if (!range.isValid()) continue;
    if (!any) {
      b = {range.top() + 1, range.left() + 1, range.bottom() + 1, range.right() + 1};
      any = true;
    } else {
      b.r1 = std::min(b.r1, range.top() + 1);
      b.c1 = std::min(b.c1, range.left() + 1);
      b.r2 = std::max(b.r2, range.bottom() + 1);
      b.c2 = std::max(b.c2, range.right() + 1);
    }
  }
  if (!any && current.isValid())
    b = {current.row() + 1, current.column() + 1, current.row() + 1, current.column() + 1};
  return b;
}
}  // namespace

int GridControl::selBlockRow() const { return selectedBlock(selectionModel(), currentIndex()).r1; }
int GridControl::selBlockRow2() const { return selectedBlock(selectionModel(), currentIndex()).r2; }
int GridControl::selBlockCol() const { return selectedBlock(selectionModel(), currentIndex()).c1; }
int GridControl::selBlockCol2() const { return selectedBlock(selectionModel(), currentIndex()).c2; }

void GridControl::keyPressEvent(QKeyEvent* e) {
  QTableView::keyPressEvent(e);
  emit keyPressed(e->key());
}

// ---- files --------------------------------------------------------------------------------------

bool GridControl::saveToFile(const QString& fileName, bool dataOnly, QString* error) const {
  return model_->saveFile(fileName, dataOnly, error);
}

bool GridControl::loadFromFile(const QString& fileName, QString* error) {
  return model_->loadFile(fileName, error);
}

// ---- delimited text -----------------------------------------------------------------------------

bool GridControl::loadTextFile(const QString& fileName, const QString& qualifier,
                               const QString& itemDelimiter, const QString& lineDelimiter, int option,
                               const QString& logFile, const TextLoad& extra) {
  Q_UNUSED(lineDelimiter);
  Q_UNUSED(option);
  DelimitedText::Options o;
  o.format.delimiter = itemDelimiter.isEmpty() ? QChar() : itemDelimiter.front();
  o.format.quoted = qualifier == QLatin1String("\"");
  o.logFile = logFile;
  o.progress = extra.progress;
  const int rows = maxRows(), cols = maxCols();
  int lastRow = 0, lastCol = 0, lost = 0;
  QStringList notes;
  DelimitedText::Result r;
  {
    GridModel::Batch batch(*model_);
    r = DelimitedText::load(fileName, o, [&](int row, int line, const DelimitedText::Items& items) {
      int last = int(items.size());
      while (last > 0 && items[size_t(last - 1)].isEmpty()) --last;
      if (last == 0) return;
      if (extra.grow) {  // doubling keeps the sheet's growth to a few steps
        if (row > model_->maxRows()) model_->setMaxRows(std::max(row, 2 * model_->maxRows()));
        if (last > model_->maxCols()) model_->setMaxCols(std::max(last, 2 * model_->maxCols()));
      }
      lastRow = std::max(lastRow, row);
      lastCol = std::max(lastCol, last);
      for (int c = 0; c < last; ++c) {
        const QStringView item = items[size_t(c)];
        if (item.isEmpty()) continue;
        if (row > model_->maxRows() || c + 1 > model_->maxCols()) {
          if (++lost <= 20)
            notes << QStringLiteral(
                         "Line %1, item %2 lies outside the sheet (%3 rows, %4 columns) and was not loaded.")
                         .arg(line)
                         .arg(c + 1)
                         .arg(model_->maxRows())
                         .arg(model_->maxCols());
          continue;
        }
        model_->setText(row, c + 1, QString::fromRawData(item.data(), item.size()));
      }
    });
    if (extra.grow) {
      model_->setMaxRows(std::max(rows, lastRow));
      model_->setMaxCols(std::max(cols, lastCol));
    }
  }
  if (lost > 20) notes << QStringLiteral("%1 items in all were not loaded.").arg(lost);
  if (extra.result) *extra.result = r;
  QString logError;
  try {
    DelimitedText::appendLog(logFile, notes);
  } catch (const DbError& e) {
    logError = e.description();
  }
  if (extra.logError) *extra.logError = r.logError.isEmpty() ? logError : r.logError;
  if (extra.error)
    *extra.error = !r.ok  ? r.error
                   : lost ? QStringLiteral("%1 items lie outside the sheet.").arg(lost)
                          : QString();
  return r.ok && lost == 0;
}

// ---- printing -----------------------------------------------------------------------------------

void GridControl::paintHeaderLine(QPainter& p, const QString& text, const QRect& rect) const {
  const auto [left, right] = splitRight(text);
  p.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, left);
  if (!right.isEmpty()) p.drawText(rect, Qt::AlignRight | Qt::AlignVCenter, right);
}

bool GridControl::print(QPrinter& printer) const {
  const int lastRow = model_->dataRowCnt();
  const int lastCol = model_->dataColCnt();
  QPainter p;
  if (!p.begin(&printer)) return false;
  const double dpiX = printer.logicalDpiX(), dpiY = printer.logicalDpiY();
  auto tx = [&](double twips) { return int(twips * dpiX / 1440.0); };
  auto ty = [&](double twips) { return int(twips * dpiY / 1440.0); };
  const QRect page(0, 0, printer.width(), printer.height());

  QFont lineFont(QStringLiteral("Arial"));
  lineFont.setPointSizeF(9);
  p.setFont(lineFont);
  const int lineH = p.fontMetrics().height();
  const int headerH = print_.header.isEmpty() ? 0 : lineH * 2;
  const int footerH = print_.footer.isEmpty() ? 0 : lineH * 2;
  const int left = std::min(tx(print_.marginLeft), page.width() / 2);
  const int top = std::min(ty(print_.marginTop), page.height() / 2) + headerH;
  const int availW = std::max(page.width() - left, 1);
  const int availH = std::max(page.height() - top - footerH, 1);

  std::vector<int> colPx(size_t(lastCol) + 1), rowPx(size_t(lastRow) + 1);
  for (int c = 1; c <= lastCol; ++c) colPx[c] = std::max(tx(colTwips(c)), 1);
  for (int r = 1; r <= lastRow; ++r) rowPx[r] = std::max(ty(rowTwips(r)), 1);
  // Bands of columns and rows that fit one page each; at least one per page.
  auto bands = [](const std::vector<int>& sizes, int last, int avail) {
    std::vector<std::pair<int, int>> out;
    int start = 1, used = 0;
    for (int i = 1; i <= last; ++i) {
      if (used > 0 && used + sizes[i] > avail) {
        out.push_back({start, i - 1});
        start = i;
        used = 0;
      }
      used += sizes[i];
    }
    if (last >= 1) out.push_back({start, last});
    return out;
  };
  auto colBands = bands(colPx, lastCol, availW);
  auto rowBands = bands(rowPx, lastRow, availH);
  if (colBands.empty()) colBands.push_back({1, 0});
  if (rowBands.empty()) rowBands.push_back({1, 0});

  QPen gridPen(print_.color ? QColor(128, 128, 128) : QColor(0, 0, 0));
  gridPen.setWidth(0);
  bool first = true;
  for (const auto& cb : colBands) {
    for (const auto& rb : rowBands) {
      if (!first && !printer.newPage()) return false;
      first = false;
      p.setFont(lineFont);
      p.setPen(Qt::black);
      if (headerH) paintHeaderLine(p, print_.header, QRect(0, ty(print_.marginTop), page.width(), lineH));
      if (footerH) paintHeaderLine(p, print_.footer, QRect(0, page.height() - lineH, page.width(), lineH));
      int y = top;
      for (int r = rb.first; r <= rb.second; ++r) {
        int x = left;
        for (int c = cb.first; c <= cb.second; ++c) {
          const QRect cell(x, y, colPx[c], rowPx[r]);
          if (print_.color) p.fillRect(cell, model_->backColor(r, c));
          const QString t = model_->text(r, c);
          if (!t.isEmpty()) {
            p.setFont(model_->font(r, c));
            p.setPen(print_.color ? model_->foreColor(r, c) : QColor(Qt::black));
            const int a = model_->typeHAlign(r, c);
            const Qt::Alignment h = a == 1 ? Qt::AlignRight : a == 2 ? Qt::AlignHCenter : Qt::AlignLeft;
            p.drawText(cell.adjusted(2, 0, -2, 0), int(h | Qt::AlignVCenter) | Qt::TextSingleLine, t);
          }
          if (print_.grid) {
            p.setPen(gridPen);
            p.drawRect(cell);
          }
          x += colPx[c];
        }
        y += rowPx[r];
      }
      if (print_.border && cb.second >= cb.first && rb.second >= rb.first) {
        int w = 0, h = 0;
        for (int c = cb.first; c <= cb.second; ++c) w += colPx[c];
        for (int r = rb.first; r <= rb.second; ++r) h += rowPx[r];
        p.setPen(QPen(Qt::black, 0));
        p.drawRect(QRect(left, top, w, h));
      }
    }
  }
  return p.end();
}
