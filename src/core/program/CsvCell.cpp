#include "core/program/CsvCell.h"

namespace CsvCell {

namespace {

bool isFormulaStart(QChar c) {
  return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
}

// An amount or a number: a sign, digits and separators, at least one digit.
bool isNumber(QStringView t) {
  qsizetype i = t.startsWith(u'-') || t.startsWith(u'+') ? 1 : 0;
  bool digit = false;
  for (; i < t.size(); ++i) {
    if (t[i] >= u'0' && t[i] <= u'9')
      digit = true;
    else if (t[i] != u'.' && t[i] != u',')
      return false;
  }
  return digit;
}

}  // namespace

bool needsGuard(QStringView text) {
  qsizetype i = 0;
  while (i < text.size() && text[i] == u'\'') ++i;
  const QStringView rest = text.mid(i);
  return !rest.isEmpty() && isFormulaStart(rest.front()) && !isNumber(rest);
}

QString guard(const QString& text) { return needsGuard(text) ? u'\'' + text : text; }

QString unguard(const QString& text) {
  return text.startsWith(u'\'') && needsGuard(QStringView(text).mid(1)) ? text.mid(1) : text;
}

}  // namespace CsvCell
