#pragma once
// The text of "delunins.bat", the batch that removes the uninstaller once it has exited: it
// tries a bounded number of times until the executable is gone, pauses, removes the emptied
// folders and then itself; a second interpreter removes the batch's private folder once the
// batch has ended.
#include <cstddef>

#include "lib/strings.h"

namespace uninstall {

inline constexpr const char16_t* kSelfRemovalBatchName = u"delunins.bat";
// Folders of the uninstall subfolder removed at most (the subfolder and its parents).
inline constexpr size_t kMaxSubfolderLevels = 50;
// Attempts to delete the executable, about a second apart, before the batch goes on without it.
inline constexpr int kMaxDeleteAttempts = 120;

struct SelfRemovalPaths {
  vk::Streng executable;       // the running uninstaller; empty when it is not to be deleted
  vk::Streng installFolder;
  vk::Streng uninstallSubdir;  // UninstallSubdir, relative to the installation folder; may be empty
  vk::Streng batchFile;        // where the batch itself lies: alone in a folder of its own
  vk::Streng interpreter;      // the command interpreter (CommandInterpreterPath)
  int deleteAttempts = kMaxDeleteAttempts;
};

// Whether the running program is the product's uninstaller, the one program the batch deletes:
// it lies in the uninstall folder (the installation folder joined with UninstallSubdir). Both
// paths come in their long form; letter case, "/" and trailing backslashes do not count.
bool IsProductUninstaller(std::u16string_view executable, std::u16string_view uninstallFolder);

// The batch text, lines ending in "\r\n", without the code-page line. Every path is escaped for
// the interpreter (EscapeForBatch) and stands in double quotes. The batch first leaves its own
// folder, so that the folder can go at the end.
vk::Streng SelfRemovalText(const SelfRemovalPaths& paths);

// The bytes of the file: pure 7-bit text, or any text when the console cannot take UTF-8, in
// Windows-1252 behind "@chcp 1252 >nul"; other text in UTF-8 behind "@chcp 65001 >nul".
// lossless: false when a character had no place in Windows-1252 and became "?", which the
// interpreter would read as a wildcard.
vk::String EncodeSelfRemovalBatch(const vk::Streng& text, bool utf8Console, bool* lossless = nullptr);

}  // namespace uninstall
