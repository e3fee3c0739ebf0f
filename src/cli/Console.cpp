#include "cli/Console.h"

#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace Console {

namespace {
Progress* shownProgress = nullptr;  // the progress line on the terminal, if any
}

void fail(const QString& text) { throw Failure(text); }

bool errorIsTerminal() {
  static const bool terminal = isatty(STDERR_FILENO) == 1;
  return terminal;
}

void error(const QString& text) {
  if (shownProgress) shownProgress->clear();
  std::fflush(stdout);
  std::fprintf(stderr, "zelmora-cli: %s\n", text.toLocal8Bit().constData());
  std::fflush(stderr);
}

void note(const QString& text) {
  if (!errorIsTerminal()) return;
  if (shownProgress) shownProgress->clear();
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void print(const QString& text) { std::fprintf(stdout, "%s\n", text.toLocal8Bit().constData()); }

bool openStandardOutput(QFile& out) {
  std::fflush(stdout);
  return out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
}

Progress::Progress(const QString& label) : label_(label.toLocal8Bit()) {}

Progress::~Progress() {
  clear();
  if (shownProgress == this) shownProgress = nullptr;
}

void Progress::clear() {
  if (shown_ < 0) return;
  std::fprintf(stderr, "\r%*s\r", int(label_.size()) + 6, "");
  std::fflush(stderr);
  shown_ = -1;
}

void Progress::operator()(double fraction) {
  if (!errorIsTerminal()) return;
  const int percent = int(std::lround(std::clamp(fraction, 0.0, 1.0) * 100));
  if (percent == shown_) return;
  shown_ = percent;
  shownProgress = this;
  std::fprintf(stderr, "\r%s %3d%%", label_.constData(), percent);
  std::fflush(stderr);
}

}  // namespace Console
