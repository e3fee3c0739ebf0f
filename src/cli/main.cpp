#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <memory>

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Console.h"
#include "core/program/Zel2.h"
#include "core/store/Connection.h"

namespace {

// Qt's own notes and warnings (a missing runtime folder under cron, font fallbacks) are no concern
// of the user's and would turn every scheduled run into mail; only its serious messages are shown.
void qtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg) Console::error(text);
}

}  // namespace

int main(int argc, char** argv) {
  // As in the program: naming the zone file once spares a file lookup per date.
  if (!qEnvironmentVariableIsSet("TZ")) qputenv("TZ", ":/etc/localtime");
  QStringList words;
  for (int i = 1; i < argc; ++i) words << QString::fromLocal8Bit(argv[i]);

  Cli::Invocation in;
  try {
    in = Cli::parse(words);
  } catch (const Cli::UsageError& e) {
    Console::error(e.text);
    std::fprintf(stderr, "%s\n", qPrintable(Cli::usageHint(e.command)));
    return 2;
  }
  if (in.version) {
    std::printf("zelmora-cli %s\n", qPrintable(ZEL2::versionText()));
    return 0;
  }
  if (in.help) {
    std::printf("%s", qPrintable(in.command ? Cli::commandHelp(*in.command) : Cli::programHelp()));
    return 0;
  }

  // Painting a PDF needs Qt Gui, never a display: the pages are drawn offscreen.
  qInstallMessageHandler(qtMessages);
  // Each connection in one thread: the engine need not lock it on every call (a tenth of an export).
  Connection::useEachFromOneThread();
  std::unique_ptr<QCoreApplication> app;
  if (Cli::needsGui(in)) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(argc, argv);
  } else {
    app = std::make_unique<QCoreApplication>(argc, argv);
  }
  try {
    return Cli::run(in);
  } catch (const Cli::UsageError& e) {
    Console::error(e.text);
    std::fprintf(stderr, "%s\n", qPrintable(Cli::usageHint(e.command)));
    return 2;
  } catch (const std::exception& e) {
    Console::error(QString::fromLocal8Bit(e.what()));
    return 1;
  }
}
