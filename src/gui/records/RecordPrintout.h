#pragma once

#include <QDate>
#include <QHash>
#include <QString>

class PrintSurface;

// The record form's values as the user sees them, for its printout: made from the controls'
// shown texts (not from the database), so that unsaved changes print as they stand.
struct PrintedRecord {
  QString cemetery;                // the cemetery name shown in txtCemetery, the sheet's heading
  QHash<QString, QString> values;  // each printed field's shown text by column ("Male" for sex "M")

  QString value(const QString& column) const { return values.value(column); }
};

// Composes the one-page record sheet on a surface and ends the document: the heading with the
// cemetery and the given date, the printed fields of the record's field table in their order, and
// the footer with the program's name and version. A failure while composing still ends the
// document (what was composed is printed) and is then shown.
void composeRecordPrintout(PrintSurface& surface, const PrintedRecord& record,
                           const QDate& today = QDate::currentDate());

// The record form's Print command: the printer dialog (cancel prints nothing), then the record
// sheet. A printer that cannot be started is reported.
void printRecord(const PrintedRecord& record);

// The record form's Export command: asks where to write (the data folder's "zel.csv" first), and
// tells the user the full name of the file created, or which file could not be written and why (the earlier
// file is then kept).
void exportRecords();
