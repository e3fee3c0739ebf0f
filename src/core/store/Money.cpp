#include "core/store/Money.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {

// The old engine's "Overflow" error number.
constexpr int kOverflow = 6;

}  // namespace

MoneyOutOfRange::MoneyOutOfRange(const QString& amount)
    : DbError(kOverflow, QStringLiteral("The amount %1 is out of range.").arg(amount)) {}

std::optional<Money> Money::parse(const QString& input, ParseError* error) {
  auto refuse = [error](ParseError e) -> std::optional<Money> {
    if (error) *error = e;
    return std::nullopt;
  };
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
  // The digits are checked first and summed after, so that a text that is no amount at all is
  // never called out of range.
  const int intStart = i;
  while (i < t.size() && t[i].isDigit() && t[i].unicode() < 0x80) ++i;
  const int intEnd = i;
  int fracStart = i, fracEnd = i;
  if (i < t.size() && t[i] == u'.') {
    fracStart = fracEnd = ++i;
    while (i < t.size() && t[i].isDigit() && t[i].unicode() < 0x80) ++i;
    fracEnd = i;
  }
  if (i != t.size() || (intEnd == intStart && fracEnd == fracStart)) return refuse(ParseError::NotAnAmount);

  qint64 scaled = 0;
  for (int k = intStart; k < intEnd; ++k) {
    if (__builtin_mul_overflow(scaled, qint64(10), &scaled) ||
        __builtin_add_overflow(scaled, qint64(t[k].digitValue()), &scaled))
      return refuse(ParseError::OutOfRange);
  }
  if (__builtin_mul_overflow(scaled, kScale, &scaled)) return refuse(ParseError::OutOfRange);
  qint64 frac = 0;
  for (int k = 0; k < 4; ++k) {
    const int pos = fracStart + k;
    frac = frac * 10 + (pos < fracEnd ? t[pos].digitValue() : 0);
  }
  if (fracEnd - fracStart > 4 && t[fracStart + 4].digitValue() >= 5) ++frac;
  if (__builtin_add_overflow(scaled, frac, &scaled)) return refuse(ParseError::OutOfRange);
  return fromScaled(negative ? -scaled : scaled);
}

QString Money::parseMessage(const QString& text, ParseError error) {
  if (error == ParseError::OutOfRange) return MoneyOutOfRange(text.trimmed()).description();
  return QStringLiteral("%1 is not an amount.").arg(text.trimmed());
}

QString Money::toString(int decimals) const {
  decimals = std::clamp(decimals, 0, 4);
  quint64 div = 1;
  for (int k = decimals; k < 4; ++k) div *= 10;
  const quint64 a = scaled_ < 0 ? quint64(-scaled_) : quint64(scaled_);
  // Round half away from zero to the wanted decimals; unsigned, so the largest amount cannot wrap.
  const quint64 r = a / div + (div > 1 && a % div >= div / 2 ? 1 : 0);
  quint64 pow = 1;
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

Money Money::fromDouble(double v) {
  const double scaled = std::round(v * double(kScale));
  // 2^63 is exactly representable; every double below it converts without overflow.
  if (!std::isfinite(scaled) || scaled >= 9223372036854775808.0 || scaled <= -9223372036854775808.0)
    throw MoneyOutOfRange(QString::number(v, 'g', QLocale::FloatingPointShortest));
  return fromScaled(qint64(scaled));
}

Money& Money::operator+=(Money o) {
  qint64 r = 0;
  if (__builtin_add_overflow(scaled_, o.scaled_, &r) || r < -kMaxScaled)
    throw MoneyOutOfRange(toPlainString() + QStringLiteral(" + ") + o.toPlainString());
  scaled_ = r;
  return *this;
}

Money& Money::operator-=(Money o) {
  qint64 r = 0;
  if (__builtin_sub_overflow(scaled_, o.scaled_, &r) || r < -kMaxScaled)
    throw MoneyOutOfRange(toPlainString() + QStringLiteral(" - ") + o.toPlainString());
  scaled_ = r;
  return *this;
}
