#include "core/store/Dialect.h"

#include <QRegularExpression>

#include "core/store/DateValue.h"

namespace Dialect {

namespace {

// A #...# literal: the text between the marks, read as a date in the display order.
QString dateLiteral(const QString& inner, const QString& fmt) {
  bool hasTime = false;
  QDateTime iso = DateValue::fromIso(inner, &hasTime);
  if (iso.isValid()) return u'\'' + DateValue::toIso(iso, hasTime) + u'\'';
  QString t = inner.trimmed();
  QString timePart;
  int sp = t.indexOf(u' ');
  if (sp > 0) {
    timePart = t.mid(sp + 1).trimmed();
    t = t.left(sp);
  }
  QDate d = DateValue::parseDisplay(t, fmt);
  if (!d.isValid()) {
    // Two-digit years are read as 19xx/20xx like the old engine did (window 1930-2029).
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2})[-/.](\\d{1,2})[-/.](\\d{2})$"));
    auto m = re.match(t);
    if (m.hasMatch()) {
      int y = m.captured(3).toInt();
      y += y < 30 ? 2000 : 1900;
      int a = m.captured(1).toInt(), b = m.captured(2).toInt();
      d = DateValue::isDayFirst(fmt) ? QDate(y, b, a) : QDate(y, a, b);
    }
  }
  if (!d.isValid()) return u'\'' + sqlQuote(inner) + u'\'';  // compares as text and matches nothing
  if (!timePart.isEmpty()) {
    QTime tm = QTime::fromString(timePart, QStringLiteral("H:mm:ss"));
    if (!tm.isValid()) tm = QTime::fromString(timePart, QStringLiteral("H:mm"));
    if (tm.isValid()) return u'\'' + DateValue::toIso(QDateTime(d, tm), true) + u'\'';
  }
  return u'\'' + DateValue::toIso(d) + u'\'';
}

}  // namespace

QString translate(const QString& sql, const QString& fmt) {
  QString out;
  out.reserve(sql.size() + 16);
  const int n = int(sql.size());
  for (int i = 0; i < n;) {
    QChar c = sql[i];
    if (c == u'\'') {
      int j = i + 1;
      while (j < n) {
        if (sql[j] == u'\'') {
          if (j + 1 < n && sql[j + 1] == u'\'') {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      out += sql.mid(i, std::min(j + 1, n) - i);
      i = j + 1;
    } else if (c == u'#') {
      int j = int(sql.indexOf(u'#', i + 1));
      if (j < 0) {
        out += sql.mid(i);
        break;
      }
      out += dateLiteral(sql.mid(i + 1, j - i - 1), fmt);
      i = j + 1;
    } else {
      out += c;
      ++i;
    }
  }

  static const QRegularExpression top(QStringLiteral("^(\\s*select\\s+(?:distinct\\s+)?)top\\s+(\\d+)\\s+"),
                                      QRegularExpression::CaseInsensitiveOption);
  auto m = top.match(out);
  if (m.hasMatch()) {
    QString rest = out.mid(m.capturedEnd(0));
    while (!rest.isEmpty() && (rest.back().isSpace() || rest.back() == u';')) rest.chop(1);
    out = m.captured(1) + rest + QStringLiteral(" limit ") + m.captured(2);
  }
  return out;
}

QString sqlQuote(const QString& text) {
  QString s = text;
  s.replace(u'\'', QStringLiteral("''"));
  return s;
}

}  // namespace Dialect
