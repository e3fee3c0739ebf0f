#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

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
  friend size_t qHash(const FoldedKey& k, size_t seed = 0) {
    // The table picks buckets by the low bits; places differ in a few trailing digits, so the
    // polynomial hash is mixed first (else neighbouring places crowd into runs of buckets).
    quint64 h = TextFold::hash(k.text, seed);
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return size_t(h);
  }
};

// Whether a cell text names a grave: only a text of exactly three comma-separated parts does.
inline bool namesGrave(const QString& trimmed) {
  return !trimmed.isEmpty() && trimmed.count(QLatin1Char(',')) == 2;
}

// Places, numbered from 0 as they are added. The keys are kept folded in one block of characters and
// found through an open-addressed table of their hashes, so that a map's million cells are looked
// up without an allocation each.
class PlaceIndex {
 public:
  // The number of the place the three parts (each trimmed) make, and whether it was added now; -1
  // when a part holds a comma (no cell names such a place).
  int add(QStringView section, QStringView lot, QStringView grave, bool* added = nullptr);
  // The same for a place written whole (trimmed); -1 when it is not three comma-separated parts.
  int add(QStringView place, bool* added = nullptr);
  // The number of a place written whole, or -1.
  int find(QStringView place) const;
  int size() const { return int(entries_.size()); }
  void reserve(qint64 places);

 private:
  struct Entry {
    quint32 at;  // start of the key in chars_
    quint32 len;
  };
  // A slot holds the entry's number + 1 (0: free) in its low bits and bits of the key's hash above:
  // the table stays small enough to be read from the processor's cache, and most places not in it
  // are told apart without reading a key.
  static constexpr int kIndexBits = 24;
  static constexpr quint32 kIndexMask = (1u << kIndexBits) - 1;
  // Adds the key folded at the end of chars_ from at on, or finds it there already (and drops it).
  int settle(size_t at, bool* added);
  // The slot of the key, or the free slot where it would go.
  size_t slotOf(const char16_t* p, size_t n, quint64 h) const;
  void grow(size_t size);

  std::vector<char16_t> chars_;
  std::vector<Entry> entries_;
  std::vector<quint32> slots_;         // a power of two long, at most three quarters full
  mutable std::vector<char16_t> key_;  // the key being looked up
};

// Key to state; the first record of a key that is not open wins.
class StateTable {
 public:
  void add(const QString& section, const QString& lot, const QString& grave, const QString& status);
  // The state for a cell's text; open when no record belongs to it.
  GraveState::State state(QStringView cellText) const;
  int size() const { return places_.size(); }

 private:
  PlaceIndex places_;
  std::vector<GraveState::State> states_;  // by place number
};

}  // namespace MapKeys
