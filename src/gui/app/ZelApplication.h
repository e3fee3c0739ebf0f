#pragma once

#include <QApplication>
#include <exception>

// The program's application object. It is the last resort for a failure no command handled: the
// failure is shown, the database is closed cleanly and the program ends, instead of ending with
// a half-written database and no word to the user.
class ZelApplication : public QApplication {
  Q_OBJECT
 public:
  ZelApplication(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

 signals:
  // notify() caught a failure and closed the database: the program is to end with this code
  // (main() ends it; test programs go on).
  void failureEnds(int exitCode);
};

// Shows the failure, closes the shared record set and the connection, and gives the exit code.
int lastResort(const std::exception& e);
