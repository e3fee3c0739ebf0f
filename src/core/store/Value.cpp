#include "core/store/Value.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

#include "core/store/DateValue.h"

QString Value::toString() const {
  switch (type()) {
    case Type::Null:
      return {};
    case Type::Integer:
      return QString::number(std::get<qint64>(data_));
    case Type::Real: {
      double d = std::get<double>(data_);
      if (std::trunc(d) == d && std::fabs(d) < 1e15) return QString::number(qint64(d));
      return QString::number(d, 'g', 15);
    }
    case Type::Text:
      return std::get<QString>(data_);
    case Type::Money:
      return std::get<::Money>(data_).toString(2);
    case Type::Date: {
      const auto& d = std::get<DateTime>(data_);
      return DateValue::toIso(d.dt, d.hasTime);
    }
  }
  return {};
}

namespace {

qint64 truncated(double d) {
  // 2^63 is exactly representable; every double strictly inside +-2^63 converts without overflow.
  if (!std::isfinite(d) || d >= 9223372036854775808.0 || d <= -9223372036854775808.0)
    throw DbError(6, QStringLiteral("The number %1 is out of range.")
                         .arg(QString::number(d, 'g', QLocale::FloatingPointShortest)));
  return qint64(d);
}

}  // namespace

qint64 Value::toInt() const {
  switch (type()) {
    case Type::Integer:
      return std::get<qint64>(data_);
    case Type::Real:
      return truncated(std::get<double>(data_));
    case Type::Text:
      return truncated(leadingNumber(std::get<QString>(data_)));
    case Type::Money:
      return std::get<::Money>(data_).scaled() / ::Money::kScale;
    default:
      return 0;
  }
}

double Value::toDouble() const {
  switch (type()) {
    case Type::Integer:
      return double(std::get<qint64>(data_));
    case Type::Real:
      return std::get<double>(data_);
    case Type::Text:
      return leadingNumber(std::get<QString>(data_));
    case Type::Money:
      return std::get<::Money>(data_).toDouble();
    default:
      return 0;
  }
}

::Money Value::toMoney() const {
  switch (type()) {
    case Type::Integer:
      return ::Money::fromUnits(std::get<qint64>(data_));
    case Type::Real:
      return ::Money::fromDouble(std::get<double>(data_));
    case Type::Text: {
      const QString& t = std::get<QString>(data_);
      ::Money::ParseError error{};
      if (auto m = ::Money::parse(t, &error)) return *m;
      if (error == ::Money::ParseError::OutOfRange) throw MoneyOutOfRange(t.trimmed());
      return {};
    }
    case Type::Money:
      return std::get<::Money>(data_);
    default:
      return {};
  }
}

QDate Value::toDate() const { return isDate() ? std::get<DateTime>(data_).dt.date() : QDate(); }
QDateTime Value::toDateTime() const { return isDate() ? std::get<DateTime>(data_).dt : QDateTime(); }

bool operator==(const Value& a, const Value& b) { return a.data_ == b.data_; }

double leadingNumber(const QString& text) {
  static const QRegularExpression re(
      QStringLiteral("^\\s*([-+]?\\s*(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][-+]?\\d+)?)"));
  auto m = re.match(text);
  if (!m.hasMatch()) return 0;
  QString n = m.captured(1);
  n.remove(u' ');
  bool ok = false;
  double d = n.toDouble(&ok);
  return ok ? d : 0;
}
