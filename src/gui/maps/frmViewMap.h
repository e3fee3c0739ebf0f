#pragma once

#include <QWidget>
#include <memory>

class GridControl;
class PlaceLine;
class QAction;
class QLineEdit;
class QMenuBar;
namespace Ui {
class frmViewMap;
}

// The map viewer of the cemetery ZEL1.CurrentCemeteryId: grave spaces coloured by the state of
// their records. It never writes the map file or the database. Close leaves the clicked grave in
// ZEL1.PendingQuery for the record form.
class frmViewMap : public QWidget {
  Q_OBJECT
 public:
  explicit frmViewMap(QWidget* parent = nullptr);
  ~frmViewMap() override;
  QSize sizeHint() const override { return {900, 650}; }

  GridControl* Spread1;
  QLineEdit* txtLocation;
  QLineEdit* txtName;
  PlaceLine* lblPlace;
  QMenuBar* menuBar;
  QAction* mnuZoom;
  QAction* mnuPrint;
  QAction* mnuHelp;
  QAction* mnuClose;

  // Colours the map once; later calls do nothing. Runs by itself when the window is first shown.
  void FormActivate();
  bool coloured() const { return coloured_; }
  void Spread1Click(int col, int row);
  void mnuZoomClick();
  void mnuPrintClick();
  void mnuHelpClick();
  void mnuCloseClick();

  // The footer line of a printed map.
  static QString printFooter();

 protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void FormLoad();
  void refit();
  static QString graveQuery(const QStringList& parts);

  std::unique_ptr<Ui::frmViewMap> ui_;
  bool coloured_ = false;
};
