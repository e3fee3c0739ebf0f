#pragma once

#include <QLineEdit>
#include <optional>

#include "core/store/Money.h"
#include "core/store/RecordFields.h"

// A money field: two decimals, from -9000000000 to 9000000000. Empty counts as 0 (value()) or as
// no amount (amount()). A grouped field also takes and shows "," between thousands.
class MoneyEdit : public QLineEdit {
  Q_OBJECT
 public:
  static constexpr qint64 kLimit = RecordFields::kMoneyLimit;

  explicit MoneyEdit(QWidget* parent = nullptr);

  Money value() const;
  std::optional<Money> amount() const;  // nothing when empty (or only a sign or point)
  void setValue(const Money& m);
  void setAmount(std::optional<Money> m);  // nothing empties the field

  void setGrouped(bool grouped);
  bool grouped() const { return grouped_; }
  // The text a field shows for an amount.
  QString display(const Money& m) const;

 protected:
  void focusOutEvent(QFocusEvent* e) override;

 private:
  bool grouped_ = false;
};
