#pragma once
// Narrow paths: 8-bit text that stands for a wide path. Pure 7-bit paths are kept as they
// are; any other path is "|" followed by its UTF-8 form. Unmarked 8-bit text is in the
// ANSI code page. Also the wide path helpers that follow the same joining rule.
#include "lib/strings.h"

namespace vk {

String EncodeNarrowPath(std::u16string_view wide);
Streng DecodeNarrowPath(std::string_view narrow);

// True when the narrow path carries the UTF-8 mark.
inline bool IsUtf8NarrowPath(std::string_view narrow) {
  return !narrow.empty() && narrow[0] == '|';
}

// The drive letter position: the first character, the second after the mark; 0 when the
// path is too short. The character is not checked to be a letter.
char NarrowPathDriveLetter(std::string_view narrow);

// Joins folder and name with one backslash between them: a name that begins with a
// backslash takes the place of one trailing backslash of the folder; no backslash is added
// after an empty folder or one that ends in ":" or "\". The result is marked when either
// side is marked.
String JoinNarrowPath(std::string_view folder, std::string_view name);

// The same joining rule for wide paths.
Streng JoinPath(std::u16string_view folder, std::u16string_view name);

// Split at the last backslash. The folder keeps its backslash when it is a root ("C:\",
// "\"), so that JoinPath(PathFolder(p), PathFileName(p)) gives p back. Without a
// backslash the folder is empty and the file name is the whole path.
Streng PathFolder(std::u16string_view path);
Streng PathFileName(std::u16string_view path);

// A path made absolute against a base folder: white space around it trimmed; a path with a
// drive letter and colon, or a UNC path, stays; one that begins with a single backslash takes the
// base's drive letter and colon; any other goes behind the base with one backslash between.
Streng MakeAbsolutePath(std::u16string_view base, std::u16string_view path);

// A path with a drive letter, colon and backslash ("C:\x"), or a UNC path ("\\server\share"):
// one the system never looks up relative to the current folder or drive.
bool IsAbsolutePath(std::u16string_view path);

// Removes "." and ".." components the way the system's canonicalisation does ("C:\a\.\b\..\c"
// becomes "C:\a\c"); ".." never climbs above the root ("X:\", "\\server\share\", "\").
// Paths of any length; used where the system call's buffer is too small.
Streng RemoveDotComponents(std::u16string_view path);

}  // namespace vk
