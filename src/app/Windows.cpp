#include "app/Startup.h"
#include "app/frm_Main.h"

// The frame window's hooks to the record form, the map editor, the cemetery chooser, the report
// window and the backup window are set here as those windows join the program.
void connectWindows(frm_Main& frame) { (void)frame; }
