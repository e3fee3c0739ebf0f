#include "gui/records/RecordBinding.h"

#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionFrame>

#include "core/store/DateValue.h"
#include "core/store/GraveState.h"
#include "core/store/RecordSet.h"
#include "gui/controls/DateEdit.h"
#include "gui/controls/MaskedEdit.h"
#include "gui/controls/MoneyEdit.h"

using RecordFields::Kind;

namespace {

// Selects the first entry whose item data equals id; none when no entry has it.
void selectById(QComboBox* box, const Value& id) {
  box->setCurrentIndex(-1);
  const std::optional<qint64> want = RecordFields::storedWhole(id);
  for (int i = 0; want && i < box->count(); ++i) {
    if (box->itemData(i).toLongLong() == *want) {
      box->setCurrentIndex(i);
      return;
    }
  }
}

// The width a line edit needs to show a text whole, frame and margins included.
int wholeWidth(const QLineEdit* e, const QString& text) {
  QStyleOptionFrame opt;
  opt.initFrom(e);
  opt.lineWidth = e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e);
  // The line edit keeps 2 pixels each side of its text, and one for the caret.
  const QSize inner(e->fontMetrics().horizontalAdvance(text) + 5, e->fontMetrics().height());
  return e->style()->sizeFromContents(QStyle::CT_LineEdit, &opt, inner, e).width();
}

}  // namespace

RecordBinding::RecordBinding(QWidget* form, const std::function<void()>& changed) {
  for (const RecordFields::Field& f : RecordFields::all()) {
    QWidget* w = form->findChild<QWidget*>(QLatin1String(f.control));
    Q_ASSERT_X(w, "RecordBinding", f.control);
    fields_.push_back({&f, w, {}, {}});
    if (auto* m = qobject_cast<MaskedEdit*>(w)) m->setLimit(f.length);
    auto* e = qobject_cast<QLineEdit*>(w);
    if (!e || e->isReadOnly()) continue;
    // Every field marks the record changed: the amount paid and the address included, so that no
    // edit goes without the save question.
    QObject::connect(e, &QLineEdit::textChanged, form, changed);
    // Wide enough for the field's longest value; the hidden ones are edited in dialogs of their own.
    if (e->isVisibleTo(form)) e->setMinimumWidth(wholeWidth(e, RecordFields::longestValue(f)));
  }
  for (QLabel* l : form->findChildren<QLabel*>())
    if (l->buddy() && l->text().isEmpty()) l->setText(QString::fromLatin1(bound(l->buddy()).field->caption));
  for (auto [name, letter] : {std::pair{"txtMale", u'M'}, {"txtFemale", u'F'}, {"txtUnknown", u'U'}}) {
    auto* r = form->findChild<QRadioButton*>(QLatin1String(name));
    sex_.emplace_back(r, letter);
    QObject::connect(r, &QRadioButton::clicked, form, changed);
  }
}

const RecordBinding::Bound& RecordBinding::bound(const QWidget* control) const {
  return *std::find_if(fields_.begin(), fields_.end(),
                       [control](const Bound& b) { return b.control == control; });
}

QWidget* RecordBinding::control(QAnyStringView column) const {
  const RecordFields::Field* f = RecordFields::find(column);
  for (const Bound& b : fields_)
    if (b.field == f) return b.control;
  return nullptr;
}

QString RecordBinding::current(const Bound& b) const {
  switch (b.field->kind) {
    case Kind::Choice: {
      const auto* box = static_cast<const QComboBox*>(b.control);
      return box->currentIndex() < 0 ? QString() : box->currentData().toString();
    }
    case Kind::Sex:
      for (auto [button, letter] : sex_)
        if (button->isChecked()) return QString(letter);
      return QStringLiteral(" ");
    default:
      return static_cast<const QLineEdit*>(b.control)->text();
  }
}

QString RecordBinding::current(const QWidget* control) const { return current(bound(control)); }

bool RecordBinding::edited(const QWidget* control) const {
  const Bound& b = bound(control);
  return current(b) != b.shown;
}

void RecordBinding::keepShown() {
  for (Bound& b : fields_) b.shown = current(b);
}

void RecordBinding::showValue(const Bound& b, const Value& v) {
  switch (b.field->kind) {
    case Kind::Key:
      static_cast<QLineEdit*>(b.control)->setText(v.toString());
      break;
    case Kind::Choice:
      selectById(static_cast<QComboBox*>(b.control), v);
      break;
    case Kind::Text:
      static_cast<MaskedEdit*>(b.control)->showText(v.toString().trimmed());
      break;
    case Kind::Number:
      static_cast<MaskedEdit*>(b.control)->showText(RecordFields::wholeNumberText(v));
      break;
    case Kind::Date:
      static_cast<DateEdit*>(b.control)->setDate(v.toDate());
      break;
    case Kind::Money:
      static_cast<MoneyEdit*>(b.control)->setAmount(v.isNull() ? std::nullopt : std::optional(v.toMoney()));
      break;
    case Kind::Sex:
      // The buttons exclude each other; all three may also be off.
      for (auto [button, letter] : sex_) {
        button->setAutoExclusive(false);
        button->setChecked(v.toString() == letter);
        button->setAutoExclusive(true);
      }
      break;
    case Kind::State:
      static_cast<QLineEdit*>(b.control)->setText(GraveState::formText(GraveState::fromStored(v.toString())));
      break;
  }
}

void RecordBinding::show(const RecordSet* rs) {
  for (Bound& b : fields_) {
    b.stored = rs ? rs->field(QLatin1String(b.field->name)) : Value();
    showValue(b, b.stored);
  }
  keepShown();
}

void RecordBinding::showStored(const RecordSet& rs, const QStringList& columns) {
  for (Bound& b : fields_) {
    if (!columns.contains(b.field->column(), Qt::CaseInsensitive)) continue;
    b.stored = rs.field(QLatin1String(b.field->name));
    showValue(b, b.stored);
    b.shown = current(b);
  }
}

void RecordBinding::keepStored(const RecordSet& rs) {
  for (Bound& b : fields_) b.stored = rs.field(QLatin1String(b.field->name));
}

namespace {

// Values compared as stored: a date with its time of day, an amount to the ten-thousandth.
QString storedText(const Value& v) {
  if (v.isNull()) return {};
  if (v.isDate()) return DateValue::toIso(v.toDateTime(), v.hasTime());
  if (v.type() == Value::Type::Money) return v.toMoney().toPlainString();
  return v.toString().trimmed();
}

}  // namespace

QString RecordBinding::describe(const Bound& b, const Value& v) const {
  QString text;
  switch (b.field->kind) {
    case Kind::Choice: {
      const auto* box = static_cast<const QComboBox*>(b.control);
      const std::optional<qint64> id = RecordFields::storedWhole(v);
      const int i = id ? box->findData(*id) : -1;
      text = i >= 0 ? box->itemText(i) : storedText(v);
      break;
    }
    case Kind::Date:
      text = v.isDate() ? DateValue::formatDisplay(v.toDate(),
                                                   static_cast<const DateEdit*>(b.control)->displayFormat())
                        : storedText(v);
      break;
    case Kind::Money:
      text = v.type() == Value::Type::Money ? v.toMoney().toDisplayString() : storedText(v);
      break;
    case Kind::State:
      text = GraveState::formText(GraveState::fromStored(v.toString()));
      break;
    default:
      text = storedText(v);
  }
  return text.isEmpty() ? QStringLiteral("(empty)") : u'"' + text + u'"';
}

QStringList RecordBinding::changedSince(const RecordSet& rs, QStringList* columns) const {
  QStringList lines;
  for (const Bound& b : fields_) {
    const Value now = rs.field(QLatin1String(b.field->name));
    if (storedText(now) == storedText(b.stored)) continue;
    // The state follows from the fields: it is never named alone.
    if (b.field->kind != Kind::State) {
      QString caption = QString::fromLatin1(b.field->caption).trimmed();
      // The form's two name pairs have the same captions under different headings.
      if (caption.endsWith(QLatin1String(" Name")))
        caption.prepend(b.field->column().startsWith(QLatin1String("owner")) ? QStringLiteral("Purchaser ")
                                                                             : QStringLiteral("Interred "));
      lines << QStringLiteral("%1: %2, now %3").arg(caption, describe(b, b.stored), describe(b, now));
    }
    if (columns) *columns << b.field->column();
  }
  return lines;
}

const RecordFields::Field* RecordBinding::numberOutOfRange(bool all) const {
  for (const Bound& b : fields_) {
    const QString text = current(b);
    if (b.field->kind == Kind::Number && (all || text != b.shown) && !text.trimmed().isEmpty() &&
        !RecordFields::wholeNumber(*b.field, text))
      return b.field;
  }
  return nullptr;
}

void RecordBinding::write(RecordSet& rs, bool all) const {
  for (const Bound& b : fields_) {
    const QString text = current(b);
    if (!all && text == b.shown) continue;
    const QString column = b.field->column();
    switch (b.field->kind) {
      case Kind::Choice:
        rs.assign(column, qint64(qint32(text.toLongLong())));
        break;
      case Kind::Date: {
        // Eight digits typed without separators are a date too.
        const QDate d = static_cast<DateEdit*>(b.control)->date();
        rs.assign(column, d.isValid() ? Value(d) : Value());
        break;
      }
      case Kind::Money:
        rs.assign(column, static_cast<MoneyEdit*>(b.control)->value());
        break;
      case Kind::Text:
      case Kind::Number:
      case Kind::Sex:
        rs.assign(column, RecordFields::fromText(*b.field, text, {}).value());
        break;
      case Kind::Key:
      case Kind::State:
        break;
    }
  }
}

QHash<QString, QString> RecordBinding::printed() const {
  QHash<QString, QString> values;
  for (const Bound& b : fields_) {
    if (b.field->printLine == 0) continue;
    QString text = current(b);
    if (b.field->kind == Kind::Sex) {
      text.clear();
      for (auto [button, letter] : sex_)
        if (button->isChecked()) text = button->text();
    }
    values.insert(b.field->column(), text);
  }
  return values;
}
