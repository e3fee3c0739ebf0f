#pragma once

#include <QDate>
#include <QString>

class PrintSurface;

// The record form's values as the user sees them, for its printout. Each member is named after the
// control it comes from; fill it from the controls' shown texts (not from the database), so that
// unsaved changes print as they stand:
//
//   PrintedRecord r;
//   r.txtCemetery = txtCemetery->currentText();   // the cemetery name shown in the list
//   r.txtSection = txtSection->text();  ...        // every text, date and money field's shown text
//   r.txtStatus = txtStatus->text();               // the state word, e.g. "SOLD"
//   r.txtMale = txtMale->isChecked();  (likewise txtFemale, txtUnknown)
//
// Not printed, so not here: the amount paid, the lot type, the owner's address, the record number.
struct PrintedRecord {
  QString txtCemetery;

  QString txtSection;
  QString txtLot;
  QString txtGrave;
  QString txtStatus;

  QString txtIntermentNum;
  QString txtIntermentDate;
  QString txtInterredFirstName;
  QString txtInterredLastName;
  QString txtDateOfBirth;
  QString txtDateOfDeath;
  QString txtAge;
  bool txtMale = false;
  bool txtFemale = false;
  bool txtUnknown = false;

  QString txtPurchaserFirstName;
  QString txtPurchaserLastName;
  QString txtDeedBook;
  QString txtDeedPage;
  QString txtCertificateNum;
  QString txtPurchDate;
  QString txtPurchPrice;
  QString txtBurialFee;

  QString txtVault;
  QString txtPlaceOfBirth;
  QString txtLateResidence;
  QString txtSocialState;
  QString txtNearestRelative;
  QString txtUndertaker;
  QString txtCauseOfDeath;
  QString txtRemarks;

  // "Male", "Female", "Unknown" for the chosen option, empty when none is chosen.
  QString sexText() const;
};

// Composes the one-page record sheet on a surface and ends the document. The heading carries the
// cemetery and the given date, the footer the program's name and version.
void composeRecordPrintout(PrintSurface& surface, const PrintedRecord& record,
                           const QDate& today = QDate::currentDate());

// The record form's Print command: the printer dialog (cancel prints nothing), then the record
// sheet. Printing failures end the command without a message.
void printRecord(const PrintedRecord& record);

// The record form's Export command: writes "zel.csv" in the data folder and tells the user that
// it was created, or which file could not be written and why (the earlier file is then kept).
void exportRecords();
