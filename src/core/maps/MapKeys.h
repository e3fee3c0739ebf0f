#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include "core/store/GraveState.h"
#include "core/store/TextFold.h"

// The tie between map cells and grave records: a location text "section,lot,grave" whose parts are
// trimmed and compared without regard to letter case, by the same folding of every letter that the
// database uses, so a cell coloured for a record also finds it when clicked.
namespace MapKeys {

// The key of a record's place.
inline QString recordKey(const QString& section, const QString& lot, const QString& grave) {
  return section.trimmed() + QLatin1Char(',') + lot.trimmed() + QLatin1Char(',') + grave.trimmed();
}

// A key that hashes and compares without regard to letter case, without making a folded copy.
struct FoldedKey {
  QString text;
  friend bool operator==(const FoldedKey& a, const FoldedKey& b) { return TextFold::equal(a.text, b.text); }
  friend size_t qHash(const FoldedKey& k, size_t seed = 0) { return TextFold::hash(k.text, seed); }
};

// Whether a cell text names a grave: only a text of exactly three comma-separated parts does.
inline bool namesGrave(const QString& trimmed) {
  return !trimmed.isEmpty() && trimmed.count(QLatin1Char(',')) == 2;
}

// Key to state; the first record of a key that is not open wins.
class StateTable {
 public:
  void add(const QString& section, const QString& lot, const QString& grave, const QString& status) {
    const GraveState::State s = GraveState::fromStored(status);
    if (s == GraveState::State::Open) return;
    FoldedKey k{recordKey(section, lot, grave)};
    if (!map_.contains(k)) map_.insert(std::move(k), s);
  }
  // The state for a cell's text; open when no record belongs to it.
  GraveState::State state(const QString& cellText) const {
    const QString t = cellText.trimmed();
    if (!namesGrave(t)) return GraveState::State::Open;
    return map_.value(FoldedKey{t}, GraveState::State::Open);
  }
  int size() const { return int(map_.size()); }

 private:
  QHash<FoldedKey, GraveState::State> map_;
};

}  // namespace MapKeys
