#include "gui/controls/MoneyEdit.h"

#include <QFocusEvent>
#include <QRegularExpression>
#include <QValidator>

#include "gui/controls/MaskedEdit.h"

namespace {

bool noAmount(const QString& t) { return t.isEmpty() || t == u'-' || t == u'.' || t == QLatin1String("-."); }

class MoneyValidator : public QValidator {
 public:
  explicit MoneyValidator(MoneyEdit* field) : QValidator(field), field_(field) {}
  State validate(QString& input, int&) const override {
    static const QRegularExpression plain(QStringLiteral("^-?\\d*(\\.\\d{0,2})?$"));
    static const QRegularExpression grouped(QStringLiteral("^-?[\\d,]*(\\.\\d{0,2})?$"));
    const QString t = input.trimmed();
    if (!(field_->grouped() ? grouped : plain).match(t).hasMatch()) return Invalid;
    if (noAmount(t)) return Intermediate;
    auto m = Money::parse(t);
    if (!m) return field_->grouped() ? Intermediate : Invalid;  // "1," while typing
    const Money limit = Money::fromUnits(MoneyEdit::kLimit);
    if (*m > limit || *m < Money() - limit) return Invalid;
    return Acceptable;
  }

 private:
  MoneyEdit* field_;
};

}  // namespace

MoneyEdit::MoneyEdit(QWidget* parent) : QLineEdit(parent) {
  setValidator(new MoneyValidator(this));
  setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  setPlaceholderText(QStringLiteral("0.00"));
}

Money MoneyEdit::value() const { return amount().value_or(Money()); }

std::optional<Money> MoneyEdit::amount() const {
  const QString t = text().trimmed();
  if (noAmount(t)) return std::nullopt;
  return Money::parse(t);
}

QString MoneyEdit::display(const Money& m) const { return grouped_ ? m.toDisplayString() : m.toString(2); }

void MoneyEdit::setValue(const Money& m) { setText(display(m)); }

void MoneyEdit::setAmount(std::optional<Money> m) {
  if (m)
    setValue(*m);
  else
    clear();
}

void MoneyEdit::setGrouped(bool grouped) {
  grouped_ = grouped;
  if (auto m = amount()) setValue(*m);
}

void MoneyEdit::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  if (!isFieldFocusChange(e)) return;
  // Show what was typed in the field's own format.
  const std::optional<Money> m = amount();
  if (!m) {
    if (!text().isEmpty()) clear();
    return;
  }
  const QString shown = display(*m);
  if (shown != text()) setText(shown);
}
