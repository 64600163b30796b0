#include "uninstall/core/comma_separated.h"

namespace uninstall {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool NeedsQuotes(std::string_view field) {
  if (field.empty()) return false;
  if (IsBlank(field.front()) || IsBlank(field.back())) return true;
  return field.find_first_of(",\"\r\n") != std::string_view::npos;
}

}  // namespace

std::vector<vk::String> SplitCommaSeparated(std::string_view line) {
  std::vector<vk::String> fields;
  size_t i = 0;
  for (;;) {
    vk::String field;
    if (i < line.size() && line[i] == '"') {
      ++i;
      while (i < line.size()) {
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += line[i++];
      }
    }
    while (i < line.size() && line[i] != ',') field += line[i++];
    fields.push_back(std::move(field));
    if (i >= line.size()) break;
    ++i;  // the comma; a trailing one leaves an empty last field
  }
  return fields;
}

vk::String JoinCommaSeparated(const std::vector<vk::String>& fields) {
  vk::String out;
  for (size_t n = 0; n < fields.size(); ++n) {
    if (n) out += ',';
    const vk::String& f = fields[n];
    if (!NeedsQuotes(f)) {
      out += f;
      continue;
    }
    out += '"';
    for (char c : f) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  return out;
}

}  // namespace uninstall
