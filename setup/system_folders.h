#pragma once
// The system's special folders and facts behind the path macros, and the engine's MacroValues.
//
// Each folder is a chain of sources tried in order; the first that gives a non-empty text wins,
// and no failure is reported. Nothing is kept between calls except the temporary folder and the
// operating-system facts, so every expansion sees the system as it is.
#include <windows.h>

#include <optional>
#include <string_view>

#include "lib/strings.h"
#include "setup/core/macros.h"

namespace setup {

// One folder of the macro table, its whole chain.
vk::Streng FolderPath(SystemFolder which);

// Program Files and Common Files for a normalised mode (NormaliseBitsMode): kBits64, kBitsNative,
// or kBits32 in a 64-bit process. Any other mode is taken as native.
vk::Streng ProgramFilesFolder(int mode);
vk::Streng CommonFilesFolder(int mode);

// GetTempPathW, or the Windows folder's "temp", or a created "c:\temp"; without a trailing
// backslash. Determined on first use and kept for the process.
vk::Streng TemporaryFolder();

// Determined on first use and kept for the process.
const OsInfo& OperatingSystemInfo();

// The running executable's full path.
vk::Streng ModulePath();

// The single sources of the chains, each empty when it gives nothing.
// SHGetSpecialFolderPathW with a CSIDL number, no creation.
vk::Streng ShellFolderPath(int csidl);
// SHGetKnownFolderPath, flags 0, no token.
vk::Streng KnownFolderPath(const GUID& id);
// A value under "Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders\" of
// HKEY_LOCAL_MACHINE (allUsers) or HKEY_CURRENT_USER; one trailing backslash removed.
vk::Streng ShellFoldersValue(bool allUsers, std::u16string_view name);
// A value of HKEY_LOCAL_MACHINE "Software\Microsoft\Windows\CurrentVersion" in the given view
// (0: the process's own, KEY_WOW64_32KEY, KEY_WOW64_64KEY); one trailing backslash removed.
vk::Streng CurrentVersionValue(std::u16string_view name, REGSAM view = 0);
// An environment variable shorter than 65536 characters with its terminator.
vk::Streng EnvironmentFolder(std::u16string_view name);

// The engine's values: the context from a MacroContext that the caller keeps current, everything
// else from the system at the moment it is asked for.
class SystemMacroValues final : public MacroValues {
public:
  explicit SystemMacroValues(const MacroContext& context) : context_(context) {}

  const MacroContext& context() const override { return context_; }
  vk::Streng folder(SystemFolder which) const override { return FolderPath(which); }
  vk::Streng programFiles(int mode) const override { return ProgramFilesFolder(mode); }
  vk::Streng commonFiles(int mode) const override { return CommonFilesFolder(mode); }
  bool process64() const override { return sizeof(void*) == 8; }
  vk::Streng installerPath() const override { return ModulePath(); }
  vk::Streng tempFolder() const override { return TemporaryFolder(); }
  const OsInfo& osInfo() const override { return OperatingSystemInfo(); }
  std::optional<vk::Streng> environment(std::u16string_view name) const override;

private:
  const MacroContext& context_;
};

}  // namespace setup
