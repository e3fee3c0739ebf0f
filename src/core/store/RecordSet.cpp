#include "core/store/RecordSet.h"

#include <QRegularExpression>
#include <cmath>

#include "core/store/DateValue.h"
#include "core/store/Dialect.h"
#include "core/store/KeyPages.h"
#include "core/store/Schema.h"

namespace {

DbError closedError() {
  return DbError(3704, QStringLiteral("Operation is not allowed when the object is closed."));
}

DbError noRowError() {
  return DbError(
      3021, QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. Requested "
                           "operation requires a current record."));
}

QString keyColumnOf(Connection* cn, const QString& table) { return cn->engine().keyColumn(table); }

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
  stmt_.reset();
  fetch_.reset();
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
  versioned_ = false;
  currentVersion_ = -1;
  expected_.reset();
  editMode_ = EditMode::None;
  pending_.clear();
  touched_.clear();
}

std::unique_ptr<EngineStatement> RecordSet::prepare(const QString& sql) const {
  return cn_->engine().prepare(sql.toUtf8());
}

void RecordSet::setColumns(const EngineStatement& st) {
  names_.clear();
  index_.clear();
  kinds_.clear();
  int n = st.columnCount();
  for (int i = 0; i < n; ++i) {
    QString name = QString::fromUtf8(st.columnName(i));
    names_ << name;
    index_.insert(name.toLower(), i);  // first of equal names wins
    QString decl = QString::fromUtf8(st.declaredType(i)).toUpper();
    ColKind kind = ColKind::Other;
    if (Schema::isMoneyType(st.declaredType(i)))
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

Value RecordSet::decode(const EngineStatement& st, int i) const { return decodeAs(st, i, kinds_[i]); }

Value RecordSet::decodeAs(const EngineStatement& st, int i, ColKind kind) const {
  // A money column's value that is not an amount is kept as stored: field() refuses it.
  if (kind == ColKind::Money)
    if (std::optional<Value> m = Schema::readMoney(st, i)) return *m;
  switch (st.type(i)) {
    case ColumnType::Null:
      return {};
    case ColumnType::Integer:
      return st.int64(i);
    case ColumnType::Real:
      return st.real(i);
    default: {
      QString s = QString::fromUtf8(st.text(i));
      if (kind == ColKind::Date) {
        bool hasTime = false;
        QDateTime dt = DateValue::fromIso(s, &hasTime);
        if (dt.isValid()) return Value(dt, hasTime);
      }
      return s;
    }
  }
}

void RecordSet::readRow(const EngineStatement& st, std::vector<Value>& row) const {
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
  QString text = cn_->translate(sql).trimmed();
  cursor_ = cursor;

  static const QRegularExpression single(
      QStringLiteral("^select\\s+\\*\\s+from\\s+(\\w+)(\\s+(?:where|order)\\b.*)?$"),
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression fromTable(
      QStringLiteral("^select\\s.*?\\sfrom\\s+(\\w+)(\\s+(?:where|order)\\b.*)?$"),
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);

  if (cursor == Cursor::ForwardOnly) {
    stmt_ = prepare(text);
    setColumns(*stmt_);
    open_ = true;
    try {
      fwdEof_ = !stmt_->step();
    } catch (const DbError&) {
      close();
      throw;
    }
    return;
  }

  // Table names as the server folds them; the file takes them in any case.
  auto m = single.match(text);
  if (m.hasMatch()) {
    table_ = m.captured(1).toLower();
    keyColumn_ = keyColumnOf(cn_, table_);
  } else if (auto f = fromTable.match(text); f.hasMatch()) {
    table_ = f.captured(1).toLower();
    keyColumn_ = keyColumnOf(cn_, table_);
  }

  if (m.hasMatch() && !keyColumn_.isEmpty()) {
    // Keys only: the rows are read one at a time as they become current.
    keyed_ = true;
    // On a server each row comes with its version: the row version's transaction number (xmin),
    // which every change of the row replaces. It needs no column of its own, so nothing that lists
    // a table's columns ever sees it.
    versioned_ = cn_->isServer();
    const QString columns =
        versioned_ ? QStringLiteral("*, xmin::text::bigint as zel_version") : QStringLiteral("*");
    fetch_ = prepare(QStringLiteral("select %3 from \"%1\" where \"%2\"=?").arg(table_, keyColumn_, columns));
    setColumns(*fetch_);
    if (versioned_) {
      index_.remove(names_.takeLast().toLower());
      kinds_.pop_back();
    }
    keyIndex_ = indexOf(keyColumn_);
    try {
      // The pages make their SQL from the order as the file writes it; the server's translation
      // of the pages' SQL puts its Nulls where the file has them.
      const QRegularExpressionMatch file =
          cn_->isServer() ? single.match(Dialect::translate(sql, cn_->dateDisplayFormat()).trimmed()) : m;
      // A server reads the first row with the first page, in one wait: the open shows it next.
      if (file.hasMatch())
        pages_ = KeyPages::paged(cn_, table_, keyColumn_, file.captured(2), versioned_ ? columns : QString());
      if (const std::unique_ptr<EngineStatement> first = pages_ ? pages_->takeFirstRow() : nullptr) {
        currentRead_ = true;
        currentKey_ = first->int64(keyIndex_);
        readRow(*first, current_);
        currentVersion_ = first->int64(int(names_.size()));
        currentMissing_ = false;
      }
      if (!pages_) {
        // An order the pages cannot follow: every key now. An order is kept from the query as given
        // (it may name columns by number); without one the keys alone are read, from an index where
        // the filter has one.
        static const QRegularExpression ordered(QStringLiteral("\\border\\s+by\\b"),
                                                QRegularExpression::CaseInsensitiveOption);
        const bool keysOnly = !m.captured(2).contains(ordered);
        const std::unique_ptr<EngineStatement> keys = prepare(
            keysOnly ? QStringLiteral("select \"%1\" from \"%2\"%3").arg(keyColumn_, table_, m.captured(2))
                     : text);
        std::vector<qint64> all;
        while (keys->step()) all.push_back(keys->int64(keysOnly ? 0 : keyIndex_));
        pages_ = KeyPages::whole(std::move(all));
      }
    } catch (const DbError&) {
      close();
      throw;
    }
  } else {
    try {
      const std::unique_ptr<EngineStatement> all = prepare(text);
      setColumns(*all);
      // Without its key in the select list the set can add rows but not edit them.
      if (hasField(keyColumn_)) keyIndex_ = indexOf(keyColumn_);
      while (all->step()) {
        rows_.emplace_back();
        readRow(*all, rows_.back());
      }
    } catch (const DbError&) {
      close();
      throw;
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
  fetch_->reset();
  fetch_->bindInt(1, key);
  if (fetch_->step()) {
    readRow(*fetch_, current_);
    if (versioned_) currentVersion_ = fetch_->int64(int(names_.size()));
    currentMissing_ = false;
  }
  fetch_->reset();
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
    stmt_->reset();
    fwdEof_ = !stmt_->step();
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
    fwdEof_ = !stmt_->step();
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
    return decode(*stmt_, i);
  }
  if (!atRow()) throw noRowError();
  if (keyed_) {
    loadCurrent();
    if (currentMissing_) throw noRowError();
    return current_[i];
  }
  return rows_[pos_][i];
}

std::optional<qint64> RecordSet::version() const {
  if (!versioned_ || !atRow()) return std::nullopt;
  loadCurrent();
  if (currentMissing_) return std::nullopt;
  return currentVersion_;
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

void RecordSet::deleteCurrent() {
  requireOpen();
  if (!keyed_) throw DbError(DbError::Misuse, QStringLiteral("Only a row read by its key can be deleted."));
  if (!atRow()) throw RowConflict(true);
  loadCurrent();
  const qint64 key = currentKey_;
  std::optional<qint64> version = expected_;
  expected_.reset();
  if (!version && versioned_ && !currentMissing_) version = currentVersion_;
  const bool server = cn_->isServer();
  QString sql = QStringLiteral("delete from \"%1\" where \"%2\"=?").arg(table_, keyColumn_);
  if (server && version) sql += QStringLiteral(" and xmin=?::text::xid");
  if (server) sql += QStringLiteral(" returning \"%1\"").arg(keyColumn_);
  const std::unique_ptr<EngineStatement> s = prepare(sql);
  s->bindInt(1, key);
  if (server && version) s->bindInt(2, *version);
  const bool deleted = s->step();
  currentRead_ = false;
  loadCurrent();
  if (server && !deleted) throw RowConflict(currentMissing_);
}

void RecordSet::cancelUpdate() {
  editMode_ = EditMode::None;
  pending_.clear();
  touched_.clear();
}

void RecordSet::bindValue(EngineStatement& st, int pos, const Value& v, int col) const {
  if (v.isNull()) {
    st.bindNull(pos);
    return;
  }
  auto bindText = [&](const QString& s) { st.bindText(pos, s.toUtf8()); };
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
        st.bindNull(pos);
    }
    return;
  }
  switch (v.type()) {
    case Value::Type::Integer:
      st.bindInt(pos, v.toInt());
      break;
    case Value::Type::Real:
      st.bindReal(pos, v.toDouble());
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
  QStringList cols;
  std::vector<int> idx;
  for (int i = 0; i < int(names_.size()); ++i) {
    if (!touched_[i] || i == keyIndex_) continue;
    cols << QStringLiteral("\"%1\"").arg(names_[i]);
    idx.push_back(i);
  }
  const bool server = cn_->isServer();
  // The server says which row it wrote: the number it gave a new row, or that the row (of the
  // version expected) was there to change.
  const QString returning = server ? QStringLiteral(" returning \"%1\"").arg(keyColumn_) : QString();
  std::optional<qint64> version;
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
    if (server) {
      version = expected_;
      if (!version && keyed_ && !currentMissing_ && currentRead_) version = currentVersion_;
      if (version) sql += QStringLiteral(" and xmin=?::text::xid");
    }
  }
  sql += returning;
  const std::unique_ptr<EngineStatement> s = prepare(sql);
  int p = 1;
  for (int i : idx) bindValue(*s, p++, pending_[i], i);
  qint64 key = 0;
  if (editMode_ == EditMode::Edit) {
    key = pending_[keyIndex_].toInt();
    s->bindInt(p++, key);
    if (version) s->bindInt(p++, *version);
  }
  const bool wrote = s->step();
  expected_.reset();

  if (server && !wrote && editMode_ == EditMode::Edit) {
    // Changed or removed by another clerk since it was read: the set shows the row as stored now.
    cancelUpdate();
    bool removed = true;
    if (keyed_) {
      currentRead_ = false;
      loadCurrent();
      removed = currentMissing_;
    } else {
      const std::unique_ptr<EngineStatement> f =
          prepare(QStringLiteral("select 1 from \"%1\" where \"%2\"=?").arg(table_, keyColumn_));
      f->bindInt(1, key);
      removed = !f->step();
    }
    throw RowConflict(removed);
  }
  if (editMode_ == EditMode::Add) key = server ? s->int64(0) : cn_->engine().lastInsertKey();
  savedKey_ = key;
  const bool added = editMode_ == EditMode::Add;
  cancelUpdate();

  // Bring the snapshot up to date with what was written; a new row goes to the end.
  if (keyed_) {
    if (added) pages_->add(key);
    currentRead_ = false;
    loadCurrent();
    return;
  }
  const std::unique_ptr<EngineStatement> f =
      prepare(QStringLiteral("select * from \"%1\" where \"%2\"=?").arg(table_, keyColumn_));
  f->bindInt(1, key);
  if (!f->step()) return;
  std::vector<Value> row(names_.size());
  for (int i = 0; i < int(names_.size()); ++i) {
    // Match columns by name: the set may hold fewer or reordered columns.
    int c = -1;
    for (int k = 0; k < f->columnCount(); ++k)
      if (QString::fromUtf8(f->columnName(k)).compare(names_[i], Qt::CaseInsensitive) == 0) c = k;
    row[i] = c >= 0 ? decodeAs(*f, c, kinds_[i]) : Value();
  }
  if (added) {
    rows_.push_back(std::move(row));
    pos_ = int(rows_.size()) - 1;
  } else if (pos_ >= 0 && pos_ < int(rows_.size())) {
    rows_[pos_] = std::move(row);
  }
}
