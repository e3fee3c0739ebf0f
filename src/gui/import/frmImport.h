#pragma once

#include <QWidget>
#include <map>
#include <memory>
#include <vector>

#include "core/import/RecordImport.h"

class GridControl;
class QAction;
class QLabel;
class QMenuBar;
class QProgressBar;
namespace Ui {
class frmImport;
}

// The import window: a tab- or comma-delimited file loaded into the grid under a bold row in which
// the user picks, for each column, the grave record's field it holds; then every row written as a
// grave record, all or nothing. Cells whose text will not convert to their column's field are
// marked as soon as the column is mapped.
class frmImport : public QWidget {
  Q_OBJECT
 public:
  explicit frmImport(QWidget* parent = nullptr);
  ~frmImport() override;
  QSize sizeHint() const override { return {760, 460}; }

  static constexpr int kHelpTopic = 13;
  static const QColor& markColor();
  // Rows with more or fewer items than the first row.
  static const QColor& raggedColor();

  GridControl* Spread1;
  QMenuBar* menuBar;
  QAction* mnuImport;   // choose and load a file
  QAction* mnuImport2;  // write the loaded rows as records
  QAction* mnuHelp;
  QAction* mnuClose;
  QLabel* lblStatus;
  QProgressBar* prgProgress;

  void mnuImportClick();
  void mnuImport2Click();
  void mnuHelpClick();
  void mnuCloseClick();

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void FormLoad();
  void emptyGrid();
  void fitColumns();
  // Marks the cells of a column that its mapped field will not take, and counts them.
  void markColumn(int col);
  // What the marks say will not convert, from a row on.
  RecordImport::Check marked(int firstRow) const;
  // The plan for the rows from firstRow on, as the mapping row and the loaded file give it.
  RecordImport::Plan plan(const RecordImport::Mapping& mapping, int firstRow) const;
  QColor sheetColor(int row) const;
  void showStatus();
  void progress(double fraction);

  // Set while a file loads or rows are written; the progress bar goes with it.
  struct Busy {
    explicit Busy(frmImport& w) : w_(w) { w_.busy_ = true; }
    ~Busy();
    frmImport& w_;
  };

  std::unique_ptr<Ui::frmImport> ui_;
  QString fileName_;
  std::map<int, std::vector<int>> unconvertible_;  // rows per mapped column
  std::map<int, QString> dateOrders_;              // a date column's order, when not the system's
  RecordImport::Names names_;
  std::vector<RecordImport::Ragged> ragged_;  // grid rows
  int firstItems_ = 0;
  bool quotesKept_ = false;
  bool marking_ = false;
  bool busy_ = false;
};
