#include "program/Zel2.h"

#include "store/Dialect.h"

namespace ZEL2 {

QString SqlQuote(const QString& text) { return Dialect::sqlQuote(text); }

QString versionText() {
  return QStringLiteral("%1.%2.%3").arg(ZEL_VERSION_MAJOR).arg(ZEL_VERSION_MINOR).arg(ZEL_VERSION_PATCH);
}

}  // namespace ZEL2
