#pragma once
// A small writer for single registry values of the kinds the uninstall entry uses. Every call
// returns the system error (0 on success) and leaves it as the thread's last error as well, so
// that LastSystemErrorText() describes the failure.
#include <windows.h>

#include <cstdint>

#include "lib/strings.h"
#include "lib/win32/handle.h"
#include "setup/core/registry_path.h"
#include "setup/core/uninstall_values.h"

namespace setup {

// The predefined key of a root; null for none and for the every-user pseudo-root.
HKEY RootKeyOf(RegistryRoot root);

// Opens or creates root\path with the access given (view bits included).
uint32_t OpenOrCreateRegistryKey(HKEY root, const vk::Streng& path, REGSAM access, vk::RegKey& key);
// The same for a full path ("\HKLM\Software\..."); a path without a known root fails with
// ERROR_BAD_PATHNAME. The every-user pseudo-root is not handled here.
uint32_t OpenOrCreateRegistryPath(const vk::Streng& fullPath, REGSAM access, vk::RegKey& key);

// Carries out one operation in key (op.key is not looked at). 8-bit text goes through the ANSI
// code page functions; deleting a value that is not there succeeds.
uint32_t ApplyRegistryValue(HKEY key, const RegValueOp& op);

// A REG_SZ or REG_EXPAND_SZ value as text, at most 64 K characters; false when it is missing,
// of another type or longer.
bool ReadRegistryText(HKEY key, const vk::Streng& name, vk::Streng& text);

}  // namespace setup
