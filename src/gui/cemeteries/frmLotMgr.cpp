#include "gui/cemeteries/frmLotMgr.h"

#include <QGridLayout>
#include <QLabel>
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
      8};
  return t;
}

}  // namespace

frmLotMgr::frmLotMgr(QWidget* parent) : ManagerDialog(lotTable(), parent) {
  lblHint->setText(QStringLiteral("Double-click\nto Modify"));

  txtLotID = new QLineEdit(this);
  txtLotID->setObjectName(QStringLiteral("txtLotID"));
  txtLotID->setMaxLength(50);
  makeIdField(txtLotID);
  txtLotDesc = new QLineEdit(this);
  txtLotDesc->setObjectName(QStringLiteral("txtLotDesc"));
  txtLotDesc->setMaxLength(50);
  txtLotSize = new QLineEdit(this);
  txtLotSize->setObjectName(QStringLiteral("txtLotSize"));
  txtLotSize->setMaxLength(10);
  txtLotPrice = new MoneyEdit(this);
  txtLotPrice->setObjectName(QStringLiteral("txtLotPrice"));
  txtLotPrice->setGrouped(true);
  txtLotPrice->setPlaceholderText(QString());
  txtLotPrice->setValue(Money());

  const int digits = fontMetrics().horizontalAdvance(QStringLiteral("0,000,000,000.00")) + 16;
  txtLotID->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 12);
  txtLotSize->setMaximumWidth(digits);
  txtLotPrice->setMaximumWidth(digits);

  auto* grid = new QGridLayout;
  auto label = [this](const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text, this);
    l->setBuddy(buddy);
    return l;
  };
  grid->addWidget(label(QStringLiteral("Lot ID"), txtLotID), 0, 0);
  grid->addWidget(txtLotID, 0, 1, Qt::AlignLeft);
  grid->addWidget(label(QStringLiteral("Lot Desc"), txtLotDesc), 1, 0);
  grid->addWidget(txtLotDesc, 1, 1);
  grid->addWidget(label(QStringLiteral("Lot Size"), txtLotSize), 2, 0);
  grid->addWidget(txtLotSize, 2, 1, Qt::AlignLeft);
  grid->addWidget(label(QStringLiteral("Lot Price"), txtLotPrice), 3, 0);
  grid->addWidget(txtLotPrice, 3, 1, Qt::AlignLeft);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(4, 1);

  for (QLineEdit* e : {txtLotDesc, txtLotSize, static_cast<QLineEdit*>(txtLotPrice)}) watch(e);

  setMinimumWidth(560);
  finishLayout(grid);
}

QWidget* frmLotMgr::firstField() const { return txtLotDesc; }

bool frmLotMgr::requiredEmpty() const { return txtLotDesc->text().trimmed().isEmpty(); }

void frmLotMgr::clearFields() {
  txtLotID->clear();
  setFieldText(txtLotDesc, QString(), 50);
  setFieldText(txtLotSize, QString(), 10);
  txtLotPrice->setValue(Money());  // as when the window opened
}

void frmLotMgr::writeFields(RecordSet& rs) {
  rs.assign(QStringLiteral("lotdesc"), txtLotDesc->text());
  rs.assign(QStringLiteral("lotsize"), txtLotSize->text());
  // Exact money; an empty price is stored as no price.
  const std::optional<Money> price = txtLotPrice->amount();
  rs.assign(QStringLiteral("lotprice"), price ? Value(*price) : Value());
}

void frmLotMgr::readFields(const RecordSet& rs) {
  setFieldText(txtLotDesc, rs.field(QStringLiteral("lotdesc")).toString().trimmed(), 50);
  const Value size = rs.field(QStringLiteral("lotsize"));
  setFieldText(txtLotSize, size.isNull() ? QString() : size.toString().trimmed(), 10);
  const Value price = rs.field(QStringLiteral("lotprice"));
  txtLotPrice->setAmount(price.isNull() ? std::nullopt : std::optional<Money>(price.toMoney()));
}
