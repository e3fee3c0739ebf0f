#pragma once

#include <QApplication>
#include <exception>

// The program's application object. Commands catch their failures in guarded(); notify() is only
// the last resort for one that escaped: it is logged, the database is closed cleanly and the
// program ends, instead of going on after an exception crossed Qt's event code.
class ZelApplication : public QApplication {
  Q_OBJECT
 public:
  ZelApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

 signals:
  // notify() caught a failure that escaped its command and closed the database: the program is to
  // end with this code (main() ends it; test programs go on).
  void failureEnds(int exitCode);
};

// For a failure that ended the start or the event loop: shows the failure, closes the shared record
// sets and the connection, and gives the exit code.
int lastResort(const std::exception& e);
