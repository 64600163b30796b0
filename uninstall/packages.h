#pragma once
// Removes the Windows Installer packages that the installation ran.
#include <vector>

#include "lib/strings.h"
#include "uninstall/step_context.h"

namespace uninstall {

// For each "[MSI]" line: MsiSetInternalUI with the line's level, then
// MsiInstallProductW(path, "REBOOT=R REMOVE=ALL"), with msi.dll from the system folder only.
// A line that succeeds leaves `packages`; a nonzero result adds
// "Failed to uninstall %s, code %d: %s\r\n" (the package's file name, the code and its system
// text) to the failure summary and the line stays, as does a line that does not parse.
void UninstallPackages(std::vector<vk::String>& packages, StepContext& run);

}  // namespace uninstall
