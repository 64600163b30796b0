#include <gtest/gtest.h>

#include "setup/core/log_block.h"

namespace {

using namespace setup;

LogBlockInput Sample() {
  LogBlockInput in;
  in.installDate = "2026/12/07 21:03:26";
  in.productName = u"Caf\u00e9 Writer";
  in.hasUninstaller = true;
  in.installFolder = u"C:\\Program Files\\Caf\u00e9";
  in.productVersion = u"2.1";
  in.osDescription = "Windows 10 Professional x64 2009";
  in.successNote = u"Installation complete.";
  return in;
}

constexpr char kSampleHeader[] =
    "Installation log for: Caf\xC3\xA9 Writer\r\n"
    "Install date: 2026/12/07 21:03:26\r\n"
    "Install type: New\r\n"
    "Install location: C:\\Program Files\\Caf\xC3\xA9\r\n"
    "Installer version: 42.0\r\n"
    "Product version: 2.1\r\n"
    "Operating system: Windows 10 Professional x64 2009\r\n"
    "\r\n";

TEST(LogBlock, FirstBlockHasMarkHeaderRunningLogAndSuccessNote) {
  const std::string block = ComposeLogBlock(Sample(), "Step one\r\nStep two\r\n", true);
  EXPECT_EQ(block, std::string("\xEF\xBB\xBF") + kSampleHeader +
                       "Step one\r\nStep two\r\n"
                       "\r\n"
                       "Installation complete.\r\n");
}

TEST(LogBlock, LaterBlockStartsWithSeparator) {
  const std::string block = ComposeLogBlock(Sample(), "", false);
  const std::string separator = "\r\n\r\n" + std::string(46, '*') + "\r\n";
  ASSERT_EQ(block.substr(0, separator.size()), separator);
  EXPECT_EQ(block.substr(separator.size(), sizeof kSampleHeader - 1), kSampleHeader);
  EXPECT_EQ(block.find("\xEF\xBB\xBF"), std::string::npos);
}

TEST(LogBlock, HeaderLinesFollowTheRun) {
  struct Case {
    const char* name;
    void (*change)(LogBlockInput&);
    const char16_t* expected;
  };
  const Case cases[] = {
      {"reinstall", [](LogBlockInput& in) { in.reinstall = true; },
       u"Installation log for: P\r\nInstall date: D\r\nInstall type: Reinstall\r\n"
       u"Install location: F\r\nInstaller version: 42.0\r\nOperating system: O\r\n\r\n"},
      {"no uninstaller, no product version",
       [](LogBlockInput& in) { in.hasUninstaller = false; in.reinstall = true; },
       u"Installation log for: P\r\nInstall date: D\r\nInstall location: F\r\n"
       u"Installer version: 42.0\r\nOperating system: O\r\n\r\n"},
      {"both versions",
       [](LogBlockInput& in) { in.productVersion = u"3.0"; in.overwrittenVersion = u"2.5"; },
       u"Installation log for: P\r\nInstall date: D\r\nInstall type: New\r\n"
       u"Install location: F\r\nInstaller version: 42.0\r\nProduct version: 3.0\r\n"
       u"Overwriting version: 2.5\r\nOperating system: O\r\n\r\n"},
  };
  for (const Case& c : cases) {
    LogBlockInput in;
    in.productName = u"P";
    in.installDate = "D";
    in.installFolder = u"F";
    in.osDescription = "O";
    in.hasUninstaller = true;
    c.change(in);
    EXPECT_EQ(LogBlockHeader(in), c.expected) << c.name;
  }
}

TEST(LogBlock, FailedRunEndsWithTheSummaryInsteadOfTheNote) {
  LogBlockInput in = Sample();
  in.failureSummary = u"Failed: C:\\a\u00e9.dll\r\nAccess is denied.\r\n\r\n"
                      u"Failed: C:\\b.dll\r\nAccess is denied.\r\n\r\n";
  const std::string block = ComposeLogBlock(in, "Copying...\r\n", true);
  const std::string tail = "Copying...\r\n\r\n*** FAILURE SUMMARY ***\r\n"
                           "Failed: C:\\a\xC3\xA9.dll\r\nAccess is denied.\r\n\r\n"
                           "Failed: C:\\b.dll\r\nAccess is denied.\r\n\r\n";
  ASSERT_GE(block.size(), tail.size());
  EXPECT_EQ(block.substr(block.size() - tail.size()), tail);
  EXPECT_EQ(block.find("Installation complete."), std::string::npos);
}

TEST(LogBlock, CrashMarkerAndReportGoIntoTheSummary) {
  std::u16string summary = u"Failed: x\r\nE\r\n\r\n";
  AppendCrashReport(summary, "Exception \xE9 at 0x1234\r\n");
  EXPECT_EQ(summary, u"Failed: x\r\nE\r\n\r\n\r\n\r\nINSTALLER CRASHED!\r\nException \u00e9 at 0x1234\r\n");

  LogBlockInput in = Sample();
  in.failureSummary = summary;
  const std::string block = ComposeLogBlock(in, "", false);
  EXPECT_NE(block.find("*** FAILURE SUMMARY ***\r\nFailed: x\r\nE\r\n\r\n\r\n\r\nINSTALLER CRASHED!\r\n"
                       "Exception \xC3\xA9 at 0x1234\r\n"),
            std::string::npos);
}

TEST(LogBlock, OldLogConversion) {
  struct Case {
    const char* name;
    std::string content;
    bool converts;
    std::string result;
  };
  const Case cases[] = {
      {"empty file", "", false, ""},
      {"utf-8 log", "\xEF\xBB\xBFInstallation log for: Caf\xC3\xA9", false, ""},
      {"windows-1252", "Caf\xE9 \x80 \x93x\x94", true,
       "\xEF\xBB\xBF" "Caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D"},
      {"half a mark is 1252", "\xEF\xBB!", true, "\xEF\xBB\xBF\xC3\xAF\xC2\xBB!"},
      {"utf-16 little endian", std::string("\xFF\xFE" "C\0\xE9\0\xAC\x20", 8), true,
       "\xEF\xBB\xBF" "C\xC3\xA9\xE2\x82\xAC"},
      {"utf-16 big endian", std::string("\xFE\xFF\0C\0\xE9", 6), true, "\xEF\xBB\xBF" "C\xC3\xA9"},
      {"utf-16 odd length", std::string("\xFF\xFEZ\0!", 5), true, "\xEF\xBB\xBFZ"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LogNeedsConversion(c.content), c.converts) << c.name;
    if (!c.converts) continue;
    EXPECT_EQ(ConvertOldLog(c.content), c.result) << c.name;
    // Fed in pieces of any size, cutting marks, units and characters apart, the result is the same.
    for (size_t step = 1; step <= 3; ++step) {
      OldLogConverter converter;
      std::string pieces;
      for (size_t at = 0; at < c.content.size(); at += step) pieces += converter.feed(std::string_view(c.content).substr(at, step));
      pieces += converter.finish();
      EXPECT_EQ(pieces, c.result) << c.name << " in pieces of " << step;
    }
  }
}

TEST(LogBlock, OldUtf16LogInPiecesKeepsSurrogatePairs) {
  // U+1F600 as a surrogate pair, cut between its two units and inside each.
  const std::string content("\xFF\xFE" "a\0\x3D\xD8\x00\xDE" "b\0", 10);
  const std::string expected = "\xEF\xBB\xBF" "a\xF0\x9F\x98\x80" "b";
  for (size_t cut = 1; cut < content.size(); ++cut) {
    OldLogConverter converter;
    std::string out = converter.feed(std::string_view(content).substr(0, cut));
    out += converter.feed(std::string_view(content).substr(cut));
    out += converter.finish();
    EXPECT_EQ(out, expected) << "cut at " << cut;
  }
}

TEST(LogBlock, EntriesEndInAnEmptyLine) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"FAILED", u"FAILED\r\n\r\n"},
      {u"FAILED\r\n", u"FAILED\r\n\r\n"},
      {u"FAILED\r\n\r\n", u"FAILED\r\n\r\n"},
      {u"", u"\r\n\r\n"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(EndWithEmptyLine(std::u16string(in)), out);
  EXPECT_EQ(EndWithEmptyLine(std::string("x\r\n")), "x\r\n\r\n");
}

}  // namespace

namespace {

using namespace setup;

TEST(LogBlock, CompletionNotice) {
  constexpr uint64_t kAlways = 1ull << 6, kRestart = 1ull << 14, kNone = 1ull << 22,
                     kOffer = 1ull << 57;
  using N = CompletionNotice;
  struct Case {
    const char* name;
    bool failed, finishNotice, automatic;
    uint64_t flags;
    bool offer;
    N notice;
    uint64_t flagsAfter;
  };
  const Case cases[] = {
      {"crash path", true, false, false, kAlways, false, N::None, kAlways},
      {"automatic failed", true, true, true, 0, false, N::None, 0},
      {"failed asks even with no notice", true, true, false, kNone | kOffer, false, N::AskToViewLog,
       kNone | kOffer},
      {"no notice keeps 57", false, true, false, kNone | kOffer, true, N::None, kNone | kOffer},
      {"no log, no offer to view it", false, true, false, kOffer, false, N::InfoBox, 0},
      {"no log, program to launch", false, true, false, kOffer, true, N::FinishDialog, 0},
      {"log and offer to view it", false, true, false, kAlways | kOffer, false, N::FinishDialog,
       kAlways | kOffer},
      {"restart takes the plain message", false, true, false, kAlways | kOffer | kRestart, true,
       N::InfoBox, kAlways | kOffer | kRestart},
      {"nothing to offer", false, true, false, kAlways, false, N::InfoBox, kAlways},
  };
  for (const Case& c : cases) {
    const CompletionDecision d =
        DecideCompletionNotice(c.failed, c.finishNotice, c.automatic, c.flags, c.offer);
    EXPECT_EQ(d.notice, c.notice) << c.name;
    EXPECT_EQ(d.productFlags, c.flagsAfter) << c.name;
  }
  EXPECT_FALSE(ShouldWriteLogFile(false, kOffer | kNone));
  EXPECT_TRUE(ShouldWriteLogFile(false, kAlways));
  EXPECT_TRUE(ShouldWriteLogFile(true, 0));
}

}  // namespace
