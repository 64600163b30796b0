#pragma once
// Puts the file associations back as they were before the installation.
#include <vector>

#include "lib/strings.h"
#include "uninstall/core/uninstall_data.h"

namespace uninstall {

// For each record with an extension and a program identifier: restores the default values that
// the installation saved in the "<display name> Backup" values of the extension, program
// identifier, "DefaultIcon", "shell" and verb "command" keys, and deletes what the installation
// created in their place. Registry names are taken in the ANSI code page. The shell is not
// notified here: the caller sends SHChangeNotify(SHCNE_ASSOCCHANGED) once after this step.
void RestoreAssociations(const std::vector<FileAssociation>& records, const vk::Streng& displayName);

}  // namespace uninstall
