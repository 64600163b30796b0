#include "uninstall/core/firewall_entries.h"

#include "lib/narrow_path.h"

namespace uninstall {

namespace {

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    const size_t end = line.find(';', start);
    fields.push_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return fields;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (const char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// A decimal number with at most nine digits; -1 otherwise.
long ParseSmall(std::string_view s) {
  if (!AllDigits(s) || s.size() > 9) return -1;
  long n = 0;
  for (const char c : s) n = n * 10 + (c - '0');
  return n;
}

}  // namespace

std::optional<FirewallEntry> ParseFirewallLine(std::string_view line) {
  const vk::String trimmed = vk::Trim(line);
  const auto fields = SplitFields(trimmed);
  if (fields.size() != 4) return std::nullopt;
  if (fields[3].find('1') != std::string_view::npos) return std::nullopt;
  FirewallEntry entry;
  entry.name = vk::Utf8ToStreng(vk::Trim(fields[1]));
  const vk::String target = vk::Trim(fields[0]);
  if (AllDigits(target)) {
    const long port = ParseSmall(target);
    if (port < 1 || port > 65535) return std::nullopt;
    const long protocols = ParseSmall(vk::Trim(fields[2]));
    entry.port = int(port);
    entry.tcp = protocols > 0 && (protocols & 1);
    entry.udp = protocols > 0 && (protocols & 2);
    return entry;
  }
  if (target.empty()) return std::nullopt;
  entry.program = vk::Utf8ToStreng(target);
  return entry;
}

void RemoveFirewallEntries(const std::vector<vk::String>& lines, const vk::Streng& installFolder,
                           const std::function<vk::Streng(const vk::Streng&)>& expandPathMacros,
                           FirewallControl& control) {
  for (const vk::String& line : lines) {
    const auto entry = ParseFirewallLine(line);
    if (!entry) continue;
    if (entry->port) {
      if (entry->tcp) control.ClosePort(entry->port, kProtocolTcp, entry->name);
      if (entry->udp) control.ClosePort(entry->port, kProtocolUdp, entry->name);
      continue;
    }
    const vk::Streng expanded = expandPathMacros ? expandPathMacros(entry->program) : entry->program;
    control.RemoveApplication(vk::MakeAbsolutePath(installFolder, expanded));
  }
}

}  // namespace uninstall
