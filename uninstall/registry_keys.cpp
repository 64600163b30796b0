#include "uninstall/registry_keys.h"

#include "lib/win32/handle.h"

namespace uninstall {

namespace {

// Key trees deeper than this are not the product's.
constexpr int kMaxTreeDepth = 64;
constexpr DWORD kMaxKeyName = 256;

std::vector<vk::Streng> SubkeyNames(HKEY key) {
  std::vector<vk::Streng> names;
  for (DWORD index = 0;; ++index) {
    wchar_t name[kMaxKeyName];
    DWORD length = kMaxKeyName;
    const LONG rc = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) continue;  // longer than a key name can be
    if (rc != ERROR_SUCCESS) break;
    names.push_back(vk::FromW(name, length));
  }
  return names;
}

std::vector<vk::Streng> SubkeyNames(HKEY root, const wchar_t* path) {
  vk::RegKey key;
  if (RegOpenKeyExW(root, path, 0, KEY_ENUMERATE_SUB_KEYS, key.put()) != ERROR_SUCCESS) return {};
  return SubkeyNames(key.get());
}

LONG DeleteTree(HKEY parent, const vk::Streng& path, REGSAM view, int depth) {
  vk::RegKey key;
  // REG_OPTION_OPEN_LINK: a link key is deleted itself, not the key it points to.
  LONG rc = RegOpenKeyExW(parent, vk::W(path), REG_OPTION_OPEN_LINK, KEY_READ | DELETE | view, key.put());
  if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (rc != ERROR_SUCCESS) return rc;
  if (depth < kMaxTreeDepth) {
    // Names are taken first: deleting while enumerating shifts the indices.
    for (const vk::Streng& sub : SubkeyNames(key.get())) {
      const LONG subRc = DeleteTree(key.get(), sub, view, depth + 1);
      if (subRc != ERROR_SUCCESS) rc = subRc;
    }
  }
  key.reset();
  const LONG own = RegDeleteKeyExW(parent, vk::W(path), view, 0);
  if (own == ERROR_FILE_NOT_FOUND) return rc;
  return own != ERROR_SUCCESS ? own : rc;
}

}  // namespace

LONG DeleteKeyTree(HKEY parent, const vk::Streng& path, REGSAM view) {
  if (path.empty()) return ERROR_INVALID_PARAMETER;  // never the parent itself
  return DeleteTree(parent, path, view, 0);
}

bool DeleteKeyIfEmpty(HKEY parent, const vk::Streng& path, REGSAM view) {
  if (path.empty()) return false;
  vk::RegKey key;
  if (RegOpenKeyExW(parent, vk::W(path), 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) return false;
  DWORD subkeys = 0, values = 0;
  if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS ||
      subkeys != 0 || values != 0)
    return false;
  key.reset();
  return RegDeleteKeyExW(parent, vk::W(path), view, 0) == ERROR_SUCCESS;
}

LONG DeleteRegistryValue(HKEY parent, const vk::Streng& path, const vk::Streng& name, REGSAM view) {
  vk::RegKey key;
  LONG rc = RegOpenKeyExW(parent, vk::W(path), 0, KEY_SET_VALUE | view, key.put());
  if (rc == ERROR_SUCCESS) rc = RegDeleteValueW(key.get(), vk::W(name));
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

std::vector<vk::Streng> LoadedUserHives() {
  const auto profiles =
      SubkeyNames(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList");
  const auto users = SubkeyNames(HKEY_USERS, nullptr);
  std::vector<vk::Streng> loaded;
  for (const vk::Streng& hive : SelectUserHives(profiles, users)) {
    vk::RegKey key;
    if (RegOpenKeyExW(HKEY_USERS, vk::W(hive), 0, KEY_READ, key.put()) == ERROR_SUCCESS) loaded.push_back(hive);
  }
  return loaded;
}

}  // namespace uninstall
