#pragma once
// The folders of the run: installation folder, uninstall data folder and shared folder.

namespace setup {

// The installation folder: /d: when given, else the data's default folder, made absolute under
// Program Files; trailing backslash removed; created with its parents. Also decides whether the
// installation is portable (on a removable drive).
void ChooseInstallFolder();

// The uninstall data folder and the shared folder, created; failures are logged and the run
// goes on.
void CreateDataFolders();

}  // namespace setup
