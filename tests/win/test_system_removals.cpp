// Installer packages, driver packages and the deletion of the whole installation folder.
#include <windows.h>

#include <gtest/gtest.h>

#include "lib/narrow_path.h"
#include "lib/win32/fileops.h"
#include "lib/win32/system_error.h"
#include "tests/win/removal_test_support.h"
#include "tests/win/win_test_support.h"
#include "uninstall/core/uninstall_data.h"
#include "uninstall/drivers.h"
#include "uninstall/packages.h"
#include "uninstall/whole_folder.h"

namespace {

using namespace wintest;

TEST(Packages, FailedRemovalIsReportedAndKept) {
  TempFolder dir(u"bs_packages");
  const Streng missing = dir.path() + u"\\bs_missing.msi";
  std::vector<vk::String> packages = {uninstall::PackageLine(missing, 2), "not a package line",
                                      uninstall::PackageLine(dir.path() + u"\\other.msi", 2)};
  const std::vector<vk::String> before = packages;
  RecordingRun run;

  uninstall::UninstallPackages(packages, run);

  EXPECT_EQ(packages, before) << "nothing was removed, so every line stays";
  ASSERT_EQ(run.failures.size(), 2u);
  const Streng prefix = u"Failed to uninstall bs_missing.msi, code ";
  ASSERT_EQ(run.failures[0].substr(0, prefix.size()), prefix) << vk::StrengToUtf8(run.failures[0]);
  const Streng rest = run.failures[0].substr(prefix.size());
  const size_t colon = rest.find(u": ");
  ASSERT_NE(colon, Streng::npos);
  const int code = std::stoi(vk::StrengToUtf8(rest.substr(0, colon)));
  EXPECT_NE(code, 0);
  EXPECT_EQ(rest.substr(colon + 2), vk::SystemErrorText(code) + u"\r\n");
  EXPECT_EQ(run.failures[1].substr(0, 35), u"Failed to uninstall other.msi, code");
}

TEST(Packages, NothingToDo) {
  std::vector<vk::String> packages;
  RecordingRun run;
  uninstall::UninstallPackages(packages, run);
  EXPECT_TRUE(run.failures.empty());
}

TEST(Drivers, TheInfIsRemovedByItsFileName) {
  // The system keeps installed INF files in the Windows folder's "inf"; the line's folder is not used.
  const Streng inf = vk::WindowsFolder() + u"\\inf\\oem_bs_test7.inf";
  CreateDirectoryW(vk::W(vk::WindowsFolder() + u"\\inf"), nullptr);
  WriteFileText(inf, "[Version]\r\nSignature=\"$Windows NT$\"\r\n");
  TempFolder elsewhere(u"bs_drivers");
  const Streng decoy = elsewhere.path() + u"\\oem_bs_test7.inf";
  WriteFileText(decoy);

  uninstall::UninstallDrivers({"", vk::EncodeNarrowPath(decoy)});

  EXPECT_FALSE(Exists(inf));
  EXPECT_TRUE(Exists(decoy));
  DeleteFileW(vk::W(inf));
}

TEST(WholeFolder, TreeWithReadOnlyContentGoes) {
  TempFolder dir(u"bs_whole_folder");
  ASSERT_TRUE(dir.created());
  const Streng app = dir.path() + u"\\App";
  ASSERT_TRUE(CreateDirectoryW(vk::W(app), nullptr));
  ASSERT_TRUE(CreateDirectoryW(vk::W(app + u"\\Nested"), nullptr));
  ASSERT_TRUE(CreateDirectoryW(vk::W(app + u"\\Nested\\Deeper"), nullptr));
  WriteFileText(app + u"\\readonly.txt", "x", FILE_ATTRIBUTE_READONLY);
  WriteFileText(app + u"\\Nested\\Deeper\\caf\u00E9.dll", "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(SetFileAttributesW(vk::W(app + u"\\Nested"), FILE_ATTRIBUTE_READONLY));

  EXPECT_TRUE(uninstall::DeleteInstallationTree(app + u"\\"));
  EXPECT_FALSE(Exists(app));
  EXPECT_TRUE(Exists(dir.path()));
  EXPECT_TRUE(uninstall::DeleteInstallationTree(app)) << "a folder that is not there is gone";
}

TEST(WholeFolder, LinksAreNotFollowed) {
  TempFolder dir(u"bs_whole_links");
  TempFolder outside(u"bs_whole_outside");
  const Streng app = dir.path() + u"\\App";
  ASSERT_TRUE(CreateDirectoryW(vk::W(app), nullptr));
  WriteFileText(outside.path() + u"\\precious.txt");
  if (!CreateSymbolicLinkW(vk::W(app + u"\\link"), vk::W(outside.path()), SYMBOLIC_LINK_FLAG_DIRECTORY))
    GTEST_SKIP() << "this system makes no directory links: " << vk::StrengToUtf8(vk::LastSystemErrorText());
  ASSERT_TRUE(GetFileAttributesW(vk::W(app + u"\\link")) & FILE_ATTRIBUTE_REPARSE_POINT);

  EXPECT_TRUE(uninstall::DeleteInstallationTree(app));
  EXPECT_FALSE(Exists(app));
  EXPECT_TRUE(Exists(outside.path() + u"\\precious.txt"));
}

TEST(WholeFolder, SystemFoldersStay) {
  const std::vector<Streng> folders = uninstall::ProtectedSystemFolders();
  const auto listed = [&](const Streng& f) {
    for (const Streng& p : folders)
      if (vk::EqualsNoCase(p, f)) return true;
    return false;
  };
  wchar_t buffer[MAX_PATH];
  ASSERT_TRUE(GetSystemDirectoryW(buffer, MAX_PATH));
  EXPECT_TRUE(listed(vk::FromW(buffer)));
  EXPECT_TRUE(listed(vk::WindowsFolder()));

  // A protected folder with something in it (the Common Files folder is expendable if this fails).
  const Streng common = vk::FromW(_wgetenv(L"CommonProgramFiles") ? _wgetenv(L"CommonProgramFiles") : L"");
  ASSERT_FALSE(common.empty());
  CreateDirectoryW(vk::W(common), nullptr);
  const Streng marker = common + u"\\bs_marker.txt";
  WriteFileText(marker);
  EXPECT_FALSE(uninstall::DeleteInstallationTree(common));
  EXPECT_FALSE(uninstall::DeleteInstallationTree(common + u"\\..")) << "Program Files";
  EXPECT_TRUE(Exists(marker));
  DeleteFileW(vk::W(marker));
}

}  // namespace
