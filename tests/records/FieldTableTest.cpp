// The grave record's field table: what the import is offered and how texts become values.
#include <gtest/gtest.h>

#include "core/store/RecordFields.h"

using RecordFields::find;
using RecordFields::fromText;

TEST(FieldTable, TheImportIsOfferedItsThirtyThreeFieldsInOrder) {
  EXPECT_EQ(
      RecordFields::importNames().join(u' '),
      QStringLiteral("cSection Lot Grave OwnerLastName OwnerFirstName OwnerAddress1 OwnerAddress2 OwnerCity "
                     "OwnerState OwnerZip OwnerPhone InterLastName InterFirstName Sex Age InterNum InterDate "
                     "DeedBook DeedPage CertNum PurchDate PurchPrice BurialFee AmtPaid BirthPlace LateReside "
                     "SocialState BirthDate DeathDate DeathCause Undertaker NearestRelative Remarks"));
  // Every mapped name is a field found again by its column, whatever the case.
  for (const QString& name : RecordFields::importNames()) EXPECT_EQ(find(name.toUpper())->name, name);
}

TEST(FieldTable, TextsConvertOnlyToValuesTheirColumnHolds) {
  const QString mdy = QStringLiteral("mm-dd-yyyy");
  const auto& age = *find(u"age");
  const auto& internum = *find(u"internum");
  EXPECT_EQ(fromText(age, QString(), mdy), Value(qint64(0)));
  EXPECT_EQ(fromText(internum, QStringLiteral(" 2147483647 "), mdy), Value(qint64(2147483647)));
  for (const char* refused : {"151", "-1", "12.5", "12a", "1e3", "99999999999999999999999"})
    EXPECT_FALSE(fromText(age, QLatin1String(refused), mdy)) << refused;

  const auto& price = *find(u"purchprice");
  EXPECT_EQ(fromText(price, QStringLiteral("9000000000"), mdy), Value(Money::fromUnits(9000000000)));
  EXPECT_FALSE(fromText(price, QStringLiteral("9000000000.01"), mdy));
  EXPECT_FALSE(fromText(price, QStringLiteral("12,5x"), mdy));

  const auto& birth = *find(u"birthdate");
  EXPECT_EQ(fromText(birth, QStringLiteral("03/04/1950"), mdy), Value(QDate(1950, 3, 4)));
  EXPECT_EQ(fromText(birth, QStringLiteral("03/04/1950"), QStringLiteral("dd-mm-yyyy")),
            Value(QDate(1950, 4, 3)));
  EXPECT_EQ(fromText(birth, QStringLiteral("1950-04-03"), mdy), Value(QDate(1950, 4, 3)));
  EXPECT_EQ(fromText(birth, QString(), mdy), Value());
  EXPECT_FALSE(fromText(birth, QStringLiteral("30/02/1950"), mdy));
  EXPECT_FALSE(fromText(birth, QStringLiteral("1922"), mdy));

  EXPECT_EQ(fromText(*find(u"remarks"), QStringLiteral(" as typed "), mdy),
            Value(QStringLiteral(" as typed ")));
  EXPECT_EQ(RecordFields::wholeNumberText(Value(1e30)), QStringLiteral("1e+30"));
  EXPECT_EQ(RecordFields::wholeNumberText(Value(12.5)), QStringLiteral("13"));
  EXPECT_EQ(RecordFields::wholeNumberText(Value(0.0)), QString());
}

TEST(FieldTable, TheStateLetterFollowsWhatIsFilledIn) {
  using RecordFields::stateLetter;
  const QString none, blank = QStringLiteral("  "), name = QStringLiteral("Doe");
  EXPECT_EQ(stateLetter(false, none, none, false, none, none), QStringLiteral(" "));
  EXPECT_EQ(stateLetter(false, blank, none, false, none, blank), QStringLiteral(" "));
  EXPECT_EQ(stateLetter(false, none, none, false, none, name), QStringLiteral("S"));
  EXPECT_EQ(stateLetter(false, none, none, true, none, none), QStringLiteral("S"));
  EXPECT_EQ(stateLetter(false, none, name, false, name, none), QStringLiteral("R"));
  EXPECT_EQ(stateLetter(true, none, none, false, none, none), QStringLiteral("B"));
}
