// The masked, date and money entry fields.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>

#include "gui/controls/DateEdit.h"
#include "gui/controls/MaskedEdit.h"
#include "gui/controls/MoneyEdit.h"

TEST(EntryControls, MaskedFieldTakesOnlyItsCharactersUpToItsLength) {
  MaskedEdit e;
  e.setAllowedCharacters(QStringLiteral("ABC0123456789-"));
  e.setLimit(6);
  QTest::keyClicks(&e, QStringLiteral("A'b 1-2C99"));
  EXPECT_EQ(e.text(), QStringLiteral("A1-2C9"));
  // Ordinary editing: select all and paste over it; a paste with a refused character is refused.
  e.selectAll();
  QApplication::clipboard()->setText(QStringLiteral("B2"));
  e.paste();
  EXPECT_EQ(e.text(), QStringLiteral("B2"));
  QApplication::clipboard()->setText(QStringLiteral("x'"));
  e.paste();
  EXPECT_EQ(e.text(), QStringLiteral("B2"));
  e.setCursorPosition(1);
  QTest::keyClick(&e, Qt::Key_Backspace);
  EXPECT_EQ(e.text(), QStringLiteral("2"));

  // A stored text longer than the limit is shown whole; it can be shortened, not lengthened.
  e.showText(QStringLiteral("AAAAAAAAA"));
  EXPECT_EQ(e.text(), QStringLiteral("AAAAAAAAA"));
  e.end(false);
  QTest::keyClicks(&e, QStringLiteral("B"));
  EXPECT_EQ(e.text(), QStringLiteral("AAAAAAAAA"));
  for (int i = 0; i < 4; ++i) QTest::keyClick(&e, Qt::Key_Backspace);
  QTest::keyClicks(&e, QStringLiteral("BC"));
  EXPECT_EQ(e.text(), QStringLiteral("AAAAAB"));
}

TEST(EntryControls, DateFieldReadsItsPatternAndReportsWhatIsNoDate) {
  DateEdit d;
  d.show();
  QSignalSpy invalid(&d, &DateEdit::invalidDate);
  QTest::keyClicks(&d, QStringLiteral("2/30/2001x"));  // letters are not taken
  EXPECT_EQ(d.text(), QStringLiteral("2/30/2001"));
  EXPECT_FALSE(d.hasValidDate());
  d.setText(QStringLiteral("12-31-1999"));
  EXPECT_EQ(d.date(), QDate(1999, 12, 31));
  d.setDisplayFormat(QStringLiteral("dd-mm-yyyy"));
  EXPECT_EQ(d.text(), QStringLiteral("31-12-1999"));  // the shown date follows the pattern
  d.setText(QStringLiteral("1.2.2003"));
  EXPECT_EQ(d.date(), QDate(2003, 2, 1));
  d.setText(QStringLiteral("01-02-03"));  // a two-digit year is not a date here
  EXPECT_FALSE(d.hasValidDate());
  d.setDate(QDate());
  EXPECT_EQ(d.text(), QString());
  EXPECT_EQ(invalid.count(), 0);
}

TEST(EntryControls, MoneyFieldKeepsTwoDecimalsWithinItsRange) {
  MoneyEdit m;
  QTest::keyClicks(&m, QStringLiteral("-12.345"));
  EXPECT_EQ(m.text(), QStringLiteral("-12.34"));
  EXPECT_EQ(m.value(), Money::parse(QStringLiteral("-12.34")).value());
  m.clear();
  QTest::keyClicks(&m, QStringLiteral("90000000000"));
  EXPECT_EQ(m.text(), QStringLiteral("9000000000"));
  m.clear();
  QTest::keyClicks(&m, QStringLiteral("-9000000001"));
  EXPECT_EQ(m.text(), QStringLiteral("-900000000"));
  m.clear();
  EXPECT_EQ(m.value(), Money());
  m.setValue(Money::fromScaled(12345));
  EXPECT_EQ(m.text(), QStringLiteral("1.23"));
}
