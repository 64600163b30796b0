#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/narrow_path.h"
#include "lib/win32/handle.h"
#include "tests/win/win_test_support.h"
#include "setup/batch_runner.h"
#include "uninstall/conditional_deletions.h"
#include "uninstall/pending_operations.h"
#include "uninstall/self_removal.h"

namespace {

using vk::Streng;
using wintest::Exists;
using wintest::PendingRenames;
using wintest::TempFolder;

void WriteBytes(const Streng& path, size_t size) {
  vk::FileHandle f(CreateFileW(vk::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(f.valid()) << "cannot create " << vk::StrengToUtf8(path);
  const std::string data(size, 'x');
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(f.get(), data.data(), DWORD(data.size()), &written, nullptr));
}

std::string ReadAll(const Streng& path) {
  vk::FileHandle f(CreateFileW(vk::W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!f) return {};
  std::string out(GetFileSize(f.get(), nullptr), '\0');
  DWORD read = 0;
  ReadFile(f.get(), out.data(), DWORD(out.size()), &read, nullptr);
  out.resize(read);
  return out;
}

void SetPending(const std::vector<Streng>& strings) {
  vk::RegKey key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, PendingRenames::kKey, 0, KEY_SET_VALUE, key.put()), ERROR_SUCCESS);
  const auto bytes = uninstall::SerializeMultiString(strings);
  ASSERT_EQ(RegSetValueExW(key.get(), PendingRenames::kValue, 0, REG_MULTI_SZ, bytes.data(), DWORD(bytes.size())),
            ERROR_SUCCESS);
}

TEST(PendingOperations, CleansTheRegistryValue) {
  PendingRenames guard;
  TempFolder dir(u"bs_pending_clean");
  const Streng installed = dir.path() + u"\\App.dll";
  const Streng temporary = dir.path() + u"\\VKT1.tmp";  // an earlier run's replacement of App.dll
  WriteBytes(temporary, 10);
  SetPending({u"\\??\\C:\\Other\\one.txt", u"",
              u"\\??\\" + temporary, u"!\\??\\" + installed,
              u"\\??\\" + installed, u"",
              u"\\??\\C:\\Other\\a", u"\\??\\C:\\Other\\b",
              u"\\??\\C:\\Other\\two.txt"});  // odd: the last deletion lacks its empty target

  std::vector<Streng> log;
  const uninstall::ProtectedFiles protectedFiles = {uninstall::LowerPath(installed)};
  EXPECT_TRUE(uninstall::CleanPendingOperations(protectedFiles, [&](const Streng& line) { log.push_back(line); }));

  const std::vector<Streng> expected = {u"\\??\\C:\\Other\\one.txt", u"", u"\\??\\C:\\Other\\a", u"\\??\\C:\\Other\\b",
                                        u"\\??\\C:\\Other\\two.txt", u""};
  EXPECT_EQ(PendingRenames::Entries(), expected);
  EXPECT_FALSE(Exists(temporary)) << "the move's temporary source should be gone";
  const std::vector<Streng> expectedLog = {
      u"\r\n",
      u"File \"" + installed + u"\" was removed from the list of pending moves.\r\n",
      u"File \"" + installed + u"\" was removed from the list of pending deletions.\r\n",
  };
  EXPECT_EQ(log, expectedLog);
}

TEST(PendingOperations, UnrelatedListIsLeftAsItIs) {
  PendingRenames guard;
  SetPending({u"\\??\\C:\\Other\\a", u"", u"\\??\\C:\\Other\\b"});
  std::vector<BYTE> before, after;
  DWORD type = 0;
  ASSERT_TRUE(PendingRenames::Read(before, type));
  // At uninstallation nothing is logged.
  EXPECT_FALSE(uninstall::CleanPendingOperations({u"c:\\app\\x.dll"}));
  ASSERT_TRUE(PendingRenames::Read(after, type));
  EXPECT_EQ(before, after);
}

// Records the run's side for the conditional deletions.
struct RecordingRun : uninstall::DeletionRun {
  Streng folder;
  std::vector<Streng> log, success, failures;
  int restartMarks = 0;
  int corruptCode = 0;
  Streng ExpandMacros(const Streng& text) override {
    Streng out = text;
    const Streng macro = u"%InstallDir%";
    if (const size_t at = out.find(macro); at != Streng::npos) out.replace(at, macro.size(), folder);
    return out;
  }
  void Log(const Streng& text) override { log.push_back(text); }
  void LogSuccess(const Streng& text) override { success.push_back(text); }
  void AddFailure(const Streng& text) override { failures.push_back(text); }
  void SetRestartNeeded() override { ++restartMarks; }
  void CorruptData(int code) override { corruptCode = code; }
};

TEST(ConditionalDeletions, InstallationPhaseNowAndAtRestart) {
  PendingRenames guard;
  TempFolder dir(u"bs_cond_delete");
  ASSERT_TRUE(CreateDirectoryW(vk::W(dir.path() + u"\\sub"), nullptr));
  WriteBytes(dir.path() + u"\\big.tmp", 1000);
  WriteBytes(dir.path() + u"\\small.tmp", 999);
  WriteBytes(dir.path() + u"\\big.tmpx", 1000);
  WriteBytes(dir.path() + u"\\sub\\old.log", 5);
  SetFileAttributesW(vk::W(dir.path() + u"\\sub\\old.log"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  WriteBytes(dir.path() + u"\\uninstall-only.txt", 1);

  std::vector<setup::FileDeletion> records = {
      {"*.tmp", 5, "1000", uint8_t(uninstall::kDeleteAtInstallation | uninstall::kDeleteOnlyAtRestart)},
      {"%InstallDir%\\sub\\old.log", 0, "", uninstall::kDeleteAtInstallation},
      {"uninstall-only.txt", 0, "", uninstall::kDeleteAtUninstallation},
  };
  RecordingRun run;
  run.folder = dir.path();
  const auto outcome = uninstall::RunConditionalDeletions(records, true, dir.path(), run);

  EXPECT_EQ(outcome.handled, 2u);
  EXPECT_EQ(outcome.deleted, 1u);
  EXPECT_EQ(outcome.atRestart, 1u);
  EXPECT_EQ(outcome.failures, 0u);
  EXPECT_EQ(run.restartMarks, 1);
  EXPECT_EQ(records.size(), 3u) << "the installation run keeps its records";

  const Streng big = dir.path() + u"\\big.tmp";
  EXPECT_TRUE(Exists(big)) << "only at restart";
  EXPECT_TRUE(PendingRenames::HasPair(big, nullptr));
  EXPECT_FALSE(PendingRenames::HasPair(dir.path() + u"\\small.tmp", nullptr));
  EXPECT_FALSE(PendingRenames::HasPair(dir.path() + u"\\big.tmpx", nullptr));
  EXPECT_FALSE(Exists(dir.path() + u"\\sub\\old.log"));
  EXPECT_TRUE(Exists(dir.path() + u"\\uninstall-only.txt"));

  const std::vector<Streng> log = {u"File \"" + big + u"\" will be deleted after rebooting.\r\n", u"\r\n"};
  EXPECT_EQ(run.log, log);
  EXPECT_EQ(run.success, std::vector<Streng>{u"Deleted file: " + dir.path() + u"\\sub\\old.log\r\n"});
  EXPECT_TRUE(run.failures.empty());
}

TEST(ConditionalDeletions, UninstallationKeepsOnlyFailedRecords) {
  TempFolder dir(u"bs_cond_uninstall");
  const Streng locked = dir.path() + u"\\locked.dat";
  WriteBytes(locked, 3);
  WriteBytes(dir.path() + u"\\free.dat", 3);
  vk::FileHandle hold(CreateFileW(vk::W(locked), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(hold.valid());

  std::vector<setup::FileDeletion> records = {
      {"locked.dat", 0, "", uninstall::kDeleteAtUninstallation},
      {"free.dat", 0, "", uninstall::kDeleteAtUninstallation},
      {"missing.dat", 0, "", uninstall::kDeleteAtUninstallation},
  };
  RecordingRun run;
  const auto outcome = uninstall::RunConditionalDeletions(records, false, dir.path(), run);
  EXPECT_EQ(outcome.failures, 1u);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].fileSpec, "locked.dat");
  EXPECT_FALSE(Exists(dir.path() + u"\\free.dat"));
  EXPECT_TRUE(run.log.empty() && run.success.empty() && run.failures.empty()) << "texts only at installation";
}

TEST(ConditionalDeletions, BadComparisonDateIsDamagedData) {
  TempFolder dir(u"bs_cond_baddate");
  WriteBytes(dir.path() + u"\\a.txt", 1);
  std::vector<setup::FileDeletion> records = {{"a.txt", 2, "next week", uninstall::kDeleteAtInstallation}};
  RecordingRun run;
  const auto outcome = uninstall::RunConditionalDeletions(records, true, dir.path(), run);
  EXPECT_TRUE(outcome.corrupt);
  EXPECT_EQ(run.corruptCode, 65);
  EXPECT_TRUE(Exists(dir.path() + u"\\a.txt"));

  // Without a matching file the value is never read.
  records = {{"none.txt", 2, "next week", uninstall::kDeleteAtInstallation}};
  RecordingRun quiet;
  EXPECT_FALSE(uninstall::RunConditionalDeletions(records, true, dir.path(), quiet).corrupt);
  EXPECT_EQ(quiet.corruptCode, 0);
}

TEST(SelfRemovalBatch, WritesTheExactBytesAndNeverOverAnExistingFile) {
  TempFolder dir(u"bs_selfremoval_bytes");
  const Streng batch = dir.path() + u"\\delunins.bat";
  const uninstall::SelfRemovalPaths paths{u"", u"C:\\Café", u"Un", batch, u"C:\\W\\cmd.exe"};
  ASSERT_TRUE(uninstall::WriteSelfRemovalBatchFile(paths, true));
  const std::string batch8 = vk::StrengToUtf8(batch), dir8 = vk::StrengToUtf8(dir.path());
  const std::string temp8 = vk::StrengToUtf8(vk::PathFolder(dir.path()));
  EXPECT_EQ(ReadAll(batch),
            "@chcp 65001 >nul\r\nsetlocal DisableDelayedExpansion\r\ncd /d \"" + temp8 + "\"\r\nCHOICE /T 3 /D Y\r\n"
            "rd \"C:\\Caf\xC3\xA9\\Un\"\r\nrd \"C:\\Caf\xC3\xA9\"\r\nset \"SelfRemovalFolder=" + dir8 + "\"\r\n"
            "start \"\" /b \"C:\\W\\cmd.exe\" /d /v:off /c"
            " ping -n 3 127.0.0.1 ^>nul ^& rd \"%%SelfRemovalFolder%%\" 2^>nul ^&"
            " ping -n 3 127.0.0.1 ^>nul ^& rd \"%%SelfRemovalFolder%%\" 2^>nul ^&"
            " ping -n 6 127.0.0.1 ^>nul ^& rd \"%%SelfRemovalFolder%%\" 2^>nul\r\n"
            "del \"" + batch8 + "\"\r\n");
  // What is there already, a file or a link to one, is neither opened nor replaced.
  EXPECT_FALSE(uninstall::WriteSelfRemovalBatchFile(paths, false));
  EXPECT_EQ(ReadAll(batch).rfind("@chcp 65001 >nul\r\n", 0), 0u);
  const Streng precious = dir.path() + u"\\precious.txt";
  WriteBytes(precious, 3);
  const Streng link = dir.path() + u"\\link.bat";
  // (Wine's CreateSymbolicLinkW reports success and makes nothing.)
  if (CreateSymbolicLinkW(vk::W(link), vk::W(precious), 0) && Exists(link)) {
    EXPECT_FALSE(uninstall::WriteSelfRemovalBatchFile({u"", u"C:\\P", u"", link}, false));
    EXPECT_EQ(ReadAll(precious), "xxx");
    DeleteFileW(vk::W(link));
  }
}

// Each batch gets a new folder of its own with a name nobody can guess, which others may not
// enter or change; a folder or link already under a name is never taken.
TEST(SelfRemovalBatch, PrivateFolderIsNewUnguessableAndClosedToOthers) {
  const Streng first = uninstall::CreatePrivateFolder();
  const Streng second = uninstall::CreatePrivateFolder();
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  EXPECT_NE(first, second);
  const Streng temp = vk::PathFolder(first);
  EXPECT_TRUE(wintest::EndsWithNoCase(temp + u"\\", [] {
    wchar_t buffer[MAX_PATH];
    return vk::FromW(buffer, GetTempPathW(MAX_PATH, buffer));
  }()));
  EXPECT_EQ(vk::PathFileName(first).size(), 19u) << "bs- and 16 random digits";

  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, GetNamedSecurityInfoW(vk::W(first), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                                 nullptr, &dacl, nullptr, &descriptor));
  vk::LocalMemory owned(descriptor);
  ASSERT_NE(dacl, nullptr);
  // Entries only for the user, the administrators and the system, none inherited. (Wine keeps no
  // access list of its own for a file: it shows one made from the Unix owner, which passes too.)
  unsigned char admins[SECURITY_MAX_SID_SIZE], system[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof admins;
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size));
  size = sizeof system;
  ASSERT_TRUE(CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size));
  vk::KernelHandle token;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()));
  unsigned char user[512];
  ASSERT_TRUE(GetTokenInformation(token.get(), TokenUser, user, sizeof user, &size));
  const PSID self = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
  EXPECT_GE(dacl->AceCount, 1);
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &ace));
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Header.AceFlags & INHERITED_ACE, 0) << "entry " << i;
    PSID sid = const_cast<DWORD*>(&allowed->SidStart);
    EXPECT_TRUE(EqualSid(sid, self) || EqualSid(sid, admins) || EqualSid(sid, system)) << "entry " << i;
  }
  EXPECT_TRUE(RemoveDirectoryW(vk::W(first)));
  EXPECT_TRUE(RemoveDirectoryW(vk::W(second)));
}

// The batch runs only against a scratch folder: a stand-in executable two levels deep. It leaves
// nothing behind, its own private folder included.
TEST(SelfRemovalBatch, RunRemovesTheFoldersAndItself) {
  TempFolder dir(u"bs_selfremoval_run");
  const Streng install = dir.path() + u"\\Inst";
  ASSERT_TRUE(CreateDirectoryW(vk::W(install), nullptr));
  ASSERT_TRUE(CreateDirectoryW(vk::W(install + u"\\Setup"), nullptr));
  ASSERT_TRUE(CreateDirectoryW(vk::W(install + u"\\Setup\\Uninstall"), nullptr));
  const Streng exe = install + u"\\Setup\\Uninstall\\u.exe";
  WriteBytes(exe, 4);
  const Streng own = uninstall::CreatePrivateFolder();
  ASSERT_FALSE(own.empty());
  const Streng batch = own + u"\\delunins.bat";
  ASSERT_TRUE(uninstall::WriteSelfRemovalBatchFile(
      {exe, install, u"Setup\\Uninstall", batch, setup::CommandInterpreterPath()}, false));
  ASSERT_TRUE(uninstall::StartSelfRemovalBatch(batch));
  for (int i = 0; i < 200 && (Exists(install) || Exists(own)); ++i) Sleep(100);
  EXPECT_FALSE(Exists(install)) << "the emptied folders should be gone";
  EXPECT_FALSE(Exists(own)) << "the batch should delete itself and its folder";
  EXPECT_TRUE(Exists(dir.path())) << "nothing above the installation folder is touched";
}

// An executable that cannot be deleted is tried a bounded number of times; then the batch ends.
TEST(SelfRemovalBatch, AHeldExecutableDoesNotKeepTheBatchRunning) {
  TempFolder dir(u"bs_selfremoval_held");
  const Streng install = dir.path() + u"\\Inst";
  ASSERT_TRUE(CreateDirectoryW(vk::W(install), nullptr));
  const Streng exe = install + u"\\u.exe";
  WriteBytes(exe, 4);
  vk::FileHandle held(CreateFileW(vk::W(exe), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.valid());
  const Streng own = uninstall::CreatePrivateFolder();
  ASSERT_FALSE(own.empty());
  uninstall::SelfRemovalPaths paths{exe, install, u"", own + u"\\delunins.bat", setup::CommandInterpreterPath()};
  paths.deleteAttempts = 2;
  ASSERT_TRUE(uninstall::WriteSelfRemovalBatchFile(paths, false));
  const ULONGLONG start = GetTickCount64();
  ASSERT_TRUE(uninstall::StartSelfRemovalBatch(paths.batchFile));
  for (int i = 0; i < 300 && Exists(own); ++i) Sleep(100);
  EXPECT_FALSE(Exists(own)) << "the batch should give up on the executable and end";
  EXPECT_TRUE(Exists(exe));
  // The attempts are a second apart and the folder goes a while after the batch: about 3 s.
  EXPECT_GE(GetTickCount64() - start, 2000u);
}

}  // namespace
