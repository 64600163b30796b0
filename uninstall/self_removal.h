#pragma once
// The uninstaller's self-removal: "delunins.bat" in the temporary folder, started detached just
// before the process exits.
#include "lib/strings.h"
#include "uninstall/core/self_removal.h"

namespace uninstall {

// Whether the console takes UTF-8 batch text (Windows 10 and later).
bool SystemHasUtf8Console();

// The temporary folder's "delunins.bat".
vk::Streng SelfRemovalBatchPath();

// Writes the batch bytes to paths.batchFile, replacing an older file. False when it could not
// be written completely.
bool WriteSelfRemovalBatchFile(const SelfRemovalPaths& paths, bool utf8Console);

// Starts the batch detached and hidden (setup::LaunchDetached): the command interpreter with "/c",
// else the shell. The batch's own folder, the temporary folder, is the working folder, so the
// batch does not hold the folders it removes.
bool StartSelfRemovalBatch(const vk::Streng& batchFile);

// The last act of a successful uninstallation: writes "delunins.bat" for the running executable
// and starts it. Never reports errors to the user; true when the batch was written and started.
bool WriteSelfRemovalBatch(const vk::Streng& installFolder, const vk::Streng& uninstallSubdir);

}  // namespace uninstall
