// Reactions of the date and age fields as they are entered and left.
#include <QMessageBox>
#include <QTimer>
#include <functional>

#include "RecordFormFixture.h"
#include "gui/controls/MaskedEdit.h"

namespace {
QString yearHint(const char* pattern, const char* example, const char* firstDay) {
  return QStringLiteral(
             "Type the date as %1, for example %2.\n\n"
             "If you are trying to enter only the year of a date, we recommend you enter the first day of "
             "the "
             "first month of the year that you have to enter. For example, if you only have the year 1922 "
             "you "
             "might enter %3.")
      .arg(QLatin1String(pattern), QLatin1String(example), QLatin1String(firstDay));
}
const QString kYearHint = yearHint("mm-dd-yyyy", "03-15-1931", "01-01-1922");
}  // namespace

TEST_F(RecordForm, LeavingADateChecksItAgainstToday) {
  open();
  // Interment: five days ahead passes, six is refused and the field keeps its text and the focus.
  type(form->ui().txtIntermentDate, shown(today().addDays(5)));
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->focusWidget(), form->ui().txtRemarks);
  type(form->ui().txtIntermentDate, shown(today().addDays(6)));
  msgs->expectInfo(QStringLiteral(
      "Invalid Interment Date.\n\nThis date can not be greater than 5 days from today's date."));
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->focusWidget(), form->ui().txtIntermentDate);
  EXPECT_EQ(form->ui().txtIntermentDate->text(), shown(today().addDays(6)));
  form->ui().txtIntermentDate->clear();

  // Birth: today passes, tomorrow is refused.
  type(form->ui().txtDateOfBirth, shown(today()));
  moveTo(form->ui().txtRemarks);
  type(form->ui().txtDateOfBirth, shown(today().addDays(1)));
  msgs->expectInfo(
      QStringLiteral("Invalid Date of Birth.\n\nThis date can not be greater than today's date."));
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->focusWidget(), form->ui().txtDateOfBirth);

  // Death before birth: refused, emptied, focus back.
  type(form->ui().txtDateOfBirth, QStringLiteral("03-15-1950"));
  moveTo(form->ui().txtDateOfDeath);
  type(form->ui().txtDateOfDeath, QStringLiteral("03-14-1950"));
  msgs->expectInfo(
      QStringLiteral("You cannot have a date-of-birth greater than a date-of-death. Please try again."));
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->ui().txtDateOfDeath->text(), QString());
  EXPECT_EQ(form->focusWidget(), form->ui().txtDateOfDeath);
  type(form->ui().txtDateOfDeath, shown(today().addDays(1)));
  msgs->expectInfo(
      QStringLiteral("Invalid Date of Death.\n\nThis date can not be greater than today's date."));
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->focusWidget(), form->ui().txtDateOfDeath);
  // After that refusal the order against the date of birth is still checked: a date of birth kept
  // after its own refusal and a later, also refused, date of death give both messages, and the date
  // of death goes back to what it held before this edit.
  form->ui().txtDateOfBirth->setDate(today().addDays(3));
  type(form->ui().txtDateOfDeath, shown(today().addDays(2)));
  msgs->expectInfo(
      QStringLiteral("Invalid Date of Death.\n\nThis date can not be greater than today's date."));
  msgs->expectInfo(
      QStringLiteral("You cannot have a date-of-birth greater than a date-of-death. Please try again."));
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->ui().txtDateOfDeath->text(), shown(today().addDays(1)));
  EXPECT_EQ(form->focusWidget(), form->ui().txtDateOfDeath);
  form->ui().txtDateOfBirth->clear();

  // The purchase date has no check of its own.
  form->ui().txtDateOfDeath->clear();
  type(form->ui().txtPurchDate, shown(today().addYears(1)));
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->ui().txtPurchDate->text(), shown(today().addYears(1)));
}

TEST_F(RecordForm, ATextThatIsNoDateGivesBackTheEarlierDateWithAHint) {
  exec(QStringLiteral("insert into zel (csection, deathdate) values ('A', '1950-03-04')"));
  open();
  for (DateEdit* d : {form->ui().txtIntermentDate, form->ui().txtPurchDate}) {
    type(d, QStringLiteral("1922"));
    msgs->expectInfo(kYearHint);
    moveTo(form->ui().txtRemarks);
    EXPECT_EQ(d->text(), QString());  // a new record: nothing before
    EXPECT_EQ(form->focusWidget(), d);
  }
  // Eight digits are a whole date in the field's pattern.
  type(form->ui().txtDateOfBirth, QStringLiteral("01021922"));
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->ui().txtDateOfBirth->text(), QStringLiteral("01-02-1922"));
  EXPECT_EQ(form->ui().txtDateOfBirth->date(), QDate(1922, 1, 2));

  // A stored date comes back, also after the focus returned to the field with the hint.
  msgs->expectQuestion(QStringLiteral("Would you like to save your changes first?"),
                       MessageService::Answer::No);
  form->mnuGetFirstClick();
  type(form->ui().txtDateOfDeath, QStringLiteral("3/4/50"));
  msgs->expectInfo(kYearHint);
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->ui().txtDateOfDeath->text(), QStringLiteral("03-04-1950"));
  type(form->ui().txtDateOfDeath, QStringLiteral("13/13/1950"));
  msgs->expectInfo(kYearHint);
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->ui().txtDateOfDeath->text(), QStringLiteral("03-04-1950"));
}

TEST_F(RecordForm, AgeAndDatesFollowEachOther) {
  open();
  type(form->ui().txtDateOfBirth, QStringLiteral("12-31-1920"));
  type(form->ui().txtDateOfDeath, QStringLiteral("1/1/1921"));
  moveTo(form->ui().txtAge);
  EXPECT_EQ(form->ui().txtAge->text(), QStringLiteral("1"));  // calendar years, not completed years
  EXPECT_EQ(form->ui().txtDateOfDeath->text(), QStringLiteral("01-01-1921"));

  newRecord();
  type(form->ui().txtDateOfDeath, QStringLiteral("03-15-2001"));
  type(form->ui().txtAge, QStringLiteral("80"));
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->ui().txtDateOfBirth->date(), QDate(1921, 3, 15));

  newRecord();
  type(form->ui().txtDateOfBirth, QStringLiteral("03-15-1921"));
  type(form->ui().txtAge, QStringLiteral("80"));
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->ui().txtDateOfDeath->date(), QDate(2001, 3, 15));
}

TEST_F(RecordForm, OnlyATypedAgeOrDateDerivesAnother) {
  // Stored: a date of death and an age but no date of birth; both dates and an age of completed
  // years (the calendar years differ).
  exec(QStringLiteral("insert into zel (csection, deathdate, age) values ('A', '2001-03-15', 80)"));
  exec(QStringLiteral(
      "insert into zel (csection, birthdate, deathdate, age) values ('B', '1921-06-01', '2001-03-15', 79)"));
  open();
  // An empty age fills in nothing.
  type(form->ui().txtDateOfDeath, QStringLiteral("06-30-1999"));
  moveTo(form->ui().txtAge);
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->ui().txtDateOfBirth->text(), QString());
  // An age beyond what the field takes fills in nothing either.
  type(form->ui().txtAge, QStringLiteral("999"));
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->ui().txtDateOfBirth->text(), QString());

  // Tabbing through the stored values changes nothing.
  msgs->expectQuestion(QStringLiteral("Would you like to save your changes first?"),
                       MessageService::Answer::No);
  form->mnuGetFirstClick();
  for (int record = 0; record < 2; ++record) {
    SCOPED_TRACE(record);
    moveTo(form->ui().txtAge);
    moveTo(form->ui().txtRemarks);
    EXPECT_EQ(form->ui().txtAge->text(), record == 0 ? QStringLiteral("80") : QStringLiteral("79"));
    EXPECT_EQ(form->ui().txtDateOfBirth->text(), record == 0 ? QString() : QStringLiteral("06-01-1921"));
    EXPECT_FALSE(ZEL1.RecordChanged);
    form->mnuGetNextClick();
  }
}

TEST_F(RecordForm, DayFirstPatternShowsAndReadsDatesDayFirst) {
  ZEL1.DateDisplayFormat = QStringLiteral("dd-mm-yyyy");
  exec(QStringLiteral("insert into zel (csection, birthdate) values ('A', '1930-02-01')"));
  open();
  form->mnuGetFirstClick();
  EXPECT_EQ(form->ui().txtDateOfBirth->text(), QStringLiteral("01-02-1930"));
  type(form->ui().txtDateOfDeath, QStringLiteral("13-02-1990"));
  EXPECT_EQ(form->ui().txtDateOfDeath->date(), QDate(1990, 2, 13));
  // A month-first date is no date here; the hint names the day-first pattern.
  type(form->ui().txtDateOfBirth, QStringLiteral("03-15-1931"));
  msgs->expectInfo(yearHint("dd-mm-yyyy", "15-03-1931", "01-01-1922"));
  moveTo(form->ui().txtRemarks);
  EXPECT_EQ(form->ui().txtDateOfBirth->text(), QStringLiteral("01-02-1930"));
  ZEL1.RecordChanged = false;
}

TEST_F(RecordForm, KeysTypedOnThroughADateBoxReachTheirField) {
  // A text that is no date (the hint) and a date the form refuses: the keys typed on into the
  // remarks before the box opens, and into the opened box, all reach the remarks.
  const QString future = shown(today().addYears(1));
  const struct {
    QString typed;
    QString box;
  } cases[] = {
      {QStringLiteral("1922"), kYearHint},
      {future, QStringLiteral("Invalid Date of Birth.\n\nThis date can not be greater than today's date.")}};
  open();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed.toStdString());
    // The window gets the focus back from the box, as the window system gives it.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->ui().txtRemarks->clear();
    DateEdit* field = c.typed == future ? form->ui().txtDateOfBirth : form->ui().txtIntermentDate;
    type(field, c.typed);
    form->ui().txtRemarks->setFocus();
    QTest::keyClicks(form->ui().txtRemarks, QStringLiteral("Sm"));
    RealMessageService real;
    MessageService* scripted = setMessageService(&real);
    QString shownText;
    std::function<void(int)> whenOpen = [&](int tries) {
      QWidget* box = QApplication::activeModalWidget();
      if (!box && tries > 0) return QTimer::singleShot(0, [&, tries] { whenOpen(tries - 1); });
      ASSERT_NE(box, nullptr) << "no box";
      shownText = static_cast<QMessageBox*>(box)->text();
      QTest::keyClicks(box, QStringLiteral("ith 2"));
      QTest::keyClick(box, Qt::Key_Return);
    };
    QTimer::singleShot(0, [&] { whenOpen(5); });
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    setMessageService(scripted);
    EXPECT_EQ(shownText, c.box);
    EXPECT_EQ(form->ui().txtRemarks->text(), QStringLiteral("Smith 2"));
    EXPECT_EQ(form->focusWidget(), field);
  }
  EXPECT_EQ(form->ui().txtIntermentDate->text(), QString());
  ZEL1.RecordChanged = false;
}
