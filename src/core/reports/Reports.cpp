#include "core/reports/Reports.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

#include "core/maps/MapKeys.h"
#include "core/reports/CemeteryPlaces.h"
#include "core/reports/PlaceReports.h"
#include "core/reports/RightsOfBurial.h"
#include "core/store/Connection.h"
#include "core/store/DateValue.h"
#include "core/store/DbError.h"
#include "core/store/RecordSet.h"
#include "core/store/Statement.h"

namespace Report {

QString moneyText(Money m, const Format& f) {
  QString s = m.toString(2);
  // The ".00" format writes no zero before the decimal separator.
  const qsizetype zero = s.startsWith(u'-') ? 1 : 0;
  if (s.mid(zero, 2) == QLatin1String("0.")) s.remove(zero, 1);
  return s.replace(u'.', f.locale.decimalPoint());
}

Money shownMoney(Money m) {
  const qint64 s = m.scaled(), a = s < 0 ? -s : s;
  qint64 cents = a / 100 + (a % 100 >= 50 ? 1 : 0), scaled = 0;
  if (__builtin_mul_overflow(cents, qint64(100), &scaled)) return m;  // the last cent of the range
  return Money::fromScaled(s < 0 ? -scaled : scaled);
}

namespace {

// A plain number or date no longer than the column's width in digits fits without being measured:
// its signs and separators are no wider than a digit.
bool fitsByLength(const Cell& c, double chars) {
  if (c.bold || c.text.size() > chars) return false;
  for (const QChar ch : c.text)
    if (!ch.isDigit() && ch != u'.' && ch != u',' && ch != u'-' && ch != u'/' && ch != u' ') return false;
  return true;
}

}  // namespace

std::vector<double> fittedWidths(const Table& table, const std::function<double(const Cell&)>& charsOf) {
  std::vector<double> widths;
  for (const Column& c : table.columns) widths.push_back(c.width == 0.0 ? 0.0 : c.shownWidth());
  auto fit = [&](const Row& row, bool countLine) {
    for (size_t c = 0; c < row.size() && c < widths.size(); ++c)
      if (widths[c] > 0 && showsWhole(row[c], countLine) && !fitsByLength(row[c], widths[c]))
        widths[c] = std::max(widths[c], std::ceil(charsOf(row[c])));
  };
  for (const Row& r : table.rows) fit(r, false);
  fit(table.countLine, true);
  return widths;
}

namespace {

const std::vector<Definition> kDefinitions = {
    {Id::CemeteryList, "cemeteries", "mnuCemeteryList", "List of Cemeteries", false, false},
    {Id::LotList, "lot-types", "mnuLotList", "List of Lot Types", false, false},
    {Id::InterredByLocation, "interred-by-location", "mnuLocationSort", "Sort by Location", true, false},
    {Id::InterredByName, "interred-by-name", "mnuNameSort", "Sort by Name", true, false},
    {Id::InterredByDob, "interred-by-dob", "mnuDOBSort", "Sort by DOB", true, false},
    {Id::InterredByDod, "interred-by-dod", "mnuDODSort", "Sort by DOD", true, false},
    {Id::Receivables, "receivables", "mnuAging", "Outstanding Receivables", true, false},
    {Id::AvailableGraves, "available-graves", "mnuAvailableGraves", "Available Graves", true, true},
    {Id::MapCheck, "map-check", "mnuMapCheck", "Map Check", true, true},
    {Id::AgedReceivables, "aged-receivables", "mnuAgedReceivables", "Aged Receivables", true, true},
    {Id::RightsOfBurial, "rights-of-burial", "mnuRightsOfBurial", "Rights of Burial Register", true, true},
};

// Column positions of a query's result, looked up once by name.
class Fields {
 public:
  explicit Fields(const RecordSet& rs) : rs_(rs), names_(rs.fieldNames()) {}
  int operator[](const char* name) const {
    for (int i = 0; i < names_.size(); ++i)
      if (names_[i].compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return i;
    (void)rs_.field(QLatin1String(name));  // throws the store's "cannot be found"
    return -1;
  }

 private:
  const RecordSet& rs_;
  QStringList names_;
};

QString text(const RecordSet& rs, int col) { return rs.field(col).toString(); }
QString trimmed(const RecordSet& rs, int col) { return rs.field(col).toString().trimmed(); }

Cell right(QString t) { return {std::move(t), Align::Right}; }

// Texts that many rows share (dates, the sex) are kept once and shared: a million rows then hold
// a few thousand dates rather than two million copies of them, and each is written once.
class SharedTexts {
 public:
  explicit SharedTexts(const QString& dateFormat) : dateFormat_(dateFormat) {}
  // A date cell: empty unless the field holds a valid date.
  QString date(const Value& v) {
    if (!v.isDate()) return {};
    const QDate d = v.toDate();
    auto it = dates_.constFind(d.toJulianDay());
    if (it == dates_.constEnd())
      it = dates_.insert(d.toJulianDay(), DateValue::formatDisplay(d, dateFormat_));
    return *it;
  }
  QString text(const QString& s) {
    auto it = texts_.constFind(s);
    if (it == texts_.constEnd()) it = texts_.insert(s);
    return *it;
  }

 private:
  QString dateFormat_;
  QHash<qint64, QString> dates_;
  QSet<QString> texts_;
};

QString location(const RecordSet& rs, int section, int lot, int grave) {
  return MapKeys::recordKey(text(rs, section), text(rs, lot), text(rs, grave));
}

QString cemeteryAddress(const RecordSet& rs, const Fields& f) {
  QString a = text(rs, f["addr1"]);
  const QString addr2 = text(rs, f["addr2"]);
  if (!addr2.trimmed().isEmpty()) a += u'\n' + addr2;
  return a + u'\n' + text(rs, f["city"]) + QStringLiteral(", ") + text(rs, f["State"]) +
         QStringLiteral("  ") + text(rs, f["zipcode"]);
}

void setColumns(Table& t, std::initializer_list<Column> cols) { t.columns.assign(cols); }

}  // namespace

const std::vector<Definition>& definitions() { return kDefinitions; }

const Definition& definition(Id id) {
  for (const Definition& d : kDefinitions)
    if (d.id == id) return d;
  throw DbError(DbError::Misuse, 0, QStringLiteral("unknown report"));
}

const Definition* findByKey(const QString& key) {
  for (const Definition& d : kDefinitions)
    if (key == QLatin1String(d.key)) return &d;
  return nullptr;
}

// Every order ends with the key: records alike in the order's fields come in the order they were
// added on either engine, not in whichever order a plan happens to read them.
QString sql(Id id, qint32 cemeteryId) {
  const QString cemetery = QString::number(cemeteryId);
  const QString interred =
      QStringLiteral("select * from zel where interlastname>'' and cemeteryid=") + cemetery;
  switch (id) {
    case Id::CemeteryList:
      return QStringLiteral("select * from cemetery order by name collate names, cemeteryid");
    case Id::LotList:
      return QStringLiteral("select * from lots order by lotdesc, lotsize, lotid");
    case Id::InterredByLocation:
      return interred +
             QStringLiteral(
                 " order by csection collate places, lot collate places, grave collate places, recid");
    case Id::InterredByName:
      return interred +
             QStringLiteral(" order by interlastname collate names, interfirstname collate names, recid");
    case Id::InterredByDob:
      return interred + QStringLiteral(" order by birthdate, recid");
    case Id::InterredByDod:
      return interred + QStringLiteral(" order by deathdate, recid");
    case Id::Receivables:
    case Id::AgedReceivables:
      return QStringLiteral("select * from zel where purchprice+burialfee<>amtpaid and cemeteryid=") +
             cemetery +
             QStringLiteral(" order by ownerlastname collate names, ownerfirstname collate names, recid");
    case Id::AvailableGraves:
    case Id::MapCheck:
      return Places::recordsSql(cemeteryId);
    case Id::RightsOfBurial:
      return QStringLiteral("select * from zel where cemeteryid=") + cemetery +
             QStringLiteral(
                 " order by csection collate places, lot collate places, grave collate places, recid");
  }
  return {};
}

namespace {

// Title, columns, row height factor and gap of a report.
Table layout(Id id, const Cemetery& cemetery) {
  Table t;
  const Column recId{QStringLiteral("Rec ID"), Align::Left, std::nullopt};
  switch (id) {
    case Id::CemeteryList:
      t.title = QStringLiteral("Cemetery List");
      setColumns(t, {recId,
                     {QStringLiteral("Cemetery Name"), Align::Left, 30},
                     {QStringLiteral("Address"), Align::Left, 30},
                     {QStringLiteral("Phone"), Align::Left, 15}});
      t.rowHeightFactor = 3;
      t.gap = 1;
      break;
    case Id::LotList:
      t.title = QStringLiteral("Lot Type List");
      setColumns(t, {recId,
                     {QStringLiteral("Lot Description"), Align::Left, 30},
                     {QStringLiteral("Lot Size"), Align::Left, 30},
                     {QStringLiteral("Lot Price"), Align::Right, 15}});
      t.gap = 2;
      break;
    case Id::InterredByLocation:
    case Id::InterredByName:
    case Id::InterredByDob:
    case Id::InterredByDod:
      t.title = QStringLiteral("Interred List for ") + cemetery.name;
      setColumns(t, {recId,
                     {QStringLiteral("Location"), Align::Left, 15},
                     {QStringLiteral("Name"), Align::Left, 30},
                     {QStringLiteral("DOB"), Align::Right, 12},
                     {QStringLiteral("DOD"), Align::Right, 12},
                     {QStringLiteral("Sex"), Align::Centre, 7}});
      t.gap = 2;
      break;
    case Id::Receivables:
      t.title = QStringLiteral("Outstanding Receivables for ") + cemetery.name;
      setColumns(t, {{QStringLiteral("Rec ID"), Align::Left, 0},
                     {QStringLiteral("Location"), Align::Left, 12},
                     {QStringLiteral("Purchaser/Interred"), Align::Left, 23},
                     {QStringLiteral("Purch Date"), Align::Left, 10},
                     {QStringLiteral("Purch Price"), Align::Right, 10},
                     {QStringLiteral("Burial Fee"), Align::Right, 10},
                     {QStringLiteral("Amt Paid"), Align::Right, 10},
                     {QStringLiteral("Total Due"), Align::Right, 10}});
      t.rowHeightFactor = 2.5;
      t.gap = 1;
      break;
    case Id::AvailableGraves:
    case Id::MapCheck:
    case Id::AgedReceivables:
    case Id::RightsOfBurial:
      break;  // built by their own builders
  }

  return t;
}

// The receivables' balances by purchaser and by the age of the purchase date on the given day.
Table agedReceivables(Connection& cn, const Cemetery& cemetery, const Format& format, const QDate& today) {
  Table t;
  t.title = QStringLiteral("Aged Receivables for ") + cemetery.name;
  t.datePattern = format.dateFormat;
  t.columns = {
      {QStringLiteral("Purchaser"), Align::Left, 24},     {QStringLiteral("Current"), Align::Right, 10},
      {QStringLiteral("31-60 Days"), Align::Right, 10},   {QStringLiteral("61-90 Days"), Align::Right, 10},
      {QStringLiteral("Over 90 Days"), Align::Right, 10}, {QStringLiteral("No Date"), Align::Right, 10},
      {QStringLiteral("Total Due"), Align::Right, 10}};
  t.gap = 1;
  constexpr size_t kAges = 5;  // up to 30 days (or ahead), 31-60, 61-90, over 90, no date
  struct Purchaser {
    QString name;
    std::array<std::optional<Money>, kAges> due;
    Money total;
  };
  QHash<QString, int> at;
  std::vector<Purchaser> purchasers;
  std::array<Money, kAges> totals{};
  Money total;

  RecordSet rs(&cn);
  rs.open(sql(Id::AgedReceivables, cemetery.id), RecordSet::Cursor::ForwardOnly);
  const Fields f(rs);
  const int last = f["ownerlastname"], first = f["ownerfirstname"], bought = f["purchdate"],
            price = f["purchprice"], fee = f["burialfee"], paid = f["amtpaid"];
  for (; !rs.eof(); rs.moveNext()) {
    const Money due = shownMoney(rs.field(price).toMoney()) + shownMoney(rs.field(fee).toMoney()) -
                      shownMoney(rs.field(paid).toMoney());
    if (due.isZero()) continue;  // owes nothing in the amounts the form shows
    const QString lastName = trimmed(rs, last), firstName = trimmed(rs, first);
    const QString name = lastName.isEmpty() && firstName.isEmpty()
                             ? QStringLiteral("(no purchaser)")
                             : lastName + QStringLiteral(", ") + firstName;
    // One purchaser however the name's letters are cased; the first spelling is shown.
    const QString key = name.toCaseFolded();
    auto it = at.constFind(key);
    if (it == at.constEnd()) {
      it = at.insert(key, int(purchasers.size()));
      purchasers.push_back({name, {}, {}});
    }
    Purchaser& p = purchasers[size_t(*it)];
    const Value date = rs.field(bought);
    size_t age = kAges - 1;
    if (date.isDate()) {
      const qint64 days = date.toDate().daysTo(today);
      age = days <= 30 ? 0 : days <= 60 ? 1 : days <= 90 ? 2 : 3;
    }
    p.due[age] = p.due[age].value_or(Money()) + due;
    p.total += due;
    totals[age] += due;
    total += due;
  }
  rs.close();

  for (const Purchaser& p : purchasers) {
    Row row{{p.name}};
    for (const std::optional<Money>& m : p.due) row.push_back(m ? right(moneyText(*m, format)) : Cell{});
    row.push_back(right(moneyText(p.total, format)));
    t.rows.push_back(std::move(row));
  }
  t.countLine = {{QStringLiteral("Count: ") + QString::number(t.count()), Align::Left, true}};
  for (const Money& m : totals) t.countLine.push_back({moneyText(m, format), Align::Right, true});
  t.countLine.push_back({moneyText(total, format), Align::Right, true});
  t.total = total;
  return t;
}

// The interred lists, read straight from the engine's columns: a million rows each made into
// values first would cost more than the query itself. Texts are trimmed as the record form trims
// them, dates shown as the record form shows a stored date.
void interredRows(Table& t, Connection& cn, const QString& query) {
  Statement st(cn, cn.translate(query).toUtf8());
  const auto column = [&st](const char* name) {
    for (int i = 0; i < st.columnCount(); ++i)
      if (qstricmp(st.columnName(i), name) == 0) return i;
    throw DbError(3265, QStringLiteral("Item cannot be found."));
  };
  const int key = column("recid"), section = column("csection"), lot = column("lot"), grave = column("grave"),
            last = column("interlastname"), first = column("interfirstname"), birth = column("birthdate"),
            death = column("deathdate"), sex = column("sex");
  // Plain ASCII without spaces at either end, the usual text, is taken as it stands.
  const auto trimmed = [&st](int i) {
    const QByteArrayView b = st.text(i);
    const auto plainEnd = [](char c) { return uchar(c) > ' ' && uchar(c) < 0x80; };
    if (b.isEmpty() || (plainEnd(b.front()) && plainEnd(b.back()))) return QString::fromUtf8(b);
    return QString::fromUtf8(b).trimmed();
  };
  QHash<qint64, QString> dates;
  QHash<QByteArray, QString> sexes;
  const auto date = [&](int i) -> QString {
    if (st.type(i) != Statement::Type::Text) return {};
    const QByteArrayView b = st.text(i);
    QDate d;
    int n[3] = {0, 0, 0}, part = 0;
    bool stored = b.size() == 10 && b[4] == '-' && b[7] == '-';
    for (int k = 0; k < 10 && stored; ++k) {
      if (k == 4 || k == 7)
        ++part;
      else if (b[k] >= '0' && b[k] <= '9')
        n[part] = n[part] * 10 + (b[k] - '0');
      else
        stored = false;
    }
    d = stored ? QDate(n[0], n[1], n[2]) : DateValue::fromIso(QString::fromUtf8(b)).date();
    if (!d.isValid()) return {};
    auto it = dates.constFind(d.toJulianDay());
    if (it == dates.constEnd())
      it = dates.insert(d.toJulianDay(), DateValue::formatDisplay(d, t.datePattern));
    return *it;
  };
  const QString comma = QStringLiteral(", ");
  while (st.next()) {
    Row row(6);
    row[0].text = st.type(key) == Statement::Type::Integer ? QString::number(st.int64(key)) : st.string(key);
    row[1].text = MapKeys::recordKey(trimmed(section), trimmed(lot), trimmed(grave));
    row[2].text = trimmed(last) + comma + trimmed(first);
    row[3].text = date(birth);
    row[4].text = date(death);
    for (Cell* d : {&row[3], &row[4]})
      if (!d->text.isEmpty()) d->align = Align::Right;
    const QByteArray s = st.text(sex).toByteArray();
    auto it = sexes.constFind(s);
    if (it == sexes.constEnd()) it = sexes.insert(s, QString::fromUtf8(s));
    row[5] = {*it, Align::Centre};
    t.rows.push_back(std::move(row));
  }
}

}  // namespace

Table build(Id id, Connection& cn, const Cemetery& cemetery, const Format& format, const Sources& sources) {
  if (id == Id::AvailableGraves || id == Id::MapCheck) {
    Table t = id == Id::MapCheck ? mapCheck(cn, cemetery, sources) : availableGraves(cn, cemetery, sources);
    t.datePattern = format.dateFormat;
    return t;
  }
  if (id == Id::RightsOfBurial) return rightsOfBurial(cn, cemetery, format);
  if (id == Id::AgedReceivables)
    return agedReceivables(cn, cemetery, format, sources.today ? sources.today() : QDate::currentDate());
  Table t = layout(id, cemetery);
  t.datePattern = id == Id::InterredByName ? QStringLiteral("mm-dd-yyyy") : format.dateFormat;
  if (id == Id::InterredByLocation || id == Id::InterredByName || id == Id::InterredByDob ||
      id == Id::InterredByDod) {
    interredRows(t, cn, sql(id, cemetery.id));
    t.countLine.resize(t.columns.size());
    t.countLine[1] = {QStringLiteral("Count: ") + QString::number(t.count()), Align::Left, true};
    return t;
  }
  Money total;
  RecordSet rs(&cn);
  rs.open(sql(id, cemetery.id), RecordSet::Cursor::ForwardOnly);
  const Fields f(rs);
  const QString comma = QStringLiteral(", ");
  switch (id) {
    case Id::CemeteryList: {
      const int key = f["cemeteryid"], name = f["Name"], phone = f["phone"];
      for (; !rs.eof(); rs.moveNext())
        t.rows.push_back({{text(rs, key)}, {text(rs, name)}, {cemeteryAddress(rs, f)}, {text(rs, phone)}});
      break;
    }
    case Id::LotList: {
      const int key = f["lotid"], desc = f["lotdesc"], size = f["lotsize"], price = f["lotprice"];
      for (; !rs.eof(); rs.moveNext()) {
        // A lot type without a price shows an empty cell, not a made-up zero.
        const Value p = rs.field(price);
        t.rows.push_back({{text(rs, key)},
                          {text(rs, desc)},
                          {text(rs, size)},
                          p.isNull() ? Cell{} : right(moneyText(p.toMoney(), format))});
      }
      break;
    }
    case Id::Receivables: {
      const int key = f["recid"], section = f["csection"], lot = f["lot"], grave = f["grave"],
                ownerLast = f["ownerlastname"], ownerFirst = f["ownerfirstname"], last = f["interlastname"],
                first = f["interfirstname"], bought = f["purchdate"], price = f["purchprice"],
                fee = f["burialfee"], paid = f["amtpaid"];
      SharedTexts shared(format.dateFormat);
      for (; !rs.eof(); rs.moveNext()) {
        const Money p = shownMoney(rs.field(price).toMoney()), b = shownMoney(rs.field(fee).toMoney()),
                    a = shownMoney(rs.field(paid).toMoney());
        const Money due = p + b - a;
        if (due.isZero()) continue;  // owes nothing in the amounts the form shows
        total += due;
        t.rows.push_back({{text(rs, key)},
                          {location(rs, section, lot, grave)},
                          {trimmed(rs, ownerLast) + comma + trimmed(rs, ownerFirst) + u'\n' +
                           trimmed(rs, last) + comma + trimmed(rs, first)},
                          {shared.date(rs.field(bought))},
                          right(moneyText(p, format)),
                          right(moneyText(b, format)),
                          right(moneyText(a, format)),
                          right(moneyText(due, format))});
      }
      break;
    }
    case Id::InterredByLocation:
    case Id::InterredByName:
    case Id::InterredByDob:
    case Id::InterredByDod:
    case Id::AvailableGraves:
    case Id::MapCheck:
    case Id::AgedReceivables:
    case Id::RightsOfBurial:
      break;
  }
  rs.close();

  t.countLine.resize(t.columns.size());
  t.countLine[1] = {QStringLiteral("Count: ") + QString::number(t.count()), Align::Left, true};
  if (id == Id::Receivables) {
    t.total = total;
    t.countLine[7] = {moneyText(total, format), Align::Right, true};
  }
  return t;
}

}  // namespace Report
