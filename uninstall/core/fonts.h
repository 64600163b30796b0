#pragma once
// The product's font list (the ProductFonts value): per font a double-quoted registry value name
// (UTF-8) and a double-quoted font file (narrow path), as in "Face" "face.ttf" "Other" "o.ttf" .
#include <string_view>
#include <vector>

#include "lib/strings.h"

namespace uninstall {

struct ProductFont {
  vk::Streng valueName;  // under the system's font key
  vk::Streng file;       // a file name in the Fonts folder, or a full path
  bool operator==(const ProductFont&) const = default;
};

// The pairs in order. Text outside quotes is ignored; an unclosed quote or an odd last string
// ends the list.
std::vector<ProductFont> ParseProductFonts(std::string_view text);

// The texts between pairs of double quotes, in order; an unclosed quote is dropped.
std::vector<std::string_view> QuotedStrings(std::string_view text);

}  // namespace uninstall
