#include "core/reports/RightsOfBurial.h"

#include "core/history/History.h"
#include "core/maps/MapKeys.h"
#include "core/store/DateValue.h"

namespace Report {

namespace {

bool nobody(const History::Purchaser& p) {
  return p.firstName.trimmed().isEmpty() && p.lastName.trimmed().isEmpty() && p.purchaseDate.isEmpty();
}

QString shownDate(const QString& iso, const QString& pattern) {
  const QDateTime d = DateValue::fromIso(iso);
  return d.isValid() ? DateValue::formatDisplay(d.date(), pattern) : iso;
}

}  // namespace

Table rightsOfBurial(Connection& cn, const Cemetery& cemetery, const Format& format) {
  Table t;
  t.title = QStringLiteral("Rights of Burial Register for ") + cemetery.name;
  t.datePattern = format.dateFormat;
  t.columns = {{QStringLiteral("Rec ID"), Align::Left, std::nullopt},
               {QStringLiteral("Location"), Align::Left, 15},
               {QStringLiteral("Purchaser"), Align::Left, 30},
               {QStringLiteral("Purch Date"), Align::Right, 12},
               {QStringLiteral("Recorded"), Align::Right, 12}};
  t.gap = 2;
  t.recordColumn = 0;
  int graves = 0;
  for (const History::GravePurchasers& g : History::rightsOfBurial(cn, cemetery.id)) {
    // A grave's register starts with its first purchaser; a grave never sold has none.
    auto first = g.purchasers.begin();
    while (first != g.purchasers.end() && nobody(*first)) ++first;
    if (first == g.purchasers.end()) continue;
    ++graves;
    const QString location = MapKeys::recordKey(g.section, g.lot, g.grave);
    for (auto p = first; p != g.purchasers.end(); ++p) {
      const QString last = p->lastName.trimmed(), firstName = p->firstName.trimmed();
      // A purchaser removed from the grave is a step of its register too.
      const QString name = last.isEmpty() && firstName.isEmpty() ? QStringLiteral("(no purchaser)")
                                                                 : last + QStringLiteral(", ") + firstName;
      Cell bought{shownDate(p->purchaseDate, format.dateFormat)};
      if (!bought.text.isEmpty()) bought.align = Align::Right;
      // Before the history began nobody noted when.
      Cell recorded{p->from.isValid()
                        ? DateValue::formatDisplay(p->from.toLocalTime().date(), format.dateFormat)
                        : QStringLiteral("before history")};
      recorded.align = Align::Right;
      t.rows.push_back(
          {{QString::number(g.recid)}, {location}, {name}, std::move(bought), std::move(recorded)});
    }
  }
  t.countLine.resize(t.columns.size());
  t.countLine[1] = {QStringLiteral("Graves: ") + QString::number(graves), Align::Left, true};
  t.countLine[2] = {QStringLiteral("Purchasers: ") + QString::number(t.count()), Align::Left, true};
  return t;
}

}  // namespace Report
