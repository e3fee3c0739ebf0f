// The map file reader: any bytes in a map's place are refused with a reason or read as a map that
// stays within its header and saves back to the same map.
#include <QCryptographicHash>
#include <QFile>
#include <algorithm>

#include "FuzzTarget.h"
#include "core/maps/MapFile.h"
#include "core/store/DbError.h"

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
    Fuzz::fail(QStringLiteral("cannot write ") + path);
}

bool sameCell(const MapCell& a, const MapCell& b) {
  return a.row == b.row && a.col == b.col && a.text == b.text && a.hasBack == b.hasBack &&
         a.hasFore == b.hasFore && (!a.hasBack || a.back == b.back) && (!a.hasFore || a.fore == b.fore);
}

}  // namespace

ZEL_FUZZ_TARGET(map_reader) {
  Fuzz::Input in{data, size};
  const bool trueChecksum = in.byte() & 1;
  QByteArray bytes = in.rest();
  // A mutated file hardly ever keeps its checksum: half the inputs get a true one, so that what
  // lies behind the check is reached too.
  if (trueChecksum && bytes.size() >= 20) {
    bytes.chop(20);
    bytes += QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
  }
  const QString file = Fuzz::scratch() + QStringLiteral("/zelmap1.dat");
  writeFile(file, bytes);

  MapSheetData sheet;
  sheet.maxRows = -7;  // a refused file leaves the sheet as it was
  try {
    MapFile::load(file, sheet);
  } catch (const DbError& e) {
    Fuzz::require(!e.description().isEmpty(), "a refused map file gives its reason");
    Fuzz::require(sheet.maxRows == -7 && sheet.cells.empty(), "a refused map file changes nothing");
    return 0;
  }
  Fuzz::require(sheet.maxRows >= 0 && sheet.maxCols >= 0 && sheet.maxRows <= MapFile::kMaxSize &&
                    sheet.maxCols <= MapFile::kMaxSize,
                "the size of a read map is within the format's limits");
  Fuzz::require(sheet.cells.size() <= MapFile::kMaxCells, "a read map holds no more cells than a map can");
  for (const MapCell& c : sheet.cells)
    Fuzz::require(c.row >= 0 && c.col >= 0 && c.row <= sheet.maxRows && c.col <= sheet.maxCols,
                  "every cell of a read map lies on its sheet");

  // What was read can be saved, and reads back the same.
  const QString again = Fuzz::scratch() + QStringLiteral("/zelmap2.dat");
  MapSheetData back;
  try {
    MapFile::save(again, sheet);
  } catch (const DbError& e) {
    Fuzz::fail(QStringLiteral("a map that was read cannot be saved: ") + e.description());
  }
  try {
    MapFile::load(again, back);
  } catch (const DbError& e) {
    Fuzz::fail(QStringLiteral("a saved map does not load: ") + e.description());
  }
  Fuzz::require(
      back.maxRows == sheet.maxRows && back.maxCols == sheet.maxCols &&
          back.defaultBack == sheet.defaultBack && back.defaultFore == sheet.defaultFore &&
          std::equal(back.cells.begin(), back.cells.end(), sheet.cells.begin(), sheet.cells.end(), sameCell),
      "a saved map reads back as it was");
  return 0;
}
