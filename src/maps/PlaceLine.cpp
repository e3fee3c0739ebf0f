#include "maps/PlaceLine.h"

#include <QEvent>
#include <QItemSelectionModel>

#include "controls/GridControl.h"

PlaceLine::PlaceLine(GridControl* grid, QWidget* parent) : QLabel(parent), grid_(grid) {
  setObjectName(QStringLiteral("lblPlace"));
  setTextFormat(Qt::PlainText);
  grid->setMouseTracking(true);
  grid->viewport()->setMouseTracking(true);
  grid->viewport()->installEventFilter(this);
  connect(grid, &QAbstractItemView::entered, this, &PlaceLine::showCell);
  connect(grid->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { showCell(current); });
}

bool PlaceLine::eventFilter(QObject* watched, QEvent* e) {
  if (watched == grid_->viewport() && e->type() == QEvent::Leave) showCell(grid_->currentIndex());
  return false;
}

void PlaceLine::showCell(const QModelIndex& index) {
  const QString place = index.isValid() ? index.data().toString().trimmed() : QString();
  setText(place.isEmpty() ? QString() : QStringLiteral("Place: ") + place);
}
