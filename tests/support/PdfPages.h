#pragma once

#include <QByteArray>

// The number of page objects in a PDF file's bytes, written by Qt's PDF writer.
inline qsizetype pdfPageCount(const QByteArray& pdf) {
  return pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") + pdf.count("/Type /Page/") +
         pdf.count("/Type /Page ");
}
