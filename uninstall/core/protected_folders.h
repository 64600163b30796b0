#pragma once
// The decision whether a folder may be deleted with everything in it.
#include <vector>

#include "lib/strings.h"

namespace uninstall {

// The folder in the form folders are compared in: white space trimmed, "/" as "\", "." and ".."
// components resolved, trailing backslashes removed.
vk::Streng NormalizeFolder(std::u16string_view folder);

// True when the folder must not be deleted as a whole: it is empty, not an absolute path (drive
// letter and colon, or UNC), a drive root or a UNC share, equal to one of the protected folders in
// any letter case, or a folder that contains one of them.
bool IsProtectedFolder(const vk::Streng& folder, const std::vector<vk::Streng>& protectedFolders);

}  // namespace uninstall
