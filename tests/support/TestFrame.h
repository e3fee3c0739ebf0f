#pragma once

#include <QSize>
#include <QTest>
#include <functional>
#include <memory>

#include "gui/app/Startup.h"
#include "gui/app/frm_Main.h"

// The program's frame as a test runs it: its windows connected, its placement kept in settingsFile,
// and its end of the program handed to ended instead of ending the test.
inline std::unique_ptr<frm_Main> testFrame(const QString& settingsFile, std::function<void(int)> ended = {}) {
  auto frame = std::make_unique<frm_Main>();
  frame->settingsFile = settingsFile;
  if (ended) QObject::connect(frame.get(), &frm_Main::programEnds, frame.get(), std::move(ended));
  connectWindows(*frame);
  return frame;
}

// Shows the frame at size and makes it the active window, as a user's click would.
inline void showActive(frm_Main& frame, QSize size) {
  frame.resize(size);
  frame.show();
  frame.activateWindow();
  (void)QTest::qWaitForWindowActive(&frame);
}

// Start-up on a data folder as on a 1280-pixel screen with US dates; lockFile stands in for the
// per-user lock, so that tests never meet each other's or a running program's.
inline Startup::Options testStartup(const QString& commandLine, const QString& lockFile) {
  Startup::Options o;
  o.commandLine = commandLine;
  o.screenWidth = 1280;
  o.fontHeight = 13;
  o.datePattern = QStringLiteral("M/d/yyyy");
  o.lockFile = lockFile;
  return o;
}
