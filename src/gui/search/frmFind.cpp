#include "gui/search/frmFind.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/program/Zel1.h"
#include "core/program/Zel2.h"
#include "core/store/DateValue.h"
#include "core/store/RecordFields.h"
#include "gui/controls/DateEdit.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MaskedEdit.h"
#include "gui/controls/MessageService.h"

namespace {

template <class T>
T* named(QWidget* parent, const char* name) {
  auto* w = new T(parent);
  w->setObjectName(QLatin1String(name));
  return w;
}

// A field takes as much as the record form's field of the same column: whatever a record can hold
// can be searched for.
MaskedEdit* textField(QWidget* parent, const char* name, const char* column) {
  auto* m = named<MaskedEdit>(parent, name);
  m->setLimit(RecordFields::find(QLatin1String(column))->length);
  return m;
}

QString number(const QString& text) { return QString::number(leadingNumber(text), 'g', 15); }

}  // namespace

frmFind::frmFind(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmFind"));
  setWindowTitle(QStringLiteral("Find ..."));
  Tab1 = named<QTabWidget>(this, "Tab1");

  auto* location = new QWidget;
  auto* lf = new QFormLayout(location);
  txtCemetery = named<QComboBox>(location, "txtCemetery");
  txtSection = textField(location, "txtSection", "csection");
  txtLot = textField(location, "txtLot", "lot");
  txtGrave = textField(location, "txtGrave", "grave");
  lf->addRow(QStringLiteral("Cemetery"), txtCemetery);
  lf->addRow(QStringLiteral("Section"), txtSection);
  lf->addRow(QStringLiteral("Lot"), txtLot);
  lf->addRow(QStringLiteral("Grave"), txtGrave);
  Tab1->addTab(location, QStringLiteral("Location"));

  auto* interred = new QWidget;
  auto* inf = new QFormLayout(interred);
  txtIntermentNum = textField(interred, "txtIntermentNum", "internum");
  txtIntermentDate = named<DateEdit>(interred, "txtIntermentDate");
  txtInterredFirstName = textField(interred, "txtInterredFirstName", "interfirstname");
  txtInterredLastName = textField(interred, "txtInterredLastName", "interlastname");
  txtDateOfBirth = named<DateEdit>(interred, "txtDateOfBirth");
  txtDateOfDeath = named<DateEdit>(interred, "txtDateOfDeath");
  inf->addRow(QStringLiteral("Interment #"), txtIntermentNum);
  inf->addRow(QStringLiteral("Interment Date"), txtIntermentDate);
  inf->addRow(QStringLiteral("First Name"), txtInterredFirstName);
  inf->addRow(QStringLiteral("Last Name"), txtInterredLastName);
  inf->addRow(QStringLiteral("Date of Birth"), txtDateOfBirth);
  inf->addRow(QStringLiteral("Date of Death"), txtDateOfDeath);
  Tab1->addTab(interred, QStringLiteral("Interred"));

  auto* purchaser = new QWidget;
  auto* pf = new QFormLayout(purchaser);
  txtPurchaserFirstName = textField(purchaser, "txtPurchaserFirstName", "ownerfirstname");
  txtPurchaserLastName = textField(purchaser, "txtPurchaserLastName", "ownerlastname");
  txtDeedBook = textField(purchaser, "txtDeedBook", "deedbook");
  txtDeedPage = textField(purchaser, "txtDeedPage", "deedpage");
  txtCertificateNum = textField(purchaser, "txtCertificateNum", "certnum");
  txtPurchDate = named<DateEdit>(purchaser, "txtPurchDate");
  pf->addRow(QStringLiteral("First Name"), txtPurchaserFirstName);
  pf->addRow(QStringLiteral("Last Name"), txtPurchaserLastName);
  pf->addRow(QStringLiteral("Deed Book"), txtDeedBook);
  pf->addRow(QStringLiteral("Deed Page"), txtDeedPage);
  pf->addRow(QStringLiteral("Certificate Number"), txtCertificateNum);
  pf->addRow(QStringLiteral("Purchase Date"), txtPurchDate);
  Tab1->addTab(purchaser, QStringLiteral("Purchaser"));

  for (DateEdit* d : {txtIntermentDate, txtDateOfBirth, txtDateOfDeath, txtPurchDate})
    if (!ZEL1.DateDisplayFormat.isEmpty()) d->setDisplayFormat(ZEL1.DateDisplayFormat);

  Command1 = named<QPushButton>(this, "Command1");
  Command1->setText(QStringLiteral("OK"));
  Command1->setDefault(true);
  Command2 = named<QPushButton>(this, "Command2");
  Command2->setText(QStringLiteral("Cancel"));
  Command4 = named<QPushButton>(this, "Command4");
  Command4->setText(QStringLiteral("&Help"));
  addHelpKey(this, 5);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Command1);
  buttons->addWidget(Command2);
  buttons->addWidget(Command4);
  auto* v = new QVBoxLayout(this);
  v->addWidget(Tab1);
  v->addLayout(buttons);
  connectCommand(Command1, &QPushButton::clicked, this, &frmFind::Command1Click);
  connectCommand(Command2, &QPushButton::clicked, this, &frmFind::Command2Click);
  connectCommand(Command4, &QPushButton::clicked, this, &frmFind::Command4Click);

  // Form load: the cemetery list, nothing selected; the window centred on the screen.
  txtCemetery->clear();
  try {
    RecordSet rs(&ZEL1.cnData);
    for (rs.open(QStringLiteral("select * from cemetery order by name")); !rs.eof(); rs.moveNext())
      txtCemetery->addItem(rs.field(QStringLiteral("Name")).toString(),
                           rs.field(QStringLiteral("cemeteryid")).toInt());
  } catch (const std::exception& e) {
    showFailure(e);  // the dialog still opens: the other fields can be searched
  }
  txtCemetery->setCurrentIndex(-1);
  resize(420, 300);
  if (QScreen* s = screen()) {
    const QRect r = s->availableGeometry();
    move(r.x() + (r.width() - width()) / 2, r.y() + (r.height() - height()) / 2);
  }
}

QString frmFind::buildQuery() const {
  QString q = QStringLiteral("select * from zel where ");
  // Every typed text is quoted; the dates are written in the fields' own pattern, which the
  // database layer reads in that order.
  auto quoted = [](const QLineEdit* f) { return ZEL2::SqlQuote(f->text()); };
  // Dates compare by day: a date stored with a time of day is found by its day.
  auto dateText = [](const DateEdit* f) { return DateValue::formatDisplay(f->date(), f->displayFormat()); };
  auto day = [&](const char* column, const DateEdit* f) {
    return QStringLiteral("substr(%1,1,10)=#%2#").arg(QLatin1StringView(column), dateText(f));
  };
  switch (Tab1->currentIndex()) {
    case 0:
      if (txtCemetery->currentIndex() >= 0)
        q += QStringLiteral("cemeteryid=") + QString::number(txtCemetery->currentData().toLongLong()) +
             QStringLiteral(" and ");
      if (!txtSection->text().isEmpty())
        q += QStringLiteral("csection='") + quoted(txtSection) + QStringLiteral("' and ");
      if (!txtLot->text().isEmpty()) q += QStringLiteral("lot='") + quoted(txtLot) + QStringLiteral("' and ");
      if (!txtGrave->text().isEmpty())
        q += QStringLiteral("grave='") + quoted(txtGrave) + QStringLiteral("'");
      break;
    case 1:
      if (!txtIntermentNum->text().isEmpty())
        q += QStringLiteral("internum=") + number(txtIntermentNum->text()) + QStringLiteral(" and ");
      if (txtIntermentDate->hasValidDate()) q += day("interdate", txtIntermentDate) + QStringLiteral(" and ");
      if (!txtInterredFirstName->text().isEmpty())
        q += QStringLiteral("interfirstname like '") + quoted(txtInterredFirstName) +
             QStringLiteral("%' and ");
      if (!txtInterredLastName->text().isEmpty())
        q += QStringLiteral("interlastname like '") + quoted(txtInterredLastName) + QStringLiteral("%' and ");
      if (txtDateOfBirth->hasValidDate()) q += day("birthdate", txtDateOfBirth) + QStringLiteral(" and ");
      if (txtDateOfDeath->hasValidDate()) q += day("deathdate", txtDateOfDeath);
      break;
    case 2:
      if (!txtPurchaserFirstName->text().isEmpty())
        q += QStringLiteral("ownerfirstname like '") + quoted(txtPurchaserFirstName) +
             QStringLiteral("%' and ");
      if (!txtPurchaserLastName->text().isEmpty())
        q +=
            QStringLiteral("ownerlastname like '") + quoted(txtPurchaserLastName) + QStringLiteral("%' and ");
      if (!txtDeedBook->text().isEmpty())
        q += QStringLiteral("deedbook='") + quoted(txtDeedBook) + QStringLiteral("' and ");
      if (!txtDeedPage->text().isEmpty())
        q += QStringLiteral("deedpage=") + number(txtDeedPage->text()) + QStringLiteral(" and ");
      if (!txtCertificateNum->text().isEmpty())
        q += QStringLiteral("certnum='") + quoted(txtCertificateNum) + QStringLiteral("' and ");
      if (txtPurchDate->hasValidDate()) q += day("purchdate", txtPurchDate);
      break;
  }
  if (q.endsWith(QLatin1String("and "))) q.chop(4);
  return q;
}

void frmFind::Command1Click() {
  ZEL1.PendingQuery = buildQuery();
  accept();
}

void frmFind::Command2Click() { reject(); }

void frmFind::reject() {
  ZEL1.PendingQuery.clear();
  QDialog::reject();
}

void frmFind::Command4Click() { messages().showHelp(5); }
