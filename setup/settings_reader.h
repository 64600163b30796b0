#pragma once
// Reading the settings block into the installation context, with the system work that happens
// between the records.
#include "setup/container_reader.h"

namespace setup {

// Unpacks the block and reads every record into Context(): the run modes that the data changes,
// ProductFlags2 (bit 10 adjusted to the system), the defaults, the command line's batch
// additions. A damaged block ends the run with its numbered error (47, 25, 19, 24, ..., 32).
void readSettings(Container& c);

// The steps that follow the language choice and depend on it: for now the installer title.
void applyLanguageTexts();

}  // namespace setup
