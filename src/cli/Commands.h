#pragma once

#include <QStringList>

#include "cli/CommandLine.h"

namespace Cli {

// Runs a parsed command: 0 when it succeeded, 1 when its work failed (the failure is printed,
// naming its file and reason). A usage error found only now throws UsageError.
int run(const Invocation& in);

// True for the commands that paint (a PDF report): they need Qt Gui, the others only Qt Core.
bool needsGui(const Invocation& in);

// The folders init looks in for the help file and the tutorial, in order: the build's data folder
// beside the program, the installed share/zelmora beside the program's bin folder, and the folder
// the build was configured to install them in.
QStringList dataFileFolders();

}  // namespace Cli
