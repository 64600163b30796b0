#pragma once
// The one comparison of product versions: the previous-installation rules, %Existing% and the
// versioned files of the archive all order versions by it.
//
// Each text becomes a list of numbers (every run of digits is one number, of any length; other
// characters only separate; a "." as the very first character counts as a 0) and a suffix letter
// (the last letter in the text, none being lowest). The lists are compared from the left; when one
// ends first with all shared numbers equal, the longer is the newer (1.2 is older than 1.2.0);
// equal lists are decided by the suffix letter.
#include <string_view>

namespace setup {

// <0, 0, >0 as a is older than, equal to or newer than b.
int CompareProductVersion(std::string_view a, std::string_view b);
int CompareProductVersion(std::u16string_view a, std::u16string_view b);

}  // namespace setup
