#include "core/store/Schema.h"

#include "core/store/Connection.h"
#include "core/store/RecordFields.h"
#include "core/store/RecordSet.h"
#include "core/store/sqlite.h"

namespace Schema {

namespace {

// Text columns compare, order and match with "like" regardless of case.
const char* declaredType(RecordFields::Kind kind) {
  using K = RecordFields::Kind;
  switch (kind) {
    case K::Key:
      return "integer primary key autoincrement";
    case K::Choice:
      return "integer";
    case K::Number:
      return "double";
    case K::Date:
      return "date";
    case K::Money:
      return kMoneyType;
    case K::Text:
    case K::Sex:
    case K::State:
      break;
  }
  return "text collate nocase";
}

// Table zel as the field table declares it, columns in the order files already made hold them.
QString zelTable() {
  QStringList columns;
  for (const RecordFields::Field* f : RecordFields::inTableOrder())
    columns << QStringLiteral("  %1 %2").arg(f->column(), QLatin1StringView(declaredType(f->kind)));
  return QStringLiteral("create table if not exists zel (\n") + columns.join(QStringLiteral(",\n")) +
         QStringLiteral("\n);\n");
}

const char* kOtherTables = R"sql(
create table if not exists cemetery (
  cemeteryid integer primary key autoincrement,
  name text collate nocase,
  addr1 text collate nocase,
  addr2 text collate nocase,
  city text collate nocase,
  state text collate nocase,
  zipcode text collate nocase,
  phone text collate nocase,
  remarks text collate nocase
);
create table if not exists lots (
  lotid integer primary key autoincrement,
  lotdesc text collate nocase,
  lotsize text collate nocase,
  lotprice money
);
create index if not exists zel_place on zel (cemeteryid, csection, lot, grave);
create index if not exists zel_location on zel (csection, lot, grave);
create index if not exists zel_interred on zel (interlastname, interfirstname);
create index if not exists zel_owner on zel (ownerlastname, ownerfirstname);
create index if not exists zel_death on zel (deathdate);
create index if not exists zel_birth on zel (birthdate);
create index if not exists zel_lot on zel (lotid);
create index if not exists cemetery_name on cemetery (name);
create index if not exists lots_desc on lots (lotdesc, lotsize);
)sql";

// The order in which the record form, the reports and the export list places: without these a
// million records are sorted at every First.
// The change history: entries are only ever added (the history code writes them, chained by
// their hashes); the triggers refuse changing or removing one, except the erasure's value columns.
const char* const kHistoryTable = R"sql(
create table if not exists history (
  id integer primary key autoincrement,
  written text not null,
  username text not null,
  computer text not null,
  kind text not null,
  recid integer not null default 0,
  tablename text not null default '',
  field text not null default '',
  oldvalue text,
  newvalue text,
  detail text,
  oldhash blob,
  newhash blob,
  detailhash blob,
  hash blob not null
);
create index if not exists history_row on history (tablename, recid);
create table if not exists history_erasing (erasing integer);
create trigger if not exists history_no_update before update on history
  when not exists (select 1 from history_erasing)
    or new.id is not old.id or new.written is not old.written or new.username is not old.username
    or new.computer is not old.computer or new.kind is not old.kind or new.recid is not old.recid
    or new.tablename is not old.tablename or new.field is not old.field
    or new.oldhash is not old.oldhash or new.newhash is not old.newhash
    or new.detailhash is not old.detailhash or new.hash is not old.hash
begin select raise(abort, 'History entries cannot be changed.'); end;
create trigger if not exists history_no_delete before delete on history
begin select raise(abort, 'History entries cannot be removed.'); end;
)sql";

const char* kPlaceOrderIndexes = R"sql(
create index if not exists zel_place_order on zel
  (cemeteryid, csection collate places, lot collate places, grave collate places);
create index if not exists zel_location_order on zel
  (csection collate places, lot collate places, grave collate places);
)sql";

// Money columns take whole ten-thousandths only (see Schema.h). Checked after the column's numeric
// affinity has turned numeric text into numbers.
QString moneyTriggers(const QString& table, const QStringList& columns) {
  QStringList wrong;
  for (const QString& c : columns) wrong << QStringLiteral("typeof(new.%1) not in ('integer','null')").arg(c);
  const QString guard = QStringLiteral(
                            "when %1\nbegin select raise(abort, 'An amount must be stored as a whole number "
                            "of ten-thousandths.'); end;\n")
                            .arg(wrong.join(QStringLiteral(" or ")));
  return QStringLiteral("create trigger if not exists %1_money_insert after insert on %1\n").arg(table) +
         guard +
         QStringLiteral("create trigger if not exists %1_money_update after update of %2 on %1\n")
             .arg(table, columns.join(QStringLiteral(", "))) +
         guard;
}

QString allMoneyTriggers() {
  QStringList zelMoney;
  for (const RecordFields::Field& f : RecordFields::all())
    if (f.kind == RecordFields::Kind::Money) zelMoney << f.column();
  return moneyTriggers(QStringLiteral("zel"), zelMoney) +
         moneyTriggers(QStringLiteral("lots"), {QStringLiteral("lotprice")});
}

int userVersion(Connection& cn) {
  RecordSet rs(&cn);
  rs.open(QStringLiteral("PRAGMA user_version"));
  return rs.eof() ? 0 : int(rs.field(0).toInt());
}

}  // namespace

void create(Connection& cn) {
  cn.execute(zelTable() + QString::fromLatin1(kOtherTables));
  upgrade(cn);
}

void upgrade(Connection& cn) {
  const int version = userVersion(cn);
  if (version >= kVersion || !isComplete(cn)) return;
  cn.beginTransaction();
  try {
    if (version < 1) {
      // Indexes built when only A to Z were folded are out of order for other letters.
      cn.execute(QStringLiteral("REINDEX nocase"));
      cn.execute(allMoneyTriggers());
    }
    cn.execute(QString::fromLatin1(kPlaceOrderIndexes));
    cn.execute(QString::fromLatin1(kHistoryTable));
    cn.execute(QStringLiteral("PRAGMA user_version=%1").arg(kVersion));
    cn.commit();
  } catch (...) {
    cn.rollback();
    throw;
  }
}

bool isComplete(Connection& cn) {
  RecordSet rs(&cn);
  rs.open(QStringLiteral(
      "select count(*) as cnt from sqlite_master where type='table' and name in ('zel','cemetery','lots')"));
  return rs.field(QStringLiteral("cnt")).toInt() == 3;
}

bool isMoneyType(const char* declType) { return declType && qstricmp(declType, kMoneyType) == 0; }

QString moneyLiteral(const Money& m) { return QString::number(toStored(m)); }

std::optional<Value> fromStored(const Value& stored) {
  if (stored.isNull()) return Value();
  if (stored.type() != Value::Type::Integer) return std::nullopt;
  const qint64 v = stored.toInt();
  if (v < -Money::kMaxScaled) return std::nullopt;
  return Value(Money::fromScaled(v));
}

std::optional<Value> readMoney(sqlite3_stmt* st, int col) {
  switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL:
      return Value();
    case SQLITE_INTEGER:
      return fromStored(Value(qint64(sqlite3_column_int64(st, col))));
    default:
      return std::nullopt;
  }
}

void bindMoney(sqlite3_stmt* st, int pos, const Money& m) { sqlite3_bind_int64(st, pos, toStored(m)); }

DbError badMoney(const QString& column, const Value& stored) {
  return DbError(
      6, QStringLiteral("The amount stored in %1 is out of range: %2").arg(column, stored.toString()));
}

Money moneyOf(const Value& stored, const QString& column) {
  if (stored.type() == Value::Type::Money) return stored.toMoney();
  const std::optional<Value> v = fromStored(stored);
  if (!v) throw badMoney(column.isEmpty() ? QStringLiteral("an amount") : column, stored);
  return v->toMoney();
}

}  // namespace Schema
