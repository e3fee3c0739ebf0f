#include "gui/app/ZelApplication.h"

#include "core/program/Zel1.h"
#include "gui/controls/MessageService.h"

ZelApplication::ZelApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool ZelApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    emit failureEnds(lastResort(e));
  } catch (...) {
    emit failureEnds(lastResort(std::runtime_error("An unexpected error ended the command.")));
  }
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
  // Closing rolls back what a command left half done; the file stays as it was before it.
  ZEL1.rsRecords.close();
  ZEL1.cnData.close();
  return 1;
}
