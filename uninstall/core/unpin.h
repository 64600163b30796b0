#pragma once
// Which deletion-list entries are taskbar pins: the shell keeps pinned shortcuts below a folder
// named "User Pinned".
#include "lib/strings.h"

namespace uninstall {

// True when a folder component of the path (not the last component, which is the file) is
// "User Pinned" in any letter case. Both "\" and "/" separate components.
bool PassesThroughUserPinned(std::u16string_view path);

}  // namespace uninstall
