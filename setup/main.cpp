#include <windows.h>

#include "setup/startup.h"
#ifdef BRIMSTEAD_RESTART_SEAM
#include "setup/restart_seam.h"
#endif

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
#ifdef BRIMSTEAD_RESTART_SEAM
  setup::InstallRestartTestSeam();
#endif
  setup::RunEngine(instance);
}
