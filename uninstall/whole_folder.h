#pragma once
// Deletes the installation folder with everything in it, unless it is a system folder.
#include <vector>

#include "lib/strings.h"

namespace uninstall {

// The folders that are never deleted as a whole (IsProtectedFolder also refuses every folder
// that contains one of them): the Windows and system folders, the Program Files and Common Files
// folders of both views, ProgramData and the profiles folder, the user's profile and its
// application-data, documents, desktop, start-menu and startup folders with their all-users
// counterparts, the Fonts folder, the temporary folder and the system drive's root.
std::vector<vk::Streng> ProtectedSystemFolders();

// Deletes the folder tree: read-only attributes are cleared first; a junction or symbolic link
// inside the tree is removed itself and never followed. Refuses a protected folder. True when
// the folder is gone afterwards; what could not be deleted stays.
bool DeleteInstallationTree(const vk::Streng& installFolder);

}  // namespace uninstall
