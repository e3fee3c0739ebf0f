// Field entry rules, the save question, save and remove of the record form.
#include <QTimer>

#include "core/history/History.h"
#include "core/program/Zel1.h"
#include "core/program/Zel2.h"
#include "core/store/DateValue.h"
#include "core/store/DbError.h"
#include "core/store/GraveState.h"
#include "gui/controls/MessageService.h"
#include "gui/records/frmDataEntry.h"

namespace {

// The hint for a text that is no date names the pattern the fields take, with examples in it.
QString yearHint(const QString& pattern) {
  return QStringLiteral(
             "Type the date as %1, for example %2.\n\n"
             "If you are trying to enter only the year of a date, we recommend you enter the first day of "
             "the "
             "first month of the year that you have to enter. For example, if you only have the year 1922 "
             "you "
             "might enter %3.")
      .arg(pattern, DateValue::formatDisplay(QDate(1931, 3, 15), pattern),
           DateValue::formatDisplay(QDate(1922, 1, 1), pattern));
}

// Whether a set's current row is the record: not when the set moved on, or the row is gone.
bool onRecord(const RecordSet& rs, const QString& recid) {
  try {
    return rs.isOpen() && !rs.eof() && !rs.bof() && rs.field(QStringLiteral("recid")).toString() == recid;
  } catch (const DbError&) {
    return false;
  }
}

}  // namespace

// ---- Field entry rules ----

void frmDataEntry::returnFocusTo(QWidget* field) {
  // Entering and leaving of the fields in between does not count: the user never got there.
  suppressFocus_ = true;
  QTimer::singleShot(0, this, [this, field] {
    field->setFocus();
    suppressFocus_ = false;
  });
}

void frmDataEntry::dateHint(DateEdit* field) {
  // The field has put back its earlier date already: a retyped date that is no date never
  // erases the stored one.
  if (suppressFocus_) return;
  hintLater(yearHint(field->displayFormat()), field);
}

void frmDataEntry::hintLater(const QString& text, QWidget* field) {
  // Shown once the keys already typed on have reached the next field: a box opened at once would
  // swallow them. Keys typed while it opens go on to that field too.
  QTimer::singleShot(0, this, [this, text, field] {
    messages().typingHint(text);
    returnFocusTo(field);
  });
}

void frmDataEntry::refuseOnLeave(const std::optional<RecordFields::DateRefusal>& refusal, QWidget* field) {
  if (suppressFocus_ || !refusal) return;
  hintLater(refusal->message, field);
}

void frmDataEntry::txtIntermentDateLeave() {
  refuseOnLeave(RecordFields::checkDates(ui_.txtIntermentDate->date(), {}, {}), ui_.txtIntermentDate);
}

void frmDataEntry::txtDateOfBirthLeave() {
  refuseOnLeave(RecordFields::checkDates({}, ui_.txtDateOfBirth->date(), {}), ui_.txtDateOfBirth);
}

void frmDataEntry::txtDateOfDeathLeave() {
  if (suppressFocus_) return;
  const QDate death = ui_.txtDateOfDeath->date();
  refuseOnLeave(RecordFields::checkDates({}, {}, death), ui_.txtDateOfDeath);
  // Checked even after a refusal above: a date of death before a kept date of birth goes too, and
  // the field gets back the date it held before (a stored one is not erased).
  if (death.isValid() && ui_.txtDateOfBirth->date() > death) {
    ui_.txtDateOfDeath->revert();
    hintLater(
        QStringLiteral("You cannot have a date-of-birth greater than a date-of-death. Please try again."),
        ui_.txtDateOfDeath);
  }
}

void frmDataEntry::txtAgeEnter() {
  // The age follows dates the user typed, never stored ones alone.
  const QDate birth = ui_.txtDateOfBirth->date();
  const QDate death = ui_.txtDateOfDeath->date();
  if (suppressFocus_ || !birth.isValid() || !death.isValid() || birth > death) return;
  if (record_->edited(ui_.txtDateOfBirth) || record_->edited(ui_.txtDateOfDeath))
    ui_.txtAge->setText(QString::number(death.year() - birth.year()));
}

void frmDataEntry::txtAgeLeave() {
  // Only an age the user typed fills in a missing date; an empty one fills in nothing.
  if (suppressFocus_ || !record_->edited(ui_.txtAge)) return;
  const std::optional<qint64> age =
      RecordFields::wholeNumber(*RecordFields::find(u"age"), ui_.txtAge->text());
  if (!age) return;
  if (ui_.txtDateOfBirth->text().isEmpty() && ui_.txtDateOfDeath->hasValidDate())
    ui_.txtDateOfBirth->setDate(ui_.txtDateOfDeath->date().addYears(-int(*age)));
  if (ui_.txtDateOfDeath->text().isEmpty() && ui_.txtDateOfBirth->hasValidDate())
    ui_.txtDateOfDeath->setDate(ui_.txtDateOfBirth->date().addYears(int(*age)));
}

// ---- The save question, save and remove ----

bool frmDataEntry::leaveRecord() {
  if (!ZEL1.RecordChanged) return true;
  // Cancel (and Escape) stays on the record with its edits.
  switch (messages().questionWithCancel(QStringLiteral("Would you like to save your changes first?"))) {
    case MessageService::Answer::Yes:
      return save();
    case MessageService::Answer::No:
      return true;
    default:
      return false;
  }
}

void frmDataEntry::mnuSaveClick() { save(); }

bool frmDataEntry::refuse(const QString& message, QWidget* field) {
  messages().information(message);
  focusField(field);
  return false;
}

bool frmDataEntry::checkFields() {
  for (DateEdit* d : {ui_.txtIntermentDate, ui_.txtDateOfBirth, ui_.txtDateOfDeath, ui_.txtPurchDate})
    if (!d->holdsDateOrNothing()) return refuse(yearHint(d->displayFormat()), d);
  if (auto r = RecordFields::checkDates(ui_.txtIntermentDate->date(), ui_.txtDateOfBirth->date(),
                                        ui_.txtDateOfDeath->date()))
    return refuse(r->message, record_->control(QLatin1String(r->column)));
  if (ui_.txtCemetery->currentIndex() < 0)
    return refuse(QStringLiteral("You haven't assigned a valid cemetery yet."), ui_.txtCemetery);
  if (ui_.txtLotInfo->currentIndex() < 0)
    return refuse(QStringLiteral("You haven't assigned a valid lot type yet."), ui_.txtLotInfo);
  // A number is written only within what its column holds.
  if (const RecordFields::Field* f = record_->numberOutOfRange(ui_.txtRecordNum->text().isEmpty()))
    return refuse(RecordFields::outOfRangeMessage(*f), record_->control(QLatin1String(f->name)));
  return true;
}

bool frmDataEntry::placeTaken(bool isNew) {
  // A stored record is checked only when its place was changed; its own row does not count.
  const auto moved = [this](const QWidget* f) { return record_->edited(f); };
  if (!isNew && !moved(ui_.txtCemetery) && !moved(ui_.txtSection) && !moved(ui_.txtLot) &&
      !moved(ui_.txtGrave))
    return false;
  QString sql = QStringLiteral("select * from zel where cemeteryid=") +
                QString::number(ui_.txtCemetery->currentData().toLongLong()) +
                QStringLiteral(" and csection='") + ZEL2::SqlQuote(ui_.txtSection->text()) +
                QStringLiteral("' and lot='") + ZEL2::SqlQuote(ui_.txtLot->text()) +
                QStringLiteral("' and grave='") + ZEL2::SqlQuote(ui_.txtGrave->text()) + QStringLiteral("'");
  if (!isNew) sql += QStringLiteral(" and recid<>") + QString::number(ui_.txtRecordNum->text().toLongLong());
  RecordSet rs(&ZEL1.cnData);
  rs.open(sql);
  if (rs.eof()) return false;
  refuse(QStringLiteral("You are trying to save a record that already exists. You are not permitted to have "
                        "duplicate entries."),
         ui_.txtSection);
  return true;
}

void frmDataEntry::writeRecord(bool isNew) {
  RecordSet& rs = ZEL1.rsRecords;
  const QString empty = QStringLiteral("select * from zel where recid=0");
  if (isNew) {
    if (!rs.isOpen()) rs.open(empty, RecordSet::Cursor::Static);
    try {
      rs.addNew();
    } catch (const DbError&) {
      // Another window left the set open read-only: take the empty set on zel instead.
      rs.open(empty, RecordSet::Cursor::Static);
      rs.addNew();
    }
  }
  record_->write(rs, isNew);
  const QString state = RecordFields::stateLetter(
      ui_.txtIntermentDate->hasValidDate(), ui_.txtInterredFirstName->text(), ui_.txtInterredLastName->text(),
      ui_.txtPurchDate->hasValidDate(), ui_.txtPurchaserFirstName->text(), ui_.txtPurchaserLastName->text());
  rs.assign(QStringLiteral("status"), state);
  if (!isNew && shownVersion_) rs.expectVersion(*shownVersion_);
  const qint64 saved = History::saveRow(ZEL1.cnData, rs, QStringLiteral("zel"));
  // The saved state shows at once: a burial just saved never reads as open.
  ui_.txtStatus->setText(GraveState::formText(GraveState::fromStored(state)));
  // The number the database gave: with other clerks adding, the set's last row may be theirs.
  if (isNew) ui_.txtRecordNum->setText(QString::number(saved));
  // The set's row is the one just saved.
  record_->keepStored(rs);
  shownVersion_ = rs.version();
}

bool frmDataEntry::save() {
  if (!checkFields()) return false;
  const bool isNew = ui_.txtRecordNum->text().isEmpty();
  RecordSet& rs = ZEL1.rsRecords;
  try {
    // The form's row must be the set's current row; it is read again when the set moved elsewhere.
    if (!isNew && !onRecord(rs, ui_.txtRecordNum->text())) {
      openRecords(QStringLiteral("select * from zel where recid=") +
                  QString::number(ui_.txtRecordNum->text().toLongLong()));
      if (rs.isEmpty() && ZEL1.cnData.isServer()) return resolveConflict(true);
      if (rs.isEmpty())
        return refuse(QStringLiteral("This record no longer exists in the database."), ui_.txtSection);
    }
    if (placeTaken(isNew)) return false;
    writeRecord(isNew);
  } catch (const RowConflict& c) {
    return resolveConflict(c.removed());
  } catch (const std::exception& e) {
    if (rs.isOpen()) rs.cancelUpdate();
    showFailure(e);
    return false;
  }
  ZEL1.RecordChanged = false;
  record_->keepShown();
  return true;
}

bool frmDataEntry::resolveConflict(bool removed) {
  RecordSet& rs = ZEL1.rsRecords;
  QStringList columns;
  const QString choices = QStringLiteral(
      "Your typed values are still on the form.\n\nSave Over: save them anyway. Reload: show the record "
      "as it is stored now. Cancel: go on editing.");
  const QString text =
      removed ? QStringLiteral(
                    "Another clerk removed this record since it was shown; it was not saved.\n\n"
                    "Save Over saves your values as a new record; Reload empties the form.\n\n") +
                    choices
              : changedText(rs, QStringLiteral("saved"), &columns) + QStringLiteral("\n\n") + choices;
  switch (messages().choice(text, QStringLiteral("Save Over"), QStringLiteral("Reload"))) {
    case MessageService::Answer::Yes:
      if (removed) {
        ui_.txtRecordNum->clear();
      } else {
        // The other clerk's values stay in the fields this clerk left alone; this clerk's edits go
        // over the rest.
        QStringList untouched;
        for (const QString& c : columns)
          if (QWidget* w = record_->control(c); w && !record_->edited(w)) untouched << c;
        record_->showStored(rs, untouched);
        record_->keepStored(rs);
        shownVersion_ = rs.version();
      }
      return save();
    case MessageService::Answer::No:
      if (removed)
        showRecord(nullptr);
      else
        showRecord(&rs);
      return false;
    default:
      return false;
  }
}

void frmDataEntry::mnuRemoveClick() {
  if (ui_.txtRecordNum->text().isEmpty()) {
    messages().information(QStringLiteral("Nothing to remove."));
    return;
  }
  if (messages().question(
          QStringLiteral("This is not a function that can be un-done.\n\nAre you absolutely sure you "
                         "want to remove this record?"),
          true) != MessageService::Answer::Yes)
    return;
  const qint64 recid = ui_.txtRecordNum->text().toLongLong();
  // On a server only the version shown goes; one removed meanwhile is said once, and the form moves on.
  const QString gone = QStringLiteral("Another clerk removed this record already.");
  try {
    if (!History::removeRow(ZEL1.cnData, QStringLiteral("zel"), recid, shownVersion_) &&
        ZEL1.cnData.isServer())
      messages().information(gone);
  } catch (const RowConflict& c) {
    if (!c.removed()) return removeConflict(recid);
    messages().information(gone);
  } catch (const std::exception& e) {
    showFailure(e);
    return;
  }
  clearForm();
}

QString frmDataEntry::changedText(const RecordSet& rs, const QString& notDone, QStringList* columns) const {
  return QStringLiteral("Another clerk changed this record since it was shown; it was not %1.\n\n")
             .arg(notDone) +
         record_->changedSince(rs, columns).join(u'\n');
}

void frmDataEntry::removeConflict(qint64 recid) {
  // The record as stored now, beside the navigation's set: the clerk looks before removing it.
  RecordSet now(&ZEL1.cnData);
  now.open(QStringLiteral("select * from zel where recid=") + QString::number(recid),
           RecordSet::Cursor::Static);
  if (now.eof()) {
    messages().information(QStringLiteral("Another clerk removed this record already."));
    return clearForm();
  }
  QStringList columns;
  const QString text = changedText(now, QStringLiteral("removed"), &columns) +
                       QStringLiteral("\n\nReload the record as it is stored now? You can remove it then.");
  // Reloading drops the form's own edits: then No is the safe default.
  if (messages().question(text, ZEL1.RecordChanged) == MessageService::Answer::Yes) showRecord(&now);
}
