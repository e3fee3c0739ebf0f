#include "cemeteries/MoneyField.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QValidator>

namespace {

const QRegularExpression& shape() {
  // Sign, digits with optional grouping commas, at most two decimals.
  static const QRegularExpression re(QStringLiteral("^-?[0-9,]*(\\.[0-9]{0,2})?$"));
  return re;
}

bool inRange(Money m) {
  const Money limit = Money::fromUnits(moneyfield::kLimitUnits);
  return m <= limit && m >= Money() - limit;
}

class MoneyValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    if (!shape().match(input).hasMatch()) return Invalid;
    auto m = Money::parse(input);
    if (!m) return Intermediate;  // "", "-", "." while typing
    return inRange(*m) ? Acceptable : Invalid;
  }
};

}  // namespace

namespace moneyfield {

bool acceptable(const QString& text) {
  if (text.trimmed().isEmpty()) return true;
  if (!shape().match(text).hasMatch()) return false;
  auto m = Money::parse(text);
  return m && inRange(*m);
}

QString display(Money m) { return m.toDisplayString(); }

}  // namespace moneyfield

QLineEdit* makeMoneyField(QWidget* parent, const QString& objectName) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(objectName);
  e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  e->setValidator(new MoneyValidator(e));
  e->setText(QStringLiteral("0.00"));
  // Typed amounts are shown in the field's own format once the user leaves it.
  QObject::connect(e, &QLineEdit::editingFinished, e, [e] {
    if (auto m = Money::parse(e->text())) {
      const QString t = moneyfield::display(*m);
      if (t != e->text()) e->setText(t);
    }
  });
  return e;
}

std::optional<Money> moneyFieldValue(const QLineEdit* field) { return Money::parse(field->text()); }

void setMoneyFieldValue(QLineEdit* field, std::optional<Money> value) {
  field->setText(value ? moneyfield::display(*value) : QString());
}
