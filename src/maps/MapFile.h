#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

// The sheet of a map as it is kept in a map file: its size, the sheet-wide back colour and every
// cell that differs from an empty cell of that colour. Colours are 0xRRGGBB values.
struct MapSheetData {
  struct Cell {
    qint32 row = 0;
    qint32 col = 0;
    QString text;
    bool hasBack = false;
    quint32 back = 0;
    bool hasFore = false;
    quint32 fore = 0;
  };

  qint32 maxRows = 0;
  qint32 maxCols = 0;
  quint32 defaultBack = 0xFFFFFF;
  quint32 defaultFore = 0x000000;
  std::vector<Cell> cells;  // row 0 / column 0 are the headers, (0, 0) the corner marker
};

// Reads and writes map files. The format is our own: a magic text, a format version, the sheet and
// a checksum over everything before it, so that a damaged or foreign file is refused as a whole.
namespace MapFile {

inline constexpr qint32 kMaxSize = 100000;  // rows or columns beyond this mean a damaged file

// The map file of a cemetery: the data folder, "zelmap", the id in plain decimal, ".dat".
QString fileName(const QString& dataPath, qint32 cemeteryId);

// Writes atomically: a failure leaves an earlier file intact. On failure error holds a message
// naming the file.
bool save(const QString& path, const MapSheetData& sheet, QString* error = nullptr);
// Reads a whole file; on failure the sheet is left untouched and error names the file.
bool load(const QString& path, MapSheetData& sheet, QString* error = nullptr);

}  // namespace MapFile
