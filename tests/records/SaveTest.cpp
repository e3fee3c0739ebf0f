// Saving and removing records through the form, checked in the database.
#include <QRadioButton>

#include "RecordFormFixture.h"
#include "controls/MaskedEdit.h"
#include "controls/MoneyEdit.h"

namespace {
QString col(const QString& column, const QString& recid) {
  return scalar(QStringLiteral("select %1 from zel where recid=%2").arg(column, recid));
}
}  // namespace

TEST_F(RecordForm, ANewRecordIsStoredFieldByFieldAndSavedTwiceIsOneRow) {
  const qint64 cem = addCemetery(QStringLiteral("Oakwood"));
  const qint64 lot = addLot(QStringLiteral("Single"), QStringLiteral("'4x8'"), QStringLiteral("100"));
  open();
  placeNew(QStringLiteral("B-2"), QStringLiteral("10"), QStringLiteral("3"));
  type(form->txtInterredFirstName, QStringLiteral(" Mary "));
  type(form->txtInterredLastName, QStringLiteral("O'Neil"));
  type(form->txtDateOfBirth, QStringLiteral("03-15-1921"));
  type(form->txtDateOfDeath, QStringLiteral("03-15-2001"));
  type(form->txtIntermentDate, QStringLiteral("03-18-2001"));
  type(form->txtDeedBook, QStringLiteral("D'7"));
  type(form->txtDeedPage, QStringLiteral("12a"));  // the field takes digits only
  type(form->txtPurchPrice, QStringLiteral("1234.56"));
  type(form->txtPaid, QStringLiteral("-0.5"));
  type(form->txtRemarks, QStringLiteral("Row's end"));
  form->txtMale->click();
  form->txtAddr1->setText(QStringLiteral("1 Elm St"));
  moveTo(form->txtVault);
  form->mnuSave->trigger();

  const QString id = form->txtRecordNum->text();
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

  type(form->txtCertificateNum, QStringLiteral("C-1"));
  form->mnuSaveClick();
  EXPECT_EQ(form->txtRecordNum->text(), id);
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QStringLiteral("1"));
  EXPECT_EQ(col("certnum", id), QStringLiteral("C-1"));
}

TEST_F(RecordForm, StateLetterFollowsWhatIsFilledIn) {
  addCemetery(QStringLiteral("Oakwood"));
  addLot(QStringLiteral("Single"), QStringLiteral("NULL"), QStringLiteral("NULL"));
  open();
  struct Case {
    const char* what;
    std::function<void()> fill;
    const char* state;
  };
  const Case cases[] = {
      {"location only", [] {}, " "},
      {"purchaser first name", [this] { type(form->txtPurchaserFirstName, QStringLiteral("Ann")); }, "S"},
      {"purchase date", [this] { type(form->txtPurchDate, QStringLiteral("01-01-2000")); }, "S"},
      {"blank names", [this] { type(form->txtPurchaserLastName, QStringLiteral("  ")); }, " "},
      {"interred name without date",
       [this] {
         type(form->txtPurchaserLastName, QStringLiteral("Buyer"));
         type(form->txtInterredLastName, QStringLiteral("Doe"));
       },
       "R"},
      {"interment date", [this] { type(form->txtIntermentDate, QStringLiteral("01-01-2000")); }, "B"},
  };
  int grave = 0;
  for (const Case& c : cases) {
    placeNew(QStringLiteral("A"), QStringLiteral("1"), QString::number(++grave));
    c.fill();
    moveTo(form->txtVault);
    form->mnuSaveClick();
    ASSERT_FALSE(form->txtRecordNum->text().isEmpty()) << c.what;
    EXPECT_EQ(col("status", form->txtRecordNum->text()), QLatin1String(c.state)) << c.what;
  }
  // A reserved record gets its interment date and is saved again: buried.
  placeNew(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("99"));
  type(form->txtInterredFirstName, QStringLiteral("Jo"));
  moveTo(form->txtVault);
  form->mnuSaveClick();
  const QString id = form->txtRecordNum->text();
  EXPECT_EQ(col("status", id), QStringLiteral("R"));
  type(form->txtIntermentDate, QStringLiteral("02-02-2002"));
  moveTo(form->txtVault);
  form->mnuSaveClick();
  EXPECT_EQ(col("status", id), QStringLiteral("B"));
}

TEST_F(RecordForm, SaveRefusesBadDatesAndMissingChoicesInOrder) {
  addCemetery(QStringLiteral("Oakwood"));
  addCemetery(QStringLiteral("Maple"));
  addLot(QStringLiteral("Single"), QStringLiteral("NULL"), QStringLiteral("NULL"));
  open();
  // Dates set directly: the save checks them again whatever the fields let through.
  auto attempt = [&](const QString& message) {
    if (!message.isEmpty()) msgs->expectInfo(message);
    form->mnuSaveClick();
    msgs->verify();
  };
  form->txtSection->setText(QStringLiteral("A"));
  form->txtIntermentDate->setDate(today().addDays(6));
  form->txtDateOfBirth->setDate(today().addDays(1));
  attempt(QStringLiteral(
      "Invalid Interment Date.\n\nThis date can not be greater than 5 days from today's date."));
  form->txtIntermentDate->setDate(today().addDays(5));
  attempt(QStringLiteral("Invalid Date of Birth.\n\nThis date can not be greater than today's date."));
  form->txtDateOfBirth->setDate(today());
  form->txtDateOfDeath->setDate(today().addDays(1));
  attempt(QStringLiteral("Invalid Date of Death.\n\nThis date can not be greater than today's date."));
  form->txtDateOfBirth->setDate(QDate(1950, 1, 2));
  form->txtDateOfDeath->setDate(QDate(1950, 1, 1));
  attempt(QStringLiteral("You cannot have a date-of-birth greater than the date-of-death."));
  form->txtDateOfDeath->setDate(QDate(1950, 1, 2));  // same day passes
  form->txtIntermentDate->setDate(QDate(1950, 1, 1));
  attempt(QStringLiteral("You cannot have a date-of-death greater than the date-of-interment."));
  form->txtIntermentDate->setDate(QDate(1950, 1, 2));
  attempt(QStringLiteral("You haven't assigned a valid cemetery yet."));
  choose(form->txtCemetery, 1);
  attempt(QStringLiteral("You haven't assigned a valid lot type yet."));
  EXPECT_TRUE(ZEL1.RecordChanged);
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QStringLiteral("0"));
  choose(form->txtLotInfo, 0);
  attempt(QString());
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QStringLiteral("1"));
}

TEST_F(RecordForm, APlaceCanHoldOnlyOneRecord) {
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

  placeNew(QStringLiteral("c"), QStringLiteral("1"), QStringLiteral("1"));  // text compare ignores case
  msgs->expectInfo(dup);
  form->mnuSaveClick();
  EXPECT_TRUE(form->txtRecordNum->text().isEmpty());

  // The stored record with the quote: saved unchanged, then moved onto a taken place and a free one.
  msgs->expectQuestion(QStringLiteral("Would you like to save your changes first?"),
                       MessageService::Answer::No, true);
  form->mnuGetFirstClick();
  ASSERT_EQ(form->txtSection->text(), QStringLiteral("B'2"));
  type(form->txtRemarks, QStringLiteral("kept"));
  form->mnuSaveClick();
  EXPECT_EQ(scalar(QStringLiteral("select remarks from zel where csection='B''2'")), QStringLiteral("kept"));
  form->txtSection->setText(QStringLiteral("C"));
  msgs->expectInfo(dup);
  form->mnuSaveClick();
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel where csection='C'")), QStringLiteral("1"));
  form->txtSection->setText(QStringLiteral("D'4"));
  form->mnuSaveClick();
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel where csection='D''4'")), QStringLiteral("1"));
  EXPECT_FALSE(ZEL1.RecordChanged);
}

TEST_F(RecordForm, RemoveAsksAndClearsTheForm) {
  addCemetery(QStringLiteral("Oakwood"));
  addLot(QStringLiteral("Single"), QStringLiteral("NULL"), QStringLiteral("NULL"));
  exec(QStringLiteral(
      "insert into zel (cemeteryid, csection, lot, grave, lotid) values (1, 'A', '1', '1', 1)"));
  exec(QStringLiteral(
      "insert into zel (cemeteryid, csection, lot, grave, lotid) values (1, 'A', '1', '2', 1)"));
  open();
  msgs->expectInfo(QStringLiteral("Nothing to remove."));
  form->mnuRemove->trigger();

  form->mnuGetFirstClick();
  const QString question = QStringLiteral(
      "This is not a function that can be un-done.\n\nAre you absolutely sure you want to remove this "
      "record?");
  msgs->expectQuestion(question, MessageService::Answer::No, true);
  form->mnuRemoveClick();
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QStringLiteral("2"));
  EXPECT_EQ(form->txtGrave->text(), QStringLiteral("1"));

  msgs->expectQuestion(question, MessageService::Answer::Yes, true);
  form->mnuRemoveClick();
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel")), QStringLiteral("1"));
  EXPECT_EQ(scalar(QStringLiteral("select grave from zel")), QStringLiteral("2"));
  EXPECT_TRUE(form->txtRecordNum->text().isEmpty());
  EXPECT_TRUE(form->txtSection->text().isEmpty());
  // The set steps over the removed row.
  form->mnuGetNextClick();
  EXPECT_EQ(form->txtGrave->text(), QStringLiteral("2"));
}

TEST_F(RecordForm, ADatabaseFailureIsReportedAndTheEditsStay) {
  addCemetery(QStringLiteral("Oakwood"));
  addLot(QStringLiteral("Single"), QStringLiteral("NULL"), QStringLiteral("NULL"));
  open();
  placeNew(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"));
  exec(QStringLiteral("alter table zel rename to zel_away"));
  msgs->expectInfo(QStringLiteral("*"));
  form->mnuSaveClick();
  EXPECT_TRUE(ZEL1.RecordChanged);
  EXPECT_TRUE(form->txtRecordNum->text().isEmpty());
  EXPECT_EQ(form->txtSection->text(), QStringLiteral("A"));
  exec(QStringLiteral("alter table zel_away rename to zel"));
  form->mnuSaveClick();
  EXPECT_FALSE(form->txtRecordNum->text().isEmpty());
}
