#pragma once
// The last system changes of an installation, which make the product removable: the files the
// uninstaller needs (its background picture, its own executable with the product's icon, readme
// and licence copies) and the product's entry in the list of installed programs, whose values the
// uninstaller and later installations read back.
#include "lib/strings.h"

namespace setup {

// The background picture, readme and licence copies, the PATH change and, for a product with an
// uninstaller, the uninstaller copy and its icon.
void CopyUninstallerFiles();

// The uninstall entry with every value of the product, then the reboot marker.
void RegisterUninstall();

// The uninstaller executable: the uninstall folder joined with the data's file name.
vk::Streng UninstallerPath();

enum class IconReplacement { Replaced, OpenFailed, Failed };

// Puts the images of an icon file into a PE file as RT_ICON 1..n and RT_GROUP_ICON 1, all in
// language 1033. A damaged icon file, a file that cannot be updated or a failed update leaves the
// executable as it was.
IconReplacement ReplaceExecutableIconResources(const vk::Streng& executable, const vk::Streng& iconFile);
inline bool ReplaceExecutableIcon(const vk::Streng& executable, const vk::Streng& iconFile) {
  return ReplaceExecutableIconResources(executable, iconFile) == IconReplacement::Replaced;
}

}  // namespace setup
