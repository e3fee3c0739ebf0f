#pragma once

#include <QString>
#include <optional>

#include "store/Money.h"

class QLineEdit;
class QWidget;

// The money entry of the lot type manager: two decimals, "." as the point, "," grouping, and the
// range -9000000000 to 9000000000. Kept behind these few functions so that the shared money
// control can take its place without touching the window.
QLineEdit* makeMoneyField(QWidget* parent, const QString& objectName);

// The amount the field holds; nothing when it is empty (or holds only a sign).
std::optional<Money> moneyFieldValue(const QLineEdit* field);
// Shows an amount with two decimals and grouping ("1,234.50"); nothing empties the field.
void setMoneyFieldValue(QLineEdit* field, std::optional<Money> value);

// The field's own texts, exposed for tests.
namespace moneyfield {
inline constexpr qint64 kLimitUnits = 9000000000LL;
bool acceptable(const QString& text);  // a complete amount within the range, or empty
QString display(Money m);
}  // namespace moneyfield
