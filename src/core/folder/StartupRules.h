#pragma once

#include <QString>
#include <QStringList>
#include <optional>

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

// What the program answers on the terminal for --help or --version (and -h, -v) as its only
// argument; nothing for a command line that starts the window.
std::optional<QString> terminalAnswer(const QStringList& arguments, const QString& version);

}  // namespace StartupRules
