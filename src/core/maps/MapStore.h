#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "core/maps/MapFile.h"

class Connection;

// Where a data folder keeps its maps: files in the folder beside the database, or on a server rows of
// the table zelmaps (the same bytes as the file). Every reader and writer of a map goes through here,
// so that both hold the same maps with the same checks. A map is named by its file's name
// ("zelmap3.dat"), on the server too. Failures throw DbError.
namespace MapStore {

// On a server the maps are the table zelmaps (Schema::kServerMapsTable): name, bytes, and a version
// counting the saves, by which a save over another computer's save is refused.

// The map of a cemetery: "zelmap", the id in plain decimal, ".dat".
QString nameOf(qint32 cemeteryId);
// Where a failure says the map is: its file, or its name on the server.
QString shownName(Connection& cn, const QString& dataPath, const QString& name);

// The names of the maps there are, in order of name.
QStringList names(Connection& cn, const QString& dataPath);
bool exists(Connection& cn, const QString& dataPath, const QString& name);

// A map's bytes as stored and the version they are (the file's is always 1); nothing when there is
// no such map. The bytes are not checked: a reader goes through load or read.
struct Stored {
  QByteArray bytes;
  qint64 version = 0;
};
std::optional<Stored> fetch(Connection& cn, const QString& dataPath, const QString& name);

// Reads a map through MapFile's checks (load: the whole map first, then the cells; read: one pass).
// Returns the version read, 0 when there is no map (nothing is delivered then).
qint64 load(Connection& cn, const QString& dataPath, const QString& name,
            const std::function<void(const MapFile::Header&)>& onHeader,
            const std::function<void(MapCell&&)>& onCell);
qint64 read(Connection& cn, const QString& dataPath, const QString& name,
            const std::function<void(const MapFile::Header&)>& onHeader,
            const std::function<void(MapCell&&)>& onCell, MapFile::Text text = MapFile::Text::Decoded);

// Saving a map over the version it was read at (0: there was none).
// - The file is written whole or not at all, as MapFile::save does; its version is not checked.
// - On the server the row is written in one transaction only while it still has that version; else
//   nothing is written and the result says so (another computer saved or removed it meanwhile).
// then(before, after) runs once the map is written: on the server inside its transaction (a failure
// there writes nothing), on the file after the file is in place. before is empty when there was none.
struct Saved {
  bool written = false;  // false: the map was changed or removed meanwhile
  qint64 version = 0;    // the version now stored
};
using AfterSave = std::function<void(const QByteArray& before, const QByteArray& after)>;
Saved save(Connection& cn, const QString& dataPath, const QString& name, const MapFile::Header& header,
           const MapFile::CellWriter& cells, qint64 version, const AfterSave& then = {});

// Renames a map (one that cannot be read, kept aside). On the server only while it still has the
// version; false when it was changed meanwhile. A name already taken fails with DbError.
bool rename(Connection& cn, const QString& dataPath, const QString& from, const QString& to, qint64 version);

}  // namespace MapStore
