#pragma once
// The engine's entry procedure and its one way out.
#include <cstdint>

#include "lib/strings.h"

namespace setup {

// Start-up, command line, and the run mode it asks for. Never returns.
[[noreturn]] void RunEngine(void* instance);

// The only way out of the process: windows gone, pending messages pumped, temporary work file
// deleted, notifications sent, firewall exception removed, OLE uninitialised, then ExitProcess.
[[noreturn]] void exitInstaller(int exitCode);

// The run's session number: the start time (FILETIME, 100 ns since 1601) with its low 16 bits
// replaced by the process id, so that runs started in the same few milliseconds still differ and
// later runs have larger numbers.
uint64_t MakeSessionNumber(uint64_t fileTime, unsigned long processId);

}  // namespace setup
