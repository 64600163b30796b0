#pragma once
// What the system's list of installed programs says about this product, its master product and an
// earlier installation of it; and the checks of the start that depend on them.
#include "lib/strings.h"

namespace setup {

// One entry under "Software\Microsoft\Windows\CurrentVersion\Uninstall" of HKEY_LOCAL_MACHINE, in
// the 64-bit registry view.
struct UninstallEntry {
  bool installed = false;  // the entry has an uninstall command
  vk::Streng InstallLocation;
  vk::Streng DisplayVersion;
  vk::Streng ProductStartMenu;
  vk::Streng NoDowngradeBelow;
  vk::Streng UninstallString;
  vk::Streng QuietUninstallString;
  vk::String SharedFiles;
};

// Every value is empty when the entry is missing or has no such text value.
UninstallEntry FindInstalledProduct(const vk::Streng& name);

// A text value named by "HKLM\key\value" or "HKCU\key\value" (64-bit view); empty when there is
// none or the text is no such reference.
vk::Streng ReadReferencedValue(const vk::Streng& reference);

// The product needs its master product, at least in the minimum version; refuses the run
// otherwise. A "<master>" default folder becomes the master's folder.
void CheckMasterProduct();

// Reads the earlier installation into the context: its folder, version, shared-file list and
// Start Menu folder. It counts only while its folder exists.
void LookUpPreviousInstallation();

}  // namespace setup
