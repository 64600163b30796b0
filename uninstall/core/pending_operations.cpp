#include "uninstall/core/pending_operations.h"

namespace uninstall {

using vk::Streng;

Streng StripPendingPrefix(std::u16string_view path) {
  size_t i = 0;
  while (i < path.size() && (path[i] == u'\\' || path[i] == u'?' || path[i] == u'!')) ++i;
  return Streng(path.substr(i));
}

Streng LowerPath(std::u16string_view path) {
  Streng out(path);
  for (char16_t& c : out) c = vk::FoldCase(c);
  return out;
}

PendingCleanup CleanPendingOperations(std::vector<Streng>& list, const ProtectedFiles& protectedFiles) {
  PendingCleanup result;
  if (list.empty()) return result;
  if (list.size() % 2 == 1) list.emplace_back();
  size_t i = 0;
  while (i < list.size()) {
    const Streng& source = list[i];
    const Streng& destination = list[i + 1];
    if (!destination.empty()) {
      if (!protectedFiles.count(PendingComparisonForm(destination))) {
        i += 2;
        continue;
      }
      result.removed.push_back({true, StripPendingPrefix(destination), StripPendingPrefix(source)});
    } else {
      const Streng key = PendingComparisonForm(source);
      if (!key.empty() && !protectedFiles.count(key)) {
        i += 2;
        continue;
      }
      result.removed.push_back({false, StripPendingPrefix(source), {}});
    }
    list.erase(list.begin() + std::ptrdiff_t(i), list.begin() + std::ptrdiff_t(i + 2));
    result.changed = true;
  }
  return result;
}

std::vector<Streng> ParseMultiString(const uint8_t* data, size_t size) {
  std::vector<Streng> out;
  if (!data) return out;
  const size_t n = size / 2;
  Streng current;
  bool open = false;  // characters read since the last terminator
  for (size_t k = 0; k < n; ++k) {
    const char16_t c = char16_t(data[2 * k] | (data[2 * k + 1] << 8));
    if (c == 0) {
      out.push_back(std::move(current));
      current.clear();
      open = false;
    } else {
      current.push_back(c);
      open = true;
    }
  }
  if (open) {
    out.push_back(std::move(current));
  } else if (!out.empty() && out.back().empty()) {
    out.pop_back();  // the list's own terminator
  }
  return out;
}

std::vector<uint8_t> SerializeMultiString(const std::vector<Streng>& strings) {
  std::vector<uint8_t> out;
  auto put = [&out](char16_t c) {
    out.push_back(uint8_t(c & 0xFF));
    out.push_back(uint8_t(c >> 8));
  };
  for (const Streng& s : strings) {
    for (char16_t c : s) put(c);
    put(0);
  }
  put(0);
  return out;
}

}  // namespace uninstall
