#include "core/history/History.h"

#include <openssl/evp.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSysInfo>
#include <algorithm>
#include <map>
#include <memory>
#include <new>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

#include "core/maps/MapFile.h"
#include "core/store/Connection.h"
#include "core/store/DateValue.h"
#include "core/store/DbError.h"
#include "core/store/RecordFields.h"
#include "core/store/RecordSet.h"
#include "core/store/Schema.h"
#include "core/store/ServerLock.h"
#include "core/store/Statement.h"

namespace History {

namespace {

struct KindText {
  Kind kind;
  const char* name;
};
constexpr KindText kKinds[] = {
    {Kind::Begins, "history begins"},
    {Kind::RecordAdded, "record added"},
    {Kind::RecordSaved, "record saved"},
    {Kind::RecordRemoved, "record removed"},
    {Kind::RecordsRemoved, "records removed"},
    {Kind::CemeteryAdded, "cemetery added"},
    {Kind::CemeteryChanged, "cemetery changed"},
    {Kind::CemeteryRemoved, "cemetery removed"},
    {Kind::LotAdded, "lot type added"},
    {Kind::LotChanged, "lot type changed"},
    {Kind::LotRemoved, "lot type removed"},
    {Kind::MapSaved, "map saved"},
    {Kind::Imported, "import"},
    {Kind::Restored, "restore"},
    {Kind::Shared, "shared to a server"},
    {Kind::OwnerErased, "owner's data erased"},
};

// Value hashes are cut to 16 bytes: enough to tell a changed value, half the size of each entry.
constexpr int kValueHashBytes = 16;
const char* const kErasedPrefix = "erased on ";

QString testUser, testComputer;

// The entries of one change share one time, and each change has a time after the one before: the
// register groups a save's fields by it, and the entries read in the order written.
int changeDepth = 0;
QString changeTime;

const char* const kColumns =
    "id, written, username, computer, kind, recid, tablename, field, oldvalue, newvalue, detail, "
    "oldhash, newhash, detailhash, hash";

// Refuses every change of an entry but the erasure's: it sets the flag inside its own transaction
// and may then replace values only, never a hash or who, when and what.

// One change: the caller's transaction is joined through a savepoint, so that a failure here
// takes back this change only; otherwise a transaction of its own.
class Change {
 public:
  explicit Change(Connection& cn) : cn_(cn), nested_(cn.inTransaction()) {
    if (nested_)
      cn_.execute(QStringLiteral("SAVEPOINT history_change"));
    else
      cn_.beginTransaction();
    // Clerks on a server write one change at a time: each entry follows the last one written.
    try {
      ServerLock::serializeChanges(cn_);
    } catch (const DbError&) {
      if (!nested_) cn_.rollback();
      throw;
    }
    ++changeDepth;
  }
  ~Change() {
    if (--changeDepth == 0) changeTime.clear();
    if (done_) return;
    if (!nested_) {
      cn_.rollback();
      return;
    }
    try {
      cn_.execute(QStringLiteral("ROLLBACK TO history_change"));
      cn_.execute(QStringLiteral("RELEASE history_change"));
    } catch (const DbError&) {
      // The caller's transaction fails as a whole then.
    }
  }
  Change(const Change&) = delete;
  Change& operator=(const Change&) = delete;
  void commit() {
    if (nested_)
      cn_.execute(QStringLiteral("RELEASE history_change"));
    else
      cn_.commit();
    done_ = true;
  }

 private:
  Connection& cn_;
  bool nested_;
  bool done_ = false;
};

QString keyColumn(const QString& table) {
  if (table == u"zel") return QStringLiteral("recid");
  if (table == u"cemetery") return QStringLiteral("cemeteryid");
  if (table == u"lots") return QStringLiteral("lotid");
  throw DbError(DbError::Misuse, 0, QStringLiteral("No history is kept for table %1.").arg(table));
}

Kind addedKind(const QString& table) {
  return table == u"zel" ? Kind::RecordAdded : table == u"cemetery" ? Kind::CemeteryAdded : Kind::LotAdded;
}
Kind changedKind(const QString& table) {
  return table == u"zel"        ? Kind::RecordSaved
         : table == u"cemetery" ? Kind::CemeteryChanged
                                : Kind::LotChanged;
}
Kind removedKind(const QString& table) {
  return table == u"zel"        ? Kind::RecordRemoved
         : table == u"cemetery" ? Kind::CemeteryRemoved
                                : Kind::LotRemoved;
}

bool holdsContents(Kind k) {
  switch (k) {
    case Kind::RecordAdded:
    case Kind::RecordRemoved:
    case Kind::CemeteryAdded:
    case Kind::CemeteryRemoved:
    case Kind::LotAdded:
    case Kind::LotRemoved:
      return true;
    default:
      return false;
  }
}

QByteArray valueHash(const QString& v) {
  if (v.isEmpty()) return {};
  return QCryptographicHash::hash(v.toUtf8(), QCryptographicHash::Sha256).left(kValueHashBytes);
}

// Contents are hashed value by value, so that an erased value can stand in by its hash.
QByteArray contentsHash(const Contents& c, const QHash<QString, QByteArray>& erased = {}) {
  QCryptographicHash h(QCryptographicHash::Sha256);
  for (const auto& [column, value] : c) {
    h.addData(column.toUtf8());
    h.addData(QByteArrayView("\0", 1));
    const auto e = erased.constFind(column);
    h.addData(e != erased.cend() && value.startsWith(QLatin1String(kErasedPrefix)) ? *e : valueHash(value));
    h.addData(QByteArrayView("\0", 1));
  }
  return h.result().left(kValueHashBytes);
}

// SHA-256 on the processor's own instructions where it has them, several times quicker than
// QCryptographicHash: the records an import removes are hashed row by row. Same digests.
class Sha256 {
 public:
  Sha256() : ctx_(EVP_MD_CTX_new()) {
    if (!ctx_) throw std::bad_alloc();
    reset();
  }
  ~Sha256() { EVP_MD_CTX_free(ctx_); }
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void reset() { EVP_DigestInit_ex(ctx_, EVP_sha256(), nullptr); }
  void addData(QByteArrayView bytes) { EVP_DigestUpdate(ctx_, bytes.data(), size_t(bytes.size())); }
  QByteArray result() {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    EVP_DigestFinal_ex(ctx_, out, &n);
    return QByteArray(reinterpret_cast<const char*>(out), qsizetype(n));
  }
  // As valueHash, of bytes.
  QByteArray valueHash(QByteArrayView bytes) {
    if (bytes.isEmpty()) return {};
    reset();
    addData(bytes);
    return result().left(kValueHashBytes);
  }

 private:
  EVP_MD_CTX* ctx_;
};

template <class Hash>
void addPart(Hash& h, QByteArrayView bytes) {
  const quint32 n = quint32(bytes.size());
  const char len[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
  h.addData(QByteArrayView(len, 4));
  h.addData(bytes);
}

struct Stored {
  Entry e;
  QString written;  // the time as stored, which the hash covers
  QByteArray oldHash, newHash, detailHash, hash;
};

QByteArray chainHash(const QByteArray& previous, const Stored& s) {
  QCryptographicHash h(QCryptographicHash::Sha256);
  addPart(h, previous);
  addPart(h, QByteArray::number(s.e.id));
  addPart(h, s.written.toUtf8());
  addPart(h, s.e.user.toUtf8());
  addPart(h, s.e.computer.toUtf8());
  addPart(h, kindName(s.e.kind).toUtf8());
  addPart(h, QByteArray::number(s.e.recordId));
  addPart(h, s.e.table.toUtf8());
  addPart(h, s.e.field.toUtf8());
  addPart(h, s.oldHash);
  addPart(h, s.newHash);
  addPart(h, s.detailHash);
  return h.result();
}

QByteArray blob(const Statement& st, int col) {
  if (st.type(col) == Statement::Type::Null) return {};
  return st.blob(col).toByteArray();
}

Stored readStored(const Statement& st) {
  Stored s;
  s.e.id = st.int64(0);
  s.written = st.string(1);
  s.e.time = QDateTime::fromString(s.written, Qt::ISODateWithMs);
  s.e.user = st.string(2);
  s.e.computer = st.string(3);
  s.e.kind = kindFromName(st.string(4));
  s.e.recordId = st.int64(5);
  s.e.table = st.string(6);
  s.e.field = st.string(7);
  s.e.oldValue = st.string(8);
  s.e.newValue = st.string(9);
  s.e.detail = st.string(10);
  s.oldHash = blob(st, 11);
  s.newHash = blob(st, 12);
  s.detailHash = blob(st, 13);
  s.hash = blob(st, 14);
  return s;
}

std::vector<Entry> query(Connection& cn, const QString& where, const std::vector<QByteArray>& texts,
                         const std::vector<qint64>& numbers, const QString& order) {
  std::vector<Entry> out;
  if (!hasTable(cn)) return out;
  Statement st(cn, QStringLiteral("select %1 from history %2 order by id %3")
                       .arg(QLatin1String(kColumns), where, order)
                       .toUtf8());
  int pos = 1;
  for (const QByteArray& t : texts) st.bindText(pos++, t);
  for (qint64 n : numbers) st.bind(pos++, n);
  while (st.next()) out.push_back(readStored(st).e);
  return out;
}

QString utcText(const QDateTime& t) { return t.toUTC().toString(Qt::ISODateWithMs); }

// Row ids added are listed as ranges of numbers that follow each other.
QString rangesText(std::vector<qint64> ids) {
  std::sort(ids.begin(), ids.end());
  QStringList parts;
  for (size_t i = 0; i < ids.size();) {
    size_t j = i;
    while (j + 1 < ids.size() && ids[j + 1] == ids[j] + 1) ++j;
    parts << (i == j ? QString::number(ids[i]) : QStringLiteral("%1-%2").arg(ids[i]).arg(ids[j]));
    i = j + 1;
  }
  return parts.join(u',');
}

void setErasing(Connection& cn, bool on) {
  cn.execute(on ? QStringLiteral("insert into history_erasing values (1)")
                : QStringLiteral("delete from history_erasing"));
}

}  // namespace

QString kindName(Kind kind) {
  for (const KindText& k : kKinds)
    if (k.kind == kind) return QString::fromLatin1(k.name);
  return {};
}

Kind kindFromName(const QString& name) {
  for (const KindText& k : kKinds)
    if (name == QLatin1String(k.name)) return k.kind;
  return Kind::Begins;
}

Contents contentsOf(const Entry& e) {
  Contents c;
  if (!holdsContents(e.kind)) return c;
  const QJsonArray pairs = QJsonDocument::fromJson(e.detail.toUtf8()).array();
  for (const QJsonValue& p : pairs) {
    const QJsonArray pair = p.toArray();
    c.emplace_back(pair.at(0).toString(), pair.at(1).toString());
  }
  return c;
}

QString contentsText(const Contents& c) {
  QJsonArray pairs;
  for (const auto& [column, value] : c) pairs.append(QJsonArray{column, value});
  return QString::fromUtf8(QJsonDocument(pairs).toJson(QJsonDocument::Compact));
}

QString valueIn(const Contents& c, const QString& column) {
  for (const auto& [name, value] : c)
    if (name.compare(column, Qt::CaseInsensitive) == 0) return value;
  return {};
}

void createTable(Connection& cn) {
  if (!hasTable(cn)) return;
  Statement any(cn, "select 1 from history limit 1");
  if (any.next()) return;
  Entry e;
  e.kind = Kind::Begins;
  append(cn, e);
}

bool hasTable(Connection& cn) { return cn.engine().hasTable(QStringLiteral("history")); }

QString currentUser() {
  if (!testUser.isEmpty()) return testUser;
  for (const char* name : {"USER", "LOGNAME", "USERNAME"}) {
    const QString u = qEnvironmentVariable(name);
    if (!u.isEmpty()) return u;
  }
#ifdef Q_OS_UNIX
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name) return QString::fromLocal8Bit(pw->pw_name);
#endif
  return QStringLiteral("unknown");
}

QString currentComputer() {
  if (!testComputer.isEmpty()) return testComputer;
  const QString host = QSysInfo::machineHostName();
  return host.isEmpty() ? QStringLiteral("unknown") : host;
}

void setIdentityForTesting(const QString& user, const QString& computer) {
  testUser = user;
  testComputer = computer;
}

namespace {

// An empty value is stored as Null.
void bindTextOrNull(Statement& st, int pos, const QByteArray& t) {
  if (t.isEmpty())
    st.bindNull(pos);
  else
    st.bindText(pos, t);
}
void bindBlobOrNull(Statement& st, int pos, const QByteArray& b) {
  if (b.isEmpty())
    st.bindNull(pos);
  else
    st.bindBlob(pos, b);
}

// Writes entries one after another: the chain's last id, hash and time are read once and then
// followed here, and the insert is prepared once, so that an import emptying a large table can
// keep each record it removes at little cost.
class Appender {
 public:
  explicit Appender(Connection& cn)
      : cn_(cn),
        ins_(cn, QStringLiteral("insert into history (%1) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)")
                     .arg(QLatin1String(kColumns))
                     .toUtf8()),
        user_(currentUser()),
        computer_(currentComputer()) {}

  // The id the next entry gets.
  qint64 nextId() {
    if (!known_) readLast();
    if (lastId_ == 0) {
      // The table (made by the schema) is empty: the history of this database begins with this change.
      Entry begins;
      begins.kind = Kind::Begins;
      add(begins);
    }
    return lastId_ + 1;
  }

  // contents: the entry's contents when it holds some (its detail is their text), to spare reading
  // them back from the detail. detailHash: the hash of what the entry holds, when the caller made it.
  qint64 add(Entry e, const Contents* contents = nullptr, const QByteArray& detailHash = {}) {
    if (!known_) readLast();
    if (lastId_ == 0 && e.kind != Kind::Begins) nextId();
    Stored s;
    s.e = std::move(e);
    s.e.user = user_;
    s.e.computer = computer_;
    s.oldHash = valueHash(s.e.oldValue);
    s.newHash = valueHash(s.e.newValue);
    if (!detailHash.isEmpty())
      s.detailHash = detailHash;
    else if (holdsContents(s.e.kind))
      s.detailHash = contentsHash(contents ? *contents : contentsOf(s.e));
    else
      s.detailHash = valueHash(s.e.detail);
    s.e.id = lastId_ ? lastId_ + 1 : firstId();

    if (changeTime.isEmpty()) {
      QDateTime now = QDateTime::currentDateTimeUtc();
      const QDateTime before = QDateTime::fromString(lastWritten_, Qt::ISODateWithMs);
      if (before.isValid() && now <= before) now = before.addMSecs(1);
      changeTime = utcText(now);
    }
    s.written = changeTime;
    if (changeDepth == 0) changeTime.clear();
    if (s.written != timeText_) {
      timeText_ = s.written;
      time_ = QDateTime::fromString(s.written, Qt::ISODateWithMs);
    }
    s.e.time = time_;
    s.hash = chainHash(previous_, s);

    const QByteArray written = s.written.toUtf8(), user = s.e.user.toUtf8(), computer = s.e.computer.toUtf8(),
                     kind = kindName(s.e.kind).toUtf8(), table = s.e.table.toUtf8(),
                     field = s.e.field.toUtf8(), oldv = s.e.oldValue.toUtf8(), newv = s.e.newValue.toUtf8(),
                     detail = s.e.detail.toUtf8();
    ins_.bind(1, s.e.id);
    ins_.bindText(2, written);
    ins_.bindText(3, user);
    ins_.bindText(4, computer);
    ins_.bindText(5, kind);
    ins_.bind(6, s.e.recordId);
    ins_.bindText(7, table);
    ins_.bindText(8, field);
    bindTextOrNull(ins_, 9, oldv);
    bindTextOrNull(ins_, 10, newv);
    bindTextOrNull(ins_, 11, detail);
    bindBlobOrNull(ins_, 12, s.oldHash);
    bindBlobOrNull(ins_, 13, s.newHash);
    bindBlobOrNull(ins_, 14, s.detailHash);
    ins_.bindBlob(15, s.hash);
    ins_.next();
    ins_.reset();
    lastId_ = s.e.id;
    previous_ = s.hash;
    lastWritten_ = s.written;
    return s.e.id;
  }

 private:
  void readLast() {
    Statement last(cn_, "select id, hash, written from history order by id desc limit 1");
    if (last.next()) {
      lastId_ = last.int64(0);
      previous_ = blob(last, 1);
      lastWritten_ = last.string(2);
    }
    known_ = true;
  }
  // The first entry's id: after the largest the table ever held.
  qint64 firstId() {
    if (cn_.isServer()) return 1;  // the server's table is never emptied: its rows refuse deletion
    Statement seq(cn_, "select seq from sqlite_sequence where name='history'");
    return seq.next() ? seq.int64(0) + 1 : 1;
  }

  Connection& cn_;
  Statement ins_;
  QString user_, computer_;
  bool known_ = false;
  qint64 lastId_ = 0;
  QByteArray previous_;
  QString lastWritten_, timeText_;
  QDateTime time_;
};

}  // namespace

qint64 append(Connection& cn, Entry e) { return Appender(cn).add(std::move(e)); }

namespace {

Contents rowContents(const RecordSet& rs) {
  Contents c;
  const QStringList names = rs.fieldNames();
  for (int i = 0; i < names.size(); ++i) {
    const Value v = rs.field(i);
    if (!v.isNull()) c.emplace_back(names[i].toLower(), v.toString());
  }
  return c;
}

}  // namespace

std::optional<Contents> readRow(Connection& cn, const QString& table, qint64 id) {
  RecordSet rs(&cn);
  rs.open(QStringLiteral("select * from %1 where %2=%3").arg(table, keyColumn(table)).arg(id));
  if (rs.eof()) return std::nullopt;
  return rowContents(rs);
}

void rowSaved(Connection& cn, const QString& table, qint64 id, const std::optional<Contents>& before) {
  const std::optional<Contents> after = readRow(cn, table, id);
  if (!after) return;
  Entry e;
  e.recordId = id;
  e.table = table;
  if (!before) {
    e.kind = addedKind(table);
    e.detail = contentsText(*after);
    append(cn, e);
    return;
  }
  e.kind = changedKind(table);
  for (const auto& [column, value] : *after) {
    const QString old = valueIn(*before, column);
    if (old == value) continue;
    e.field = column;
    e.oldValue = old;
    e.newValue = value;
    append(cn, e);
  }
}

qint64 saveRow(Connection& cn, RecordSet& rs, const QString& table) {
  const QString key = keyColumn(table);
  const Value id = rs.field(key);
  Change change(cn);
  std::optional<Contents> before;
  if (!id.isNull()) before = readRow(cn, table, id.toInt());
  rs.update();
  // The number the engine gave the new row: with several clerks adding at once the largest number
  // may be another's.
  const qint64 saved = rs.savedKey();
  rowSaved(cn, table, saved, before);
  change.commit();
  return saved;
}

bool removeRow(Connection& cn, const QString& table, qint64 id, std::optional<qint64> version) {
  Change change(cn);
  const std::optional<Contents> last = readRow(cn, table, id);
  if (!last) return false;
  Entry e;
  e.kind = removedKind(table);
  e.recordId = id;
  e.table = table;
  e.detail = contentsText(*last);
  append(cn, e);
  if (version) {
    RecordSet rs(&cn);
    rs.open(QStringLiteral("select * from %1 where %2=%3").arg(table, keyColumn(table)).arg(id),
            RecordSet::Cursor::Static);
    rs.expectVersion(*version);
    rs.deleteCurrent();
  } else {
    cn.execute(QStringLiteral("delete from %1 where %2=%3").arg(table, keyColumn(table)).arg(id));
  }
  change.commit();
  return true;
}

int updateRecords(Connection& cn, const QString& setSql, const QString& whereSql) {
  Change change(cn);
  std::vector<std::pair<qint64, Contents>> before;
  {
    RecordSet ids(&cn);
    ids.open(QStringLiteral("select recid from zel where (%1) order by recid").arg(whereSql));
    std::vector<qint64> list;
    for (; !ids.eof(); ids.moveNext()) list.push_back(ids.field(0).toInt());
    ids.close();
    for (qint64 id : list)
      if (auto row = readRow(cn, QStringLiteral("zel"), id)) before.emplace_back(id, std::move(*row));
  }
  cn.execute(QStringLiteral("update zel set %1 where %2").arg(setSql, whereSql));
  int changed = 0;
  for (const auto& [id, row] : before) {
    const std::optional<Contents> after = readRow(cn, QStringLiteral("zel"), id);
    if (after && *after != row) ++changed;
    rowSaved(cn, QStringLiteral("zel"), id, row);
  }
  change.commit();
  return changed;
}

void mapSaved(Connection& cn, qint64 cemeteryId, const QStringList& changedCells, const QByteArray& oldMap) {
  Change change(cn);
  Entry e;
  e.kind = Kind::MapSaved;
  e.recordId = cemeteryId;
  e.table = QStringLiteral("cemetery");
  e.detail = oldMap.isEmpty() ? changedCells.join(u'\n')
                              : QStringLiteral("old map: ") + QString::fromLatin1(oldMap.toBase64());
  append(cn, e);
  change.commit();
}

void imported(Connection& cn, const QString& file, int rows, const std::vector<qint64>& added,
              bool emptiedFirst) {
  Change change(cn);
  Entry e;
  e.kind = Kind::Imported;
  e.table = QStringLiteral("zel");
  e.detail = QStringLiteral("file: %1\nrows: %2\nrecords added: %3\nemptied first: %4")
                 .arg(file)
                 .arg(rows)
                 .arg(rangesText(added), emptiedFirst ? QStringLiteral("yes") : QStringLiteral("no"));
  append(cn, e);
  change.commit();
}

namespace {

// A cell as the history shows it: its text, and its colours when it has its own.
QString cellText(const MapCell& c) {
  QString t = c.text;
  if (c.hasBack) t += QStringLiteral(" [back %1]").arg(c.back, 6, 16, QChar(u'0'));
  if (c.hasFore) t += QStringLiteral(" [fore %1]").arg(c.fore, 6, 16, QChar(u'0'));
  return t;
}

std::optional<MapSheetData> sheetOf(const QByteArray& bytes) {
  MapSheetData sheet;
  if (bytes.isEmpty()) return sheet;
  QByteArray copy = bytes;
  QBuffer in(&copy);
  in.open(QIODevice::ReadOnly);
  try {
    MapFile::load(
        in, QStringLiteral("map"),
        [&](const MapFile::Header& h) {
          sheet.maxRows = h.maxRows;
          sheet.maxCols = h.maxCols;
          sheet.defaultBack = h.defaultBack;
          sheet.defaultFore = h.defaultFore;
        },
        [&](MapCell&& c) { sheet.cells.push_back(std::move(c)); });
  } catch (const DbError&) {
    return std::nullopt;
  }
  return sheet;
}

}  // namespace

void mapFileSaved(Connection& cn, qint64 cemeteryId, const QString& path, const QByteArray& before) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    throw DbError(DbError::CantOpen, 0,
                  QStringLiteral("The map file %1 cannot be read: %2").arg(path, f.errorString()));
  mapBytesSaved(cn, cemeteryId, before, f.readAll());
}

void mapBytesSaved(Connection& cn, qint64 cemeteryId, const QByteArray& before, const QByteArray& after) {
  if (after == before) return;
  const std::optional<MapSheetData> old = sheetOf(before), now = sheetOf(after);
  if (!old || !now) {
    mapSaved(cn, cemeteryId, {}, before.isEmpty() ? QByteArray("(none)") : before);
    return;
  }
  QStringList lines;
  if (old->maxRows != now->maxRows || old->maxCols != now->maxCols)
    lines << QStringLiteral("size: %1 x %2 -> %3 x %4")
                 .arg(old->maxRows)
                 .arg(old->maxCols)
                 .arg(now->maxRows)
                 .arg(now->maxCols);
  std::map<std::pair<qint32, qint32>, std::pair<QString, QString>> cells;
  for (const MapCell& c : old->cells) cells[{c.row, c.col}].first = cellText(c);
  for (const MapCell& c : now->cells) cells[{c.row, c.col}].second = cellText(c);
  for (const auto& [at, texts] : cells)
    if (texts.first != texts.second)
      lines << QStringLiteral("%1,%2: %3 -> %4").arg(at.first).arg(at.second).arg(texts.first, texts.second);
  mapSaved(cn, cemeteryId, lines);
}

namespace {

// The records an emptying import removes are copied by the engine, in one statement, into
// history_rows (see Schema) beside their "records removed" entry: each row as one text of SQL
// literals (quoted texts and NULL), the owner's personal values in a text apart, so that an erasure
// can replace them and keep their hash. They are read back into contents only when asked for.
bool hasKeptRows(Connection& cn) { return cn.engine().hasTable(QStringLiteral("history_rows")); }

// The columns of the kept rows, in the table's order, as the entry's detail lists them.
struct KeptColumn {
  QString name;
  QString kind;  // "text", "number", "money" or "date": how a stored value reads back
  bool personal = false;
};
using KeptLayout = std::vector<KeptColumn>;

KeptLayout zelLayout(Connection& cn) {
  const QStringList personal = ownerPersonalFields();
  Statement st(cn, "select * from zel limit 0");
  KeptLayout out;
  for (int i = 0; i < st.columnCount(); ++i) {
    KeptColumn c{QString::fromUtf8(st.columnName(i)).toLower(), QStringLiteral("text"), false};
    const char* declared = st.declaredType(i);
    const QByteArray type = QByteArray(declared ? declared : "").toUpper();
    if (Schema::isMoneyType(declared))
      c.kind = QStringLiteral("money");
    else if (type == "DATE" || type == "DATETIME")
      c.kind = QStringLiteral("date");
    else if (type == "DOUBLE" || type == "REAL" || type == "INTEGER")
      c.kind = QStringLiteral("number");
    c.personal = personal.contains(c.name, Qt::CaseInsensitive);
    out.push_back(std::move(c));
  }
  return out;
}

QString keptDetail(const KeptLayout& layout, qint64 records) {
  QStringList columns;
  for (const KeptColumn& c : layout)
    columns << c.name + u' ' + c.kind + (c.personal ? QStringLiteral(" personal") : QString());
  return QStringLiteral("records: %1\ncolumns: %2").arg(records).arg(columns.join(u','));
}

KeptLayout keptLayout(const QString& detail) {
  KeptLayout out;
  for (const QString& line : detail.split(u'\n')) {
    if (!line.startsWith(QLatin1String("columns: "))) continue;
    for (const QString& column : line.mid(9).split(u',', Qt::SkipEmptyParts)) {
      const QStringList words = column.split(u' ');
      out.push_back({words.value(0), words.value(1), words.value(2) == u"personal"});
    }
  }
  return out;
}

// One SQL literal: Null, a text (its quotes taken off) or a number as written.
struct Literal {
  enum class Type { Null, Text, Number } type = Type::Null;
  QString text;
};

std::vector<Literal> literals(QStringView s) {
  std::vector<Literal> out;
  qsizetype i = 0;
  while (i < s.size()) {
    Literal v;
    if (s[i] == u'\'') {
      v.type = Literal::Type::Text;
      for (++i; i < s.size(); ++i) {
        if (s[i] == u'\'') {
          if (i + 1 < s.size() && s[i + 1] == u'\'') {
            v.text += u'\'';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        v.text += s[i];
      }
    } else {
      const qsizetype end = s.indexOf(u',', i);
      const QStringView token = s.mid(i, end < 0 ? s.size() - i : end - i);
      if (token != u"NULL") {
        v.type = Literal::Type::Number;
        v.text = token.toString();
      }
      i += token.size();
    }
    out.push_back(std::move(v));
    ++i;  // the comma
  }
  return out;
}

QString quoted(const std::vector<Literal>& values) {
  QStringList out;
  for (const Literal& v : values) {
    switch (v.type) {
      case Literal::Type::Null:
        out << QStringLiteral("NULL");
        break;
      case Literal::Type::Number:
        out << v.text;
        break;
      case Literal::Type::Text:
        out << u'\'' + QString(v.text).replace(u'\'', QStringLiteral("''")) + u'\'';
        break;
    }
  }
  return out.join(u',');
}

// A stored value as the record set would read it (see Value::toString).
QString storedText(const QString& kind, const Literal& v) {
  if (v.type == Literal::Type::Number) {
    bool whole = false;
    v.text.toLongLong(&whole);
    return whole ? v.text : Value(v.text.toDouble()).toString();
  }
  // Kept as text: an amount is its scaled whole number, a number as the engine wrote it.
  bool whole = false, real = false;
  const qint64 n = v.text.toLongLong(&whole);
  if (kind == u"money" && whole)
    if (const std::optional<Value> m = Schema::fromStored(Value(n))) return m->toString();
  if (kind == u"number" && !whole) {
    const double d = v.text.toDouble(&real);
    if (real) return Value(d).toString();
  }
  if (kind == u"date") {
    bool hasTime = false;
    const QDateTime dt = DateValue::fromIso(v.text, &hasTime);
    if (dt.isValid()) return Value(dt, hasTime).toString();
  }
  return v.text;
}

// A kept row's contents, in the table's column order; a Null column is left out.
Contents keptContents(const KeptLayout& layout, const QString& contents, const QString& personal) {
  const std::vector<Literal> own = literals(contents), apart = literals(personal);
  size_t o = 0, p = 0;
  Contents out;
  for (const KeptColumn& c : layout) {
    const std::vector<Literal>& from = c.personal ? apart : own;
    size_t& at = c.personal ? p : o;
    if (at >= from.size()) continue;
    const Literal& v = from[at++];
    if (v.type != Literal::Type::Null) out.emplace_back(c.name, storedText(c.kind, v));
  }
  return out;
}

// The hash an entry keeping rows holds: over each row, in the order kept (its personal values by
// their hash), then the entry's detail.
void addKeptRow(Sha256& h, qint64 recid, QByteArrayView contents, const QByteArray& personalHash) {
  addPart(h, QByteArray::number(recid));
  addPart(h, contents);
  addPart(h, personalHash);
}
QByteArray keptHash(Sha256& h, const QString& detail) {
  addPart(h, detail.toUtf8());
  return h.result().left(kValueHashBytes);
}

QString erasedRowPart(qint64 recid) { return QStringLiteral("row %1").arg(recid); }

}  // namespace

void removeAllRecords(Connection& cn) {
  Change change(cn);
  {
    Statement any(cn, "select 1 from zel limit 1");
    if (!any.next()) {
      change.commit();
      return;
    }
  }
  Schema::createKeptRows(cn);
  const KeptLayout layout = zelLayout(cn);
  Appender out(cn);
  const qint64 id = out.nextId();
  qint64 after = 0;
  {
    Statement last(cn, "select coalesce(max(id), 0) from history_rows");
    if (last.next()) after = last.int64(0);
  }
  // One statement copies the table: no row passes through here on its way.
  QStringList own, personal;
  for (const KeptColumn& c : layout) (c.personal ? personal : own) << u'"' + c.name + u'"';
  const auto joined = [server = cn.isServer()](const QStringList& l) {
    if (l.isEmpty()) return QStringLiteral("''");
    QStringList parts;
    if (server) {
      // Quoted as the file's %Q quotes: the quotes doubled, nothing else escaped.
      for (const QString& c : l)
        parts << QStringLiteral("coalesce('''' || replace(%1::text, '''', '''''') || '''', 'NULL')").arg(c);
      return parts.join(QStringLiteral(" || ',' || "));
    }
    // A printf a row (one per 60 columns, below the engine's limit of arguments): every value a
    // quoted text, or NULL.
    for (qsizetype i = 0; i < l.size(); i += 60) {
      const QStringList chunk = l.mid(i, 60);
      parts << QStringLiteral("printf('%1', %2)")
                   .arg(QStringList(chunk.size(), QStringLiteral("%Q")).join(u','), chunk.join(u','));
    }
    return parts.join(QStringLiteral("||','||"));
  };
  {
    Statement copy(cn,
                   QStringLiteral("insert into history_rows (entry, recid, contents, personal) select %1, "
                                  "recid, %2, %3 from zel order by recid")
                       .arg(id)
                       .arg(joined(own), joined(personal))
                       .toUtf8());
    copy.next();
  }
  // Hashed as read back: what is kept is what the chain covers.
  Sha256 h, values;
  qint64 records = 0;
  {
    Statement rows(cn, "select recid, contents, personal from history_rows where id>? order by id");
    rows.bind(1, after);
    for (; rows.next(); ++records) addKeptRow(h, rows.int64(0), rows.text(1), values.valueHash(rows.text(2)));
  }
  Entry e;
  e.kind = Kind::RecordsRemoved;
  e.table = QStringLiteral("zel");
  e.newValue = QStringLiteral("%1 records removed, each kept whole").arg(records);
  e.detail = keptDetail(layout, records);
  out.add(e, nullptr, keptHash(h, e.detail));
  cn.execute(QStringLiteral("delete from zel"));
  change.commit();
}

void restored(Connection& cn, const QString& archive, const QDateTime& archiveDate) {
  Change change(cn);
  createTable(cn);
  Entry e;
  e.kind = Kind::Restored;
  e.detail = QStringLiteral("archive: ") + archive;
  if (archiveDate.isValid()) e.detail += QStringLiteral("\ntaken: ") + utcText(archiveDate);
  append(cn, e);
  change.commit();
}

void shared(Connection& cn, const QString& server) {
  Change change(cn);
  Entry e;
  e.kind = Kind::Shared;
  e.detail = QStringLiteral("server: %1").arg(server);
  append(cn, e);
  change.commit();
}

namespace {

// A record an emptying import removed, told in the record's own history as a "removed" entry with
// its contents (under the import's entry id).
std::vector<Entry> keptAsRemoved(Connection& cn, qint64 recid) {
  std::vector<Entry> out;
  if (!hasKeptRows(cn)) return out;
  std::vector<std::pair<qint64, std::pair<QString, QString>>> rows;
  {
    Statement st(cn, "select entry, contents, personal from history_rows where recid=? order by id");
    st.bind(1, recid);
    while (st.next()) rows.push_back({st.int64(0), {st.string(1), st.string(2)}});
  }
  for (const auto& [entry, texts] : rows) {
    std::vector<Entry> found =
        query(cn, QStringLiteral("where kind=? and id=?"), {kindName(Kind::RecordsRemoved).toUtf8()}, {entry},
              QStringLiteral("asc"));
    if (found.empty()) continue;
    Entry e = std::move(found.front());
    e.kind = Kind::RecordRemoved;
    e.recordId = recid;
    e.newValue = QStringLiteral("removed by an import that emptied the table");
    e.detail = contentsText(keptContents(keptLayout(e.detail), texts.first, texts.second));
    out.push_back(std::move(e));
  }
  return out;
}

// The entries of a record with those of its kept rows, in the order of their ids.
std::vector<Entry> withKept(Connection& cn, std::vector<Entry> entries, qint64 recid, bool newestFirst,
                            const QDateTime& since = {}) {
  for (Entry& e : keptAsRemoved(cn, recid))
    if (!since.isValid() || e.time >= since) entries.push_back(std::move(e));
  std::stable_sort(entries.begin(), entries.end(), [newestFirst](const Entry& a, const Entry& b) {
    return newestFirst ? a.id > b.id : a.id < b.id;
  });
  return entries;
}

}  // namespace

std::vector<Entry> ofRecord(Connection& cn, qint64 recid) {
  return withKept(
      cn, query(cn, QStringLiteral("where tablename='zel' and recid=?"), {}, {recid}, QStringLiteral("desc")),
      recid, true);
}

std::vector<Entry> ofTable(Connection& cn, const QString& table, qint64 id) {
  const QByteArray t = table.toUtf8();
  if (id == 0) return query(cn, QStringLiteral("where tablename=?"), {t}, {}, QStringLiteral("desc"));
  return query(cn, QStringLiteral("where tablename=? and recid=?"), {t}, {id}, QStringLiteral("desc"));
}

std::vector<Entry> entries(Connection& cn, const QDateTime& since, qint64 recid) {
  QStringList where;
  std::vector<QByteArray> texts;
  std::vector<qint64> numbers;
  if (since.isValid()) {
    where << QStringLiteral("written>=?");
    texts.push_back(utcText(since).toUtf8());
  }
  if (recid != 0) {
    where << QStringLiteral("tablename='zel' and recid=?");
    numbers.push_back(recid);
  }
  std::vector<Entry> out =
      query(cn, where.isEmpty() ? QString() : QStringLiteral("where ") + where.join(QStringLiteral(" and ")),
            texts, numbers, QStringLiteral("asc"));
  return recid ? withKept(cn, std::move(out), recid, false, since) : out;
}

QString Removed::place() const {
  return QStringList{valueIn(contents, QStringLiteral("csection")), valueIn(contents, QStringLiteral("lot")),
                     valueIn(contents, QStringLiteral("grave"))}
      .join(QStringLiteral(" / "));
}

QString Removed::name() const {
  const auto join = [this](const char* first, const char* last) {
    return QStringList{valueIn(contents, QLatin1String(first)), valueIn(contents, QLatin1String(last))}
        .join(u' ')
        .trimmed();
  };
  const QString interred = join("interfirstname", "interlastname");
  return interred.isEmpty() ? join("ownerfirstname", "ownerlastname") : interred;
}

std::vector<Removed> removedRecords(Connection& cn, const QString& find) {
  std::vector<Removed> out;
  const QString wanted = find.trimmed();
  const auto matches = [&wanted](const Removed& r) {
    if (wanted.isEmpty()) return true;
    for (const char* column :
         {"csection", "lot", "grave", "interfirstname", "interlastname", "ownerfirstname", "ownerlastname"})
      if (valueIn(r.contents, QLatin1String(column)).contains(wanted, Qt::CaseInsensitive)) return true;
    return r.place().contains(wanted, Qt::CaseInsensitive) || r.name().contains(wanted, Qt::CaseInsensitive);
  };
  for (Entry& e : query(cn, QStringLiteral("where tablename='zel' and kind=?"),
                        {kindName(Kind::RecordRemoved).toUtf8()}, {}, QStringLiteral("desc"))) {
    Removed r{std::move(e), {}};
    r.contents = contentsOf(r.entry);
    if (matches(r)) out.push_back(std::move(r));
  }
  if (!hasKeptRows(cn)) return out;
  // The records of the imports that emptied the table, each told by its import's entry.
  std::map<qint64, std::pair<Entry, KeptLayout>> imports;
  for (Entry& e : query(cn, QStringLiteral("where tablename='zel' and kind=?"),
                        {kindName(Kind::RecordsRemoved).toUtf8()}, {}, QStringLiteral("asc"))) {
    KeptLayout layout = keptLayout(e.detail);
    imports.emplace(e.id, std::make_pair(std::move(e), std::move(layout)));
  }
  Statement rows(cn, "select entry, recid, contents, personal from history_rows order by id");
  while (rows.next()) {
    const auto it = imports.find(rows.int64(0));
    if (it == imports.end()) continue;
    Removed r{it->second.first, keptContents(it->second.second, rows.string(2), rows.string(3))};
    r.entry.recordId = rows.int64(1);
    if (matches(r)) out.push_back(std::move(r));
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const Removed& a, const Removed& b) { return a.entry.id > b.entry.id; });
  return out;
}

qint64 putBack(Connection& cn, qint64 removedEntryId, qint64 keptRecid) {
  std::vector<Entry> found = query(cn, QStringLiteral("where id=? and tablename='zel'"), {}, {removedEntryId},
                                   QStringLiteral("asc"));
  const auto none = [&] {
    return DbError(DbError::Misuse, 0,
                   QStringLiteral("History entry %1 is no removed record.").arg(removedEntryId));
  };
  if (found.empty()) throw none();
  Entry& removed = found.front();
  Contents contents;
  if (removed.kind == Kind::RecordRemoved) {
    contents = contentsOf(removed);
  } else if (removed.kind == Kind::RecordsRemoved && hasKeptRows(cn)) {
    Statement row(cn, "select contents, personal from history_rows where recid=? and entry=?");
    row.bind(1, keptRecid);
    row.bind(2, removedEntryId);
    if (!row.next())
      throw DbError(
          DbError::Misuse, 0,
          QStringLiteral("History entry %1 holds no removed record %2.").arg(removedEntryId).arg(keptRecid));
    contents = keptContents(keptLayout(removed.detail), row.string(0), row.string(1));
    removed.recordId = keptRecid;
  } else {
    throw none();
  }

  Change change(cn);
  // Its place must be free: two records of one grave are refused as the record form refuses them.
  {
    RecordSet taken(&cn);
    taken.open(QStringLiteral(
                   "select recid from zel where cemeteryid=%1 and csection='%2' and lot='%3' and grave='%4'")
                   .arg(valueIn(contents, QStringLiteral("cemeteryid")).toLongLong())
                   .arg(valueIn(contents, QStringLiteral("csection")).replace(u'\'', QStringLiteral("''")),
                        valueIn(contents, QStringLiteral("lot")).replace(u'\'', QStringLiteral("''")),
                        valueIn(contents, QStringLiteral("grave")).replace(u'\'', QStringLiteral("''"))));
    if (!taken.eof())
      throw DbError(
          DbError::Misuse, 0,
          QStringLiteral("Record %1 holds the place %2 now: the removed record cannot be put back there.")
              .arg(taken.field(0).toInt())
              .arg(Removed{removed, contents}.place()));
  }
  RecordSet rs(&cn);
  rs.open(QStringLiteral("select * from zel where recid=0"), RecordSet::Cursor::Static);
  rs.addNew();
  for (const auto& [column, text] : contents) {
    // A column the contents do not hold was Null, and stays so.
    if (column == u"recid" || !rs.hasField(column)) continue;
    const RecordFields::Field* f = RecordFields::find(column);
    rs.assign(column, f && f->kind == RecordFields::Kind::Choice ? Value(text.toLongLong()) : Value(text));
  }
  rs.update();
  const qint64 recid = rs.savedKey();
  const std::optional<Contents> now = readRow(cn, QStringLiteral("zel"), recid);
  Entry e;
  e.kind = Kind::RecordAdded;
  e.recordId = recid;
  e.table = QStringLiteral("zel");
  e.newValue = QStringLiteral("put back from removed record %1 (history entry %2)")
                   .arg(removed.recordId)
                   .arg(removed.id);
  e.detail = contentsText(now.value_or(Contents{}));
  append(cn, e);
  change.commit();
  return recid;
}

namespace {

struct PurchaseState {
  QString first, last, date;
  std::vector<Purchaser> list;
  bool started = false;
  // Applies one change: a new name starts a new purchaser; a date alone belongs to the one there.
  void apply(const QString& f, const QString& l, const QString& d, const QDateTime& when) {
    const bool named = !f.trimmed().isEmpty() || !l.trimmed().isEmpty();
    const bool newName = f != first || l != last || !started;
    first = f;
    last = l;
    date = d;
    started = true;
    if (!named) return;
    if (newName || list.empty())
      list.push_back({f, l, d, when});
    else
      list.back().purchaseDate = d;
  }
};

// One pass over the purchaser fields' history of zel, grouped by record and save.
std::map<qint64, PurchaseState> purchaseHistory(Connection& cn, qint64 recid) {
  std::map<qint64, PurchaseState> states;
  if (!hasTable(cn)) return states;
  QString sql = QStringLiteral(
      "select id, written, kind, recid, field, oldvalue, newvalue, detail from history where tablename='zel' "
      "and "
      "(kind='record added' or field in ('ownerfirstname','ownerlastname','purchdate'))");
  if (recid) sql += QStringLiteral(" and recid=") + QString::number(recid);
  sql += QStringLiteral(" order by id");
  Statement st(cn, sql.toUtf8());
  // A save writes its fields one after the other under one time: they are applied together.
  struct Pending {
    qint64 recid = 0;
    QString written;
    QHash<QString, std::pair<QString, QString>> fields;
  } pending;
  const auto flush = [&] {
    if (pending.fields.isEmpty()) return;
    PurchaseState& s = states[pending.recid];
    const auto value = [&](const char* column, const QString& current, bool old) {
      const auto it = pending.fields.constFind(QLatin1String(column));
      if (it == pending.fields.cend()) return current;
      return old ? it->first : it->second;
    };
    if (!s.started) {
      // The record is older than its history: its first purchaser is what the first save replaced.
      s.apply(value("ownerfirstname", {}, true), value("ownerlastname", {}, true),
              value("purchdate", {}, true), QDateTime());
    }
    s.apply(value("ownerfirstname", s.first, false), value("ownerlastname", s.last, false),
            value("purchdate", s.date, false), QDateTime::fromString(pending.written, Qt::ISODateWithMs));
    pending.fields.clear();
  };
  while (st.next()) {
    const qint64 id = st.int64(3);
    const QString written = st.string(1);
    if (st.string(2) == u"record added") {
      flush();
      Entry e;
      e.kind = Kind::RecordAdded;
      e.detail = st.string(7);
      const Contents c = contentsOf(e);
      PurchaseState& s = states[id];
      s.started = false;
      s.apply(valueIn(c, QStringLiteral("ownerfirstname")), valueIn(c, QStringLiteral("ownerlastname")),
              valueIn(c, QStringLiteral("purchdate")), QDateTime::fromString(written, Qt::ISODateWithMs));
      continue;
    }
    if (id != pending.recid || written != pending.written) flush();
    pending.recid = id;
    pending.written = written;
    pending.fields.insert(st.string(4), {st.string(5), st.string(6)});
  }
  flush();
  return states;
}

// The current purchaser closes the list: a record whose history shows none still has one.
void closeWith(PurchaseState& s, const QString& first, const QString& last, const QString& date) {
  if (!s.started || first != s.first || last != s.last || date != s.date)
    s.apply(first, last, date, QDateTime());
}

}  // namespace

std::vector<Purchaser> purchasers(Connection& cn, qint64 recid) {
  std::map<qint64, PurchaseState> states = purchaseHistory(cn, recid);
  PurchaseState& s = states[recid];
  if (const std::optional<Contents> row = readRow(cn, QStringLiteral("zel"), recid))
    closeWith(s, valueIn(*row, QStringLiteral("ownerfirstname")),
              valueIn(*row, QStringLiteral("ownerlastname")), valueIn(*row, QStringLiteral("purchdate")));
  return s.list;
}

std::vector<GravePurchasers> rightsOfBurial(Connection& cn, qint64 cemeteryId) {
  std::map<qint64, PurchaseState> states = purchaseHistory(cn, 0);
  std::vector<GravePurchasers> out;
  RecordSet rs(&cn);
  QString sql = QStringLiteral(
      "select zel.recid, zel.cemeteryid, cemetery.name, zel.csection, zel.lot, zel.grave, "
      "zel.ownerfirstname, "
      "zel.ownerlastname, zel.purchdate from zel left join cemetery on cemetery.cemeteryid=zel.cemeteryid");
  if (cemeteryId) sql += QStringLiteral(" where zel.cemeteryid=") + QString::number(cemeteryId);
  sql += QStringLiteral(
      " order by cemetery.name, zel.cemeteryid, zel.csection collate places, zel.lot collate places, "
      "zel.grave "
      "collate places");
  rs.open(sql);
  for (; !rs.eof(); rs.moveNext()) {
    GravePurchasers g;
    g.recid = rs.field(0).toInt();
    g.cemeteryId = rs.field(1).toInt();
    g.cemetery = rs.field(2).toString();
    g.section = rs.field(3).toString();
    g.lot = rs.field(4).toString();
    g.grave = rs.field(5).toString();
    PurchaseState& s = states[g.recid];
    closeWith(s, rs.field(6).toString(), rs.field(7).toString(), rs.field(8).toString());
    g.purchasers = s.list;
    if (!g.purchasers.empty()) out.push_back(std::move(g));
  }
  return out;
}

Verdict verify(Connection& cn) {
  Verdict v;
  if (!hasTable(cn)) return v;
  std::vector<Stored> all;
  {
    Statement st(cn,
                 QStringLiteral("select %1 from history order by id").arg(QLatin1String(kColumns)).toUtf8());
    while (st.next()) all.push_back(readStored(st));
  }
  // What the erasures replaced: entry id -> part ("old", "new", or a column of its contents) -> hash.
  QHash<qint64, QHash<QString, QByteArray>> erased;
  for (const Stored& s : all) {
    if (s.e.kind != Kind::OwnerErased) continue;
    const QJsonArray list =
        QJsonDocument::fromJson(s.e.detail.toUtf8()).object().value(QLatin1String("erased")).toArray();
    for (const QJsonValue& item : list) {
      const QJsonArray a = item.toArray();
      erased[qint64(a.at(0).toDouble())].insert(a.at(1).toString(),
                                                QByteArray::fromHex(a.at(2).toString().toLatin1()));
    }
  }
  // The rows kept beside "records removed" entries, hashed in the order kept; personal values an
  // erasure replaced stand in by the hash it kept.
  std::map<qint64, std::unique_ptr<Sha256>> kept;
  if (hasKeptRows(cn)) {
    Sha256 personal;
    Statement st(cn, "select entry, recid, contents, personal from history_rows order by id");
    while (st.next()) {
      const qint64 entry = st.int64(0), recid = st.int64(1);
      std::unique_ptr<Sha256>& h = kept[entry];
      if (!h) h = std::make_unique<Sha256>();
      QByteArray personalHash = personal.valueHash(st.text(3));
      const auto e = erased.constFind(entry);
      if (e != erased.cend() && e->contains(erasedRowPart(recid))) {
        // As the erasure left them: erased, or empty (an imported record's, which it leaves be).
        bool allErased = true;
        for (const Literal& l : literals(st.string(3)))
          allErased = allErased && (l.type == Literal::Type::Null ||
                                    (l.type == Literal::Type::Text &&
                                     (l.text.isEmpty() || l.text.startsWith(QLatin1String(kErasedPrefix)))));
        if (allErased) personalHash = e->value(erasedRowPart(recid));
      }
      addKeptRow(*h, recid, st.text(2), personalHash);
    }
  }
  const auto fail = [&v](const Stored& s, const QString& what) {
    v.ok = false;
    v.firstBad = s.e.id;
    v.problem = QStringLiteral("Entry %1 (%2, %3) does not follow: %4")
                    .arg(s.e.id)
                    .arg(s.e.time.toString(Qt::ISODate), kindName(s.e.kind), what);
  };
  const auto valueFits = [&erased](const Stored& s, const char* part, const QString& value,
                                   const QByteArray& hash) {
    if (valueHash(value) == hash) return true;
    const auto e = erased.constFind(s.e.id);
    return e != erased.cend() && e->value(QLatin1String(part)) == hash &&
           value.startsWith(QLatin1String(kErasedPrefix));
  };
  QByteArray previous;
  qint64 expectedId = 0;
  for (const Stored& s : all) {
    ++v.entries;
    if (expectedId && s.e.id != expectedId) {
      fail(s, QStringLiteral("the entry before it (%1) is missing.").arg(expectedId));
      return v;
    }
    expectedId = s.e.id + 1;
    if (!valueFits(s, "old", s.e.oldValue, s.oldHash)) {
      fail(s, QStringLiteral("its old value was changed."));
      return v;
    }
    if (!valueFits(s, "new", s.e.newValue, s.newHash)) {
      fail(s, QStringLiteral("its new value was changed."));
      return v;
    }
    QByteArray detail;
    if (s.e.kind == Kind::RecordsRemoved) {
      Sha256 none;
      auto node = kept.extract(s.e.id);
      detail = keptHash(node.empty() ? none : *node.mapped(), s.e.detail);
    } else if (holdsContents(s.e.kind)) {
      detail = contentsHash(contentsOf(s.e), erased.value(s.e.id));
    } else {
      detail = valueHash(s.e.detail);
    }
    if (detail != s.detailHash) {
      fail(s, s.e.kind == Kind::RecordsRemoved ? QStringLiteral("its removed records were changed.")
                                               : QStringLiteral("its detail was changed."));
      return v;
    }
    if (chainHash(previous, s) != s.hash) {
      fail(s, previous.isEmpty() && s.e.id != 1
                  ? QStringLiteral("the entries before it are missing.")
                  : QStringLiteral("it was changed, or the entry before it was."));
      return v;
    }
    previous = s.hash;
  }
  if (!kept.empty()) {
    v.ok = false;
    v.firstBad = kept.begin()->first;
    v.problem = QStringLiteral("Removed records are kept for entry %1, which keeps none.").arg(v.firstBad);
  }
  return v;
}

QStringList ownerPersonalFields() {
  // The owner's fields but the name, which the register of rights of burial keeps.
  QStringList out;
  for (const RecordFields::Field& f : RecordFields::all()) {
    const QString c = f.column();
    if (c.startsWith(u"owner") && c != u"ownerfirstname" && c != u"ownerlastname") out << c;
  }
  return out;
}

QString erasedText(const QDate& date, const QString& user) {
  return QStringLiteral("erased on %1 by %2").arg(date.toString(Qt::ISODate), user);
}

int eraseOwner(Connection& cn, qint64 recid) {
  const QStringList fields = ownerPersonalFields();
  const QString text = erasedText(QDateTime::currentDateTimeUtc().date(), currentUser());
  const auto personal = [&fields](const QString& column) {
    return fields.contains(column, Qt::CaseInsensitive);
  };
  const auto erasable = [](const QString& value) {
    return !value.isEmpty() && !value.startsWith(QLatin1String(kErasedPrefix));
  };

  Change change(cn);
  QJsonArray record, list;
  int count = 0;
  const std::optional<Contents> row = readRow(cn, QStringLiteral("zel"), recid);
  if (row) {
    for (const auto& [column, value] : *row) {
      if (!personal(column) || !erasable(value)) continue;
      Statement up(cn, QStringLiteral("update zel set %1=? where recid=?").arg(column).toUtf8());
      const QByteArray t = text.toUtf8();
      up.bindText(1, t);
      up.bind(2, recid);
      up.next();
      record.append(column);
      ++count;
    }
  }
  std::vector<Entry> own =
      query(cn, QStringLiteral("where tablename='zel' and recid=?"), {}, {recid}, QStringLiteral("asc"));
  // The record as an emptying import kept it: its personal values are replaced together, and the
  // hash of what they were is kept.
  struct KeptRow {
    qint64 id, entry;
    QString personal;
  };
  std::vector<KeptRow> kept;
  if (hasKeptRows(cn)) {
    Statement st(cn, "select id, entry, personal from history_rows where recid=? order by id");
    st.bind(1, recid);
    while (st.next()) kept.push_back({st.int64(0), st.int64(1), st.string(2)});
  }
  if (!row && own.empty() && kept.empty())
    throw DbError(DbError::Misuse, 0,
                  QStringLiteral("Record %1 does not exist and has no history.").arg(recid));
  setErasing(cn, true);
  for (const KeptRow& k : kept) {
    std::vector<Literal> values = literals(k.personal);
    int erasedHere = 0;
    for (Literal& v : values) {
      if (v.type == Literal::Type::Null || !erasable(v.text)) continue;
      v = {Literal::Type::Text, text};
      ++erasedHere;
    }
    if (!erasedHere) continue;
    list.append(
        QJsonArray{k.entry, erasedRowPart(recid), QString::fromLatin1(valueHash(k.personal).toHex())});
    count += erasedHere;
    Statement up(cn, "update history_rows set personal=? where id=?");
    const QByteArray p = quoted(values).toUtf8();
    up.bindText(1, p);
    up.bind(2, k.id);
    up.next();
  }
  for (const Entry& e : own) {
    QString oldValue = e.oldValue, newValue = e.newValue, detail = e.detail;
    bool changed = false;
    if (e.kind == Kind::RecordSaved && personal(e.field)) {
      if (erasable(oldValue)) {
        list.append(
            QJsonArray{e.id, QStringLiteral("old"), QString::fromLatin1(valueHash(oldValue).toHex())});
        oldValue = text;
        changed = true;
        ++count;
      }
      if (erasable(newValue)) {
        list.append(
            QJsonArray{e.id, QStringLiteral("new"), QString::fromLatin1(valueHash(newValue).toHex())});
        newValue = text;
        changed = true;
        ++count;
      }
    } else if (holdsContents(e.kind)) {
      Contents c = contentsOf(e);
      for (auto& [column, value] : c) {
        if (!personal(column) || !erasable(value)) continue;
        list.append(QJsonArray{e.id, column, QString::fromLatin1(valueHash(value).toHex())});
        value = text;
        changed = true;
        ++count;
      }
      if (changed) detail = contentsText(c);
    }
    if (!changed) continue;
    Statement up(cn, "update history set oldvalue=?, newvalue=?, detail=? where id=?");
    const QByteArray o = oldValue.toUtf8(), n = newValue.toUtf8(), d = detail.toUtf8();
    bindTextOrNull(up, 1, o);
    bindTextOrNull(up, 2, n);
    bindTextOrNull(up, 3, d);
    up.bind(4, e.id);
    up.next();
  }
  setErasing(cn, false);
  Entry e;
  e.kind = Kind::OwnerErased;
  e.recordId = recid;
  e.table = QStringLiteral("zel");
  e.newValue = text;
  e.detail = QString::fromUtf8(
      QJsonDocument(QJsonObject{{QStringLiteral("record"), record}, {QStringLiteral("erased"), list}})
          .toJson(QJsonDocument::Compact));
  append(cn, e);
  change.commit();
  return count;
}

}  // namespace History
