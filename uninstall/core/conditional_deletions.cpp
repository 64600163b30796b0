#include "uninstall/core/conditional_deletions.h"

#include "lib/format.h"

namespace uninstall {

using vk::Streng;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// minCount to maxCount digits at pos; pos moves past them.
bool ReadDigits(std::string_view s, size_t& pos, size_t minCount, size_t maxCount, int32_t& out) {
  size_t n = 0;
  int32_t v = 0;
  while (pos + n < s.size() && n < maxCount && IsDigit(s[pos + n])) v = v * 10 + (s[pos + n++] - '0');
  if (n < minCount) return false;
  pos += n;
  out = v;
  return true;
}

bool IsLeap(int32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int32_t DaysInMonth(int32_t y, int32_t m) {
  static const int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// -1, 0, 1 over (year, month, day) and, when withTime, (hour, minute, second).
int CompareDates(const vk::DateTime& a, const vk::DateTime& b, bool withTime) {
  const int32_t left[6] = {a.year, a.month, a.day, a.hour, a.minute, a.second};
  const int32_t right[6] = {b.year, b.month, b.day, b.hour, b.minute, b.second};
  const int n = withTime ? 6 : 3;
  for (int i = 0; i < n; ++i)
    if (left[i] != right[i]) return left[i] < right[i] ? -1 : 1;
  return 0;
}

}  // namespace

std::optional<ComparisonDate> ParseComparisonDate(std::string_view text) {
  const vk::String trimmed = vk::Trim(text);
  const std::string_view s = trimmed;
  size_t pos = 0;
  ComparisonDate out;
  vk::DateTime& d = out.when;
  if (!ReadDigits(s, pos, 4, 4, d.year)) return std::nullopt;
  if (pos < s.size() && (s[pos] == '-' || s[pos] == '/' || s[pos] == '.')) {
    const char sep = s[pos++];
    if (!ReadDigits(s, pos, 1, 2, d.month) || pos >= s.size() || s[pos++] != sep ||
        !ReadDigits(s, pos, 1, 2, d.day))
      return std::nullopt;
  } else if (!ReadDigits(s, pos, 2, 2, d.month) || !ReadDigits(s, pos, 2, 2, d.day)) {
    return std::nullopt;
  }
  if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > DaysInMonth(d.year, d.month)) return std::nullopt;
  if (pos < s.size()) {
    if (s[pos] != ' ' && s[pos] != 'T') return std::nullopt;
    while (pos < s.size() && s[pos] == ' ') ++pos;
    if (pos < s.size() && s[pos] == 'T') ++pos;
    if (!ReadDigits(s, pos, 1, 2, d.hour) || pos >= s.size() || s[pos++] != ':' ||
        !ReadDigits(s, pos, 2, 2, d.minute))
      return std::nullopt;
    if (pos < s.size() && s[pos] == ':' && !ReadDigits(s, ++pos, 2, 2, d.second)) return std::nullopt;
    if (pos != s.size() || d.hour > 23 || d.minute > 59 || d.second > 59) return std::nullopt;
    out.hasTime = true;
  }
  return out;
}

std::optional<uint64_t> ParseComparisonSize(std::string_view text) {
  const vk::String s = vk::Trim(text);
  if (s.empty() || s.size() > 19) return std::nullopt;  // 19 digits cannot overflow
  uint64_t v = 0;
  for (char c : s) {
    if (!IsDigit(c)) return std::nullopt;
    v = v * 10 + uint64_t(c - '0');
  }
  return v;
}

Condition TestDeletionCondition(uint8_t kind, std::string_view value, const FileFacts& file) {
  auto holds = [](bool b) { return b ? Condition::Holds : Condition::Fails; };
  switch (kind) {
    case 0:
      return Condition::Holds;
    case 1:
    case 2:
    case 3: {
      const auto date = ParseComparisonDate(value);
      if (!date) return Condition::BadValue;
      if (file.modified.IsNull()) return Condition::Fails;
      const int c = CompareDates(file.modified, date->when, date->hasTime);
      return holds(kind == 1 ? c == 0 : kind == 2 ? c >= 0 : c <= 0);
    }
    case 4:
    case 5:
    case 6: {
      const auto size = ParseComparisonSize(value);
      if (!size) return Condition::Fails;
      return holds(kind == 4 ? file.size == *size : kind == 5 ? file.size >= *size : file.size <= *size);
    }
    default:
      return Condition::Fails;
  }
}

bool MatchesWildcard(std::u16string_view name, std::u16string_view pattern) {
  // Greedy matching with one backtrack point: linear enough for file names.
  size_t n = 0, p = 0, starP = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == u'?' || vk::FoldCase(pattern[p]) == vk::FoldCase(name[n]))) {
      ++n;
      ++p;
    } else if (starP != std::u16string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

bool HasWildcard(std::u16string_view text) {
  return text.find_first_of(u"*?") != std::u16string_view::npos;
}

Streng DeletedFileText(const Streng& path) { return vk::Format(u"Deleted file: %s\r\n", path); }

Streng WillDeleteAfterRebootText(const Streng& path, bool onlyAtRestart, const Streng& errorText) {
  return onlyAtRestart ? vk::Format(u"File \"%s\" will be deleted after rebooting%s%s\r\n", path, u"", u".")
                       : vk::Format(u"File \"%s\" will be deleted after rebooting%s%s\r\n", path, u": ", errorText);
}

Streng FailedToRegisterText(const Streng& path, const Streng& errorText) {
  return vk::Format(u"Failed to register \"%s\" for deletion: %s\r\n", path, errorText);
}

Streng FailedToDeleteText(const Streng& path, const Streng& errorText) {
  return vk::Format(u"Failed to delete file \"%s\": %s\r\n", path, errorText);
}

Streng SkippedDeletionText(const Streng& pattern, const Streng& value) {
  return vk::Format(u"Skipped the conditional deletion of \"%s\": \"%s\" is not a date.\r\n", pattern, value);
}

}  // namespace uninstall
