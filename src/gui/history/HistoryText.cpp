#include "gui/history/HistoryText.h"

#include <QHash>
#include <QHeaderView>
#include <QTableWidget>

#include "core/program/Zel1.h"
#include "core/store/DateValue.h"
#include "core/store/GraveState.h"
#include "core/store/Money.h"
#include "core/store/RecordFields.h"
#include "core/store/RecordSet.h"

namespace HistoryText {

namespace {

QString datePattern() {
  return ZEL1.DateDisplayFormat.isEmpty() ? QStringLiteral("mm-dd-yyyy") : ZEL1.DateDisplayFormat;
}

// The manager's captions of the cemetery and lot type columns.
QString managerCaption(const QString& column) {
  static const QHash<QString, QString> captions = {
      {QStringLiteral("cemeteryid"), QStringLiteral("Cemetery #")},
      {QStringLiteral("name"), QStringLiteral("Name")},
      {QStringLiteral("addr1"), QStringLiteral("Address 1")},
      {QStringLiteral("addr2"), QStringLiteral("Address 2")},
      {QStringLiteral("city"), QStringLiteral("City")},
      {QStringLiteral("state"), QStringLiteral("State")},
      {QStringLiteral("zipcode"), QStringLiteral("Zip")},
      {QStringLiteral("phone"), QStringLiteral("Phone")},
      {QStringLiteral("remarks"), QStringLiteral("Remarks")},
      {QStringLiteral("lotid"), QStringLiteral("Lot Type #")},
      {QStringLiteral("lotdesc"), QStringLiteral("Description")},
      {QStringLiteral("lotsize"), QStringLiteral("Size")},
      {QStringLiteral("lotprice"), QStringLiteral("Price")},
  };
  return captions.value(column.toLower(), column);
}

QString amount(const QString& stored) {
  const std::optional<Money> m = Money::parse(stored);
  return m ? m->toDisplayString() : stored;
}

// The name a cemetery or lot type id stands for now; the number when it is gone.
QString choiceName(const QString& column, const QString& stored) {
  bool isNumber = false;
  const qint64 id = stored.toLongLong(&isNumber);
  if (!isNumber) return stored;
  const bool cemetery = column.compare(QLatin1String("cemeteryid"), Qt::CaseInsensitive) == 0;
  try {
    RecordSet rs(&ZEL1.cnData);
    rs.open(cemetery ? QStringLiteral("select name from cemetery where cemeteryid=%1").arg(id)
                     : QStringLiteral("select lotdesc, lotsize from lots where lotid=%1").arg(id));
    if (rs.eof()) return stored;
    QString name = rs.field(0).toString().trimmed();
    if (!cemetery) name += QStringLiteral(", ") + rs.field(1).toString().trimmed();
    return name;
  } catch (const std::exception&) {
    return stored;  // a list to read: the number says enough
  }
}

}  // namespace

QString localTime(const QDateTime& utc) {
  if (!utc.isValid()) return {};
  const QDateTime local = utc.toLocalTime();
  return DateValue::formatDisplay(local.date(), datePattern()) + u' ' +
         local.time().toString(QStringLiteral("HH:mm:ss"));
}

QString caption(const QString& table, const QString& column) {
  if (table.compare(QLatin1String("zel"), Qt::CaseInsensitive) != 0) return managerCaption(column);
  const RecordFields::Field* f = RecordFields::find(column);
  if (!f) return column;
  const QString name = QString::fromLatin1(f->name);
  const QString c = QString::fromLatin1(f->caption).trimmed();
  // The form shows the purchaser's and the interred's names under one caption each, in two frames.
  if (name.startsWith(QLatin1String("Owner"))) return QStringLiteral("Purchaser ") + c;
  if (c.endsWith(QLatin1String("Name")) && name.startsWith(QLatin1String("Inter")))
    return QStringLiteral("Interred ") + c;
  return c;
}

QString shownValue(const QString& table, const QString& column, const QString& stored) {
  if (stored.isEmpty()) return stored;
  if (table.compare(QLatin1String("lots"), Qt::CaseInsensitive) == 0)
    return column.compare(QLatin1String("lotprice"), Qt::CaseInsensitive) == 0 ? amount(stored) : stored;
  if (table.compare(QLatin1String("zel"), Qt::CaseInsensitive) != 0) return stored;
  const RecordFields::Field* f = RecordFields::find(column);
  if (!f) return stored;
  switch (f->kind) {
    case RecordFields::Kind::Date: {
      const QDateTime d = DateValue::fromIso(stored);
      return d.isValid() ? DateValue::formatDisplay(d.date(), datePattern()) : stored;
    }
    case RecordFields::Kind::Money:
      return amount(stored);
    case RecordFields::Kind::Choice:
      return choiceName(column, stored);
    case RecordFields::Kind::Sex: {
      const QString s = stored.trimmed();
      if (s == QLatin1String("M")) return QStringLiteral("Male");
      if (s == QLatin1String("F")) return QStringLiteral("Female");
      if (s == QLatin1String("U")) return QStringLiteral("Unknown");
      return s;
    }
    case RecordFields::Kind::State:
      return GraveState::formText(GraveState::fromStored(stored));
    case RecordFields::Kind::Number: {
      bool isNumber = false;
      const qint64 n = stored.toLongLong(&isNumber);
      return isNumber ? RecordFields::wholeNumberText(Value(n)) : stored;
    }
    case RecordFields::Kind::Key:
    case RecordFields::Kind::Text:
      break;
  }
  return stored;
}

QString what(const History::Entry& e) {
  using History::Kind;
  switch (e.kind) {
    case Kind::RecordSaved:
    case Kind::CemeteryChanged:
    case Kind::LotChanged:
      if (!e.field.isEmpty()) return caption(e.table, e.field);
      break;
    case Kind::OwnerErased:
      return QStringLiteral("Purchaser's address and phone erased");
    default:
      break;
  }
  QString name = History::kindName(e.kind);
  if (!name.isEmpty()) name[0] = name[0].toUpper();
  return name;
}

std::vector<HistoryLine> lines(const std::vector<History::Entry>& entries) {
  std::vector<HistoryLine> out;
  out.reserve(entries.size());
  for (const History::Entry& e : entries) {
    HistoryLine l{localTime(e.time), e.user, e.computer, what(e), {}, {}};
    switch (e.kind) {
      case History::Kind::RecordAdded:
      case History::Kind::CemeteryAdded:
      case History::Kind::LotAdded:
        // A record put back says where it came from before its contents.
        l.newValue = contentsText(e.table, History::contentsOf(e));
        if (!e.newValue.isEmpty()) l.newValue.prepend(e.newValue + u'\n');
        break;
      case History::Kind::RecordRemoved:
      case History::Kind::CemeteryRemoved:
      case History::Kind::LotRemoved:
        l.oldValue = contentsText(e.table, History::contentsOf(e));
        break;
      case History::Kind::MapSaved:
        // The old map's bytes are kept for reading back, not for reading here.
        l.newValue = e.detail.startsWith(QLatin1String("old map: "))
                         ? QStringLiteral("(the map as it was before is kept)")
                         : e.detail;
        break;
      default:
        if (!e.field.isEmpty()) {
          l.oldValue = shownValue(e.table, e.field, e.oldValue);
          l.newValue = shownValue(e.table, e.field, e.newValue);
        } else {
          // What the whole change was: the file, the archive, the erasure's note.
          l.newValue = e.newValue.isEmpty() ? e.detail : e.newValue;
        }
    }
    out.push_back(std::move(l));
  }
  return out;
}

QString contentsText(const QString& table, const History::Contents& contents) {
  QStringList out;
  for (const auto& [column, value] : contents) {
    const QString shown = shownValue(table, column, value).trimmed();
    if (!shown.isEmpty()) out << caption(table, column) + QStringLiteral(": ") + shown;
  }
  return out.join(u'\n');
}

void setUpEntryList(QTableWidget* list) {
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setWordWrap(false);
  list->verticalHeader()->setVisible(false);
  list->horizontalHeader()->setStretchLastSection(true);
}

}  // namespace HistoryText
