#include "gui/maps/PlaceLine.h"

#include <QEvent>
#include <QItemSelectionModel>

#include "gui/controls/GridControl.h"

PlaceLine::PlaceLine(QWidget* parent) : QLabel(parent) {
  setObjectName(QStringLiteral("lblPlace"));
  setTextFormat(Qt::PlainText);
}

void PlaceLine::follow(GridControl* grid) {
  viewport_ = grid->viewport();
  selection_ = grid->selectionModel();
  grid->setMouseTracking(true);
  grid->viewport()->setMouseTracking(true);
  grid->viewport()->installEventFilter(this);
  connect(grid, &QAbstractItemView::entered, this, &PlaceLine::showCell);
  connect(selection_, &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { showCell(current); });
}

bool PlaceLine::eventFilter(QObject* watched, QEvent* e) {
  // The grid itself is not asked: a Leave also comes while it is being destroyed.
  if (watched == viewport_ && e->type() == QEvent::Leave && selection_) showCell(selection_->currentIndex());
  return false;
}

void PlaceLine::showCell(const QModelIndex& index) {
  const QString place = index.isValid() ? index.data().toString().trimmed() : QString();
  setText(place.isEmpty() ? QString() : QStringLiteral("Place: ") + place);
}
