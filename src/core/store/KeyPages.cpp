#include "core/store/KeyPages.h"

#include <QRegularExpression>
#include <algorithm>
#include <utility>

#include "core/store/Connection.h"

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

}  // namespace

std::unique_ptr<KeyPages> KeyPages::whole(std::vector<qint64> keys) {
  std::unique_ptr<KeyPages> p(new KeyPages);
  p->head_ = std::move(keys);
  return p;
}

std::unique_ptr<KeyPages> KeyPages::paged(Connection* cn, const QString& table, const QString& key,
                                          const QString& tail, const QString& firstRow) {
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
  p->firstColumns_ = firstRow;
  if (!p->fetch(false, true)) return nullptr;
  return p;
}

// The condition "comes after the bound row" in the set's order, or in the reverse order, with a
// "?" for each of the bound's values, whose values are added to params in the order they stand.
// Nulls sort first, as the file sorts them (the server's translation orders them so too).
QString KeyPages::after(const std::vector<Bound>& bound, bool reverse,
                        std::vector<const Bound*>& params) const {
  const size_t n = terms_.size() + 1;
  const auto expr = [&](size_t i) {
    return i == terms_.size() ? QStringLiteral("\"%1\"").arg(key_) : u'(' + terms_[i].expr + u')';
  };
  const auto down = [&](size_t i) { return (i < terms_.size() && terms_[i].desc) != reverse; };
  const auto isNull = [&](size_t i) { return bound[i].type == ColumnType::Null; };
  QString out;
  if (!down(0) && !isNull(0)) {
    out = expr(0) + QStringLiteral(">=? and ");  // a range to seek
    params.push_back(&bound[0]);
  }
  QStringList ways;
  for (size_t i = 0; i < n; ++i) {
    // Going down, nothing comes after a Null: the Nulls are last that way.
    if (down(i) && isNull(i)) continue;
    QStringList all;
    for (size_t j = 0; j < i; ++j) {
      all << (isNull(j) ? expr(j) + QStringLiteral(" is null") : expr(j) + QStringLiteral("=?"));
      if (!isNull(j)) params.push_back(&bound[j]);
    }
    if (!down(i)) {
      all << (isNull(i) ? expr(i) + QStringLiteral(" is not null") : expr(i) + QStringLiteral(">?"));
    } else {
      all << QStringLiteral("(%1<? or %1 is null)").arg(expr(i));
    }
    if (!isNull(i)) params.push_back(&bound[i]);
    ways << all.join(QStringLiteral(" and "));
  }
  if (ways.isEmpty()) return QStringLiteral("1=0");
  return out + u'(' + ways.join(QStringLiteral(" or ")) + u')';
}

bool KeyPages::fetch(bool fromEnd, bool probe) {
  // The rows between both ends' bounds: the part not read yet.
  const int width = int(terms_.size()) + 1;
  std::vector<const Bound*> params;
  QStringList where;
  if (!where_.isEmpty()) where << u'(' + where_ + u')';
  if (!headBound_.empty()) where << after(headBound_, false, params);
  if (!tailBound_.empty()) where << after(tailBound_, true, params);
  QStringList columns{QStringLiteral("\"%1\"").arg(key_)}, order;
  for (const Term& t : terms_) {
    columns << t.expr;
    order << t.expr + ((t.desc != fromEnd) ? QStringLiteral(" desc") : QStringLiteral(" asc"));
  }
  order << QStringLiteral("\"%1\"").arg(key_) + (fromEnd ? QStringLiteral(" desc") : QStringLiteral(" asc"));
  int& page = fromEnd ? tailPage_ : headPage_;
  const QString from =
      QStringLiteral(" from \"%1\"%2 order by %3 limit ")
          .arg(table_,
               where.isEmpty() ? QString() : QStringLiteral(" where ") + where.join(QStringLiteral(" and ")),
               order.join(u','));
  const QString sql = QStringLiteral("select ") + columns.join(u',') + from + QString::number(page);
  // The first row's columns only with the first page from the start, which has no bounds yet.
  const QString firstRow = !fromEnd && params.empty() ? std::exchange(firstColumns_, QString()) : QString();
  Engine& engine = cn_->engine();
  // A failed statement spoils the server's transaction: a probe inside one runs under a savepoint.
  const bool savepoint = probe && engine.kind() == Engine::Kind::Server && engine.inTransaction();
  if (savepoint) engine.execute(QStringLiteral("savepoint zel_pages"));
  std::vector<qint64>& keys = fromEnd ? tail_ : head_;
  std::vector<Bound>& bound = fromEnd ? tailBound_ : headBound_;
  std::vector<qint64> read;
  std::vector<Bound> last;
  int rows = 0;
  try {
    // The tail is in the file's dialect already; the server's own translation comes on top.
    const auto text = [&](const QString& s) {
      return (engine.kind() == Engine::Kind::Server ? cn_->translate(s) : s).toUtf8();
    };
    const std::unique_ptr<EngineStatement> st = engine.prepare(text(sql));
    for (size_t i = 0; i < params.size(); ++i) {
      const Bound& b = *params[i];
      const int pos = int(i) + 1;
      switch (b.type) {
        case ColumnType::Integer:
          st->bindInt(pos, b.integer);
          break;
        case ColumnType::Real:
          st->bindReal(pos, b.real);
          break;
        case ColumnType::Text:
          st->bindText(pos, b.bytes, true);
          break;
        case ColumnType::Blob:
          st->bindBlob(pos, b.bytes, true);
          break;
        case ColumnType::Null:
          st->bindNull(pos);
          break;
      }
    }
    std::unique_ptr<EngineStatement> first;
    if (!firstRow.isEmpty()) {
      first = engine.prepare(text(QStringLiteral("select ") + firstRow + from + u'1'));
      engine.runTogether({st.get(), first.get()});
    }
    ++pagesRead_;
    if (first && first->step()) firstRow_ = std::move(first);
    while (st->step()) {
      read.push_back(st->int64(0));
      if (++rows == page) {
        for (int i = 1; i <= width; ++i) {
          const int col = i % width;
          Bound b;
          b.type = st->type(col);
          if (b.type == ColumnType::Integer) b.integer = st->int64(col);
          if (b.type == ColumnType::Real) b.real = st->real(col);
          if (b.type == ColumnType::Text) b.bytes = st->text(col).toByteArray();
          if (b.type == ColumnType::Blob) b.bytes = st->blob(col).toByteArray();
          last.push_back(std::move(b));
        }
      }
    }
  } catch (const DbError&) {
    if (savepoint)
      engine.execute(QStringLiteral("rollback to savepoint zel_pages; release savepoint zel_pages"));
    if (probe) return false;
    throw;
  }
  if (savepoint) engine.execute(QStringLiteral("release savepoint zel_pages"));
  for (const qint64 k : read)
    if (!seen_.contains(k)) {
      seen_.insert(k);
      keys.push_back(k);
    }
  if (!last.empty()) bound = std::move(last);
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
  headBound_.clear();
  tailBound_.clear();
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
