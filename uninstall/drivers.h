#pragma once
// Removes what the system keeps for the product outside its folders: driver packages and
// firewall exceptions.
#include <functional>
#include <vector>

#include "lib/strings.h"
#include "uninstall/core/firewall_entries.h"

namespace uninstall {

// For each "[INF]" line: SetupUninstallOEMInfW with the INF's file name (the line names its place
// in the driver store) and SUOI_FORCEDELETE. setupapi.dll comes from the system folder; without
// the call nothing happens.
void UninstallDrivers(const std::vector<vk::String>& drivers);

// The firewall that RemoveFirewallEntries works on. Until the firewall's COM interface is in,
// it does nothing: ports and programs stay as they are.
FirewallControl& SystemFirewall();

// The "[Firewall]" lines through SystemFirewall() (see the core function of the same name).
void RemoveFirewallEntries(const std::vector<vk::String>& lines, const vk::Streng& installFolder,
                           const std::function<vk::Streng(const vk::Streng&)>& expandPathMacros);

}  // namespace uninstall
