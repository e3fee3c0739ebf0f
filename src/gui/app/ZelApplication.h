#pragma once

#include <QApplication>
#include <exception>
#include <functional>

// The program's application object. Commands catch their failures in guarded(); notify() is only
// the last resort for one that escaped: it is logged, the database is closed cleanly and the
// program ends, instead of going on after an exception crossed Qt's event code.
class ZelApplication : public QApplication {
 public:
  ZelApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Ends the program after a failure caught by notify(); tests replace it.
  std::function<void(int exitCode)> endProgram;
};

// For a failure that ended the start or the event loop: shows the failure, closes the shared record
// sets and the connection, and gives the exit code.
int lastResort(const std::exception& e);
