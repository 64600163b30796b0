#pragma once
// Where the product goes: the installation folder (from the registry, over an earlier
// installation, or chosen on the folder page), the Start Menu folder, and the data folders.
#include <cstdint>

#include "lib/strings.h"

namespace setup {

// The data's default installation folder with its placeholders and macros expanded; a
// "<master>" folder is the master product's once that is known.
vk::Streng DefaultInstallFolder();
bool DefaultFolderIsMaster();

// Fixes the installation folder and the kind of run, applying the rules of an earlier
// installation (must uninstall first, no downgrade, confirmation); then whether the installation
// is portable, and the Start Menu folder. neededBytes: what the archive's items take on disk.
// Refusals and cancels end the run.
void ChooseInstallFolder(uint64_t neededBytes);

// The uninstall data folder and the shared folder, created; failures are logged and the run
// goes on.
void PrepareFolders();

}  // namespace setup
