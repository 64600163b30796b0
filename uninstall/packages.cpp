#include "uninstall/packages.h"

#include <windows.h>

#include "lib/format.h"
#include "lib/narrow_path.h"
#include "lib/win32/handle.h"
#include "lib/win32/system_library.h"
#include "lib/win32/system_error.h"
#include "uninstall/core/uninstall_data.h"

namespace uninstall {

namespace {

using SetInternalUi = int(WINAPI*)(int level, HWND* window);
using InstallProduct = UINT(WINAPI*)(const wchar_t* package, const wchar_t* commandLine);

// msi.dll from the system folder and nowhere else: a copy beside the uninstaller must not load.
vk::ModuleHandle LoadMsi() { return vk::ModuleHandle(vk::LoadSystemLibrary(L"msi.dll")); }

template <class F>
F Resolve(HMODULE module, const char* name) {
  return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

void UninstallPackages(std::vector<vk::String>& packages, StepContext& run) {
  if (packages.empty()) return;
  const vk::ModuleHandle msi = LoadMsi();
  const auto setInternalUi = Resolve<SetInternalUi>(msi.get(), "MsiSetInternalUI");
  const auto installProduct = Resolve<InstallProduct>(msi.get(), "MsiInstallProductW");

  std::vector<vk::String> remaining;
  for (vk::String& line : packages) {
    vk::Streng path;
    int level = 0;
    if (!ParsePackageLine(line, &path, &level)) {
      remaining.push_back(std::move(line));
      continue;
    }
    UINT result = ERROR_CALL_NOT_IMPLEMENTED;
    if (installProduct) {
      if (setInternalUi) setInternalUi(level, nullptr);
      result = installProduct(vk::W(path), L"REBOOT=R REMOVE=ALL");
    }
    if (result == ERROR_SUCCESS) continue;
    run.AddFailure(vk::Format(u"Failed to uninstall %s, code %d: %s\r\n", vk::PathFileName(path), result,
                              vk::SystemErrorText(result)));
    remaining.push_back(std::move(line));
  }
  packages = std::move(remaining);
}

}  // namespace uninstall
