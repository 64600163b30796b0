#include "setup/install_context.h"

#include <windows.h>

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

vk::Streng text(int n) {
  const InstallContext& c = Context();
  if (!c.settingsLoaded || n < 0) return vk::Streng();
  return ExpandTextMacros(c.settings.Languages.raw(static_cast<size_t>(n)));
}

vk::Streng ExpandTextMacros(const vk::Streng& rawText) { return rawText; }

}  // namespace setup
