#include "uninstall/shared_files.h"

#include <windows.h>
#include <oleauto.h>

#include "lib/format.h"
#include "lib/narrow_path.h"
#include "lib/win32/fileops.h"
#include "lib/win32/handle.h"
#include "setup/core/product_flags.h"
#include "setup/launch_process.h"
#include "uninstall/core/shared_files.h"

namespace uninstall {

namespace {

vk::Streng SystemFolder() {
  wchar_t buffer[MAX_PATH];
  const UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
  return n && n < MAX_PATH ? vk::FromW(buffer, n) : vk::Streng();
}

bool IsFullPath(const vk::Streng& path) {
  return (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') || path.substr(0, 2) == u"\\\\";
}

// The counter as a number: REG_DWORD, or four bytes of another type; false when there is none.
bool ReadCounter(HKEY key, const vk::Streng& name, DWORD* count) {
  DWORD type = 0, value = 0, size = sizeof(value);
  if (RegQueryValueExW(key, vk::W(name), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
    return false;
  *count = size == sizeof(value) ? value : 0;
  return true;
}

// Lowers the counter; true when the file is still in use by someone.
bool StillCounted(HKEY key, const vk::Streng& name, DWORD count) {
  const DWORD lowered = count ? count - 1 : 0;
  if (lowered == 0) return RegDeleteValueW(key, vk::W(name)) != ERROR_SUCCESS;
  // A counter that cannot be lowered keeps the file: deleting it would break its other users.
  RegSetValueExW(key, vk::W(name), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&lowered), sizeof(lowered));
  return true;
}

// Waited for without a limit, hidden: the DLL cannot be removed while regsvr32 still holds it,
// and regsvr32 /s shows nothing that could wait for the user. By its full path, so that no
// program of the product's folder stands in for it.
bool RunRegsvr32(const vk::Streng& path) {
  const vk::Streng system = SystemFolder();
  if (system.empty()) return false;
  const vk::Streng commandLine = u"\"" + system + u"\\regsvr32.exe\" /s /u \"" + path + u"\"";
  return setup::LaunchProcess(commandLine, setup::LaunchOption::Wait | setup::LaunchOption::Hidden, system) !=
         setup::kLaunchFailed;
}

void CallDllUnregisterServer(const vk::Streng& path) {
  if (!IsFullPath(path)) return;  // the altered search order needs a full path
  vk::ModuleHandle module(LoadLibraryExW(vk::W(path), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!module) return;
  using Unregister = HRESULT(STDAPICALLTYPE*)();
  const auto unregister =
      reinterpret_cast<Unregister>(reinterpret_cast<void*>(GetProcAddress(module.get(), "DllUnregisterServer")));
  if (unregister) unregister();
}

void UnregisterTypeLibrary(const vk::Streng& path) {
  ITypeLib* library = nullptr;
  if (FAILED(LoadTypeLibEx(vk::W(path), REGKIND_NONE, &library)) || !library) return;
  TLIBATTR* attributes = nullptr;
  if (SUCCEEDED(library->GetLibAttr(&attributes)) && attributes) {
    UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                      attributes->syskind);
    library->ReleaseTLibAttr(attributes);
  }
  library->Release();
}

}  // namespace

void RemoveSharedFiles(const vk::String& sharedFiles, StepContext& run) {
  const std::vector<SharedFile> files = ParseSharedFiles(sharedFiles);
  if (files.empty()) return;
  vk::RegKey counters;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, counters.put()) !=
      ERROR_SUCCESS) {
    run.AddFailure(u"REGISTRY ERROR:  Unable to adjust shared file reference counts.\r\n\r\n");
    return;
  }
  const bool ask = run.ProductFlag(setup::flag::UninstallAsksForSharedFiles) && !run.Quiet();
  for (const SharedFile& file : files) {
    const vk::Streng path = vk::DecodeNarrowPath(file.narrowPath);
    DWORD count = 0;
    if (!ReadCounter(counters.get(), path, &count)) continue;
    if (StillCounted(counters.get(), path, count) || file.neverRemove) continue;
    if (file.selfRegistering && !RunRegsvr32(path)) CallDllUnregisterServer(path);
    if (file.typeLibrary) UnregisterTypeLibrary(path);
    if (file.selfRegistering || file.typeLibrary) run.BringProgressToFront();
    if (!IsFullPath(path) || !vk::IsFile(path)) continue;
    if (ask && !run.AskYesNo(vk::Format(std::u16string_view(run.Text(59)), path), run.Text(35))) continue;
    vk::DeleteFileEx(path, vk::FallBackToReboot);
  }
}

}  // namespace uninstall
