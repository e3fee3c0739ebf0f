#include "app/Startup.h"
#include "app/ToolbarIcons.h"
#include "app/ZelApplication.h"

int main(int argc, char** argv) {
  // Without TZ the C library looks at the zone file again for every local date it works out; naming
  // it once spares a file lookup per date when thousands of records are imported or exported.
  if (!qEnvironmentVariableIsSet("TZ")) qputenv("TZ", ":/etc/localtime");
  ZelApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("zel"));
  QApplication::setApplicationName(QStringLiteral("zel"));
  QApplication::setDesktopFileName(QStringLiteral("org.zelmora.Zelmora"));
  setProgramIcon();
  try {
    return Startup::runProgram(QCoreApplication::arguments());
  } catch (const std::exception& e) {
    return lastResort(e);
  } catch (...) {
    return lastResort(std::runtime_error("An unexpected error ended the program."));
  }
}
