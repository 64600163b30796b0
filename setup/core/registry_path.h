#pragma once
// Full registry key paths as the installation data writes them: a root framed by backslashes
// ("\HKLM\", "\HKCU\", ...) followed by the key path. "\HKLM" alone is the root key itself.
#include <string_view>

#include "lib/strings.h"

namespace setup {

enum class RegistryRoot { None, LocalMachine, CurrentUser, ClassesRoot, Users, CurrentConfig, DynData, AllUsers };

struct RegistryPath {
  RegistryRoot root = RegistryRoot::None;  // None: the path names no known root
  vk::Streng key;                          // below the root; empty for the root key itself
};

// Root names compared without regard to case.
RegistryPath ParseRegistryPath(std::u16string_view path);

}  // namespace setup
