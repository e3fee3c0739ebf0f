#include "gui/app/ZelApplication.h"

#include "core/program/Zel1.h"
#include "gui/controls/MessageService.h"

ZelApplication::ZelApplication(int& argc, char** argv) : QApplication(argc, argv) {
  endProgram = [](int code) { QCoreApplication::exit(code); };
}

bool ZelApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    const int code = lastResort(e);
    if (endProgram) endProgram(code);
  } catch (...) {
    const int code = lastResort(std::runtime_error("An unexpected error ended the command."));
    if (endProgram) endProgram(code);
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
  ZEL1.rsLookup2.close();
  ZEL1.rsLookup.close();
  ZEL1.rsRecords.close();
  ZEL1.cnData.close();
  return 1;
}
