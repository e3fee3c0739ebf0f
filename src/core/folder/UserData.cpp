#include "core/folder/UserData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/store/DbError.h"

#ifndef ZEL_INSTALLED_SEED
#define ZEL_INSTALLED_SEED "../share/zelmora"
#endif

namespace UserData {

namespace {

bool isDocument(const QString& name) {
  return name == QLatin1String("zel6.hlp") || name == QLatin1String("zl-tutor.html");
}

bool sameContents(const QString& a, const QString& b) {
  QFile fa(a), fb(b);
  if (fa.size() != fb.size() || !fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly)) return false;
  return fa.readAll() == fb.readAll();
}

void copyFile(const QString& from, const QString& to) {
  if (QFileInfo::exists(to) && !QFile::remove(to))
    throw DbError(DbError::IoErr, 0, QStringLiteral("Could not replace '%1'.").arg(to));
  QFile source(from);
  if (!source.copy(to))
    throw DbError(DbError::IoErr, 0,
                  QStringLiteral("Could not copy '%1' to '%2': %3").arg(from, to, source.errorString()));
}

}  // namespace

QString installedSeedFolder(const QString& programFolder) {
  const QString seed = QDir::cleanPath(QDir(programFolder).filePath(QStringLiteral(ZEL_INSTALLED_SEED)));
  return QFileInfo::exists(seed + QStringLiteral("/zeldemo.mdb")) ? seed : QString();
}

QString prepare(const QString& folder, const QString& seedFolder) {
  if (!QDir().mkpath(folder))
    throw DbError(DbError::IoErr, 0, QStringLiteral("Could not make the data folder '%1'.").arg(folder));
  const QDir data(folder);
  const bool firstStart =
      !data.exists(QStringLiteral("zel.mdb")) && !data.exists(QStringLiteral("zeldemo.mdb"));
  const QDir seed(seedFolder);
  for (const QString& name : seed.entryList(QDir::Files)) {
    const QString from = seed.filePath(name);
    const QString to = data.filePath(name);
    if (isDocument(name) ? !sameContents(from, to) : firstStart && !QFileInfo::exists(to)) copyFile(from, to);
  }
  QString path = data.absolutePath();
  if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
  return path;
}

}  // namespace UserData
