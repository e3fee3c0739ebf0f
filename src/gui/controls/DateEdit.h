#pragma once

#include <QDate>
#include <QLineEdit>
#include <QString>

// A date field shown in the record form's pattern ("mm-dd-yyyy" or "dd-mm-yyyy"). It takes digits
// and the separators "-", "/" and "."; eight digits typed without separators are read as the
// pattern's parts. Left holding something that is not a valid date, it puts back what it held
// before the edit and says so through invalidDate(): a half-typed date never replaces a good one.
class DateEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit DateEdit(QWidget* parent = nullptr);

  void setDisplayFormat(const QString& pattern);
  const QString& displayFormat() const { return format_; }

  // The typed date, or an invalid QDate when the text is empty or not a date.
  QDate date() const;
  bool hasValidDate() const { return date().isValid(); }
  // Empty, or a valid date.
  bool holdsDateOrNothing() const { return text().trimmed().isEmpty() || hasValidDate(); }
  // Shows a date in the pattern; an invalid date empties the field.
  void setDate(const QDate& d);
  // Puts back what the field held when the current edit began (for a window refusing the date
  // just left, from its left() handler).
  void revert() { setText(before_); }

 signals:
  void entered();
  void left();
  // Left with content that is not a valid date, now replaced by the earlier one (raised before
  // left()).
  void invalidDate();

 protected:
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  QString format_ = QStringLiteral("mm-dd-yyyy");
  QString before_;  // the content when the edit began
};
