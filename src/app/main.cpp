#include <QApplication>

#include "app/Startup.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("zel"));
  QApplication::setApplicationName(QStringLiteral("zel"));
  return Startup::runProgram(QCoreApplication::arguments());
}
