#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <QTableView>

#include "core/reports/ReportTable.h"

// A built report shown as it stands: the model reads the table's cells when the view paints them,
// so a report of a million rows costs no second copy and no per-cell work up front. Rows and
// columns are numbered from 1 as on paper; row 0 is the header row, the gap rows are empty and the
// last row is the count line.
class ReportModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit ReportModel(QObject* parent = nullptr);

  // The table must outlive its showing; nullptr shows nothing.
  void setTable(const Report::Table* table);
  const Report::Table* table() const { return table_; }

  const Report::Cell& cell(int row, int col) const;
  QString text(int row, int col) const { return cell(row, col).text; }
  QFont font(int row, int col) const;
  bool fontBold(int row, int col) const { return font(row, col).bold(); }
  int typeHAlign(int row, int col) const { return int(cell(row, col).align); }
  // The font of the cells and of the grid's unit: a column width counts digits of it.
  const QFont& plainFont() const { return plain_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;

 private:
  const Report::Table* table_ = nullptr;
  Report::Row header_;
  QFont plain_, bold_, headerFont_;
};

// The report window's grid: a read-only view of a ReportModel, column widths in digits of the cell
// font, every row as high as the report's row height factor says.
class ReportGrid : public QTableView {
  Q_OBJECT
 public:
  explicit ReportGrid(QWidget* parent = nullptr);

  ReportModel* report() const { return model_; }
  void showTable(const Report::Table* table);

  int maxRows() const { return model_->rowCount(); }
  int maxCols() const { return model_->columnCount(); }
  QString text(int row, int col) const { return model_->text(row, col); }
  // A column's width in digits, as given or fitted; a row's height in plain lines.
  double colWidth(int col) const;
  double rowHeight(int row) const;

 private:
  int widthToPixels(double chars) const;
  double lineHeight() const;  // one plain line of a row, in pixels

  ReportModel* model_;
  std::vector<double> widths_;
  double rowLines_ = 1;
};
