#include "core/reports/PlaceReports.h"

#include <QHash>
#include <algorithm>
#include <array>

#include "core/reports/CemeteryPlaces.h"
#include "core/store/RecordSet.h"

namespace Report {

using namespace Places;

namespace {

Cell number(qint64 n, bool bold = false) { return {QString::number(n), Align::Right, bold}; }

// Sections and places in the order a reader expects: numbers by their value (9 before 10), letters
// without regard to case. Negative: a first; 0: the same; positive: b first.
int comparePlaces(const QString& a, const QString& b) {
  qsizetype i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      // Whole runs of digits, compared by value: leading zeros dropped, then length, then digits.
      qsizetype ei = i, ej = j;
      while (ei < a.size() && a[ei].isDigit()) ++ei;
      while (ej < b.size() && b[ej].isDigit()) ++ej;
      while (i < ei - 1 && a[i] == u'0') ++i;
      while (j < ej - 1 && b[j] == u'0') ++j;
      if (ei - i != ej - j) return ei - i < ej - j ? -1 : 1;
      if (const int c = QStringView(a).sliced(i, ei - i).compare(QStringView(b).sliced(j, ej - j))) return c;
      i = ei;
      j = ej;
      continue;
    }
    const char32_t ca = a[i].toCaseFolded().unicode(), cb = b[j].toCaseFolded().unicode();
    if (ca != cb) return ca < cb ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  return a.compare(b);  // the same but for case or zeros: a fixed order all the same
}

// "Count: n", and what was counted where the rows count something else.
Row countLine(size_t columns, size_t at, int n, const QString& what = {}) {
  Row r(columns);
  r[at] = {QStringLiteral("Count: ") + QString::number(n) + what, Align::Left, true};
  return r;
}

using StateCounts = std::array<qint64, 4>;  // open, sold, reserved, buried: the State order

}  // namespace

Table availableGraves(Connection& cn, const Cemetery& cemetery, const Sources& sources) {
  Table t;
  t.title = QStringLiteral("Available Graves for ") + cemetery.name;
  t.columns = {
      {QStringLiteral("Section"), Align::Left, 26},   {QStringLiteral("Spaces"), Align::Right, 8},
      {QStringLiteral("No Record"), Align::Right, 9}, {QStringLiteral("Open"), Align::Right, 7},
      {QStringLiteral("Sold"), Align::Right, 7},      {QStringLiteral("Reserved"), Align::Right, 9},
      {QStringLiteral("Buried"), Align::Right, 7},    {QStringLiteral("Available"), Align::Right, 9}};
  t.gap = 2;
  const size_t cols = t.columns.size();
  const std::vector<Record> recs = records(cn, cemetery.id);
  // The rows count graves; the count line counts the records they were set beside.
  t.countLine = countLine(cols, 0, int(recs.size()),
                          recs.size() == 1 ? QStringLiteral(" record") : QStringLiteral(" records"));

  // A place is available while every record of it is open; its lot type is the first record's.
  struct Place {
    int section = -1;  // where the map shows it; -1: nowhere
    bool open = true;
    qint64 lotId = 0;
    std::vector<const Record*> records;
  };
  QHash<MapKeys::FoldedKey, int> placeAt;
  std::vector<Place> places;
  for (const Record& r : recs) {
    auto it = placeAt.constFind(keyOf(r.place));
    if (it == placeAt.constEnd()) {
      it = placeAt.insert(keyOf(r.place), int(places.size()));
      places.push_back({});
      places.back().lotId = r.lotId;
    }
    Place& p = places[size_t(*it)];
    p.records.push_back(&r);
    if (r.state != State::Open) p.open = false;
  }

  struct Section {
    QString name;
    qint64 spaces = 0, noRecord = 0, available = 0;
    StateCounts states{};
  };
  QHash<MapKeys::FoldedKey, int> sectionAt;
  std::vector<Section> sections;
  QHash<qint64, qint64> availableByLot;  // spaces whose open records give this lot type
  qint64 availableWithoutRecord = 0;
  int last = -1;  // the section of the cell before: neighbouring cells mostly share one
  // A place drawn twice is one grave, counted where it is drawn first. Places without a record join
  // placeAt as kNoRecord, so that each cell costs one lookup.
  constexpr int kNoRecord = -1;
  const MapSummary map = readMap(
      cn, sources.dataPath, cemetery.id,
      [&](GraveCell&& c) {
        const qsizetype known = placeAt.size();
        int& at = placeAt[keyOf(c.place)];
        if (placeAt.size() != known)
          at = kNoRecord;
        else if (at == kNoRecord || places[size_t(at)].section >= 0)
          return;
        const QStringView name = QStringView(c.place).left(c.place.indexOf(u','));
        if (last < 0 || name.compare(sections[size_t(last)].name, Qt::CaseInsensitive) != 0) {
          const QString section = name.toString();
          auto s = sectionAt.constFind(keyOf(section));
          if (s == sectionAt.constEnd()) {
            s = sectionAt.insert(keyOf(section), int(sections.size()));
            sections.push_back({section});
          }
          last = *s;
        }
        Section& sec = sections[size_t(last)];
        ++sec.spaces;
        if (at == kNoRecord) {
          ++sec.noRecord;
          ++sec.available;
          ++availableWithoutRecord;
          return;
        }
        Place& place = places[size_t(at)];
        place.section = last;
        if (place.open) {
          ++sec.available;
          ++availableByLot[place.lotId];
        }
      },
      [&placeAt](qint64 n) { placeAt.reserve(placeAt.size() + n); });

  StateCounts notOnMap{}, allStates{};
  for (const Place& p : places) {
    StateCounts& to = p.section >= 0 ? sections[size_t(p.section)].states : notOnMap;
    for (const Record* r : p.records) {
      ++to[size_t(r->state)];
      ++allStates[size_t(r->state)];
    }
  }
  auto stateCells = [](Row& row, const StateCounts& n, bool bold) {
    for (size_t i = 0; i < n.size(); ++i) row[3 + i] = number(n[i], bold);
  };

  if (!map.exists) {
    Row row(cols);
    row[0] = {QStringLiteral("No map for this cemetery")};
    stateCells(row, allStates, false);
    t.rows.push_back(std::move(row));
    return t;
  }

  std::sort(sections.begin(), sections.end(),
            [](const Section& a, const Section& b) { return comparePlaces(a.name, b.name) < 0; });
  Section total;
  auto sectionRow = [&](const Section& s, bool bold) {
    Row row(cols);
    row[0] = {s.name, Align::Left, bold};
    row[1] = number(s.spaces, bold);
    row[2] = number(s.noRecord, bold);
    stateCells(row, s.states, bold);
    row[7] = number(s.available, bold);
    return row;
  };
  auto add = [&total](const Section& s) {
    total.spaces += s.spaces;
    total.noRecord += s.noRecord;
    total.available += s.available;
    for (size_t i = 0; i < s.states.size(); ++i) total.states[i] += s.states[i];
  };
  for (const Section& s : sections) {
    t.rows.push_back(sectionRow(s, false));
    add(s);
  }
  if (map.unlabelledLots > 0) {
    // Burial lots drawn without a place: spaces nobody holds.
    const qint64 n = map.unlabelledLots;
    const Section s{QStringLiteral("No place written"), n, n, n, {}};
    t.rows.push_back(sectionRow(s, false));
    add(s);
    availableWithoutRecord += n;
  }
  if (notOnMap != StateCounts{}) {
    Row row(cols);
    row[0] = {QStringLiteral("Not on the map")};
    stateCells(row, notOnMap, false);
    t.rows.push_back(std::move(row));
    for (size_t i = 0; i < notOnMap.size(); ++i) total.states[i] += notOnMap[i];
  }
  total.name = QStringLiteral("Total");
  t.rows.push_back(sectionRow(total, true));
  if (total.available == 0) return t;

  // The available spaces again, by the lot type their records give. No empty row before it: the
  // grid puts each row after the last one holding text.
  Row head(cols);
  head[0] = {QStringLiteral("Available by Lot Type"), Align::Left, true};
  head[7] = {QStringLiteral("Available"), Align::Right, true};
  t.rows.push_back(std::move(head));
  auto lotRow = [&](const QString& label, qint64 n) {
    if (n == 0) return;
    Row row(cols);
    row[0] = {label};
    row[7] = number(n);
    t.rows.push_back(std::move(row));
  };
  RecordSet rs(&cn);
  rs.open(QStringLiteral("select lotid, lotdesc, lotsize from lots order by lotdesc, lotsize, lotid"));
  for (; !rs.eof(); rs.moveNext()) {
    const QString desc = rs.field(1).toString().trimmed(), size = rs.field(2).toString().trimmed();
    lotRow(size.isEmpty() ? desc : desc + QStringLiteral(" (") + size + u')',
           availableByLot.take(rs.field(0).toInt()));
  }
  rs.close();
  qint64 withoutLot = 0;
  for (qint64 n : std::as_const(availableByLot)) withoutLot += n;
  lotRow(QStringLiteral("Open, no lot type given"), withoutLot);
  lotRow(QStringLiteral("No record"), availableWithoutRecord);
  return t;
}

Table mapCheck(Connection& cn, const Cemetery& cemetery, const Sources& sources) {
  Table t;
  t.title = QStringLiteral("Map Check for ") + cemetery.name;
  t.columns = {{QStringLiteral("Rec ID"), Align::Left, 7},
               {QStringLiteral("Kind"), Align::Left, 25},
               {QStringLiteral("Place"), Align::Left, 13},
               {QStringLiteral("Details"), Align::Left, 44}};
  t.gap = 2;
  t.recordColumn = 0;

  const std::vector<Record> recs = records(cn, cemetery.id);
  QHash<MapKeys::FoldedKey, std::vector<const Record*>> byPlace;
  for (const Record& r : recs) byPlace[keyOf(r.place)].push_back(&r);

  // Cells by place, numbered as the map names them first; a place met again collects every position
  // it is drawn at.
  struct Seen {
    int row = 0, col = 0;
    int twice = -1;  // index into drawnTwice
  };
  struct Twice {
    QString place;
    QStringList at;
  };
  auto at = [](int row, int col) { return QStringLiteral("row %1, column %2").arg(row).arg(col); };
  MapKeys::PlaceIndex drawn;
  std::vector<Seen> seen;
  std::vector<Twice> drawnTwice;
  const MapSummary map = readMap(
      cn, sources.dataPath, cemetery.id,
      [&](GraveCell&& c) {
        bool added = false;
        const int i = drawn.add(c.place, &added);
        if (i < 0) return;
        if (added) {
          seen.push_back({c.row, c.col});
          return;
        }
        Seen& s = seen[size_t(i)];
        if (s.twice < 0) {
          s.twice = int(drawnTwice.size());
          drawnTwice.push_back({c.place, {at(s.row, s.col)}});
        }
        drawnTwice[size_t(s.twice)].at << at(c.row, c.col);
      },
      [&](qint64 n) {
        drawn.reserve(n);
        seen.reserve(size_t(n));
      });

  enum Kind { NotOnMap, DrawnTwice, Shared, WrongState };
  const QString kinds[] = {
      QStringLiteral("Place not on the map"), QStringLiteral("Place drawn more than once"),
      QStringLiteral("Place shared by records"), QStringLiteral("State disagrees with data")};
  struct Finding {
    Kind kind;
    qint64 record;  // 0: none
    QString place, details;
  };
  std::vector<Finding> found;
  // Records without any place are one finding, not each a place shared with all the others.
  const QString noPlace = QStringLiteral(",,");
  QStringList placeless;
  for (const Record& r : recs) {
    if (r.place == noPlace) {
      placeless << QString::number(r.id);
      if (r.state != r.saved)
        found.push_back({WrongState, r.id, r.place,
                         QStringLiteral("Stored as %1; Save would make it %2")
                             .arg(GraveState::formText(r.state), GraveState::formText(r.saved))});
      continue;
    }
    if (map.exists && drawn.find(r.place) < 0)
      found.push_back({NotOnMap, r.id, r.place, QStringLiteral("No cell of the map names this place")});
    const std::vector<const Record*>& same = byPlace[keyOf(r.place)];
    if (same.size() > 1) {
      QStringList others;
      for (const Record* o : same)
        if (o != &r) others << QString::number(o->id);
      found.push_back({Shared, r.id, r.place,
                       (others.size() == 1 ? QStringLiteral("Same place as record ")
                                           : QStringLiteral("Same place as records ")) +
                           others.join(QStringLiteral(", "))});
    }
    if (r.state != r.saved)
      found.push_back({WrongState, r.id, r.place,
                       QStringLiteral("Stored as %1; Save would make it %2")
                           .arg(GraveState::formText(r.state), GraveState::formText(r.saved))});
  }
  for (const Twice& d : drawnTwice) {
    const std::vector<const Record*> holders = byPlace.value(keyOf(d.place));
    found.push_back({DrawnTwice, holders.empty() ? 0 : holders.front()->id, d.place,
                     QStringLiteral("Cells at ") + d.at.join(QStringLiteral("; "))});
  }

  std::sort(found.begin(), found.end(), [](const Finding& a, const Finding& b) {
    if (a.kind != b.kind) return a.kind < b.kind;
    if (const int c = comparePlaces(a.place, b.place)) return c < 0;
    return a.record < b.record;
  });

  if (!map.exists)
    t.rows.push_back({{},
                      {QStringLiteral("This cemetery has no map.")},
                      {},
                      {QStringLiteral("Places were not compared with a map.")}});
  for (const Finding& f : found)
    t.rows.push_back(
        {{f.record ? QString::number(f.record) : QString()}, {kinds[f.kind]}, {f.place}, {f.details}});
  if (!placeless.isEmpty()) {
    constexpr int kListed = 20;
    const qsizetype n = placeless.size();
    QString details = n == 1 ? QStringLiteral("1 record has no place: ")
                             : QStringLiteral("%1 records have no place: ").arg(n);
    details += placeless.mid(0, kListed).join(QStringLiteral(", "));
    if (n > kListed) details += QStringLiteral(" and %1 more").arg(n - kListed);
    t.rows.push_back({{}, {QStringLiteral("Records without a place")}, {}, {details}});
  }
  if (found.empty() && placeless.isEmpty())
    t.rows.push_back({{}, {QStringLiteral("No disagreements found.")}, {}, {}});
  t.countLine = countLine(t.columns.size(), 1, int(found.size()) + (placeless.isEmpty() ? 0 : 1));
  return t;
}

}  // namespace Report
