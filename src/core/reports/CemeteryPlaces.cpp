#include "core/reports/CemeteryPlaces.h"

#include <QDate>
#include <algorithm>
#include <stdexcept>

#include "core/maps/MapFile.h"
#include "core/maps/MapKeys.h"
#include "core/maps/MapStore.h"
#include "core/store/Connection.h"
#include "core/store/DateValue.h"
#include "core/store/DbError.h"
#include "core/store/RecordFields.h"
#include "core/store/Statement.h"

namespace Report::Places {

QString recordsSql(qint32 cemeteryId) {
  return QStringLiteral(
             "select recid, csection, lot, grave, status, lotid, interdate, interfirstname, interlastname, "
             "purchdate, ownerfirstname, ownerlastname from zel where cemeteryid=") +
         QString::number(cemeteryId);
}

std::vector<Record> records(Connection& cn, qint32 cemeteryId) {
  // Straight from the engine: a record set would make a value of every field first, which costs
  // more than all the rest of a report on a large cemetery.
  Statement st(cn, cn.translate(recordsSql(cemeteryId)).toUtf8());
  auto text = [&st](int i) { return st.string(i); };
  // A date field holds a date when its text is one, as the record form reads it. The stored form
  // "YYYY-MM-DD" is checked on its bytes; anything else goes the long way.
  auto isDate = [&](int i) {
    if (st.type(i) != Statement::Type::Text) return false;
    const QByteArrayView b = st.text(i);
    if (b.size() == 10 && b[4] == '-' && b[7] == '-') {
      int n[3] = {0, 0, 0}, part = 0;
      bool digits = true;
      for (int k = 0; k < 10 && digits; ++k) {
        if (k == 4 || k == 7)
          ++part;
        else if (b[k] >= '0' && b[k] <= '9')
          n[part] = n[part] * 10 + (b[k] - '0');
        else
          digits = false;
      }
      if (digits) return QDate(n[0], n[1], n[2]).isValid();
    }
    return DateValue::fromIso(text(i)).isValid();
  };
  std::vector<Record> out;
  while (st.next()) {
    Record r;
    r.id = st.int64(0);
    r.place = MapKeys::recordKey(text(1), text(2), text(3));
    r.state = GraveState::fromStored(text(4));
    r.lotId = st.int64(5);
    r.saved = GraveState::fromStored(
        RecordFields::stateLetter(isDate(6), text(7), text(8), isDate(9), text(10), text(11)));
    out.push_back(std::move(r));
  }
  // Sorted here: the engine would sort the whole rows in a temporary tree, which is far slower.
  std::sort(out.begin(), out.end(), [](const Record& a, const Record& b) { return a.id < b.id; });
  return out;
}

MapSummary readMap(Connection& cn, const QString& dataPath, qint32 cemeteryId,
                   const std::function<void(GraveCell&&)>& onGrave,
                   const std::function<void(qint64 cells)>& onSize) {
  MapSummary sum;
  constexpr quint32 kWhite = 0xFFFFFF;  // a burial lot
  MapFile::Header header;
  qint64 present = 0;
  // One pass: a report is built from what it gathered only after the whole map checked out, so cells
  // delivered before a failure further on are dropped with the report.
  sum.exists = MapStore::read(
                   cn, dataPath, MapStore::nameOf(cemeteryId),
                   [&](const MapFile::Header& h) {
                     header = h;
                     if (onSize) onSize(h.cellCount);
                   },
                   [&](MapCell&& c) {
                     if (c.row < 1 || c.col < 1) return;  // headers and the format marker
                     ++present;
                     const QString t = c.text.trimmed();
                     if (MapKeys::namesGrave(t))
                       onGrave({c.row, c.col, t});
                     else if (t.isEmpty() && (c.hasBack ? c.back : header.defaultBack) == kWhite)
                       ++sum.unlabelledLots;
                   }) > 0;
  if (!sum.exists) return sum;
  // Cells the file leaves out are empty and in the sheet's own colour.
  if (header.defaultBack == kWhite) sum.unlabelledLots += qint64(header.maxRows) * header.maxCols - present;
  return sum;
}

}  // namespace Report::Places
