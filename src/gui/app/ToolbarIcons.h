#pragma once

#include <QIcon>
#include <QString>

// The frame toolbar's pictures, drawn here so that no image files are needed.
QIcon toolbarIcon(const QString& key);

// Gives every window the program's icon, from the pictures of app/zelmora.qrc, which the program
// links in.
void setProgramIcon();
