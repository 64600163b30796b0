#pragma once
// The product's registry data: its own key below "Software" and the installation data's
// registry entries ("[Registry2]").
#include "lib/strings.h"

namespace uninstall {

// Deletes HKLM "Software\" + productRegistry with all subkeys (64-bit view when view64), then
// its parents while they have neither subkeys nor values, at most 20 levels, never "Software"
// itself; then the same under every loaded user hive (the hive list of the all-users paths).
void RemoveProductRegistry(const vk::Streng& productRegistry, bool view64);

// Deletes the values (kinds 2, 3, 5) and then the empty keys that the registry-entry text
// names; "\HKAU\" paths in every loaded user hive. Paths whose root is unknown, and roots
// themselves, are passed over.
void RemoveRegistryEntries(const vk::Streng& registryText, bool view64);

// The registry items of the deletion list: a value (the path's last component is its name) and
// a key with all its subkeys, in the 64-bit view when view64.
void DeleteRecordedValue(const vk::Streng& path, bool view64);
void DeleteRecordedKey(const vk::Streng& path, bool view64);

}  // namespace uninstall
