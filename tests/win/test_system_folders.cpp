#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "lib/narrow_path.h"
#include "setup/system_folders.h"

namespace {

using setup::SystemFolder;
using vk::Streng;
using vk::W;

std::string Show(const Streng& s) { return vk::StrengToUtf8(s); }

bool IsFolder(const Streng& path) {
  const DWORD attributes = GetFileAttributesW(W(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Streng Windows() {
  wchar_t buffer[MAX_PATH];
  const UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
  return vk::FromW(buffer, n);
}

// What the shell itself answers, for comparison.
Streng ShellAnswer(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
  return vk::FromW(buffer);
}

Streng RegistryText(HKEY root, const wchar_t* key, const wchar_t* value, REGSAM view) {
  wchar_t buffer[1024] = {};
  DWORD bytes = sizeof buffer - sizeof(wchar_t);
  HKEY k;
  if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE | view, &k) != ERROR_SUCCESS) return {};
  const LONG rc = RegQueryValueExW(k, value, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes);
  RegCloseKey(k);
  return rc == ERROR_SUCCESS ? vk::FromW(buffer) : Streng();
}

constexpr wchar_t kCurrentVersion[] = L"Software\\Microsoft\\Windows\\CurrentVersion";

TEST(SystemFolders, EveryFolderExistsOrIsItsFallback) {
  const Streng win = Windows();
  struct Row {
    const char* name;
    SystemFolder which;
    int csidl;         // the shell's answer must win when it has one; -1: no shell source
    Streng fallback;   // accepted when the folder does not exist
  } rows[] = {
      {"AppDataAll", SystemFolder::AppDataAll, CSIDL_COMMON_APPDATA, {}},
      {"AppData", SystemFolder::AppData, CSIDL_APPDATA, {}},
      {"DesktopAll", SystemFolder::DesktopAll, CSIDL_COMMON_DESKTOPDIRECTORY, {}},
      {"Desktop", SystemFolder::Desktop, CSIDL_DESKTOPDIRECTORY, {}},
      {"Device", SystemFolder::Device, -1, vk::JoinPath(win, u"INF")},
      {"DocumentAll", SystemFolder::DocumentAll, CSIDL_COMMON_DOCUMENTS, {}},
      {"Document", SystemFolder::Document, CSIDL_PERSONAL, {}},
      {"FavoritesAll", SystemFolder::FavoritesAll, CSIDL_COMMON_FAVORITES, {}},
      {"Favorites", SystemFolder::Favorites, CSIDL_FAVORITES, {}},
      {"Fonts", SystemFolder::Fonts, CSIDL_FONTS, {}},
      {"Inetpub", SystemFolder::Inetpub, -1, u"c:\\Inetpub"},
      {"Media", SystemFolder::Media, -1, vk::JoinPath(win, u"Media")},
      {"SMProgramsAll", SystemFolder::SMProgramsAll, CSIDL_COMMON_PROGRAMS, {}},
      {"SMPrograms", SystemFolder::SMPrograms, CSIDL_PROGRAMS, {}},
      {"StartMenuAll", SystemFolder::StartMenuAll, CSIDL_COMMON_STARTMENU, {}},
      {"StartMenu", SystemFolder::StartMenu, CSIDL_STARTMENU, {}},
      {"StartupAll", SystemFolder::StartupAll, CSIDL_COMMON_STARTUP, {}},
      {"Startup", SystemFolder::Startup, CSIDL_STARTUP, {}},
      {"System", SystemFolder::System, CSIDL_SYSTEM, {}},
      {"Windows", SystemFolder::Windows, CSIDL_WINDOWS, {}},
  };
  for (const Row& r : rows) {
    const Streng path = setup::FolderPath(r.which);
    ASSERT_FALSE(path.empty()) << r.name;
    EXPECT_TRUE(IsFolder(path) || (!r.fallback.empty() && vk::EqualsNoCase(path, r.fallback)))
        << r.name << ": " << Show(path);
    EXPECT_NE(path.back(), u'\\') << r.name << ": " << Show(path);
    if (r.csidl >= 0) {
      const Streng shell = ShellAnswer(r.csidl);
      if (!shell.empty()) {
        EXPECT_TRUE(vk::EqualsNoCase(path, shell)) << r.name << ": " << Show(path) << " vs " << Show(shell);
      }
    }
  }
  const Streng boot = setup::FolderPath(SystemFolder::BootDrive);
  ASSERT_EQ(boot.size(), 2u) << Show(boot);
  EXPECT_EQ(boot[1], u':');
  EXPECT_TRUE(boot[0] >= u'A' && boot[0] <= u'Z') << Show(boot);
}

TEST(SystemFolders, BothProgramFilesFoldersExistAndDiffer) {
  ASSERT_TRUE(setup::OperatingSystemInfo().windows64);
  const Streng pf64 = setup::ProgramFilesFolder(setup::kBits64);
  const Streng pf32 = setup::ProgramFilesFolder(setup::kBits32);
  const Streng native = setup::ProgramFilesFolder(setup::kBitsNative);
  EXPECT_TRUE(IsFolder(pf64)) << Show(pf64);
  EXPECT_TRUE(IsFolder(pf32)) << Show(pf32);
  EXPECT_FALSE(vk::EqualsNoCase(pf64, pf32)) << Show(pf64);
  // A process's native folder is the one of its own bitness.
  const bool process64 = sizeof(void*) == 8;
  EXPECT_EQ(Show(native), Show(process64 ? pf64 : pf32));
  EXPECT_EQ(Show(setup::WithoutX86(pf32)), Show(pf64));
  // The 64-bit view names both. (The 32-bit view's own "ProgramFilesDir" is missing in a prefix
  // where no 32-bit program has run, so it is not compared here.)
  EXPECT_TRUE(vk::EqualsNoCase(pf64, RegistryText(HKEY_LOCAL_MACHINE, kCurrentVersion, L"ProgramFilesDir", KEY_WOW64_64KEY)))
      << Show(pf64);
  EXPECT_TRUE(vk::EqualsNoCase(pf32, RegistryText(HKEY_LOCAL_MACHINE, kCurrentVersion, L"ProgramFilesDir (x86)", KEY_WOW64_64KEY)))
      << Show(pf32);
  EXPECT_EQ(Show(setup::CurrentVersionValue(u"ProgramFilesDir (x86)", KEY_WOW64_64KEY)), Show(pf32));
  EXPECT_EQ(Show(setup::CurrentVersionValue(u"CommonFilesDir", KEY_WOW64_64KEY)),
            Show(setup::CommonFilesFolder(setup::kBits64)));

  const Streng cf64 = setup::CommonFilesFolder(setup::kBits64);
  const Streng cf32 = setup::CommonFilesFolder(setup::kBits32);
  EXPECT_TRUE(IsFolder(cf64)) << Show(cf64);
  EXPECT_TRUE(IsFolder(cf32)) << Show(cf32);
  EXPECT_FALSE(vk::EqualsNoCase(cf64, cf32)) << Show(cf64);
  EXPECT_TRUE(vk::StartsWithNoCase(cf32, pf32)) << Show(cf32);
  EXPECT_TRUE(vk::StartsWithNoCase(cf64, pf64)) << Show(cf64);
  EXPECT_EQ(Show(setup::CommonFilesFolder(setup::kBitsNative)), Show(process64 ? cf64 : cf32));

  // The single sources agree with each other.
  EXPECT_EQ(Show(setup::KnownFolderPath(FOLDERID_ProgramFilesX86)), Show(ShellAnswer(CSIDL_PROGRAM_FILESX86)));
  EXPECT_EQ(Show(setup::ShellFolderPath(CSIDL_PROGRAM_FILES)), Show(ShellAnswer(CSIDL_PROGRAM_FILES)));
  EXPECT_TRUE(vk::EqualsNoCase(setup::EnvironmentFolder(u"ProgramW6432"), pf64));
  EXPECT_EQ(Show(setup::EnvironmentFolder(u"BrimsteadNoSuchVariable")), "");
  EXPECT_EQ(Show(setup::KnownFolderPath(GUID{0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}})), "");
}

// A value of our own under the per-user Shell Folders key, removed again at the end.
class ShellFoldersValue : public ::testing::Test {
protected:
  static constexpr wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  void set(const wchar_t* name, const wchar_t* value) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                             DWORD((wcslen(value) + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(k);
    names_.push_back(name);
  }
  void TearDown() override {
    HKEY k;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return;
    for (const wchar_t* name : names_) RegDeleteValueW(k, name);
    RegCloseKey(k);
  }
  std::vector<const wchar_t*> names_;
};

TEST_F(ShellFoldersValue, LosesOneTrailingBackslashButARootStays) {
  set(L"BrimsteadFolder", L"D:\\Some Folder\\");
  set(L"BrimsteadRoot", L"E:\\");
  EXPECT_EQ(Show(setup::ShellFoldersValue(false, u"BrimsteadFolder")), "D:\\Some Folder");
  EXPECT_EQ(Show(setup::ShellFoldersValue(false, u"BrimsteadRoot")), "E:\\");
  EXPECT_EQ(Show(setup::ShellFoldersValue(false, u"BrimsteadMissing")), "");
  EXPECT_EQ(Show(setup::ShellFoldersValue(true, u"BrimsteadFolder")), "");  // another hive
}

TEST(SystemFolders, TemporaryFolderExistsAndIsKept) {
  const Streng first = setup::TemporaryFolder();
  ASSERT_TRUE(IsFolder(first)) << Show(first);
  EXPECT_NE(first.back(), u'\\');
  wchar_t buffer[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  EXPECT_TRUE(vk::EqualsNoCase(first + u"\\", vk::FromW(buffer, n))) << Show(first);

  // Later changes of the environment do not move it.
  wchar_t saved[MAX_PATH + 1];
  const DWORD savedLength = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH + 1);
  const Streng elsewhere = Windows();
  SetEnvironmentVariableW(L"TMP", W(elsewhere));
  EXPECT_EQ(Show(setup::TemporaryFolder()), Show(first));
  SetEnvironmentVariableW(L"TMP", savedLength ? saved : nullptr);
}

TEST(SystemFolders, OperatingSystemFacts) {
  const setup::OsInfo& os = setup::OperatingSystemInfo();
  EXPECT_TRUE(os.ntPlatform);
  EXPECT_TRUE(os.windows64);
  EXPECT_GE(os.major, 5u);
  EXPECT_NE(setup::OperatingSystemCode(os), 0) << os.major << "." << os.minor << " build " << os.build;
  EXPECT_EQ(&os, &setup::OperatingSystemInfo());
}

TEST(SystemFolders, ExpandsARealPath) {
  setup::MacroContext context;
  context.productName = u"Brimstead Demo";
  context.installDir = u"c:\\Apps\\Demo";
  context.UninstallSubdir = u"uninst";
  context.Bitness = 2;
  const setup::SystemMacroValues values(context);

  const Streng win = Windows();
  const Streng pf32 = setup::ProgramFilesFolder(setup::kBits32);
  const Streng pf64 = setup::ProgramFilesFolder(setup::kBits64);
  const Streng temp = setup::TemporaryFolder();
  wchar_t module[MAX_PATH];
  const Streng self = vk::FromW(module, GetModuleFileNameW(nullptr, module, MAX_PATH));

  struct Row {
    Streng text, expected;
  } rows[] = {
      {u"%ProgramsDir%\\%ProductName%\\bin", pf32 + u"\\Brimstead Demo\\bin"},
      {u"%programsdir32%|%PROGRAMSDIR64%", pf32 + u"|" + pf64},
      {u"%WinDir%\\x|%SystemRoot%\\y", win + u"\\x|" + win + u"\\y"},
      {u"%Temp%\\%NoSuchVariable%\\z", temp + u"\\%NoSuchVariable%\\z"},
      {u"%UninstallDir%|%InstallDrive%", u"c:\\Apps\\Demo\\uninst|C:"},
      {u"%InstallerFilepath%", self},
      {u"%Bits%", u"64"},
  };
  for (const Row& r : rows) {
    Streng text = r.text;
    setup::ExpandMacros(text, values);
    EXPECT_TRUE(vk::EqualsNoCase(text, r.expected)) << Show(r.text) << " gave " << Show(text)
                                                    << ", expected " << Show(r.expected);
  }
  // A 64-bit product takes the 64-bit folders.
  context.Bitness = 1;
  Streng text = u"%ProgramsDir%";
  setup::ExpandMacros(text, values);
  EXPECT_EQ(Show(text), Show(pf64));
}

TEST(SystemFolders, EnvironmentStepMatchesTheSystem) {
  SetEnvironmentVariableW(L"BRIMSTEAD_EMPTY", L"");
  setup::MacroContext context;
  const setup::SystemMacroValues values(context);
  const wchar_t* texts[] = {
      L"%SystemRoot%", L"%systemroot%\\x", L"%NoSuch%SystemRoot%", L"%NoSuch%%SystemRoot%",
      L"100% of %SystemRoot%", L"%", L"%%", L"a%%b", L"%SystemRoot", L"[%BRIMSTEAD_EMPTY%]",
  };
  for (const wchar_t* t : texts) {
    wchar_t expected[4096];
    ASSERT_NE(ExpandEnvironmentStringsW(t, expected, 4096), 0u);
    Streng text = vk::FromW(t);
    setup::ExpandMacros(text, values);
    EXPECT_EQ(Show(text), Show(vk::FromW(expected))) << Show(vk::FromW(t));
  }
  SetEnvironmentVariableW(L"BRIMSTEAD_EMPTY", nullptr);
}

}  // namespace
