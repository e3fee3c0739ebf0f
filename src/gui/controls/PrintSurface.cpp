#include "gui/controls/PrintSurface.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QPrinter>

QFont PrintSurface::font() const {
  QFont f(fontName_);
  f.setPointSizeF(fontSize_);
  f.setBold(fontBold_);
  return f;
}

void PrintSurface::print(const QString& text, bool lineEnd) {
  if (!text.isEmpty()) drawText(x_, y_, text);
  if (lineEnd) {
    x_ = 0;
    y_ += textHeight();
  } else {
    x_ += textWidth(text);
  }
}

void SetPrintX(PrintSurface& surface, qint16 mm) { surface.setCurrentX(mmToTwips(mm)); }

void PrintRightAligned(PrintSurface& surface, qint16 mm, const QString& text) {
  surface.setCurrentX(mmToTwips(mm) - surface.textWidth(text));
  surface.print(text, false);
}

void DrawRule(PrintSurface& surface, qint16 style, qint16 startMm, qint16 endMm) {
  Q_UNUSED(style);  // only the single line exists
  const double x = surface.currentX();
  const double y = surface.currentY();
  surface.line(mmToTwips(startMm), y, mmToTwips(endMm), y);
  surface.setCurrentX(x);
  surface.setCurrentY(y);
}

// ---- PrinterSurface ----

PrinterSurface::PrinterSurface(QPrinter& printer) : printer_(printer) {}

PrinterSurface::~PrinterSurface() {
  if (painter_ && painter_->isActive()) painter_->end();
}

bool PrinterSurface::begin() {
  if (painter_) return painter_->isActive();
  if (failed_) return false;
  painter_ = std::make_unique<QPainter>();
  if (!painter_->begin(&printer_)) {
    failed_ = true;
    return false;
  }
  return true;
}

double PrinterSurface::toDevice(double twips) const { return twips * printer_.resolution() / kTwipsPerInch; }

double PrinterSurface::fromDevice(double px) const { return px * kTwipsPerInch / printer_.resolution(); }

double PrinterSurface::textWidth(const QString& text) const {
  return fromDevice(QFontMetricsF(font(), &printer_).horizontalAdvance(text));
}

double PrinterSurface::textHeight() const { return fromDevice(QFontMetricsF(font(), &printer_).height()); }

double PrinterSurface::pageHeight() const {
  return fromDevice(printer_.pageRect(QPrinter::DevicePixel).height());
}

double PrinterSurface::pageWidth() const {
  return fromDevice(printer_.pageRect(QPrinter::DevicePixel).width());
}

void PrinterSurface::drawText(double x, double y, const QString& text) {
  if (!begin()) return;
  const QFont f = font();
  painter_->setFont(f);
  painter_->setPen(Qt::black);
  // The position is the top of the text; the painter places text on its baseline.
  const double ascent = QFontMetricsF(f, &printer_).ascent();
  painter_->drawText(QPointF(toDevice(x), toDevice(y) + ascent), text);
}

void PrinterSurface::drawLine(double x1, double y1, double x2, double y2) {
  if (!begin()) return;
  QPen pen(Qt::black);
  pen.setWidthF(toDevice(15));  // about a pixel on a 96 dpi screen, a hairline on paper
  painter_->setPen(pen);
  painter_->drawLine(QPointF(toDevice(x1), toDevice(y1)), QPointF(toDevice(x2), toDevice(y2)));
}

void PrinterSurface::endDoc() {
  if (painter_ && painter_->isActive()) painter_->end();
}

// ---- RecordingSurface ----

RecordingSurface::RecordingSurface(double pageWidthTwips, double pageHeightTwips)
    : width_(pageWidthTwips), height_(pageHeightTwips) {}

double RecordingSurface::textWidth(const QString& text) const { return text.size() * fontSize() * 10.0; }

double RecordingSurface::textHeight() const { return fontSize() * 23.0; }

void RecordingSurface::drawText(double x, double y, const QString& text) {
  texts_.push_back({x, y, text, fontName(), fontSize(), fontBold(), textWidth(text)});
}

void RecordingSurface::drawLine(double x1, double y1, double x2, double y2) {
  lines_.push_back({x1, y1, x2, y2});
}

const RecordingSurface::Text* RecordingSurface::find(const QString& text) const {
  for (const Text& t : texts_)
    if (t.text == text) return &t;
  return nullptr;
}
