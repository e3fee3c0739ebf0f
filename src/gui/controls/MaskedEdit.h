#pragma once

#include <QLineEdit>
#include <QString>

// A text field that takes only the characters of a given set, up to a limit. Editing, the caret,
// selection and the clipboard are the ordinary line edit's; a paste holding a refused character is
// refused as a whole.
class MaskedEdit : public QLineEdit {
  Q_OBJECT
  Q_PROPERTY(QString allowedCharacters READ allowedCharacters WRITE setAllowedCharacters)
  Q_PROPERTY(int limit READ limit WRITE setLimit)
 public:
  explicit MaskedEdit(QWidget* parent = nullptr);

  // An empty set accepts every character.
  void setAllowedCharacters(const QString& chars);
  const QString& allowedCharacters() const { return allowed_; }

  // Most characters the user may type; 0 for no limit.
  void setLimit(int chars);
  int limit() const { return limit_; }
  // Shows a stored text whole, even one longer than the limit: showing a value never cuts it. The
  // user can shorten such a text but not lengthen it.
  void showText(const QString& text);

 signals:
  // The field got or lost the input focus (not counted: the window losing activation or a popup).
  void entered();
  void left();

 protected:
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  QString allowed_;
  int limit_ = 0;
};

// Whether a focus change is the user (or the program) moving between fields, rather than a
// message box or popup taking over the window for a moment.
bool isFieldFocusChange(const QFocusEvent* e);
