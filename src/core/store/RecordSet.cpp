#include "core/store/RecordSet.h"

#include <QRegularExpression>
#include <cmath>

#include "core/store/DateValue.h"
#include "core/store/KeyPages.h"
#include "core/store/Schema.h"
#include "core/store/sqlite.h"

namespace {

DbError closedError() {
  return DbError(3704, QStringLiteral("Operation is not allowed when the object is closed."));
}

DbError noRowError() {
  return DbError(
      3021, QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. Requested "
                           "operation requires a current record."));
}

struct Stmt {
  sqlite3_stmt* st = nullptr;
  ~Stmt() { sqlite3_finalize(st); }
};

QString keyColumnOf(Connection* cn, const QString& table) {
  Stmt s;
  QByteArray q = QStringLiteral("PRAGMA table_info(\"%1\")").arg(table).toUtf8();
  if (sqlite3_prepare_v2(cn->handle(), q.constData(), -1, &s.st, nullptr) != SQLITE_OK) return {};
  QString key;
  int pkCount = 0;
  while (sqlite3_step(s.st) == SQLITE_ROW) {
    if (sqlite3_column_int(s.st, 5) > 0) {
      ++pkCount;
      QString type = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s.st, 2)));
      if (type.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
        key = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s.st, 1)));
    }
  }
  return pkCount == 1 ? key : QString();
}

}  // namespace

RecordSet::~RecordSet() { close(); }

void RecordSet::requireOpen() const {
  if (!open_) throw closedError();
}

void RecordSet::close() {
  if (registered_) {
    std::erase(registered_->sets_, this);
    registered_ = nullptr;
  }
  sqlite3_finalize(stmt_);
  stmt_ = nullptr;
  sqlite3_finalize(fetch_);
  fetch_ = nullptr;
  open_ = false;
  names_.clear();
  index_.clear();
  kinds_.clear();
  fwdEof_ = true;
  table_.clear();
  keyColumn_.clear();
  keyIndex_ = -1;
  keyed_ = false;
  rows_.clear();
  pos_ = -1;
  pages_.reset();
  current_.clear();
  currentRead_ = false;
  currentMissing_ = false;
  editMode_ = EditMode::None;
  pending_.clear();
  touched_.clear();
}

void RecordSet::setColumns(sqlite3_stmt* st) {
  names_.clear();
  index_.clear();
  kinds_.clear();
  int n = sqlite3_column_count(st);
  for (int i = 0; i < n; ++i) {
    QString name = QString::fromUtf8(sqlite3_column_name(st, i));
    names_ << name;
    index_.insert(name.toLower(), i);  // first of equal names wins
    QString decl = QString::fromUtf8(sqlite3_column_decltype(st, i)).toUpper();
    ColKind kind = ColKind::Other;
    if (Schema::isMoneyType(sqlite3_column_decltype(st, i)))
      kind = ColKind::Money;
    else if (decl == QLatin1String("DATE") || decl == QLatin1String("DATETIME"))
      kind = ColKind::Date;
    else if (decl == QLatin1String("DOUBLE") || decl == QLatin1String("REAL") ||
             decl == QLatin1String("INTEGER"))
      kind = ColKind::Number;
    kinds_.push_back(kind);
  }
  // QHash::insert replaces; keep the first column of a repeated name.
  for (int i = n - 1; i >= 0; --i) index_.insert(names_[i].toLower(), i);
}

Value RecordSet::decode(sqlite3_stmt* st, int i) const { return decodeAs(st, i, kinds_[i]); }

Value RecordSet::decodeAs(sqlite3_stmt* st, int i, ColKind kind) const {
  // A money column's value that is not an amount is kept as stored: field() refuses it.
  if (kind == ColKind::Money)
    if (std::optional<Value> m = Schema::readMoney(st, i)) return *m;
  switch (sqlite3_column_type(st, i)) {
    case SQLITE_NULL:
      return {};
    case SQLITE_INTEGER:
      return qint64(sqlite3_column_int64(st, i));
    case SQLITE_FLOAT:
      return sqlite3_column_double(st, i);
    default: {
      QString s = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                    sqlite3_column_bytes(st, i));
      if (kind == ColKind::Date) {
        bool hasTime = false;
        QDateTime dt = DateValue::fromIso(s, &hasTime);
        if (dt.isValid()) return Value(dt, hasTime);
      }
      return s;
    }
  }
}

void RecordSet::readRow(sqlite3_stmt* st, std::vector<Value>& row) const {
  int n = int(names_.size());
  row.resize(n);
  for (int i = 0; i < n; ++i) row[i] = decode(st, i);
}

void RecordSet::open(const QString& sql, Cursor cursor) {
  close();
  if (!cn_ || !cn_->isOpen()) throw closedError();
  // Registered from here on, so that closing the connection also finalizes what a failed open left.
  registered_ = cn_;
  cn_->sets_.push_back(this);
  sqlite3* db = cn_->handle();
  QString text = cn_->translate(sql).trimmed();
  cursor_ = cursor;

  auto prepare = [&](const QString& q, sqlite3_stmt** out) {
    QByteArray b = q.toUtf8();
    int rc = sqlite3_prepare_v2(db, b.constData(), int(b.size()), out, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(*out);
      *out = nullptr;
      cn_->fail(rc);
    }
  };
  auto stepFails = [&](int rc) { return rc != SQLITE_ROW && rc != SQLITE_DONE; };

  static const QRegularExpression single(
      QStringLiteral("^select\\s+\\*\\s+from\\s+(\\w+)(\\s+(?:where|order)\\b.*)?$"),
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression fromTable(
      QStringLiteral("^select\\s.*?\\sfrom\\s+(\\w+)(\\s+(?:where|order)\\b.*)?$"),
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);

  if (cursor == Cursor::ForwardOnly) {
    prepare(text, &stmt_);
    setColumns(stmt_);
    open_ = true;
    int rc = sqlite3_step(stmt_);
    if (stepFails(rc)) {
      DbError e = cn_->error(rc);
      close();
      throw e;
    }
    fwdEof_ = rc != SQLITE_ROW;
    return;
  }

  auto m = single.match(text);
  if (m.hasMatch()) {
    table_ = m.captured(1);
    keyColumn_ = keyColumnOf(cn_, table_);
  } else if (auto f = fromTable.match(text); f.hasMatch()) {
    table_ = f.captured(1);
    keyColumn_ = keyColumnOf(cn_, table_);
  }

  if (m.hasMatch() && !keyColumn_.isEmpty()) {
    // Keys only: the rows are read one at a time as they become current.
    keyed_ = true;
    prepare(QStringLiteral("select * from \"%1\" where \"%2\"=?").arg(table_, keyColumn_), &fetch_);
    setColumns(fetch_);
    keyIndex_ = indexOf(keyColumn_);
    try {
      pages_ = KeyPages::paged(cn_, table_, keyColumn_, m.captured(2));
    } catch (const DbError&) {
      close();
      throw;
    }
    if (!pages_) {
      // An order the pages cannot follow: every key now. An order is kept from the query as given
      // (it may name columns by number); without one the keys alone are read, from an index where
      // the filter has one.
      static const QRegularExpression ordered(QStringLiteral("\\border\\s+by\\b"),
                                              QRegularExpression::CaseInsensitiveOption);
      const bool keysOnly = !m.captured(2).contains(ordered);
      Stmt keys;
      prepare(keysOnly ? QStringLiteral("select \"%1\" from \"%2\"%3").arg(keyColumn_, table_, m.captured(2))
                       : text,
              &keys.st);
      std::vector<qint64> all;
      int rc;
      while ((rc = sqlite3_step(keys.st)) == SQLITE_ROW)
        all.push_back(sqlite3_column_int64(keys.st, keysOnly ? 0 : keyIndex_));
      if (stepFails(rc)) {
        DbError e = cn_->error(rc);
        close();
        throw e;
      }
      pages_ = KeyPages::whole(std::move(all));
    }
  } else {
    Stmt all;
    prepare(text, &all.st);
    setColumns(all.st);
    // Without its key in the select list the set can add rows but not edit them.
    if (hasField(keyColumn_)) keyIndex_ = indexOf(keyColumn_);
    int rc;
    while ((rc = sqlite3_step(all.st)) == SQLITE_ROW) {
      rows_.emplace_back();
      readRow(all.st, rows_.back());
    }
    if (stepFails(rc)) {
      DbError e = cn_->error(rc);
      close();
      throw e;
    }
  }
  open_ = true;
  pos_ = 0;  // an empty set is at both BOF and EOF
  if (keyed_) pages_->toEof();
  if (!isEmpty()) moveFirst();
}

int RecordSet::recordCount() const {
  if (!open_ || cursor_ == Cursor::ForwardOnly) return -1;
  return keyed_ ? pages_->count() : int(rows_.size());
}

bool RecordSet::isEmpty() const {
  if (!open_) return true;
  if (cursor_ == Cursor::ForwardOnly) return fwdEof_;
  return keyed_ ? pages_->isEmpty() : rows_.empty();
}

bool RecordSet::eof() const {
  requireOpen();
  if (cursor_ == Cursor::ForwardOnly) return fwdEof_;
  if (keyed_) return pages_->atEof() || pages_->isEmpty();
  return pos_ >= int(rows_.size());
}

bool RecordSet::bof() const {
  requireOpen();
  if (cursor_ == Cursor::ForwardOnly) return fwdEof_;
  if (keyed_) return pages_->atBof() || pages_->isEmpty();
  return pos_ < 0 || rows_.empty();
}

bool RecordSet::atRow() const { return !eof() && !bof(); }

void RecordSet::loadCurrent() const {
  if (!keyed_) return;
  if (!atRow()) {
    currentRead_ = false;
    currentMissing_ = true;
    current_.clear();
    return;
  }
  const qint64 key = pages_->key();
  if (currentRead_ && currentKey_ == key) return;
  currentRead_ = true;
  currentKey_ = key;
  currentMissing_ = true;
  current_.clear();
  sqlite3_reset(fetch_);
  sqlite3_bind_int64(fetch_, 1, key);
  int rc = sqlite3_step(fetch_);
  if (rc == SQLITE_ROW) {
    readRow(fetch_, current_);
    currentMissing_ = false;
  } else if (rc != SQLITE_DONE) {
    sqlite3_reset(fetch_);
    cn_->fail(rc);
  }
  sqlite3_reset(fetch_);
}

void RecordSet::skipMissingForward() {
  if (!keyed_) return;
  for (; !pages_->atEof(); pages_->forward()) {
    loadCurrent();
    if (!currentMissing_) return;
  }
}

void RecordSet::skipMissingBackward() {
  if (!keyed_) return;
  for (; !pages_->atBof(); pages_->backward()) {
    loadCurrent();
    if (!currentMissing_) return;
  }
}

void RecordSet::moveFirst() {
  requireOpen();
  cancelUpdate();
  if (cursor_ == Cursor::ForwardOnly) {
    // A stream cannot go back: run the query again from its first row.
    sqlite3_reset(stmt_);
    int rc = sqlite3_step(stmt_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) cn_->fail(rc);
    fwdEof_ = rc != SQLITE_ROW;
    return;
  }
  if (keyed_) {
    pages_->toBof();
    pages_->forward();
  } else {
    pos_ = 0;
  }
  skipMissingForward();
}

void RecordSet::moveLast() {
  requireOpen();
  cancelUpdate();
  if (cursor_ == Cursor::ForwardOnly) {
    while (!fwdEof_) moveNext();
    return;
  }
  if (keyed_) {
    pages_->toEof();
    pages_->backward();
    skipMissingBackward();
    return;
  }
  pos_ = int(rows_.size()) - 1;
  if (pos_ < 0) pos_ = 0;
}

void RecordSet::moveNext() {
  requireOpen();
  cancelUpdate();
  if (cursor_ == Cursor::ForwardOnly) {
    if (fwdEof_) throw noRowError();
    int rc = sqlite3_step(stmt_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) cn_->fail(rc);
    fwdEof_ = rc != SQLITE_ROW;
    return;
  }
  if (eof()) throw noRowError();
  if (keyed_) {
    pages_->forward();
    skipMissingForward();
  } else {
    ++pos_;
  }
}

void RecordSet::movePrevious() {
  requireOpen();
  cancelUpdate();
  if (cursor_ == Cursor::ForwardOnly)
    throw DbError(3219, QStringLiteral("Operation is not allowed in this context."));
  if (keyed_) {
    if (pages_->atBof()) throw noRowError();
    pages_->backward();
    skipMissingBackward();
  } else {
    if (pos_ < 0) throw noRowError();
    --pos_;
  }
}

int RecordSet::indexOf(const QString& name) const {
  auto it = index_.constFind(name.toLower());
  if (it == index_.constEnd())
    throw DbError(3265,
                  QStringLiteral("Item cannot be found in the collection corresponding to the requested name "
                                 "or ordinal. (%1)")
                      .arg(name));
  return it.value();
}

bool RecordSet::hasField(const QString& name) const { return index_.contains(name.toLower()); }

Value RecordSet::field(const QString& name) const { return field(indexOf(name)); }

Value RecordSet::field(int i) const {
  Value v = rawField(i);
  if (kinds_[i] == ColKind::Money && !v.isNull() && v.type() != Value::Type::Money)
    throw Schema::badMoney(names_[i], v);
  return v;
}

Value RecordSet::rawField(int i) const {
  requireOpen();
  if (i < 0 || i >= int(names_.size())) throw DbError(3265, QStringLiteral("Item cannot be found."));
  if (editMode_ != EditMode::None) return pending_[i];
  if (cursor_ == Cursor::ForwardOnly) {
    if (fwdEof_) throw noRowError();
    // Decoded when asked for: a report reads a few of the many columns of each row.
    return decode(stmt_, i);
  }
  if (!atRow()) throw noRowError();
  if (keyed_) {
    loadCurrent();
    if (currentMissing_) throw noRowError();
    return current_[i];
  }
  return rows_[pos_][i];
}

void RecordSet::addNew() {
  requireOpen();
  if (cursor_ == Cursor::ForwardOnly || table_.isEmpty() || keyColumn_.isEmpty())
    throw DbError(3251, QStringLiteral("Current Recordset does not support updating."));
  editMode_ = EditMode::Add;
  pending_.assign(names_.size(), Value());
  touched_.assign(names_.size(), false);
}

std::optional<Value> RecordSet::convertText(const QString& text, ColKind kind) const {
  switch (kind) {
    case ColKind::Money: {
      Money::ParseError error{};
      if (auto m = Money::parse(text, &error)) return Value(*m);
      if (error == Money::ParseError::OutOfRange) throw MoneyOutOfRange(text.trimmed());
      return std::nullopt;
    }
    case ColKind::Date: {
      bool hasTime = false;
      QDateTime dt = DateValue::fromIso(text, &hasTime);
      if (dt.isValid()) return Value(dt, hasTime);
      QDate d = DateValue::parseDisplay(text, cn_->dateDisplayFormat());
      if (d.isValid()) return Value(d);
      return std::nullopt;
    }
    case ColKind::Number: {
      bool ok = false;
      const QString t = text.trimmed();
      qint64 n = t.toLongLong(&ok);
      if (ok) return Value(n);
      double d = t.toDouble(&ok);
      if (ok && std::isfinite(d)) return Value(d);
      return std::nullopt;
    }
    case ColKind::Other:
      break;
  }
  return Value(text);
}

void RecordSet::assign(const QString& name, const Value& given) {
  requireOpen();
  int i = indexOf(name);
  if (editMode_ == EditMode::None && (cursor_ == Cursor::ForwardOnly || table_.isEmpty() || keyIndex_ < 0))
    throw DbError(3251, QStringLiteral("Current Recordset does not support updating."));
  Value v = given;
  if (v.type() == Value::Type::Text && kinds_[i] != ColKind::Other) {
    auto converted = convertText(v.toString(), kinds_[i]);
    if (!converted) return;  // type mismatch: the field keeps its value
    v = *converted;
  }
  if (editMode_ == EditMode::None) {
    std::vector<Value> row;
    // Fields are copied as stored: a value another field cannot read stays as it was.
    for (int k = 0; k < int(names_.size()); ++k) row.push_back(rawField(k));
    pending_ = std::move(row);
    touched_.assign(names_.size(), false);
    editMode_ = EditMode::Edit;
  }
  pending_[i] = v;
  touched_[i] = true;
}

void RecordSet::cancelUpdate() {
  editMode_ = EditMode::None;
  pending_.clear();
  touched_.clear();
}

void RecordSet::bindValue(sqlite3_stmt* st, int pos, const Value& v, int col) const {
  if (v.isNull()) {
    sqlite3_bind_null(st, pos);
    return;
  }
  auto bindText = [&](const QString& s) {
    QByteArray b = s.toUtf8();
    sqlite3_bind_text(st, pos, b.constData(), int(b.size()), SQLITE_TRANSIENT);
  };
  if (kinds_[col] == ColKind::Money) {
    if (v.type() == Value::Type::Money || v.type() == Value::Type::Integer || v.type() == Value::Type::Real ||
        v.type() == Value::Type::Text)
      Schema::bindMoney(st, pos, v.toMoney());
    else
      throw DbError(3421,
                    QStringLiteral("Application uses a value of the wrong type for the current operation."));
    return;
  }
  if (kinds_[col] == ColKind::Date) {
    if (v.isDate()) {
      bindText(DateValue::toIso(v.toDateTime(), v.hasTime()));
    } else {
      bool hasTime = false;
      QDateTime dt = DateValue::fromIso(v.toString(), &hasTime);
      if (dt.isValid())
        bindText(DateValue::toIso(dt, hasTime));
      else
        sqlite3_bind_null(st, pos);
    }
    return;
  }
  switch (v.type()) {
    case Value::Type::Integer:
      sqlite3_bind_int64(st, pos, v.toInt());
      break;
    case Value::Type::Real:
      sqlite3_bind_double(st, pos, v.toDouble());
      break;
    case Value::Type::Money:
      bindText(v.toMoney().toPlainString());
      break;
    default:
      bindText(v.toString());
      break;
  }
}

void RecordSet::update() {
  requireOpen();
  if (editMode_ == EditMode::None) return;
  sqlite3* db = cn_->handle();
  QStringList cols;
  std::vector<int> idx;
  for (int i = 0; i < int(names_.size()); ++i) {
    if (!touched_[i] || i == keyIndex_) continue;
    cols << QStringLiteral("\"%1\"").arg(names_[i]);
    idx.push_back(i);
  }
  QString sql;
  if (editMode_ == EditMode::Add) {
    if (cols.isEmpty())
      sql = QStringLiteral("insert into \"%1\" default values").arg(table_);
    else
      sql = QStringLiteral("insert into \"%1\" (%2) values (%3)")
                .arg(table_, cols.join(u','), QStringList(cols.size(), QStringLiteral("?")).join(u','));
  } else {
    if (cols.isEmpty()) {
      cancelUpdate();
      return;
    }
    QStringList sets;
    for (const QString& c : cols) sets << c + QStringLiteral("=?");
    sql = QStringLiteral("update \"%1\" set %2 where \"%3\"=?").arg(table_, sets.join(u','), keyColumn_);
  }
  Stmt s;
  QByteArray b = sql.toUtf8();
  int rc = sqlite3_prepare_v2(db, b.constData(), int(b.size()), &s.st, nullptr);
  if (rc != SQLITE_OK) cn_->fail(rc);
  int p = 1;
  for (int i : idx) bindValue(s.st, p++, pending_[i], i);
  qint64 key = 0;
  if (editMode_ == EditMode::Edit) {
    key = pending_[keyIndex_].toInt();
    sqlite3_bind_int64(s.st, p, key);
  }
  rc = sqlite3_step(s.st);
  if (rc != SQLITE_DONE) cn_->fail(rc);

  if (editMode_ == EditMode::Add) key = sqlite3_last_insert_rowid(db);
  const bool added = editMode_ == EditMode::Add;
  cancelUpdate();

  // Bring the snapshot up to date with what was written; a new row goes to the end.
  if (keyed_) {
    if (added) pages_->add(key);
    currentRead_ = false;
    loadCurrent();
    return;
  }
  Stmt f;
  QByteArray q = QStringLiteral("select * from \"%1\" where \"%2\"=?").arg(table_, keyColumn_).toUtf8();
  if (sqlite3_prepare_v2(db, q.constData(), -1, &f.st, nullptr) != SQLITE_OK) return;
  sqlite3_bind_int64(f.st, 1, key);
  if (sqlite3_step(f.st) != SQLITE_ROW) return;
  std::vector<Value> row(names_.size());
  for (int i = 0; i < int(names_.size()); ++i) {
    // Match columns by name: the set may hold fewer or reordered columns.
    int c = -1;
    for (int k = 0; k < sqlite3_column_count(f.st); ++k)
      if (QString::fromUtf8(sqlite3_column_name(f.st, k)).compare(names_[i], Qt::CaseInsensitive) == 0) c = k;
    row[i] = c >= 0 ? decodeAs(f.st, c, kinds_[i]) : Value();
  }
  if (added) {
    rows_.push_back(std::move(row));
    pos_ = int(rows_.size()) - 1;
  } else if (pos_ >= 0 && pos_ < int(rows_.size())) {
    rows_[pos_] = std::move(row);
  }
}
