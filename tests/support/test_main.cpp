#include <gtest/gtest.h>

#include <QStandardPaths>

#include "gui/app/ZelApplication.h"
#include "support/Failure.h"
#include "support/ScriptedMessages.h"

// Every test program runs with the program's application object (offscreen), test locations for
// settings and per-user files, and a message service that fails any message a test did not script.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QStandardPaths::setTestModeEnabled(true);
  // A failure that escapes a command is shown (and so fails the test); the run goes on.
  ZelApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("zel"));
  QApplication::setApplicationName(QStringLiteral("zel"));
  ::testing::InitGoogleTest(&argc, argv);
  setFailureHandler([](const std::string& what) { ADD_FAILURE() << what; });
  ScriptedMessages strict;
  return RUN_ALL_TESTS();
}
