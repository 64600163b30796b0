#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/narrow_path.h"
#include "tests/win/win_test_support.h"
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

TEST(SelfRemovalBatch, WritesTheExactBytes) {
  TempFolder dir(u"bs_selfremoval_bytes");
  const Streng batch = dir.path() + u"\\delunins.bat";
  const uninstall::SelfRemovalPaths paths{u"C:\\Café\\Un\\u.exe", u"C:\\Café", u"Un", batch};
  ASSERT_TRUE(uninstall::WriteSelfRemovalBatchFile(paths, true));
  const std::string batch8 = vk::StrengToUtf8(batch);
  EXPECT_EQ(ReadAll(batch),
            "@chcp 65001 >nul\r\n:Repeat\r\ndel \"C:\\Caf\xC3\xA9\\Un\\u.exe\"\r\n"
            "if exist \"C:\\Caf\xC3\xA9\\Un\\u.exe\" goto Repeat\r\nCHOICE /T 3 /D Y\r\n"
            "rd \"C:\\Caf\xC3\xA9\\Un\"\r\nrd \"C:\\Caf\xC3\xA9\"\r\ndel \"" + batch8 + "\"\r\n");
  // An older batch is replaced, here by the Windows-1252 form.
  ASSERT_TRUE(uninstall::WriteSelfRemovalBatchFile(paths, false));
  EXPECT_EQ(ReadAll(batch).rfind("@chcp 1252 >nul\r\n:Repeat\r\ndel \"C:\\Caf\xE9\\Un\\u.exe\"\r\n", 0), 0u);
  EXPECT_EQ(vk::PathFileName(uninstall::SelfRemovalBatchPath()), u"delunins.bat");
}

// The batch runs only against a scratch folder: a stand-in executable two levels deep.
TEST(SelfRemovalBatch, RunRemovesTheFoldersAndItself) {
  TempFolder dir(u"bs_selfremoval_run");
  const Streng install = dir.path() + u"\\Inst";
  ASSERT_TRUE(CreateDirectoryW(vk::W(install), nullptr));
  ASSERT_TRUE(CreateDirectoryW(vk::W(install + u"\\Setup"), nullptr));
  ASSERT_TRUE(CreateDirectoryW(vk::W(install + u"\\Setup\\Uninstall"), nullptr));
  const Streng exe = install + u"\\Setup\\Uninstall\\u.exe";
  WriteBytes(exe, 4);
  const Streng batch = dir.path() + u"\\delunins.bat";
  ASSERT_TRUE(uninstall::WriteSelfRemovalBatchFile({exe, install, u"Setup\\Uninstall", batch}, false));
  ASSERT_TRUE(uninstall::StartSelfRemovalBatch(batch));
  for (int i = 0; i < 200 && (Exists(install) || Exists(batch)); ++i) Sleep(100);
  EXPECT_FALSE(Exists(install)) << "the emptied folders should be gone";
  EXPECT_FALSE(Exists(batch)) << "the batch should delete itself";
  EXPECT_TRUE(Exists(dir.path())) << "nothing above the installation folder is touched";
}

}  // namespace
