#pragma once

#include <QString>

// Shared operations used by many windows.
namespace ZEL2 {

// Doubles every single quote of a text so that it can stand inside an SQL string literal.
QString SqlQuote(const QString& text);

// "Zelmora v.6.8.1" style version text: major.minor.revision.
QString versionText();

}  // namespace ZEL2
