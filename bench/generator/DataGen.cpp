#include "DataGen.h"

#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QStringList>
#include <array>
#include <list>
#include <vector>

#include "core/store/Connection.h"
#include "core/store/DateValue.h"
#include "core/store/GraveState.h"
#include "core/store/Money.h"
#include "core/store/Schema.h"
#include "core/store/Statement.h"

namespace DataGen {

namespace {

// Place numbering: the n-th grave space of a cemetery.
constexpr int kGravesPerLot = 4;
constexpr int kLotsPerSection = 10;
constexpr int kSectionsPerBand = 5;

// Our own generator: std distributions differ between library versions, the data must not.
class Rng {
 public:
  explicit Rng(quint64 seed) : s_(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {}
  quint64 next() {
    quint64 z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int below(int n) { return n <= 0 ? 0 : int(next() % quint64(n)); }
  int between(int lo, int hi) { return lo + below(hi - lo + 1); }
  bool chance(int percent) { return below(100) < percent; }
  template <size_t N>
  const char* pick(const std::array<const char*, N>& a) {
    return a[size_t(below(int(N)))];
  }

 private:
  quint64 s_;
};

const std::array<const char*, 40> kLastNames = {
    "Abbott",     "Baker",  "Calloway",  "Dalton",    "Ellison",   "Fairbanks", "Garrity",  "Holloway",
    "Ingram",     "Jessup", "Kowalski",  "Lindqvist", "Mercer",    "Nolan",     "O'Brien",  "Pruitt",
    "Quimby",     "Ramsey", "Sadler",    "Thornton",  "Underwood", "Vance",     "Whitaker", "Yoder",
    "Zimmer",     "Becker", "Castillo",  "Dunmore",   "Everly",    "Fitch",     "Grady",    "Hartley",
    "McAllister", "Novak",  "Pemberton", "Reyes",     "Stroud",    "Tillman",   "Van Horn", "Wexler"};
const std::array<const char*, 24> kMaleNames = {
    "Albert", "Bernard", "Charles", "Daniel", "Edward", "Frank",  "George", "Harold",
    "Isaac",  "James",   "Kenneth", "Lewis",  "Martin", "Nathan", "Oscar",  "Peter",
    "Ralph",  "Samuel",  "Thomas",  "Walter", "Henry",  "Joseph", "Arthur", "Eugene"};
const std::array<const char*, 24> kFemaleNames = {
    "Ada",   "Beatrice", "Clara",     "Dorothy", "Edith", "Florence", "Grace", "Hazel",
    "Irene", "Julia",    "Katherine", "Lillian", "Mabel", "Nora",     "Olive", "Pearl",
    "Ruth",  "Sarah",    "Thelma",    "Viola",   "Wilma", "Agnes",    "Helen", "Mary"};
const std::array<const char*, 16> kStreets = {
    "Maple St", "Oak Ave",  "Church Rd", "Mill Ln",   "River Rd", "Elm St",    "Main St",  "Hill St",
    "Park Ave", "Cedar Ln", "Lake Dr",   "Spring St", "Pine St",  "Walnut St", "Ridge Rd", "School St"};
const std::array<const char*, 10> kCities = {"Millbrook",  "Ashford", "Cedar Falls", "Riverton",
                                             "Greenfield", "Hollis",  "Brookside",   "Fair Haven",
                                             "Westbury",   "Linden"};
const std::array<const char*, 8> kStates = {"PA", "OH", "NY", "VT", "IN", "WI", "MI", "ME"};
const std::array<const char*, 8> kCauses = {"Heart failure", "Pneumonia", "Old age",   "Stroke",
                                            "Cancer",        "Accident",  "Influenza", "Tuberculosis"};
const std::array<const char*, 5> kUndertakers = {"Harmon & Sons", "Whitfield Funeral Home", "Baxter Mortuary",
                                                 "Greer Funeral Chapel", "Lindell Bros."};
const std::array<const char*, 4> kSocial = {"Married", "Single", "Widowed", "Divorced"};
const std::array<const char*, 4> kVaults = {"Concrete", "Steel", "None", "Wood"};
const std::array<const char*, 6> kRemarks = {
    "Flat marker",         "Upright stone", "Veteran", "Double headstone", "Moved from old churchyard",
    "Marker \"Babe\" only"};

struct LotType {
  const char* desc;
  const char* size;
  qint64 priceScaled;  // x10000
};
const std::array<LotType, 6> kLotTypes = {{{"Single Grave", "3x8", 5000000},
                                           {"Double Lot", "6x8", 9500000},
                                           {"Family Lot", "12x16", 18000000},
                                           {"Cremation Niche", "2x2", 3507500},
                                           {"Infant Grave", "2x4", 1500000},
                                           {"Mausoleum Crypt", "8x10", 42500000}}};

struct CemeteryRow {
  const char* name;
  const char* addr1;
  const char* city;
  const char* state;
  const char* zip;
  const char* phone;
};
const std::array<CemeteryRow, 4> kCemeteries = {{
    {"Hillcrest Cemetery", "400 Cemetery Rd", "Millbrook", "PA", "17050", "(555) 210-4400"},
    {"Oak Grove Cemetery", "12 Grove Lane", "Ashford", "OH", "44004", "(555) 386-1120"},
    {"St. Mary's Churchyard", "1 Church Sq", "Riverton", "NY", "12401", "(555) 440-9012"},
    {"Pleasant View Burial Ground", "88 Ridge Rd", "Hollis", "VT", "05641", "(555) 701-3388"},
}};

QString sectionName(int k) {
  QString s;
  for (int n = k;; n = n / 26 - 1) {
    s.prepend(QChar(u'A' + n % 26));
    if (n < 26) break;
  }
  return s;
}

struct Place {
  QString section, lot, grave;
  int sectionIndex, lotIndex, graveIndex;
};

Place placeOf(int n) {
  const int perSection = kGravesPerLot * kLotsPerSection;
  Place p;
  p.sectionIndex = n / perSection;
  p.lotIndex = (n % perSection) / kGravesPerLot;
  p.graveIndex = n % kGravesPerLot;
  p.section = sectionName(p.sectionIndex);
  p.lot = QString::number(p.lotIndex + 1);
  p.grave = QString::number(p.graveIndex + 1);
  return p;
}

// Prepared statement with positional binding helpers.
class Insert {
 public:
  Insert(Connection& cn, const char* sql) : cn_(cn), st_(cn, sql) {}
  Insert& text(const QString& s) {
    held_.push_back(s.toUtf8());
    st_.bindText(++pos_, held_.back());
    return *this;
  }
  Insert& text(const char* s) { return text(QString::fromUtf8(s)); }
  Insert& integer(qint64 v) {
    st_.bind(++pos_, v);
    return *this;
  }
  Insert& real(double v) {
    st_.bind(++pos_, v);
    return *this;
  }
  Insert& money(qint64 scaled) {
    st_.bind(++pos_, Schema::toStored(Money::fromScaled(scaled)));
    return *this;
  }
  Insert& date(const QDate& d) {
    if (!d.isValid()) return null();
    return text(DateValue::toIso(d));
  }
  Insert& null() {
    st_.bindNull(++pos_);
    return *this;
  }
  qint64 run() {
    st_.next();
    st_.reset();
    held_.clear();
    pos_ = 0;
    return cn_.lastInsertKey();
  }

 private:
  Connection& cn_;
  Statement st_;
  std::list<QByteArray> held_;  // bound texts stay alive until the row is written
  int pos_ = 0;
};

QDate randomDate(Rng& r, int fromYear, int toYear) {
  QDate d(r.between(fromYear, toYear), r.between(1, 12), 1);
  return d.addDays(r.below(d.daysInMonth()));
}

QString phone(Rng& r) {
  return QStringLiteral("(555) %1-%2").arg(r.between(200, 999)).arg(r.between(0, 9999), 4, 10, QChar(u'0'));
}

using State = GraveState::State;

State stateFor(Rng& r, int i, bool allStates) {
  if (!allStates) return State::Buried;
  if (i < 4) return State(i);
  int k = r.below(100);
  if (k < 15) return State::Open;
  if (k < 40) return State::Sold;
  if (k < 55) return State::Reserved;
  return State::Buried;
}

// Planted places of cemetery 1, by the index of its grave spaces.
constexpr int kDrawnOver = 5;     // its cell shows the text of the grave before it
constexpr int kSharedPlace = 10;  // the last record is moved here too
constexpr int kSoldNamed = 20;    // sold, with an interred name

void plantDisagreements(Connection& cn, qint64 cemeteryId, int count) {
  if (count <= kSoldNamed + 1) return;
  const Place shared = placeOf(kSharedPlace), last = placeOf(count - 1), named = placeOf(kSoldNamed);
  auto where = [&](const Place& p) {
    return QStringLiteral(" where cemeteryid=%1 and csection='%2' and lot='%3' and grave='%4'")
        .arg(cemeteryId)
        .arg(p.section, p.lot, p.grave);
  };
  cn.execute(QStringLiteral("update zel set csection='%1', lot='%2', grave='%3'")
                 .arg(shared.section, shared.lot, shared.grave) +
             where(last));
  cn.execute(QStringLiteral("update zel set status='S', interdate=null, interlastname='Keller', "
                            "interfirstname='Ruth', ownerlastname='Keller', ownerfirstname='Otto'") +
             where(named));
}

}  // namespace

QString Cell::text() const {
  if (!label.isEmpty()) return label;
  return section + u',' + lot + u',' + grave;
}

void fill(Connection& cn, const Options& o) {
  Rng r(o.seed);
  const bool ownTransaction = !cn.inTransaction();
  if (ownTransaction) cn.beginTransaction();
  try {
    std::vector<qint64> cemeteryIds;
    {
      Insert ins(cn,
                 "insert into cemetery (name, addr1, addr2, city, state, zipcode, phone, remarks)"
                 " values (?,?,?,?,?,?,?,?)");
      for (int c = 0; c < o.cemeteries; ++c) {
        const CemeteryRow& row = kCemeteries[size_t(c) % kCemeteries.size()];
        QString name = QString::fromUtf8(row.name);
        if (c >= int(kCemeteries.size())) name += QStringLiteral(" %1").arg(c / int(kCemeteries.size()) + 1);
        ins.text(name).text(row.addr1);
        if (c % 2)
          ins.null();
        else
          ins.text(QStringLiteral("P.O. Box %1").arg(100 + c * 17));
        ins.text(row.city).text(row.state).text(row.zip).text(row.phone);
        ins.text(c == 0 ? QStringLiteral("Office open weekdays 9-4") : QString());
        cemeteryIds.push_back(ins.run());
      }
    }
    std::vector<qint64> lotIds;
    std::vector<qint64> lotPrices;
    {
      Insert ins(cn, "insert into lots (lotdesc, lotsize, lotprice) values (?,?,?)");
      for (int t = 0; t < o.lotTypes; ++t) {
        const LotType& lt = kLotTypes[size_t(t) % kLotTypes.size()];
        QString desc = QString::fromUtf8(lt.desc);
        qint64 price = lt.priceScaled;
        if (t >= int(kLotTypes.size())) {
          desc += QStringLiteral(" %1").arg(t / int(kLotTypes.size()) + 1);
          price += qint64(t) * 250000;
        }
        lotIds.push_back(ins.text(desc).text(lt.size).money(price).run());
        lotPrices.push_back(price);
      }
    }
    if (cemeteryIds.empty() || o.records <= 0) {
      if (ownTransaction) cn.commit();
      return;
    }

    Insert ins(
        cn,
        "insert into zel (cemeteryid, csection, lot, grave, lotid, vault, ownerlastname, ownerfirstname,"
        " owneraddress1, owneraddress2, ownercity, ownerstate, ownerzip, ownerphone, interlastname,"
        " interfirstname, sex, age, internum, interdate, birthdate, deathdate, deedbook, deedpage, certnum,"
        " purchdate, purchprice, burialfee, amtpaid, birthplace, latereside, socialstate, nearestrelative,"
        " undertaker, deathcause, remarks, status)"
        " values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    const int nCem = int(cemeteryIds.size());
    std::vector<int> interments(size_t(nCem), 0);
    const QString empty;
    for (int i = 0; i < o.records; ++i) {
      const int c = i % nCem;
      const Place p = placeOf(i / nCem);
      const State st = stateFor(r, i, o.allStates);
      const int lt = lotIds.empty() ? -1 : r.below(int(lotIds.size()));

      ins.integer(cemeteryIds[size_t(c)]).text(p.section).text(p.lot).text(p.grave);
      ins.integer(lt < 0 ? 0 : lotIds[size_t(lt)]);
      ins.text(st == State::Open ? empty : QString::fromUtf8(r.pick(kVaults)));

      // Purchaser: every sold or reserved space, most burials (old burials often have none).
      const bool hasOwner =
          st == State::Sold || st == State::Reserved || (st == State::Buried && r.chance(85));
      const QString family = QString::fromUtf8(r.pick(kLastNames));
      if (hasOwner) {
        const bool male = r.chance(50);
        ins.text(family).text(male ? r.pick(kMaleNames) : r.pick(kFemaleNames));
        ins.text(QStringLiteral("%1 %2").arg(r.between(1, 2999)).arg(QString::fromUtf8(r.pick(kStreets))));
        if (r.chance(20))
          ins.text(QStringLiteral("Apt %1").arg(r.between(1, 40)));
        else
          ins.text(empty);
        ins.text(r.pick(kCities)).text(r.pick(kStates));
        ins.text(QStringLiteral("%1").arg(r.between(1000, 99999), 5, 10, QChar(u'0')));
        ins.text(phone(r));
      } else {
        ins.text(empty).text(empty);
        // The address of a space without purchaser is often missing altogether.
        if (r.chance(50)) {
          ins.null().null().null().null().null().null();
        } else {
          ins.text(empty).text(empty).text(empty).text(empty).text(empty).text(empty);
        }
      }

      // Interred person.
      QDate birth, death, interment;
      int age = 0;
      double interNum = 0;
      if (st == State::Reserved || st == State::Buried) {
        const bool male = r.chance(50);
        ins.text(r.chance(80) ? family : QString::fromUtf8(r.pick(kLastNames)));
        ins.text(male ? r.pick(kMaleNames) : r.pick(kFemaleNames));
        ins.text(r.chance(3) ? QStringLiteral("U") : male ? QStringLiteral("M") : QStringLiteral("F"));
        if (st == State::Buried) {
          death = randomDate(r, 1890, 2025);
          birth = death.addDays(-qint64(r.between(0, 100)) * 365 - r.below(365));
          age = birth.daysTo(death) >= 0 ? int(birth.daysTo(death) / 365.25) : 0;
          interment = death.addDays(r.between(2, 7));
          interNum = ++interments[size_t(c)];
          if (r.chance(5)) birth = QDate();  // unknown birth
        } else if (r.chance(60)) {
          birth = randomDate(r, 1935, 1985);
        }
      } else {
        ins.text(empty).text(empty).text(QStringLiteral(" "));
      }
      ins.real(age).real(interNum).date(interment).date(birth).date(death);

      // Deed and purchase.
      QDate purchase;
      qint64 price = 0, fee = 0, paid = 0;
      if (st != State::Open) {
        if (hasOwner) {
          ins.text(QString::number(r.between(1, 60))).real(r.between(1, 400));
          ins.text(QStringLiteral("C-%1").arg(r.between(1000, 99999)));
          purchase = st == State::Buried ? interment.addDays(-r.between(0, 9000)) : randomDate(r, 1970, 2025);
        } else {
          ins.text(empty).real(0).text(empty);
        }
        price = lt < 0 ? 0 : lotPrices[size_t(lt)];
        if (!hasOwner) price = 0;
        if (st == State::Buried)
          fee = r.chance(10) ? 0 : qint64(r.between(6, 16)) * 500000 + r.below(4) * 2500;
        paid = price + fee;
        // About one in five owes something: nothing paid yet, half, or a few odd cents short.
        if (r.chance(20) && paid > 0) {
          switch (r.below(3)) {
            case 0:
              paid = 0;
              break;
            case 1:
              paid = (paid / 2) / 100 * 100;
              break;
            default:
              paid -= qint64(r.between(1, 9999)) * 100;
              break;
          }
          if (paid < 0) paid = 0;
        }
      } else {
        ins.text(empty).real(0).text(empty);
      }
      ins.date(purchase).money(price).money(fee).money(paid);

      if (st == State::Buried || st == State::Reserved) {
        ins.text(r.chance(70) ? r.pick(kCities) : "").text(r.pick(kCities)).text(r.pick(kSocial));
        ins.text(QStringLiteral("%1 %2").arg(QString::fromUtf8(r.pick(kFemaleNames)), family));
      } else {
        ins.text(empty).text(empty).text(empty).text(empty);
      }
      if (st == State::Buried) {
        ins.text(r.pick(kUndertakers)).text(r.pick(kCauses));
      } else {
        ins.text(empty).text(empty);
      }
      ins.text(r.chance(15) ? QString::fromUtf8(r.pick(kRemarks)) : empty);
      ins.text(GraveState::of(st).letter);
      ins.run();
    }
    if (o.disagreements) plantDisagreements(cn, cemeteryIds.front(), (o.records + nCem - 1) / nCem);
    if (ownTransaction) cn.commit();
  } catch (...) {
    if (ownTransaction) cn.rollback();
    throw;
  }
}

void makeDatabase(const QString& path, const Options& o, const QString& password) {
  const QString tmp = path + QStringLiteral(".new");
  QFile::remove(tmp);
  try {
    Connection cn;
    cn.create(tmp, password);
    Schema::create(cn);
    fill(cn, o);
    cn.close();
  } catch (...) {
    QFile::remove(tmp);
    throw;
  }
  QFile::remove(path);
  if (!QFile::rename(tmp, path)) {
    QFile::remove(tmp);
    throw DbError(DbError::CantOpen, QStringLiteral("Could not write '%1'.").arg(path));
  }
}

Layout demoLayout(const Options& o) {
  Layout l;
  if (o.cemeteries <= 0 || o.records <= 0) return l;
  const int count = (o.records + o.cemeteries - 1) / o.cemeteries;
  const int blockRows = kLotsPerSection + 1;  // caption row + lots
  auto blockOrigin = [&](int sectionIndex) {
    // Top-left of a section's block, leaving a blank row and column around it.
    int band = sectionIndex / kSectionsPerBand, slot = sectionIndex % kSectionsPerBand;
    return std::pair<int, int>(1 + band * (blockRows + 1), 1 + slot * (kGravesPerLot + 1));
  };
  int lastSection = -1;
  for (int n = 0; n < count; ++n) {
    Place p = placeOf(n);
    auto [r0, c0] = blockOrigin(p.sectionIndex);
    if (p.sectionIndex != lastSection) {
      lastSection = p.sectionIndex;
      Cell caption;
      caption.row = r0;
      caption.col = c0;
      caption.label = QStringLiteral("Section ") + p.section;
      l.cells.push_back(caption);
    }
    Cell cell;
    cell.row = r0 + 1 + p.lotIndex;
    cell.col = c0 + p.graveIndex;
    const Place drawn = o.disagreements && n == kDrawnOver ? placeOf(n - 1) : p;
    cell.section = drawn.section;
    cell.lot = drawn.lot;
    cell.grave = drawn.grave;
    l.rows = std::max(l.rows, cell.row);
    l.cols = std::max(l.cols, cell.col);
    l.cells.push_back(std::move(cell));
  }
  return l;
}

}  // namespace DataGen
