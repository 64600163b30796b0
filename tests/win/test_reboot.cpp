#include "setup/reboot.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/narrow_path.h"
#include "lib/win32/system_error.h"
#include "win/win_test_support.h"

namespace {

using vk::Streng;

struct FakeContext : setup::ReplacementContext {
  uint64_t flags = 0;
  bool automatic = false, silent = false, answer = false;
  int questions = 0;
  Streng question, caption, log, failures;
  Streng Text(int n) override { return u"T" + vk::AsciiToStreng(std::to_string(n)); }
  bool ProductFlag(int bit) const override { return (flags >> bit) & 1; }
  void SetProductFlag(int bit) override { flags |= uint64_t(1) << bit; }
  void Log(const Streng& t) override { log += t; }
  void AddFailure(const Streng& t) override { failures += t; }
  bool AutomaticMode() const override { return automatic; }
  bool SilentMode() const override { return silent; }
  bool AskYesNo(const Streng& m, const Streng& c) override {
    ++questions;
    question = m;
    caption = c;
    return answer;
  }
};

bool Exists(const Streng& p) { return GetFileAttributesW(vk::W(p)) != INVALID_FILE_ATTRIBUTES; }

// A scratch folder of this suite, removed again at the end of the test.
wintest::TempFolder Scratch(const char16_t* name) { return wintest::TempFolder(Streng(u"bs_reboot_") + name); }

using wintest::PendingRenames;

TEST(Reboot, MakeTempNameMakesVktNamesInTheFolder) {
  const wintest::TempFolder scratch = Scratch(u"temp");
  const Streng dir = vk::JoinPath(scratch.path(), u"sub\\deeper");
  const Streng plain = setup::MakeTempName(dir, u"", setup::kTempKeepFolder);
  ASSERT_FALSE(plain.empty());
  EXPECT_EQ(vk::PathFolder(plain), dir) << "missing folders are created and used";
  EXPECT_EQ(vk::PathFileName(plain).substr(0, 3), u"VKT");
  EXPECT_TRUE(Exists(plain)) << "the system's name is created";
  const Streng withExt = setup::MakeTempName(dir, u".log", 0);
  ASSERT_FALSE(withExt.empty());
  EXPECT_EQ(withExt.substr(withExt.size() - 4), u".log");
  EXPECT_TRUE(Exists(withExt));
  EXPECT_NE(plain, withExt);
  // A folder that cannot be made gives no name.
  HANDLE f = CreateFileW(vk::W(vk::JoinPath(dir, u"blocker")), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(f);
  SetLastError(0);
  EXPECT_TRUE(setup::MakeTempName(vk::JoinPath(dir, u"blocker\\x"), u"", 0).empty());
  EXPECT_NE(GetLastError(), 0u);
}

TEST(Reboot, DelayedMoveAndDeletionAreRegistered) {
  PendingRenames keep;
  const wintest::TempFolder scratch = Scratch(u"delayed");
  const Streng dir = scratch.path();
  const Streng source = vk::JoinPath(dir, u"new.tmp"), target = vk::JoinPath(dir, u"old.dll");
  for (const Streng& p : {source, target}) CloseHandle(CreateFileW(vk::W(p), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  SetLastError(0);
  ASSERT_TRUE(setup::MoveAtReboot(source, target));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_BUSY));
  EXPECT_TRUE(PendingRenames::HasPair(source, &target));
  EXPECT_TRUE(Exists(source)) << "the move waits for the restart";
  ASSERT_TRUE(setup::DeleteAtReboot(target));
  EXPECT_TRUE(PendingRenames::HasPair(target, nullptr));

  DeleteFileW(vk::W(vk::JoinPath(dir, u"reboot.dat")));  // from an earlier run in this prefix
  FakeContext context;
  EXPECT_FALSE(setup::CreateRebootMarker(context, dir));
  EXPECT_FALSE(Exists(vk::JoinPath(dir, u"reboot.dat")));
  context.flags = uint64_t(1) << 53;
  ASSERT_TRUE(setup::CreateRebootMarker(context, dir));
  const Streng marker = vk::JoinPath(dir, u"reboot.dat");
  EXPECT_TRUE(Exists(marker));
  EXPECT_TRUE(PendingRenames::HasPair(marker, nullptr));
}

TEST(Reboot, RegisterReplacementMessages) {
  PendingRenames keep;
  const wintest::TempFolder scratch = Scratch(u"register");
  const Streng dir = scratch.path();
  const Streng target = vk::JoinPath(dir, u"locked.dll");
  auto makeTemp = [&] {
    const Streng t = setup::MakeTempName(dir, u"", setup::kTempKeepFolder);
    HANDLE f = CreateFileW(vk::W(t), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY, nullptr);
    CloseHandle(f);
    return t;
  };
  const Streng reason = vk::SystemErrorText(ERROR_SHARING_VIOLATION) + u"\r\n\r\n";
  const int32_t time[6] = {2019, 5, 6, 7, 8, 9};

  {  // did not exist before: reported, not registered, the temporary file goes
    FakeContext c;
    const Streng temp = makeTemp();
    EXPECT_FALSE(setup::RegisterReplacement(c, {target, temp, 0, nullptr, false, ERROR_SHARING_VIOLATION}));
    EXPECT_EQ(c.failures, u"\r\nT31 " + target + u"\r\n" + reason);
    EXPECT_FALSE(Exists(temp));
    EXPECT_FALSE(c.ProductFlag(14));
  }
  {  // bit 11 registers new files too; the temporary file gets the time and loses read-only
    FakeContext c;
    c.flags = 1u << 11;
    const Streng temp = makeTemp();
    ASSERT_TRUE(setup::RegisterReplacement(c, {target, temp, 0, time, false, ERROR_SHARING_VIOLATION}));
    EXPECT_EQ(c.failures, u"");
    EXPECT_EQ(c.log, u"\r\nT31 " + target + u"\r\n" + reason + u"\"" + target +
                         u"\" was successfully registered for replacement.\r\nTemporary file is \"" + temp +
                         u"\"\r\nReboot will be required.\r\n\r\n");
    EXPECT_TRUE(c.ProductFlag(14));
    EXPECT_TRUE(PendingRenames::HasPair(temp, &target));
    EXPECT_FALSE(GetFileAttributesW(vk::W(temp)) & FILE_ATTRIBUTE_READONLY);
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(vk::W(temp), GetFileExInfoStandard, &data));
    SYSTEMTIME st;
    FileTimeToSystemTime(&data.ftLastWriteTime, &st);
    EXPECT_EQ(st.wYear, 2019);
    EXPECT_EQ(st.wSecond, 9);
  }
  {  // an invalid name is never registered
    FakeContext c;
    c.flags = 1u << 11;
    const Streng temp = makeTemp();
    EXPECT_FALSE(setup::RegisterReplacement(c, {target, temp, 0, nullptr, true, ERROR_INVALID_NAME}));
    EXPECT_EQ(c.failures, u"\r\nT31 " + target + u"\r\n" + vk::SystemErrorText(ERROR_INVALID_NAME) + u"\r\n\r\n");
  }
  {  // no temporary file
    FakeContext c;
    EXPECT_FALSE(setup::RegisterReplacement(c, {target, {}, ERROR_DISK_FULL, nullptr, true, ERROR_SHARING_VIOLATION}));
    EXPECT_EQ(c.failures, u"\r\nT31 " + target + u"\r\n" + reason + u"Failed to register '" + target +
                              u"' for replacement because no temporary file could be created.\r\n" +
                              vk::SystemErrorText(ERROR_DISK_FULL) + u"\r\n\r\n");
  }
  {  // a drive that is not there gives only its line
    wchar_t letter = 0;
    const DWORD drives = GetLogicalDrives();
    for (wchar_t l = L'Y'; l >= L'D' && !letter; --l)
      if (!(drives & (1u << (l - L'A')))) letter = l;
    ASSERT_NE(letter, 0);
    FakeContext c;
    const Streng gone = Streng(1, char16_t(letter)) + u":\\App\\f.dll";
    EXPECT_FALSE(setup::RegisterReplacement(c, {gone, {}, 0, nullptr, true, ERROR_PATH_NOT_FOUND}));
    EXPECT_EQ(c.failures, u"\r\nT31 " + gone + u"\r\nDrive " + Streng(1, char16_t(letter)) + u": is not present.\r\n");
  }
}

int gRestarts = 0;
std::vector<std::string>* gOrder = nullptr;
bool CountRestart() {
  ++gRestarts;
  if (gOrder) gOrder->push_back("restart");
  return true;
}

TEST(Reboot, RestartIfRequiredAsksAndRequests) {
  const setup::RestartRequest previous = setup::SetRestartRequest(&CountRestart);
  struct {
    const char* name;
    bool flag, automatic, ask41, silent, answer;
    int questions;
    bool restart;
  } rows[] = {
      {"flag clear", false, false, false, false, true, 0, false},
      {"interactive yes", true, false, false, false, true, 1, true},
      {"interactive no", true, false, false, false, false, 1, false},
      {"automatic", true, true, false, false, false, 0, true},
      {"automatic with bit 41", true, true, true, false, false, 1, false},
      {"silent", true, false, false, true, false, 0, true},
      {"silent automatic with bit 41", true, true, true, true, false, 0, true},
  };
  for (const auto& r : rows) {
    FakeContext c;
    c.flags = (r.flag ? uint64_t(1) << 14 : 0) | (r.ask41 ? uint64_t(1) << 41 : 0);
    c.automatic = r.automatic;
    c.silent = r.silent;
    c.answer = r.answer;
    gRestarts = 0;
    std::vector<std::string> order;
    gOrder = &order;
    const bool restarted = setup::RestartIfRequired(c, [&] { order.push_back("batch"); });
    gOrder = nullptr;
    EXPECT_EQ(restarted, r.restart) << r.name;
    EXPECT_EQ(gRestarts, r.restart ? 1 : 0) << r.name;
    EXPECT_EQ(c.questions, r.questions) << r.name;
    if (r.questions) {
      EXPECT_EQ(c.question, u"T37") << r.name;
      EXPECT_EQ(c.caption, u"T20") << r.name;
    }
    const std::vector<std::string> expected =
        r.restart ? std::vector<std::string>{"batch", "restart"} : std::vector<std::string>{"batch"};
    EXPECT_EQ(order, expected) << r.name;
  }
  setup::SetRestartRequest(previous);
}

}  // namespace
