#pragma once

#include <QLineEdit>
#include <QString>

// A text field that takes only the characters of a given set, up to a maximum length. Editing,
// the caret, selection and the clipboard are the ordinary line edit's; a paste holding a refused
// character is refused as a whole.
class MaskedEdit : public QLineEdit {
  Q_OBJECT
  Q_PROPERTY(QString allowedCharacters READ allowedCharacters WRITE setAllowedCharacters)
 public:
  explicit MaskedEdit(QWidget* parent = nullptr);

  // An empty set accepts every character.
  void setAllowedCharacters(const QString& chars);
  const QString& allowedCharacters() const { return allowed_; }

 signals:
  // The field got or lost the input focus (not counted: the window losing activation or a popup).
  void entered();
  void left();

 protected:
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  QString allowed_;
};

// Whether a focus change is the user (or the program) moving between fields, rather than a
// message box or popup taking over the window for a moment.
bool isFieldFocusChange(const QFocusEvent* e);
