#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

// The command line's words: which command, its arguments and options, and the help texts.
namespace Cli {

struct Option {
  const char* name;       // long name without the dashes; "o" is the short -o
  const char* valueName;  // nullptr: a flag without a value
  const char* help;
};

struct Command {
  const char* name;
  const char* synopsis;   // the arguments after the command's name
  const char* summary;    // one line of the program's help
  QStringList arguments;  // names of the arguments it needs, in order
  std::vector<Option> options;
  const char* details;  // the rest of the command's help
};

const std::vector<Command>& commands();

// What the command line asks for.
struct Invocation {
  const Command* command = nullptr;  // nullptr with help or version
  bool help = false;                 // the program's help, or the command's when command is set
  bool version = false;
  QStringList arguments;
  QHash<QString, QString> options;  // by long name; a flag holds an empty text

  bool has(const char* name) const { return options.contains(QLatin1String(name)); }
  QString value(const char* name, const QString& otherwise = QString()) const {
    return options.value(QLatin1String(name), otherwise);
  }
};

// A command line that does not say what to do; its text says why.
class UsageError : public std::runtime_error {
 public:
  UsageError(const QString& text, const Command* command = nullptr)
      : std::runtime_error(text.toStdString()), text(text), command(command) {}
  QString text;
  const Command* command;
};

// Reads the words after the program's name. Throws UsageError.
Invocation parse(const QStringList& words);

QString programHelp();
QString commandHelp(const Command& c);
// The line that tells where to read more after a usage error.
QString usageHint(const Command* c);

}  // namespace Cli
