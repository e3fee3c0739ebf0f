#include "app/StartupRules.h"

namespace StartupRules {

QString dataPathFrom(const QString& commandLine, const QString& programFolder) {
  QString path = commandLine.isEmpty() ? programFolder : commandLine;
  if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
  return path;
}

QString FontSizeName(int fontHeightPixels) {
  return fontHeightPixels > 16 ? QStringLiteral("Large Fonts") : QStringLiteral("Small Fonts");
}

bool screenTooSmall(int screenWidthPixels, int fontHeightPixels) {
  if (screenWidthPixels < 800) return true;
  return screenWidthPixels == 800 && FontSizeName(fontHeightPixels) == QLatin1String("Large Fonts");
}

QString errorReport(int number, const QString& description, const QString& stepMarker) {
  return QString::number(number) + QStringLiteral("\n\n") + description + QStringLiteral("\n\n") + stepMarker;
}

}  // namespace StartupRules
