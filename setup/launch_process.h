#pragma once
// The one way the engine and the uninstaller start programs: batch interpreters, regsvr32, the
// program after the installation, an old uninstaller, regedit, the log viewer.
#include <cstdint>

#include "lib/strings.h"

namespace setup {

// Option bits of LaunchProcess.
namespace LaunchOption {
constexpr uint32_t Wait = 0x1;            // wait for the end and return the exit code
constexpr uint32_t NewConsole = 0x2;
constexpr uint32_t IdlePriority = 0x4;
constexpr uint32_t HighPriority = 0x8;    // wins over IdlePriority
constexpr uint32_t Hidden = 0x10;
constexpr uint32_t Maximized = 0x20;      // wins over Hidden and Minimized
constexpr uint32_t Minimized = 0x40;      // wins over Hidden
constexpr uint32_t ErrorBox = 0x80;       // a failure to start is shown in a box
constexpr uint32_t PumpMessages = 0x100;  // the caller's windows stay responsive while it waits
constexpr uint32_t InheritHandles = 0x200;
constexpr uint32_t ProgramFolder = 0x800; // no working folder given: the program's own folder
}  // namespace LaunchOption

// Results besides an exit code.
constexpr uint32_t kLaunchFailed = 0x80000000;     // not started; the thread's last error says why
constexpr uint32_t kLaunchNoExitCode = 0x80000001; // started, not waited for (or no exit code)

// Starts the command line. processId, when given, is 0 unless the process started.
uint32_t LaunchProcess(const vk::Streng& commandLine, uint32_t options, const vk::Streng& workingFolder = {},
                       uint32_t* processId = nullptr);

// Starts a script through the command interpreter, hidden, without waiting.
bool LaunchDetached(const vk::Streng& file);

}  // namespace setup
