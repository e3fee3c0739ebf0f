#pragma once

#include <QString>
#include <QtGlobal>
#include <span>

// The states of a grave space: the letter table zel stores in status, and how the record form, the
// map viewer, its legend and the reports show it. Every one of them reads this table.
//
// A stored letter is read trimmed (" B" and "B " are buried) and with its case as it stands ("b"
// is open): the program only ever writes the capitals.
namespace GraveState {

enum class State { Open, Sold, Reserved, Buried };  // the order of the reports' counts

struct Info {
  State state;
  const char* letter;      // as the record is saved with it
  const char* formText;    // the record form's status field, the reports' state names
  const char* legendText;  // the map viewer's legend
  quint32 color;           // the map cell, 0xRRGGBB (an open place stays as the map has it)
  quint32 textColor;       // the map cell's text
};

std::span<const Info> all();
const Info& of(State s);
// The state a stored status stands for; anything but a known letter is open.
State fromStored(const QString& status);

inline QString letter(State s) { return QString::fromLatin1(of(s).letter); }
inline QString formText(State s) { return QString::fromLatin1(of(s).formText); }

}  // namespace GraveState
