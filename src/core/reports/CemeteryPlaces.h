#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "core/maps/MapKeys.h"
#include "core/store/GraveState.h"

class Connection;

// The places of one cemetery as its records and its map give them, for the reports that compare
// the two. A place is "section,lot,grave" with trimmed parts; places compare without regard to
// letter case, as the map viewer ties cells to records.
namespace Report::Places {

using State = GraveState::State;

// A place as a key that compares and hashes without regard to case, without a folded copy.
inline MapKeys::FoldedKey keyOf(const QString& place) { return {place}; }

struct Record {
  qint64 id = 0;
  QString place;
  State state = State::Open;  // as stored
  State saved = State::Open;  // as the record form's Save would set it from the record's data
  qint64 lotId = 0;
};

// The query of a cemetery's records.
QString recordsSql(qint32 cemeteryId);
// Every record of the cemetery, in record number order.
std::vector<Record> records(Connection& cn, qint32 cemeteryId);

// A map cell whose text names a grave.
struct GraveCell {
  int row = 0;
  int col = 0;
  QString place;  // the trimmed text
};

struct MapSummary {
  bool exists = false;
  qint64 unlabelledLots = 0;  // burial lot cells (white) with no text
};

// Reads the cemetery's map (MapStore: the data folder's file or the server's row) cell by cell;
// nothing when there is none. onSize first learns how many cells the map holds. A damaged map throws
// MapFile's failure naming it, possibly after some cells were delivered: the caller keeps nothing of
// them then.
MapSummary readMap(Connection& cn, const QString& dataPath, qint32 cemeteryId,
                   const std::function<void(GraveCell&&)>& onGrave,
                   const std::function<void(qint64 cells)>& onSize = {});

}  // namespace Report::Places
