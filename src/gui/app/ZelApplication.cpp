#include "gui/app/ZelApplication.h"

#include "core/program/Zel1.h"
#include "gui/controls/MessageService.h"

namespace {

// Closing rolls back what a command left half done; the file stays as it was before it.
void closeData() {
  ZEL1.rsRecords.close();
  ZEL1.cnData.close();
}

}  // namespace

ZelApplication::ZelApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ZelApplication::notify(QObject* receiver, QEvent* event) {
  // Commands run through guarded() and handle their own failures; one that still got here has
  // already passed through Qt's event code, so the program does not go on: the failure is logged,
  // the database closed (rolling back what was half done) and the program ended.
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    qCritical("A failure escaped its command: %s", e.what());
  } catch (...) {
    qCritical("An unknown failure escaped its command.");
  }
  closeData();
  emit failureEnds(1);
  return false;
}

int lastResort(const std::exception& e) {
  // A failure while the first one is shown (its message box runs events) is not shown again.
  static bool showing = false;
  if (!showing) {
    showing = true;
    try {
      showFailure(e);
    } catch (...) {
      qCritical("%s", e.what());
    }
    showing = false;
  }
  closeData();
  return 1;
}
