#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "lib/datetime.h"
#include "lib/number_words.h"

namespace {

using vk::DateTime;

// Monday 7 December 2026, 21:03:26.
const DateTime kEvening(2026, 12, 7, 2, 21, 3, 26);

TEST(DateTime, PatternTable) {
  struct Case {
    DateTime when;
    const char* pattern;
    const char* expected;
  };
  const DateTime midnight(2026, 1, 1, 5, 0, 5, 9);
  const DateTime noon(2026, 1, 1, 5, 12, 0, 0);
  const DateTime morning(2005, 3, 4, 6, 9, 7, 8);
  const Case cases[] = {
      {kEvening, "yy/mm/dd HH:ii:ss", "2026/12/07 21:03:26"},
      {kEvening, "yymmdd", "20261207"},
      {kEvening, "m/d/y h:ii:ssap", "12/7/26 9:03:26p"},
      {kEvening, "hh AP", "09 p.m."},
      {midnight, "h hh H HH ap AP", "12 12 0 00 a a.m."},
      {midnight, "i ii s ss", "5 05 9 09"},
      {noon, "h hh H ap AP", "12 12 12 p p.m."},
      {morning, "y yy m mm d dd", "05 2005 3 03 4 04"},
      {morning, "w ww", "6 06"},
      {DateTime(987, 1, 1, 1, 0, 0, 0), "yy", "0987"},
      {kEvening, "M MM W WW", "Dec December Mon Monday"},
      // Not pattern letters, or "a"/"A" without a following "p"/"P".
      {kEvening, "Q x: a A a- Aq", "Q x: a A a- Aq"},
      {kEvening, "aP Ap", "p p.m."},
      // Doubling is pairwise: three letters are a pair and a single.
      {kEvening, "yyy ddd", "202626 077"},
      {kEvening, "DD", "Seventh"},
      {kEvening, "YY", "Twenty Twenty-Six"},
      {kEvening, "Y", "Twenty-Six"},
      {morning, "Y", "Oh Five"},
      {morning, "YY", "Two Thousand Five"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.when.Format(c.pattern), c.expected) << "pattern \"" << c.pattern << "\"";
}

TEST(DateTime, DayOrdinalSuffixes) {
  const std::pair<int, const char*> cases[] = {
      {1, "1st"},   {2, "2nd"},   {3, "3rd"},   {4, "4th"},   {11, "11th"}, {12, "12th"},
      {13, "13th"}, {20, "20th"}, {21, "21st"}, {22, "22nd"}, {23, "23rd"}, {31, "31st"}};
  for (const auto& [day, expected] : cases)
    EXPECT_EQ(DateTime(2026, 1, day, 1, 0, 0, 0).Format("D"), expected) << "day " << day;
}

TEST(DateTime, NamesOutsideTheTablesAreEmpty) {
  const DateTime bad(2026, 13, 1, 0, 0, 0, 0);
  EXPECT_EQ(bad.Format("<M><MM><W><WW>"), "<><><><>");
  EXPECT_EQ(DateTime(2026, 0, 1, 8, 0, 0, 0).Format("<MM><WW>"), "<><>");
  EXPECT_EQ(vk::MonthName(5), "May");
  EXPECT_EQ(vk::DayOfWeekName(7), "Saturday");
}

TEST(DateTime, DefaultPatternsAndNullDate) {
  EXPECT_EQ(kEvening.Format(static_cast<const char*>(nullptr)), "12/7/26 9:03:26p");
  EXPECT_EQ(kEvening.Format(""), "12/7/26 9:03:26p");
  EXPECT_EQ(kEvening.Format("", vk::DefaultPattern::Date), "12/7/26");
  EXPECT_EQ(kEvening.Format(nullptr, vk::DefaultPattern::Time), "9:03:26p");
  EXPECT_EQ(kEvening.FormatDate(), "12/7/26");
  EXPECT_EQ(kEvening.FormatTime(), "9:03:26p");

  const DateTime null;
  EXPECT_TRUE(null.IsNull());
  EXPECT_EQ(null.Format("yy/mm/dd Q"), "");
  EXPECT_EQ(null.FormatDateTime(), "");
}

TEST(DateTime, DayOfWeekOfKnownDates) {
  EXPECT_EQ(vk::DayOfWeekOf(2026, 12, 7), 2);  // Monday
  EXPECT_EQ(vk::DayOfWeekOf(1970, 1, 1), 5);   // Thursday
  EXPECT_EQ(vk::DayOfWeekOf(2000, 2, 29), 3);  // Tuesday
  EXPECT_EQ(vk::DayOfWeekOf(1601, 1, 1), 2);   // Monday
}

// The offset follows the rules of the date itself, so one zone gives two offsets a year.
TEST(DateTime, TimeZoneOffsetLetter) {
  const char* saved = std::getenv("TZ");
  const std::string old = saved ? saved : "";
  auto setZone = [](const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  };
  setZone("EST5EDT,M3.2.0,M11.1.0");
  EXPECT_EQ(DateTime(2026, 1, 15, 5, 12, 0, 0).Format("b"), "-0500");
  EXPECT_EQ(DateTime(2026, 7, 15, 4, 12, 0, 0).Format("b"), "-0400");
  setZone("IST-5:30");
  EXPECT_EQ(kEvening.Format("[b]"), "[+0530]");
  setZone("UTC0");
  EXPECT_EQ(kEvening.Format("bb"), "+0000+0000");
  if (saved)
    setZone(old.c_str());
  else {
    unsetenv("TZ");
    tzset();
  }
}

TEST(NumberWords, CardinalsAndOrdinals) {
  const std::pair<int64_t, const char*> cardinals[] = {
      {0, "Zero"},
      {13, "Thirteen"},
      {40, "Forty"},
      {99, "Ninety-Nine"},
      {105, "One Hundred Five"},
      {2026, "Two Thousand Twenty-Six"},
      {1000000, "One Million"},
      {-3, "Minus Three"},
      {INT64_MIN, "Minus Nine Quintillion Two Hundred Twenty-Three Quadrillion Three Hundred "
                  "Seventy-Two Trillion Thirty-Six Billion Eight Hundred Fifty-Four Million "
                  "Seven Hundred Seventy-Five Thousand Eight Hundred Eight"},
  };
  for (const auto& [n, expected] : cardinals) EXPECT_EQ(vk::CardinalWords(n), expected) << n;

  const std::pair<int64_t, const char*> ordinals[] = {
      {1, "First"},          {2, "Second"},        {3, "Third"},        {5, "Fifth"},
      {8, "Eighth"},         {9, "Ninth"},         {12, "Twelfth"},     {14, "Fourteenth"},
      {20, "Twentieth"},     {21, "Twenty-First"}, {31, "Thirty-First"}, {100, "One Hundredth"},
      {0, "Zeroth"},
  };
  for (const auto& [n, expected] : ordinals) EXPECT_EQ(vk::OrdinalWords(n), expected) << n;
}

TEST(NumberWords, Years) {
  const std::pair<int64_t, const char*> cases[] = {
      {1905, "Nineteen Oh Five"},   {2026, "Twenty Twenty-Six"}, {1900, "Nineteen Hundred"},
      {2000, "Two Thousand"},       {2009, "Two Thousand Nine"}, {2010, "Twenty Ten"},
      {1066, "Ten Sixty-Six"},      {1001, "One Thousand One"},  {476, "Four Seventy-Six"},
      {99, "Ninety-Nine"},          {-44, "Minus Forty-Four"},   {2100, "Twenty-One Hundred"},
  };
  for (const auto& [year, expected] : cases) EXPECT_EQ(vk::YearWords(year), expected) << year;
  EXPECT_EQ(vk::TwoDigitYearWords(0), "Oh Oh");
  EXPECT_EQ(vk::TwoDigitYearWords(7), "Oh Seven");
  EXPECT_EQ(vk::TwoDigitYearWords(42), "Forty-Two");
}

}  // namespace
