#include "gui/app/ToolbarIcons.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int kSize = 32;

void drawDataEdit(QPainter& p) {
  // A record card with ruled lines and a pencil.
  p.setPen(QPen(QColor(70, 70, 80), 1.5));
  p.setBrush(QColor(255, 252, 235));
  p.drawRect(QRectF(4, 5, 20, 24));
  p.setPen(QPen(QColor(120, 140, 180), 1.5));
  for (int y = 11; y <= 24; y += 4) p.drawLine(QPointF(8, y), QPointF(20, y));
  p.setPen(QPen(QColor(60, 60, 60), 1));
  p.setBrush(QColor(235, 170, 40));
  QPolygonF pencil({QPointF(28, 6), QPointF(31, 9), QPointF(19, 21), QPointF(15, 23), QPointF(17, 18)});
  p.drawPolygon(pencil);
}

void drawMapEdit(QPainter& p) {
  // A plan of the grounds: a grid of plots in the map colours.
  const QColor colours[] = {QColor(120, 190, 110), QColor(200, 80, 70), QColor(240, 210, 80),
                            QColor(90, 140, 220)};
  p.setPen(QPen(QColor(60, 60, 60), 1));
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      p.setBrush(colours[(r * 3 + c) % 4]);
      p.drawRect(QRectF(3 + c * 6.5, 3 + r * 6.5, 6.5, 6.5));
    }
  p.setPen(QPen(QColor(150, 120, 80), 3));
  p.drawLine(QPointF(3, 29.5), QPointF(29, 29.5));
}

void drawReports(QPainter& p) {
  // A printed page with a bar chart.
  p.setPen(QPen(QColor(70, 70, 80), 1.5));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(5, 3, 22, 27));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 110, 190));
  const int heights[] = {8, 14, 6, 11};
  for (int i = 0; i < 4; ++i) p.drawRect(QRectF(8 + i * 4.5, 26 - heights[i], 3.5, heights[i]));
  p.setPen(QPen(QColor(150, 150, 150), 1));
  p.drawLine(QPointF(8, 7), QPointF(24, 7));
}

void drawArchive(QPainter& p) {
  // A storage box.
  p.setPen(QPen(QColor(90, 60, 30), 1.5));
  p.setBrush(QColor(205, 160, 100));
  p.drawRect(QRectF(4, 12, 24, 16));
  p.setBrush(QColor(225, 185, 125));
  p.drawRect(QRectF(2, 6, 28, 7));
  p.setBrush(QColor(250, 240, 220));
  p.drawRect(QRectF(12, 17, 8, 4));
}

void drawHelp(QPainter& p) {
  p.setPen(QPen(QColor(30, 70, 150), 1.5));
  p.setBrush(QColor(80, 130, 220));
  p.drawEllipse(QRectF(3, 3, 26, 26));
  QFont f;
  f.setPixelSize(20);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
}

void drawExit(QPainter& p) {
  // An open door with an arrow leaving it.
  p.setPen(QPen(QColor(80, 50, 30), 1.5));
  p.setBrush(QColor(150, 100, 60));
  p.drawRect(QRectF(4, 3, 14, 26));
  p.setBrush(QColor(60, 40, 25));
  p.drawEllipse(QPointF(15, 16), 1.2, 1.2);
  p.setPen(QPen(QColor(190, 40, 40), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(QPointF(17, 16), QPointF(29, 16));
  p.drawLine(QPointF(24, 11), QPointF(29, 16));
  p.drawLine(QPointF(24, 21), QPointF(29, 16));
}

}  // namespace

QIcon toolbarIcon(const QString& key) {
  QPixmap pm(kSize, kSize);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  if (key == QLatin1String("DataEdit"))
    drawDataEdit(p);
  else if (key == QLatin1String("MapEdit"))
    drawMapEdit(p);
  else if (key == QLatin1String("Reports"))
    drawReports(p);
  else if (key == QLatin1String("Archive"))
    drawArchive(p);
  else if (key == QLatin1String("Help"))
    drawHelp(p);
  else if (key == QLatin1String("Exit"))
    drawExit(p);
  p.end();
  return QIcon(pm);
}

void setProgramIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/zelmora-%1.png").arg(size), QSize(size, size));
  QApplication::setWindowIcon(icon);
}
