#pragma once

#include <QLockFile>
#include <QString>

// The lock a data folder carries while the program runs on it or a command line changes its files,
// so that nothing replaces the files under a running program. It is an advisory lock on the open
// folder itself, which removing a file cannot take away, with the lock file "zel.lock" beside the
// data naming the holder. It is released when this object ends; a lock left behind by a run that
// crashed is taken over.
class DataFolderLock {
 public:
  enum class State { Held, InUse, Unavailable };

  explicit DataFolderLock(const QString& dataPath);
  ~DataFolderLock();
  DataFolderLock(const DataFolderLock&) = delete;
  DataFolderLock& operator=(const DataFolderLock&) = delete;

  // Held: this process now holds it. InUse: another live process does (holder() says which).
  // Unavailable: the folder cannot be locked (a missing folder, or one where neither lock works;
  // reason() says why).
  State claim();
  // "zelmora (process 1234)", with the machine's name when it is another one; "another program"
  // when the lock file says nothing.
  QString holder() const;
  QString reason() const;

  // The lock file of a data folder.
  static QString fileName(const QString& dataPath);

 private:
  QLockFile lock_;
  QString path_;
  QString folder_;
  int folderHandle_ = -1;
};
