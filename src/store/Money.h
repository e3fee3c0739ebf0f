#pragma once

#include <QString>
#include <QtGlobal>
#include <compare>
#include <optional>

// Exact money: a fixed-point amount with four decimal places held as a scaled integer.
class Money {
 public:
  static constexpr qint64 kScale = 10000;

  constexpr Money() = default;
  static constexpr Money fromScaled(qint64 scaled) {
    Money m;
    m.scaled_ = scaled;
    return m;
  }
  static constexpr Money fromUnits(qint64 units) { return fromScaled(units * kScale); }

  // Reads "12", "-3.5", "1,234.56", "$7.25" (blanks, grouping commas and a leading currency
  // sign are ignored). More than four decimals round half away from zero. Nothing else is accepted.
  static std::optional<Money> parse(const QString& text);

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
  static Money fromDouble(double v);

  friend constexpr Money operator+(Money a, Money b) { return fromScaled(a.scaled_ + b.scaled_); }
  friend constexpr Money operator-(Money a, Money b) { return fromScaled(a.scaled_ - b.scaled_); }
  Money& operator+=(Money o) {
    scaled_ += o.scaled_;
    return *this;
  }
  Money& operator-=(Money o) {
    scaled_ -= o.scaled_;
    return *this;
  }
  friend constexpr auto operator<=>(Money a, Money b) = default;

 private:
  qint64 scaled_ = 0;
};
