#pragma once

#include <QItemSelectionModel>
#include <QLabel>
#include <QPointer>

class GridControl;
class QModelIndex;

// The status line under a map: the whole text of the cell under the mouse, or of the current cell
// when the mouse is elsewhere. At the first zoom a cell cuts a long place ("C,10,1").
class PlaceLine : public QLabel {
 public:
  explicit PlaceLine(QWidget* parent = nullptr);
  PlaceLine(GridControl* grid, QWidget* parent) : PlaceLine(parent) { follow(grid); }
  // The grid whose cells the line shows; set once.
  void follow(GridControl* grid);

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void showCell(const QModelIndex& index);
  const QObject* viewport_ = nullptr;        // compared only, never called
  QPointer<QItemSelectionModel> selection_;  // gone before the grid when the window closes
};
