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
  TextSource source = Context().textSource;
  return source ? source(n) : vk::Streng();
}

}  // namespace setup
