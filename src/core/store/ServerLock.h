#pragma once

#include <QString>

class Connection;

// The server's advisory locks on a data set, in place of the lock file a data folder on this
// computer carries. Every program and command connected to the records holds the shared lock for as
// long as its connection lives; a command that needs the whole data set alone (an import that
// empties first, a restore) takes the exclusive one, granted only while no other connection holds
// either. The server lets them go with the connection, however the program ends. Nothing here
// applies to a file: each call does nothing there (tryExclusive grants).
namespace ServerLock {

// Held until the connection closes. Refused (DbError Busy) while a command has the records alone.
void holdShared(Connection& cn);
// Takes the exclusive lock, waiting for nobody: 0 when taken, else how many other connections hold
// the shared or the exclusive lock now (the lock is not taken).
int tryExclusive(Connection& cn);
void releaseExclusive(Connection& cn);
// How many other connections hold the data set's locks.
int othersConnected(Connection& cn);
// "Another clerk is" / "3 other clerks are" connected ...: why a command that needs the records alone
// was refused.
QString othersText(int others);
// Until the current transaction ends, this connection alone writes changes and their history: the
// history's entries follow each other in one chain.
void serializeChanges(Connection& cn);

// The exclusive lock for as long as it lives, for a command that needs the records alone; on a
// file it holds nothing (the folder's lock file does that). Refused while others are connected: it
// throws DbError (Busy) saying how many, and that nothing was changed.
class Alone {
 public:
  // command: what needs the records alone, as the start of a sentence ("An import that empties the
  // records first").
  Alone(Connection& cn, const QString& command);
  ~Alone();
  Alone(const Alone&) = delete;
  Alone& operator=(const Alone&) = delete;

 private:
  Connection& cn_;
};

}  // namespace ServerLock
