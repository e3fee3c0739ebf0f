#pragma once

#include <QByteArray>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <vector>

// The number of page objects in a PDF file's bytes, written by Qt's PDF writer.
inline qsizetype pdfPageCount(const QByteArray& pdf) {
  return pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page/") +
         pdf.count("/Type /Page ");
}

// What pdftotext (poppler-utils) reads from a PDF file; empty when it could not run.
inline QString pdfToText(const QString& file, const QStringList& options) {
  QProcess p;
  p.start(QStringLiteral("pdftotext"), QStringList(options) << file << QStringLiteral("-"));
  if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return {};
  return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of each page, laid out as on the page.
inline QStringList pdfPageTexts(const QString& file) {
  QStringList pages = pdfToText(file, {QStringLiteral("-layout")}).split(u'\f');
  if (!pages.isEmpty() && pages.back().trimmed().isEmpty()) pages.removeLast();
  return pages;
}

// Every word of every page with its bounds in points, and each page's size.
struct PdfWord {
  int page;  // from 0
  QString text;
  QRectF box;
};
struct PdfWords {
  std::vector<QSizeF> pages;
  std::vector<PdfWord> words;
};

inline PdfWords pdfWords(const QString& file) {
  PdfWords out;
  const QString html = pdfToText(file, {QStringLiteral("-bbox")});
  static const QRegularExpression tag(
      QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">|<word xMin=\"([\\d.]+)\" "
                     "yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
  for (auto it = tag.globalMatch(html); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    if (!m.captured(1).isEmpty()) {
      out.pages.push_back({m.captured(1).toDouble(), m.captured(2).toDouble()});
      continue;
    }
    const QPointF topLeft(m.captured(3).toDouble(), m.captured(4).toDouble());
    const QPointF bottomRight(m.captured(5).toDouble(), m.captured(6).toDouble());
    QString text = m.captured(7);
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"))
        .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    out.words.push_back({int(out.pages.size()) - 1, text, QRectF(topLeft, bottomRight)});
  }
  return out;
}
