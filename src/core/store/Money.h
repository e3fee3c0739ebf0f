#pragma once

#include <QString>
#include <QtGlobal>
#include <compare>
#include <limits>
#include <optional>

#include "core/store/DbError.h"

// An amount that Money cannot hold. It is a DbError so that every command that reports the
// store's failures reports this one too, instead of going on with a wrapped number.
class MoneyOutOfRange : public DbError {
 public:
  explicit MoneyOutOfRange(const QString& amount);
};

// Exact money: a fixed-point amount with four decimal places held as a scaled integer. Every
// amount lies within +-kMaxScaled, so it can always be negated and printed; whatever would leave
// that range (parsing, conversion, arithmetic) is refused, never wrapped.
class Money {
 public:
  static constexpr qint64 kScale = 10000;
  static constexpr qint64 kMaxScaled = std::numeric_limits<qint64>::max();

  constexpr Money() = default;
  static constexpr Money fromScaled(qint64 scaled) {
    if (scaled < -kMaxScaled) throw MoneyOutOfRange(QString::number(scaled) + QStringLiteral("/10000"));
    Money m;
    m.scaled_ = scaled;
    return m;
  }
  static constexpr Money fromUnits(qint64 units) {
    qint64 scaled = 0;
    if (__builtin_mul_overflow(units, kScale, &scaled)) throw MoneyOutOfRange(QString::number(units));
    return fromScaled(scaled);
  }
  // Throws MoneyOutOfRange for amounts beyond the range, infinities and NaN.
  static Money fromDouble(double v);

  enum class ParseError { NotAnAmount, OutOfRange };
  // Reads "12", "-3.5", "1,234.56", "$7.25" (blanks, grouping commas and a leading currency
  // sign are ignored). More than four decimals round half away from zero. Nothing else is
  // accepted; an amount beyond the range is refused as out of range.
  static std::optional<Money> parse(const QString& text, ParseError* error = nullptr);
  // The message for a refused text, e.g. "The amount 922337203685479 is out of range."
  static QString parseMessage(const QString& text, ParseError error);

  constexpr qint64 scaled() const { return scaled_; }
  bool isZero() const { return scaled_ == 0; }

  // Fixed number of decimals, e.g. 2 gives "1234.50"; no grouping.
  QString toString(int decimals = 2) const;
  // Shortest exact text: no trailing zeros, a point as separator ("12.5", "7", "-0.25").
  QString toPlainString() const;
  // Two decimals with thousands grouping, for printouts and reports ("1,234.50").
  QString toDisplayString() const;

  // Nearest floating value; only for display widgets that need one, never for arithmetic.
  double toDouble() const { return double(scaled_) / double(kScale); }

  friend Money operator+(Money a, Money b) { return a += b; }
  friend Money operator-(Money a, Money b) { return a -= b; }
  Money& operator+=(Money o);
  Money& operator-=(Money o);
  friend constexpr auto operator<=>(Money a, Money b) = default;

 private:
  qint64 scaled_ = 0;
};
