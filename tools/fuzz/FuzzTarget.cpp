#include "FuzzTarget.h"

#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace Fuzz {

std::map<std::string, Target>& targets() {
  static std::map<std::string, Target> all;
  return all;
}

void fail(const QString& what) {
#ifdef ZEL_LIBFUZZER
  std::fprintf(stderr, "fuzz target: %s\n", qPrintable(what));
  std::abort();
#else
  throw std::logic_error(what.toStdString());
#endif
}

QString scratch() {
  static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/zelfuzz-XXXXXX"));
  if (!dir.isValid()) fail(QStringLiteral("no scratch folder: ") + dir.errorString());
  return dir.path();
}

}  // namespace Fuzz
