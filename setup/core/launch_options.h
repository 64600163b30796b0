#pragma once
// The process launcher's option bits and its decisions over them: the window's show state, the
// creation flags, and the working folder of the program-folder option. Pure, so that the tables
// are tested on the host.
#include <cstdint>
#include <functional>
#include <string_view>

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

// The values of the system's constants that the decisions produce.
namespace LaunchConstant {
constexpr uint32_t CreateNewConsole = 0x10;
constexpr uint32_t NormalPriority = 0x20;
constexpr uint32_t IdlePriority = 0x40;
constexpr uint32_t HighPriority = 0x80;
constexpr uint16_t ShowHide = 0;
constexpr uint16_t ShowMaximized = 3;
constexpr uint16_t ShowMinimized = 6;
}  // namespace LaunchConstant

struct ShowState {
  bool given = false;  // STARTF_USESHOWWINDOW; otherwise the program shows itself as it likes
  uint16_t show = 0;
};

// Maximised wins over minimised, which wins over hidden.
ShowState LaunchShowState(uint32_t options);
// The console and the priority class; high wins over idle.
uint32_t LaunchCreationFlags(uint32_t options);

// What the command-line decisions need to know of the file system.
struct PathFacts {
  std::function<bool(const vk::Streng&)> isFile;
  std::function<bool(const vk::Streng&)> isFolder;
};

// The program that a command line names, and where its arguments begin.
struct CommandLineSplit {
  vk::Streng program;
  size_t argumentsAt = 0;  // just past the program (and its closing quote)
  bool quoted = false;
};

// A quoted program runs to its closing quote. An unquoted one may hold white space; of the
// readings the system would try (each stretch up to a white space, and the whole line) the
// longest that names an existing file wins, as it stands or with ".exe". A reading that an
// existing folder at the line's start reaches past is cut off and never taken, so that
// "C:\Program Files\App\app.exe" cannot become "C:\Program.exe", even when app.exe is missing.
// Without an existing file, the shortest reading that is not cut off (a bare name is left to the
// system's search).
CommandLineSplit SplitCommandLine(std::u16string_view commandLine, const PathFacts& facts);

// The command line for CreateProcessW: an unquoted program that holds white space is quoted, so
// that the system cannot read a shorter program out of it.
vk::Streng QuoteCommandLineProgram(std::u16string_view commandLine, const PathFacts& facts);

}  // namespace setup
