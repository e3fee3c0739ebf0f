#include "gui/controls/DateEdit.h"

#include <QFocusEvent>
#include <QRegularExpressionValidator>

#include "core/store/DateValue.h"
#include "gui/controls/MaskedEdit.h"

DateEdit::DateEdit(QWidget* parent) : QLineEdit(parent) {
  setMaxLength(10);
  setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9/.\\-]*")), this));
  setPlaceholderText(format_);
}

void DateEdit::setDisplayFormat(const QString& pattern) {
  if (pattern.isEmpty()) return;
  const QDate d = date();
  format_ = pattern;
  setPlaceholderText(format_);
  if (d.isValid()) setDate(d);
}

QDate DateEdit::date() const {
  const QString t = text().trimmed();
  if (t.size() == 8 && !t.contains(QRegularExpression(QStringLiteral("\\D")))) {
    const QString joined = t.left(2) + u'-' + t.mid(2, 2) + u'-' + t.mid(4);
    return DateValue::parseDisplay(joined, format_);
  }
  return DateValue::parseDisplay(t, format_);
}

void DateEdit::setDate(const QDate& d) {
  setText(d.isValid() ? DateValue::formatDisplay(d, format_) : QString());
}

void DateEdit::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  if (!isFieldFocusChange(e)) return;
  // Coming back to a refused entry keeps the good value from before it.
  if (holdsDateOrNothing()) before_ = text();
  emit entered();
}

void DateEdit::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  if (!isFieldFocusChange(e)) return;
  const QDate d = date();
  if (d.isValid()) {
    // Show a valid entry in the pattern's own form (two-digit day and month).
    const QString shown = DateValue::formatDisplay(d, format_);
    if (shown != text()) setText(shown);
  } else if (!text().trimmed().isEmpty()) {
    setText(before_);
    emit invalidDate();
  }
  emit left();
  if (holdsDateOrNothing()) before_ = text();
}
