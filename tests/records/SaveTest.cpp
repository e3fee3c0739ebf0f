// Saving and removing records through the form, checked in the database.

#include "RecordFormFixture.h"
#include "gui/controls/MaskedEdit.h"
#include "gui/controls/MoneyEdit.h"

namespace {
QString col(const QString& column, const QString& recid) {
  return scalar(QStringLiteral("select %1 from zel where recid=%2").arg(column, recid));
}
// The change history's entries after entry `after`: "kind field" each, oldest first.
QString entriesAfter(const QString& after) {
  return scalar(
      QStringLiteral("select group_concat(trim(kind || ' ' || field), ', ') from (select * from history "
                     "where id>%1 and kind<>'history begins' order by id)")
          .arg(after));
}
QString lastEntry() { return scalar(QStringLiteral("select coalesce(max(id), 0) from history")); }
}  // namespace

// Add, save and remove on the file and on a server alike.
class Saving : public RecordFormOf<EngineTest> {};
ZEL_ON_BOTH_ENGINES(Saving);

TEST_P(Saving, ANewRecordIsStoredFieldByFieldAndSavedTwiceIsOneRow) {
  const qint64 cem = addCemetery(QStringLiteral("Oakwood"));
  const qint64 lot = addLot(QStringLiteral("Single"), QStringLiteral("'4x8'"), QStringLiteral("100"));
  open();
  placeNew(QStringLiteral("B-2"), QStringLiteral("10"), QStringLiteral("3"));
  type(form->ui().txtInterredFirstName, QStringLiteral(" Mary "));
  type(form->ui().txtInterredLastName, QStringLiteral("O'Neil"));
  type(form->ui().txtDateOfBirth, QStringLiteral("03-15-1921"));
  type(form->ui().txtDateOfDeath, QStringLiteral("03-15-2001"));
  type(form->ui().txtIntermentDate, QStringLiteral("03-18-2001"));
  type(form->ui().txtDeedBook, QStringLiteral("D'7"));
  type(form->ui().txtDeedPage, QStringLiteral("12a"));  // the field takes digits only
  type(form->ui().txtPurchPrice, QStringLiteral("1234.56"));
  type(form->ui().txtPaid, QStringLiteral("-0.5"));
  type(form->ui().txtRemarks, QStringLiteral("Row's end"));
  form->ui().txtMale->click();
  form->ui().txtAddr1->setText(QStringLiteral("1 Elm St"));
  moveTo(form->ui().txtVault);
  form->ui().mnuSave->trigger();

  const QString id = form->ui().txtRecordNum->text();
  ASSERT_FALSE(id.isEmpty());
  EXPECT_FALSE(ZEL1.RecordChanged);
  EXPECT_EQ(col("csection", id), QStringLiteral("B-2"));
  EXPECT_EQ(col("cemeteryid", id).toLongLong(), cem);
  EXPECT_EQ(col("lotid", id).toLongLong(), lot);
  EXPECT_EQ(col("interfirstname", id), QStringLiteral(" Mary "));  // stored as typed, untrimmed
  EXPECT_EQ(col("interlastname", id), QStringLiteral("O'Neil"));
  EXPECT_EQ(col("birthdate", id), QStringLiteral("1921-03-15"));
  EXPECT_EQ(col("interdate", id), QStringLiteral("2001-03-18"));
  EXPECT_EQ(col("purchdate", id), QString());
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel where purchdate is null")), QStringLiteral("1"));
  EXPECT_EQ(col("deedpage", id), QStringLiteral("12"));
  EXPECT_EQ(col("age", id), QStringLiteral("0"));
  EXPECT_EQ(col("internum", id), QStringLiteral("0"));
  EXPECT_EQ(col("purchprice", id), QStringLiteral("1234.56"));
  EXPECT_EQ(col("amtpaid", id), QStringLiteral("-0.50"));
  EXPECT_EQ(col("sex", id), QStringLiteral("M"));
  EXPECT_EQ(col("status", id), QStringLiteral("B"));
  EXPECT_EQ(col("owneraddress1", id), QStringLiteral("1 Elm St"));
  EXPECT_EQ(col("ownercity", id), QString());
  EXPECT_EQ(col("remarks", id), QStringLiteral("Row's end"));

  type(form->ui().txtCertificateNum, QStringLiteral("C-1"));
  form->mnuSaveClick();
  EXPECT_EQ(form->ui().txtRecordNum->text(), id);
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QStringLiteral("1"));
  EXPECT_EQ(col("certnum", id), QStringLiteral("C-1"));
}

TEST_P(Saving, StateLetterFollowsWhatIsFilledIn) {
  addCemetery(QStringLiteral("Oakwood"));
  addLot(QStringLiteral("Single"), QStringLiteral("NULL"), QStringLiteral("NULL"));
  open();
  // One record saved as it fills in: sold, reserved, buried; the form shows the saved state.
  placeNew(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("99"));
  const std::tuple<QLineEdit*, const char*, const char*> steps[] = {
      {form->ui().txtPurchaserFirstName, "S", "SOLD"},
      {form->ui().txtInterredFirstName, "R", "RESERVED"},
      {form->ui().txtIntermentDate, "B", "BURIED"}};
  for (auto [field, state, shown] : steps) {
    type(field, field == form->ui().txtIntermentDate ? QStringLiteral("02-02-2002") : QStringLiteral("Jo"));
    moveTo(form->ui().txtVault);
    form->mnuSaveClick();
    EXPECT_EQ(col("status", form->ui().txtRecordNum->text()), QLatin1String(state));
    EXPECT_EQ(form->ui().txtStatus->text(), QLatin1String(shown));
    EXPECT_FALSE(ZEL1.RecordChanged);
  }
}

TEST_P(Saving, SaveRefusesBadDatesAndMissingChoicesInOrder) {
  addCemetery(QStringLiteral("Oakwood"));
  addCemetery(QStringLiteral("Maple"));
  addLot(QStringLiteral("Single"), QStringLiteral("NULL"), QStringLiteral("NULL"));
  open();
  // Dates set directly: the save checks them again whatever the fields let through. A refusal
  // puts the focus on the field in question.
  auto attempt = [&](const QString& message, QWidget* field = nullptr) {
    if (!message.isEmpty()) msgs->expectInfo(message);
    form->mnuSaveClick();
    msgs->verify();
    if (field) {
      EXPECT_EQ(form->focusWidget(), field) << message.toStdString();
    }
  };
  form->ui().txtSection->setText(QStringLiteral("A"));
  form->ui().txtIntermentDate->setDate(today().addDays(6));
  form->ui().txtDateOfBirth->setDate(today().addDays(1));
  attempt(QStringLiteral(
              "Invalid Interment Date.\n\nThis date can not be greater than 5 days from today's date."),
          form->ui().txtIntermentDate);
  form->ui().txtIntermentDate->setDate(today().addDays(5));
  attempt(QStringLiteral("Invalid Date of Birth.\n\nThis date can not be greater than today's date."),
          form->ui().txtDateOfBirth);
  form->ui().txtDateOfBirth->setDate(today());
  form->ui().txtDateOfDeath->setDate(today().addDays(1));
  attempt(QStringLiteral("Invalid Date of Death.\n\nThis date can not be greater than today's date."));
  form->ui().txtDateOfBirth->setDate(QDate(1950, 1, 2));
  form->ui().txtDateOfDeath->setDate(QDate(1950, 1, 1));
  attempt(QStringLiteral("You cannot have a date-of-birth greater than the date-of-death."));
  form->ui().txtDateOfDeath->setDate(QDate(1950, 1, 2));  // same day passes
  form->ui().txtIntermentDate->setDate(QDate(1950, 1, 1));
  attempt(QStringLiteral("You cannot have a date-of-death greater than the date-of-interment."));
  form->ui().txtIntermentDate->setDate(QDate(1950, 1, 2));
  attempt(QStringLiteral("You haven't assigned a valid cemetery yet."), form->ui().txtCemetery);
  choose(form->ui().txtCemetery, 1);
  attempt(QStringLiteral("You haven't assigned a valid lot type yet."));
  EXPECT_TRUE(ZEL1.RecordChanged);
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QStringLiteral("0"));
  choose(form->ui().txtLotInfo, 0);
  attempt(QString());
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QStringLiteral("1"));
}

TEST_P(Saving, APlaceCanHoldOnlyOneRecord) {
  addCemetery(QStringLiteral("Oakwood"));
  addLot(QStringLiteral("Single"), QStringLiteral("NULL"), QStringLiteral("NULL"));
  const qint64 cem = scalar(QStringLiteral("select cemeteryid from cemetery")).toLongLong();
  // A section holding a quote, as an import may have written it.
  exec(QStringLiteral(
           "insert into zel (cemeteryid, csection, lot, grave, lotid) values (%1, 'B''2', '1', '1', 1)")
           .arg(cem));
  exec(QStringLiteral(
           "insert into zel (cemeteryid, csection, lot, grave, lotid) values (%1, 'C', '1', '1', 1)")
           .arg(cem));
  const QString dup = QStringLiteral(
      "You are trying to save a record that already exists. You are not permitted to have duplicate "
      "entries.");
  open();
  const QString mark = lastEntry();

  placeNew(QStringLiteral("c"), QStringLiteral("1"), QStringLiteral("1"));  // text compare ignores case
  msgs->expectInfo(dup);
  form->mnuSaveClick();
  EXPECT_TRUE(form->ui().txtRecordNum->text().isEmpty());

  // The stored record with the quote: saved unchanged, then moved onto a taken place and a free one.
  msgs->expectQuestion(QStringLiteral("Would you like to save your changes first?"),
                       MessageService::Answer::No, true);
  form->mnuGetFirstClick();
  ASSERT_EQ(form->ui().txtSection->text(), QStringLiteral("B'2"));
  type(form->ui().txtRemarks, QStringLiteral("kept"));
  form->mnuSaveClick();
  EXPECT_EQ(scalar(QStringLiteral("select remarks from zel where csection='B''2'")), QStringLiteral("kept"));
  form->ui().txtSection->setText(QStringLiteral("C"));
  msgs->expectInfo(dup);
  form->mnuSaveClick();
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel where csection='C'")), QStringLiteral("1"));
  form->ui().txtSection->setText(QStringLiteral("D'4"));
  form->mnuSaveClick();
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel where csection='D''4'")), QStringLiteral("1"));
  EXPECT_FALSE(ZEL1.RecordChanged);
  // The refused saves wrote no history; each save wrote the fields it changed (the state letter too).
  EXPECT_EQ(entriesAfter(mark),
            QStringLiteral("record saved remarks, record saved status, record saved csection"));
}

TEST_P(Saving, RemoveAsksAndClearsTheForm) {
  addCemetery(QStringLiteral("Oakwood"));
  addLot(QStringLiteral("Single"), QStringLiteral("NULL"), QStringLiteral("NULL"));
  exec(QStringLiteral(
      "insert into zel (cemeteryid, csection, lot, grave, lotid) values (1, 'A', '1', '1', 1)"));
  exec(QStringLiteral(
      "insert into zel (cemeteryid, csection, lot, grave, lotid) values (1, 'A', '1', '2', 1)"));
  open();
  msgs->expectInfo(QStringLiteral("Nothing to remove."));
  form->ui().mnuRemove->trigger();

  form->mnuGetFirstClick();
  const QString question = QStringLiteral(
      "This is not a function that can be un-done.\n\nAre you absolutely sure you want to remove this "
      "record?");
  msgs->expectQuestion(question, MessageService::Answer::No, true);
  form->mnuRemoveClick();
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QStringLiteral("2"));
  EXPECT_EQ(form->ui().txtGrave->text(), QStringLiteral("1"));

  msgs->expectQuestion(question, MessageService::Answer::Yes, true);
  form->mnuRemoveClick();
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QStringLiteral("1"));
  EXPECT_EQ(scalar(QStringLiteral("select grave from zel")), QStringLiteral("2"));
  EXPECT_EQ(scalar(QStringLiteral("select kind || ' ' || recid from history where id=") + lastEntry()),
            QStringLiteral("record removed 1"));
  EXPECT_TRUE(form->ui().txtRecordNum->text().isEmpty());
  EXPECT_TRUE(form->ui().txtSection->text().isEmpty());
  // The set steps over the removed row.
  form->mnuGetNextClick();
  EXPECT_EQ(form->ui().txtGrave->text(), QStringLiteral("2"));
}

TEST_F(RecordForm, ADatabaseFailureIsReportedAndTheEditsStay) {
  addCemetery(QStringLiteral("Oakwood"));
  addLot(QStringLiteral("Single"), QStringLiteral("NULL"), QStringLiteral("NULL"));
  open();
  placeNew(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"));
  const QString mark = lastEntry();
  exec(QStringLiteral("alter table zel rename to zel_away"));
  msgs->expectInfo(QStringLiteral("*"));
  form->mnuSaveClick();
  EXPECT_TRUE(ZEL1.RecordChanged);
  EXPECT_TRUE(form->ui().txtRecordNum->text().isEmpty());
  EXPECT_EQ(form->ui().txtSection->text(), QStringLiteral("A"));
  exec(QStringLiteral("alter table zel_away rename to zel"));
  EXPECT_EQ(entriesAfter(mark), QString());
  form->mnuSaveClick();
  EXPECT_FALSE(form->ui().txtRecordNum->text().isEmpty());
  EXPECT_EQ(entriesAfter(mark), QStringLiteral("record added"));
}

TEST_F(RecordForm, AStoredDateIsErasedOnlyByEmptyingItsField) {
  addCemetery(QStringLiteral("Oakwood"));
  addLot(QStringLiteral("Single"), QStringLiteral("NULL"), QStringLiteral("NULL"));
  exec(
      QStringLiteral("insert into zel (cemeteryid, csection, lot, grave, lotid, birthdate) "
                     "values (1, 'A', '1', '1', 1, '1921-03-15')"));
  exec(QStringLiteral(
      "insert into zel (cemeteryid, csection, lot, grave, lotid) values (1, 'A', '1', '2', 1)"));
  const QString hint = QStringLiteral(
      "Type the date as mm-dd-yyyy, for example 03-15-1931.\n\n"
      "If you are trying to enter only the year of a date, we recommend you enter the first day of the "
      "first month of the year that you have to enter. For example, if you only have the year 1922 you "
      "might enter 01-01-1922.");
  const auto stored = [] { return scalar(QStringLiteral("select birthdate from zel where grave='1'")); };
  open();
  form->mnuGetFirstClick();
  // Retyped as no date and saved with F12, or with Page Down and Yes: refused, the text stays to be
  // corrected, the stored date is kept.
  type(form->ui().txtDateOfBirth, QStringLiteral("3/25/32"));
  msgs->expectInfo(hint);
  QTest::keyClick(form->ui().txtDateOfBirth, Qt::Key_F12);
  msgs->expectQuestion(QStringLiteral("Would you like to save your changes first?"),
                       MessageService::Answer::Yes);
  msgs->expectInfo(hint);
  QTest::keyClick(form->ui().txtDateOfBirth, Qt::Key_PageDown);
  EXPECT_EQ(form->ui().txtGrave->text(), QStringLiteral("1"));
  EXPECT_EQ(form->ui().txtDateOfBirth->text(), QStringLiteral("3/25/32"));
  EXPECT_EQ(form->focusWidget(), form->ui().txtDateOfBirth);
  EXPECT_EQ(stored(), QStringLiteral("1921-03-15"));
  // Left, the field shows the stored date again; a save keeps it.
  msgs->expectInfo(hint);
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->ui().txtDateOfBirth->date(), QDate(1921, 3, 15));
  form->mnuSaveClick();
  EXPECT_EQ(stored(), QStringLiteral("1921-03-15"));
  // Only the user emptying the field clears it.
  type(form->ui().txtDateOfBirth, QString());
  QTest::keyClick(form->ui().txtDateOfBirth, Qt::Key_Backspace);
  moveTo(form->ui().txtRemarks);
  form->mnuSaveClick();
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel where grave='1' and birthdate is null")),
            QStringLiteral("1"));
}

TEST_F(RecordForm, ASaveRewritesNothingTheUserLeftAsItWas) {
  addCemetery(QStringLiteral("Oakwood"));
  addLot(QStringLiteral("Single"), QStringLiteral("NULL"), QStringLiteral("NULL"));
  // Values the form shows trimmed, rounded, without the time of day, or not at all (too large).
  exec(QStringLiteral(
      "insert into zel (cemeteryid, csection, lot, grave, lotid, interlastname, deathdate, age, internum) "
      "values (1, 'A', '1', '1', 1, ' Smith  ', '2001-03-15 14:05:09', 71.6, 1e23)"));
  {
    RecordSet rs(&ZEL1.cnData);
    rs.open(QStringLiteral("select * from zel"), RecordSet::Cursor::Static);
    rs.moveFirst();
    rs.assign(QStringLiteral("amtpaid"), Money::fromScaled(123456));  // 12.3456
    rs.update();
  }
  const QString before =
      scalar(QStringLiteral("select interlastname || '|' || deathdate || '|' || age || '|' || internum || "
                            "'|' || amtpaid from zel"));
  open();
  form->mnuGetFirstClick();
  EXPECT_EQ(form->ui().txtInterredLastName->text(), QStringLiteral("Smith"));
  EXPECT_EQ(form->ui().txtAge->text(), QStringLiteral("72"));
  EXPECT_EQ(form->ui().txtIntermentNum->text(), QStringLiteral("1e+23"));  // never a wrapped number
  type(form->ui().txtRemarks, QStringLiteral("changed"));
  form->mnuSaveClick();
  EXPECT_FALSE(ZEL1.RecordChanged);
  EXPECT_EQ(scalar(QStringLiteral("select remarks from zel")), QStringLiteral("changed"));
  EXPECT_EQ(scalar(QStringLiteral(
                "select interlastname || '|' || deathdate || '|' || age || '|' || internum || '|' || amtpaid "
                "from zel")),
            before);
}

TEST_F(RecordForm, NumbersBeyondTheirColumnAreRefusedNamingTheField) {
  addCemetery(QStringLiteral("Oakwood"));
  addLot(QStringLiteral("Single"), QStringLiteral("NULL"), QStringLiteral("NULL"));
  open();
  placeNew(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"));
  // The fields take no more digits than their column holds.
  type(form->ui().txtIntermentNum, QStringLiteral("12345678901234567890123"));
  type(form->ui().txtAge, QStringLiteral("12345"));
  EXPECT_EQ(form->ui().txtIntermentNum->text(), QStringLiteral("1234567890"));
  EXPECT_EQ(form->ui().txtAge->text(), QStringLiteral("123"));
  struct Case {
    MaskedEdit* field;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {form->ui().txtIntermentNum, "2147483648", "Interment # must be a whole number from 0 to 2147483647."},
      {form->ui().txtDeedPage, "9999999999", "Deed Page must be a whole number from 0 to 2147483647."},
      {form->ui().txtAge, "151", "Age must be a whole number from 0 to 150."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    form->ui().txtIntermentNum->clear();
    form->ui().txtDeedPage->clear();
    form->ui().txtAge->clear();
    type(c.field, QLatin1String(c.text));
    msgs->expectInfo(QLatin1String(c.message));
    form->mnuSaveClick();
    msgs->verify();
    EXPECT_EQ(form->focusWidget(), c.field);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QStringLiteral("0"));
  }
  // The largest ones are stored exactly.
  form->ui().txtAge->setText(QStringLiteral("150"));
  form->ui().txtDeedPage->setText(QStringLiteral("2147483647"));
  form->mnuSaveClick();
  EXPECT_EQ(col("deedpage", form->ui().txtRecordNum->text()), QStringLiteral("2147483647"));
  EXPECT_EQ(col("age", form->ui().txtRecordNum->text()), QStringLiteral("150"));
}
