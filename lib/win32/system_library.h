#pragma once
// System DLLs come from the system folder only: never from the folder the program was started
// from, where a web page may have dropped a DLL of the same name beside a downloaded installer.
#include <windows.h>

namespace vk {

// Loads a system DLL (a bare file name such as L"msi.dll") by its full path in the system folder,
// with its own dependencies searched from there; null when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

// From now on the DLL search leaves out the program's and the current folder, and every DLL that
// the program imports through the delay-load helper is loaded by LoadSystemLibrary. Called first
// thing at start-up, before any such DLL is needed.
void LoadSystemDllsOnly();

}  // namespace vk
