#include "render/ReportPages.h"

#include <QDate>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "core/reports/ReportFiles.h"
#include "core/store/DateValue.h"

namespace Report {

QString pageDate(const QDate& d, const QString& datePattern) {
  return DateValue::formatDisplay(d, datePattern);
}

QPageSize localePaper() {
  return QPageSize(QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                              : QPageSize::A4);
}

QPageLayout pageLayout(const QPageSize& paper) {
  return QPageLayout(paper, QPageLayout::Portrait, QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch);
}

namespace {

Qt::Alignment alignmentOf(Align a) {
  switch (a) {
    case Align::Right:
      return Qt::AlignRight;
    case Align::Centre:
      return Qt::AlignHCenter;
    case Align::Left:
      break;
  }
  return Qt::AlignLeft;
}

QFont arial(double points, bool bold) {
  QFont f(QStringLiteral("Arial"));
  f.setPointSizeF(points);
  f.setBold(bold);
  return f;
}

double widestLine(const QFontMetricsF& fm, const QString& text) {
  double w = 0;
  for (const QStringView line : QStringView(text).split(u'\n'))
    w = std::max(w, fm.horizontalAdvance(line.toString()));
  return w;
}

// The lines of a cell that fit its box: a line too wide ends in an ellipsis, and so does the last
// line shown when the cell has more lines than the box holds. Whole cells are never shortened.
QString fittedText(const QFontMetricsF& fm, const QString& text, double width, double height, bool whole) {
  if (whole || (!text.contains(u'\n') && text.size() * fm.maxWidth() <= width)) return text;
  QStringList lines = text.split(u'\n');
  const qsizetype room = std::max<qsizetype>(1, qsizetype(std::floor(height / fm.lineSpacing())));
  const bool cut = lines.size() > room;
  if (cut) lines.resize(room);
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString line = cut && i == lines.size() - 1 ? lines[i] + QChar(0x2026) : lines[i];
    // Most lines are short enough to fit whatever their letters; only the others are measured.
    if (line.size() * fm.maxWidth() > width && fm.horizontalAdvance(line) > width)
      lines[i] = fm.elidedText(line, Qt::ElideRight, width);
    else
      lines[i] = line;
  }
  return lines.join(u'\n');
}

}  // namespace

bool paintPages(QPagedPaintDevice& device, const Table& table, const PageTexts& texts,
                const PageRange& range) {
  const QFont lineFont = arial(9, false), cellFont = arial(10, false), boldFont = arial(10, true),
              headerFont = arial(8, true);
  const QFontMetricsF lineMetrics(lineFont, &device), cellMetrics(cellFont, &device),
      boldMetrics(boldFont, &device), headerMetrics(headerFont, &device);
  const double pageW = device.width(), pageH = device.height();
  const double pad = device.logicalDpiX() / 36.0;  // a cell's inner margin, 2 points

  // Column widths count digits of the cell font, as on the screen, and grow to the widest value
  // that is shown whole; hidden columns are left out.
  struct Place {
    size_t col;
    double x, w;
  };
  const double digit = cellMetrics.horizontalAdvance(QLatin1Char('0'));
  const std::vector<double> chars = fittedWidths(
      table, [&](const Cell& c) { return widestLine(c.bold ? boldMetrics : cellMetrics, c.text) / digit; });
  std::vector<Place> places;
  double tableW = 0;
  for (size_t c = 0; c < chars.size(); ++c) {
    if (chars[c] <= 0) continue;
    const double w = chars[c] * digit + 2 * pad;
    places.push_back({c, tableW, w});
    tableW += w;
  }
  const double scale = tableW > pageW ? pageW / tableW : 1.0;

  // The title wraps rather than run into the date at the right.
  const double lineH = lineMetrics.height();
  const double space = lineMetrics.horizontalAdvance(QStringLiteral("    "));
  const double titleW = std::max(pageW - lineMetrics.horizontalAdvance(texts.date) - space, pageW / 3);
  int titleFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
  if (lineMetrics.boundingRect(QRectF(0, 0, titleW, pageH), titleFlags, texts.title).width() > titleW)
    titleFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere;  // one word wider than the line
  const double titleH = std::max(
      lineH, lineMetrics.boundingRect(QRectF(0, 0, titleW, pageH), titleFlags, texts.title).height());
  const double top = titleH + lineH, bottom = 2 * lineH;  // header and footer with a line of space

  const double headRowH = headerMetrics.height() + pad;
  const double rowH = table.rowLines() * (cellMetrics.height() + pad);
  const double bodyH = (pageH - top - bottom) / scale - headRowH;
  const int perPage = std::max(1, int(std::floor(bodyH / rowH)));
  const int lastRow = table.countRow();
  const int pages = (lastRow + perPage - 1) / perPage;
  const int from = std::max(range.from, 1), to = range.to > 0 ? std::min(range.to, pages) : pages;
  if (from > to) return true;  // a page range beyond the report: nothing to print

  QPainter p;
  if (!p.begin(&device)) return false;
  const Row emptyRow;
  auto rowAt = [&](int r) -> const Row& {
    if (r <= table.count()) return table.rows[size_t(r - 1)];
    return r == lastRow ? table.countLine : emptyRow;
  };
  auto drawCell = [&](double x, double y, double w, double h, const Cell& cell, bool countLine) {
    if (cell.text.isEmpty()) return;
    const QFontMetricsF& fm = cell.bold ? boldMetrics : cellMetrics;
    p.setFont(cell.bold ? boldFont : cellFont);
    p.drawText(QRectF(x + pad, y, w - 2 * pad, h), int(alignmentOf(cell.align) | Qt::AlignVCenter),
               fittedText(fm, cell.text, w - 2 * pad, h, showsWhole(cell, countLine)));
  };

  for (int page = from; page <= to; ++page) {
    if (page > from && !device.newPage()) return false;
    p.setPen(Qt::black);
    p.setFont(lineFont);
    p.drawText(QRectF(0, 0, titleW, titleH), titleFlags, texts.title);
    p.drawText(QRectF(0, 0, pageW, lineH), Qt::AlignRight | Qt::AlignVCenter, texts.date);
    const QString number = QStringLiteral("Page %1 of %2").arg(page).arg(pages);
    const double numberW = lineMetrics.horizontalAdvance(number);
    p.drawText(QRectF(0, pageH - lineH, pageW, lineH), Qt::AlignRight | Qt::AlignVCenter, number);
    p.drawText(QRectF(0, pageH - lineH, pageW - numberW - space, lineH), Qt::AlignLeft | Qt::AlignVCenter,
               lineMetrics.elidedText(texts.footer, Qt::ElideMiddle, pageW - numberW - space));

    p.save();
    p.translate(0, top);
    p.scale(scale, scale);
    p.setFont(headerFont);
    for (const Place& pl : places) {
      const Column& col = table.columns[pl.col];
      p.drawText(QRectF(pl.x + pad, 0, pl.w - 2 * pad, headRowH),
                 int(alignmentOf(col.headerAlign) | Qt::AlignVCenter),
                 headerMetrics.elidedText(col.header, Qt::ElideRight, pl.w - 2 * pad));
    }
    double y = headRowH;
    const int first = (page - 1) * perPage + 1;
    for (int r = first; r < first + perPage && r <= lastRow; ++r, y += rowH) {
      const Row& row = rowAt(r);
      for (const Place& pl : places)
        if (pl.col < row.size()) drawCell(pl.x, y, pl.w, rowH, row[pl.col], r == lastRow);
    }
    p.restore();
  }
  return p.end();
}

bool writePdf(QIODevice& out, const Table& table, const PageTexts& texts, const QPageSize& paper) {
  QPdfWriter pdf(&out);
  pdf.setPageLayout(pageLayout(paper));
  pdf.setTitle(texts.title);
  pdf.setCreator(QStringLiteral("Zelmora"));
  return paintPages(pdf, table, texts);
}

void savePdf(const QString& path, const Table& table, const PageTexts& texts, const QPageSize& paper) {
  saveFile(path, [&](QIODevice& d) { return writePdf(d, table, texts, paper); });
}

}  // namespace Report
