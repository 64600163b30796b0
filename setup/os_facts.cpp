#include "setup/os_facts.h"

#include <windows.h>

#include "lib/win32/handle.h"

namespace setup {

namespace {

// GetVersionEx is told a compatibility version by the manifest; RtlGetVersion is not.
using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, DWORD*);
using GetNativeSystemInfoFn = void(WINAPI*)(SYSTEM_INFO*);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, BOOL*);
using WineGetVersionFn = const char*(CDECL*)();

template <class F>
F Lookup(HMODULE module, const char* name) {
  if (!module) return nullptr;
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

vk::String ReadReleaseId() {
  vk::RegKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows NT\\CurrentVersion", 0,
                    KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
    return {};
  wchar_t buffer[64] = {};
  DWORD type = 0, size = sizeof(buffer) - sizeof(wchar_t);
  if (RegQueryValueExW(key.get(), L"ReleaseId", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return {};
  buffer[size / sizeof(wchar_t)] = 0;
  return vk::StrengToAnsi(vk::FromW(buffer));
}

}  // namespace

OsFacts GatherOsFacts() {
  OsFacts f;
  // Both modules are always loaded in a Win32 process; no library search is involved.
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");

  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  bool haveVersion = false;
  if (auto rtlGetVersion = Lookup<RtlGetVersionFn>(ntdll, "RtlGetVersion"))
    haveVersion = rtlGetVersion(&version) == 0;
  if (!haveVersion) {
    version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    haveVersion = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)) != 0;
#pragma GCC diagnostic pop
  }
  if (haveVersion) {
    f.major = version.dwMajorVersion;
    f.minor = version.dwMinorVersion;
    f.platform = version.dwPlatformId;
    // On 9x the build number's high word repeats the version.
    f.build = f.platform == kPlatformWindows9x ? (version.dwBuildNumber & 0xFFFF)
                                               : version.dwBuildNumber;
    version.szCSDVersion[std::size(version.szCSDVersion) - 1] = 0;
    f.servicePack = vk::StrengToAnsi(vk::FromW(version.szCSDVersion));
    f.suiteMask = version.wSuiteMask;
    f.productType = version.wProductType;
  }

  if (f.major > 5) {
    if (auto getProductInfo = Lookup<GetProductInfoFn>(kernel32, "GetProductInfo")) {
      DWORD type = 0;
      if (getProductInfo(f.major, f.minor, version.wServicePackMajor, version.wServicePackMinor,
                         &type))
        f.productInfo = type;
    }
  }

  SYSTEM_INFO info = {};
  if (auto getNativeSystemInfo = Lookup<GetNativeSystemInfoFn>(kernel32, "GetNativeSystemInfo"))
    getNativeSystemInfo(&info);
  else
    GetSystemInfo(&info);
  f.processorArchitecture = info.wProcessorArchitecture;

  if (auto isWow64Process = Lookup<IsWow64ProcessFn>(kernel32, "IsWow64Process")) {
    BOOL wow64 = FALSE;
    if (isWow64Process(GetCurrentProcess(), &wow64)) f.wow64 = wow64 != FALSE;
  }

  f.tabletPc = GetSystemMetrics(86) != 0;
  f.mediaCenter = GetSystemMetrics(87) != 0;
  f.starter = GetSystemMetrics(88) != 0;
  f.serverR2 = GetSystemMetrics(89) != 0;

  if (auto wineGetVersion = Lookup<WineGetVersionFn>(ntdll, "wine_get_version")) {
    if (const char* v = wineGetVersion()) f.emulatorVersion.assign(v, strnlen(v, 256));
  }

  if (f.platform == kPlatformNT && f.major == 10 && f.minor == 0 && f.isWorkstation())
    f.releaseId = ReadReleaseId();
  return f;
}

const OsFacts& SystemOsFacts() {
  static const OsFacts facts = GatherOsFacts();
  return facts;
}

vk::String DescribeOperatingSystem(uint32_t flags) {
  return DescribeOperatingSystem(SystemOsFacts(), flags);
}

}  // namespace setup
