#pragma once

#include <QLockFile>
#include <QString>

// The lock a data folder carries while the program runs on it or a command line changes its files,
// so that nothing replaces the files under a running program. It is released when this object
// ends; a lock left behind by a run that crashed is taken over.
class DataFolderLock {
 public:
  enum class State { Held, InUse, Unavailable };

  explicit DataFolderLock(const QString& dataPath);

  // Held: this process now holds it. InUse: another live process does (holder() says which).
  // Unavailable: no lock file can be made there (a missing or read-only folder; reason() says why).
  State claim();
  // "zelmora (process 1234)", with the machine's name when it is another one.
  QString holder() const;
  QString reason() const;

  // The lock file of a data folder.
  static QString fileName(const QString& dataPath);

 private:
  QLockFile lock_;
  QString path_;
};
