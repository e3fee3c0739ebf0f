// The SQL dialect: any text translates without harm; a text quoted for SQL is never touched, and a
// #date# literal, whatever stands between its marks, becomes one SQL string literal that cannot end
// early. The server's translation of any text is harmless and leaves quoted texts alone.
#include "core/store/Dialect.h"

#include "FuzzTarget.h"

namespace {

// The length of the SQL string literal at the start of s (quotes doubled inside), or -1.
qsizetype literalLength(const QString& s) {
  if (!s.startsWith(u'\'')) return -1;
  for (qsizetype i = 1; i < s.size(); ++i) {
    if (s[i] != u'\'') continue;
    if (i + 1 < s.size() && s[i + 1] == u'\'') {
      ++i;
      continue;
    }
    return i + 1;
  }
  return -1;
}

}  // namespace

ZEL_FUZZ_TARGET(dialect) {
  Fuzz::Input in{data, size};
  const uint8_t choice = in.byte();
  const QString fmt = (choice & 1) ? QStringLiteral("dd-mm-yyyy") : QStringLiteral("mm-dd-yyyy");
  const QString text = QString::fromUtf8(in.rest());

  const QString sql = Dialect::translate(text, fmt);
  if (!text.contains(u'#') && !text.contains(QStringLiteral("top"), Qt::CaseInsensitive))
    Fuzz::require(sql == text, "a text without dates or top is left as it is");

  const QString quoted = QStringLiteral("select * from zel where remarks='") + Dialect::sqlQuote(text) +
                         QStringLiteral("' order by recid");
  Fuzz::require(Dialect::translate(quoted, fmt) == quoted, "a quoted text is never changed");
  // The server's translation of any text is harmless too, and leaves a quoted text as it is.
  (void)Dialect::translateForServer(text, fmt);
  Fuzz::require(Dialect::translateForServer(quoted, fmt) ==
                    QStringLiteral("select * from zel where remarks='") + Dialect::sqlQuote(text) +
                        QStringLiteral("' order by recid nulls first"),
                "the server's translation never changes a quoted text");

  if (!text.contains(u'#')) {
    const QString prefix = QStringLiteral("select * from zel where interdate=");
    const QString date = Dialect::translate(prefix + u'#' + text + QStringLiteral("# and lot='1'"), fmt);
    Fuzz::require(date.startsWith(prefix), "what stands before a date literal stays");
    const QString rest = date.mid(prefix.size());
    const qsizetype n = literalLength(rest);
    Fuzz::require(n > 0 && rest.mid(n) == QStringLiteral(" and lot='1'"),
                  "a date literal becomes exactly one SQL string literal");
  }
  return 0;
}
