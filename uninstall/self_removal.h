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

// Starts a command detached from this process, with no window, in the given working folder (the
// caller's when empty); both handles are closed at once. The process launcher proper lives with
// the batch files; this is the small form the self-removal needs.
bool LaunchDetached(const vk::Streng& commandLine, const vk::Streng& folder);

// Starts the batch through the command interpreter (ComSpec) with "/c"; when that process cannot
// be created, opens the batch through the shell, hidden. The temporary folder is the working
// folder, so the batch does not hold the folders it removes.
bool StartSelfRemovalBatch(const vk::Streng& batchFile);

// The last act of a successful uninstallation: writes "delunins.bat" for the running executable
// and starts it. Never reports errors to the user; true when the batch was written and started.
bool WriteSelfRemovalBatch(const vk::Streng& installFolder, const vk::Streng& uninstallSubdir);

}  // namespace uninstall
