#include "uninstall/core/fonts.h"

#include "lib/narrow_path.h"

namespace uninstall {

std::vector<std::string_view> QuotedStrings(std::string_view text) {
  std::vector<std::string_view> out;
  size_t pos = 0;
  while (true) {
    const size_t open = text.find('"', pos);
    if (open == std::string_view::npos) break;
    const size_t close = text.find('"', open + 1);
    if (close == std::string_view::npos) break;
    out.push_back(text.substr(open + 1, close - open - 1));
    pos = close + 1;
  }
  return out;
}

std::vector<ProductFont> ParseProductFonts(std::string_view text) {
  const auto strings = QuotedStrings(text);
  std::vector<ProductFont> fonts;
  for (size_t i = 0; i + 1 < strings.size(); i += 2)
    fonts.push_back({vk::Utf8ToStreng(strings[i]), vk::DecodeNarrowPath(strings[i + 1])});
  return fonts;
}

}  // namespace uninstall
