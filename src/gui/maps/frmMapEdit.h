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
  // Reads the cemetery's map into the sheet (nothing when there is none) and keeps its version.
  bool loadMap(QString* error);
  QString mapName() const;
  // An unreadable map: asks whether to start a new map with the unreadable one kept beside it.
  bool keepUnreadable(const QString& error);
  // False when the map could not be saved, or was saved by another computer meanwhile.
  bool saveMap();
  // Another computer saved the map since it was opened: says so and offers to save this one under a
  // new name or to reload; never saves over it. False: the editor stays open.
  bool resolveConflict();
  void showCell(int row, int col);
  void refit();

  Ui::frmMapEdit ui_;
  bool opened_ = true;
  bool readOnly_ = false;
  qint64 version_ = 0;  // of the map as read or last saved; 0: there was none
};
