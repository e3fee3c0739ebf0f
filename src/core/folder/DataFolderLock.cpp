#include "core/folder/DataFolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QSysInfo>
#include <cerrno>

DataFolderLock::DataFolderLock(const QString& dataPath)
    : lock_(fileName(dataPath)),
      path_(fileName(dataPath)),
      folder_(QFileInfo(fileName(dataPath)).absolutePath()) {
  lock_.setStaleLockTime(0);  // only a lock whose process is gone is stale, however old it is
}

DataFolderLock::~DataFolderLock() {
  if (folderHandle_ >= 0) ::close(folderHandle_);  // releases the advisory lock
}

QString DataFolderLock::fileName(const QString& dataPath) {
  QString p = dataPath;
  if (!p.endsWith(QLatin1Char('/'))) p += QLatin1Char('/');
  return p + QStringLiteral("zel.lock");
}

DataFolderLock::State DataFolderLock::claim() {
  bool advisory = false;
  if (folderHandle_ < 0) {
    folderHandle_ = ::open(QFile::encodeName(folder_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderHandle_ < 0) return State::Unavailable;
    if (::flock(folderHandle_, LOCK_EX | LOCK_NB) != 0) {
      const bool taken = errno == EWOULDBLOCK;
      ::close(folderHandle_);
      folderHandle_ = -1;
      if (taken) return State::InUse;
      // A file system without advisory locks: the lock file alone decides.
    } else {
      advisory = true;
    }
  } else {
    advisory = true;
  }
  if (lock_.isLocked() || lock_.tryLock(0)) return State::Held;
  if (lock_.error() == QLockFile::LockFailedError) {
    // A live holder of the lock file (an earlier version, or another machine on a shared folder).
    if (folderHandle_ >= 0) ::close(folderHandle_);
    folderHandle_ = -1;
    return State::InUse;
  }
  // The lock file cannot be written (a full disk, a read-only folder): the advisory lock holds.
  return advisory ? State::Held : State::Unavailable;
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
  const QFileInfo folder(folder_);
  if (!folder.isDir()) return QStringLiteral("the folder %1 does not exist").arg(folder.filePath());
  const QStorageInfo volume(folder_);
  if (volume.isValid() && volume.bytesAvailable() == 0)
    return QStringLiteral("the disk of %1 (%2) is full").arg(folder.filePath(), volume.rootPath());
  return QStringLiteral("the lock file %1 cannot be written").arg(path_);
}
