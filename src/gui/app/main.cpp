#include <QStringList>
#include <cstdio>

#include "core/folder/StartupRules.h"
#include "core/program/Zel2.h"
#include "gui/app/Startup.h"
#include "gui/app/ToolbarIcons.h"
#include "gui/app/ZelApplication.h"

int main(int argc, char** argv) {
  // --help and --version answer on the terminal, without a window or a display.
  {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    if (const auto answer = StartupRules::terminalAnswer(args, ZEL2::versionText())) {
      std::fputs(answer->toLocal8Bit().constData(), stdout);
      return 0;
    }
  }
  // Without TZ the C library looks at the zone file again for every local date it works out; naming
  // it once spares a file lookup per date when thousands of records are imported or exported.
  if (!qEnvironmentVariableIsSet("TZ")) qputenv("TZ", ":/etc/localtime");
  ZelApplication app(argc, argv);
  QObject::connect(&app, &ZelApplication::failureEnds, &app, [](int code) { QCoreApplication::exit(code); });
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
