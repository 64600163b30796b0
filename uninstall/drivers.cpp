#include "uninstall/drivers.h"

#include <windows.h>

#include "lib/narrow_path.h"
#include "lib/win32/handle.h"
#include "lib/win32/system_library.h"

namespace uninstall {

namespace {

constexpr DWORD kForceDelete = 0x0001;  // SUOI_FORCEDELETE
using UninstallOemInf = BOOL(WINAPI*)(const wchar_t* infFileName, DWORD flags, void* reserved);

vk::ModuleHandle LoadSetupApi() { return vk::ModuleHandle(vk::LoadSystemLibrary(L"setupapi.dll")); }

// Does nothing yet; the firewall's COM objects come in here.
class NoFirewall final : public FirewallControl {
public:
  void ClosePort(int, int, const vk::Streng&) override {}
  void RemoveApplication(const vk::Streng&) override {}
};

}  // namespace

void UninstallDrivers(const std::vector<vk::String>& drivers) {
  if (drivers.empty()) return;
  const vk::ModuleHandle setupApi = LoadSetupApi();
  if (!setupApi) return;
  const auto uninstallInf = reinterpret_cast<UninstallOemInf>(
      reinterpret_cast<void*>(GetProcAddress(setupApi.get(), "SetupUninstallOEMInfW")));
  if (!uninstallInf) return;
  for (const vk::String& line : drivers) {
    const vk::Streng name = vk::PathFileName(vk::Trim(vk::DecodeNarrowPath(vk::Trim(line))));
    if (name.empty()) continue;
    uninstallInf(vk::W(name), kForceDelete, nullptr);
  }
}

FirewallControl& SystemFirewall() {
  static NoFirewall firewall;
  return firewall;
}

void RemoveFirewallEntries(const std::vector<vk::String>& lines, const vk::Streng& installFolder,
                           const std::function<vk::Streng(const vk::Streng&)>& expandPathMacros) {
  RemoveFirewallEntries(lines, installFolder, expandPathMacros, SystemFirewall());
}

}  // namespace uninstall
