#pragma once

#include <QString>

// The start-up's small rules that need no window.
namespace StartupRules {

// The data folder: the whole command line when it is not empty, else the program's folder;
// always ending with '/'.
QString dataPathFrom(const QString& commandLine, const QString& programFolder);

// "Small Fonts" or "Large Fonts" from the system font's character height in pixels.
QString FontSizeName(int fontHeightPixels);

// Below 800 pixels wide, or exactly 800 with large fonts.
bool screenTooSmall(int screenWidthPixels, int fontHeightPixels);

// The error report of a failed start: number, description and step marker, two line feeds apart.
QString errorReport(int number, const QString& description, const QString& stepMarker);

}  // namespace StartupRules
