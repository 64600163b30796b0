#pragma once
// The run's temporary work file: made in the temporary folder before the first change to the
// system, closed and deleted by the exit routine.
#include "lib/strings.h"

namespace setup {

// Creates a new file "bswXXXX.tmp" in folder that goes when it is closed (or the process ends).
// The one call that opens it also creates it, never opening a file or link that is there, so a
// failure leaves nothing behind. False when no file could be made.
bool CreateWorkFile(const vk::Streng& folder);

// Closes and so deletes the work file; nothing when there is none.
void DeleteWorkFile();

}  // namespace setup
