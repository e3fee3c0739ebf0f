#pragma once

#include <QWidget>

class GridControl;
class PlaceLine;
class QAction;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;

// The map editor of the cemetery ZEL1.CurrentCemeteryId. A child window of the frame. Every way of
// closing it saves the map as its Close command does; a map file it could not read is never
// written over.
class frmMapEdit : public QWidget {
  Q_OBJECT
 public:
  explicit frmMapEdit(QWidget* parent = nullptr);
  // The editor, or nullptr when the map file could not be read and the user chose not to start a
  // new map (the file then stays as it is).
  static frmMapEdit* open(QWidget* parent = nullptr);
  // False when the user chose not to open the editor over an unreadable map file.
  bool isOpened() const { return opened_; }
  QSize sizeHint() const override { return {900, 650}; }

  GridControl* Spread1;
  QGroupBox* SSFrame1;
  QRadioButton* Option1;
  QRadioButton* Option2;
  QRadioButton* Option3;
  QLineEdit* txtSection;
  QLineEdit* txtLot;
  QLineEdit* txtGrave;
  QPushButton* Command1;
  QGroupBox* SSFrame2;
  PlaceLine* lblPlace;
  QCheckBox* Check1;
  QRadioButton* Option4;
  QRadioButton* Option5;
  QMenuBar* menuBar;
  QMenu* mnuZoom;
  QAction* mnu10;
  QAction* mnu25;
  QAction* mnu50;
  QAction* mnu100;
  QAction* mnu200;
  QMenu* mnuRowCol;
  QAction* mnuColIns;
  QAction* mnuRowIns;
  QAction* mnuColDel;
  QAction* mnuRowDel;
  QAction* mnuMaxCols;
  QAction* mnuMaxRows;
  QAction* mnuHelp;
  QAction* mnuClose;

  void Command1Click();
  void zoom(double fontSize, int colWidth, int rowHeight);
  void mnuColInsClick();
  void mnuRowInsClick();
  void mnuColDelClick();
  void mnuRowDelClick();
  void mnuMaxColsClick();
  void mnuMaxRowsClick();
  void mnuHelpClick();
  // Closes the editor, which saves the map; false (editor left open) when the file could not be
  // written.
  bool mnuCloseClick();
  void Spread1Click(int col, int row);
  void Spread1KeyUp();

 signals:
  // Closing saved the map: the frame shows its toolbar again.
  void toolbarWanted();

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  // False when the cells a smaller sheet of rows x cols would drop hold anything and the user
  // keeps them.
  bool shrinkAllowed(int rows, int cols);
  void FormLoad();
  // An unreadable map file: asks whether to start a new map with the file kept beside it.
  bool keepUnreadable(const QString& file, const QString& error);
  bool saveMap();
  void showCell(int row, int col);
  void refit();

  bool opened_ = true;
};
