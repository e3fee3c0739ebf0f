#pragma once

#include <QWidget>

#include "ui_frmMapEdit.h"

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

  // The controls and menus by name (frmMapEdit.ui), for tests that drive the editor as a user would.
  const Ui::frmMapEdit& ui() const { return ui_; }

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

  Ui::frmMapEdit ui_;
  bool opened_ = true;
};
