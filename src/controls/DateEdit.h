#pragma once

#include <QDate>
#include <QLineEdit>
#include <QString>

// A date field shown in the record form's pattern ("mm-dd-yyyy" or "dd-mm-yyyy"). It takes digits
// and the separators "-", "/" and "."; when it is left holding something that is not a valid date
// it says so through invalidDate(), and it is left with what was typed (the window decides).
// Eight digits typed without separators are read as the pattern's parts.
class DateEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit DateEdit(QWidget* parent = nullptr);

  void setDisplayFormat(const QString& pattern);
  const QString& displayFormat() const { return format_; }

  // The typed date, or an invalid QDate when the text is empty or not a date.
  QDate date() const;
  bool hasValidDate() const { return date().isValid(); }
  // Shows a date in the pattern; an invalid date empties the field.
  void setDate(const QDate& d);

 signals:
  void entered();
  void left();
  // Left with content that is not a valid date (raised before left()).
  void invalidDate();

 protected:
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  QString format_ = QStringLiteral("mm-dd-yyyy");
};
