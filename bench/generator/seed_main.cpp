// Writes a database of synthetic records: the demo seed, or bigger files for trying things out.
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "DataGen.h"
#include "core/maps/MapFile.h"
#include "core/store/DbError.h"
#include "core/store/Connection.h"
#include "gui/maps/MapColors.h"

namespace {

// The drawn map of cemetery 1: grave spaces as burial lots (white, with their place), section
// captions on paths (black), the rest unused ground (green), and the editor's marker in the corner.
bool writeDemoMap(const QString& path, const DataGen::Options& o) {
  const DataGen::Layout layout = DataGen::demoLayout(o);
  MapSheetData sheet;
  sheet.maxRows = layout.rows + 1;
  sheet.maxCols = layout.cols + 1;
  sheet.defaultBack = MapColors::green().rgb() & 0xFFFFFF;
  MapCell marker;
  marker.text = QString::fromLatin1(kMapMarker);
  sheet.cells.push_back(marker);
  for (const DataGen::Cell& c : layout.cells) {
    MapCell cell;
    cell.row = c.row;
    cell.col = c.col;
    cell.text = c.label.isEmpty() ? c.text() : c.label;
    cell.hasBack = true;
    cell.back = (c.label.isEmpty() ? MapColors::white() : MapColors::black()).rgb() & 0xFFFFFF;
    if (!c.label.isEmpty()) {
      cell.hasFore = true;
      cell.fore = 0xFFFFFF;
    }
    sheet.cells.push_back(std::move(cell));
  }
  try {
    MapFile::save(path, sheet);
  } catch (const DbError& e) {
    std::fprintf(stderr, "zel_seed: %s\n", qPrintable(e.description()));
    return false;
  }
  return true;
}

int usage() {
  std::fprintf(stderr,
               "usage: zel_seed [--records N] [--cemeteries N] [--lot-types N] [--seed N] [--burials-only]\n"
               "                [--disagreements] [--plain | --password TEXT] [--map MAPFILE] FILE\n"
               "Without --plain or --password the file gets the program's password.\n"
               "--map also writes the drawn map of cemetery 1 matching the records.\n"
               "--disagreements plants the demo's disagreements between that map and the records.\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  DataGen::Options o;
  QString password = QString::fromLatin1(kDatabasePassword);
  QString file;
  QString mapFile;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    auto number = [&](int& out) {
      bool ok = false;
      if (i + 1 < args.size()) out = args[++i].toInt(&ok);
      return ok && out >= 0;
    };
    bool ok = true;
    if (a == QLatin1String("--records")) {
      ok = number(o.records);
    } else if (a == QLatin1String("--cemeteries")) {
      ok = number(o.cemeteries);
    } else if (a == QLatin1String("--lot-types")) {
      ok = number(o.lotTypes);
    } else if (a == QLatin1String("--seed")) {
      int s = 0;
      ok = number(s);
      o.seed = quint32(s);
    } else if (a == QLatin1String("--disagreements")) {
      o.disagreements = true;
    } else if (a == QLatin1String("--burials-only")) {
      o.allStates = false;
    } else if (a == QLatin1String("--plain")) {
      password.clear();
    } else if (a == QLatin1String("--password") && i + 1 < args.size()) {
      password = args[++i];
    } else if (a == QLatin1String("--map") && i + 1 < args.size()) {
      mapFile = args[++i];
    } else if (!a.startsWith(QLatin1String("--")) && file.isEmpty()) {
      file = a;
    } else {
      ok = false;
    }
    if (!ok) return usage();
  }
  if (file.isEmpty()) return usage();
  try {
    DataGen::makeDatabase(file, o, password);
  } catch (const DbError& e) {
    std::fprintf(stderr, "zel_seed: %s: %s\n", qPrintable(file), qPrintable(e.description()));
    return 1;
  }
  if (!mapFile.isEmpty() && !writeDemoMap(mapFile, o)) return 1;
  return 0;
}
