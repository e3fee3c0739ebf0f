#include "core/folder/DateGuard.h"

#include <QLocale>

#include "core/program/Zel1.h"

namespace DateGuard {

QString FixShortDateFormat(const QString& pattern) {
  if (pattern.contains(QLatin1String("yyyy"))) return pattern;
  const qsizetype p = pattern.indexOf(QLatin1String("yy"));
  if (p < 0) return pattern;
  return pattern.left(p) + QLatin1String("yyyy") + pattern.mid(p + 2);
}

QString displayFormatFor(const QString& systemPattern) {
  if (systemPattern.isEmpty()) return QString();
  QString working = systemPattern.toLower();
  // The system pattern cannot be rewritten here, so the widening is applied to our copy once.
  if (!working.contains(QLatin1String("yyyy"))) working = FixShortDateFormat(working);
  const qsizetype lastY = working.lastIndexOf(QLatin1Char('y'));
  if (lastY >= 0) working.truncate(lastY + 1);
  if (working.startsWith(QLatin1Char('m'))) return QStringLiteral("mm-dd-yyyy");
  return QStringLiteral("dd-mm-yyyy");
}

QString systemShortDatePattern() { return QLocale::system().dateFormat(QLocale::ShortFormat); }

QString run(const QString& systemPattern) {
  ZEL1.DateDisplayFormat = displayFormatFor(systemPattern);
  if (!ZEL1.DateDisplayFormat.isEmpty()) ZEL1.cnData.setDateDisplayFormat(ZEL1.DateDisplayFormat);
  return ZEL1.DateDisplayFormat;
}

}  // namespace DateGuard
