#pragma once
// The name of the value in which the installation keeps an association key's earlier default.
#include "lib/strings.h"

namespace uninstall {

// The display name followed by " Backup", with backslashes, CR, LF and tabs removed (a value
// name must not hold a backslash).
vk::Streng AssociationBackupName(std::u16string_view displayName);

}  // namespace uninstall
