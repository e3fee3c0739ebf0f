#include "core/store/DateValue.h"

#include <QRegularExpression>

namespace DateValue {

QString toIso(const QDate& d) { return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd")) : QString(); }

QString toIso(const QDateTime& dt, bool withTime) {
  if (!dt.isValid()) return {};
  return withTime ? dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : toIso(dt.date());
}

QDateTime fromIso(const QString& text, bool* hasTime) {
  static const QRegularExpression re(
      QStringLiteral("^\\s*(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:[ T](\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?\\s*$"));
  if (hasTime) *hasTime = false;
  auto m = re.match(text);
  if (!m.hasMatch()) return {};
  QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  if (!d.isValid()) return {};
  QTime t(0, 0);
  if (m.hasCaptured(4) && !m.captured(4).isEmpty()) {
    t = QTime(m.captured(4).toInt(), m.captured(5).toInt(),
              m.captured(6).isEmpty() ? 0 : m.captured(6).toInt());
    if (!t.isValid()) return {};
    if (hasTime) *hasTime = true;
  }
  return QDateTime(d, t);
}

bool isDayFirst(const QString& displayFormat) { return displayFormat.startsWith(u'd', Qt::CaseInsensitive); }

QDate parseDisplay(const QString& text, const QString& displayFormat) {
  static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,2})[-/.](\\d{1,2})[-/.](\\d{4})\\s*$"));
  auto m = re.match(text);
  if (!m.hasMatch()) return {};
  int a = m.captured(1).toInt(), b = m.captured(2).toInt(), y = m.captured(3).toInt();
  return isDayFirst(displayFormat) ? QDate(y, b, a) : QDate(y, a, b);
}

QString formatDisplay(const QDate& d, const QString& displayFormat) {
  if (!d.isValid()) return {};
  return d.toString(isDayFirst(displayFormat) ? QStringLiteral("dd-MM-yyyy") : QStringLiteral("MM-dd-yyyy"));
}

}  // namespace DateValue
