#pragma once

#include <QImage>
#include <QWidget>

// A drawing area that keeps what was drawn on it until it is drawn again.
class PictureBox : public QWidget {
  Q_OBJECT
 public:
  explicit PictureBox(QWidget* parent = nullptr);
  QImage& image() { return image_; }
  QSize sizeHint() const override { return {300, 22}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QImage image_;
};

// The percentage shown for a fraction: rounded to the nearest whole number, halves up; unless
// allowEnds, 0 shows as 1 and 100 as 99 (a bar that has started, a bar not yet done).
int progressPercent(float fraction, bool allowEnds = false);

// Draws a progress bar with its percentage centred: dark blue on white, the bar filled from the left
// in an inverting mode, so that the part of the text under the bar shows white on blue.
void DrawProgress(QImage& image, const QFont& font, float fraction, bool allowEnds = false);
// The same on an area, shown at once.
void DrawProgress(PictureBox* area, float fraction, bool allowEnds = false);
