#include <gtest/gtest.h>

#include "core/folder/DateGuard.h"
#include "core/folder/StartupRules.h"
#include "core/program/Zel1.h"
#include "support/TestFolder.h"

TEST(DateGuard, DisplayFormatFollowsTheSystemPatternsOrder) {
  struct Case {
    const char* pattern;
    const char* format;
  } cases[] = {
      {"M/d/yyyy", "mm-dd-yyyy"},     // already four digits: unchanged
      {"M/d/yy", "mm-dd-yyyy"},       // widened
      {"dd/MM/yy", "dd-mm-yyyy"},     // day first
      {"yyyy-MM-dd", "dd-mm-yyyy"},   // does not begin with the month
      {"M/d/yyyy gg", "mm-dd-yyyy"},  // text after the year is cut off
      {"MM.dd.yy", "mm-dd-yyyy"},
      {"d.M", "dd-mm-yyyy"},  // no year at all: still settled
      {"", ""},               // no pattern: left empty
  };
  for (const Case& c : cases)
    EXPECT_EQ(DateGuard::displayFormatFor(QString::fromLatin1(c.pattern)), QString::fromLatin1(c.format))
        << c.pattern;
}

TEST(DateGuard, FixShortDateFormatWidensTheFirstTwoDigitYearOnly) {
  for (const auto& [from, to] : {std::pair{"M/d/yy", "M/d/yyyy"},
                                 {"yy/MM/dd", "yyyy/MM/dd"},
                                 {"dd/MM/yyyy", "dd/MM/yyyy"},
                                 {"d/M", "d/M"}})
    EXPECT_EQ(DateGuard::FixShortDateFormat(QLatin1String(from)), QLatin1String(to)) << from;
}

TEST(DateGuard, RunSetsTheProgramValueAndTheConnectionsDateOrder) {
  TestFolder folder;
  exec(QStringLiteral("insert into zel (csection, interdate) values ('A', '2003-02-01')"));
  DateGuard::run(QStringLiteral("dd/MM/yy"));
  EXPECT_EQ(ZEL1.DateDisplayFormat, QStringLiteral("dd-mm-yyyy"));
  // #01-02-2003# read day first is 1 February 2003.
  EXPECT_EQ(scalar(QStringLiteral("select count(*) from zel where interdate = #01-02-2003#")),
            QStringLiteral("1"));

  DateGuard::run(QString());
  EXPECT_TRUE(ZEL1.DateDisplayFormat.isEmpty());
  EXPECT_EQ(ZEL1.cnData.dateDisplayFormat(), QStringLiteral("dd-mm-yyyy"));  // left as it was
}

TEST(StartupRules, DataPathEndsWithOneSeparatorAndTheScreenCheck) {
  const QString program = QStringLiteral("/opt/zel");
  EXPECT_EQ(StartupRules::dataPathFrom(QStringLiteral("/srv/my cem"), program), "/srv/my cem/");
  EXPECT_EQ(StartupRules::dataPathFrom(QStringLiteral("/srv/cem/"), program), "/srv/cem/");
  EXPECT_EQ(StartupRules::dataPathFrom(QString(), program), "/opt/zel/");

  EXPECT_FALSE(StartupRules::screenTooSmall(1024, 40));
  EXPECT_FALSE(StartupRules::screenTooSmall(801, 17));
  EXPECT_FALSE(StartupRules::screenTooSmall(800, 16));
  EXPECT_TRUE(StartupRules::screenTooSmall(800, 17));
  EXPECT_TRUE(StartupRules::screenTooSmall(799, 10));
}
