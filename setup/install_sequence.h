#pragma once
#include "setup/container_reader.h"

namespace setup {

// One installation, from the language choice to the end of the run: the phases in their fixed
// order. Never returns; every run ends through exitInstaller with code 1.
[[noreturn]] void RunInstallation(Container& container);

}  // namespace setup
