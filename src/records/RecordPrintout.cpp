#include "records/RecordPrintout.h"

#include <QCoreApplication>
#include <QPrinter>

#include "controls/MessageService.h"
#include "controls/PrintSurface.h"
#include "program/Zel1.h"
#include "program/Zel2.h"
#include "records/ExportWriter.h"

QString PrintedRecord::sexText() const {
  if (txtMale) return QStringLiteral("Male");
  if (txtFemale) return QStringLiteral("Female");
  if (txtUnknown) return QStringLiteral("Unknown");
  return {};
}

namespace {

constexpr qint16 kLabelEndMm = 50;
constexpr qint16 kValueMm = 55;
constexpr qint16 kRightMm = 200;
constexpr double kFooterTwips = 283.15;  // 5 mm above the bottom of the printable area

void fieldLine(PrintSurface& s, const QString& label, const QString& value) {
  PrintRightAligned(s, kLabelEndMm, label);
  SetPrintX(s, kValueMm);
  s.print(value, true);
}

QString footerText() {
  const QString version = ZEL2::versionText();
  const QString name = QString::fromLatin1(kAppTitle);
  return version.startsWith(name) ? version : name + QLatin1Char(' ') + version;
}

void compose(PrintSurface& s, const PrintedRecord& r, const QDate& today) {
  s.setFontName(QStringLiteral("Arial"));
  s.setFontSize(18);
  s.setFontBold(true);
  s.print(r.txtCemetery, true);

  s.setFontSize(10);
  PrintRightAligned(s, kRightMm, today.toString(QStringLiteral("MM-dd-yyyy")));
  s.endLine();
  s.endLine();

  DrawRule(s, 1, 0, kRightMm);
  s.endLine();

  s.setFontBold(false);
  fieldLine(s, QStringLiteral("Section:"), r.txtSection);
  fieldLine(s, QStringLiteral("Lot:"), r.txtLot);
  fieldLine(s, QStringLiteral("Grave:"), r.txtGrave);
  s.endLine();
  fieldLine(s, QStringLiteral("Status:"), r.txtStatus);
  s.endLine();
  fieldLine(s, QStringLiteral("Interment #:"), r.txtIntermentNum);
  fieldLine(s, QStringLiteral("Interment Date:"), r.txtIntermentDate);
  fieldLine(s, QStringLiteral("First Name:"), r.txtInterredFirstName);
  fieldLine(s, QStringLiteral("Last Name:"), r.txtInterredLastName);
  fieldLine(s, QStringLiteral("DOB:"), r.txtDateOfBirth);
  fieldLine(s, QStringLiteral("DOD:"), r.txtDateOfDeath);
  fieldLine(s, QStringLiteral("Age:"), r.txtAge);
  fieldLine(s, QStringLiteral("Sex:"), r.sexText());
  s.endLine();
  fieldLine(s, QStringLiteral("Purchaser First Name:"), r.txtPurchaserFirstName);
  fieldLine(s, QStringLiteral("Purchaser Last Name:"), r.txtPurchaserLastName);
  fieldLine(s, QStringLiteral("Deed Book:"), r.txtDeedBook);
  fieldLine(s, QStringLiteral("Deed Page:"), r.txtDeedPage);
  fieldLine(s, QStringLiteral("Certificate Number:"), r.txtCertificateNum);
  fieldLine(s, QStringLiteral("Purchase Date:"), r.txtPurchDate);
  fieldLine(s, QStringLiteral("Purchase price:"), r.txtPurchPrice);
  fieldLine(s, QStringLiteral("Burial Fee:"), r.txtBurialFee);
  s.endLine();
  fieldLine(s, QStringLiteral("Vault:"), r.txtVault);
  fieldLine(s, QStringLiteral("Place of Birth:"), r.txtPlaceOfBirth);
  fieldLine(s, QStringLiteral("Late Residence:"), r.txtLateResidence);
  fieldLine(s, QStringLiteral("Social State:"), r.txtSocialState);
  fieldLine(s, QStringLiteral("Nearest Relative:"), r.txtNearestRelative);
  fieldLine(s, QStringLiteral("Undertaker:"), r.txtUndertaker);
  fieldLine(s, QStringLiteral("Cause of Death:"), r.txtCauseOfDeath);
  fieldLine(s, QStringLiteral("Remarks:"), r.txtRemarks);

  s.setCurrentY(s.pageHeight() - kFooterTwips);
  s.setFontBold(true);
  PrintRightAligned(s, kRightMm, footerText());
}

}  // namespace

void composeRecordPrintout(PrintSurface& surface, const PrintedRecord& record, const QDate& today) {
  // Whatever was composed before a failure is still sent; printing never shows an error.
  try {
    compose(surface, record, today);
  } catch (...) {
  }
  surface.endDoc();
}

void printRecord(const PrintedRecord& record) {
  QPrinter printer(QPrinter::HighResolution);
  if (!messages().choosePrinter(printer)) return;
  QCoreApplication::processEvents();
  PrinterSurface surface(printer);
  composeRecordPrintout(surface, record);
}

void exportRecords() {
  QCoreApplication::processEvents();
  const ExportWriter::Result result = ExportWriter::write();
  if (result.ok) {
    messages().information(QStringLiteral("Export complete. File named ") + ZEL1.DataPath +
                           QStringLiteral("ZEL.CSV was created."));
  } else {
    messages().information(QStringLiteral("The export file ") + result.fileName +
                           QStringLiteral(" could not be written.\n\n") + result.error);
  }
}
