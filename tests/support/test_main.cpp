#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

#include "support/ScriptedMessages.h"

// Every test program runs with a real QApplication (offscreen) and test locations for settings
// and per-user files.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                   : qgetenv("QT_QPA_PLATFORM"));
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("zel"));
  QApplication::setApplicationName(QStringLiteral("zel"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
