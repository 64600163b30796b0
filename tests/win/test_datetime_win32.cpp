#include <gtest/gtest.h>
#include <windows.h>

#include "lib/datetime.h"

namespace {

using vk::DateTime;

TEST(DateTimeWin32, FromSystemTime) {
  SYSTEMTIME t{};
  t.wYear = 2026;
  t.wMonth = 12;
  t.wDay = 7;
  t.wDayOfWeek = 1;  // Monday, counted from Sunday = 0
  t.wHour = 21;
  t.wMinute = 3;
  t.wSecond = 26;
  const DateTime d(t);
  EXPECT_EQ(d.dayOfWeek, 2);
  EXPECT_EQ(d.Format("yy/mm/dd HH:ii:ss WW"), "2026/12/07 21:03:26 Monday");
}

// A file time turned local, moved back by the offset that "b" prints, is the UTC time again.
TEST(DateTimeWin32, FileTimeAndOffsetAgree) {
  for (WORD month : {WORD(1), WORD(7)}) {
    SYSTEMTIME utc{};
    utc.wYear = 2026;
    utc.wMonth = month;
    utc.wDay = 15;
    utc.wHour = 12;
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&utc, &ft));
    const DateTime local(ft);
    ASSERT_FALSE(local.IsNull());
    EXPECT_EQ(local.dayOfWeek, vk::DayOfWeekOf(local.year, local.month, local.day));
    const int offset = vk::LocalUtcOffsetMinutes(local);
    const int localMinutes = (local.day - 15) * 1440 + local.hour * 60 + local.minute;
    EXPECT_EQ(localMinutes - offset, 12 * 60) << "month " << month << " offset " << offset;
    const std::string b = local.Format("b");
    ASSERT_EQ(b.size(), 5u) << b;
    EXPECT_EQ(b[0], offset < 0 ? '-' : '+');
  }
}

TEST(DateTimeWin32, Now) {
  const DateTime now = DateTime::Now();
  EXPECT_GE(now.year, 2024);
  EXPECT_EQ(now.dayOfWeek, vk::DayOfWeekOf(now.year, now.month, now.day));
}

}  // namespace
