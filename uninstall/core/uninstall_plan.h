#pragma once
// The uninstall procedure's decisions that need no system: the order in which folders go, how far
// their empty parents are followed, the file pass's progress and the support offer's link.
#include <cstddef>
#include <vector>

#include "lib/strings.h"

namespace uninstall {

// Folders are removed deepest first: longest path first, equal lengths in list order.
std::vector<vk::Streng> FoldersDeepestFirst(std::vector<vk::Streng> folders);

// Whether path lies strictly inside folder (any letter case, trailing backslashes ignored).
bool IsInsideFolder(std::u16string_view path, std::u16string_view folder);

// The progress position while the file pass stands at entry `done` of `total`: 11 to 92.
int FilePassProgress(size_t done, size_t total);

// A support offer is shown only for a link the shell opens in a browser.
bool IsSupportLink(std::u16string_view text);

}  // namespace uninstall
