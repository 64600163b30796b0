#include "lib/win32/system_library.h"

#include <delayimp.h>

#include <cwchar>

namespace vk {

HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t path[MAX_PATH + 1];
  const UINT n = GetSystemDirectoryW(path, MAX_PATH);
  const size_t length = std::wcslen(name);
  if (n == 0 || n + 1 + length > MAX_PATH || std::wcschr(name, L'\\') || std::wcschr(name, L'/')) return nullptr;
  path[n] = L'\\';
  std::wmemcpy(path + n + 1, name, length + 1);
  // The dependencies from the DLL's own folder and the system folder; a system without these
  // flags (Windows 7 before its loader update) refuses them, and then the altered search order
  // does the same without the program's folder.
  HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
    module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  return module;
}

namespace {

FARPROC WINAPI BeforeDelayLoad(unsigned notice, PDelayLoadInfo info) {
  if (notice != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
  // The names in the program's delay imports are short ASCII file names.
  wchar_t name[MAX_PATH];
  size_t i = 0;
  for (; info->szDll[i] && i + 1 < MAX_PATH; ++i) name[i] = static_cast<unsigned char>(info->szDll[i]);
  if (info->szDll[i]) return nullptr;
  name[i] = 0;
  return reinterpret_cast<FARPROC>(LoadSystemLibrary(name));
}

}  // namespace

void LoadSystemDllsOnly() {
  __pfnDliNotifyHook2 = &BeforeDelayLoad;
  // Through GetProcAddress: Windows 7 has the call only with its loader update; there at least
  // the current folder is taken off the search path.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto set = kernel ? reinterpret_cast<SetDefaultDllDirectoriesFn>(
                          reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
                    : nullptr;
  if (!set || !set(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}

}  // namespace vk
