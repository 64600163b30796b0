#pragma once
// The uninstall procedure's decisions that need no system: the order in which folders go, how far
// their empty parents are followed, the file pass's progress and the support offer's link.
#include <cstddef>
#include <vector>

#include "lib/strings.h"

namespace uninstall {

// Folders are removed deepest first: longest path first, equal lengths in list order.
std::vector<vk::Streng> FoldersDeepestFirst(std::vector<vk::Streng> folders);

// Whether path lies strictly inside folder (any letter case, trailing backslashes ignored).
bool IsInsideFolder(std::u16string_view path, std::u16string_view folder);

// The folders through which deleting `path` would pass below the product's folders: from the
// first level below the deepest product folder that contains the path down to the path's own
// folder, and the path itself when it is a folder, outermost first. A junction or symbolic link
// among them would lead the deletion out of the product's folders. Empty when no product folder
// contains the path (the product folder itself is not among them: it may be a link by choice).
std::vector<vk::Streng> FoldersToCheckForLinks(std::u16string_view path, const std::vector<vk::Streng>& productFolders,
                                               bool pathIsFolder);

// The progress position while the file pass stands at entry `done` of `total`: 11 to 92.
int FilePassProgress(size_t done, size_t total);

// A support offer is shown only for a link the shell opens in a browser.
bool IsSupportLink(std::u16string_view text);

// How a successful uninstallation ends. A scripted run (automatic mode, also under /silent)
// never restarts Windows: nobody asked for it there. A program handed over with /r: (the new
// installer that had this product removed first) is always started, and a restart, which would
// end it at once, is then left to it. Otherwise the product's quiet option restarts without
// asking, and without it the user is asked.
enum class UninstallRestart { None, Ask, Now };
struct UninstallEnding {
  UninstallRestart restart = UninstallRestart::None;
  bool runProgram = false;
  bool operator==(const UninstallEnding&) const = default;
};
UninstallEnding EndOfUninstall(bool restartAtEnd, bool productQuiet, bool automaticMode, bool hasProgram);

}  // namespace uninstall
