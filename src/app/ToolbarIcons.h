#pragma once

#include <QIcon>
#include <QString>

// The frame toolbar's pictures, drawn here so that no image files are needed.
QIcon toolbarIcon(const QString& key);
