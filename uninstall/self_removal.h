#pragma once
// The uninstaller's self-removal: "delunins.bat" in a private folder of its own under the
// temporary folder, started detached just before the process exits.
#include "lib/strings.h"
#include "uninstall/core/self_removal.h"

namespace uninstall {

// Whether the console takes UTF-8 batch text (Windows 10 and later).
bool SystemHasUtf8Console();

// A new folder under the temporary folder with a name nobody can guess ahead, which only the
// running user, the administrators and the system may enter or change. Never one that was
// there before. Empty when none could be made.
vk::Streng CreatePrivateFolder();

// Writes the batch bytes to paths.batchFile, which must not exist yet (no file or link that
// was there is ever opened). False when it could not be written completely, or when a path
// cannot be written faithfully even in its short form.
bool WriteSelfRemovalBatchFile(const SelfRemovalPaths& paths, bool utf8Console);

// Starts the batch detached and hidden (setup::LaunchDetached): the command interpreter with "/c",
// else the shell.
bool StartSelfRemovalBatch(const vk::Streng& batchFile);

// The last act of a successful uninstallation: writes "delunins.bat" into a private folder and
// starts it. The running executable is deleted only when it is the product's uninstaller in its
// uninstall folder (a copy run from elsewhere with /u: stays). Never reports errors to the user;
// true when the batch was written and started.
bool WriteSelfRemovalBatch(const vk::Streng& installFolder, const vk::Streng& uninstallSubdir);

}  // namespace uninstall
