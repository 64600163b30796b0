#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "lib/format.h"
#include "lib/win32/handle.h"
#include "lib/win32/system_error.h"
#include "setup/install_log.h"
#include "setup/os_facts.h"
#include "win/win_test_support.h"

namespace {

using vk::Streng;
using wintest::Exists;
using wintest::ReadAll;
using namespace setup;

constexpr uint64_t kUninstaller = 1ull << 2, kAlways = 1ull << 6, kVerbose = 1ull << 20,
                   kOfferView = 1ull << 57;
constexpr char kMark[] = "\xEF\xBB\xBF";
const std::string kSeparator = "\r\n\r\n" + std::string(46, '*') + "\r\n";

std::string U8(const Streng& s) { return vk::StrengToUtf8(s); }

void WriteAll(const Streng& path, const std::string& content) {
  vk::FileHandle h(CreateFileW(vk::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(h) << U8(path) << ": error " << GetLastError();
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(h.get(), content.data(), DWORD(content.size()), &written, nullptr));
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

struct Box {
  std::string text, caption;
  unsigned type;
};

// An installation folder with its uninstall subfolder, and the log's context pointing there.
class InstallLogTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.path().empty()) << "error " << folder_.error();
    ASSERT_TRUE(folder_.created()) << "error " << folder_.error();
    ASSERT_TRUE(CreateDirectoryW(vk::W(dir_ + u"\\uninstall"), nullptr));

    InstallLogContext& c = LogContext();
    c = InstallLogContext();
    c.productFlags = &flags_;
    c.failureSummary = &summary_;
    c.productName = u"Caf\u00e9 Writer";
    c.installFolder = dir_;
    c.uninstallSubdir = u"uninstall";
    c.productVersion = u"2.1";
    c.windowsAllowed = true;
    c.text = [](int n) -> Streng {
      switch (n) {
        case 31: return u"Failed:";
        case 40: return u"Problems occurred. View %s?";
        case 41: return u"Installation problems";
        case 42: return u"Setup has finished.";
        case 43: return u"Installation successful.";
        default: return vk::Format(u"text %d", n);
      }
    };
    c.messageBox = [this](const Streng& text, const Streng& caption, unsigned type) {
      boxes_.push_back({U8(text), U8(caption), type});
      return answer_;
    };
    c.grantFullAccess = [this](const Streng& path) {
      granted_.push_back(path);
      return 0u;
    };
    c.finishDialog = [this] { ++finishDialogs_; };
  }
  void TearDown() override {
    RunningLog().CloseAndDelete();
    LogContext() = InstallLogContext();
  }

  Streng LogPath() const { return dir_ + u"\\uninstall\\Install.log"; }

  // One run: the running log opened, the steps, the end.
  bool Run(void (*steps)(), bool reinstall = false, bool finishNotice = true) {
    summary_.clear();
    EXPECT_TRUE(OpenRunningLog());
    steps();
    return WriteInstallLog(summary_, reinstall, finishNotice);
  }

  // Removed with the fixture, after the log is closed.
  const wintest::TempFolder folder_{
      vk::Format(u"bs_log_%u_%u_caf\u00e9", GetCurrentProcessId(), GetTickCount())};
  const Streng dir_ = folder_.path();
  uint64_t flags_ = kUninstaller | kAlways;
  Streng summary_;
  std::vector<Box> boxes_;
  std::vector<Streng> granted_;
  int finishDialogs_ = 0;
  int answer_ = IDNO;
};

TEST_F(InstallLogTest, FirstRunWritesMarkHeaderAndLog) {
  ASSERT_TRUE(Run([] {
    LogText("Copying caf\xE9.txt\r\n");
    LogTextW(u"Registry \u20ac key\r\n");
    LogBytes("Raw \xC3\xA9\r\n");
  }));
  const std::string log = ReadAll(LogPath());
  const std::string start = std::string(kMark) + "Installation log for: Caf\xC3\xA9 Writer\r\nInstall date: ";
  ASSERT_EQ(log.substr(0, start.size()), start) << log;

  // "yyyy/mm/dd HH:ii:ss"
  const std::string date = log.substr(start.size(), 19);
  EXPECT_TRUE(date.size() == 19 && date[4] == '/' && date[7] == '/' && date[10] == ' ' &&
              date[13] == ':' && date[16] == ':')
      << date;

  const std::string rest = log.substr(start.size() + 19);
  const std::string os = DescribeOperatingSystem(0);
  const std::string expected = "\r\nInstall type: New\r\n"
                               "Install location: " + U8(dir_) + "\r\n"
                               "Installer version: 42.0\r\n"
                               "Product version: 2.1\r\n"
                               "Operating system: " + os + "\r\n\r\n"
                               "Copying caf\xC3\xA9.txt\r\n"
                               "Registry \xE2\x82\xAC key\r\n"
                               "Raw \xC3\xA9\r\n"
                               "\r\n"
                               "Installation successful.\r\n";
  EXPECT_EQ(rest, expected);

  // Without failures: the plain completion message, no question; the file opened up.
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Setup has finished.");
  EXPECT_EQ(boxes_[0].caption, "Installation successful.");
  EXPECT_EQ(boxes_[0].type, unsigned(MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND));
  ASSERT_EQ(granted_.size(), 1u);
  EXPECT_EQ(granted_[0], LogPath());
}

TEST_F(InstallLogTest, SecondRunAppendsSeparatorAndBlock) {
  ASSERT_TRUE(Run([] { LogText("first run\r\n"); }));
  const std::string first = ReadAll(LogPath());
  SetFileAttributesW(vk::W(LogPath()), FILE_ATTRIBUTE_HIDDEN);

  LogContext().overwrittenVersion = u"2.1";
  LogContext().productVersion = u"2.2";
  ASSERT_TRUE(Run([] { LogText("second run\r\n"); }, true));
  const std::string both = ReadAll(LogPath());

  ASSERT_EQ(both.substr(0, first.size()), first);
  const std::string second = both.substr(first.size());
  ASSERT_EQ(second.substr(0, kSeparator.size()), kSeparator);
  EXPECT_EQ(second.find(kMark), std::string::npos);
  EXPECT_NE(second.find("Install type: Reinstall\r\n"), std::string::npos) << second;
  EXPECT_NE(second.find("Product version: 2.2\r\nOverwriting version: 2.1\r\n"), std::string::npos);
  EXPECT_NE(second.find("\r\n\r\nsecond run\r\n\r\nInstallation successful.\r\n"), std::string::npos);
  EXPECT_EQ(second.find("first run"), std::string::npos);
  EXPECT_EQ(Count(both, "Installation log for: "), 2u);
  // The hidden attribute a user may have set is cleared again.
  EXPECT_EQ(GetFileAttributesW(vk::W(LogPath())) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST_F(InstallLogTest, OldWindows1252LogIsConvertedOnce) {
  const std::string old = "Installation log for: Caf\xE9\r\nOld \x80 line\r\n";
  WriteAll(LogPath(), old);
  ASSERT_TRUE(Run([] { LogText("new\r\n"); }));
  const std::string converted =
      std::string(kMark) + "Installation log for: Caf\xC3\xA9\r\nOld \xE2\x82\xAC line\r\n";
  const std::string once = ReadAll(LogPath());
  ASSERT_EQ(once.substr(0, converted.size() + kSeparator.size()), converted + kSeparator);

  ASSERT_TRUE(Run([] { LogText("newer\r\n"); }));
  const std::string twice = ReadAll(LogPath());
  EXPECT_EQ(twice.substr(0, once.size()), once);
  EXPECT_EQ(Count(twice, kMark), 1u);
  EXPECT_EQ(Count(twice, "\xC3\x83"), 0u) << "converted twice";
}

TEST_F(InstallLogTest, SuccessLinesOnlyWhenVerboseFailuresAlways) {
  static const auto steps = [] {
    LogSuccessW(u"Installed file >>> %s\r\n", u"C:\\app\\a.dll");
    LogSuccess("Shortcut >>> %s\r\n", "app.lnk");
    LogFailureW(u"Failed to create shortcut %s: %s", u"b.lnk", u"Access is denied.");
    LogFailureW(u"FAILED code %d: %s\r\n\r\n", 5, u"Access is denied.");
    LogText("after\r\n");
  };
  for (const bool verbose : {false, true}) {
    SCOPED_TRACE(verbose ? "verbose" : "quiet");
    DeleteFileW(vk::W(LogPath()));
    flags_ = kAlways | (verbose ? kVerbose : 0);
    ASSERT_TRUE(Run([] { steps(); }));
    const std::string log = ReadAll(LogPath());
    const std::string success =
        "Installed file >>> C:\\app\\a.dll\r\nShortcut >>> app.lnk\r\n";
    const std::string failures =
        "Failed to create shortcut b.lnk: Access is denied.\r\n\r\n"
        "FAILED code 5: Access is denied.\r\n\r\n"
        "after\r\n";
    EXPECT_NE(log.find("\r\n\r\n" + std::string(verbose ? success : "") + failures),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find(">>>") != std::string::npos, verbose);
  }
}

TEST_F(InstallLogTest, FailedRunAsksAndEndsWithTheSummary) {
  flags_ = kUninstaller;  // no "always write": the failures alone bring the file
  ASSERT_TRUE(Run([] {
    LogText("Copying...\r\n");
    SetLastError(ERROR_ACCESS_DENIED);
    AddFailureLine(u"C:\\app\\caf\u00e9.dll");
    AddFailure(u"Failed to create folder %s: %s", u"C:\\x", u"The path is bad.");
    SetLastError(ERROR_FILE_NOT_FOUND);
    AddFailureLine(u"C:\\app\\b.dll");
    LogText("logged after the failure\r\n");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND)) << "the caller's error is kept";
  }));
  const std::string log = ReadAll(LogPath());
  const std::string access = U8(vk::SystemErrorText(ERROR_ACCESS_DENIED));
  const std::string missing = U8(vk::SystemErrorText(ERROR_FILE_NOT_FOUND));
  ASSERT_FALSE(access.empty());
  const std::string tail = "Copying...\r\nlogged after the failure\r\n\r\n*** FAILURE SUMMARY ***\r\n"
                           "Failed: C:\\app\\caf\xC3\xA9.dll\r\n" + access + "\r\n\r\n"
                           "Failed to create folder C:\\x: The path is bad.\r\n\r\n"
                           "Failed: C:\\app\\b.dll\r\n" + missing + "\r\n\r\n";
  ASSERT_GE(log.size(), tail.size());
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
  EXPECT_EQ(log.find("Installation successful."), std::string::npos);

  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Problems occurred. View " + U8(LogPath()) + "?");
  EXPECT_EQ(boxes_[0].caption, "Installation problems");
  EXPECT_EQ(boxes_[0].type, unsigned(MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND));
}

TEST_F(InstallLogTest, CleanRunWithoutAlwaysFlagWritesNoFile) {
  flags_ = kOfferView;
  ASSERT_FALSE(Run([] { LogText("step\r\n"); }));
  EXPECT_FALSE(Exists(LogPath()));
  EXPECT_FALSE(RunningLog().IsOpen());
  // No offer to view a log that is not there; with nothing else to offer, the plain message.
  EXPECT_EQ(flags_ & kOfferView, 0u);
  EXPECT_EQ(finishDialogs_, 0);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Setup has finished.");

  // Something to offer: the finish dialog instead of the box.
  boxes_.clear();
  LogContext().somethingToOffer = true;
  ASSERT_FALSE(Run([] {}));
  EXPECT_EQ(finishDialogs_, 1);
  EXPECT_TRUE(boxes_.empty());

  // Without a finish dialog to show it, the notice falls back to the box.
  LogContext().finishDialog = nullptr;
  ASSERT_FALSE(Run([] {}));
  EXPECT_EQ(finishDialogs_, 1);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Setup has finished.");
  EXPECT_EQ(boxes_[0].caption, "Installation successful.");
}

TEST_F(InstallLogTest, CrashPathWritesWithoutAnyNotice) {
  flags_ = 0;
  summary_.clear();
  ASSERT_TRUE(OpenRunningLog());
  LogText("Extracting...\r\n");
  AppendCrashReport(summary_, "Access violation at \xE9\r\n");
  ASSERT_TRUE(WriteInstallLog(summary_, false, false));
  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(finishDialogs_, 0);
  const std::string log = ReadAll(LogPath());
  EXPECT_NE(log.find("Extracting...\r\n\r\n*** FAILURE SUMMARY ***\r\n\r\n\r\nINSTALLER CRASHED!\r\n"
                     "Access violation at \xC3\xA9\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("Install type: "), std::string::npos) << "no uninstaller, no install type";
}

TEST_F(InstallLogTest, RunningLogIsAFileWhileTheRunGoesOn) {
  ASSERT_TRUE(OpenRunningLog());
  const Streng path = RunningLog().Path();
  ASSERT_TRUE(Exists(path)) << U8(path);
  LogText("one\r\n");
  EXPECT_EQ(ReadAll(path), "one\r\n");
  LogTextW(u"two\r\n");
  EXPECT_EQ(ReadAll(path), "one\r\ntwo\r\n");
  ASSERT_TRUE(WriteInstallLog(u"", false, false));
  EXPECT_FALSE(Exists(path));
  // Lines after the end go nowhere and do no harm.
  LogText("late\r\n");
}

TEST_F(InstallLogTest, UnopenableLogIsLostSilently) {
  wintest::RemoveTree(dir_ + u"\\uninstall");
  answer_ = IDYES;  // the offer to view it is withdrawn, so no viewer starts
  ASSERT_TRUE(OpenRunningLog());
  const Streng running = RunningLog().Path();
  EXPECT_FALSE(WriteInstallLog(u"Failed: x\r\n\r\n", false, true));
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_FALSE(Exists(LogPath()));
  EXPECT_FALSE(Exists(running));
}

TEST(OsFacts, WineShowsItself) {
  const OsFacts& facts = SystemOsFacts();
  EXPECT_EQ(facts.platform, uint32_t(kPlatformNT));
  EXPECT_GE(facts.major, 5u);
  if (facts.emulatorVersion.empty()) GTEST_SKIP() << "not running under Wine";
  const std::string description = DescribeOperatingSystem(0);
  const std::string prefix = "WINE " + facts.emulatorVersion + " reporting as Windows ";
  EXPECT_EQ(description.substr(0, prefix.size()), prefix) << description;
  EXPECT_EQ(DescribeOperatingSystem(kOsShort).find("WINE"), std::string::npos);
  // The test program is 64-bit, so the native system is too.
  EXPECT_TRUE(facts.is64Bit());
  EXPECT_NE(description.find(" x64"), std::string::npos) << description;
}

}  // namespace
