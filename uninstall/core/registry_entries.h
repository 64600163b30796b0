#pragma once
// What the uninstaller reads of registry paths: the "[Registry2]" lines that stand for something
// to remove, the list of user hives and the keys of the product's own registry path.
#include <string_view>
#include <vector>

#include "lib/strings.h"
#include "setup/core/registry_path.h"

namespace uninstall {

using setup::RegistryRoot;

// One removal of "[Registry2]".
struct RegistryRemoval {
  bool value = false;      // delete the value `valueName`; otherwise delete the key when empty
  vk::Streng keyPath;      // with its root, as the line holds it
  vk::Streng valueName;
  bool operator==(const RegistryRemoval&) const = default;
};

// The removals of the registry-entry text, values first in line order, then the empty-key
// deletions deepest key first (a key created before its subkey can only go after it). One-field
// lines with at least two backslashes are key deletions; five-field lines whose field 5 is 2, 3
// or 5 are value deletions; every other line is ignored.
std::vector<RegistryRemoval> ParseRegistryRemovals(std::u16string_view registryText);

// The user hives to visit under HKEY_USERS: the profile list's subkeys when there is at least
// one, otherwise the subkeys of HKEY_USERS without ".DEFAULT" and the "_Classes" hives.
std::vector<vk::Streng> SelectUserHives(const std::vector<vk::Streng>& profileList,
                                        const std::vector<vk::Streng>& usersSubkeys);

// Whether a record may delete this key with everything below it. Never a root or a key right
// below one ("\HKLM\Software", "\HKCR\CLSID"), nor a few keys that all programs share
// ("Software\Microsoft", "SYSTEM\CurrentControlSet" and their like). Below HKEY_USERS the user's
// hive counts as a root; "Software\Classes" counts as the classes root; a "Wow6432Node"
// component, the other view of its parent, does not count as a level.
bool MayDeleteKeyTree(RegistryRoot root, std::u16string_view key);

// The product's key "Software\" + the ProductRegistry text, followed by its parents up to, not
// including, "Software": at most 21 keys (the key and 20 levels above it). Backslashes around
// the text and doubled backslashes are dropped; empty when the text names no key, so that
// "Software" itself is never on the list.
std::vector<vk::Streng> ProductRegistryKeys(std::u16string_view productRegistry);

}  // namespace uninstall
