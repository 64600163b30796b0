#pragma once
// The system's list of pending file operations (the PendingFileRenameOperations value): pairs of
// source and destination, an empty destination meaning a deletion. Cleaning it keeps a deletion
// or move that an earlier run scheduled from destroying a file that this run installed, or that
// this run removed already.
#include <cstddef>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "lib/strings.h"

namespace uninstall {

// Lower-cased wide paths: at installation the files just installed, at uninstallation the files
// the uninstaller deleted. Build the entries with LowerPath.
using ProtectedFiles = std::unordered_set<vk::Streng>;

// The path with its leading backslashes, question marks and exclamation marks removed
// ("!\??\C:\x" gives "C:\x").
vk::Streng StripPendingPrefix(std::u16string_view path);
// The library's case folding over the whole path.
vk::Streng LowerPath(std::u16string_view path);
// The form entries are compared in: stripped and lower-cased.
inline vk::Streng PendingComparisonForm(std::u16string_view path) {
  return LowerPath(StripPendingPrefix(path));
}

// One removed pair, in list order, for the caller's log and shell deletion. Paths are stripped
// but keep their case.
struct PendingRemoval {
  bool move = false;   // a move onto a protected file; otherwise a deletion
  vk::Streng path;     // the move's destination, or the deletion's source (empty for an empty pair)
  vk::Streng source;   // the move's source: the temporary file that goes to the recycle bin
};

struct PendingCleanup {
  bool changed = false;  // a pair was removed: write the list back
  std::vector<PendingRemoval> removed;
};

// Edits the list in place: an odd list is padded with one empty string; a move onto a protected
// file and a deletion of a protected file (or of an empty source) are removed; everything else
// stays in order.
PendingCleanup CleanPendingOperations(std::vector<vk::Streng>& list, const ProtectedFiles& protectedFiles);

// The strings of REG_MULTI_SZ bytes (UTF-16LE), the empty ones between them kept; the final
// terminator is not a string. An odd trailing byte is ignored; text without a terminator counts.
std::vector<vk::Streng> ParseMultiString(const uint8_t* data, size_t size);
// Every string with its terminator, then the list's terminator.
std::vector<uint8_t> SerializeMultiString(const std::vector<vk::Streng>& strings);

}  // namespace uninstall
