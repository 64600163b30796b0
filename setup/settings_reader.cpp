#include "setup/settings_reader.h"

#include "setup/os_facts.h"

#include <windows.h>

#include "setup/core/settings.h"
#include "setup/core/settings_apply.h"
#include "setup/errors.h"
#include "setup/install_context.h"

namespace setup {

namespace {

// The background window is made here once it exists; until then there is nothing to show.
void CreateBackgroundWindow(const InstallSettings&, bool /*startMinimized*/) {}

SystemVersion RunningSystemVersion() {
  const OsFacts& f = SystemOsFacts();
  return {f.major, f.minor, f.productType};
}

// The optional system hook of the button-image test. No system provides one yet, and an absent
// hook reports 0.
uint32_t SystemHookStatus() { return 0; }

bool ButtonImagesSupported() { return Nt52OptionKept(RunningSystemVersion(), SystemHookStatus()); }

// A 64-bit product: its files go where a 64-bit program sees them. A 64-bit engine is not
// redirected in the first place, which counts as success.
void DisableWow64Redirection() {
  InstallContext& c = Context();
#ifdef _WIN64
  c.wow64RedirectionFailed = false;
#else
  using DisableFn = BOOL(WINAPI*)(PVOID*);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto disable = kernel ? reinterpret_cast<DisableFn>(reinterpret_cast<void*>(
                              GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")))
                        : nullptr;
  c.wow64RedirectionFailed = !disable || !disable(&c.wow64RedirectionState);
#endif
}

}  // namespace

void readSettings(Container& container) {
  InstallContext& c = Context();
  SettingsStream stream = unpackSettings(container);

  SettingsHeader header{container.header.blockChecksum, container.header.productFlags2};
  RunModes modes{c.automaticMode, c.silentMode, c.startMinimized, c.overrideProductName};
  SettingsHooks hooks;
  hooks.createBackgroundWindow = &CreateBackgroundWindow;
  hooks.buttonImagesSupported = &ButtonImagesSupported;
  hooks.disableWow64Redirection = &DisableWow64Redirection;

  InstallSettings settings;
  const int read = ReadSettings(stream, header, modes, hooks, settings);
  if (read != kOk) corruptInstaller(read, false);

  ApplyDefaults(settings, modes);
  settings.PreInstallBatch = AppendBatchLines(settings.PreInstallBatch, c.batchAppend1);
  settings.PostInstallBatch = AppendBatchLines(settings.PostInstallBatch, c.batchAppend2);
  settings.InstallExitBatch = AppendBatchLines(settings.InstallExitBatch, c.batchAppend3);

  c.automaticMode = modes.automaticMode;
  c.silentMode = modes.silentMode;
  c.overrideProductName = modes.overrideProductName;
  c.ProductFlags2 = header.ProductFlags2;
  c.settings = std::move(settings);
  c.settingsLoaded = true;
}

void applyLanguageTexts() {
  InstallContext& c = Context();
  vk::Streng title = text(114);
  if (!title.empty()) c.settings.InstallerTitle = std::move(title);
}

}  // namespace setup
