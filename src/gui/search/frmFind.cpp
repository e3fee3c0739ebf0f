#include "gui/search/frmFind.h"

#include <QFormLayout>
#include <QScreen>

#include "core/program/Zel1.h"
#include "core/program/Zel2.h"
#include "core/store/DateValue.h"
#include "core/store/RecordFields.h"
#include "gui/controls/Guarded.h"
#include "gui/controls/MessageService.h"
#include "ui_frmFind.h"

namespace {

using RecordFields::Field;
using RecordFields::Kind;

// Each row of a tab: the field its control shows.
template <class F>
void forEachField(QWidget* page, F&& f) {
  auto* rows = static_cast<QFormLayout*>(page->layout());
  for (int row = 0; row < rows->rowCount(); ++row) {
    QWidget* control = rows->itemAt(row, QFormLayout::FieldRole)->widget();
    const Field* field = RecordFields::withControl(control->objectName());
    Q_ASSERT(field);
    f(*field, control, static_cast<QLabel*>(rows->itemAt(row, QFormLayout::LabelRole)->widget()));
  }
}

QString number(const QString& text) { return QString::number(leadingNumber(text), 'g', 15); }

}  // namespace

frmFind::frmFind(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::frmFind>()) {
  ui_->setupUi(this);
  // A field takes as much as the record form's field of the same column: whatever a record can
  // hold can be searched for.
  for (int tab = 0; tab < ui_->Tab1->count(); ++tab)
    forEachField(ui_->Tab1->widget(tab), [](const Field& f, QWidget* control, QLabel* label) {
      label->setText(QString::fromLatin1(f.caption));
      if (auto* m = qobject_cast<MaskedEdit*>(control)) m->setLimit(f.length);
      if (auto* d = qobject_cast<DateEdit*>(control); d && !ZEL1.DateDisplayFormat.isEmpty())
        d->setDisplayFormat(ZEL1.DateDisplayFormat);
    });
  addHelpKey(this, 5);
  connectCommand(ui_->Command1, &QPushButton::clicked, this, &frmFind::Command1Click);
  connectCommand(ui_->Command2, &QPushButton::clicked, this, &frmFind::Command2Click);
  connectCommand(ui_->Command4, &QPushButton::clicked, this, &frmFind::Command4Click);

  // Form load: the cemetery list, nothing selected; the window centred on the screen.
  try {
    RecordSet rs(&ZEL1.cnData);
    for (rs.open(QStringLiteral("select * from cemetery order by name")); !rs.eof(); rs.moveNext())
      ui_->txtCemetery->addItem(rs.field(QStringLiteral("Name")).toString(),
                                rs.field(QStringLiteral("cemeteryid")).toInt());
  } catch (const std::exception& e) {
    showFailure(e);  // the dialog still opens: the other fields can be searched
  }
  ui_->txtCemetery->setCurrentIndex(-1);
  if (QScreen* s = screen()) {
    const QRect r = s->availableGeometry();
    move(r.x() + (r.width() - width()) / 2, r.y() + (r.height() - height()) / 2);
  }
}

frmFind::~frmFind() = default;

QString frmFind::buildQuery() const {
  // Every typed text is quoted; names match by their start. The dates are written in the fields'
  // own pattern, which the database layer reads in that order, and compare by day: a date stored
  // with a time of day is found by its day.
  QStringList where;
  forEachField(ui_->Tab1->currentWidget(), [&where](const Field& f, QWidget* control, QLabel*) {
    const QString column = f.column();
    switch (f.kind) {
      case Kind::Choice:
        if (auto* c = static_cast<QComboBox*>(control); c->currentIndex() >= 0)
          where << column + u'=' + QString::number(c->currentData().toLongLong());
        break;
      case Kind::Date:
        if (auto* d = static_cast<DateEdit*>(control); d->hasValidDate())
          where << QStringLiteral("substr(%1,1,10)=#%2#")
                       .arg(column, DateValue::formatDisplay(d->date(), d->displayFormat()));
        break;
      default: {
        const QString text = static_cast<QLineEdit*>(control)->text();
        if (text.isEmpty()) break;
        if (f.kind == Kind::Number)
          where << column + u'=' + number(text);
        else if (control->property("prefix").toBool())
          where << column + QStringLiteral(" like '") + ZEL2::SqlQuote(text) + QStringLiteral("%'");
        else
          where << column + QStringLiteral("='") + ZEL2::SqlQuote(text) + u'\'';
      }
    }
  });
  return QStringLiteral("select * from zel where ") + where.join(QStringLiteral(" and "));
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
