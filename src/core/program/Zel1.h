#pragma once

#include <QString>

#include "core/store/Connection.h"
#include "core/store/RecordSet.h"

// The program-wide values, one instance for the whole run.
struct Zel1 {
  QString DataPath;            // data folder, always ending with the path separator
  bool StartupFailed = false;  // the next resize or activation of the frame ends the program
  bool RestoreOnly = false;    // data files missing: the backup window offers only restoring
  QString DateDisplayFormat;   // "mm-dd-yyyy" or "dd-mm-yyyy"; empty until the date guard ran
  bool RecordChanged = false;  // the record form holds unsaved changes
  QString PendingQuery;        // query on zel that the record form runs at its next activation
  qint32 CurrentCemeteryId = 0;
  QString CurrentCemeteryName;
  bool ManagerChanged = false;  // a cemetery or lot type manager holds unsaved edits
  qint32 MapZoom = 500;

  Connection cnData;
  RecordSet rsRecords{&cnData};

  // Closes the record sets and the connection and puts every value back to its start.
  void reset();
  // A data file's full name: DataPath followed by a bare file name.
  QString dataFile(const QString& name) const { return DataPath + name; }
};

extern Zel1 ZEL1;
