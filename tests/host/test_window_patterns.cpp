#include "setup/core/window_patterns.h"

#include <gtest/gtest.h>

namespace {

using setup::CloseWindow;
using setup::RecordToApply;
using setup::WindowFacts;

struct PatternRow {
  const char* pattern;
  const char* text;
  bool matches;
};

const PatternRow kPatterns[] = {
    {"*Notepad", "Untitled - Notepad", true},
    {"*Notepad", "Notepad", true},
    {"*Notepad", "notepad", false},          // case counts after the asterisk too
    {"*Notepad", "Untitled - Note", false},
    {"Notepad", "Notepad", true},
    {"Notepad", "Untitled - Notepad", false},  // without the asterisk: the whole text
    {"Notepad", "notepad", false},
    {"Notepad", "Notepad ", false},
    {"*", "", true},                          // the bare asterisk matches every text
    {"*", "anything", true},
    {"Note*", "Notepad", false},               // only a leading asterisk is a wildcard
    {"Note*", "Note*", true},
    {"**", "a*b", true},
    {"**", "ab", false},
    {"", "", true},
    {"", "x", false},
};

TEST(WindowPatterns, MatchTable) {
  for (const PatternRow& row : kPatterns) {
    SCOPED_TRACE(std::string(row.pattern) + " / " + row.text);
    EXPECT_EQ(setup::MatchesPattern(std::string_view(row.pattern), std::string_view(row.text)), row.matches);
    // The wide class names follow the same rules.
    EXPECT_EQ(setup::MatchesPattern(vk::AsciiToStreng(row.pattern), vk::AsciiToStreng(row.text)), row.matches);
  }
}

TEST(WindowPatterns, WideClassNamesCompareUnits) {
  EXPECT_TRUE(setup::MatchesPattern(u"*Fenster\u00C4", u"MeinFenster\u00C4"));
  EXPECT_FALSE(setup::MatchesPattern(u"*Fenster\u00C4", u"MeinFenster\u00E4"));
}

WindowFacts Window(std::optional<vk::Streng> cls, vk::String title, bool own = false) {
  return WindowFacts{std::move(cls), std::move(title), own};
}

TEST(WindowPatterns, RecordNeedsEveryGivenPattern) {
  struct Row {
    const char* name;
    CloseWindow record;
    WindowFacts window;
    bool matches;
  };
  const Row rows[] = {
      {"both empty", {u"", "", "", 0, 1}, Window(u"", ""), false},
      {"class only", {u"AppClass", "", "", 0, 1}, Window(u"AppClass", "Any"), true},
      {"class only, other class", {u"AppClass", "", "", 0, 1}, Window(u"Other", "Any"), false},
      {"title only", {u"", "*App", "", 0, 1}, Window(u"X", "My App"), true},
      {"both match", {u"AppClass", "*App", "", 0, 1}, Window(u"AppClass", "My App"), true},
      {"class matches, title not", {u"AppClass", "*App", "", 0, 1}, Window(u"AppClass", "Other"), false},
      {"title matches, class not", {u"AppClass", "*App", "", 0, 1}, Window(u"Other", "My App"), false},
      {"unreadable class, title decides", {u"AppClass", "*App", "", 0, 1}, Window(std::nullopt, "My App"), true},
      {"unreadable class, title differs", {u"AppClass", "*App", "", 0, 1}, Window(std::nullopt, "Other"), false},
      // Nothing was compared: no evidence that this is the program.
      {"unreadable class, class pattern only", {u"AppClass", "", "", 0, 1}, Window(std::nullopt, "Any"), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(setup::RecordMatches(row.record, row.window), row.matches);
  }
}

TEST(WindowPatterns, RecordToApplyByPhaseOrderAndAction) {
  const std::vector<CloseWindow> records = {
      {u"", "*Editor", "install only", 0, 1},
      {u"", "*Editor", "uninstall", 3, 2},
      {u"", "*Editor", "ask late", 2, 4},
      {u"", "*Editor", "bad action", 7, 7},
      {u"", "*", "any title, both", 1, 3},
  };
  const WindowFacts editor = Window(u"C", "Text Editor");
  const WindowFacts other = Window(u"C", "Calculator");
  EXPECT_EQ(RecordToApply(records, 1, editor, true), 0u);  // the first in list order wins
  EXPECT_EQ(RecordToApply(records, 2, editor, true), 1u);
  EXPECT_EQ(RecordToApply(records, 4, editor, true), 2u);
  EXPECT_EQ(RecordToApply(records, 4, editor, false), std::nullopt);  // silent: nobody to ask
  // Silent: an asking record that matches first still decides; the later terminating one stays out.
  const std::vector<CloseWindow> askThenKill = {{u"", "*Editor", "", 2, 1}, {u"", "*Editor", "", 3, 1}};
  EXPECT_EQ(RecordToApply(askThenKill, 1, editor, false), std::nullopt);
  EXPECT_EQ(RecordToApply(askThenKill, 1, editor, true), 0u);
  EXPECT_EQ(RecordToApply(askThenKill, 1, other, false), std::nullopt);
  // An asking record that does not match the window does not stop a later one.
  EXPECT_EQ(RecordToApply({{u"", "*Calc", "", 2, 1}, {u"", "*Editor", "", 3, 1}}, 1, editor, false), 1u);
  EXPECT_EQ(RecordToApply(records, 1, other, true), 4u);
  EXPECT_EQ(RecordToApply(records, 2, other, true), 4u);
  EXPECT_EQ(RecordToApply(records, 4, other, true), std::nullopt);
  // An action byte that names no action never acts, a later record may.
  EXPECT_EQ(RecordToApply({{u"", "*Editor", "", 9, 1}, {u"", "*Ed", "", 0, 1}}, 1, editor, true), 1u);
  // The own process's windows are never acted on, whatever matches.
  EXPECT_EQ(RecordToApply(records, 1, Window(u"C", "Text Editor", true), true), std::nullopt);
  EXPECT_EQ(RecordToApply({}, 1, editor, true), std::nullopt);
}

TEST(WindowPatterns, InstallerKeepsOnlyUninstallRecords) {
  std::vector<CloseWindow> records = {
      {u"a", "", "", 0, 1}, {u"b", "", "", 0, 2}, {u"c", "", "", 2, 3},
      {u"d", "", "", 0, 0}, {u"e", "", "", 0, 0xFE}, {u"f", "", "", 0, 0x05},
  };
  setup::DropInstallOnlyRecords(records);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].classPattern, u"b");
  EXPECT_EQ(records[1].classPattern, u"c");
  EXPECT_EQ(records[2].classPattern, u"e");
}

TEST(WindowPatterns, UninstallerMaskAndTexts) {
  EXPECT_EQ(setup::UninstallPhaseMask(2), 4);
  for (uint8_t action : {0, 1, 3, 9}) EXPECT_EQ(setup::UninstallPhaseMask(action), 2);
  const auto installer = setup::ClosingTextsFor(setup::ClosingRun::Installer);
  const auto uninstaller = setup::ClosingTextsFor(setup::ClosingRun::Uninstaller);
  EXPECT_EQ((std::array{installer.question, installer.questionCaption, installer.cancelNotice, installer.cancelCaption}),
            (std::array{99, 65, 98, 111}));
  EXPECT_EQ((std::array{uninstaller.question, uninstaller.questionCaption, uninstaller.cancelNotice,
                        uninstaller.cancelCaption}),
            (std::array{107, 55, 101, 111}));
}

}  // namespace
