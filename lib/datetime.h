#pragma once
// A calendar date and clock time with the library's pattern letters for turning it into text.
#include <climits>
#include <cstdint>
#include <string_view>

#include "lib/strings.h"

#ifdef _WIN32
struct _SYSTEMTIME;
struct _FILETIME;
#endif

namespace vk {

// Which built-in pattern a null or empty pattern stands for.
enum class DefaultPattern { DateTime, Date, Time };

inline constexpr const char* kDefaultDateTimePattern = "m/d/y h:ii:ssap";
inline constexpr const char* kDefaultDatePattern = "m/d/y";
inline constexpr const char* kDefaultTimePattern = "h:ii:ssap";

class DateTime {
 public:
  static constexpr int32_t kNullYear = INT32_MIN;

  int32_t year = kNullYear;
  int32_t month = 0;
  int32_t day = 0;
  int32_t dayOfWeek = 0;  // 1 Sunday .. 7 Saturday
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;

  // A null date.
  DateTime() = default;
  DateTime(int32_t year, int32_t month, int32_t day, int32_t dayOfWeek, int32_t hour,
           int32_t minute, int32_t second)
      : year(year), month(month), day(day), dayOfWeek(dayOfWeek), hour(hour), minute(minute),
        second(second) {}

#ifdef _WIN32
  // The fields of a system-time record as they stand (no time-zone conversion).
  explicit DateTime(const _SYSTEMTIME& time);
  // A file time (UTC) converted to local time with the rules in force on that date.
  explicit DateTime(const _FILETIME& fileTime);
  static DateTime Now();
#endif

  bool IsNull() const { return year == kNullYear; }

  // Text through the pattern letters; a null or empty pattern uses the default one.
  // A null date gives empty text.
  String Format(const char* pattern, DefaultPattern fallback = DefaultPattern::DateTime) const;
  String Format(std::string_view pattern,
                DefaultPattern fallback = DefaultPattern::DateTime) const;
  String FormatDateTime() const { return Format(kDefaultDateTimePattern); }
  String FormatDate() const { return Format(kDefaultDatePattern); }
  String FormatTime() const { return Format(kDefaultTimePattern); }
};

// Day of week (1 Sunday .. 7 Saturday) of a date of the Gregorian calendar.
int32_t DayOfWeekOf(int32_t year, int32_t month, int32_t day);

// The local time zone's offset from UTC, in minutes east, for the given local date and time.
int32_t LocalUtcOffsetMinutes(const DateTime& local);

// "January".."December" and "Sunday".."Saturday"; empty outside 1-12 and 1-7.
String MonthName(int32_t month);
String DayOfWeekName(int32_t dayOfWeek);

}  // namespace vk
