#include "uninstall/product_registry.h"

#include <windows.h>

#include <vector>

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
  RegistryRoot root;
  vk::Streng path;
  if (!SplitRegistryRoot(keyPath, &root, &path) || path.empty()) return {};
  if (root != RegistryRoot::AllUsers) return {{RootKey(root), path}};
  std::vector<Place> places;
  for (const vk::Streng& hive : hives) places.push_back({HKEY_USERS, hive + u"\\" + path});
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

}  // namespace uninstall
