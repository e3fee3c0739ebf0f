#include "gui/cemeteries/frmCemeteryMgr.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "core/store/RecordSet.h"

namespace {

constexpr int kRemarksLimit = 255;

const ManagerDialog::Table& cemeteryTable() {
  static const ManagerDialog::Table t{
      QStringLiteral("frmCemeteryMgr"),
      QStringLiteral("Cemetery Manager"),
      QStringLiteral("select * from cemetery order by name"),
      QStringLiteral("Name"),
      QStringLiteral("CemeteryID"),
      QStringLiteral("select * from cemetery where cemeteryid="),
      QStringLiteral("select * from zel where cemeteryid="),
      QStringLiteral("delete from cemetery where cemeteryid="),
      QStringLiteral("You cannot save a cemetery with no name."),
      QStringLiteral(
          "You cannot delete the cemetery you selected because graves have been assigned to it. You "
          "must first change or remove the graves associated with this cemetery before deletion."),
      QStringLiteral("Do you want to delete the following cemetery?"),
      7};
  return t;
}

// Column, field and typing limit of the seven optional texts, in the order they are read.
struct Optional {
  const char* column;
  QLineEdit* frmCemeteryMgr::*field;
  int limit;
};
constexpr Optional kOptional[] = {
    {"addr1", &frmCemeteryMgr::txtAddr1, 50},     {"addr2", &frmCemeteryMgr::txtAddr2, 50},
    {"city", &frmCemeteryMgr::txtCity, 50},       {"State", &frmCemeteryMgr::txtState, 2},
    {"zipcode", &frmCemeteryMgr::txtZipCode, 10}, {"phone", &frmCemeteryMgr::txtPhone, 50},
};

QString trimmedOrEmpty(const Value& v) { return v.isNull() ? QString() : v.toString().trimmed(); }

}  // namespace

frmCemeteryMgr::frmCemeteryMgr(QWidget* parent) : ManagerDialog(cemeteryTable(), parent) {
  auto line = [this](const char* name, int limit) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QLatin1String(name));
    e->setMaxLength(limit);
    return e;
  };
  txtCemeteryID = line("txtCemeteryID", 50);
  makeIdField(txtCemeteryID);
  txtName = line("txtName", 50);
  const AddressFields address = makeAddressFields(this, 50);
  txtAddr1 = address.addr1;
  txtAddr2 = address.addr2;
  txtCity = address.city;
  txtState = address.state;
  txtZipCode = address.zipCode;
  txtPhone = address.phone;
  txtRemarks = new QPlainTextEdit(this);
  txtRemarks->setObjectName(QStringLiteral("txtRemarks"));
  txtRemarks->setTabChangesFocus(true);

  txtCemeteryID->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 12);

  auto* grid = new QGridLayout;
  auto label = [this](const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text, this);
    l->setBuddy(buddy);
    return l;
  };
  grid->addWidget(label(QStringLiteral("Cemetery ID"), txtCemeteryID), 0, 0);
  grid->addWidget(txtCemeteryID, 0, 1, 1, 3, Qt::AlignLeft);
  grid->addWidget(label(QStringLiteral("Cemetery"), txtName), 1, 0);
  grid->addWidget(txtName, 1, 1, 1, 3);
  addAddressRows(grid, 2, address);
  grid->addWidget(label(QStringLiteral("Remarks"), txtRemarks), 6, 0, Qt::AlignTop);
  grid->addWidget(txtRemarks, 6, 1, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(6, 1);

  for (QLineEdit* e : {txtName, txtAddr1, txtAddr2, txtCity, txtState, txtZipCode, txtPhone}) watch(e);
  watch(txtRemarks);
  connect(txtRemarks, &QPlainTextEdit::textChanged, this, [this] { limitRemarks(); });

  setMinimumWidth(640);
  finishLayout(grid);
}

void frmCemeteryMgr::limitRemarks() {
  const QString t = txtRemarks->toPlainText();
  if (t.size() <= remarksLimit_) return;
  QTextCursor c = txtRemarks->textCursor();
  c.movePosition(QTextCursor::End);
  c.setPosition(remarksLimit_, QTextCursor::KeepAnchor);
  c.removeSelectedText();
}

QWidget* frmCemeteryMgr::firstField() const { return txtName; }

bool frmCemeteryMgr::requiredEmpty() const { return txtName->text().trimmed().isEmpty(); }

void frmCemeteryMgr::clearFields() {
  txtCemeteryID->clear();
  setFieldText(txtName, QString(), 50);
  for (const Optional& o : kOptional) setFieldText(this->*o.field, QString(), o.limit);
  remarksLimit_ = kRemarksLimit;
  txtRemarks->clear();
}

void frmCemeteryMgr::writeFields(RecordSet& rs) {
  // Bound as values, exactly as typed: quotes, commas and accents are stored as they are.
  rs.assign(QStringLiteral("Name"), txtName->text());
  for (const Optional& o : kOptional) rs.assign(QLatin1String(o.column), (this->*o.field)->text());
  rs.assign(QStringLiteral("remarks"), txtRemarks->toPlainText());
}

void frmCemeteryMgr::readFields(const RecordSet& rs) {
  setFieldText(txtName, rs.field(QStringLiteral("Name")).toString().trimmed(), 50);
  for (const Optional& o : kOptional)
    setFieldText(this->*o.field, trimmedOrEmpty(rs.field(QLatin1String(o.column))), o.limit);
  const QString remarks = trimmedOrEmpty(rs.field(QStringLiteral("remarks")));
  remarksLimit_ = std::max(kRemarksLimit, int(remarks.size()));
  txtRemarks->setPlainText(remarks);
}
