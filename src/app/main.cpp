#include <QApplication>

#include "app/Startup.h"
#include "app/ToolbarIcons.h"

int main(int argc, char** argv) {
  // Without TZ the C library looks at the zone file again for every local date it works out; naming
  // it once spares a file lookup per date when thousands of records are imported or exported.
  if (!qEnvironmentVariableIsSet("TZ")) qputenv("TZ", ":/etc/localtime");
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("zel"));
  QApplication::setApplicationName(QStringLiteral("zel"));
  QApplication::setDesktopFileName(QStringLiteral("org.zelmora.Zelmora"));
  setProgramIcon();
  return Startup::runProgram(QCoreApplication::arguments());
}
