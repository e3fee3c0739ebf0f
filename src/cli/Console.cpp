#include "cli/Console.h"

#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Console {

void fail(const QString& text) { throw Failure(text); }

bool errorIsTerminal() {
  static const bool terminal = isatty(STDERR_FILENO) == 1;
  return terminal;
}

void error(const QString& text) {
  std::fflush(stdout);
  std::fprintf(stderr, "zelmora-cli: %s\n", text.toLocal8Bit().constData());
  std::fflush(stderr);
}

void note(const QString& text) {
  if (!errorIsTerminal()) return;
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void print(const QString& text) { std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData()); }

bool openStandardOutput(QFile& out) {
  std::fflush(stdout);
  return out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
}

Progress::Progress(const QString& label) : label_(label.toLocal8Bit()) {}

Progress::~Progress() {
  if (shown_ < 0) return;
  // Clears the line for what comes next.
  std::fprintf(stderr, "\r%*s\r", int(label_.size()) + 6, "");
  std::fflush(stderr);
}

void Progress::operator()(double fraction) {
  if (!errorIsTerminal()) return;
  const int percent = int(std::lround(std::clamp(fraction, 0.0, 1.0) * 100));
  if (percent == shown_) return;
  shown_ = percent;
  std::fprintf(stderr, "\r%s %3d%%", label_.constData(), percent);
  std::fflush(stderr);
}

}  // namespace Console
