#pragma once
// One line of comma-separated values: fields separated by ",", a field that begins with a
// double quote runs to the matching quote, and a doubled quote inside stands for one.
#include <string_view>
#include <vector>

#include "lib/strings.h"

namespace uninstall {

// Never fails: an unclosed quote takes the rest of the line, text after a closing quote is
// kept as it stands. An empty line is one empty field.
std::vector<vk::String> SplitCommaSeparated(std::string_view line);

// Quotes a field only when the reader would not give it back otherwise: it holds a comma,
// a double quote or a line break, or it begins or ends with white space (lines are trimmed).
vk::String JoinCommaSeparated(const std::vector<vk::String>& fields);

}  // namespace uninstall
