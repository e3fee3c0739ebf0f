#pragma once

#include <QDateTime>
#include <QString>
#include <vector>

#include "core/history/History.h"
#include "gui/history/frmHistory.h"

class QTableWidget;

// History entries in the user's terms: local time in the date pattern of the record form, field
// captions from the field table, values as the form and the managers show them.
namespace HistoryText {

// A UTC time in local time, its date as the record form writes dates.
QString localTime(const QDateTime& utc);
// A column's caption: the record form's (telling the purchaser's fields from the interred's), or
// the managers' for cemeteries and lot types.
QString caption(const QString& table, const QString& column);
// A stored text as the windows show the column: dates in the form's pattern, amounts grouped with
// two decimals, sex and state in words, cemeteries and lot types by name. A text that is no such
// value (an erased one) is shown as it stands.
QString shownValue(const QString& table, const QString& column, const QString& stored);
// What an entry tells: the field's caption for a changed field, else what happened.
QString what(const History::Entry& e);

std::vector<HistoryLine> lines(const std::vector<History::Entry>& entries);
// A row's contents whole, one "Caption: value" line per column that holds something.
QString contentsText(const QString& table, const History::Contents& contents);
// A read-only list of entries, one row selected at a time, the last column taking the width left.
void setUpEntryList(QTableWidget* list);

}  // namespace HistoryText
