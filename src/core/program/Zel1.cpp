#include "core/program/Zel1.h"

Zel1 ZEL1;

void Zel1::reset() {
  rsRecords.close();
  cnData.close();
  DataPath.clear();
  StartupFailed = false;
  RestoreOnly = false;
  DateDisplayFormat.clear();
  RecordChanged = false;
  PendingQuery.clear();
  CurrentCemeteryId = 0;
  CurrentCemeteryName.clear();
  ManagerChanged = false;
  MapZoom = 500;
  cnData.setDateDisplayFormat(QStringLiteral("mm-dd-yyyy"));
}
