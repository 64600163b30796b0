#include "lib/datetime.h"

#include <cstdio>
#include <ctime>

#include "lib/number_words.h"

namespace vk {

namespace {

constexpr const char* kMonthNames[12] = {"January", "February", "March",     "April",
                                         "May",     "June",     "July",      "August",
                                         "September", "October", "November", "December"};
constexpr const char* kDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                      "Thursday", "Friday", "Saturday"};

void AppendNumber(String& out, int32_t value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, static_cast<int>(value));
  out += buf;
}

const char* OrdinalSuffix(int32_t n) {
  const int32_t lastTwo = n % 100;
  if (lastTwo >= 4 && lastTwo <= 20) return "th";
  switch (n % 10) {
    case 1: return "st";
    case 2: return "nd";
    case 3: return "rd";
    default: return "th";
  }
}

// Days since 1970-01-01 of a Gregorian date (proleptic), for any year.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

String MonthName(int32_t month) {
  return month >= 1 && month <= 12 ? kMonthNames[month - 1] : "";
}

String DayOfWeekName(int32_t dayOfWeek) {
  return dayOfWeek >= 1 && dayOfWeek <= 7 ? kDayNames[dayOfWeek - 1] : "";
}

int32_t DayOfWeekOf(int32_t year, int32_t month, int32_t day) {
  // 1970-01-01 was a Thursday (5).
  const int64_t days = DaysFromCivil(year, month, day);
  int64_t w = (days + 4) % 7;
  if (w < 0) w += 7;
  return static_cast<int32_t>(w + 1);
}

#ifndef _WIN32
int32_t LocalUtcOffsetMinutes(const DateTime& local) {
  std::tm tm{};
  tm.tm_year = local.year - 1900;
  tm.tm_mon = local.month - 1;
  tm.tm_mday = local.day;
  tm.tm_hour = local.hour;
  tm.tm_min = local.minute;
  tm.tm_sec = local.second;
  tm.tm_isdst = -1;
  const std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1)) return 0;
  std::tm lt{}, gt{};
  if (!localtime_r(&t, &lt) || !gmtime_r(&t, &gt)) return 0;
  auto secondsOf = [](const std::tm& x) {
    return DaysFromCivil(x.tm_year + 1900, x.tm_mon + 1, x.tm_mday) * 86400 +
           x.tm_hour * 3600 + x.tm_min * 60 + x.tm_sec;
  };
  return static_cast<int32_t>((secondsOf(lt) - secondsOf(gt)) / 60);
}
#endif

String DateTime::Format(const char* pattern, DefaultPattern fallback) const {
  return Format(pattern ? std::string_view(pattern) : std::string_view(), fallback);
}

String DateTime::Format(std::string_view pattern, DefaultPattern fallback) const {
  if (IsNull()) return {};
  if (pattern.empty()) {
    switch (fallback) {
      case DefaultPattern::Date: pattern = kDefaultDatePattern; break;
      case DefaultPattern::Time: pattern = kDefaultTimePattern; break;
      default: pattern = kDefaultDateTimePattern; break;
    }
  }
  const int32_t hour12 = hour % 12 == 0 ? 12 : hour % 12;
  String out;
  const size_t n = pattern.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = pattern[i];
    const char next = i + 1 < n ? pattern[i + 1] : '\0';
    const bool doubled = next == c;
    switch (c) {
      case 'y':
        if (doubled) {
          AppendNumber(out, year, 4);
        } else {
          int32_t y = year % 100;
          AppendNumber(out, y < 0 ? y + 100 : y, 2);
        }
        break;
      case 'm': AppendNumber(out, month, doubled ? 2 : 1); break;
      case 'd': AppendNumber(out, day, doubled ? 2 : 1); break;
      case 'w': AppendNumber(out, dayOfWeek, doubled ? 2 : 1); break;
      case 'H': AppendNumber(out, hour, doubled ? 2 : 1); break;
      case 'h': AppendNumber(out, hour12, doubled ? 2 : 1); break;
      case 'i': AppendNumber(out, minute, doubled ? 2 : 1); break;
      case 's': AppendNumber(out, second, doubled ? 2 : 1); break;
      case 'a':
      case 'A':
        if (next == 'p' || next == 'P') {
          if (c == 'a')
            out += hour < 12 ? "a" : "p";
          else
            out += hour < 12 ? "a.m." : "p.m.";
          ++i;
        } else {
          out += c;
        }
        continue;
      case 'M': {
        const String name = MonthName(month);
        out += doubled ? name : name.substr(0, 3);
        break;
      }
      case 'W': {
        const String name = DayOfWeekName(dayOfWeek);
        out += doubled ? name : name.substr(0, 3);
        break;
      }
      case 'D':
        if (doubled) {
          out += OrdinalWords(day);
        } else {
          AppendNumber(out, day, 1);
          out += OrdinalSuffix(day);
        }
        break;
      case 'Y':
        out += doubled ? YearWords(year) : TwoDigitYearWords(year % 100);
        break;
      case 'b': {
        const int32_t offset = LocalUtcOffsetMinutes(*this);
        const int32_t magnitude = offset < 0 ? -offset : offset;
        out += offset < 0 ? '-' : '+';
        AppendNumber(out, magnitude / 60, 2);
        AppendNumber(out, magnitude % 60, 2);
        continue;  // never doubled
      }
      default:
        out += c;
        continue;
    }
    if (doubled) ++i;
  }
  return out;
}

}  // namespace vk
