#pragma once
// The text of "delunins.bat", the batch that removes the uninstaller once it has exited: it
// spins until the executable is gone, pauses, removes the emptied folders and then itself.
#include <cstddef>

#include "lib/strings.h"

namespace uninstall {

inline constexpr const char16_t* kSelfRemovalBatchName = u"delunins.bat";
// Folders of the uninstall subfolder removed at most (the subfolder and its parents).
inline constexpr size_t kMaxSubfolderLevels = 50;

struct SelfRemovalPaths {
  vk::Streng executable;       // the running uninstaller
  vk::Streng installFolder;
  vk::Streng uninstallSubdir;  // UninstallSubdir, relative to the installation folder; may be empty
  vk::Streng batchFile;        // where the batch itself lies
};

// The batch text, lines ending in "\r\n", without the code-page line.
vk::Streng SelfRemovalText(const SelfRemovalPaths& paths);

// The bytes of the file: pure 7-bit text, or any text when the console cannot take UTF-8, in
// Windows-1252 ("?" for what it cannot hold) behind "@chcp 1252 >nul"; other text in UTF-8
// behind "@chcp 65001 >nul".
vk::String EncodeSelfRemovalBatch(const vk::Streng& text, bool utf8Console);

}  // namespace uninstall
