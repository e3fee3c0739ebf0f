#include "program/Zel2.h"

#include <QDir>
#include <QSettings>

#include "store/Dialect.h"

namespace ZEL2 {

QString SqlQuote(const QString& text) { return Dialect::sqlQuote(text); }

QString versionText() {
  return QStringLiteral("%1.%2.%3").arg(ZEL_VERSION_MAJOR).arg(ZEL_VERSION_MINOR).arg(ZEL_VERSION_PATCH);
}

QString writeSettings(QSettings& settings) {
  settings.sync();
  // A format error is about reading the earlier file; only a failed write is one here.
  if (settings.status() != QSettings::AccessError) return {};
  return QStringLiteral("The settings could not be written to %1.")
      .arg(QDir::toNativeSeparators(settings.fileName()));
}

}  // namespace ZEL2
