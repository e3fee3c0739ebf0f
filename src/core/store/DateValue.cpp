#include "core/store/DateValue.h"

#include <QHash>
#include <QRegularExpression>

namespace DateValue {

QString toIso(const QDate& d) { return d.isValid() ? d.toString(QStringLiteral("yyyy-MM-dd")) : QString(); }

QString toIso(const QDateTime& dt, bool withTime) {
  if (!dt.isValid()) return {};
  return withTime ? dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : toIso(dt.date());
}

namespace {

// The digits of text[at, at + n) as a number; -1 unless all are digits.
int digits(QStringView text, qsizetype at, qsizetype n) {
  int v = 0;
  for (qsizetype i = at; i < at + n; ++i) {
    const char16_t c = text[i].unicode();
    if (c < u'0' || c > u'9') return -1;
    v = v * 10 + (c - u'0');
  }
  return v;
}

// Midnight of a day in local time. Making one asks the C library for the time zone, which reads the
// zone's file each time; a report reads a million dates over a few thousand days, so each day is
// made once per thread (and made again once many days were kept).
QDateTime midnight(const QDate& d) {
  thread_local QHash<qint64, QDateTime> days;
  if (days.size() > 100000) days.clear();
  auto it = days.constFind(d.toJulianDay());
  if (it != days.constEnd()) return *it;
  return *days.insert(d.toJulianDay(), QDateTime(d, QTime(0, 0)));
}

}  // namespace

QDateTime fromIso(const QString& text, bool* hasTime) {
  if (hasTime) *hasTime = false;
  // The stored form, "YYYY-MM-DD", read without the pattern below.
  if (text.size() == 10 && text[4] == u'-' && text[7] == u'-') {
    const int y = digits(text, 0, 4), m = digits(text, 5, 2), day = digits(text, 8, 2);
    if (y >= 0 && m >= 0 && day >= 0) {
      const QDate d(y, m, day);
      return d.isValid() ? midnight(d) : QDateTime();
    }
  }
  static const QRegularExpression re(
      QStringLiteral("^\\s*(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:[ T](\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?\\s*$"));
  auto m = re.match(text);
  if (!m.hasMatch()) return {};
  QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  if (!d.isValid()) return {};
  if (!m.hasCaptured(4) || m.captured(4).isEmpty()) return midnight(d);
  const QTime t(m.captured(4).toInt(), m.captured(5).toInt(),
                m.captured(6).isEmpty() ? 0 : m.captured(6).toInt());
  if (!t.isValid()) return {};
  if (hasTime) *hasTime = true;
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
  const bool dayFirst = isDayFirst(displayFormat);
  if (d.year() < 1000 || d.year() > 9999)
    return d.toString(dayFirst ? QStringLiteral("dd-MM-yyyy") : QStringLiteral("MM-dd-yyyy"));
  // Written by hand: a report writes a million of them, and a pattern is read anew for each.
  QString s(10, Qt::Uninitialized);
  QChar* p = s.data();
  auto put = [&p](int v, int n) {
    for (int i = n - 1; i >= 0; --i, v /= 10) p[i] = QChar(u'0' + v % 10);
    p += n;
  };
  put(dayFirst ? d.day() : d.month(), 2);
  *p++ = u'-';
  put(dayFirst ? d.month() : d.day(), 2);
  *p++ = u'-';
  put(d.year(), 4);
  return s;
}

}  // namespace DateValue
