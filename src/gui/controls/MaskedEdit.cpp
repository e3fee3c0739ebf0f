#include "gui/controls/MaskedEdit.h"

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

constexpr int kNoLimit = 32767;  // the line edit's own largest length

}  // namespace

bool isFieldFocusChange(const QFocusEvent* e) {
  return e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason;
}

MaskedEdit::MaskedEdit(QWidget* parent) : QLineEdit(parent) {
  setValidator(new CharSetValidator(&allowed_, this));
  // Once a long stored text is short enough, the limit holds again.
  connect(this, &QLineEdit::textEdited, this, [this](const QString& t) {
    if (limit_ > 0 && maxLength() > limit_ && t.size() <= limit_) setMaxLength(limit_);
  });
}

void MaskedEdit::setAllowedCharacters(const QString& chars) { allowed_ = chars; }

void MaskedEdit::setLimit(int chars) {
  limit_ = chars;
  setMaxLength(chars > 0 ? std::max(chars, int(text().size())) : kNoLimit);
}

void MaskedEdit::showText(const QString& text) {
  if (limit_ > 0) setMaxLength(std::max(limit_, int(text.size())));
  setText(text);
}

void MaskedEdit::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  if (isFieldFocusChange(e)) emit entered();
}

void MaskedEdit::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  if (isFieldFocusChange(e)) emit left();
}
