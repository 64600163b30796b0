#pragma once
// The one way the engine and the uninstaller start programs: batch interpreters, regsvr32, the
// program after the installation, an old uninstaller, regedit, the log viewer.
#include <cstdint>

#include "lib/strings.h"
#include "setup/core/launch_options.h"

namespace setup {

// The option bits (LaunchOption) are in setup/core/launch_options.h.

// Results besides an exit code.
constexpr uint32_t kLaunchFailed = 0x80000000;     // not started; the thread's last error says why
constexpr uint32_t kLaunchNoExitCode = 0x80000001; // started, not waited for (or no exit code)

// Starts the command line. processId, when given, is 0 unless the process started.
uint32_t LaunchProcess(const vk::Streng& commandLine, uint32_t options, const vk::Streng& workingFolder = {},
                       uint32_t* processId = nullptr);

// Starts a script through the command interpreter, hidden, without waiting.
bool LaunchDetached(const vk::Streng& file);

}  // namespace setup
