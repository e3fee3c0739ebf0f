#pragma once

#include <QString>

// Keeps the program's date texts at a four-digit year and settles the record form's date pattern
// from the system's short date pattern. The system setting itself is only read, never written.
namespace DateGuard {

// The pattern with its first two-digit year widened to four digits ("M/d/yy" -> "M/d/yyyy").
// A pattern that already has "yyyy", or has no "yy" at all, comes back unchanged.
QString FixShortDateFormat(const QString& pattern);

// "mm-dd-yyyy" when the (widened, lower-cased) pattern begins with the month, else "dd-mm-yyyy";
// empty when there is no pattern.
QString displayFormatFor(const QString& systemPattern);

// The system's short date pattern as the toolkit reports it.
QString systemShortDatePattern();

// Runs the guard: sets ZEL1.DateDisplayFormat and the connection's #date# reading order.
// Returns the format (empty when the pattern is empty; the connection is then left as it was).
QString run(const QString& systemPattern);

}  // namespace DateGuard
