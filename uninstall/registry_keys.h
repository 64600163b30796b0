#pragma once
// Registry removal helpers of the uninstaller: whole key trees, empty keys, values, and the
// user hives that an all-users path stands for.
#include <windows.h>

#include <vector>

#include "lib/strings.h"
#include "uninstall/core/registry_entries.h"

namespace uninstall {

// Deletes the key with its values and subkeys, in the given view (0, KEY_WOW64_64KEY). Never
// follows a symbolic link key out of the tree. ERROR_SUCCESS, also when the key was not there.
LONG DeleteKeyTree(HKEY parent, const vk::Streng& path, REGSAM view);

// Deletes the key when it has neither subkeys nor values. True when it was deleted.
bool DeleteKeyIfEmpty(HKEY parent, const vk::Streng& path, REGSAM view);

// Deletes one value; ERROR_SUCCESS, also when the value or its key was not there.
LONG DeleteRegistryValue(HKEY parent, const vk::Streng& path, const vk::Streng& name, REGSAM view);

// The hives under HKEY_USERS to apply an all-users path to (SelectUserHives of the profile list
// and of HKEY_USERS), only those that are loaded.
std::vector<vk::Streng> LoadedUserHives();

}  // namespace uninstall
