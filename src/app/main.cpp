#include "app/Startup.h"
#include "app/ZelApplication.h"

int main(int argc, char** argv) {
  ZelApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("zel"));
  QApplication::setApplicationName(QStringLiteral("zel"));
  try {
    return Startup::runProgram(QCoreApplication::arguments());
  } catch (const std::exception& e) {
    return lastResort(e);
  } catch (...) {
    return lastResort(std::runtime_error("An unexpected error ended the program."));
  }
}
