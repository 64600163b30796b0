#include "lib/wininit.h"

namespace vk {

namespace {

constexpr std::string_view kSection = "[rename]";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

size_t FindSection(std::string_view text) {
  if (text.size() < kSection.size()) return std::string_view::npos;
  for (size_t i = 0; i + kSection.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < kSection.size() && Lower(text[i + k]) == kSection[k]) ++k;
    if (k == kSection.size()) return i;
  }
  return std::string_view::npos;
}

}  // namespace

String AddWininitRename(std::string_view iniText, std::string_view left, std::string_view right) {
  String entry;
  entry.reserve(left.size() + right.size() + 3);
  entry.append(left);
  entry += '=';
  entry.append(right);

  String out;
  out.reserve(iniText.size() + entry.size() + kSection.size() + 4);
  const size_t at = FindSection(iniText);
  if (at == std::string_view::npos) {
    out.append(iniText);
    // A last line without its line end would otherwise swallow the section name.
    if (!out.empty() && out.back() != '\n') out += "\r\n";
    out.append(kSection);
    out += "\r\n";
    out += entry;
    return out;
  }
  const size_t after = at + kSection.size();
  out.append(iniText.substr(0, after));
  out += "\r\n";
  out += entry;
  out.append(iniText.substr(after));
  return out;
}

}  // namespace vk
