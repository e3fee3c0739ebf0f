#include "app/DataFolderLock.h"

#include <QFileInfo>
#include <QSysInfo>

DataFolderLock::DataFolderLock(const QString& dataPath)
    : lock_(fileName(dataPath)), path_(fileName(dataPath)) {
  lock_.setStaleLockTime(0);  // only a lock whose process is gone is stale, however old it is
}

QString DataFolderLock::fileName(const QString& dataPath) {
  QString p = dataPath;
  if (!p.endsWith(QLatin1Char('/'))) p += QLatin1Char('/');
  return p + QStringLiteral("zel.lock");
}

DataFolderLock::State DataFolderLock::claim() {
  if (lock_.tryLock(0)) return State::Held;
  return lock_.error() == QLockFile::LockFailedError ? State::InUse : State::Unavailable;
}

QString DataFolderLock::holder() const {
  qint64 pid = 0;
  QString host, app;
  if (!lock_.getLockInfo(&pid, &host, &app)) return QStringLiteral("another program");
  QString who =
      QStringLiteral("%1 (process %2").arg(app.isEmpty() ? QStringLiteral("a program") : app).arg(pid);
  if (!host.isEmpty() && host != QSysInfo::machineHostName()) who += QStringLiteral(" on %1").arg(host);
  return who + QLatin1Char(')');
}

QString DataFolderLock::reason() const {
  const QFileInfo folder(QFileInfo(path_).absolutePath());
  if (!folder.isDir()) return QStringLiteral("the folder %1 does not exist").arg(folder.filePath());
  return QStringLiteral("the lock file %1 cannot be written").arg(path_);
}
