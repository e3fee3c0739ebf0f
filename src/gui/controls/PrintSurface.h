#pragma once

#include <QFont>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <vector>

class QPainter;
class QPrinter;

// The page the program prints on, addressed like the old printer object: positions in twips
// (1440 to the inch) from the top left corner of the printable area, a current position that
// printing moves on, and a current font.
class PrintSurface {
 public:
  static constexpr double kTwipsPerInch = 1440.0;

  virtual ~PrintSurface() = default;

  double currentX() const { return x_; }
  double currentY() const { return y_; }
  void setCurrentX(double twips) { x_ = twips; }
  void setCurrentY(double twips) { y_ = twips; }

  QString fontName() const { return fontName_; }
  double fontSize() const { return fontSize_; }
  bool fontBold() const { return fontBold_; }
  void setFontName(const QString& name) { fontName_ = name; }
  void setFontSize(double points) { fontSize_ = points; }
  void setFontBold(bool bold) { fontBold_ = bold; }
  QFont font() const;

  // Width of a text in the current font, in twips.
  virtual double textWidth(const QString& text) const = 0;
  // Height of one line of the current font, in twips.
  virtual double textHeight() const = 0;
  // Height and width of the printable area, in twips.
  virtual double pageHeight() const = 0;
  virtual double pageWidth() const = 0;

  // Prints a text at the current position (the position is the top left of the text). Without a
  // line end the position stays behind the text; with one, CurrentX goes back to 0 and CurrentY
  // down one line of the current font.
  void print(const QString& text, bool lineEnd = true);
  // Ends the current line without printing anything (an empty text with a line end).
  void endLine() { print(QString(), true); }
  // A straight line between two points in twips; the current position does not move.
  void line(double x1, double y1, double x2, double y2) { drawLine(x1, y1, x2, y2); }
  // Sends what was composed to the printer. A document with nothing on it prints no page.
  virtual void endDoc() = 0;

 protected:
  virtual void drawText(double x, double y, const QString& text) = 0;
  virtual void drawLine(double x1, double y1, double x2, double y2) = 0;

 private:
  double x_ = 0;
  double y_ = 0;
  QString fontName_ = QStringLiteral("Arial");
  double fontSize_ = 10;
  bool fontBold_ = false;
};

// Millimetres to twips, with the factor the printouts have always used (not 1440/25.4).
inline constexpr double kTwipsPerMm = 56.63;
inline double mmToTwips(double mm) { return float(mm * kTwipsPerMm); }

// Sets CurrentX to mm; CurrentY stays.
void SetPrintX(PrintSurface& surface, qint16 mm);
// Prints a text without a line end so that it ends at mm on the current line.
void PrintRightAligned(PrintSurface& surface, qint16 mm, const QString& text);
// A horizontal line at the height of the current position from start to end mm (style 1: a single
// line, the only style there is). The current position does not move.
void DrawRule(PrintSurface& surface, qint16 style, qint16 startMm, qint16 endMm);

// Prints on a QPrinter. The painter starts on the first text or line, so that ending a document
// with nothing composed prints no page.
class PrinterSurface : public PrintSurface {
 public:
  explicit PrinterSurface(QPrinter& printer);
  ~PrinterSurface() override;

  double textWidth(const QString& text) const override;
  double textHeight() const override;
  double pageHeight() const override;
  double pageWidth() const override;
  void endDoc() override;
  // False when the printer could not be started (for example a PDF file that cannot be written).
  bool ok() const { return !failed_; }

 protected:
  void drawText(double x, double y, const QString& text) override;
  void drawLine(double x1, double y1, double x2, double y2) override;

 private:
  bool begin();
  double toDevice(double twips) const;
  double fromDevice(double px) const;

  QPrinter& printer_;
  std::unique_ptr<QPainter> painter_;
  bool failed_ = false;
};

// Keeps every text and line instead of printing, for tests. Text widths are those of an even
// font: each character is half the font size wide (10 twips per point).
class RecordingSurface : public PrintSurface {
 public:
  struct Text {
    double x;
    double y;
    QString text;
    QString fontName;
    double fontSize;
    bool bold;
    double width;  // the text's width when it was printed
    double right() const { return x + width; }
  };
  struct Line {
    double x1, y1, x2, y2;
  };

  explicit RecordingSurface(double pageWidthTwips = 11906, double pageHeightTwips = 16838);

  double textWidth(const QString& text) const override;
  double textHeight() const override;
  double pageHeight() const override { return height_; }
  double pageWidth() const override { return width_; }
  void endDoc() override { ++documents_; }

  const std::vector<Text>& texts() const { return texts_; }
  const std::vector<Line>& lines() const { return lines_; }
  int documentsEnded() const { return documents_; }
  // The first printed text equal to text, or nullptr.
  const Text* find(const QString& text) const;

 protected:
  void drawText(double x, double y, const QString& text) override;
  void drawLine(double x1, double y1, double x2, double y2) override;

 private:
  double width_;
  double height_;
  int documents_ = 0;
  std::vector<Text> texts_;
  std::vector<Line> lines_;
};
