#include "reports/CemeteryPlaces.h"

#include <QFile>
#include <stdexcept>

#include "controls/MapFile.h"
#include "maps/MapKeys.h"
#include "store/Connection.h"
#include "store/RecordFields.h"
#include "store/RecordSet.h"

namespace Report::Places {

State stateOf(const QString& status) {
  const QString s = status.trimmed();
  if (s == QLatin1String("B")) return State::Buried;
  if (s == QLatin1String("R")) return State::Reserved;
  if (s == QLatin1String("S")) return State::Sold;
  return State::Open;
}

QString stateName(State s) {
  switch (s) {
    case State::Sold:
      return QStringLiteral("SOLD");
    case State::Reserved:
      return QStringLiteral("RESERVED");
    case State::Buried:
      return QStringLiteral("BURIED");
    case State::Open:
      break;
  }
  return QStringLiteral("OPEN");
}

QString keyOf(const QString& place) { return place.toCaseFolded(); }

QString recordsSql(qint32 cemeteryId) {
  return QStringLiteral(
             "select recid, csection, lot, grave, status, lotid, interdate, interfirstname, interlastname, "
             "purchdate, ownerfirstname, ownerlastname from zel where cemeteryid=") +
         QString::number(cemeteryId) + QStringLiteral(" order by recid");
}

std::vector<Record> records(Connection& cn, qint32 cemeteryId) {
  std::vector<Record> out;
  RecordSet rs(&cn);
  rs.open(recordsSql(cemeteryId), RecordSet::Cursor::ForwardOnly);
  for (; !rs.eof(); rs.moveNext()) {
    auto text = [&rs](int i) { return rs.field(i).toString(); };
    Record r;
    r.id = rs.field(0).toInt();
    r.place = MapKeys::recordKey(text(1), text(2), text(3));
    r.key = keyOf(r.place);
    r.state = stateOf(text(4));
    r.lotId = rs.field(5).toInt();
    r.saved = stateOf(RecordFields::stateLetter(rs.field(6).isDate(), text(7), text(8), rs.field(9).isDate(),
                                                text(10), text(11)));
    out.push_back(std::move(r));
  }
  rs.close();
  return out;
}

MapSummary readMap(const QString& path, const std::function<void(GraveCell&&)>& onGrave) {
  MapSummary sum;
  if (!QFile::exists(path)) return sum;
  sum.exists = true;
  constexpr quint32 kWhite = 0xFFFFFF;  // a burial lot
  MapFile::Header header;
  qint64 present = 0;
  QString error;
  const bool ok = MapFile::load(
      path, [&](const MapFile::Header& h) { header = h; },
      [&](MapCell&& c) {
        if (c.row < 1 || c.col < 1) return;  // headers and the format marker
        ++present;
        const QString t = c.text.trimmed();
        if (MapKeys::namesGrave(t))
          onGrave({c.row, c.col, t});
        else if (t.isEmpty() && (c.hasBack ? c.back : header.defaultBack) == kWhite)
          ++sum.unlabelledLots;
      },
      &error);
  if (!ok) throw std::runtime_error(error.toStdString());
  // Cells the file leaves out are empty and in the sheet's own colour.
  if (header.defaultBack == kWhite) sum.unlabelledLots += qint64(header.maxRows) * header.maxCols - present;
  return sum;
}

}  // namespace Report::Places
