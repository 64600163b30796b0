#pragma once
// The product's list of counted shared files (the SharedFiles value): double-quoted narrow
// paths separated by ";", each path followed by its marks.
#include <string_view>
#include <vector>

#include "lib/strings.h"

namespace uninstall {

struct SharedFile {
  vk::String narrowPath;         // without the marks
  bool selfRegistering = false;  // "^": unregister with regsvr32
  bool neverRemove = false;      // " ": neither unregister nor delete the file
  bool typeLibrary = false;      // 0xA9: unregister the type library
  bool operator==(const SharedFile&) const = default;
};

// Removes the marks from the end, in the order "^", space, 0xA9, each only when present. In a
// "|" (UTF-8) path a final 0xA9 that completes a character is part of the path, not a mark.
SharedFile SplitSharedFileMarks(std::string_view markedPath);

// The entries in list order. Text outside the quotes is ignored (a path may contain ";"), and
// entries whose path is empty are dropped.
std::vector<SharedFile> ParseSharedFiles(std::string_view text);

}  // namespace uninstall
