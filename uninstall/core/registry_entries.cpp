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

bool IsNamed(const vk::Streng& part, std::u16string_view name) { return vk::EqualsNoCase(part, name); }

// Keys every program shares, as components below the root.
constexpr std::u16string_view kSharedKeys[][4] = {
    {u"Software", u"Microsoft"},
    {u"Software", u"Policies"},
    {u"Software", u"Microsoft", u"Windows"},
    {u"Software", u"Microsoft", u"Windows", u"CurrentVersion"},
    {u"Software", u"Microsoft", u"Windows NT"},
    {u"Software", u"Microsoft", u"Windows NT", u"CurrentVersion"},
    {u"SYSTEM", u"CurrentControlSet"},
    {u"SYSTEM", u"CurrentControlSet", u"Control"},
    {u"SYSTEM", u"CurrentControlSet", u"Services"},
};

}  // namespace

bool MayDeleteKeyTree(RegistryRoot root, std::u16string_view key) {
  if (root == RegistryRoot::None) return false;
  std::vector<vk::Streng> parts = Components(key);
  std::erase_if(parts, [](const vk::Streng& part) { return IsNamed(part, u"Wow6432Node"); });
  if (root == RegistryRoot::Users) {
    if (parts.empty()) return false;
    parts.erase(parts.begin());  // the user's hive
  }
  if (parts.size() >= 2 && IsNamed(parts[0], u"Software") && IsNamed(parts[1], u"Classes"))
    parts.erase(parts.begin(), parts.begin() + 2);
  if (parts.size() < 2) return false;
  for (const auto& shared : kSharedKeys) {
    size_t n = 0;
    while (n < 4 && !shared[n].empty()) ++n;
    if (parts.size() != n) continue;
    bool same = true;
    for (size_t i = 0; i < n && same; ++i) same = IsNamed(parts[i], shared[i]);
    if (same) return false;
  }
  return true;
}

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
