#include "reports/ReportPages.h"

#include <QDate>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>

#include "reports/ReportFiles.h"

namespace Report {

QString pageDate(const QDate& d) { return d.toString(QStringLiteral("MM-dd-yyyy")); }

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

}  // namespace

bool paintPages(QPagedPaintDevice& device, const Table& table, const PageTexts& texts) {
  QPainter p;
  if (!p.begin(&device)) return false;
  const QFont lineFont = arial(9, false), cellFont = arial(10, false), boldFont = arial(10, true),
              headerFont = arial(8, true);
  const QFontMetricsF lineMetrics(lineFont, &device), cellMetrics(cellFont, &device),
      headerMetrics(headerFont, &device);
  const double pageW = device.width(), pageH = device.height();
  const double pad = device.logicalDpiX() / 36.0;  // a cell's inner margin, 2 points

  // Column widths count digits of the cell font, as on the screen; hidden columns are left out.
  struct Place {
    size_t col;
    double x, w;
  };
  const double digit = cellMetrics.horizontalAdvance(QLatin1Char('0'));
  std::vector<Place> places;
  double tableW = 0;
  for (size_t c = 0; c < table.columns.size(); ++c) {
    const double chars = table.columns[c].shownWidth();
    if (chars <= 0) continue;
    const double w = chars * digit + 2 * pad;
    places.push_back({c, tableW, w});
    tableW += w;
  }
  const double scale = tableW > pageW ? pageW / tableW : 1.0;

  const double lineH = lineMetrics.height();
  const double top = 2 * lineH, bottom = 2 * lineH;  // header and footer lines with a line of space
  const double headRowH = headerMetrics.height() + pad;
  const double rowH = table.rowLines() * (cellMetrics.height() + pad);
  const double bodyH = (pageH - top - bottom) / scale - headRowH;
  const int perPage = std::max(1, int(std::floor(bodyH / rowH)));
  const int lastRow = table.countRow();
  const Row emptyRow;
  auto rowAt = [&](int r) -> const Row& {
    if (r <= table.count()) return table.rows[size_t(r - 1)];
    return r == lastRow ? table.countLine : emptyRow;
  };
  auto drawCell = [&](double x, double y, double w, double h, const Cell& cell) {
    if (cell.text.isEmpty()) return;
    p.setFont(cell.bold ? boldFont : cellFont);
    p.drawText(QRectF(x + pad, y, w - 2 * pad, h), int(alignmentOf(cell.align) | Qt::AlignVCenter),
               cell.text);
  };

  for (int first = 1; first <= lastRow; first += perPage) {
    if (first > 1 && !device.newPage()) return false;
    p.setPen(Qt::black);
    p.setFont(lineFont);
    p.drawText(QRectF(0, 0, pageW, lineH), Qt::AlignLeft | Qt::AlignVCenter, texts.title);
    p.drawText(QRectF(0, 0, pageW, lineH), Qt::AlignRight | Qt::AlignVCenter, texts.date);
    p.drawText(QRectF(0, pageH - lineH, pageW, lineH), Qt::AlignLeft | Qt::AlignVCenter, texts.footer);

    p.save();
    p.translate(0, top);
    p.scale(scale, scale);
    p.setFont(headerFont);
    for (const Place& pl : places) {
      const Column& col = table.columns[pl.col];
      p.drawText(QRectF(pl.x + pad, 0, pl.w - 2 * pad, headRowH),
                 int(alignmentOf(col.headerAlign) | Qt::AlignVCenter), col.header);
    }
    double y = headRowH;
    for (int r = first; r < first + perPage && r <= lastRow; ++r, y += rowH) {
      const Row& row = rowAt(r);
      for (const Place& pl : places)
        if (pl.col < row.size()) drawCell(pl.x, y, pl.w, rowH, row[pl.col]);
    }
    p.restore();
  }
  return p.end();
}

bool writePdf(QIODevice& out, const Table& table, const PageTexts& texts) {
  QPdfWriter pdf(&out);
  // The paper of the system's measurement habit, with half an inch all round.
  const bool letter = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
  pdf.setPageLayout(QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4), QPageLayout::Portrait,
                                QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch));
  pdf.setTitle(texts.title);
  pdf.setCreator(QStringLiteral("Zelmora"));
  return paintPages(pdf, table, texts);
}

bool savePdf(const QString& path, const Table& table, const PageTexts& texts, QString* error) {
  return saveFile(
      path, [&](QIODevice& d) { return writePdf(d, table, texts); }, error);
}

}  // namespace Report
