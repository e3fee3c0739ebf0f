// Field entry rules, save and remove of the record form.
#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <QTimer>

#include "controls/DateEdit.h"
#include "controls/MaskedEdit.h"
#include "controls/MessageService.h"
#include "controls/MoneyEdit.h"
#include "program/Zel1.h"
#include "program/Zel2.h"
#include "records/frmDataEntry.h"
#include "store/DbError.h"

namespace {

const QString kNotAfterToday = QStringLiteral("This date can not be greater than today's date.");
const QString kNotAfterFiveDays =
    QStringLiteral("This date can not be greater than 5 days from today's date.");

QString twoParts(const QString& a, const QString& b) { return a + QStringLiteral("\n\n") + b; }

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
  if (suppressFocus_) return;
  field->clear();
  messages().information(QStringLiteral(
      "If you are trying to enter only the year of a date, we recommend you enter the first day of the "
      "first month of the year that you have to enter. For example, if you only have the year 1922 you "
      "might enter 1/1/1922."));
  QCoreApplication::processEvents();
  returnFocusTo(field);
}

void frmDataEntry::txtIntermentDateLeave() {
  if (suppressFocus_) return;
  const QDate d = txtIntermentDate->date();
  if (!d.isValid()) return;
  if (QDate::currentDate().daysTo(d) > 5) {
    messages().information(twoParts(QStringLiteral("Invalid Interment Date."), kNotAfterFiveDays));
    returnFocusTo(txtIntermentDate);
  }
}

void frmDataEntry::txtDateOfBirthLeave() {
  if (suppressFocus_) return;
  const QDate d = txtDateOfBirth->date();
  if (!d.isValid()) return;
  if (QDate::currentDate().daysTo(d) > 0) {
    messages().information(twoParts(QStringLiteral("Invalid Date of Birth."), kNotAfterToday));
    returnFocusTo(txtDateOfBirth);
  }
}

void frmDataEntry::txtDateOfDeathLeave() {
  if (suppressFocus_) return;
  const QDate d = txtDateOfDeath->date();
  if (d.isValid() && QDate::currentDate().daysTo(d) > 0) {
    messages().information(twoParts(QStringLiteral("Invalid Date of Death."), kNotAfterToday));
    returnFocusTo(txtDateOfDeath);
  }
  // Checked even after a refusal above: a date of death before a kept date of birth goes too.
  const QDate birth = txtDateOfBirth->date();
  if (d.isValid() && birth.isValid() && birth.daysTo(d) < 0) {
    messages().information(
        QStringLiteral("You cannot have a date-of-birth greater than a date-of-death. Please try again."));
    txtDateOfDeath->clear();
    returnFocusTo(txtDateOfDeath);
  }
}

void frmDataEntry::txtAgeEnter() {
  if (suppressFocus_) return;
  const QDate birth = txtDateOfBirth->date();
  const QDate death = txtDateOfDeath->date();
  if (birth.isValid() && death.isValid()) txtAge->setText(QString::number(death.year() - birth.year()));
}

void frmDataEntry::txtAgeLeave() {
  if (suppressFocus_) return;
  const int age = int(leadingNumber(txtAge->text()));
  if (!txtDateOfBirth->hasValidDate() && txtDateOfDeath->hasValidDate())
    txtDateOfBirth->setDate(txtDateOfDeath->date().addYears(-age));
  if (!txtDateOfDeath->hasValidDate() && txtDateOfBirth->hasValidDate())
    txtDateOfDeath->setDate(txtDateOfBirth->date().addYears(age));
}

// ---- Save and remove ----

bool frmDataEntry::placeTaken(bool isNew) {
  const qint64 cemeteryId = txtCemetery->currentData().toLongLong();
  QString sql = QStringLiteral("select * from zel where cemeteryid=") + QString::number(cemeteryId) +
                QStringLiteral(" and csection='") + ZEL2::SqlQuote(txtSection->text()) +
                QStringLiteral("' and lot='") + ZEL2::SqlQuote(txtLot->text()) +
                QStringLiteral("' and grave='") + ZEL2::SqlQuote(txtGrave->text()) + QStringLiteral("'");
  if (!isNew) {
    // A stored record is checked only when its place was changed; its own row does not count.
    const RecordSet& cur = ZEL1.rsRecords;
    const bool samePlace = cur.field(QStringLiteral("cemeteryid")).toInt() == cemeteryId &&
                           cur.field(QStringLiteral("csection")).toString() == txtSection->text() &&
                           cur.field(QStringLiteral("lot")).toString() == txtLot->text() &&
                           cur.field(QStringLiteral("grave")).toString() == txtGrave->text();
    if (samePlace) return false;
    sql += QStringLiteral(" and recid<>") + txtRecordNum->text();
  }
  RecordSet& rs = ZEL1.rsLookup2;
  if (rs.isOpen()) rs.close();
  rs.open(sql);
  const bool taken = !rs.eof();
  rs.close();
  if (taken)
    messages().information(QStringLiteral(
        "You are trying to save a record that already exists. You are not permitted to have duplicate "
        "entries."));
  return taken;
}

bool frmDataEntry::writeRecord(bool isNew) {
  RecordSet& rs = ZEL1.rsRecords;
  if (isNew) {
    if (!rs.isOpen()) rs.open(QStringLiteral("select * from zel where recid=0"), RecordSet::Cursor::Static);
    try {
      rs.addNew();
    } catch (const DbError&) {
      // Another window left the set open read-only: take the empty set on zel instead.
      rs.open(QStringLiteral("select * from zel where recid=0"), RecordSet::Cursor::Static);
      rs.addNew();
    }
  }
  auto text = [&](const char* col, const QLineEdit* f) { rs.assign(QLatin1String(col), f->text()); };
  auto number = [&](const char* col, const QLineEdit* f) {
    rs.assign(QLatin1String(col), leadingNumber(f->text()));
  };
  auto date = [&](const char* col, const DateEdit* f) {
    const QDate d = f->date();
    rs.assign(QLatin1String(col), d.isValid() ? Value(d) : Value());
  };
  const bool interDate = txtIntermentDate->hasValidDate();

  text("csection", txtSection);
  text("lot", txtLot);
  text("grave", txtGrave);
  text("owneraddress1", txtAddr1);
  text("owneraddress2", txtAddr2);
  text("ownercity", txtCity);
  text("ownerstate", txtState);
  text("ownerzip", txtZipCode);
  text("ownerphone", txtPhone);
  rs.assign(QStringLiteral("lotid"), qint64(qint32(txtLotInfo->currentData().toLongLong())));
  rs.assign(
      QStringLiteral("status"),
      deriveState(interDate, txtInterredFirstName->text(), txtInterredLastName->text(),
                  txtPurchDate->hasValidDate(), txtPurchaserFirstName->text(), txtPurchaserLastName->text()));
  rs.assign(QStringLiteral("cemeteryid"), qint64(qint32(txtCemetery->currentData().toLongLong())));
  number("internum", txtIntermentNum);
  date("interdate", txtIntermentDate);
  text("interfirstname", txtInterredFirstName);
  text("interlastname", txtInterredLastName);
  date("birthdate", txtDateOfBirth);
  date("deathdate", txtDateOfDeath);
  number("age", txtAge);
  QString sex = QStringLiteral(" ");
  if (txtMale->isChecked()) sex = QStringLiteral("M");
  if (txtFemale->isChecked()) sex = QStringLiteral("F");
  if (txtUnknown->isChecked()) sex = QStringLiteral("U");
  rs.assign(QStringLiteral("sex"), sex);
  text("ownerfirstname", txtPurchaserFirstName);
  text("ownerlastname", txtPurchaserLastName);
  text("deedbook", txtDeedBook);
  number("deedpage", txtDeedPage);
  text("certnum", txtCertificateNum);
  date("purchdate", txtPurchDate);
  rs.assign(QStringLiteral("purchprice"), txtPurchPrice->value());
  rs.assign(QStringLiteral("burialfee"), txtBurialFee->value());
  rs.assign(QStringLiteral("amtpaid"), txtPaid->value());
  text("vault", txtVault);
  text("birthplace", txtPlaceOfBirth);
  text("latereside", txtLateResidence);
  text("socialstate", txtSocialState);
  text("nearestrelative", txtNearestRelative);
  text("undertaker", txtUndertaker);
  text("deathcause", txtCauseOfDeath);
  text("remarks", txtRemarks);
  rs.update();

  if (isNew) {
    rs.moveLast();
    txtRecordNum->setText(QString::number(rs.field(QStringLiteral("recid")).toInt()));
  }
  return true;
}

void frmDataEntry::mnuSaveClick() {
  const QDate today = QDate::currentDate();
  const QDate inter = txtIntermentDate->date();
  const QDate birth = txtDateOfBirth->date();
  const QDate death = txtDateOfDeath->date();
  if (inter.isValid() && today.daysTo(inter) > 5) {
    messages().information(twoParts(QStringLiteral("Invalid Interment Date."), kNotAfterFiveDays));
    return;
  }
  if (birth.isValid() && birth > today) {
    messages().information(twoParts(QStringLiteral("Invalid Date of Birth."), kNotAfterToday));
    return;
  }
  if (death.isValid() && death > today) {
    messages().information(twoParts(QStringLiteral("Invalid Date of Death."), kNotAfterToday));
    return;
  }
  if (birth.isValid() && death.isValid() && birth > death) {
    messages().information(QStringLiteral("You cannot have a date-of-birth greater than the date-of-death."));
    return;
  }
  if (death.isValid() && inter.isValid() && death > inter) {
    messages().information(
        QStringLiteral("You cannot have a date-of-death greater than the date-of-interment."));
    return;
  }
  if (txtCemetery->currentIndex() < 0) {
    messages().information(QStringLiteral("You haven't assigned a valid cemetery yet."));
    return;
  }
  if (txtLotInfo->currentIndex() < 0) {
    messages().information(QStringLiteral("You haven't assigned a valid lot type yet."));
    return;
  }
  const bool isNew = txtRecordNum->text().isEmpty();
  try {
    if (!isNew) {
      // The form's row must be the set's current row; reopen it when the set moved elsewhere.
      RecordSet& rs = ZEL1.rsRecords;
      bool onRow = false;
      try {
        onRow = rs.isOpen() && !rs.eof() && !rs.bof() &&
                QString::number(rs.field(QStringLiteral("recid")).toInt()) == txtRecordNum->text();
      } catch (const DbError&) {
        onRow = false;  // the current row was removed meanwhile
      }
      if (!onRow) {
        if (rs.isOpen()) rs.close();
        rs.open(QStringLiteral("select * from zel where recid=") +
                    QString::number(txtRecordNum->text().toLongLong()),
                RecordSet::Cursor::Static);
        if (rs.isEmpty()) {
          messages().information(QStringLiteral("This record no longer exists in the database."));
          return;
        }
      }
    }
    if (placeTaken(isNew)) return;
    writeRecord(isNew);
  } catch (const std::exception& e) {
    if (ZEL1.rsRecords.isOpen()) ZEL1.rsRecords.cancelUpdate();
    reportError(e);
    return;
  }
  ZEL1.RecordChanged = false;
}

void frmDataEntry::mnuRemoveClick() {
  if (txtRecordNum->text().isEmpty()) {
    messages().information(QStringLiteral("Nothing to remove."));
    return;
  }
  if (messages().question(
          QStringLiteral("This is not a function that can be un-done.\n\nAre you absolutely sure you "
                         "want to remove this record?"),
          true) != MessageService::Answer::Yes)
    return;
  try {
    ZEL1.cnData.execute(QStringLiteral("delete from zel where recid=") + txtRecordNum->text());
  } catch (const std::exception& e) {
    reportError(e);
    return;
  }
  mnuNewClick();
}
