#include "uninstall/core/registry_entries.h"

#include <algorithm>

#include "uninstall/core/comma_separated.h"

namespace uninstall {

namespace {

// The registry text has at most this many lines that the uninstaller looks at.
constexpr size_t kMaxLines = 100000;
constexpr size_t kParentLevels = 20;

size_t Depth(std::u16string_view path) { return size_t(std::count(path.begin(), path.end(), u'\\')); }

// The key path's components without empty ones.
std::vector<vk::Streng> Components(std::u16string_view path) {
  std::vector<vk::Streng> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(u'\\', start);
    if (end == std::u16string_view::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

std::vector<RegistryRemoval> ParseRegistryRemovals(std::u16string_view text) {
  std::vector<RegistryRemoval> values, keys;
  size_t start = 0, lines = 0;
  while (start < text.size() && lines++ < kMaxLines) {
    size_t end = text.find_first_of(u"\r\n", start);
    if (end == std::u16string_view::npos) end = text.size();
    const vk::String line = vk::StrengToUtf8(vk::Trim(text.substr(start, end - start)));
    start = end + 1;
    if (line.empty()) continue;
    const std::vector<vk::String> fields = SplitCommaSeparated(line);
    if (fields.size() == 1) {
      vk::Streng key = vk::Trim(vk::Utf8ToStreng(fields[0]));
      if (Depth(key) >= 2) keys.push_back({false, std::move(key), {}});
    } else if (fields.size() == 5) {
      const vk::String kind = vk::Trim(fields[4]);
      if (kind == "2" || kind == "3" || kind == "5")
        values.push_back({true, vk::Trim(vk::Utf8ToStreng(fields[0])), vk::Utf8ToStreng(fields[1])});
    }
  }
  std::stable_sort(keys.begin(), keys.end(), [](const RegistryRemoval& a, const RegistryRemoval& b) {
    return Depth(a.keyPath) > Depth(b.keyPath);
  });
  values.insert(values.end(), keys.begin(), keys.end());
  return values;
}

std::vector<vk::Streng> SelectUserHives(const std::vector<vk::Streng>& profileList,
                                        const std::vector<vk::Streng>& usersSubkeys) {
  if (!profileList.empty()) return profileList;
  std::vector<vk::Streng> hives;
  for (const vk::Streng& name : usersSubkeys) {
    if (vk::EqualsNoCase(name, u".DEFAULT")) continue;
    if (name.size() >= 8 && vk::EqualsNoCase(std::u16string_view(name).substr(name.size() - 8), u"_Classes")) continue;
    hives.push_back(name);
  }
  return hives;
}

std::vector<vk::Streng> ProductRegistryKeys(std::u16string_view productRegistry) {
  std::vector<vk::Streng> parts = Components(vk::Trim(productRegistry));
  std::vector<vk::Streng> keys;
  while (!parts.empty() && keys.size() <= kParentLevels) {
    vk::Streng key = u"Software";
    for (const vk::Streng& part : parts) key += u"\\" + part;
    keys.push_back(std::move(key));
    parts.pop_back();
  }
  return keys;
}

}  // namespace uninstall
