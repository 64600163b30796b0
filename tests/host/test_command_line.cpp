#include <gtest/gtest.h>

#include <functional>

#include "setup/core/command_line.h"

namespace {

using setup::CommandLine;
using setup::ParseCommandLine;

std::string U8(const vk::Streng& s) { return vk::StrengToUtf8(s); }

// Every accepted line: the program path first, then the switches, and what they must set.
struct GoodCase {
  const char* name;
  const char16_t* line;
  std::function<void(CommandLine&)> expect;  // changes from the defaults
};

void ExpectEqual(const CommandLine& want, const CommandLine& got, const char* name) {
  SCOPED_TRACE(name);
  EXPECT_EQ(want.automaticMode, got.automaticMode);
  EXPECT_EQ(want.silentMode, got.silentMode);
  EXPECT_EQ(want.startMinimized, got.startMinimized);
  EXPECT_EQ(want.uninstallRequested, got.uninstallRequested);
  EXPECT_EQ(U8(want.uninstallProductName), U8(got.uninstallProductName));
  EXPECT_EQ(U8(want.overridePath), U8(got.overridePath));
  EXPECT_EQ(want.overridePath8, got.overridePath8);
  EXPECT_EQ(U8(want.overrideProductName), U8(got.overrideProductName));
  EXPECT_EQ(U8(want.runAfterProgram), U8(got.runAfterProgram));
  EXPECT_EQ(want.batchAppend1, got.batchAppend1);
  EXPECT_EQ(want.batchAppend2, got.batchAppend2);
  EXPECT_EQ(want.batchAppend3, got.batchAppend3);
}

TEST(CommandLine, AcceptedLinesSetTheirValues) {
  const GoodCase cases[] = {
      {"nothing", u"setup.exe", [](CommandLine&) {}},
      {"surrounding white space", u"  \t\"C:\\My Files\\setup.exe\"  \r\n", [](CommandLine&) {}},
      {"quoted program path with a switch-like word", u"\"C:\\a /x b\\setup.exe\" /a",
       [](CommandLine& c) { c.automaticMode = true; }},
      {"/A", u"s /A", [](CommandLine& c) { c.automaticMode = true; }},
      {"-a", u"s -a", [](CommandLine& c) { c.automaticMode = true; }},
      {"lone slash and dash ignored", u"s / - /min",
       [](CommandLine& c) { c.startMinimized = true; }},
      {"silent implies automatic", u"s /SILENT",
       [](CommandLine& c) { c.automaticMode = c.silentMode = true; }},
      {"min any case", u"s -Min", [](CommandLine& c) { c.startMinimized = true; }},
      {"dir without quotes and trailing backslash", u"s /d:\"C:\\Program Files\\App\\\"",
       [](CommandLine& c) {
         c.overridePath = u"C:\\Program Files\\App";
         c.overridePath8 = "C:\\Program Files\\App";
       }},
      {"dir unquoted, only one backslash removed", u"s /D:C:\\App\\\\",
       [](CommandLine& c) {
         c.overridePath = u"C:\\App\\";
         c.overridePath8 = "C:\\App\\";
       }},
      {"dir not 7-bit has a narrow form", u"s /d:\"C:\\Caf\u00e9\"",
       [](CommandLine& c) {
         c.overridePath = u"C:\\Caf\u00e9";
         c.overridePath8 = "|C:\\Caf\xc3\xa9";
       }},
      {"drive root keeps its backslash", u"s /d:\"D:\\\"",
       [](CommandLine& c) { c.overridePath = u"D:\\"; c.overridePath8 = "D:\\"; }},
      {"lone backslash kept", u"s /d:\\",
       [](CommandLine& c) { c.overridePath = u"\\"; c.overridePath8 = "\\"; }},
      {"dir with a lone quote keeps it", u"s /d:\"",
       [](CommandLine& c) { c.overridePath = u"\""; c.overridePath8 = "\""; }},
      {"name", u"s /n:\"My Product\"", [](CommandLine& c) { c.overrideProductName = u"My Product"; }},
      {"name unquoted", u"s /N:Tool", [](CommandLine& c) { c.overrideProductName = u"Tool"; }},
      {"uninstall with name", u"s /u:\"Nothing Here\"",
       [](CommandLine& c) {
         c.uninstallRequested = true;
         c.uninstallProductName = u"Nothing Here";
       }},
      {"any atom starting with u uninstalls", u"s /Uninstall",
       [](CommandLine& c) { c.uninstallRequested = true; }},
      {"u alone", u"s -u", [](CommandLine& c) { c.uninstallRequested = true; }},
      {"u with empty name", u"s /u:\"\"", [](CommandLine& c) { c.uninstallRequested = true; }},
      {"run after with back-quotes", u"s /r:\"C:\\App\\app.exe `C:\\My Doc.txt`\"",
       [](CommandLine& c) { c.runAfterProgram = u"C:\\App\\app.exe \"C:\\My Doc.txt\""; }},
      {"run after unterminated keeps the text", u"s /R:\"app.exe",
       [](CommandLine& c) { c.runAfterProgram = u"app.exe"; }},
      {"batch lines split at ~~, back-quotes become quotes",
       u"s /b1:\"echo one~~copy `a b` c\"",
       [](CommandLine& c) { c.batchAppend1 = "echo one\r\ncopy \"a b\" c"; }},
      {"three tildes leave one", u"s /B2:\"a~~~b\"", [](CommandLine& c) { c.batchAppend2 = "a\r\n~b"; }},
      {"batch 3 in ANSI, ? for unmappable", u"s /b3:\"caf\u00e9 \u4e2d\"",
       [](CommandLine& c) { c.batchAppend3 = "caf\xe9 ?"; }},
      {"repeated atom overwrites", u"s /n:first /n:second",
       [](CommandLine& c) { c.overrideProductName = u"second"; }},
      {"quoted stretch holds white space inside a token", u"s /n:\"a  b\"/min",
       [](CommandLine& c) { c.overrideProductName = u"\"a  b\"/min"; }},
  };
  for (const GoodCase& tc : cases) {
    setup::CommandLineResult r = ParseCommandLine(tc.line);
    EXPECT_TRUE(r.ok) << tc.name << ": " << U8(r.usageError);
    CommandLine want;
    tc.expect(want);
    ExpectEqual(want, r.values, tc.name);
  }
}

TEST(CommandLine, RejectedLinesGiveTheirUsageMessage) {
  struct BadCase {
    const char16_t* line;
    const char* message;
  } cases[] = {
      {u"s /x", "Illegal command line atom:\r\nx"},
      {u"s /Auto", "Illegal command line atom:\r\nAuto"},
      {u"s /silently", "Illegal command line atom:\r\nsilently"},
      {u"s /minimized", "Illegal command line atom:\r\nminimized"},
      {u"s /r:app.exe", "Illegal command line atom:\r\nr:app.exe"},
      {u"s /b1:echo", "Illegal command line atom:\r\nb1:echo"},
      {u"s /b2:", "Illegal command line atom:\r\nb2:"},
      {u"s /b4:\"x\"", "Illegal command line atom:\r\nb4:\"x\""},
      {u"s /d", "Illegal command line atom:\r\nd"},
      {u"s /a install.txt", "Unexpected command line parameter:\r\ninstall.txt"},
      {u"s \"/a\"", "Unexpected command line parameter:\r\n\"/a\""},
      {u"s \"\"", "Unexpected command line parameter:\r\n\"\""},
      // The first error ends the parse: later tokens are not looked at.
      {u"s /x y", "Illegal command line atom:\r\nx"},
  };
  for (const BadCase& tc : cases) {
    setup::CommandLineResult r = ParseCommandLine(tc.line);
    EXPECT_FALSE(r.ok) << tc.message;
    EXPECT_EQ(tc.message, U8(r.usageError));
  }
}

TEST(CommandLine, OnlyTwentyTokensAfterTheProgramPathAreRead) {
  std::u16string line = u"\"C:\\my dir\\s.exe\"";
  for (int i = 0; i < 19; ++i) line += u" /";
  setup::CommandLineResult r = ParseCommandLine(line + u" /a");
  EXPECT_TRUE(r.ok && r.values.automaticMode) << "the twentieth token counts";
  r = ParseCommandLine(line + u" / /a /bad");
  EXPECT_TRUE(r.ok) << U8(r.usageError);
  EXPECT_FALSE(r.values.automaticMode) << "the twenty-first token is ignored";
}

TEST(CommandLine, UnterminatedQuoteRunsToTheEnd) {
  setup::CommandLineResult r = ParseCommandLine(u"s /n:\"unterminated /a");
  EXPECT_TRUE(r.ok) << U8(r.usageError);
  EXPECT_EQ("\"unterminated /a", U8(r.values.overrideProductName));
  EXPECT_FALSE(r.values.automaticMode);
}

TEST(CommandLine, TokensKeepQuotes) {
  auto tokens = setup::TokeniseCommandLine(u" \"C:\\a b\\s.exe\"  /u:\"x y\"\t-a ", 10);
  ASSERT_EQ(3u, tokens.size());
  EXPECT_EQ("\"C:\\a b\\s.exe\"", U8(tokens[0]));
  EXPECT_EQ("/u:\"x y\"", U8(tokens[1]));
  EXPECT_EQ("-a", U8(tokens[2]));
  EXPECT_EQ(2u, setup::TokeniseCommandLine(u"a b c d", 2).size());
}

TEST(CommandLine, UninstallNeedsAName) {
  CommandLine c = ParseCommandLine(u"s /Uninstall").values;
  EXPECT_EQ("Product name required", U8(setup::UninstallUsageError(c)));
  c = ParseCommandLine(u"s /u:Tool").values;
  EXPECT_EQ("", U8(setup::UninstallUsageError(c)));
}

TEST(CommandLine, UsageTextPutsMessageAndFileName) {
  vk::Streng text = setup::UsageText(u"Illegal command line atom:\r\n%s x", u"setup 100%.exe");
  std::string s = U8(text);
  EXPECT_EQ(0u, s.find("Illegal command line atom:\r\n%s x\r\n\r\nUsage:\r\nsetup 100%.exe [/a] "
                       "[/b1:\"commands\"]"));
  EXPECT_TRUE(s.ends_with("[/silent]\r\n\r\n/a                  \tAutomatic mode.\r\n"
                          "/d:\"dir\"        \tOverride installation path.\r\n"
                          "/b1:\"commands\"\tAdd commands to the end of the Pre-Installation Batch.\r\n"
                          "/b2:\"commands\"\tAdd commands to the end of the Post-Installation Batch.\r\n"
                          "/b3:\"commands\"\tAdd commands to the end of the Installation-Exit Batch.\r\n"
                          "/n:\"name\"\tOverride product name.\r\n"
                          "/u:\"name\"\tUninstall product by name.\r\n"
                          "/r:\"program\"\tRun the specified program after a successful installation.\r\n"
                          "/silent\tDisplay no user interface."));
  EXPECT_EQ("setup.exe", U8(setup::FileNameOfPath(u"C:\\dir/sub\\setup.exe")));
  EXPECT_EQ("setup.exe", U8(setup::FileNameOfPath(u"setup.exe")));
}

}  // namespace
