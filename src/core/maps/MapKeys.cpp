#include "core/maps/MapKeys.h"

#include <algorithm>

namespace MapKeys {

namespace {

// Folds text onto the end of out and returns the number of commas in it.
int fold(QStringView text, std::vector<char16_t>& out) {
  int commas = 0;
  const char16_t* p = text.utf16();
  const char16_t* const end = p + text.size();
  while (p != end) {
    char32_t c = *p++;
    if (c < 0x80) {
      commas += c == u',';
      out.push_back(char16_t(c >= u'A' && c <= u'Z' ? c + 32 : c));
      continue;
    }
    if (QChar::isHighSurrogate(c) && p != end && QChar::isLowSurrogate(*p))
      c = QChar::surrogateToUcs4(char16_t(c), *p++);
    c = TextFold::fold(c);
    if (QChar::requiresSurrogates(c)) {
      out.push_back(QChar::highSurrogate(c));
      out.push_back(QChar::lowSurrogate(c));
    } else {
      out.push_back(char16_t(c));
    }
  }
  return commas;
}

quint64 hashOf(const char16_t* p, size_t n) {
  quint64 h = 0xcbf29ce484222325ULL;
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 0x100000001b3ULL;
  // Places differ in a few trailing digits: mixed, they spread over the whole table.
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return h;
}

}  // namespace

size_t PlaceIndex::slotOf(const char16_t* p, size_t n, quint64 h) const {
  const size_t mask = slots_.size() - 1;
  const quint32 tag = quint32(h >> 32) & ~kIndexMask;
  for (size_t i = size_t(h) & mask;; i = (i + 1) & mask) {
    const quint32 s = slots_[i];
    if (!s) return i;
    if ((s & ~kIndexMask) != tag) continue;
    const Entry& e = entries_[(s & kIndexMask) - 1];
    if (e.len == n && std::equal(p, p + n, chars_.data() + e.at)) return i;
  }
}

void PlaceIndex::grow(size_t size) {
  std::vector<quint32> old(std::max<size_t>(1024, size));
  old.swap(slots_);
  const size_t mask = slots_.size() - 1;
  for (quint32 s : old) {
    if (!s) continue;
    const Entry& e = entries_[(s & kIndexMask) - 1];
    size_t i = size_t(hashOf(chars_.data() + e.at, e.len)) & mask;
    while (slots_[i]) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

void PlaceIndex::reserve(qint64 places) {
  const size_t want = size_t(std::clamp<qint64>(places, 0, kIndexMask));
  size_t size = 1024;
  while (3 * size < 4 * want) size *= 2;
  if (size > slots_.size()) grow(size);
  entries_.reserve(want);
}

int PlaceIndex::settle(size_t at, bool* added) {
  if (added) *added = false;
  const size_t n = chars_.size() - at;
  // Past the table's reach a place is not kept, as a map cannot hold that many anyway.
  if (chars_.size() > 0xFFFFFFFFu || entries_.size() >= kIndexMask) {
    chars_.resize(at);
    return -1;
  }
  if (4 * (entries_.size() + 1) > 3 * slots_.size()) grow(2 * slots_.size());
  const quint64 h = hashOf(chars_.data() + at, n);
  quint32& s = slots_[slotOf(chars_.data() + at, n, h)];
  if (s) {  // known already
    chars_.resize(at);
    return int((s & kIndexMask) - 1);
  }
  entries_.push_back(Entry{quint32(at), quint32(n)});
  s = (quint32(h >> 32) & ~kIndexMask) | quint32(entries_.size());
  if (added) *added = true;
  return int(entries_.size() - 1);
}

int PlaceIndex::add(QStringView section, QStringView lot, QStringView grave, bool* added) {
  const size_t at = chars_.size();
  int commas = fold(section.trimmed(), chars_);
  chars_.push_back(u',');
  commas += fold(lot.trimmed(), chars_);
  chars_.push_back(u',');
  commas += fold(grave.trimmed(), chars_);
  if (commas != 0) {
    chars_.resize(at);
    if (added) *added = false;
    return -1;
  }
  return settle(at, added);
}

int PlaceIndex::add(QStringView place, bool* added) {
  const size_t at = chars_.size();
  if (fold(place.trimmed(), chars_) != 2) {
    chars_.resize(at);
    if (added) *added = false;
    return -1;
  }
  return settle(at, added);
}

int PlaceIndex::find(QStringView place) const {
  if (slots_.empty()) return -1;
  key_.clear();
  if (fold(place.trimmed(), key_) != 2) return -1;
  const quint32 s = slots_[slotOf(key_.data(), key_.size(), hashOf(key_.data(), key_.size()))];
  return s ? int((s & kIndexMask) - 1) : -1;
}

void StateTable::add(const QString& section, const QString& lot, const QString& grave,
                     const QString& status) {
  const GraveState::State state = GraveState::fromStored(status);
  if (state == GraveState::State::Open) return;
  bool added = false;
  places_.add(section, lot, grave, &added);
  if (added) states_.push_back(state);  // a place met before keeps its first state
}

GraveState::State StateTable::state(QStringView cellText) const {
  const int i = places_.find(cellText);
  return i < 0 ? GraveState::State::Open : states_[size_t(i)];
}

}  // namespace MapKeys
