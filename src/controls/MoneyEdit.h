#pragma once

#include <QLineEdit>

#include "store/Money.h"

// A money field: two decimals, from -9000000000 to 9000000000. Empty counts as 0.
class MoneyEdit : public QLineEdit {
  Q_OBJECT
 public:
  static constexpr qint64 kLimit = 9000000000LL;

  explicit MoneyEdit(QWidget* parent = nullptr);

  Money value() const;
  void setValue(const Money& m);

 protected:
  void focusOutEvent(QFocusEvent* e) override;
};
