#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "core/store/Money.h"
#include "core/store/Value.h"

class Connection;
class EngineStatement;

// The tables of the program's database.
//
// Money. The money columns (zel.purchprice, zel.burialfee, zel.amtpaid, lots.lotprice) are
// declared "money" and hold the amount as an INTEGER count of ten-thousandths (Money::kScale), or
// NULL. Nothing else: so that SQL sums and comparisons such as "purchprice+burialfee<>amtpaid" stay
// exact, and so that a number in the file has one meaning only. Triggers refuse any other kind of
// value, and every reader and writer goes through the helpers below (RecordSet uses them for
// columns declared "money"). SQL text never carries a plain number into a money column: 100 there
// would be one hundredth of a cent.
//
// Text. Text columns are "collate nocase"; the program's connections fold every letter for it
// (TextFold), so comparisons, ordering, indexes and LIKE ignore case for all letters.
//
// On a server the same tables are made from the same field table: text columns are citext (every
// letter folded by the server), money columns numeric (zel_money) refusing anything but whole
// ten-thousandths in a trigger, dates ISO text as in the file (zel_date); the collations places
// (numbers by value) and names (the language's order) are ICU's, and the indexes put Null first as
// the file orders it. typeof() and group_concat() work as in the file.
namespace Schema {

// Files whose user_version is below 1 were indexed before every letter was folded, and lack the
// money triggers; below 2 they lack the indexes in the order of places (A,2 before A,10) that
// the record form's first page reads; below 3 they lack the change history (they get it with an
// entry "history begins"). openProgramDatabase brings them up to date.
inline constexpr int kVersion = 3;

// A server's maps (see MapStore): made with its tables, and when a server folder opens without it.
inline constexpr const char* kServerMapsTable =
    "create table if not exists zelmaps (name text primary key, bytes bytea not null, "
    "version bigint not null default 1)";

// Creates the tables zel, cemetery and lots (and their indexes and triggers) when missing; a new
// file is marked current.
void create(Connection& cn);
// Brings a file made by an earlier version up to date: reindexes the text indexes under the
// folding collation, adds the money triggers and the indexes in the order of places. Does nothing
// to a current file.
void upgrade(Connection& cn);
// The history's table of records kept whole (history_rows), made with the history table: made
// when missing, within the caller's transaction; a file's table from before its rows were numbered
// gets their numbers in the order they were kept.
void createKeptRows(Connection& cn);
// True when the three tables are present.
bool isComplete(Connection& cn);

// Money columns: the declared type, the stored number, the SQL text of an amount.
inline constexpr const char* kMoneyType = "money";
bool isMoneyType(const char* declType);
inline qint64 toStored(const Money& m) { return m.scaled(); }
QString moneyLiteral(const Money& m);
// The amount a stored value stands for: Null stays Null; an INTEGER is ten-thousandths. Anything
// else breaks the convention: nothing.
std::optional<Value> fromStored(const Value& stored);
// fromStored for a column of a statement's current row.
std::optional<Value> readMoney(const EngineStatement& st, int col);
void bindMoney(EngineStatement& st, int pos, const Money& m);
// The failure for a stored value that is not an amount, naming its column.
DbError badMoney(const QString& column, const Value& stored);
// An amount computed in SQL from money columns (sum(amtpaid), purchprice+burialfee) as read
// through a record set; throws badMoney for anything but an integer or Null (Null gives 0).
Money moneyOf(const Value& stored, const QString& column = QString());

}  // namespace Schema
