#pragma once

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QString>

// For its lifetime, file access as an ordinary user: run as root, the tests would otherwise write
// through every read-only permission they set up. Nothing changes for a test run by a user.
class OrdinaryUser {
 public:
  OrdinaryUser() : root_(geteuid() == 0) {
    if (!root_) return;
    setfsgid(65534);
    setfsuid(65534);
  }
  ~OrdinaryUser() {
    if (!root_) return;
    setfsuid(0);
    setfsgid(0);
  }
  OrdinaryUser(const OrdinaryUser&) = delete;
  OrdinaryUser& operator=(const OrdinaryUser&) = delete;

 private:
  bool root_;
};

// Sets a file's or folder's permission bits (0555, 0666, ...).
inline void chmodTo(const QString& path, mode_t mode) { ::chmod(QFile::encodeName(path).constData(), mode); }
