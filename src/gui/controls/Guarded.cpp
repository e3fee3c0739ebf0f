#include "gui/controls/Guarded.h"

#include "core/program/Zel1.h"
#include "gui/controls/MessageService.h"

void commandFailed(const std::exception& e) noexcept {
  // What the command wrote before it failed is undone: the file stays as it was before it.
  ZEL1.cnData.rollback();
  try {
    showFailure(e);
  } catch (...) {
    qCritical("%s", e.what());
  }
}
