#include "core/maps/MapKeys.h"

#include <algorithm>

namespace MapKeys {

int StateTable::fold(QStringView text, std::vector<char16_t>& out) {
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

quint64 StateTable::hashOf(const char16_t* p, size_t n) {
  quint64 h = 0xcbf29ce484222325ULL;
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 0x100000001b3ULL;
  // Places differ in a few trailing digits: mixed, they spread over the whole table.
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdULL;
  h ^= h >> 33;
  return h;
}

size_t StateTable::find(const char16_t* p, size_t n, quint64 h) const {
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

void StateTable::grow() {
  std::vector<quint32> old(std::max<size_t>(1024, 2 * slots_.size()));
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

void StateTable::add(const QString& section, const QString& lot, const QString& grave,
                     const QString& status) {
  const GraveState::State state = GraveState::fromStored(status);
  if (state == GraveState::State::Open) return;
  const size_t at = chars_.size();
  int commas = fold(QStringView(section).trimmed(), chars_);
  chars_.push_back(u',');
  commas += fold(QStringView(lot).trimmed(), chars_);
  chars_.push_back(u',');
  commas += fold(QStringView(grave).trimmed(), chars_);
  const size_t n = chars_.size() - at;
  // A part holding a comma makes a key that no cell names (a cell's place has exactly three
  // parts); past the table's reach a place stays open, as a map cannot hold that many anyway.
  if (commas != 0 || chars_.size() > 0xFFFFFFFFu || entries_.size() >= kIndexMask) {
    chars_.resize(at);
    return;
  }
  if (4 * (entries_.size() + 1) > 3 * slots_.size()) grow();
  const quint64 h = hashOf(chars_.data() + at, n);
  quint32& s = slots_[find(chars_.data() + at, n, h)];
  if (s) {  // the place has its state already
    chars_.resize(at);
    return;
  }
  entries_.push_back(Entry{quint32(at), quint32(n), state});
  s = (quint32(h >> 32) & ~kIndexMask) | quint32(entries_.size());
  ++count_;
}

GraveState::State StateTable::state(QStringView cellText) const {
  if (slots_.empty()) return GraveState::State::Open;
  key_.clear();
  if (fold(cellText.trimmed(), key_) != 2) return GraveState::State::Open;
  const quint32 s = slots_[find(key_.data(), key_.size(), hashOf(key_.data(), key_.size()))];
  return s ? entries_[(s & kIndexMask) - 1].state : GraveState::State::Open;
}

}  // namespace MapKeys
