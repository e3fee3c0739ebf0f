#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

class Connection;
class RecordSet;

// The change history: one table "history" in the program's database, written in the same
// transaction as every change the program makes, never edited or deleted by the program (triggers
// refuse it) except by the one erasure of an owner's personal data.
//
// Each entry carries a hash of each of its values and a hash over the previous entry's hash, its
// own fields and those value hashes. An erased value keeps the hash of what it was, so the chain
// stays verifiable after an erasure; a change made outside the program breaks it (verify()).
//
// Values are kept as stored texts (Value::toString: numbers plain, amounts with two decimals, dates
// ISO); Null and empty both read as an empty text. Windows show them in their own formats through
// the field table (RecordFields::find(entry.field)).
namespace History {

enum class Kind {
  Begins,           // the first entry of a database: "history begins"
  RecordAdded,      // detail: the record's contents (see Contents)
  RecordSaved,      // one entry per changed field: field, old value, new value
  RecordRemoved,    // detail: the record's last contents
  RecordsRemoved,   // the records an import removed by emptying the table, kept whole beside the
                    // entry (removedRecords reads them); detail: their number and columns
  CemeteryAdded,    // table "cemetery"; detail: the contents
  CemeteryChanged,  // one entry per changed column
  CemeteryRemoved,  // detail: the last contents
  LotAdded,         // table "lots", as the cemetery's
  LotChanged,
  LotRemoved,
  MapSaved,     // recordId: the cemetery id; detail: the changed cells, or the old map's bytes
  Imported,     // detail: file, rows, record numbers added, emptied first
  Restored,     // detail: archive name and the archive's date
  Shared,       // detail: the server the database was shared to
  OwnerErased,  // an erasure of an owner's address and phone: the record and the entries it erased
};

// The kind's name as stored ("record saved"); kindFromName reads it back (Begins when unknown).
QString kindName(Kind kind);
Kind kindFromName(const QString& name);

struct Entry {
  qint64 id = 0;     // in the order written
  QDateTime time;    // UTC
  QString user;      // the operating-system user (the server role on a server)
  QString computer;  // host name
  Kind kind = Kind::Begins;
  qint64 recordId = 0;  // recid, cemeteryid or lotid of the entry's table; 0 for none
  QString table;        // "zel", "cemetery", "lots"; empty for entries of the whole database
  QString field;        // column as the field table names it (lower case); empty for whole rows
  QString oldValue;
  QString newValue;
  QString detail;  // contents (see Contents) or the description of the whole change
};

// A row's columns and values as stored texts, in the table's column order; a Null column is left out.
using Contents = std::vector<std::pair<QString, QString>>;
// The contents an entry's detail holds (record added / removed, cemetery or lot added / removed).
Contents contentsOf(const Entry& e);
QString contentsText(const Contents& c);                    // the detail written for contents
QString valueIn(const Contents& c, const QString& column);  // empty when not there

// --- Table -----------------------------------------------------------------------------------

// The schema makes the table and its triggers; its first entry is "history begins", written with
// the first change (or by this, for a table without entries).
void createTable(Connection& cn);
bool hasTable(Connection& cn);

// Who and where, as written into the entries. Tests may set them; empty restores the system's.
QString currentUser();
QString currentComputer();
void setIdentityForTesting(const QString& user, const QString& computer);

// --- Writing ---------------------------------------------------------------------------------
// Every write function below joins the caller's transaction when one is open, or runs in its own.
// A failure throws DbError; in its own transaction nothing of the change is left.

// Appends one entry (its time, user, computer and hashes are filled in). Returns its id.
qint64 append(Connection& cn, Entry e);

// A row as stored now: nothing when it does not exist. Table "zel", "cemetery" or "lots".
std::optional<Contents> readRow(Connection& cn, const QString& table, qint64 id);
// Entries for a row saved from `before` to what it holds now: one per changed column for a changed
// row, one "added" entry when before is nothing, none when nothing changed.
void rowSaved(Connection& cn, const QString& table, qint64 id, const std::optional<Contents>& before);

// Writes the record set's pending edit (addNew or an edited row of table zel, cemetery or lots) and
// its entries in one transaction; a failure or a refusal by the database writes neither. Returns
// the row's id.
qint64 saveRow(Connection& cn, RecordSet& rs, const QString& table);
// Deletes a row (zel, cemetery or lots) and writes its "removed" entry with its last contents, in one
// transaction. False when the row did not exist. With a version (RecordSet::version) only that
// version of the row: one changed since throws RowConflict, and nothing is removed.
bool removeRow(Connection& cn, const QString& table, qint64 id, std::optional<qint64> version = {});
// Runs an UPDATE of table zel (where is the SQL after "where") and writes one entry per changed
// field of each row it changes, in one transaction. Returns the rows changed.
int updateRecords(Connection& cn, const QString& setSql, const QString& whereSql);

// A map saved for a cemetery: the cells that changed ("row,col: old -> new" lines), or the bytes of
// the map before (when the cells cannot be compared), kept base64 in the detail.
void mapSaved(Connection& cn, qint64 cemeteryId, const QStringList& changedCells,
              const QByteArray& oldMap = {});
// A map file saved over its earlier bytes (empty: there was none): no entry when nothing changed;
// else the changed cells, or the earlier bytes when they do not load as a map.
void mapFileSaved(Connection& cn, qint64 cemeteryId, const QString& path, const QByteArray& before);
// The same for a map's bytes before and after (a map kept on a server).
void mapBytesSaved(Connection& cn, qint64 cemeteryId, const QByteArray& before, const QByteArray& after);
// Within the import's transaction: the file, the rows read, the record numbers added as the engine
// gave them (written as ranges, "1001-1500,1502-1600": on a server another clerk may add records in
// between), and whether the table was emptied first (the records removed then are kept as removed
// entries by removeAllRecords, which empties the table).
void imported(Connection& cn, const QString& file, int rows, const std::vector<qint64>& added,
              bool emptiedFirst);
// Empties zel for an import, keeping every record as removed: one "records removed" entry, its
// records copied whole by the engine beside it.
void removeAllRecords(Connection& cn);
// Into a database just restored and in place: the archive and the date its database was taken.
void restored(Connection& cn, const QString& archive, const QDateTime& archiveDate);
// The database shared to a server (its address or name).
void shared(Connection& cn, const QString& server);

// --- Reading ---------------------------------------------------------------------------------
// A database without the table (opened read-only, from before the history) reads no entries.

// The entries of one record (table zel), newest first.
std::vector<Entry> ofRecord(Connection& cn, qint64 recid);
// The entries of table "cemetery" or "lots", newest first; id 0: of every row of the table.
std::vector<Entry> ofTable(Connection& cn, const QString& table, qint64 id = 0);
// Every entry, oldest first, optionally from a time on (UTC) and of one record (0: all).
std::vector<Entry> entries(Connection& cn, const QDateTime& since = {}, qint64 recid = 0);

// A removed record: its "removed" entry and its last contents whole. For a record an emptying import
// removed, the entry is its "records removed" entry told as this record's (recordId is its own).
struct Removed {
  Entry entry;
  Contents contents;
  QString place() const;  // "section / lot / grave"
  QString name() const;   // interred's name, else the purchaser's
};
// Removed records, newest first. find (when not empty) is matched, ignoring case, against the
// section, lot, grave and the interred's and purchaser's names, each containing it.
std::vector<Removed> removedRecords(Connection& cn, const QString& find = {});
// Puts a removed record back as a new record (a new record number; its place must be free, else
// DbError naming it) with an "added" entry telling where it came from. Returns the new recid.
// recid names the record of a "records removed" entry (Removed::entry.recordId).
qint64 putBack(Connection& cn, qint64 removedEntryId, qint64 recid = 0);

// The purchasers of one grave over time, oldest first: from the purchaser name and purchase date
// fields' history (including the record's adding), ending with the current ones.
struct Purchaser {
  QString firstName;
  QString lastName;
  QString purchaseDate;  // ISO text as stored; empty when none
  QDateTime from;        // when the history first shows this purchaser (UTC); invalid: before it
};
std::vector<Purchaser> purchasers(Connection& cn, qint64 recid);

// The register for a cemetery (0: all), graves in the order of places.
struct GravePurchasers {
  qint64 recid = 0;
  qint64 cemeteryId = 0;
  QString cemetery;
  QString section, lot, grave;
  std::vector<Purchaser> purchasers;
};
std::vector<GravePurchasers> rightsOfBurial(Connection& cn, qint64 cemeteryId = 0);

// --- Checking and erasure --------------------------------------------------------------------

struct Verdict {
  bool ok = true;
  qint64 entries = 0;   // entries checked
  qint64 firstBad = 0;  // id of the first entry that does not follow; 0 when ok
  QString problem;      // what is wrong with it, in words; empty when ok
};
// Checks each entry's value hashes and that it follows the previous entry.
Verdict verify(Connection& cn);

// The owner's address and phone fields of the field table (columns).
QStringList ownerPersonalFields();
// The text an erased value is replaced by: "erased on DATE by USER".
QString erasedText(const QDate& date, const QString& user);
// Replaces the owner's address and phone values of a record, in the record and in its history
// entries, by erasedText, and records the erasure; one transaction. Returns the values erased;
// DbError when the record neither exists nor has entries.
int eraseOwner(Connection& cn, qint64 recid);

}  // namespace History
