#pragma once
// The file-installation phase: every archive entry is placed under the overwrite rules, written,
// recorded for removal and handed to its follow-up work.
#include "setup/container_reader.h"

namespace setup {

// Runs over every entry of the checked archive; a damaged entry ends the run through its
// numbered corrupt-installer error.
void ExtractArchive(Container& container);

}  // namespace setup
