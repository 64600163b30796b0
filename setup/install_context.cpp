#include "setup/install_context.h"

#include <windows.h>

#include "setup/engine_macros.h"

namespace setup {

InstallContext::InstallContext() : startingThread(GetCurrentThreadId()) {}

InstallContext& Context() {
  static InstallContext context;
  return context;
}

bool WindowsAllowed() {
  const InstallContext& c = Context();
  return !c.silentMode && GetCurrentThreadId() == c.startingThread;
}

namespace {

const vk::Streng* RawText(int n) {
  const InstallContext& c = Context();
  if (!c.settingsLoaded || n < 0) return nullptr;
  return &c.settings.Languages.raw(static_cast<size_t>(n));
}

}  // namespace

vk::Streng text(int n) {
  const vk::Streng* raw = RawText(n);
  return raw ? ExpandMacros(*raw) : vk::Streng();
}

vk::Streng formatText(int n) {
  const vk::Streng* raw = RawText(n);
  return raw ? ExpandMacrosForFormat(*raw) : vk::Streng();
}

}  // namespace setup
