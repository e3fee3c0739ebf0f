#include "controls/MoneyEdit.h"

#include <QFocusEvent>
#include <QRegularExpression>
#include <QValidator>

#include "controls/MaskedEdit.h"

namespace {

class MoneyValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    static const QRegularExpression re(QStringLiteral("^-?\\d*(\\.\\d{0,2})?$"));
    const QString t = input.trimmed();
    if (!re.match(t).hasMatch()) return Invalid;
    if (t.isEmpty() || t == u'-' || t == u'.' || t == QLatin1String("-.")) return Intermediate;
    auto m = Money::parse(t);
    if (!m) return Invalid;
    const Money limit = Money::fromUnits(MoneyEdit::kLimit);
    if (*m > limit || *m < Money() - limit) return Invalid;
    return Acceptable;
  }
};

}  // namespace

MoneyEdit::MoneyEdit(QWidget* parent) : QLineEdit(parent) {
  setValidator(new MoneyValidator(this));
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  setPlaceholderText(QStringLiteral("0.00"));
}

Money MoneyEdit::value() const { return Money::parse(text().trimmed()).value_or(Money()); }

void MoneyEdit::setValue(const Money& m) { setText(m.toString(2)); }

void MoneyEdit::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  if (!isFieldFocusChange(e)) return;
  // Show what was typed with its two decimals.
  const QString t = text().trimmed();
  if (t.isEmpty() || t == u'-' || t == u'.' || t == QLatin1String("-.")) {
    if (!text().isEmpty()) clear();
    return;
  }
  const QString shown = value().toString(2);
  if (shown != text()) setText(shown);
}
