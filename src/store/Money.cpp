#include "store/Money.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::optional<Money> Money::parse(const QString& input) {
  QString t;
  t.reserve(input.size());
  for (QChar c : input) {
    if (c.isSpace() || c == u',') continue;
    t.append(c);
  }
  bool negative = false;
  int i = 0;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
    negative = t[i] == u'-';
    ++i;
  }
  if (i < t.size() && t[i] == u'$') ++i;
  if (i < t.size() && t[i] == u'-' && !negative) {
    negative = true;
    ++i;
  }
  qint64 units = 0;
  int intDigits = 0;
  for (; i < t.size() && t[i].isDigit(); ++i) {
    if (units > (std::numeric_limits<qint64>::max() / kScale) / 10) return std::nullopt;
    units = units * 10 + t[i].digitValue();
    ++intDigits;
  }
  qint64 frac = 0;
  int fracDigits = 0;
  bool roundUp = false;
  if (i < t.size() && t[i] == u'.') {
    ++i;
    for (; i < t.size() && t[i].isDigit(); ++i) {
      if (fracDigits < 4) {
        frac = frac * 10 + t[i].digitValue();
        ++fracDigits;
      } else if (fracDigits == 4) {
        roundUp = t[i].digitValue() >= 5;
        ++fracDigits;
      }
    }
  }
  if (i != t.size() || (intDigits == 0 && fracDigits == 0)) return std::nullopt;
  for (int k = std::min(fracDigits, 4); k < 4; ++k) frac *= 10;
  qint64 scaled = units * kScale + frac + (roundUp ? 1 : 0);
  return fromScaled(negative ? -scaled : scaled);
}

QString Money::toString(int decimals) const {
  decimals = std::clamp(decimals, 0, 4);
  qint64 div = 1;
  for (int k = decimals; k < 4; ++k) div *= 10;
  qint64 a = scaled_ < 0 ? -scaled_ : scaled_;
  // Round half away from zero to the wanted decimals.
  qint64 r = (a + div / 2) / div;
  qint64 pow = 1;
  for (int k = 0; k < decimals; ++k) pow *= 10;
  QString s = QString::number(r / pow);
  if (decimals > 0) s += u'.' + QString::number(r % pow).rightJustified(decimals, u'0');
  if (scaled_ < 0 && r != 0) s.prepend(u'-');
  return s;
}

QString Money::toPlainString() const {
  QString s = toString(4);
  if (s.contains(u'.')) {
    while (s.endsWith(u'0')) s.chop(1);
    if (s.endsWith(u'.')) s.chop(1);
  }
  if (s == u"-0") s = QStringLiteral("0");
  return s;
}

QString Money::toDisplayString() const {
  QString s = toString(2);
  bool neg = s.startsWith(u'-');
  if (neg) s.remove(0, 1);
  int dot = s.indexOf(u'.');
  for (int p = dot - 3; p > 0; p -= 3) s.insert(p, u',');
  return neg ? u'-' + s : s;
}

Money Money::fromDouble(double v) { return fromScaled(qint64(std::llround(v * double(kScale)))); }
