#pragma once
// Takes the product's shortcuts off the taskbar.
#include <vector>

#include "lib/strings.h"

namespace uninstall {

// For each file entry of the deletion list below a "User Pinned" folder that still exists,
// invokes the shell verb "taskbarunpin" on it. Systems without the verb ignore it.
void UnpinShortcuts(const std::vector<vk::String>& entries);

}  // namespace uninstall
