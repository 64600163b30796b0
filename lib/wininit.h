#pragma once
// The "[rename]" section of "wininit.ini": the delayed moves and deletions that the system
// carries out at the next start where the delayed move of MoveFileExW is not available.
#include "lib/strings.h"

namespace vk {

// The left side of an entry that deletes the file on its right.
inline constexpr const char* kWininitDelete = "NUL";

// The file text with the entry "left=right" added: directly after the first "[rename]"
// (any case) when there is one, otherwise in a new section at the end.
String AddWininitRename(std::string_view iniText, std::string_view left, std::string_view right);

}  // namespace vk
