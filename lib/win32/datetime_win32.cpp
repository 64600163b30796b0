// The Win32 sources of a DateTime and the time-zone offset behind the "b" letter.
#include <windows.h>

#include "lib/datetime.h"

namespace vk {

DateTime::DateTime(const SYSTEMTIME& t)
    : year(t.wYear), month(t.wMonth), day(t.wDay), dayOfWeek(t.wDayOfWeek + 1), hour(t.wHour),
      minute(t.wMinute), second(t.wSecond) {}

DateTime::DateTime(const FILETIME& fileTime) {
  SYSTEMTIME utc, local;
  // The rules of the file's own date, not today's daylight-saving state.
  if (FileTimeToSystemTime(&fileTime, &utc) &&
      SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
    *this = DateTime(local);
}

DateTime DateTime::Now() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return DateTime(t);
}

int32_t LocalUtcOffsetMinutes(const DateTime& local) {
  if (local.IsNull() || local.year < 1601 || local.year > 30827) return 0;
  SYSTEMTIME lt{};
  lt.wYear = static_cast<WORD>(local.year);
  lt.wMonth = static_cast<WORD>(local.month);
  lt.wDay = static_cast<WORD>(local.day);
  lt.wHour = static_cast<WORD>(local.hour);
  lt.wMinute = static_cast<WORD>(local.minute);
  lt.wSecond = static_cast<WORD>(local.second);
  SYSTEMTIME ut;
  FILETIME lf, uf;
  if (!TzSpecificLocalTimeToSystemTime(nullptr, &lt, &ut) || !SystemTimeToFileTime(&lt, &lf) ||
      !SystemTimeToFileTime(&ut, &uf))
    return 0;
  const auto ticks = [](const FILETIME& f) {
    return static_cast<int64_t>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
  };
  return static_cast<int32_t>((ticks(lf) - ticks(uf)) / (10000000LL * 60));
}

}  // namespace vk
