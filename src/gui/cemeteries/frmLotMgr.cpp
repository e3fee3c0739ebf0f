#include "gui/cemeteries/frmLotMgr.h"

#include <QLineEdit>

#include "core/store/RecordSet.h"
#include "gui/controls/MoneyEdit.h"

namespace {

const ManagerDialog::Table& lotTable() {
  static const ManagerDialog::Table t{
      QStringLiteral("frmLotMgr"),
      QStringLiteral("Lot Manager"),
      QStringLiteral("select * from lots order by lotdesc"),
      QStringLiteral("lotdesc"),
      QStringLiteral("lotID"),
      QStringLiteral("select * from lots where lotid="),
      QStringLiteral("select * from zel where lotid="),
      QStringLiteral("delete from lots where lotid="),
      QStringLiteral("You cannot save a lot with no description."),
      QStringLiteral(
          "You cannot delete the lot type you selected because graves have been assigned to it. You "
          "must first change or remove the graves associated with this lot type before deletion."),
      QStringLiteral("Do you want to delete the following lot type?"),
      8,
      QStringLiteral("lots"),
      QStringLiteral("History of Lot Types")};
  return t;
}

}  // namespace

frmLotMgr::frmLotMgr(QWidget* parent) : ManagerDialog(lotTable(), parent) {
  ui().lblHint->setText(QStringLiteral("Double-click\nto Modify"));
  fields_.setupUi(fieldsArea());
  makeIdField(fields_.txtLotID);
  fields_.txtLotPrice->setGrouped(true);
  fields_.txtLotPrice->setPlaceholderText(QString());
  fields_.txtLotPrice->setValue(Money());

  const int digits = fontMetrics().horizontalAdvance(QStringLiteral("0,000,000,000.00")) + 16;
  fields_.txtLotID->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 12);
  fields_.txtLotSize->setMaximumWidth(digits);
  fields_.txtLotPrice->setMaximumWidth(digits);

  for (QLineEdit* e : {fields_.txtLotDesc, fields_.txtLotSize, static_cast<QLineEdit*>(fields_.txtLotPrice)})
    watch(e);

  setMinimumWidth(560);
  finish();
}

QWidget* frmLotMgr::firstField() const { return fields_.txtLotDesc; }

bool frmLotMgr::requiredEmpty() const { return fields_.txtLotDesc->text().trimmed().isEmpty(); }

void frmLotMgr::clearFields() {
  fields_.txtLotID->clear();
  setFieldText(fields_.txtLotDesc, QString(), 50);
  setFieldText(fields_.txtLotSize, QString(), 10);
  fields_.txtLotPrice->setValue(Money());  // as when the window opened
}

void frmLotMgr::writeFields(RecordSet& rs) {
  rs.assign(QStringLiteral("lotdesc"), fields_.txtLotDesc->text());
  rs.assign(QStringLiteral("lotsize"), fields_.txtLotSize->text());
  // Exact money; an empty price is stored as no price.
  const std::optional<Money> price = fields_.txtLotPrice->amount();
  rs.assign(QStringLiteral("lotprice"), price ? Value(*price) : Value());
}

void frmLotMgr::readFields(const RecordSet& rs) {
  setFieldText(fields_.txtLotDesc, rs.field(QStringLiteral("lotdesc")).toString().trimmed(), 50);
  const Value size = rs.field(QStringLiteral("lotsize"));
  setFieldText(fields_.txtLotSize, size.isNull() ? QString() : size.toString().trimmed(), 10);
  const Value price = rs.field(QStringLiteral("lotprice"));
  fields_.txtLotPrice->setAmount(price.isNull() ? std::nullopt : std::optional<Money>(price.toMoney()));
}
