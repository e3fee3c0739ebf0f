#include "controls/MaskedEdit.h"

#include <QFocusEvent>
#include <QValidator>

namespace {

class CharSetValidator : public QValidator {
 public:
  CharSetValidator(const QString* allowed, QObject* parent) : QValidator(parent), allowed_(allowed) {}
  State validate(QString& input, int&) const override {
    if (allowed_->isEmpty()) return Acceptable;
    for (QChar c : input)
      if (!allowed_->contains(c)) return Invalid;
    return Acceptable;
  }

 private:
  const QString* allowed_;
};

}  // namespace

bool isFieldFocusChange(const QFocusEvent* e) {
  return e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason;
}

MaskedEdit::MaskedEdit(QWidget* parent) : QLineEdit(parent) {
  setValidator(new CharSetValidator(&allowed_, this));
}

void MaskedEdit::setAllowedCharacters(const QString& chars) { allowed_ = chars; }

void MaskedEdit::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  if (isFieldFocusChange(e)) emit entered();
}

void MaskedEdit::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  if (isFieldFocusChange(e)) emit left();
}
