#include "gui/cemeteries/frmCemeteryMgr.h"

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
      7,
      QStringLiteral("cemetery"),
      QStringLiteral("History of Cemeteries")};
  return t;
}

// Column, field and typing limit of the seven optional texts, in the order they are read.
struct Optional {
  const char* column;
  QLineEdit* Ui::frmCemeteryMgr::*field;
  int limit;
};
constexpr Optional kOptional[] = {
    {"addr1", &Ui::frmCemeteryMgr::txtAddr1, 50},     {"addr2", &Ui::frmCemeteryMgr::txtAddr2, 50},
    {"city", &Ui::frmCemeteryMgr::txtCity, 50},       {"State", &Ui::frmCemeteryMgr::txtState, 2},
    {"zipcode", &Ui::frmCemeteryMgr::txtZipCode, 10}, {"phone", &Ui::frmCemeteryMgr::txtPhone, 50},
};

QString trimmedOrEmpty(const Value& v) { return v.isNull() ? QString() : v.toString().trimmed(); }

}  // namespace

frmCemeteryMgr::frmCemeteryMgr(QWidget* parent) : ManagerDialog(cemeteryTable(), parent) {
  fields_.setupUi(fieldsArea());
  makeIdField(fields_.txtCemeteryID);
  fitAddressWidths(fontMetrics(), fields_.txtState, fields_.txtZipCode);
  fields_.txtCemeteryID->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 12);

  for (QLineEdit* e : {fields_.txtName, fields_.txtAddr1, fields_.txtAddr2, fields_.txtCity, fields_.txtState,
                       fields_.txtZipCode, fields_.txtPhone})
    watch(e);
  watch(fields_.txtRemarks);
  connect(fields_.txtRemarks, &QPlainTextEdit::textChanged, this, [this] { limitRemarks(); });

  setMinimumWidth(640);
  finish();
}

void frmCemeteryMgr::limitRemarks() {
  const QString t = fields_.txtRemarks->toPlainText();
  if (t.size() <= remarksLimit_) return;
  QTextCursor c = fields_.txtRemarks->textCursor();
  c.movePosition(QTextCursor::End);
  c.setPosition(remarksLimit_, QTextCursor::KeepAnchor);
  c.removeSelectedText();
}

QWidget* frmCemeteryMgr::firstField() const { return fields_.txtName; }

bool frmCemeteryMgr::requiredEmpty() const { return fields_.txtName->text().trimmed().isEmpty(); }

void frmCemeteryMgr::clearFields() {
  fields_.txtCemeteryID->clear();
  setFieldText(fields_.txtName, QString(), 50);
  for (const Optional& o : kOptional) setFieldText(fields_.*o.field, QString(), o.limit);
  remarksLimit_ = kRemarksLimit;
  fields_.txtRemarks->clear();
}

void frmCemeteryMgr::writeFields(RecordSet& rs) {
  // Bound as values, exactly as typed: quotes, commas and accents are stored as they are.
  rs.assign(QStringLiteral("Name"), fields_.txtName->text());
  for (const Optional& o : kOptional) rs.assign(QLatin1String(o.column), (fields_.*o.field)->text());
  rs.assign(QStringLiteral("remarks"), fields_.txtRemarks->toPlainText());
}

void frmCemeteryMgr::readFields(const RecordSet& rs) {
  setFieldText(fields_.txtName, rs.field(QStringLiteral("Name")).toString().trimmed(), 50);
  for (const Optional& o : kOptional)
    setFieldText(fields_.*o.field, trimmedOrEmpty(rs.field(QLatin1String(o.column))), o.limit);
  const QString remarks = trimmedOrEmpty(rs.field(QStringLiteral("remarks")));
  remarksLimit_ = std::max(kRemarksLimit, int(remarks.size()));
  fields_.txtRemarks->setPlainText(remarks);
}
