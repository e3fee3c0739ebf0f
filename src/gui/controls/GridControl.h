#pragma once

#include <QTableView>
#include <functional>

#include "gui/controls/GridModel.h"

class QPrinter;
class QPainter;

// What a caller may ask of a text load beyond the sheet's contract.
namespace DelimitedText {
struct Result;
}

struct GridTextLoad {
  bool grow = false;                        // the sheet grows to hold the whole file
  QString* error = nullptr;                 // why the load failed
  std::function<void(double)> progress;     // fraction of the file read
  QString* logError = nullptr;              // why the log could not be written; empty when it was
  DelimitedText::Result* result = nullptr;  // the loader's own account of the file
};

// The spreadsheet grid control: a GridModel shown in a table view. Cells are addressed directly
// (row, column; -1 = every row or column, 0 = header). Sizes are kept in the model in twips (map and
// import grids) or in character widths (report grid) and turned into pixels here.
class GridControl : public QTableView {
  Q_OBJECT
 public:
  struct PrintSettings {
    bool color = true;   // print back and text colours; otherwise black on white
    bool grid = true;    // grid lines between the cells
    bool border = true;  // a frame around the printed block
    QString header;      // page header and footer; "/r" right-aligns the rest of the line
    QString footer;
    int marginLeft = 0;  // twips, inside the printer's printable area
    int marginTop = 0;
  };

  explicit GridControl(QWidget* parent = nullptr);

  GridModel* grid() const { return model_; }

  // The familiar operations, forwarded to the model.
  int maxRows() const { return model_->maxRows(); }
  int maxCols() const { return model_->maxCols(); }
  void setMaxRows(int n) { model_->setMaxRows(n); }
  void setMaxCols(int n) { model_->setMaxCols(n); }
  int dataRowCnt() const { return model_->dataRowCnt(); }
  int dataColCnt() const { return model_->dataColCnt(); }
  QString text(int row, int col) const { return model_->text(row, col); }
  void setText(int row, int col, const QString& t) { model_->setText(row, col, t); }
  QColor backColor(int row, int col) const { return model_->backColor(row, col); }
  void setBackColor(const GridRange& r, const QColor& c) { model_->setBackColor(r, c); }
  QColor foreColor(int row, int col) const { return model_->foreColor(row, col); }
  void setForeColor(const GridRange& r, const QColor& c) { model_->setForeColor(r, c); }
  void setFontName(const GridRange& r, const QString& n) { model_->setFontName(r, n); }
  void setFontSize(const GridRange& r, double s) { model_->setFontSize(r, s); }
  void setFontBold(const GridRange& r, bool b) { model_->setFontBold(r, b); }
  void setTypeHAlign(const GridRange& r, int a) { model_->setTypeHAlign(r, a); }
  void setCellType(const GridRange& r, int type, const QString& list = QString()) {
    model_->setCellType(r, type, list);
  }
  void insertRows(int row, int count) { model_->insertRows(row, count); }
  double colWidth(int col) const { return model_->colWidth(col); }
  double rowHeight(int row) const { return model_->rowHeight(row); }
  void setColWidth(int col, double w) { model_->setColWidth(col, w); }
  void setRowHeight(int row, double h) { model_->setRowHeight(row, h); }

  // Action 4 to 7: delete column, delete row, insert column, insert row at a place.
  void deleteCol(int col) { model_->deleteColAt(col); }
  void deleteRow(int row) { model_->deleteRowAt(row); }
  void insertCol(int col) { model_->insertColAt(col); }
  void insertRow(int row) { model_->insertRowAt(row); }

  // The width (in the grid's unit) that the longest text of a column needs.
  double maxTextColWidth(int col) const;

  // The cursor cell (0 when there is none) and the block the user has selected (the cursor cell
  // when nothing is selected).
  int activeRow() const;
  int activeCol() const;
  void setActiveCell(int row, int col);
  int selBlockRow() const;
  int selBlockRow2() const;
  int selBlockCol() const;
  int selBlockCol2() const;
  void selectBlock(int row, int col, int row2, int col2);

  // Refits the display to changed sizes when switched on.
  void setAutoSize(bool on);
  bool autoSize() const { return autoSize_; }

  // The sheet's own file: size, texts and (unless dataOnly) colours. load leaves the sheet as it
  // was when the file is unreadable or damaged; error then names the file.
  bool saveToFile(const QString& fileName, bool dataOnly, QString* error = nullptr) const;
  bool loadFromFile(const QString& fileName, QString* error = nullptr);

  using TextLoad = GridTextLoad;
  // Fills the sheet from a delimited text file from row 1, column 1 (see DelimitedText). A qualifier
  // of one double quote reads quoted items; an empty one means none (quotes are then ordinary
  // characters). Lines end in CR LF, LF or CR whatever the line delimiter; the option value changes
  // nothing. Writes its log into logFile; false when the file could not be read or did not fit the
  // sheet (what did not fit is named in the log).
  bool loadTextFile(const QString& fileName, const QString& qualifier, const QString& itemDelimiter,
                    const QString& lineDelimiter, int option, const QString& logFile,
                    const TextLoad& extra = {});

  // Action 32: prints the block up to the last row and column that hold data.
  PrintSettings& printSettings() { return print_; }
  bool print(QPrinter& printer) const;

  // Pixels for a column width / row height in the grid's unit.
  int widthToPixels(double w) const;
  int heightToPixels(double h) const;
  // Total size of the sheet's data cells in twips.
  qint64 sheetWidthTwips() const;
  qint64 sheetHeightTwips() const;

 signals:
  // A click on a cell; 0 for the header row or column.
  void cellClicked(int col, int row);
  // After a key was handled by the grid.
  void keyPressed(int key);

 protected:
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void applySizes();
  double charWidth() const;  // one character of a width in Chars, in pixels
  double colTwips(int col) const;
  double rowTwips(int row) const;
  void paintHeaderLine(QPainter& p, const QString& text, const QRect& rect) const;

  GridModel* model_;
  PrintSettings print_;
  bool autoSize_ = true;
};
