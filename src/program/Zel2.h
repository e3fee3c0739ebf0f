#pragma once

#include <QString>

class QSettings;

// Shared operations used by many windows.
namespace ZEL2 {

// Doubles every single quote of a text so that it can stand inside an SQL string literal.
QString SqlQuote(const QString& text);

// The version as major.minor.revision ("6.8.1"); the title puts "Zelmora v." before it.
QString versionText();

// Writes the values set on a settings store to its file, which Qt writes aside and puts in place
// whole. The failure's message, naming the file; empty when written.
QString writeSettings(QSettings& settings);

}  // namespace ZEL2
