#include "core/store/GraveState.h"

namespace GraveState {

namespace {

// The colours are entries of the standard sixteen-colour palette the map files use.
// clang-format off
const Info kStates[] = {
  // state            letter form text   legend       colour    text colour
  {State::Open,     " ", "OPEN",     "Available", 0xFFFFFF, 0x000000},
  {State::Sold,     "S", "SOLD",     "Sold",      0x0000FF, 0xFFFFFF},
  {State::Reserved, "R", "RESERVED", "Reserved",  0xFFFF00, 0x000000},
  {State::Buried,   "B", "BURIED",   "Buried",    0xFF0000, 0xFFFFFF},
};
// clang-format on

}  // namespace

std::span<const Info> all() { return kStates; }

const Info& of(State s) { return kStates[int(s)]; }

State fromStored(const QString& status) {
  const QString s = status.trimmed();
  for (const Info& i : kStates)
    if (i.state != State::Open && s == QLatin1StringView(i.letter)) return i.state;
  return State::Open;
}

}  // namespace GraveState
