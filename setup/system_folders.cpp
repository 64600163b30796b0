#include "setup/system_folders.h"

#include "setup/os_facts.h"

#include <shlobj.h>

#include <vector>

#include "lib/win32/fileops.h"
#include "lib/narrow_path.h"
#include "lib/win32/handle.h"
#include "lib/win32/system_library.h"

namespace setup {

using vk::Streng;
using vk::W;

namespace {

// Known folders, by their fixed ids.
constexpr GUID kProgramFilesX64 = {0x6D809377, 0x6AF0, 0x444B, {0x89, 0x57, 0xA3, 0x77, 0x3F, 0x02, 0x20, 0x0E}};
constexpr GUID kProgramFiles = {0x905E63B6, 0xC1BF, 0x494E, {0xB2, 0x9C, 0x65, 0xB7, 0x32, 0xD3, 0xD2, 0x1A}};
constexpr GUID kProgramFilesX86 = {0x7C5A40EF, 0xA0FB, 0x4BFC, {0x87, 0x4A, 0xC0, 0xF2, 0xE0, 0xB9, 0xFA, 0x8E}};
constexpr GUID kCommonFilesX64 = {0x6365D5A7, 0x0F0D, 0x45E5, {0x87, 0xF6, 0x0D, 0xA5, 0x6B, 0x6A, 0x4F, 0x7D}};
constexpr GUID kCommonFiles = {0xF7F1ED05, 0x9F6D, 0x47A2, {0xAA, 0xAE, 0x29, 0xD3, 0x17, 0xC6, 0xF0, 0x66}};
constexpr GUID kCommonFilesX86 = {0xDE974D24, 0xD9C6, 0x4D3E, {0xBF, 0x91, 0xF4, 0x45, 0x51, 0x20, 0xB9, 0x17}};

constexpr wchar_t kCurrentVersion[] = L"Software\\Microsoft\\Windows\\CurrentVersion";

Streng SystemDirectory() {
  wchar_t buffer[MAX_PATH + 1];
  const UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? vk::FromW(buffer, n) : Streng();
}

Streng WindowsDirectory() {
  wchar_t buffer[MAX_PATH + 1];
  const UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? vk::FromW(buffer, n) : Streng();
}

Streng InWindows(std::u16string_view name) { return vk::JoinPath(WindowsDirectory(), name); }

// The shell's folder functions, taken from the system folder's shell32 on first use; an old
// shell32 without them simply skips those sources.
struct ShellFunctions {
  using SpecialFolderPathW = BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL);
  using KnownFolderPath = HRESULT(WINAPI*)(REFGUID, DWORD, HANDLE, PWSTR*);

  vk::ModuleHandle module;
  SpecialFolderPathW specialFolderPath = nullptr;
  KnownFolderPath knownFolderPath = nullptr;

  ShellFunctions() {
    module.reset(vk::LoadSystemLibrary(L"shell32.dll"));
    if (!module) return;
    specialFolderPath = reinterpret_cast<SpecialFolderPathW>(
        reinterpret_cast<void*>(GetProcAddress(module.get(), "SHGetSpecialFolderPathW")));
    knownFolderPath = reinterpret_cast<KnownFolderPath>(
        reinterpret_cast<void*>(GetProcAddress(module.get(), "SHGetKnownFolderPath")));
  }
};

const ShellFunctions& ShellApi() {
  static const ShellFunctions functions;
  return functions;
}

// A string value of at most maxChars characters; empty when it is missing, of another type or
// longer, so that the chain goes on to its next source rather than use a cut path.
Streng ReadRegistryText(HKEY root, const Streng& keyPath, const Streng& valueName, DWORD maxChars,
                        REGSAM view = 0) {
  vk::RegKey key;
  if (RegOpenKeyExW(root, W(keyPath), 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) return {};
  std::vector<wchar_t> buffer(size_t(maxChars) + 1, L'\0');
  DWORD type = 0;
  DWORD bytes = DWORD(maxChars * sizeof(wchar_t));
  if (RegQueryValueExW(key.get(), W(valueName), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                       &bytes) != ERROR_SUCCESS)
    return {};
  if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
  // The stored text need not be terminated; it ends at the first terminator or its size.
  const size_t chars = bytes / sizeof(wchar_t);
  size_t length = 0;
  while (length < chars && buffer[length] != L'\0') ++length;
  return vk::FromW(buffer.data(), length);
}

Streng ExpandEnvironment(const Streng& text) {
  const DWORD needed = ExpandEnvironmentStringsW(W(text), nullptr, 0);
  if (needed == 0) return text;
  std::vector<wchar_t> buffer(needed + 1, L'\0');
  const DWORD n = ExpandEnvironmentStringsW(W(text), buffer.data(), needed + 1);
  if (n == 0 || n > needed + 1) return text;
  return vk::FromW(buffer.data());
}

// A chain: the first source that gives a non-empty text.
template <class... Sources>
Streng FirstOf(Sources&&... sources) {
  Streng out;
  ((out.empty() ? void(out = sources()) : void()), ...);
  return out;
}

Streng Shell(int csidl) { return ShellFolderPath(csidl); }
Streng AllUsers(std::u16string_view name) { return ShellFoldersValue(true, name); }
Streng PerUser(std::u16string_view name) { return ShellFoldersValue(false, name); }

Streng StartMenu() {
  return FirstOf([] { return Shell(CSIDL_STARTMENU); }, [] { return PerUser(u"Start Menu"); },
                 [] { return InWindows(u"Start Menu"); });
}

Streng SMPrograms() {
  return FirstOf([] { return Shell(CSIDL_PROGRAMS); }, [] { return PerUser(u"Programs"); },
                 [] { return vk::JoinPath(StartMenu(), u"Programs"); });
}

Streng Startup() {
  return FirstOf([] { return Shell(CSIDL_STARTUP); }, [] { return PerUser(u"Startup"); },
                 [] { return vk::JoinPath(SMPrograms(), u"StartUp"); });
}

Streng Desktop() {
  return FirstOf([] { return Shell(CSIDL_DESKTOPDIRECTORY); }, [] { return PerUser(u"Desktop"); },
                 [] { return InWindows(u"Desktop"); });
}

Streng Document() {
  return FirstOf([] { return Shell(CSIDL_PERSONAL); }, [] { return PerUser(u"Personal"); },
                 [] { return Streng(u"c:\\My Documents"); });
}

Streng Favorites() {
  return FirstOf([] { return Shell(CSIDL_FAVORITES); }, [] { return PerUser(u"Favorites"); },
                 [] { return InWindows(u"Favorites"); });
}

Streng DeviceFolder() {
  Streng value = CurrentVersionValue(u"DevicePath");
  if (!value.empty()) {
    value = DeviceDirFromValue(value, EnvironmentFolder(u"SystemRoot"));
    if (!value.empty()) return value;
  }
  return InWindows(u"INF");
}

Streng InetpubFolder() {
  Streng root = ReadRegistryText(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\INetStp", u"PathWWWRoot", 64);
  root = root.empty() ? Streng(u"c:\\Inetpub\\wwwroot") : ExpandEnvironment(root);
  return InetpubFromWebRoot(root);
}

Streng SystemFolderPath() {
  Streng path = SystemDirectory();
  if (!path.empty()) return path;
  return InWindows(OperatingSystemInfo().ntPlatform ? u"System32" : u"System");
}

Streng BootDrive() {
  return BootDriveFromValue(
      ReadRegistryText(HKEY_LOCAL_MACHINE, Streng(u"Software\\Microsoft\\Windows\\CurrentVersion\\Setup"),
                       u"BootDir", 64));
}

Streng FindTemporaryFolder() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  Streng path = n > 0 && n <= MAX_PATH ? vk::FromW(buffer, n) : Streng();
  if (path.empty() || !vk::IsFolder(path)) {
    path = InWindows(u"temp");
    if (!vk::IsFolder(path)) {
      path = u"c:\\temp";
      CreateDirectoryW(W(path), nullptr);
    }
  }
  // A drive root keeps its backslash, so that it stays the root.
  return TrimRegistryFolder(std::move(path));
}

// The %OS% facts, from the system facts gathered once per run.
OsInfo QueryOperatingSystem() {
  const OsFacts& f = SystemOsFacts();
  OsInfo os;
  os.ntPlatform = f.platform == kPlatformNT;
  os.major = f.major;
  os.minor = f.minor;
  os.build = f.build;
  os.productType = f.productType;
  os.productInfo = f.productInfo;
  os.homeServer52 = (f.suiteMask & VER_SUITE_WH_SERVER) != 0;
  os.serverR252 = f.serverR2;
  os.windows64 = sizeof(void*) == 8 || f.is64Bit() || f.processorArchitecture == 12 /* ARM64 */;
  return os;
}

}  // namespace

Streng ShellFolderPath(int csidl) {
  const auto call = ShellApi().specialFolderPath;
  if (!call) return {};
  wchar_t buffer[262] = {};
  if (!call(nullptr, buffer, csidl, FALSE)) return {};
  buffer[261] = L'\0';
  return vk::FromW(buffer);
}

Streng KnownFolderPath(const GUID& id) {
  const auto call = ShellApi().knownFolderPath;
  if (!call) return {};
  PWSTR path = nullptr;
  const HRESULT hr = call(id, 0, nullptr, &path);
  Streng out = SUCCEEDED(hr) && path ? vk::FromW(path) : Streng();
  CoTaskMemFree(path);
  return out;
}

Streng ShellFoldersValue(bool allUsers, std::u16string_view name) {
  // The name may carry a subkey: the part after its last backslash is the value.
  const Streng full = Streng(u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\") + Streng(name);
  const size_t cut = full.rfind(u'\\');
  return TrimRegistryFolder(ReadRegistryText(allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                                             full.substr(0, cut), full.substr(cut + 1), 4096));
}

Streng CurrentVersionValue(std::u16string_view name, REGSAM view) {
  return TrimRegistryFolder(
      ReadRegistryText(HKEY_LOCAL_MACHINE, vk::FromW(kCurrentVersion), Streng(name), 4096, view));
}

Streng EnvironmentFolder(std::u16string_view name) {
  const Streng key(name);
  const DWORD needed = GetEnvironmentVariableW(W(key), nullptr, 0);
  if (needed == 0 || needed >= 65536) return {};
  std::vector<wchar_t> buffer(needed, L'\0');
  const DWORD n = GetEnvironmentVariableW(W(key), buffer.data(), needed);
  return n > 0 && n < needed ? vk::FromW(buffer.data(), n) : Streng();
}

Streng ProgramFilesFolder(int mode) {
  switch (mode) {
    case kBits64:
      return FirstOf([] { return KnownFolderPath(kProgramFilesX64); },
                     [] { return EnvironmentFolder(u"ProgramW6432"); },
                     [] { return WithoutX86(ProgramFilesFolder(kBitsNative)); });
    case kBits32:
      // Only a 64-bit process asks for it: its own view names the 32-bit folder "(x86)".
      if (sizeof(void*) == 8)
        return FirstOf([] { return Shell(CSIDL_PROGRAM_FILESX86); },
                       [] { return KnownFolderPath(kProgramFilesX86); },
                       [] { return CurrentVersionValue(u"ProgramFilesDir (x86)", KEY_WOW64_64KEY); },
                       [] { return Streng(u"c:\\Program Files (x86)"); });
      [[fallthrough]];
    default:
      return FirstOf([] { return Shell(CSIDL_PROGRAM_FILES); }, [] { return KnownFolderPath(kProgramFiles); },
                     [] { return CurrentVersionValue(u"ProgramFilesDir"); },
                     [] { return Streng(u"c:\\Program Files"); });
  }
}

Streng CommonFilesFolder(int mode) {
  switch (mode) {
    case kBits64:
      return FirstOf([] { return KnownFolderPath(kCommonFilesX64); },
                     [] { return EnvironmentFolder(u"CommonProgramW6432"); },
                     [] { return WithoutX86(CommonFilesFolder(kBitsNative)); });
    case kBits32:
      if (sizeof(void*) == 8)
        return FirstOf([] { return Shell(CSIDL_PROGRAM_FILES_COMMONX86); },
                       [] { return KnownFolderPath(kCommonFilesX86); },
                       [] { return CurrentVersionValue(u"CommonFilesDir (x86)", KEY_WOW64_64KEY); },
                       [] { return vk::JoinPath(ProgramFilesFolder(kBits32), u"Common Files"); });
      [[fallthrough]];
    default:
      return FirstOf([] { return Shell(CSIDL_PROGRAM_FILES_COMMON); }, [] { return KnownFolderPath(kCommonFiles); },
                     [] { return CurrentVersionValue(u"CommonFilesDir"); },
                     [] { return vk::JoinPath(ProgramFilesFolder(kBitsNative), u"Common Files"); });
  }
}

Streng FolderPath(SystemFolder which) {
  using F = SystemFolder;
  switch (which) {
    case F::AppDataAll:
      return FirstOf([] { return Shell(CSIDL_COMMON_APPDATA); }, [] { return AllUsers(u"Common AppData"); },
                     [] { return CommonFilesFolder(kBitsNative); });
    case F::AppData:
      return FirstOf([] { return Shell(CSIDL_APPDATA); }, [] { return PerUser(u"AppData"); },
                     [] { return CommonFilesFolder(kBitsNative); });
    case F::BootDrive: return BootDrive();
    case F::DesktopAll:
      return FirstOf([] { return Shell(CSIDL_COMMON_DESKTOPDIRECTORY); },
                     [] { return AllUsers(u"Common Desktop"); }, Desktop);
    case F::Desktop: return Desktop();
    case F::Device: return DeviceFolder();
    case F::DocumentAll:
      return FirstOf([] { return Shell(CSIDL_COMMON_DOCUMENTS); }, [] { return AllUsers(u"Common Documents"); },
                     Document);
    case F::Document: return Document();
    case F::FavoritesAll:
      return FirstOf([] { return Shell(CSIDL_COMMON_FAVORITES); }, [] { return AllUsers(u"Common Favorites"); },
                     Favorites);
    case F::Favorites: return Favorites();
    case F::Fonts:
      return FirstOf([] { return Shell(CSIDL_FONTS); }, [] { return PerUser(u"Fonts"); },
                     [] { return InWindows(u"Fonts"); });
    case F::Inetpub: return InetpubFolder();
    case F::Media:
      return FirstOf([] { return CurrentVersionValue(u"MediaPath"); }, [] { return InWindows(u"Media"); });
    case F::SMProgramsAll:
      return FirstOf([] { return Shell(CSIDL_COMMON_PROGRAMS); }, [] { return AllUsers(u"Common Programs"); },
                     [] { return ParentPath(AllUsers(u"Common Startup")); }, SMPrograms);
    case F::SMPrograms: return SMPrograms();
    case F::StartMenuAll:
      return FirstOf([] { return Shell(CSIDL_COMMON_STARTMENU); }, [] { return AllUsers(u"Common Start Menu"); },
                     [] { return ParentPath(ParentPath(AllUsers(u"Common Startup"))); }, StartMenu);
    case F::StartMenu: return StartMenu();
    case F::StartupAll:
      return FirstOf([] { return Shell(CSIDL_COMMON_STARTUP); }, [] { return AllUsers(u"Common Startup"); },
                     Startup);
    case F::Startup: return Startup();
    case F::System: return SystemFolderPath();
    case F::Windows: return WindowsDirectory();
  }
  return {};
}

Streng TemporaryFolder() {
  static const Streng folder = FindTemporaryFolder();
  return folder;
}

const OsInfo& OperatingSystemInfo() {
  static const OsInfo info = QueryOperatingSystem();
  return info;
}

Streng ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  while (true) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return vk::FromW(buffer.data(), n);
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::optional<Streng> SystemMacroValues::environment(std::u16string_view name) const {
  const Streng key(name);
  SetLastError(ERROR_SUCCESS);
  DWORD needed = GetEnvironmentVariableW(W(key), nullptr, 0);
  if (needed == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return Streng();  // set, and empty
  }
  // The variable may change between the two calls; ask again with the size it then needs.
  for (int round = 0; round < 3; ++round) {
    std::vector<wchar_t> buffer(needed, L'\0');
    const DWORD n = GetEnvironmentVariableW(W(key), buffer.data(), needed);
    if (n == 0) return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt : std::optional<Streng>(Streng());
    if (n < needed) return vk::FromW(buffer.data(), n);
    needed = n;
  }
  return std::nullopt;
}

}  // namespace setup
