#pragma once

#include <QString>

// The data folder of an installed program. The folder that holds an installed program cannot be
// written, so a program started without a command line from an installed tree works in a per-user
// folder instead, filled from the seed installed beside the program.
namespace UserData {

// The installed seed folder (share/zelmora beside the program's bin folder) when it holds the demo
// database; empty when the program does not run from an installed tree (the build tree, say).
QString installedSeedFolder(const QString& programFolder);

// Makes the per-user folder and fills it from the seed. The demo database and the maps are copied
// only while the folder holds neither database nor demo database (the first start), so the user's
// own maps are never replaced; the help file and the tutorial are replaced whenever the installed
// ones differ, so that an update of the program brings its new help. Returns the folder with a
// trailing '/'; a file that cannot be copied throws DbError naming it.
QString prepare(const QString& folder, const QString& seedFolder);

}  // namespace UserData
