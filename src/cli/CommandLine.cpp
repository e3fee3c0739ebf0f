#include "cli/CommandLine.h"

#include <QDate>

#include "core/backup/AutoBackup.h"
#include "core/import/RecordImport.h"
#include "core/reports/Reports.h"

namespace Cli {

namespace {

const Option kOutput{"o", "FILE", "write to FILE; - for standard output"};
const Option kYes{"yes", nullptr, "confirm the change (it replaces or deletes data)"};

const std::vector<Command> kCommands = {
    {"init",
     "DIR [--server URL]",
     "make a new data folder: an empty database, the help file and the tutorial",
     {"DIR"},
     {{"server", "URL", "the folder of another computer for the records a server holds (see share)"}},
     "Makes DIR (and its missing parents) and puts into it a new database zel.mdb keyed with the\n"
     "program's password, holding the program's tables and no rows, with the help file zel6.hlp and\n"
     "the tutorial zl-tutor.html. A folder that already holds a zel.mdb is refused: init never\n"
     "replaces a database.\n"
     "With --server the folder gets no zel.mdb but a file zel.server holding URL (a libpq connection\n"
     "string or URI, never a password): the program and every command then work on the server's\n"
     "records. The server must hold the program's tables already (zelmora-cli share puts them there)."},
    {"share",
     "DIR URL",
     "move DIR's records and maps onto an empty PostgreSQL database, for several computers",
     {"DIR", "URL"},
     {},
     "Copies every table of DIR's database (the change history exactly as stored) and its map files\n"
     "into the empty database URL names (a libpq connection string or URI without a password: libpq\n"
     "reads it from ~/.pgpass, a service file or the environment), in one transaction, and checks the\n"
     "copy: the rows of each table, the sum of each money column, the bytes of each map. A database\n"
     "that already holds the program's tables is refused. The old files are first kept in the\n"
     "verified archive DIR/zelbeforeshare<...>.zip; then DIR/zel.server is written and zel.mdb and the\n"
     "maps are moved aside as zel.mdb.moved-to-server-<...>, which nothing opens. A run killed on its\n"
     "way leaves DIR working on its own database or on the server. Refused while the program runs on\n"
     "DIR. On the other computers: zelmora-cli init DIR --server URL."},
    {"export",
     "DIR [-o FILE]",
     "write the export of every grave record, as the record form does",
     {"DIR"},
     {kOutput},
     "Writes the same file as the record form's Export: a title line and one comma-separated line per\n"
     "grave record, to DIR/zel.csv unless -o names another file (- for standard output)."},
    {"report",
     "NAME DIR [--cemetery NAME|ID] [--format csv|pdf|text] [-o FILE]",
     "a report of the report window as CSV, PDF or plain text",
     {"NAME", "DIR"},
     {{"cemetery", "NAME|ID", "the cemetery of a per-cemetery report, by its name or its number"},
      {"format", "FORMAT", "csv, pdf or text (default: by the extension of -o, else text)"},
      kOutput},
     nullptr},  // the list of reports is added from the report definitions
    {"backup",
     "DIR TARGET [--keep N]",
     "a verified archive of the database and the map files",
     {"DIR", "TARGET"},
     {{"keep", "N", "keep only the newest N automatic archives in the TARGET folder (1 to 999)"}},
     "Writes a verified archive of DIR's database and map files, as the Backup/Restore window does:\n"
     "the database copied through the engine under a read lock, the archive written aside, read back\n"
     "and checked as a restore checks it, and only then given its name. A map that does not load is\n"
     "archived as it is and named on standard error; the exit status is then 3. TARGET is a folder, where\n"
     "the archive is named zel<year month day hour minute>.zip, or the name of a .zip file.\n"
     "With --keep the archive is named as an automatic backup of DIR (zelauto<...seconds>-<id>.zip) and\n"
     "the oldest automatic archives of DIR in the folder beyond N are removed once the new one is known\n"
     "to be good; archives dated in the future and all other files are left alone. The folder is made\n"
     "when its parent exists.\n"
     "For a folder whose records are on a server the archive is the same: the server's tables and maps,\n"
     "read as one consistent state, in a keyed zel.mdb and map files, which restore puts into a folder\n"
     "of its own."},
    {"restore",
     "ARCHIVE DIR --yes",
     "put the database and maps of an archive back into DIR",
     {"ARCHIVE", "DIR"},
     {kYes},
     "Restores as the Backup/Restore window does: only the database and map files are taken from\n"
     "the archive, they are extracted beside the data and checked (password, integrity, tables, every\n"
     "map loads) before the current files are replaced; any failure leaves DIR as it was. The replaced\n"
     "database and maps are kept in DIR/zelbeforerestore<...>.zip first. A restore killed on its way\n"
     "is finished by the next start, restore or check --recover. Refused while the program runs on DIR,\n"
     "and for a folder whose records are on a server."},
    {"check",
     "DIR [--recover]",
     "check the database, its password, the map files and the Map Check",
     {"DIR"},
     {{"recover", nullptr, "first complete a restore that was interrupted and remove what it left"}},
     "Checks that zel.mdb opens with the program's password and passes the integrity check, that every\n"
     "map file loads, and runs the Map Check report of every cemetery. One line per check goes to\n"
     "standard output, each problem to standard error. The exit status is 0 when all is well, 1 when\n"
     "the database or a map file is missing or damaged, 3 when only the Map Check found disagreements.\n"
     "On a folder whose records are on a server the file checks do not apply: it checks that the server\n"
     "answers and holds the program's tables, that every amount is a whole number of ten-thousandths,\n"
     "the change history and that every map on the server loads."},
    {"import",
     "FILE DIR --map COLUMNS [--skip-first-row] [--empty-first --yes] [--accept-defaults] [--dry-run]",
     "add the rows of a .csv or .txt file as grave records, all or nothing",
     {"FILE", "DIR"},
     {{"map", "COLUMNS", "which column goes into which field: 1=InterLastName,2=InterFirstName,..."},
      {"skip-first-row", nullptr, "the file's first row is a header row"},
      {"empty-first", nullptr, "delete every grave record first (needs --yes)"},
      kYes,
      {"accept-defaults", nullptr,
       "import values that will not convert with their fields' defaults, and the rows listed with them"},
      {"dry-run", nullptr, "only tell what would be added and what would not convert"}},
     "Imports as the import window does: FILE is tab-delimited (.txt) or comma-delimited (.csv), each\n"
     "row becomes one grave record with the mapped fields converted by the record form's rules, every\n"
     "other field at its default, all in one transaction; empty lines at the end are no rows. Values\n"
     "that will not convert, rows with more or fewer items than the first row and dates that the\n"
     "record form would refuse are listed (and written to DIR/import.log) and the import stops with\n"
     "exit status 1, unless --accept-defaults says to import them, values that will not convert\n"
     "keeping their fields' defaults. --yes only confirms --empty-first. Dates are read in the order\n"
     "of the system's settings; a date column whose values fit only the other order is read that way\n"
     "and named. --dry-run changes nothing and exits as the import would."},
    {"history",
     "DIR [--record N] [--since DATE] [--format csv|text] [-o FILE] | DIR --erase-owner N --yes",
     "list the change history, or erase a record owner's address and phone",
     {"DIR"},
     {{"record", "N", "only the entries of grave record N"},
      {"since", "DATE", "only the entries from DATE on (yyyy-mm-dd, local time)"},
      {"format", "FORMAT", "csv or text (default: by the extension of -o, else text)"},
      kOutput,
      {"erase-owner", "N",
       "replace the owner's address and phone of record N and of its history (needs --yes)"},
      kYes},
     "Lists the entries of the change history, oldest first: when (local time), who, on which computer,\n"
     "what kind of change, the table and row, the field, its old and new value and the details. The\n"
     "program writes them in the same transaction as each change and never edits or deletes them;\n"
     "check verifies that they follow each other.\n"
     "--erase-owner replaces the purchaser's address and phone values of record N, in the record and\n"
     "in every entry of its history, by \"erased on DATE by USER\", and records the erasure itself;\n"
     "the check of the history still passes. The names stay. Refused while the program runs on DIR."},
};

QString reportList() {
  QString list = QStringLiteral("Reports:\n");
  for (const Report::Definition& d : Report::definitions()) {
    QString caption = QString::fromLatin1(d.caption);
    if (QLatin1String(d.key).startsWith(QLatin1String("interred-")))
      caption = QStringLiteral("List of Interred, ") + caption;
    list += QStringLiteral("  %1%2%3\n")
                .arg(QString::fromLatin1(d.key).leftJustified(22), caption,
                     d.perCemetery ? QStringLiteral(" (needs --cemetery)") : QString());
  }
  return list +
         QStringLiteral(
             "\nCSV and text go to standard output unless -o names a file; a PDF needs -o. The text is a\n"
             "plain aligned table for the terminal; CSV and PDF are the report window's Save As.");
}

// The fields a column can be mapped to, as the import window's mapping row offers them.
QString fieldList() {
  QString list = QStringLiteral("Fields (in any case):\n ");
  int width = 1;
  for (const QString& name : RecordImport::mappingNames()) {
    if (width + name.size() + 2 > 96) {
      list += QStringLiteral("\n ");
      width = 1;
    }
    list += u' ' + name;
    width += int(name.size()) + 1;
  }
  return list + u'\n';
}

const Command* findCommand(const QString& name) {
  for (const Command& c : kCommands)
    if (name == QLatin1String(c.name)) return &c;
  return nullptr;
}

const Option* findOption(const Command& c, const QString& name) {
  for (const Option& o : c.options)
    if (name == QLatin1String(o.name)) return &o;
  return nullptr;
}

QString optionText(const Option& o) {
  return (qstrlen(o.name) == 1 ? QStringLiteral("-") : QStringLiteral("--")) + QLatin1String(o.name);
}

// Checks that belong to one command's options; all before any work is done.
void checkOptions(const Invocation& in) {
  const Command* c = in.command;
  const QString name = QLatin1String(c->name);
  if (in.has("format")) {
    const QString f = in.value("format");
    if (f != QLatin1String("csv") && f != QLatin1String("pdf") && f != QLatin1String("text"))
      throw UsageError(QStringLiteral("--format must be csv, pdf or text, not \"%1\"").arg(f), c);
  }
  if (in.has("keep")) {
    bool ok = false;
    const int keep = in.value("keep").toInt(&ok);
    if (!ok || keep < 1 || keep > AutoBackup::kMaxKeep)
      throw UsageError(QStringLiteral("--keep must be a number from 1 to %1, not \"%2\"")
                           .arg(AutoBackup::kMaxKeep)
                           .arg(in.value("keep")),
                       c);
  }
  if (name == QLatin1String("restore") && !in.has("yes"))
    throw UsageError(QStringLiteral("restore replaces the data files of %1; give --yes to go ahead")
                         .arg(in.arguments.value(1)),
                     c);
  if (name == QLatin1String("history")) {
    if (in.value("format") == QLatin1String("pdf"))
      throw UsageError(QStringLiteral("--format must be csv or text, not \"pdf\""), c);
    for (const char* number : {"record", "erase-owner"}) {
      if (!in.has(number)) continue;
      bool ok = false;
      if (in.value(number).toLongLong(&ok) <= 0 || !ok)
        throw UsageError(QStringLiteral("--%1 must be a record number, not \"%2\"")
                             .arg(QLatin1String(number), in.value(number)),
                         c);
    }
    if (in.has("since") && !QDate::fromString(in.value("since"), Qt::ISODate).isValid())
      throw UsageError(
          QStringLiteral("--since must be a date as yyyy-mm-dd, not \"%1\"").arg(in.value("since")), c);
    if (in.has("erase-owner") && !in.has("yes"))
      throw UsageError(
          QStringLiteral("--erase-owner replaces personal data for good; give --yes to go ahead"), c);
    if (in.has("erase-owner") && (in.has("record") || in.has("since") || in.has("format") || in.has("o")))
      throw UsageError(QStringLiteral("--erase-owner lists nothing; it takes no listing options"), c);
  }
  if (name == QLatin1String("import")) {
    if (!in.has("map")) throw UsageError(QStringLiteral("import needs --map"), c);
    if (in.has("empty-first") && !in.has("yes") && !in.has("dry-run"))
      throw UsageError(
          QStringLiteral("--empty-first deletes every grave record of %1; give --yes to go ahead")
              .arg(in.arguments.value(1)),
          c);
  }
}

}  // namespace

const std::vector<Command>& commands() { return kCommands; }

Invocation parse(const QStringList& words) {
  Invocation in;
  if (words.isEmpty()) throw UsageError(QStringLiteral("no command given"));
  const QString first = words.first();
  if (first == QLatin1String("--help") || first == QLatin1String("-h") || first == QLatin1String("help")) {
    in.help = true;
    if (words.size() > 1) in.command = findCommand(words[1]);
    return in;
  }
  if (first == QLatin1String("--version")) {
    in.version = true;
    return in;
  }
  in.command = findCommand(first);
  if (!in.command) throw UsageError(QStringLiteral("\"%1\" is not a command").arg(first));
  const Command& c = *in.command;

  bool optionsEnd = false;
  for (qsizetype i = 1; i < words.size(); ++i) {
    const QString& w = words[i];
    if (optionsEnd || w == QLatin1String("-") || !w.startsWith(u'-')) {
      in.arguments << w;
      continue;
    }
    if (w == QLatin1String("--")) {
      optionsEnd = true;
      continue;
    }
    if (w == QLatin1String("--help") || w == QLatin1String("-h")) {
      in.help = true;
      return in;
    }
    QString name, value;
    bool inlineValue = false;
    if (w.startsWith(QLatin1String("--"))) {
      name = w.mid(2);
      if (const qsizetype eq = name.indexOf(u'='); eq >= 0) {
        value = name.mid(eq + 1);
        name.truncate(eq);
        inlineValue = true;
      }
      if (name == QLatin1String("output")) name = QStringLiteral("o");
    } else {
      name = w.mid(1, 1);
      if (w.size() > 2) {
        value = w.mid(2);
        inlineValue = true;
      }
    }
    const Option* o = findOption(c, name);
    if (!o) throw UsageError(QStringLiteral("%1 has no option %2").arg(QLatin1String(c.name), w), &c);
    if (!o->valueName) {
      if (inlineValue) throw UsageError(QStringLiteral("%1 takes no value").arg(optionText(*o)), &c);
      in.options.insert(name, QString());
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= words.size())
        throw UsageError(
            QStringLiteral("%1 needs a value (%2)").arg(optionText(*o), QLatin1String(o->valueName)), &c);
      value = words[++i];
    }
    in.options.insert(name, value);
  }

  if (in.arguments.size() < c.arguments.size())
    throw UsageError(QStringLiteral("%1 needs %2")
                         .arg(QLatin1String(c.name), c.arguments.mid(in.arguments.size()).join(u' ')),
                     &c);
  if (in.arguments.size() > c.arguments.size())
    throw UsageError(QStringLiteral("%1 takes %2 argument%3; \"%4\" is one too many")
                         .arg(QLatin1String(c.name))
                         .arg(c.arguments.size())
                         .arg(c.arguments.size() == 1 ? QString() : QStringLiteral("s"))
                         .arg(in.arguments.at(c.arguments.size())),
                     &c);
  checkOptions(in);
  return in;
}

QString programHelp() {
  QString h = QStringLiteral(
      "Usage: zelmora-cli COMMAND ARGUMENTS [OPTIONS]\n"
      "Exports, reports, backups, checks and imports on a Zelmora data folder, without windows.\n\n"
      "Commands:\n");
  for (const Command& c : kCommands)
    h += QStringLiteral("  %1 %2\n      %3\n")
             .arg(QLatin1String(c.name), QLatin1String(c.synopsis), QLatin1String(c.summary));
  return h + QStringLiteral(
                 "\nOptions:\n"
                 "  --help     this help; zelmora-cli COMMAND --help tells more of a command\n"
                 "  --version  the program's version\n\n"
                 "Messages go to standard error, progress and success messages only when it is a terminal.\n"
                 "Exit status: 0 success, 1 the work failed (nothing was changed), 2 a usage error,\n"
                 "3 backup made with warnings, or check found only Map Check disagreements.\n"
                 "Commands that change the data folder (init over an existing folder, restore, import)\n"
                 "are refused while the program runs on it; the others work beside it.\n");
}

QString commandHelp(const Command& c) {
  QString h = QStringLiteral("Usage: zelmora-cli %1 %2\n%3.\n")
                  .arg(QLatin1String(c.name), QLatin1String(c.synopsis), QLatin1String(c.summary));
  h[h.indexOf(u'\n') + 1] = h[h.indexOf(u'\n') + 1].toUpper();
  if (!c.options.empty()) {
    h += QStringLiteral("\nOptions:\n");
    for (const Option& o : c.options) {
      QString left = optionText(o);
      if (o.valueName) left += u' ' + QLatin1String(o.valueName);
      h += QStringLiteral("  %1  %2\n").arg(left.leftJustified(18), QLatin1String(o.help));
    }
  }
  h += u'\n' + (c.details ? QString::fromLatin1(c.details) : reportList()) + u'\n';
  if (QLatin1String(c.name) == QLatin1String("import")) h += u'\n' + fieldList();
  return h;
}

QString usageHint(const Command* c) {
  return c ? QStringLiteral("Try 'zelmora-cli %1 --help'.").arg(QLatin1String(c->name))
           : QStringLiteral("Try 'zelmora-cli --help'.");
}

}  // namespace Cli
