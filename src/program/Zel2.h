#pragma once

#include <QString>

// Shared operations used by many windows.
namespace ZEL2 {

// Doubles every single quote of a text so that it can stand inside an SQL string literal.
QString SqlQuote(const QString& text);

// The version as major.minor.revision ("6.8.1"); the title puts "Zelmora v." before it.
QString versionText();

}  // namespace ZEL2
