#include "uninstall/uninstall_procedure.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "lib/narrow_path.h"
#include "lib/win32/file.h"
#include "lib/win32/handle.h"
#include "setup/install_context.h"
#include "uninstall/core/conditional_deletions.h"
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

// A recorded file whose folder was replaced by a link to another folder is not deleted through
// it; the rest of the product goes, and the link itself is left as it is.
TEST_F(InstalledProduct, AFileBehindALinkIsNotDeletedThroughIt) {
  wintest::TempFolder outside{u"bs_uninstall_outside"};
  PutFile(outside.path() + u"\\data.bin", "not the product's");
  const Streng deep = install_ + u"\\bin\\deep";
  DeleteFileW(vk::W(deep + u"\\data.bin"));
  ASSERT_TRUE(RemoveDirectoryW(vk::W(deep)));
  // (Wine's CreateSymbolicLinkW reports success and makes nothing; the end-to-end tests make the
  // link from the Unix side there.)
  if (!CreateSymbolicLinkW(vk::W(deep), vk::W(outside.path()), SYMBOLIC_LINK_FLAG_DIRECTORY) ||
      !Exists(deep + u"\\data.bin"))
    GTEST_SKIP() << "this system makes no directory links";
  ASSERT_TRUE(GetFileAttributesW(vk::W(deep)) & FILE_ATTRIBUTE_REPARSE_POINT);

  EXPECT_TRUE(uninstall::RunUninstall(name_));
  EXPECT_TRUE(Exists(outside.path() + u"\\data.bin"));
  EXPECT_FALSE(Exists(install_ + u"\\bin\\app.exe"));
  EXPECT_FALSE(KeyExists());
  RemoveDirectoryW(vk::W(deep));
}

// A conditional deletion whose date does not parse is passed over: the uninstallation completes.
TEST_F(InstalledProduct, AMalformedConditionalDeletionDoesNotStopTheRemoval) {
  PutFile(install_ + u"\\old.log");
  PutFile(install_ + u"\\cache.dat");
  uninstall::UninstallData data;
  ASSERT_TRUE(uninstall::ReadUninstallDataFile(DataFile(), data).ok());
  data.conditionalDeletions = {{"old.log", 2, "not a date", uninstall::kDeleteAtUninstallation},
                               {"cache.dat", 0, "", uninstall::kDeleteAtUninstallation}};
  ASSERT_TRUE(uninstall::WriteUninstallDataFile(DataFile(), data));
  EXPECT_TRUE(uninstall::RunUninstall(name_));
  EXPECT_FALSE(KeyExists());
  EXPECT_FALSE(Exists(install_ + u"\\bin"));
  EXPECT_TRUE(Exists(install_ + u"\\old.log")) << "the record with the bad date deletes nothing";
  EXPECT_FALSE(Exists(install_ + u"\\cache.dat")) << "the records after it still run";
}

// A write that fails halfway keeps the previous data and leaves no temporary file behind.
TEST_F(InstalledProduct, AFailedWriteKeepsThePreviousData) {
  const std::string before = wintest::ReadAll(DataFile());
  uninstall::UninstallData data;
  data.productName = u"changed";
  uninstall::AddUninstallEntry(data, install_ + u"\\other.txt", uninstall::kEntryFile);
  vk::FileTestHooks().writeChunk = [](HANDLE h, const void* p, DWORD n, DWORD* written) -> BOOL {
    // Half of the bytes reach the file, then the disk is full.
    WriteFile(h, p, n / 2, written, nullptr);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  };
  EXPECT_FALSE(uninstall::WriteUninstallDataFile(DataFile(), data));
  vk::FileTestHooks().writeChunk = nullptr;
  EXPECT_EQ(before, wintest::ReadAll(DataFile()));

  const auto namesInDataFolder = [&] {
    std::vector<Streng> names;
    WIN32_FIND_DATAW found;
    vk::FindHandle search(FindFirstFileW(vk::W(install_ + u"\\Setup\\*"), &found));
    if (search) do {
        const Streng name = vk::FromW(found.cFileName);
        if (name != u"." && name != u"..") names.push_back(name);
      } while (FindNextFileW(search.get(), &found));
    std::sort(names.begin(), names.end());
    return names;
  };
  EXPECT_EQ((std::vector<Streng>{u"Install.log", u"Uninstall.DAT"}), namesInDataFolder());

  ASSERT_TRUE(uninstall::WriteUninstallDataFile(DataFile(), data));
  EXPECT_EQ(uninstall::WriteUninstallData(data), wintest::ReadAll(DataFile()));
  EXPECT_EQ((std::vector<Streng>{u"Install.log", u"Uninstall.DAT"}), namesInDataFolder());
}

}  // namespace
