#include "gui/controls/GridModel.h"

#include <QFontMetricsF>
#include <algorithm>

#include "core/maps/MapFile.h"
#include "core/store/DbError.h"

namespace {

quint32 packColor(const QColor& c) { return 0xFF000000u | (c.rgb() & 0xFFFFFFu); }
QColor unpack(quint32 v) { return QColor::fromRgb(v & 0xFFFFFFu); }

}  // namespace

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {
  defStyle_.fontName = QStringLiteral("Arial");
  defStyle_.fontSize = 10;
  defStyle_.bold = 0;
  defStyle_.halign = 0;
  styles_.push_back(Style{});
  rows_.resize(1);
}

// ---- storage ------------------------------------------------------------------------------------

const GridModel::Cell* GridModel::find(int row, int col) const {
  if (row < 0 || row >= int(rows_.size())) return nullptr;
  const Row& r = rows_[row];
  auto it = std::lower_bound(r.begin(), r.end(), col, [](const Cell& c, int v) { return c.col < v; });
  return (it != r.end() && it->col == col) ? &*it : nullptr;
}

GridModel::Cell& GridModel::cellRef(int row, int col) { return cellIn(rows_[row], col); }

GridModel::Cell& GridModel::cellIn(Row& r, int col) {
  if (r.empty() || r.back().col < col) {  // filling left to right is the common case
    r.push_back(Cell{});
    r.back().col = col;
    return r.back();
  }
  auto it = std::lower_bound(r.begin(), r.end(), col, [](const Cell& c, int v) { return c.col < v; });
  if (it != r.end() && it->col == col) return *it;
  Cell fresh;
  fresh.col = col;
  return *r.insert(it, std::move(fresh));
}

void GridModel::prune(int row, int col) { pruneIn(rows_[row], col); }

void GridModel::pruneIn(Row& r, int col) {
  auto it = std::lower_bound(r.begin(), r.end(), col, [](const Cell& c, int v) { return c.col < v; });
  if (it != r.end() && it->col == col && it->plain()) r.erase(it);
}

bool GridModel::bounds(const GridRange& g, int& r1, int& c1, int& r2, int& c2) const {
  r1 = g.row;
  c1 = g.col;
  r2 = g.row2 == -2 ? g.row : g.row2;
  c2 = g.col2 == -2 ? g.col : g.col2;
  if (r1 == -1 || r2 == -1) {
    r1 = 1;
    r2 = maxRows_;
  }
  if (c1 == -1 || c2 == -1) {
    c1 = 1;
    c2 = maxCols_;
  }
  if (r1 > r2) std::swap(r1, r2);
  if (c1 > c2) std::swap(c1, c2);
  r1 = std::max(r1, 0);
  c1 = std::max(c1, 0);
  r2 = std::min(r2, maxRows_);
  c2 = std::min(c2, maxCols_);
  return r1 <= r2 && c1 <= c2;
}

template <class F>
void GridModel::applyBlock(const GridRange& range, F&& fn) {
  int r1, c1, r2, c2;
  if (!bounds(range, r1, c1, r2, c2)) return;
  for (int r = r1; r <= r2; ++r) {
    for (int c = c1; c <= c2; ++c) {
      Cell& cell = cellRef(r, c);
      fn(cell);
      if (cell.plain()) prune(r, c);
    }
  }
  changed(r1, c1, r2, c2);
}

void GridModel::changed(int r1, int c1, int r2, int c2) {
  if (batch_) {
    batchDirty_ = true;
    return;
  }
  if (r1 == 0 || c1 == 0) {
    if (r1 == 0) emit headerDataChanged(Qt::Horizontal, std::max(c1 - 1, 0), std::max(c2 - 1, 0));
    if (c1 == 0) emit headerDataChanged(Qt::Vertical, std::max(r1 - 1, 0), std::max(r2 - 1, 0));
    r1 = std::max(r1, 1);
    c1 = std::max(c1, 1);
  }
  if (r1 <= r2 && c1 <= c2) emit dataChanged(index(r1 - 1, c1 - 1), index(r2 - 1, c2 - 1));
}

void GridModel::flushBatch() {
  if (!batchDirty_) return;
  batchDirty_ = false;
  if (maxRows_ > 0 && maxCols_ > 0) emit dataChanged(index(0, 0), index(maxRows_ - 1, maxCols_ - 1));
  emit headerDataChanged(Qt::Horizontal, 0, std::max(maxCols_ - 1, 0));
  emit headerDataChanged(Qt::Vertical, 0, std::max(maxRows_ - 1, 0));
}

void GridModel::replaceBackColors(const QList<QColor>& keep, const QColor& to) {
  std::vector<quint32> kept;
  for (const QColor& k : keep) kept.push_back(packColor(k));
  auto keeps = [&](quint32 v) { return std::find(kept.begin(), kept.end(), v) != kept.end(); };
  const quint32 target = packColor(to);
  // Cells without a colour of their own follow the default, so changing it recolours them all.
  if (!keeps(defBack_)) defBack_ = target;
  for (int r = 1; r <= maxRows_; ++r) {
    Row& row = rows_[r];
    for (Cell& c : row) {
      if (c.col < 1) continue;
      if (c.back && !keeps(c.back)) c.back = target == defBack_ ? 0 : target;
    }
    row.erase(std::remove_if(row.begin(), row.end(), [](const Cell& c) { return c.plain(); }), row.end());
  }
  changed(0, 0, maxRows_, maxCols_);
}

void GridModel::forEachText(const std::function<void(int, int, QStringView)>& fn) const {
  QChar buf[CellText::kInline];
  for (int r = 1; r <= maxRows_; ++r)
    for (const Cell& c : rows_[r])
      if (c.col >= 1 && !c.text.isEmpty()) fn(r, c.col, c.text.view(buf));
}

void GridModel::colourTexts(const std::vector<std::pair<QColor, QColor>>& palette,
                            const std::function<int(QStringView)>& pick) {
  std::vector<std::pair<quint32, quint32>> packed;
  for (const auto& [back, fore] : palette) packed.emplace_back(packColor(back), packColor(fore));
  QChar buf[CellText::kInline];
  bool any = false;
  for (int r = 1; r <= maxRows_; ++r)
    for (Cell& c : rows_[r]) {
      if (c.col < 1 || c.text.isEmpty()) continue;
      const int i = pick(c.text.view(buf));
      if (i < 0 || i >= int(packed.size())) continue;
      // As setBackColor does: the sheet's own colour is the default, not a colour of the cell's.
      c.back = packed[size_t(i)].first == defBack_ ? 0 : packed[size_t(i)].first;
      c.fore = packed[size_t(i)].second;
      any = true;
    }
  if (any) changed(1, 1, maxRows_, maxCols_);
}

// ---- size ---------------------------------------------------------------------------------------

void GridModel::setMaxRows(int n) {
  n = std::max(n, 0);
  if (n == maxRows_) return;
  if (n > maxRows_) {
    beginInsertRows({}, maxRows_, n - 1);
    rows_.resize(n + 1);
    maxRows_ = n;
    endInsertRows();
  } else {
    beginRemoveRows({}, n, maxRows_ - 1);
    rows_.resize(n + 1);
    maxRows_ = n;
    for (auto it = rowHeights_.begin(); it != rowHeights_.end();)
      it = it.key() > n ? rowHeights_.erase(it) : ++it;
    endRemoveRows();
  }
}

void GridModel::setMaxCols(int n) {
  n = std::max(n, 0);
  if (n == maxCols_) return;
  if (n > maxCols_) {
    beginInsertColumns({}, maxCols_, n - 1);
    maxCols_ = n;
    endInsertColumns();
  } else {
    beginRemoveColumns({}, n, maxCols_ - 1);
    for (Row& r : rows_) {
      auto it = std::upper_bound(r.begin(), r.end(), n, [](int v, const Cell& c) { return v < c.col; });
      r.erase(it, r.end());
    }
    maxCols_ = n;
    for (auto it = colWidths_.begin(); it != colWidths_.end();)
      it = it.key() > n ? colWidths_.erase(it) : ++it;
    endRemoveColumns();
  }
}

int GridModel::dataRowCnt() const {
  for (int r = maxRows_; r >= 1; --r)
    for (const Cell& c : rows_[r])
      if (c.col >= 1 && !c.text.isEmpty()) return r;
  return 0;
}

int GridModel::dataColCnt() const {
  int last = 0;
  for (int r = 1; r <= maxRows_; ++r)
    for (auto it = rows_[r].rbegin(); it != rows_[r].rend(); ++it)
      if (!it->text.isEmpty()) {
        last = std::max(last, it->col);
        break;
      }
  return last;
}

void GridModel::clear() {
  beginResetModel();
  for (Row& r : rows_) r.clear();
  defBack_ = 0xFFFFFFFF;
  defFore_ = 0xFF000000;
  endResetModel();
}

// ---- text ---------------------------------------------------------------------------------------

QString GridModel::text(int row, int col) const {
  const Cell* c = find(row, col);
  return c ? c->text.toString() : QString();
}

void GridModel::setText(int row, int col, const QString& text) {
  if (row < 0 || col < 0 || row > maxRows_ || col > maxCols_) return;
  if (text.isEmpty() && !find(row, col)) return;
  cellRef(row, col).text = text;
  if (text.isEmpty()) prune(row, col);
  changed(row, col, row, col);
}

void GridModel::setText(const GridRange& range, const QString& text) {
  applyBlock(range, [&](Cell& c) { c.text = text; });
}

// ---- formats ------------------------------------------------------------------------------------

QColor GridModel::backColor(int row, int col) const {
  const Cell* c = find(row, col);
  return unpack(c && c->back ? c->back : defBack_);
}

QColor GridModel::foreColor(int row, int col) const {
  const Cell* c = find(row, col);
  return unpack(c && c->fore ? c->fore : defFore_);
}

void GridModel::setBackColor(const GridRange& range, const QColor& color) {
  const quint32 v = packColor(color);
  if (isAll(range)) {
    // The whole sheet: a new default, and no cell keeps a colour of its own.
    defBack_ = v;
    for (Row& row : rows_) {
      for (Cell& c : row) c.back = 0;
      row.erase(std::remove_if(row.begin(), row.end(), [](const Cell& c) { return c.plain(); }), row.end());
    }
    changed(0, 0, maxRows_, maxCols_);
    return;
  }
  if (v == defBack_) {
    // The sheet's own colour: only cells that carry a colour of their own change.
    int r1, c1, r2, c2;
    if (!bounds(range, r1, c1, r2, c2)) return;
    for (int r = r1; r <= r2; ++r) {
      Row& row = rows_[r];
      auto it = std::lower_bound(row.begin(), row.end(), c1, [](const Cell& c, int v) { return c.col < v; });
      for (; it != row.end() && it->col <= c2; ++it) it->back = 0;
      row.erase(std::remove_if(row.begin(), row.end(), [](const Cell& c) { return c.plain(); }), row.end());
    }
    changed(r1, c1, r2, c2);
    return;
  }
  applyBlock(range, [v](Cell& c) { c.back = v; });
}

void GridModel::setForeColor(const GridRange& range, const QColor& color) {
  const quint32 v = packColor(color);
  if (isAll(range)) {
    defFore_ = v;
    for (Row& row : rows_) {
      for (Cell& c : row) c.fore = 0;
      row.erase(std::remove_if(row.begin(), row.end(), [](const Cell& c) { return c.plain(); }), row.end());
    }
    changed(0, 0, maxRows_, maxCols_);
    return;
  }
  applyBlock(range, [v](Cell& c) { c.fore = v; });
}

const GridModel::Style& GridModel::styleOf(const Cell* c) const {
  return (c && c->style) ? styles_[c->style] : defStyle_;
}

quint16 GridModel::intern(const Style& s) {
  Style merged = s;
  // A style that says nothing beyond the defaults is the default.
  if (merged.fontName.isEmpty() && merged.fontSize == 0 && merged.bold < 0 && merged.halign < 0 &&
      merged.type == 0 && merged.combo.isEmpty())
    return 0;
  for (size_t i = 1; i < styles_.size(); ++i)
    if (styles_[i] == merged) return quint16(i);
  if (styles_.size() >= 0xFFFF) return 0;  // styles are few in practice; never overflow
  styles_.push_back(merged);
  fontCacheValid_ = false;
  return quint16(styles_.size() - 1);
}

void GridModel::changeStyle(const GridRange& range, const std::function<void(Style&)>& change,
                            const std::function<void(Style&)>& changeDefault) {
  fontCacheValid_ = false;
  if (isAll(range)) {
    changeDefault(defStyle_);
    QHash<quint16, quint16> remap;
    for (Row& row : rows_) {
      for (Cell& c : row) {
        if (!c.style) continue;
        auto it = remap.find(c.style);
        if (it == remap.end()) {
          Style s = styles_[c.style];
          change(s);
          it = remap.insert(c.style, intern(s));
        }
        c.style = *it;
      }
      row.erase(std::remove_if(row.begin(), row.end(), [](const Cell& c) { return c.plain(); }), row.end());
    }
    changed(0, 0, maxRows_, maxCols_);
    return;
  }
  // Cells of a block are restyled through a small old-to-new table: few distinct styles exist.
  QHash<quint16, quint16> remap;
  Style cleared;
  applyBlock(range, [&](Cell& c) {
    auto it = remap.find(c.style);
    if (it == remap.end()) {
      Style s = c.style ? styles_[c.style] : cleared;
      change(s);
      it = remap.insert(c.style, intern(s));
    }
    c.style = *it;
  });
}

void GridModel::setFontName(const GridRange& range, const QString& name) {
  if (isAll(range))
    changeStyle(
        range, [](Style& s) { s.fontName.clear(); }, [&](Style& s) { s.fontName = name; });
  else
    changeStyle(
        range, [&](Style& s) { s.fontName = name; }, [](Style&) {});
}

void GridModel::setFontSize(const GridRange& range, double size) {
  if (isAll(range))
    changeStyle(
        range, [](Style& s) { s.fontSize = 0; }, [&](Style& s) { s.fontSize = size; });
  else
    changeStyle(
        range, [&](Style& s) { s.fontSize = size; }, [](Style&) {});
}

void GridModel::setFontBold(const GridRange& range, bool bold) {
  if (isAll(range))
    changeStyle(
        range, [](Style& s) { s.bold = -1; }, [&](Style& s) { s.bold = bold; });
  else
    changeStyle(
        range, [&](Style& s) { s.bold = bold; }, [](Style&) {});
}

void GridModel::setTypeHAlign(const GridRange& range, int align) {
  if (isAll(range))
    changeStyle(
        range, [](Style& s) { s.halign = -1; }, [&](Style& s) { s.halign = qint8(align); });
  else
    changeStyle(
        range, [&](Style& s) { s.halign = qint8(align); }, [](Style&) {});
}

void GridModel::setCellType(const GridRange& range, int type, const QString& list) {
  const qint8 t = type == kComboCell ? qint8(kComboCell) : qint8(0);
  const QString l = t ? list : QString();
  auto set = [&](Style& s) {
    s.type = t;
    s.combo = l;
  };
  if (isAll(range))
    changeStyle(
        range,
        [](Style& s) {
          s.type = 0;
          s.combo.clear();
        },
        set);
  else
    changeStyle(range, set, [](Style&) {});
}

QFont GridModel::fontFor(const Style& s) const {
  QFont f(s.fontName.isEmpty() ? defStyle_.fontName : s.fontName);
  const double size = s.fontSize > 0 ? s.fontSize : defStyle_.fontSize;
  f.setPointSizeF(std::max(size, 1.0));
  f.setBold((s.bold >= 0 ? s.bold : defStyle_.bold) > 0);
  return f;
}

QFont GridModel::font(int row, int col) const {
  const Cell* c = find(row, col);
  if (!fontCacheValid_) {
    fontCache_.clear();
    fontCache_.push_back(fontFor(defStyle_));
    for (size_t i = 1; i < styles_.size(); ++i) fontCache_.push_back(fontFor(styles_[i]));
    fontCacheValid_ = true;
  }
  return fontCache_[c ? c->style : 0];
}

bool GridModel::fontBold(int row, int col) const {
  const Style& s = styleOf(find(row, col));
  return (s.bold >= 0 ? s.bold : defStyle_.bold) > 0;
}

int GridModel::typeHAlign(int row, int col) const {
  const Style& s = styleOf(find(row, col));
  return s.halign >= 0 ? s.halign : defStyle_.halign;
}

int GridModel::cellType(int row, int col) const {
  const Style& s = styleOf(find(row, col));
  return s.type ? s.type : defStyle_.type;
}

QStringList GridModel::comboList(int row, int col) const {
  const Style& s = styleOf(find(row, col));
  const QString& l = s.type ? s.combo : defStyle_.combo;
  return l.isEmpty() ? QStringList() : l.split(QLatin1Char('\t'));
}

// ---- rows and columns ---------------------------------------------------------------------------

void GridModel::insertRows(int row, int count) {
  if (count <= 0 || row < 1) return;
  row = std::min(row, maxRows_ + 1);
  beginInsertRows({}, row - 1, row + count - 2);
  rows_.insert(rows_.begin() + row, size_t(count), Row{});
  maxRows_ += count;
  QHash<int, double> heights;
  for (auto it = rowHeights_.cbegin(); it != rowHeights_.cend(); ++it)
    heights.insert(it.key() >= row ? it.key() + count : it.key(), it.value());
  rowHeights_ = heights;
  endInsertRows();
}

void GridModel::insertRowAt(int row) {
  if (row < 1 || row > maxRows_) return;
  const int keep = maxRows_;
  insertRows(row, 1);
  setMaxRows(keep);
}

void GridModel::deleteRowAt(int row) {
  if (row < 1 || row > maxRows_) return;
  beginRemoveRows({}, row - 1, row - 1);
  rows_.erase(rows_.begin() + row);
  QHash<int, double> heights;
  for (auto it = rowHeights_.cbegin(); it != rowHeights_.cend(); ++it)
    if (it.key() != row) heights.insert(it.key() > row ? it.key() - 1 : it.key(), it.value());
  rowHeights_ = heights;
  --maxRows_;
  endRemoveRows();
  setMaxRows(maxRows_ + 1);  // a blank row comes in at the end
}

void GridModel::insertColAt(int col) {
  if (col < 1 || col > maxCols_) return;
  beginInsertColumns({}, col - 1, col - 1);
  for (Row& r : rows_)
    for (Cell& c : r)
      if (c.col >= col) ++c.col;
  QHash<int, double> widths;
  for (auto it = colWidths_.cbegin(); it != colWidths_.cend(); ++it)
    widths.insert(it.key() >= col ? it.key() + 1 : it.key(), it.value());
  colWidths_ = widths;
  ++maxCols_;
  endInsertColumns();
  setMaxCols(maxCols_ - 1);  // the last column falls off
}

void GridModel::deleteColAt(int col) {
  if (col < 1 || col > maxCols_) return;
  beginRemoveColumns({}, col - 1, col - 1);
  for (Row& r : rows_) {
    auto it = std::lower_bound(r.begin(), r.end(), col, [](const Cell& c, int v) { return c.col < v; });
    if (it != r.end() && it->col == col) it = r.erase(it);
    for (; it != r.end(); ++it) --it->col;
  }
  QHash<int, double> widths;
  for (auto it = colWidths_.cbegin(); it != colWidths_.cend(); ++it)
    if (it.key() != col) widths.insert(it.key() > col ? it.key() - 1 : it.key(), it.value());
  colWidths_ = widths;
  --maxCols_;
  endRemoveColumns();
  setMaxCols(maxCols_ + 1);
}

// ---- sizes --------------------------------------------------------------------------------------

void GridModel::setUnit(Unit u) {
  if (u == unit_) return;
  unit_ = u;
  defColWidth_ = u == Unit::Twips ? 1000 : 9;
  defRowHeight_ = u == Unit::Twips ? 250 : 1;
  colWidths_.clear();
  rowHeights_.clear();
  emit sizesChanged();
}

double GridModel::colWidth(int col) const { return colWidths_.value(col, defColWidth_); }
double GridModel::rowHeight(int row) const { return rowHeights_.value(row, defRowHeight_); }

void GridModel::setColWidth(int col, double w) {
  w = std::max(w, 0.0);
  if (col == -1) {
    defColWidth_ = w;
    colWidths_.clear();
  } else if (col >= 0 && col <= maxCols_) {
    colWidths_.insert(col, w);
  }
  emit sizesChanged();
}

void GridModel::setRowHeight(int row, double h) {
  h = std::max(h, 0.0);
  if (row == -1) {
    defRowHeight_ = h;
    rowHeights_.clear();
  } else if (row >= 0 && row <= maxRows_) {
    rowHeights_.insert(row, h);
  }
  emit sizesChanged();
}

// ---- map file data ------------------------------------------------------------------------------

bool GridModel::saveFile(const QString& path, bool dataOnly, QString* error) const {
  return saveMap(
      [&](const MapFile::Header& h, const MapFile::CellWriter& cells) { MapFile::save(path, h, cells); },
      dataOnly, error);
}

bool GridModel::loadFile(const QString& path, QString* error) {
  return loadMap([&](const auto& onHeader, const auto& onCell,
                     MapFile::Text text) { MapFile::read(path, onHeader, onCell, text); },
                 error);
}

bool GridModel::saveMap(const MapWriter& write, bool dataOnly, QString* error) const {
  auto kept = [dataOnly](const Cell& c) { return !c.text.isEmpty() || (!dataOnly && (c.back || c.fore)); };
  MapFile::Header h;
  h.maxRows = maxRows_;
  h.maxCols = maxCols_;
  h.defaultBack = defBack_ & 0xFFFFFFu;
  h.defaultFore = defFore_ & 0xFFFFFFu;
  for (const Row& row : rows_)
    for (const Cell& c : row) h.cellCount += kept(c) ? 1 : 0;
  try {
    write(h, [&](const std::function<void(const MapCell&)>& put) {
      MapCell mc;
      for (int r = 0; r <= maxRows_; ++r)
        for (const Cell& c : rows_[r]) {
          if (!kept(c)) continue;
          mc.row = r;
          mc.col = c.col;
          c.text.copyTo(mc.text);
          mc.hasBack = !dataOnly && c.back;
          mc.back = c.back & 0xFFFFFFu;
          mc.hasFore = !dataOnly && c.fore;
          mc.fore = c.fore & 0xFFFFFFu;
          put(mc);
        }
    });
  } catch (const DbError& e) {
    if (error) *error = e.description();
    return false;
  }
  return true;
}

bool GridModel::loadMap(const MapReader& read, QString* error) {
  // Read in one pass into a sheet of its own, which replaces this one only when the whole file
  // checked out: a refused file leaves the sheet as it was.
  MapFile::Header head;
  std::vector<Row> rows;
  int lastRow = -1;
  bool found = false;  // a reader of no map at all leaves the sheet as it is
  try {
    read(
        [&](const MapFile::Header& h) {
          head = h;
          found = true;
          rows.assign(size_t(h.maxRows) + 1, Row{});
        },
        [&](MapCell&& mc) {
          Row& row = rows[size_t(mc.row)];
          // Rows come whole and alike: a new row is given room for as many cells as the last one.
          if (mc.row != lastRow) {
            if (lastRow >= 0 && row.empty()) row.reserve(rows[size_t(lastRow)].size());
            lastRow = mc.row;
          }
          Cell& c = cellIn(row, mc.col);
          c.text.assignUtf8(mc.utf8);
          c.back = mc.hasBack ? (0xFF000000u | mc.back) : 0;
          c.fore = mc.hasFore ? (0xFF000000u | mc.fore) : 0;
          if (c.plain()) pruneIn(row, mc.col);
        },
        MapFile::Text::Bytes);
  } catch (const DbError& e) {
    if (error) *error = e.description();
    return false;
  }
  if (!found) return true;
  beginResetModel();
  maxRows_ = head.maxRows;
  maxCols_ = head.maxCols;
  rows_ = std::move(rows);
  defBack_ = 0xFF000000u | head.defaultBack;
  defFore_ = 0xFF000000u | head.defaultFore;
  for (auto it = rowHeights_.begin(); it != rowHeights_.end();)
    it = it.key() > maxRows_ ? rowHeights_.erase(it) : ++it;
  for (auto it = colWidths_.begin(); it != colWidths_.end();)
    it = it.key() > maxCols_ ? colWidths_.erase(it) : ++it;
  endResetModel();
  return true;
}

// ---- model interface ----------------------------------------------------------------------------

int GridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : maxRows_; }
int GridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : maxCols_; }

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  const int r = index.row() + 1, c = index.column() + 1;
  const Cell* cell = find(r, c);
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return cell ? cell->text.toString() : QString();
    case Qt::ToolTipRole: {
      // A narrow cell cuts its text: the whole of it shows under the mouse.
      const QString t = cell ? cell->text.toString() : QString();
      return t.isEmpty() ? QVariant() : QVariant(t);
    }
    case Qt::BackgroundRole:
      return unpack(cell && cell->back ? cell->back : defBack_);
    case Qt::ForegroundRole:
      return unpack(cell && cell->fore ? cell->fore : defFore_);
    case Qt::FontRole:
      return font(r, c);
    case Qt::TextAlignmentRole: {
      const int a = typeHAlign(r, c);
      const Qt::Alignment h = a == 1 ? Qt::AlignRight : a == 2 ? Qt::AlignHCenter : Qt::AlignLeft;
      return QVariant::fromValue(h | Qt::AlignVCenter);
    }
    default:
      return {};
  }
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid))
    return false;
  if (!(flags(index) & Qt::ItemIsEditable)) return false;
  setText(index.row() + 1, index.column() + 1, value.toString());
  return true;
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
  if (!index.isValid() || !checkIndex(index, CheckIndexOption::IndexIsValid)) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  // Only drop-down cells take input from the user; every other cell is written by the program.
  if (cellType(index.row() + 1, index.column() + 1) == kComboCell) f |= Qt::ItemIsEditable;
  return f;
}

QVariant GridModel::headerData(int section, Qt::Orientation o, int role) const {
  if (section < 0 || section >= (o == Qt::Horizontal ? maxCols_ : maxRows_)) return {};
  // Header cells are row 0 (column headers) and column 0 (row headers) of the sheet.
  const int r = o == Qt::Horizontal ? 0 : section + 1;
  const int c = o == Qt::Horizontal ? section + 1 : 0;
  const Cell* cell = find(r, c);
  switch (role) {
    case Qt::DisplayRole: {
      const QString own = text(r, c);
      return own.isEmpty() ? QString::number(section + 1) : own;
    }
    case Qt::TextAlignmentRole: {
      if (!cell || !cell->style || styles_[cell->style].halign < 0) return {};
      const int a = styles_[cell->style].halign;
      const Qt::Alignment h = a == 1 ? Qt::AlignRight : a == 2 ? Qt::AlignHCenter : Qt::AlignLeft;
      return QVariant::fromValue(h | Qt::AlignVCenter);
    }
    case Qt::FontRole:
      if (!cell || !cell->style) return {};
      return font(r, c);
    default:
      return QAbstractTableModel::headerData(section, o, role);
  }
}
