#include "uninstall/core/uninstall_plan.h"

#include <gtest/gtest.h>

namespace {

using vk::Streng;

TEST(UninstallPlan, FoldersGoDeepestFirstAndKeepTheirOrderOtherwise) {
  const std::vector<Streng> sorted =
      uninstall::FoldersDeepestFirst({u"C:\\App", u"C:\\App\\b", u"C:\\App\\a", u"C:\\App\\b\\deep"});
  EXPECT_EQ((std::vector<Streng>{u"C:\\App\\b\\deep", u"C:\\App\\b", u"C:\\App\\a", u"C:\\App"}), sorted);
}

TEST(UninstallPlan, InsideFolder) {
  struct Case {
    const char16_t* path;
    const char16_t* folder;
    bool inside;
  } cases[] = {
      {u"C:\\App\\bin", u"C:\\App", true},     {u"c:\\app\\BIN\\", u"C:\\App\\", true},
      {u"C:\\App", u"C:\\App", false},         {u"C:\\Apple", u"C:\\App", false},
      {u"C:\\", u"C:\\App", false},            {u"C:\\App\\bin", u"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.inside, uninstall::IsInsideFolder(c.path, c.folder)) << vk::StrengToUtf8(c.path);
}

TEST(UninstallPlan, FilePassProgressRunsFrom11To92) {
  EXPECT_EQ(11, uninstall::FilePassProgress(0, 10));
  EXPECT_EQ(51, uninstall::FilePassProgress(5, 10));
  EXPECT_EQ(92, uninstall::FilePassProgress(10, 10));
  EXPECT_EQ(92, uninstall::FilePassProgress(11, 10));
  EXPECT_EQ(11, uninstall::FilePassProgress(0, 0));
}

TEST(UninstallPlan, SupportLinks) {
  EXPECT_TRUE(uninstall::IsSupportLink(u"  https://example.com/help  "));
  EXPECT_TRUE(uninstall::IsSupportLink(u"HTTP://example.com"));
  for (const char16_t* no : {u"", u"http://", u"example.com", u"file:///c:/x.exe", u"https://a b", u"cmd /c x"})
    EXPECT_FALSE(uninstall::IsSupportLink(no)) << vk::StrengToUtf8(no);
}

TEST(UninstallPlan, TheEndingNeverRestartsAScriptedRunAndAlwaysStartsTheHandOver) {
  using uninstall::UninstallRestart;
  struct Case {
    bool restartAtEnd, productQuiet, automatic, program;
    UninstallRestart restart;
  } cases[] = {
      {false, false, false, false, UninstallRestart::None},
      {true, false, false, false, UninstallRestart::Ask},
      {true, true, false, false, UninstallRestart::Now},
      {true, false, true, false, UninstallRestart::None},  // /a: no yes on the user's behalf
      {true, true, true, false, UninstallRestart::None},   // not even with the product's quiet option
      {true, false, false, true, UninstallRestart::None},  // the hand-over takes its place
      {true, true, true, true, UninstallRestart::None},
      {false, true, true, true, UninstallRestart::None},
  };
  for (const Case& c : cases) {
    const uninstall::UninstallEnding ending =
        uninstall::EndOfUninstall(c.restartAtEnd, c.productQuiet, c.automatic, c.program);
    EXPECT_EQ(c.restart, ending.restart) << c.restartAtEnd << c.productQuiet << c.automatic << c.program;
    EXPECT_EQ(c.program, ending.runProgram) << c.restartAtEnd << c.productQuiet << c.automatic << c.program;
  }
}

TEST(UninstallPlan, FoldersOnTheWayBelowTheProductFolders) {
  const std::vector<Streng> product = {u"C:\\App", u"C:\\App\\Shared\\", u"D:\\Common"};
  struct Case {
    const char16_t* path;
    bool folder;
    std::vector<Streng> expected;
  } cases[] = {
      {u"C:\\App\\bin\\deep\\x.dll", false, {u"C:\\App\\bin", u"C:\\App\\bin\\deep"}},
      {u"C:\\App\\x.dll", false, {}},                           // right in the product folder
      {u"C:\\App\\bin\\deep", true, {u"C:\\App\\bin", u"C:\\App\\bin\\deep"}},
      {u"c:\\app\\Shared\\lib\\y.dll", false, {u"c:\\app\\Shared\\lib"}},  // the deepest product folder
      {u"C:\\App\\bin\\..\\..\\Windows\\x.dll", false, {}},      // resolved: outside every product folder
      {u"C:\\App\\bin\\.\\x.dll", false, {u"C:\\App\\bin"}},
      {u"C:\\Users\\Public\\Desktop\\App.lnk", false, {}},
      {u"D:\\Common\\v1\\", true, {u"D:\\Common\\v1"}},
      {u"C:\\Apple\\x.dll", false, {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, uninstall::FoldersToCheckForLinks(c.path, product, c.folder)) << vk::StrengToUtf8(c.path);
  EXPECT_TRUE(uninstall::FoldersToCheckForLinks(u"C:\\App\\bin\\x", {}, false).empty());
}

}  // namespace
