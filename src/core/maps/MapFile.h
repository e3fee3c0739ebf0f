#pragma once

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <vector>

class QIODevice;

// One cell of a map sheet as a map file keeps it. Colours are 0xRRGGBB values.
struct MapCell {
  qint32 row = 0;
  qint32 col = 0;
  QString text;
  bool hasBack = false;
  quint32 back = 0;
  bool hasFore = false;
  quint32 fore = 0;
  // The text's bytes as the file holds them (checked UTF-8) when read as Text::Bytes, text then
  // staying empty: valid during the onCell call only.
  QByteArrayView utf8 = {};
};

// The sheet as a whole: its size, the sheet-wide colours and every cell that differs from an empty
// cell in those colours. Row 0 / column 0 are the headers, (0, 0) the corner marker.
struct MapSheetData {
  qint32 maxRows = 0;
  qint32 maxCols = 0;
  quint32 defaultBack = 0xFFFFFF;
  quint32 defaultFore = 0x000000;
  std::vector<MapCell> cells;
};

// Reads and writes map files. The format is our own: a magic text, a format version, the sheet and
// a checksum over everything before it, so that a damaged or foreign file is refused as a whole.
// Files are read and written in pieces, so neither a large sheet nor a large file is held whole.
namespace MapFile {

// The largest map the format holds. A file that claims more, or is longer than its cells can be,
// is refused before its cells are read.
inline constexpr qint32 kMaxSize = 100000;     // rows or columns
inline constexpr quint32 kMaxCells = 4000000;  // cells stored apart from the sheet-wide colours
inline constexpr int kMaxTextBytes = 1024;     // UTF-8 bytes of one cell's text
qint64 maxFileSize();

// The map file of a cemetery: the data folder, "zelmap", the id in plain decimal, ".dat".
QString fileName(const QString& dataPath, qint32 cemeteryId);

struct Header {
  qint32 maxRows = 0;
  qint32 maxCols = 0;
  quint32 defaultBack = 0xFFFFFF;
  quint32 defaultFore = 0x000000;
  quint32 cellCount = 0;
};

using CellWriter = std::function<void(const std::function<void(const MapCell&)>& put)>;

// Writes atomically: a failure leaves an earlier file intact. cells(put) must call put exactly
// header.cellCount times. A failure throws DbError (IoErr) naming the file and the reason.
void save(const QString& path, const Header& header, const CellWriter& cells);
// The same onto any device (the file's bytes; tests give failing devices); the failure gives the
// reason alone.
void write(QIODevice& out, const Header& header, const CellWriter& cells);
// Checks the whole file first; only a sound file reaches onHeader and then onCell for each cell.
// A failure throws DbError, "The map file ... cannot be read: <reason>.", and nothing was delivered:
// Corrupt for a damaged file, CantOpen for one that cannot be read.
void load(const QString& path, const std::function<void(const Header&)>& onHeader,
          const std::function<void(MapCell&&)>& onCell);

// The same checks in one pass: cells are delivered as they are read, and a failure found later
// throws after some were delivered. For a caller that keeps the cells apart until it returns.
// Text::Bytes hands each text over undecoded, for a caller that keeps it in its own form.
enum class Text { Decoded, Bytes };
void read(const QString& path, const std::function<void(const Header&)>& onHeader,
          const std::function<void(MapCell&&)>& onCell, Text text = Text::Decoded);

// The same from an open device holding a map's bytes (a map kept as a row on a server); name stands
// for the file in failures.
void load(QIODevice& in, const QString& name, const std::function<void(const Header&)>& onHeader,
          const std::function<void(MapCell&&)>& onCell);
void read(QIODevice& in, const QString& name, const std::function<void(const Header&)>& onHeader,
          const std::function<void(MapCell&&)>& onCell, Text text = Text::Decoded);

// The same for a sheet held in memory.
void save(const QString& path, const MapSheetData& sheet);
void load(const QString& path, MapSheetData& sheet);

}  // namespace MapFile
