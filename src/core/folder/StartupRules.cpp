#include "core/folder/StartupRules.h"

namespace StartupRules {

QString dataPathFrom(const QString& commandLine, const QString& programFolder) {
  QString path = commandLine.isEmpty() ? programFolder : commandLine;
  if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
  return path;
}

QString FontSizeName(int fontHeightPixels) {
  return fontHeightPixels > 16 ? QStringLiteral("Large Fonts") : QStringLiteral("Small Fonts");
}

bool screenTooSmall(int screenWidthPixels, int fontHeightPixels) {
  if (screenWidthPixels < 800) return true;
  return screenWidthPixels == 800 && FontSizeName(fontHeightPixels) == QLatin1String("Large Fonts");
}

QString errorReport(int number, const QString& description, const QString& stepMarker) {
  return QString::number(number) + QStringLiteral("\n\n") + description + QStringLiteral("\n\n") + stepMarker;
}

std::optional<QString> terminalAnswer(const QStringList& arguments, const QString& version) {
  if (arguments.size() != 2) return std::nullopt;
  const QString& a = arguments[1];
  if (a == QLatin1String("--version") || a == QLatin1String("-v"))
    return QStringLiteral("zelmora %1\n").arg(version);
  if (a == QLatin1String("--help") || a == QLatin1String("-h"))
    return QStringLiteral(
        "Usage: zelmora [DATA_FOLDER]\n"
        "Grave records, maps and reports for cemeteries.\n\n"
        "  DATA_FOLDER    the folder of the database, the maps, the help file and the tutorial;\n"
        "                 without it, the per-user folder ~/.local/share/zel/zel/\n"
        "  -h, --help     show this text and end\n"
        "  -v, --version  show the version and end\n\n"
        "The command line zelmora-cli exports, reports, checks, imports and backs up without a window.\n"
        "See zelmora(1) and zelmora-cli(1).\n");
  return std::nullopt;
}

}  // namespace StartupRules
