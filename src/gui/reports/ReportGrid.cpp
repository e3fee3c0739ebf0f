#include "gui/reports/ReportGrid.h"

#include <QFontMetricsF>
#include <QHeaderView>
#include <algorithm>

namespace {

const Report::Cell kEmpty;

Qt::Alignment alignment(Report::Align a) {
  const Qt::Alignment h = a == Report::Align::Right    ? Qt::AlignRight
                          : a == Report::Align::Centre ? Qt::AlignHCenter
                                                       : Qt::AlignLeft;
  return h | Qt::AlignVCenter;
}

QFont cellFont(double points, bool bold) {
  QFont f(QStringLiteral("Arial"));
  f.setPointSizeF(points);
  f.setBold(bold);
  return f;
}

}  // namespace

ReportModel::ReportModel(QObject* parent)
    : QAbstractTableModel(parent),
      plain_(cellFont(10, false)),
      bold_(cellFont(10, true)),
      headerFont_(cellFont(8, true)) {}

void ReportModel::setTable(const Report::Table* table) {
  beginResetModel();
  table_ = table;
  header_.clear();
  if (table_)
    for (const Report::Column& c : table_->columns) header_.push_back({c.header, c.headerAlign, true});
  endResetModel();
}

const Report::Cell& ReportModel::cell(int row, int col) const {
  if (!table_ || col < 1 || row < 0) return kEmpty;
  const Report::Row* r = nullptr;
  if (row == 0)
    r = &header_;
  else if (row <= table_->count())
    r = &table_->rows[size_t(row - 1)];
  else if (row == table_->countRow())
    r = &table_->countLine;
  return r && size_t(col) <= r->size() ? (*r)[size_t(col - 1)] : kEmpty;
}

QFont ReportModel::font(int row, int col) const {
  if (row == 0) return headerFont_;
  return cell(row, col).bold ? bold_ : plain_;
}

int ReportModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || !table_ ? 0 : table_->countRow();
}

int ReportModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() || !table_ ? 0 : int(table_->columns.size());
}

QVariant ReportModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int r = index.row() + 1, c = index.column() + 1;
  switch (role) {
    case Qt::DisplayRole:
      return cell(r, c).text;
    case Qt::ToolTipRole: {
      // A narrow cell cuts its text: the whole of it shows under the mouse.
      const QString& t = cell(r, c).text;
      return t.isEmpty() ? QVariant() : QVariant(t);
    }
    case Qt::FontRole:
      return font(r, c);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(alignment(cell(r, c).align));
    default:
      return {};
  }
}

QVariant ReportModel::headerData(int section, Qt::Orientation o, int role) const {
  if (o == Qt::Vertical || section < 0 || size_t(section) >= header_.size())
    return QAbstractTableModel::headerData(section, o, role);
  const Report::Cell& h = header_[size_t(section)];
  switch (role) {
    case Qt::DisplayRole:
      return h.text;
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(alignment(h.align));
    case Qt::FontRole:
      return headerFont_;
    default:
      return {};
  }
}

ReportGrid::ReportGrid(QWidget* parent) : QTableView(parent), model_(new ReportModel(this)) {
  setModel(model_);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setWordWrap(false);
  for (QHeaderView* h : {horizontalHeader(), verticalHeader()}) {
    h->setMinimumSectionSize(1);
    h->setHighlightSections(false);
    h->setFont(model_->plainFont());
  }
  // Every row is as high as the others: the view then never measures rows it does not show.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(qRound(lineHeight()));
}

int ReportGrid::widthToPixels(double chars) const {
  // A width counts digits, as spreadsheets do: numbers and dates fill the width they were given.
  const double digit = QFontMetricsF(model_->plainFont()).horizontalAdvance(QLatin1Char('0'));
  return std::max(qRound(chars * digit + 6), 1);
}

double ReportGrid::lineHeight() const { return QFontMetricsF(model_->plainFont()).height() + 4; }

double ReportGrid::colWidth(int col) const {
  if (col >= 1 && size_t(col) <= widths_.size()) return widths_[size_t(col - 1)];
  return Report::kDefaultColumnWidth;
}

double ReportGrid::rowHeight(int /*row*/) const { return rowLines_; }

void ReportGrid::showTable(const Report::Table* table) {
  widths_.clear();
  rowLines_ = table ? table->rowLines() : 1;
  if (table) {
    // Amounts, numbers and dates are never cut: their columns grow to the widest of them.
    const QFontMetricsF plain(model_->plainFont(), this);
    QFont boldFont = model_->plainFont();
    boldFont.setBold(true);
    const QFontMetricsF boldMetrics(boldFont, this);
    const double digit = plain.horizontalAdvance(QLatin1Char('0'));
    widths_ = Report::fittedWidths(*table, [&](const Report::Cell& cell) {
      double w = 0;
      for (const QString& line : cell.text.split(u'\n'))
        w = std::max(w, (cell.bold ? boldMetrics : plain).horizontalAdvance(line));
      return w / digit;
    });
  }
  // Sizes first: the reset then lays out a million rows at one height without touching each.
  verticalHeader()->setDefaultSectionSize(std::max(qRound(rowLines_ * lineHeight()), 1));
  model_->setTable(table);
  for (size_t c = 0; c < widths_.size(); ++c) {
    if (widths_[c] == 0.0) {
      setColumnHidden(int(c), true);
      continue;
    }
    setColumnHidden(int(c), false);
    horizontalHeader()->resizeSection(int(c), widthToPixels(widths_[c]));
  }
}
