#pragma once

#include <QDateTime>
#include <QString>
#include <variant>

#include "core/store/Money.h"

// One field's value as read from or written to the database. Null is a value of its own.
class Value {
 public:
  enum class Type { Null, Integer, Real, Text, Money, Date };

  Value() = default;  // Null
  Value(qint64 v) : data_(v) {}
  Value(int v) : data_(qint64(v)) {}
  Value(double v) : data_(v) {}
  Value(const QString& v) : data_(v) {}
  Value(const char* v) : data_(QString::fromUtf8(v)) {}
  Value(::Money v) : data_(v) {}
  Value(const QDate& d) : data_(DateTime{QDateTime(d, QTime(0, 0)), false}) {}
  Value(const QDateTime& dt, bool hasTime) : data_(DateTime{dt, hasTime}) {}
  static Value null() { return Value(); }

  Type type() const { return Type(data_.index()); }
  bool isNull() const { return type() == Type::Null; }
  bool isDate() const { return type() == Type::Date; }
  bool hasTime() const { return isDate() && std::get<DateTime>(data_).hasTime; }

  // Null gives "", numbers their plain text ("12", "2.5"), money two decimals, dates ISO text.
  QString toString() const;
  // Numbers truncated; text read as far as it is a number; else 0. A number beyond the 64-bit
  // range throws DbError ("out of range") instead of wrapping.
  qint64 toInt() const;
  double toDouble() const;
  // Numbers (whole units) and numeric text converted exactly; else 0. An amount beyond Money's
  // range throws MoneyOutOfRange.
  ::Money toMoney() const;
  QDate toDate() const;  // invalid unless a date
  QDateTime toDateTime() const;

  friend bool operator==(const Value& a, const Value& b);

 private:
  struct DateTime {
    QDateTime dt;
    bool hasTime = false;
    bool operator==(const DateTime&) const = default;
  };
  std::variant<std::monostate, qint64, double, QString, ::Money, DateTime> data_;
};

// The leading number of a text, read as far as it forms a number (blanks skipped); 0 when none.
double leadingNumber(const QString& text);
