#include "gui/records/RecordPrintout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPrinter>

#include "core/export/ExportWriter.h"
#include "core/program/Zel1.h"
#include "core/program/Zel2.h"
#include "core/store/RecordFields.h"
#include "gui/controls/MessageService.h"
#include "gui/controls/PrintSurface.h"

namespace {

constexpr qint16 kLabelEndMm = 50;
constexpr qint16 kValueMm = 55;
constexpr qint16 kRightMm = 200;
constexpr double kFooterTwips = 283.15;  // 5 mm above the bottom of the printable area

QString footerText() {
  const QString version = ZEL2::versionText();
  const QString name = QString::fromLatin1(kAppTitle);
  return version.startsWith(name) ? version : name + QLatin1Char(' ') + version;
}

void compose(PrintSurface& s, const PrintedRecord& r, const QDate& today) {
  s.setFontName(QStringLiteral("Arial"));
  s.setFontSize(18);
  s.setFontBold(true);
  s.print(r.cemetery, true);

  s.setFontSize(10);
  PrintRightAligned(s, kRightMm, today.toString(QStringLiteral("MM-dd-yyyy")));
  s.endLine();
  s.endLine();

  DrawRule(s, 1, 0, kRightMm);
  s.endLine();

  // Label ending at 50 mm, value from 55 mm; a gap in the line numbers is an empty line.
  s.setFontBold(false);
  int line = 1;
  for (const RecordFields::Field* f : RecordFields::printed()) {
    for (; line < f->printLine; ++line) s.endLine();
    PrintRightAligned(s, kLabelEndMm, QString::fromLatin1(f->printLabel));
    SetPrintX(s, kValueMm);
    s.print(r.value(f->column()), true);
    ++line;
  }

  s.setCurrentY(s.pageHeight() - kFooterTwips);
  s.setFontBold(true);
  PrintRightAligned(s, kRightMm, footerText());
}

}  // namespace

void composeRecordPrintout(PrintSurface& surface, const PrintedRecord& record, const QDate& today) {
  try {
    compose(surface, record, today);
  } catch (const std::exception& e) {
    surface.endDoc();
    showFailure(e);
    return;
  }
  surface.endDoc();
}

void printRecord(const PrintedRecord& record) {
  QPrinter printer(QPrinter::HighResolution);
  if (!messages().choosePrinter(printer)) return;
  QCoreApplication::processEvents();
  PrinterSurface surface(printer);
  composeRecordPrintout(surface, record);
  if (surface.ok()) return;
  const QString where = printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
  showFailure(
      std::runtime_error(QStringLiteral("The printer could not be started: %1").arg(where).toStdString()));
}

void exportRecords() {
  const QString file = messages().saveFileName(
      QStringLiteral("Export the Records"), ZEL1.dataFile(QLatin1String(ExportWriter::kFileName)),
      QStringLiteral("Comma-separated files (*.csv);;All files (*)"));
  if (file.isEmpty()) return;
  QCoreApplication::processEvents();
  const ExportWriter::Result result =
      ExportWriter::write(ZEL1.cnData, ZEL1.rsRecords, QFileInfo(file).absoluteFilePath());
  if (result.ok)
    messages().fileWritten(QStringLiteral("Export complete. File named ") +
                               QDir::toNativeSeparators(result.fileName) + QStringLiteral(" was created."),
                           result.fileName);
  else
    showFailure(std::runtime_error((QStringLiteral("The export file ") + result.fileName +
                                    QStringLiteral(" could not be written.\n\n") + result.error)
                                       .toStdString()));
}
