#pragma once
// The firewall exceptions an installation opened ("[Firewall]" lines) and their removal through
// a replaceable firewall back end.
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "lib/strings.h"

namespace uninstall {

// The firewall API's protocol numbers.
inline constexpr int kProtocolTcp = 6;
inline constexpr int kProtocolUdp = 17;

// One line "path-or-port;name;protocols;options".
struct FirewallEntry {
  int port = 0;         // 1...65535 for a port; 0 for a program
  bool tcp = false;     // protocols bit 0
  bool udp = false;     // protocols bit 1
  vk::Streng program;   // field 1 as written (macros not expanded) when it is no port
  vk::Streng name;      // the rule name (UTF-8 in the line)
  bool operator==(const FirewallEntry&) const = default;
};

// Lines of exactly four fields. Field 1 of digits only is a port (out of range: no entry);
// anything else non-blank is a program. A line whose options hold "1" asked to keep the
// exception and gives no entry either.
std::optional<FirewallEntry> ParseFirewallLine(std::string_view line);

// What the removal asks of the system firewall.
class FirewallControl {
public:
  virtual ~FirewallControl() = default;
  virtual void ClosePort(int port, int protocol, const vk::Streng& name) = 0;
  virtual void RemoveApplication(const vk::Streng& programPath) = 0;
};

// For each line that parses: a port is closed for TCP and for UDP as its bits say; a program's
// path is macro-expanded, made absolute against the installation folder, and its exception
// removed.
void RemoveFirewallEntries(const std::vector<vk::String>& lines, const vk::Streng& installFolder,
                           const std::function<vk::Streng(const vk::Streng&)>& expandPathMacros,
                           FirewallControl& control);

}  // namespace uninstall
