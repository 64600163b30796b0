#include "uninstall/product_registry.h"

#include <windows.h>

#include <vector>

#include "setup/registry_values.h"
#include "uninstall/core/registry_entries.h"
#include "uninstall/registry_keys.h"

namespace uninstall {

namespace {

void RemoveKeyChain(HKEY root, const vk::Streng& prefix, const std::vector<vk::Streng>& keys, REGSAM view) {
  if (keys.empty()) return;
  DeleteKeyTree(root, prefix + keys.front(), view);
  for (size_t n = 1; n < keys.size(); ++n)
    if (!DeleteKeyIfEmpty(root, prefix + keys[n], view)) break;
}

// The places a removal's key path stands for: a root key and the path below it.
struct Place {
  HKEY root;
  vk::Streng path;
};

std::vector<Place> Places(const vk::Streng& keyPath, const std::vector<vk::Streng>& hives) {
  const setup::RegistryPath parsed = setup::ParseRegistryPath(keyPath);
  if (parsed.root == RegistryRoot::None || parsed.key.empty()) return {};
  if (parsed.root != RegistryRoot::AllUsers) return {{setup::RootKeyOf(parsed.root), parsed.key}};
  std::vector<Place> places;
  for (const vk::Streng& hive : hives) places.push_back({HKEY_USERS, hive + u"\\" + parsed.key});
  return places;
}

}  // namespace

void RemoveProductRegistry(const vk::Streng& productRegistry, bool view64) {
  const std::vector<vk::Streng> keys = ProductRegistryKeys(productRegistry);
  if (keys.empty()) return;
  const REGSAM view = view64 ? KEY_WOW64_64KEY : 0;
  RemoveKeyChain(HKEY_LOCAL_MACHINE, u"", keys, view);
  for (const vk::Streng& hive : LoadedUserHives()) RemoveKeyChain(HKEY_USERS, hive + u"\\", keys, view);
}

void RemoveRegistryEntries(const vk::Streng& registryText, bool view64) {
  const std::vector<RegistryRemoval> removals = ParseRegistryRemovals(registryText);
  if (removals.empty()) return;
  const REGSAM view = view64 ? KEY_WOW64_64KEY : 0;
  const std::vector<vk::Streng> hives = LoadedUserHives();
  for (const RegistryRemoval& removal : removals) {
    for (const Place& place : Places(removal.keyPath, hives)) {
      if (removal.value)
        DeleteRegistryValue(place.root, place.path, removal.valueName, view);
      else
        DeleteKeyIfEmpty(place.root, place.path, view);
    }
  }
}

void DeleteRecordedValue(const vk::Streng& path, bool view64) {
  const size_t slash = path.rfind(u'\\');
  if (slash == vk::Streng::npos) return;
  const REGSAM view = view64 ? KEY_WOW64_64KEY : 0;
  for (const Place& place : Places(path.substr(0, slash), LoadedUserHives()))
    DeleteRegistryValue(place.root, place.path, path.substr(slash + 1), view);
}

void DeleteRecordedKey(const vk::Streng& path, bool view64) {
  const setup::RegistryPath parsed = setup::ParseRegistryPath(path);
  if (!MayDeleteKeyTree(parsed.root, parsed.key)) return;
  const REGSAM view = view64 ? KEY_WOW64_64KEY : 0;
  for (const Place& place : Places(path, LoadedUserHives())) DeleteKeyTree(place.root, place.path, view);
}

}  // namespace uninstall
