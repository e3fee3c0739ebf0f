// Money and date parsing: any text is read as an amount or a date or refused, never wrapped; what is
// read prints and reads back as itself; conversions and sums refuse what Money cannot hold.
#include <cmath>
#include <cstring>

#include "FuzzTarget.h"
#include "core/store/DateValue.h"
#include "core/store/Money.h"
#include "core/store/RecordFields.h"
#include "core/store/Value.h"

namespace {

void amounts(const QString& text) {
  Money::ParseError why{};
  const std::optional<Money> m = Money::parse(text, &why);
  if (!m) {
    Fuzz::require(!Money::parseMessage(text, why).isEmpty(), "a refused amount gives its reason");
    return;
  }
  // Fewer decimals round, and may round past the largest amount; four print it exactly.
  for (int d = 0; d < 4; ++d) (void)Money::parse(m->toString(d));
  Fuzz::require(Money::parse(m->toString(4)) == m, "four decimals print an amount exactly");
  Fuzz::require(Money::parse(m->toPlainString()) == m, "the plain text of an amount reads back exactly");
  Fuzz::require(Money::parse(m->toDisplayString()) == Money::parse(m->toString(2)),
                "the grouped text of an amount is its two-decimal text");
}

void values(const QString& text) {
  const Value v(text);
  try {
    const qint64 n = v.toInt();
    const double d = leadingNumber(text);
    Fuzz::require(std::fabs(double(n) - std::trunc(d)) <= std::fabs(d) * 1e-15 + 1,
                  "a text's whole number is its leading number truncated");
  } catch (const DbError& e) {
    Fuzz::require(e.description().contains(QStringLiteral("out of range")),
                  "toInt refuses only what is out of range");
  }
  try {
    (void)v.toMoney();
  } catch (const MoneyOutOfRange&) {
  }
  for (const RecordFields::Field& f : RecordFields::all()) {
    const std::optional<Value> converted = RecordFields::fromText(f, text, QStringLiteral("mm-dd-yyyy"));
    if (converted && f.kind == RecordFields::Kind::Money) {
      const Money limit = Money::fromUnits(f.max);
      const Money m = converted->toMoney();
      Fuzz::require(m <= limit && Money() - limit <= m, "an amount typed into a field is within its range");
    }
    if (converted && f.kind == RecordFields::Kind::Number)
      Fuzz::require(converted->toInt() >= 0 && converted->toInt() <= f.max,
                    "a number is within its field's range");
  }
}

void dates(const QString& text) {
  bool hasTime = false;
  const QDateTime iso = DateValue::fromIso(text, &hasTime);
  if (iso.isValid()) {
    bool again = false;
    Fuzz::require(DateValue::fromIso(DateValue::toIso(iso, hasTime), &again) == iso && again == hasTime,
                  "a stored date reads back as itself");
  }
  for (const QString& pattern : {QStringLiteral("mm-dd-yyyy"), QStringLiteral("dd-mm-yyyy")}) {
    const QDate d = DateValue::parseDisplay(text, pattern);
    if (d.isValid())
      Fuzz::require(DateValue::parseDisplay(DateValue::formatDisplay(d, pattern), pattern) == d,
                    "a shown date reads back as itself");
  }
}

// Eight bytes as a number of each kind, through the conversions and the sums.
void numbers(Fuzz::Input& in) {
  qint64 a = 0, b = 0;
  double x = 0;
  if (in.n < 24) return;
  // Byte by byte: the compiler cannot prove a copied block long enough.
  const auto eight = [&in] {
    quint64 v = 0;
    for (int i = 0; i < 8; ++i) v |= quint64(in.byte()) << (8 * i);
    return v;
  };
  a = qint64(eight());
  b = qint64(eight());
  const quint64 bits = eight();
  std::memcpy(&x, &bits, sizeof x);
  auto refused = [](const std::function<void()>& f) {
    try {
      f();
    } catch (const MoneyOutOfRange&) {
      return true;
    }
    return false;
  };
  Money ma, mb;
  const bool aIn = !refused([&] { ma = Money::fromScaled(a); });
  const bool bIn = !refused([&] { mb = Money::fromScaled(b); });
  Fuzz::require(aIn == (a > std::numeric_limits<qint64>::min()), "only the lowest scaled value is refused");
  refused([&] { Fuzz::require(Money::fromUnits(a).scaled() / Money::kScale == a, "whole units are exact"); });
  if (aIn && bIn) {
    Money sum;
    if (!refused([&] { sum = ma + mb; })) Fuzz::require(sum - mb == ma, "a sum takes back what was added");
    Money diff;
    if (!refused([&] { diff = ma - mb; })) Fuzz::require(diff + mb == ma, "a difference adds back");
    Fuzz::require(Money::parse(ma.toPlainString()) == ma, "the plain text of any amount reads back");
  }
  Money fx;
  if (!refused([&] { fx = Money::fromDouble(x); }))
    Fuzz::require(std::fabs(fx.toDouble() - x) <= std::fabs(x) * 1e-12 + 0.00005 + 1e-9,
                  "an amount from a floating value is that value rounded");
  else
    Fuzz::require(!std::isfinite(x) || std::fabs(x) * double(Money::kScale) >= 9.2e18,
                  "only floating values beyond the range are refused");
  try {
    (void)Value(x).toInt();
  } catch (const DbError&) {
    Fuzz::require(!std::isfinite(x) || std::fabs(x) >= 9.2e18, "only numbers beyond the range are refused");
  }
  (void)RecordFields::wholeNumberText(Value(x));
}

}  // namespace

ZEL_FUZZ_TARGET(money_date) {
  Fuzz::Input in{data, size};
  const uint8_t choice = in.byte();
  if (choice & 1) numbers(in);
  const QByteArray rest = in.rest();
  const QString text = (choice & 2) ? QString::fromLatin1(rest) : QString::fromUtf8(rest);
  amounts(text);
  values(text);
  dates(text);
  return 0;
}
