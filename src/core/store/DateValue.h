#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// Dates are stored as ISO text ("YYYY-MM-DD", with " HH:MM:SS" only when a time is present).
namespace DateValue {

QString toIso(const QDate& d);
QString toIso(const QDateTime& dt, bool withTime);
// Reads stored text; an invalid QDateTime for anything that is not an ISO date.
QDateTime fromIso(const QString& text, bool* hasTime = nullptr);

// The record form's date pattern is "mm-dd-yyyy" or "dd-mm-yyyy". Reading accepts "-", "/" or "."
// between the parts and one- or two-digit day and month; the year must have four digits.
bool isDayFirst(const QString& displayFormat);
QDate parseDisplay(const QString& text, const QString& displayFormat);
QString formatDisplay(const QDate& d, const QString& displayFormat);

}  // namespace DateValue
