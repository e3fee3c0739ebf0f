#include "core/store/KeyPages.h"

#include <QRegularExpression>
#include <algorithm>

#include "core/store/Connection.h"
#include "core/store/sqlite.h"

namespace {

constexpr int kLargestPage = 16384;

// The text with quoted names and literals and everything inside brackets blanked out, so that
// keywords and commas are found at the top level only. Null when the quotes or brackets don't pair.
std::optional<QString> topLevel(const QString& text) {
  QString out = text;
  QChar quote;
  int depth = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (!quote.isNull()) {
      if (c == quote) quote = QChar();
      out[i] = u' ';
      continue;
    }
    if (c == u'\'' || c == u'"' || c == u'`') {
      quote = c;
    } else if (c == u'[') {
      quote = u']';
    } else if (c == u'(') {
      ++depth;
    } else if (c == u')') {
      if (--depth < 0) return std::nullopt;
    } else if (depth == 0) {
      continue;
    }
    out[i] = u' ';
  }
  if (!quote.isNull() || depth != 0) return std::nullopt;
  return out;
}

void freeValues(std::vector<sqlite3_value*>& values) {
  for (sqlite3_value* v : values) sqlite3_value_free(v);
  values.clear();
}

}  // namespace

KeyPages::~KeyPages() {
  freeValues(headBound_);
  freeValues(tailBound_);
}

std::unique_ptr<KeyPages> KeyPages::whole(std::vector<qint64> keys) {
  std::unique_ptr<KeyPages> p(new KeyPages);
  p->head_ = std::move(keys);
  return p;
}

std::unique_ptr<KeyPages> KeyPages::paged(Connection* cn, const QString& table, const QString& key,
                                          const QString& tail) {
  const std::optional<QString> bare = topLevel(tail);
  if (!bare) return nullptr;
  static const QRegularExpression orderBy(QStringLiteral("\\border\\s+by\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression unpaged(
      QStringLiteral("\\b(limit|offset|union|except|intersect|group|having|window|nulls)\\b"),
      QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression where(QStringLiteral("^\\s*where\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression direction(QStringLiteral("\\s+(asc|desc)\\s*$"),
                                            QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression ordinal(QStringLiteral("^\\s*[0-9]+\\s*$"));
  const QRegularExpressionMatch order = orderBy.match(*bare);
  if (!order.hasMatch() || orderBy.match(*bare, order.capturedEnd()).hasMatch() || bare->contains(unpaged))
    return nullptr;

  std::unique_ptr<KeyPages> p(new KeyPages);
  p->cn_ = cn;
  p->table_ = table;
  p->key_ = key;
  const QString filter = bare->left(order.capturedStart());
  if (!filter.trimmed().isEmpty()) {
    const QRegularExpressionMatch w = where.match(filter);
    if (!w.hasMatch()) return nullptr;
    p->where_ = tail.mid(w.capturedEnd(), order.capturedStart() - w.capturedEnd()).trimmed();
  }
  qsizetype start = order.capturedEnd();
  for (qsizetype i = start; i <= bare->size(); ++i) {
    if (i < bare->size() && (*bare)[i] != u',') continue;
    QString masked = bare->mid(start, i - start), expr = tail.mid(start, i - start);
    Term t;
    if (const QRegularExpressionMatch d = direction.match(masked); d.hasMatch()) {
      t.desc = d.captured(1).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0;
      expr.truncate(d.capturedStart());
    }
    t.expr = expr.trimmed();
    if (t.expr.isEmpty() || ordinal.match(t.expr).hasMatch()) return nullptr;
    p->terms_.push_back(t);
    start = i + 1;
  }
  p->joined_ = false;
  if (!p->fetch(false, true)) return nullptr;
  return p;
}

// The condition "comes after the bound row" in the set's order, or in the reverse order, with the
// bound's values as the parameters numbered from first on. Nulls sort first, as the engine sorts them.
QString KeyPages::after(const std::vector<sqlite3_value*>& bound, bool reverse, int first) const {
  QStringList ways, equal;
  QString lead;
  for (size_t i = 0; i <= terms_.size(); ++i) {
    const bool isKey = i == terms_.size();
    const QString e = isKey ? QStringLiteral("\"%1\"").arg(key_) : u'(' + terms_[i].expr + u')';
    const QString arg = QStringLiteral("?%1").arg(first + int(i));
    const bool down = (!isKey && terms_[i].desc) != reverse;
    const bool null = sqlite3_value_type(bound[i]) == SQLITE_NULL;
    QString step;
    if (!down)
      step = null ? e + QStringLiteral(" is not null") : e + u'>' + arg;
    else if (!null)
      step = QStringLiteral("(%1<%2 or %1 is null)").arg(e, arg);
    if (!step.isEmpty()) ways << (QStringList(equal) << step).join(QStringLiteral(" and "));
    if (i == 0 && !down && !null)
      lead = e + QStringLiteral(">=") + arg + QStringLiteral(" and ");  // a range to seek
    equal << (null ? e + QStringLiteral(" is null") : e + u'=' + arg);
  }
  if (ways.isEmpty()) return QStringLiteral("0");
  return lead + u'(' + ways.join(QStringLiteral(" or ")) + u')';
}

bool KeyPages::fetch(bool fromEnd, bool probe) {
  // The rows between both ends' bounds: the part not read yet.
  const int width = int(terms_.size()) + 1;
  QStringList where;
  if (!where_.isEmpty()) where << u'(' + where_ + u')';
  if (!headBound_.empty()) where << after(headBound_, false, 1);
  if (!tailBound_.empty()) where << after(tailBound_, true, 1 + width);
  QStringList columns{QStringLiteral("\"%1\"").arg(key_)}, order;
  for (const Term& t : terms_) {
    columns << t.expr;
    order << t.expr + ((t.desc != fromEnd) ? QStringLiteral(" desc") : QStringLiteral(" asc"));
  }
  order << QStringLiteral("\"%1\"").arg(key_) + (fromEnd ? QStringLiteral(" desc") : QStringLiteral(" asc"));
  int& page = fromEnd ? tailPage_ : headPage_;
  const QString sql =
      QStringLiteral("select %1 from \"%2\"%3 order by %4 limit %5")
          .arg(columns.join(u','), table_,
               where.isEmpty() ? QString() : QStringLiteral(" where ") + where.join(QStringLiteral(" and ")),
               order.join(u','), QString::number(page));
  sqlite3_stmt* st = nullptr;
  const QByteArray text = sql.toUtf8();
  if (int rc = sqlite3_prepare_v2(cn_->handle(), text.constData(), int(text.size()), &st, nullptr);
      rc != SQLITE_OK) {
    sqlite3_finalize(st);
    if (probe) return false;
    cn_->fail(rc);
  }
  struct Finalize {
    sqlite3_stmt* st;
    ~Finalize() { sqlite3_finalize(st); }
  } finalize{st};
  for (size_t i = 0; i < headBound_.size(); ++i) sqlite3_bind_value(st, int(i) + 1, headBound_[i]);
  for (size_t i = 0; i < tailBound_.size(); ++i) sqlite3_bind_value(st, int(i) + 1 + width, tailBound_[i]);

  ++pagesRead_;
  std::vector<qint64>& keys = fromEnd ? tail_ : head_;
  std::vector<sqlite3_value*>& bound = fromEnd ? tailBound_ : headBound_;
  int rows = 0, rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    const qint64 k = sqlite3_column_int64(st, 0);
    if (!seen_.contains(k)) {
      seen_.insert(k);
      keys.push_back(k);
    }
    if (++rows == page) {
      freeValues(bound);
      for (int i = 1; i <= width; ++i)
        bound.push_back(sqlite3_value_dup(sqlite3_column_value(st, i % width)));
    }
  }
  if (rc != SQLITE_DONE) {
    if (probe) return false;
    cn_->fail(rc);
  }
  // A short page has read everything between the two ends.
  if (rows < page) join();
  page = std::min(page * 2, kLargestPage);
  return true;
}

void KeyPages::join() {
  // A position in the tail becomes the same row's position in the head.
  if (part_ == Part::Tail) {
    part_ = Part::Head;
    index_ = qsizetype(head_.size() + tail_.size()) - 1 - index_;
  }
  head_.insert(head_.end(), tail_.rbegin(), tail_.rend());
  tail_.clear();
  freeValues(headBound_);
  freeValues(tailBound_);
  joined_ = true;
}

qint64 KeyPages::key() const {
  switch (part_) {
    case Part::Head:
      return head_[size_t(index_)];
    case Part::Tail:
      return tail_[size_t(index_)];
    case Part::Added:
      return added_[size_t(index_)];
    default:
      return 0;
  }
}

void KeyPages::forward() {
  for (;;) {
    switch (part_) {
      case Part::Bof:
        part_ = Part::Head;
        index_ = -1;
        continue;
      case Part::Head:
        if (index_ + 1 < qsizetype(head_.size())) {
          ++index_;
          return;
        }
        if (!joined_) {
          fetch(false, false);
          continue;
        }
        part_ = Part::Added;
        index_ = -1;
        continue;
      case Part::Tail:
        if (index_ > 0) {
          --index_;
          return;
        }
        part_ = Part::Added;
        index_ = -1;
        continue;
      case Part::Added:
        if (index_ + 1 < qsizetype(added_.size())) {
          ++index_;
          return;
        }
        part_ = Part::Eof;
        return;
      case Part::Eof:
        return;
    }
  }
}

void KeyPages::backward() {
  for (;;) {
    switch (part_) {
      case Part::Eof:
        part_ = Part::Added;
        index_ = qsizetype(added_.size());
        continue;
      case Part::Added:
        if (index_ > 0) {
          --index_;
          return;
        }
        part_ = joined_ ? Part::Head : Part::Tail;
        index_ = joined_ ? qsizetype(head_.size()) : -1;
        continue;
      case Part::Tail:
        if (index_ + 1 < qsizetype(tail_.size())) {
          ++index_;
          return;
        }
        if (!joined_) {
          fetch(true, false);  // may join, which moves the position into the head
          continue;
        }
        part_ = Part::Head;  // not reached: a joined set has no tail
        index_ = qsizetype(head_.size());
        continue;
      case Part::Head:
        if (index_ > 0) {
          --index_;
          return;
        }
        part_ = Part::Bof;
        return;
      case Part::Bof:
        return;
    }
  }
}

void KeyPages::add(qint64 key) {
  seen_.insert(key);
  added_.push_back(key);
  part_ = Part::Added;
  index_ = qsizetype(added_.size()) - 1;
}

int KeyPages::count() {
  while (!joined_) fetch(false, false);
  return int(head_.size() + added_.size());
}
