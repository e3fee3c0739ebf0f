#include "app/Startup.h"
#include "app/frm_Main.h"
#include "cemeteries/frmCemeterySelect.h"
#include "maps/frmMapEdit.h"

// The frame window's hooks to the windows that open from its toolbar.
void connectWindows(frm_Main& frame) {
  frame.chooseCemetery = [&frame] { return frmCemeterySelect::choose(&frame); };
  frame.makeMapEditor = [] { return new frmMapEdit(); };
}
