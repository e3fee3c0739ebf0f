#include "gui/backup/DrawProgress.h"

#include <QFontMetrics>
#include <QPainter>
#include <cmath>

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  image_ = QImage(sizeHint(), QImage::Format_RGB32);
  image_.fill(Qt::white);
}

void PictureBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, image_);
}

void PictureBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (size() == image_.size()) return;
  image_ = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  image_.fill(Qt::white);
}

int progressPercent(float fraction, bool allowEnds) {
  const float f = std::isnan(fraction) ? 0.0f : qBound(0.0f, fraction, 1.0f);
  int p = int(std::floor(double(f) * 100.0 + 0.5));
  if (!allowEnds) {
    if (p == 0) p = 1;
    if (p == 100) p = 99;
  }
  return p;
}

void DrawProgress(QImage& image, const QFont& font, float fraction, bool allowEnds) {
  const QColor ink(0, 0, 128);
  const QColor paper(Qt::white);
  image.fill(paper);
  const QString text = QString::number(progressPercent(fraction, allowEnds)) + QLatin1Char('%');

  QPainter p(&image);
  p.setFont(font);
  const QFontMetrics fm(font);
  const int w = image.width();
  const int h = image.height();
  const int tw = fm.horizontalAdvance(text);
  const int th = fm.height();
  const int x = w / 2 - tw / 2;
  const int y = h / 2 - th / 2;
  p.fillRect(QRect(x, y, tw, th), paper);
  p.setPen(ink);
  p.drawText(QRect(x, y, tw, th), Qt::AlignLeft | Qt::AlignTop, text);

  // Inverse of (fill xor picture): the bar turns white into blue and blue text into white.
  p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
  const float f = qBound(0.0f, std::isnan(fraction) ? 0.0f : fraction, 1.0f);
  p.fillRect(QRect(0, 0, int(f * float(w)), h), f <= 0.0f ? paper : ink);
}

void DrawProgress(PictureBox* area, float fraction, bool allowEnds) {
  DrawProgress(area->image(), area->font(), fraction, allowEnds);
  area->repaint();
}
