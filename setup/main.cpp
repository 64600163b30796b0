#include <windows.h>

#include "setup/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { setup::RunEngine(instance); }
