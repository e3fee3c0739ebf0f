#pragma once

#include <QApplication>
#include <exception>
#include <functional>

// The program's application object. It is the last resort for a failure no command handled: the
// failure is shown, the database is closed cleanly and the program ends, instead of ending with
// a half-written database and no word to the user.
class ZelApplication : public QApplication {
 public:
  ZelApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Ends the program after a failure caught by notify(); tests replace it.
  std::function<void(int exitCode)> endProgram;
};

// Shows the failure, closes the shared record sets and the connection, and gives the exit code.
int lastResort(const std::exception& e);
