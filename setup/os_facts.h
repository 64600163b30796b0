#pragma once
// What the running system tells about itself, gathered once per process.
#include "setup/core/os_description.h"

namespace setup {

// Asks the system (version record from ntdll, product info, metrics, native processor,
// emulator version, release number).
OsFacts GatherOsFacts();

// GatherOsFacts of the first call, kept for the run.
const OsFacts& SystemOsFacts();

// DescribeOperatingSystem for this system.
vk::String DescribeOperatingSystem(uint32_t flags);

}  // namespace setup
