#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>

class QFile;

// What the command line prints: data to standard output, messages to standard error, progress and
// success messages only when standard error is a terminal (a scheduled run stays quiet unless
// something went wrong).
namespace Console {

// A failure of the work: the text names the file and the reason. The command changed nothing.
class Failure : public std::runtime_error {
 public:
  explicit Failure(const QString& text) : std::runtime_error(text.toStdString()), text(text) {}
  QString text;
};
[[noreturn]] void fail(const QString& text);

bool errorIsTerminal();
void error(const QString& text);  // "zelmora-cli: " and the text, always
void note(const QString& text);   // on a terminal only
void print(const QString& text);  // a line of the command's own output on standard output

// Opens standard output as a device for data.
bool openStandardOutput(QFile& out);

// "Backing up  42%" on one line of the terminal, rewritten as the work goes on and cleared at the end.
class Progress {
 public:
  explicit Progress(const QString& label);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  void operator()(double fraction);
  // Takes the line off the terminal (messages do this before they are written).
  void clear();

 private:
  QByteArray label_;
  int shown_ = -1;
};

}  // namespace Console
