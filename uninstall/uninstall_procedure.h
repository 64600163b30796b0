#pragma once
// The uninstallation of a product by its name: what the installation recorded is undone in a
// fixed order; what cannot be undone is kept for another run.
#include "lib/strings.h"

namespace uninstall {

// What the start-up code needs once the run is over.
struct UninstallOutcome {
  vk::String notifyUrl;        // NotifyURL of the entry
  vk::Streng installFolder;    // InstallLocation
  vk::Streng uninstallSubdir;  // UninstallSubdir
};

// The whole procedure; true only when everything was removed. Declining the confirmation ends
// the process with exit code 1.
bool RunUninstall(const vk::Streng& productName);

// The entry the last RunUninstall read.
const UninstallOutcome& LastUninstall();

}  // namespace uninstall
