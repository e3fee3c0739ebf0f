#include "core/store/Dialect.h"

#include <QRegularExpression>

#include "core/store/DateValue.h"

namespace Dialect {

namespace {

// A #...# literal: the text between the marks, read as a date in the display order.
QString dateLiteral(const QString& inner, const QString& fmt) {
  bool hasTime = false;
  QDateTime iso = DateValue::fromIso(inner, &hasTime);
  if (iso.isValid()) return u'\'' + DateValue::toIso(iso, hasTime) + u'\'';
  QString t = inner.trimmed();
  QString timePart;
  int sp = t.indexOf(u' ');
  if (sp > 0) {
    timePart = t.mid(sp + 1).trimmed();
    t = t.left(sp);
  }
  QDate d = DateValue::parseDisplay(t, fmt);
  if (!d.isValid()) {
    // Two-digit years are read as 19xx/20xx like the old engine did (window 1930-2029).
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2})[-/.](\\d{1,2})[-/.](\\d{2})$"));
    auto m = re.match(t);
    if (m.hasMatch()) {
      int y = m.captured(3).toInt();
      y += y < 30 ? 2000 : 1900;
      int a = m.captured(1).toInt(), b = m.captured(2).toInt();
      d = DateValue::isDayFirst(fmt) ? QDate(y, b, a) : QDate(y, a, b);
    }
  }
  if (!d.isValid()) return u'\'' + sqlQuote(inner) + u'\'';  // compares as text and matches nothing
  if (!timePart.isEmpty()) {
    QTime tm = QTime::fromString(timePart, QStringLiteral("H:mm:ss"));
    if (!tm.isValid()) tm = QTime::fromString(timePart, QStringLiteral("H:mm"));
    if (tm.isValid()) return u'\'' + DateValue::toIso(QDateTime(d, tm), true) + u'\'';
  }
  return u'\'' + DateValue::toIso(d) + u'\'';
}

}  // namespace

QString translate(const QString& sql, const QString& fmt) {
  QString out;
  out.reserve(sql.size() + 16);
  const int n = int(sql.size());
  for (int i = 0; i < n;) {
    QChar c = sql[i];
    if (c == u'\'') {
      int j = i + 1;
      while (j < n) {
        if (sql[j] == u'\'') {
          if (j + 1 < n && sql[j + 1] == u'\'') {
            j += 2;
            continue;
          }
          break;
        }
        ++j;
      }
      out += sql.mid(i, std::min(j + 1, n) - i);
      i = j + 1;
    } else if (c == u'#') {
      int j = int(sql.indexOf(u'#', i + 1));
      if (j < 0) {
        out += sql.mid(i);
        break;
      }
      out += dateLiteral(sql.mid(i + 1, j - i - 1), fmt);
      i = j + 1;
    } else {
      out += c;
      ++i;
    }
  }

  static const QRegularExpression top(QStringLiteral("^(\\s*select\\s+(?:distinct\\s+)?)top\\s+(\\d+)\\s+"),
                                      QRegularExpression::CaseInsensitiveOption);
  auto m = top.match(out);
  if (m.hasMatch()) {
    QString rest = out.mid(m.capturedEnd(0));
    while (!rest.isEmpty() && (rest.back().isSpace() || rest.back() == u';')) rest.chop(1);
    out = m.captured(1) + rest + QStringLiteral(" limit ") + m.captured(2);
  }
  return out;
}

QString sqlQuote(const QString& text) {
  QString s = text;
  s.replace(u'\'', QStringLiteral("''"));
  return s;
}

}  // namespace Dialect

namespace Dialect {

namespace {

struct Token {
  enum Kind { Space, Word, Text, Other } kind;
  QString text;
  bool is(const char* word) const {
    return kind == Word && text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
  }
};

std::vector<Token> tokens(const QString& sql) {
  std::vector<Token> out;
  const qsizetype n = sql.size();
  for (qsizetype i = 0; i < n;) {
    const QChar c = sql[i];
    qsizetype j = i + 1;
    Token::Kind kind = Token::Other;
    if (c == u'\'' || c == u'"') {
      kind = c == u'\'' ? Token::Text : Token::Word;
      for (; j < n; ++j) {
        if (sql[j] != c) continue;
        if (j + 1 < n && sql[j + 1] == c) {
          ++j;
          continue;
        }
        break;
      }
      j = std::min(j + 1, n);
    } else if (c.isSpace()) {
      kind = Token::Space;
      while (j < n && sql[j].isSpace()) ++j;
    } else if (c.isLetterOrNumber() || c == u'_') {
      kind = Token::Word;
      while (j < n && (sql[j].isLetterOrNumber() || sql[j] == u'_' || sql[j] == u'.')) ++j;
    }
    out.push_back({kind, sql.mid(i, j - i)});
    i = j;
  }
  return out;
}

// The next token that is not blank, from i on; the size when none.
size_t nextSolid(const std::vector<Token>& t, size_t i) {
  while (i < t.size() && t[i].kind == Token::Space) ++i;
  return i;
}

}  // namespace

QString translateForServer(const QString& sql, const QString& fmt) {
  std::vector<Token> t = tokens(translate(sql, fmt));
  // Where an ORDER BY item ends, and whether the items are descending.
  struct Clause {
    int depth;
    bool desc = false;
    bool nulls = false;
  };
  std::vector<Clause> clauses;
  // Per open parenthesis: whether it holds a select read FROM, which the server wants named.
  std::vector<bool> fromSelect;
  int subqueries = 0;
  // group_concat(x[, separator]) is string_agg((x)::text, separator) there, at the depth of its
  // parenthesis, with whether its separator has been reached.
  struct Aggregate {
    int depth;
    bool separator = false;
  };
  std::vector<Aggregate> aggregates;
  bool aggregateOpens = false;
  QString out;
  int depth = 0;
  const auto previousWord = [&](size_t i) {
    while (i > 0 && t[i - 1].kind == Token::Space) --i;
    return i > 0 ? t[i - 1] : Token{Token::Space, {}};
  };
  const auto endItem = [&](Clause& c) {
    if (!c.nulls) out += c.desc ? QStringLiteral(" nulls last") : QStringLiteral(" nulls first");
    c.desc = c.nulls = false;
  };
  for (size_t i = 0; i < t.size(); ++i) {
    const Token& tok = t[i];
    // The end of an ORDER BY clause: its level closes, a LIMIT, the statement's end.
    const bool closes = tok.text == u")" || tok.text == u";" || tok.is("limit") || tok.is("offset");
    if (!clauses.empty() && clauses.back().depth == depth && (closes || tok.text == u",")) {
      // Blanks before the end stay after the words added.
      QString blanks;
      while (!out.isEmpty() && out.back().isSpace()) {
        blanks.prepend(out.back());
        out.chop(1);
      }
      endItem(clauses.back());
      out += blanks;
      if (closes) clauses.pop_back();
    }
    if (tok.text == u"(") {
      ++depth;
      const size_t k = nextSolid(t, i + 1);
      const Token before = previousWord(i);
      fromSelect.push_back((before.is("from") || before.is("join")) && k < t.size() && t[k].is("select"));
      if (aggregateOpens) {
        aggregateOpens = false;
        aggregates.push_back({depth});
        out += QStringLiteral("((");
        continue;
      }
    }
    if (!aggregates.empty() && aggregates.back().depth == depth && tok.text == u"," &&
        !aggregates.back().separator) {
      aggregates.back().separator = true;
      out += QStringLiteral(")::text,");
      continue;
    }
    if (tok.text == u")" && !aggregates.empty() && aggregates.back().depth == depth) {
      out += aggregates.back().separator ? QString() : QStringLiteral(")::text, ','");
      aggregates.pop_back();
    }
    if (tok.is("group_concat") && nextSolid(t, i + 1) < t.size() && t[nextSolid(t, i + 1)].text == u"(") {
      aggregateOpens = true;
      out += QStringLiteral("string_agg");
      continue;
    }
    if (tok.text == u")") {
      --depth;
      const bool named = !fromSelect.empty() && fromSelect.back();
      if (!fromSelect.empty()) fromSelect.pop_back();
      const size_t k = nextSolid(t, i + 1);
      static const char* const kFollowing[] = {"where", "order", "group", "limit", "offset", "join",
                                               "left",  "inner", "cross", "on",    "union",  "having"};
      bool bare = k >= t.size() || t[k].kind != Token::Word;
      for (const char* w : kFollowing) bare = bare || t[k].is(w);
      if (named && bare) {
        out += tok.text + QStringLiteral(" as zel_from%1").arg(++subqueries);
        continue;
      }
    }
    if (!clauses.empty() && clauses.back().depth == depth) {
      if (tok.is("desc")) clauses.back().desc = true;
      if (tok.is("nulls")) clauses.back().nulls = true;
    }
    if (tok.is("collate")) {
      const size_t k = nextSolid(t, i + 1);
      if (k < t.size() && t[k].is("nocase")) {
        i = k;
        continue;
      }
    }
    if (tok.is("order")) {
      const size_t k = nextSolid(t, i + 1);
      if (k < t.size() && t[k].is("by")) {
        for (; i <= k; ++i) out += t[i].text;
        --i;
        clauses.push_back({depth});
        continue;
      }
    }
    if (tok.is("like")) {
      const size_t k = nextSolid(t, i + 1);
      const size_t after = nextSolid(t, k + 1);
      if (k < t.size() && t[k].kind == Token::Text && !(after < t.size() && t[after].is("escape"))) {
        for (; i < k; ++i) out += t[i].text;
        QString pattern = t[k].text;
        pattern.replace(u'\\', QStringLiteral("\\\\"));
        out += pattern;
        continue;
      }
    }
    out += tok.text;
  }
  while (!clauses.empty()) {
    endItem(clauses.back());
    clauses.pop_back();
  }
  return out;
}

}  // namespace Dialect
