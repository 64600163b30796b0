#include "uninstall/uninstall_procedure.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "lib/narrow_path.h"
#include "lib/win32/handle.h"
#include "setup/install_context.h"
#include "uninstall/core/uninstall_data.h"
#include "uninstall/uninstall_data_file.h"
#include "win_test_support.h"

namespace {

using vk::Streng;

Streng Number(unsigned long n) { return vk::AsciiToStreng(std::to_string(n)); }

bool Exists(const Streng& path) { return GetFileAttributesW(vk::W(path)) != INVALID_FILE_ATTRIBUTES; }

void PutFile(const Streng& path, const char* content = "x") {
  vk::FileHandle file(CreateFileW(vk::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  if (file) WriteFile(file.get(), content, DWORD(strlen(content)), &written, nullptr);
}

// An installed product as an installation leaves it: files and folders under a scratch
// installation folder, Uninstall.DAT in its "Setup" subfolder, and the uninstall entry.
class InstalledProduct : public ::testing::Test {
protected:
  void SetUp() override {
    setup::InstallContext& c = setup::Context();
    c.silentMode = c.automaticMode = true;
    ASSERT_FALSE(folder_.path().empty());
    install_ = folder_.path();
    name_ = u"BsUninstallTest " + Number(GetCurrentProcessId());
    CreateDirectoryW(vk::W(install_ + u"\\Setup"), nullptr);
    CreateDirectoryW(vk::W(install_ + u"\\bin"), nullptr);
    CreateDirectoryW(vk::W(install_ + u"\\bin\\deep"), nullptr);
    for (const char16_t* file : {u"\\readme.txt", u"\\bin\\app.exe", u"\\bin\\deep\\data.bin", u"\\Setup\\Install.log"})
      PutFile(install_ + file);
    SetFileAttributesW(vk::W(install_ + u"\\bin\\app.exe"), FILE_ATTRIBUTE_READONLY);

    uninstall::UninstallData data;
    uninstall::AddUninstallEntry(data, install_ + u"\\bin", uninstall::kEntryFolder);
    uninstall::AddUninstallEntry(data, install_ + u"\\bin\\deep", uninstall::kEntryFolder);
    for (const char16_t* file : {u"\\readme.txt", u"\\bin\\app.exe", u"\\bin\\deep\\data.bin"})
      uninstall::AddUninstallEntry(data, install_ + file, uninstall::kEntryFile);
    uninstall::AddUninstallEntry(data, install_ + u"\\never-installed.txt", uninstall::kEntryFile);
    data.productName = name_;
    ASSERT_TRUE(uninstall::WriteUninstallDataFile(DataFile(), data));
    WriteEntry(install_);
  }
  void TearDown() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, vk::W(KeyPath())); }

  Streng KeyPath() const { return u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name_; }
  Streng DataFile() const { return install_ + u"\\Setup\\Uninstall.DAT"; }

  void WriteEntry(const Streng& location) {
    vk::RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, vk::W(KeyPath()), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, key.put(), nullptr));
    auto text = [&](const wchar_t* name, const Streng& value) {
      RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     DWORD((value.size() + 1) * 2));
    };
    text(L"DisplayName", name_);
    text(L"InstallLocation", location);
    text(L"UninstallSubdir", u"Setup");
    text(L"ProductFlags", u"516");  // uninstall data, quiet
  }
  bool KeyExists() const {
    vk::RegKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, vk::W(KeyPath()), 0, KEY_READ | KEY_WOW64_64KEY, key.put()) ==
           ERROR_SUCCESS;
  }
  std::vector<vk::String> RemainingEntries() const {
    uninstall::UninstallData data;
    EXPECT_TRUE(uninstall::ReadUninstallDataFile(DataFile(), data).ok());
    return data.entries;
  }

  wintest::TempFolder folder_{u"bs_uninstall_" + Number(GetCurrentProcessId())};
  Streng install_, name_;
};

TEST_F(InstalledProduct, RemovesEverythingItRecordedAndTheEntry) {
  EXPECT_TRUE(uninstall::RunUninstall(name_));
  for (const char16_t* gone : {u"\\readme.txt", u"\\bin\\app.exe", u"\\bin", u"\\Setup\\Install.log",
                               u"\\Setup\\Uninstall.DAT"})
    EXPECT_FALSE(Exists(install_ + gone)) << vk::StrengToUtf8(gone);
  EXPECT_FALSE(KeyExists());
  EXPECT_EQ(install_, uninstall::LastUninstall().installFolder);
  EXPECT_EQ(u"Setup", uninstall::LastUninstall().uninstallSubdir);
}

TEST_F(InstalledProduct, AUsersFileKeepsItsFoldersWithoutFailing) {
  PutFile(install_ + u"\\bin\\deep\\notes.txt");
  EXPECT_TRUE(uninstall::RunUninstall(name_));
  EXPECT_TRUE(Exists(install_ + u"\\bin\\deep\\notes.txt"));
  EXPECT_FALSE(Exists(install_ + u"\\bin\\deep\\data.bin"));
  EXPECT_FALSE(Exists(install_ + u"\\bin\\app.exe"));
  EXPECT_FALSE(KeyExists());
}

TEST_F(InstalledProduct, AFileInUseStaysListedAndASecondRunFinishes) {
  const Streng held = install_ + u"\\bin\\deep\\data.bin";
  {
    vk::FileHandle open(CreateFileW(vk::W(held), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(open);
    EXPECT_FALSE(uninstall::RunUninstall(name_));
  }
  EXPECT_TRUE(Exists(held));
  EXPECT_FALSE(Exists(install_ + u"\\readme.txt"));
  EXPECT_TRUE(KeyExists());
  std::vector<vk::String> files;
  for (const vk::String& line : RemainingEntries())
    if (uninstall::ParseUninstallEntry(line).type == uninstall::kEntryFile) files.push_back(line);
  EXPECT_EQ(std::vector<vk::String>{vk::EncodeNarrowPath(held)}, files);

  EXPECT_TRUE(uninstall::RunUninstall(name_));
  EXPECT_FALSE(Exists(held));
  EXPECT_FALSE(Exists(install_ + u"\\bin"));
  EXPECT_FALSE(KeyExists());
}

TEST_F(InstalledProduct, RefusesWithoutTouchingAnything) {
  EXPECT_FALSE(uninstall::RunUninstall(name_ + u" other"));
  WriteEntry(u"");  // no InstallLocation: the entry is corrupt
  EXPECT_FALSE(uninstall::RunUninstall(name_));
  EXPECT_TRUE(Exists(install_ + u"\\readme.txt"));
  EXPECT_TRUE(KeyExists());
  WriteEntry(install_);
  DeleteFileW(vk::W(DataFile()));
  EXPECT_FALSE(uninstall::RunUninstall(name_));
  EXPECT_TRUE(Exists(install_ + u"\\readme.txt"));
  EXPECT_TRUE(KeyExists());
}

}  // namespace
