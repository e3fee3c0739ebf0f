#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The tie between map cells and grave records: a location text "section,lot,grave" whose parts are
// trimmed and compared without regard to letter case.
namespace MapKeys {

// The key of a record's place.
inline QString recordKey(const QString& section, const QString& lot, const QString& grave) {
  return section.trimmed() + QLatin1Char(',') + lot.trimmed() + QLatin1Char(',') + grave.trimmed();
}

// The lookup form of a key (case folded). Empty when the text does not name a grave: only a text
// of exactly three comma-separated parts does.
inline QString lookupKey(const QString& text) {
  const QString t = text.trimmed();
  if (t.isEmpty() || t.count(QLatin1Char(',')) != 2) return QString();
  return t.toCaseFolded();
}

// Key to state; the first record of a key wins.
class StateTable {
 public:
  void add(const QString& section, const QString& lot, const QString& grave, const QString& status) {
    const QString k = recordKey(section, lot, grave).toCaseFolded();
    if (!map_.contains(k)) map_.insert(k, status.trimmed());
  }
  QString state(const QString& cellText) const {
    const QString k = lookupKey(cellText);
    return k.isEmpty() ? QString() : map_.value(k);
  }
  int size() const { return int(map_.size()); }
  void reserve(int n) { map_.reserve(n); }

 private:
  QHash<QString, QString> map_;
};

}  // namespace MapKeys
