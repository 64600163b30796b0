// The rules over an earlier installation and the checks of a chosen installation folder.
#include <gtest/gtest.h>

#include "lib/byte_size.h"
#include "lib/strings.h"
#include "setup/core/previous_install.h"

namespace {

using setup::FolderRefusal;
using setup::RunKind;

std::string Show(const vk::Streng& s) { return vk::StrengToUtf8(s); }

TEST(PreviousInstall, RunKindFollowsTheVersionsOnlyWhenAskedToCompare) {
  struct Row {
    bool compare;
    const char16_t *previous, *current;
    RunKind kind;
    int text;
  } rows[] = {
      {true, u"1.0", u"2.0", RunKind::Upgrade, 5},
      {true, u"2.0", u"1.9", RunKind::Downgrade, 6},
      {true, u"1.10", u"1.9", RunKind::Downgrade, 6},
      {true, u"2.0", u"2.0", RunKind::Reinstall, 4},
      {true, u"2.0", u"2.0.0", RunKind::Upgrade, 5},
      {true, u"2.0a", u"2.0b", RunKind::Upgrade, 5},
      {true, u"", u"2.0", RunKind::Reinstall, 3},     // a blank version compares nothing
      {true, u"1.0", u"  ", RunKind::Reinstall, 3},
      {false, u"1.0", u"2.0", RunKind::Reinstall, 3},  // without the option: a plain reinstallation
      {false, u"2.0", u"2.0", RunKind::Reinstall, 3},
  };
  for (const Row& r : rows) {
    const setup::RunClassification c = setup::ClassifyRun(r.compare, r.previous, r.current);
    EXPECT_EQ(c.kind, r.kind) << Show(r.previous) << " -> " << Show(r.current);
    EXPECT_EQ(c.kindText, r.text) << Show(r.previous) << " -> " << Show(r.current);
  }
}

TEST(PreviousInstall, UpgradeFloorDowngradeFloorAndWarningVersion) {
  // Must uninstall first unless the installed version has reached the upgrade floor.
  EXPECT_FALSE(setup::MustUninstallFirst(false, u"", u"1.0"));
  EXPECT_TRUE(setup::MustUninstallFirst(true, u"", u"9.0"));
  EXPECT_TRUE(setup::MustUninstallFirst(true, u" ", u"9.0"));
  EXPECT_TRUE(setup::MustUninstallFirst(true, u"2.0", u"1.9"));
  EXPECT_FALSE(setup::MustUninstallFirst(true, u"2.0", u"2.0"));  // equal to the floor: no removal
  EXPECT_FALSE(setup::MustUninstallFirst(true, u"2.0", u"2.1"));

  EXPECT_FALSE(setup::DowngradeRefused(u"", u"1.0"));
  EXPECT_FALSE(setup::DowngradeRefused(u" \t", u"1.0"));
  EXPECT_TRUE(setup::DowngradeRefused(u" 2.0 ", u"1.9"));
  EXPECT_FALSE(setup::DowngradeRefused(u"2.0", u"2.0"));
  EXPECT_FALSE(setup::DowngradeRefused(u"2.0", u"10.0"));

  EXPECT_FALSE(setup::AsksSecondUpgradeQuestion(false, u"1.0", u""));
  EXPECT_FALSE(setup::AsksSecondUpgradeQuestion(true, u"", u""));     // no known previous version
  EXPECT_TRUE(setup::AsksSecondUpgradeQuestion(true, u"1.0", u""));   // any version without a warning version
  EXPECT_TRUE(setup::AsksSecondUpgradeQuestion(true, u"1.0", u"2.0"));
  EXPECT_FALSE(setup::AsksSecondUpgradeQuestion(true, u"2.0", u"2.0"));
  EXPECT_FALSE(setup::AsksSecondUpgradeQuestion(true, u"3.0", u"2.0"));
}

TEST(PreviousInstall, MustUninstallCommandCarriesTheCommandLineInBackQuotes) {
  EXPECT_EQ(Show(setup::MustUninstallCommand(u"\"C:\\P\\uninst.exe\" /u:\"Prod\" /a",
                                             u"\"Z:\\dl\\setup v2.exe\" /d:\"C:\\Prod\" /a")),
            "\"C:\\P\\uninst.exe\" /u:\"Prod\" /a /r:\"`Z:\\dl\\setup v2.exe` /d:`C:\\Prod` /a\"");
}

TEST(PreviousInstall, RegistryValueReferences) {
  auto ref = setup::ParseRegistryValueReference(u"HKLM\\Software\\Vendor\\App\\Path");
  ASSERT_TRUE(ref);
  EXPECT_EQ(ref->root, setup::RegistryRoot::LocalMachine);
  EXPECT_EQ(Show(ref->key), "Software\\Vendor\\App");
  EXPECT_EQ(Show(ref->value), "Path");
  ref = setup::ParseRegistryValueReference(u"hkcu\\Software\\Folder");
  ASSERT_TRUE(ref);
  EXPECT_EQ(ref->root, setup::RegistryRoot::CurrentUser);
  EXPECT_EQ(Show(ref->key), "Software");
  ref = setup::ParseRegistryValueReference(u"HKCU\\Path");
  ASSERT_TRUE(ref);
  EXPECT_EQ(Show(ref->key), "");
  EXPECT_EQ(Show(ref->value), "Path");
  EXPECT_FALSE(setup::ParseRegistryValueReference(u"HKCR\\Software\\x"));
  EXPECT_FALSE(setup::ParseRegistryValueReference(u"C:\\HKLM\\x"));
  EXPECT_FALSE(setup::ParseRegistryValueReference(u"HKLM"));
}

TEST(PreviousInstall, ChosenFolderChecks) {
  const std::vector<vk::Streng> special = {u"C:\\users\\me\\Desktop", u"C:\\users\\me\\Documents\\"};
  const std::vector<vk::Streng> programs = {u"C:\\Program Files (x86)", u"C:\\Program Files"};
  struct Row {
    const char16_t* entered;
    FolderRefusal refusal;
    int text;
  } rows[] = {
      {u"  C:\\Program Files\\Product\\ ", FolderRefusal::None, 0},
      {u"\\\\server\\share\\Product", FolderRefusal::None, 0},
      {u"C:\\", FolderRefusal::DriveRoot, 14},
      {u"d:", FolderRefusal::DriveRoot, 14},
      {u"\\\\server\\share\\", FolderRefusal::DriveRoot, 14},
      {u"c:\\USERS\\me\\desktop\\", FolderRefusal::SpecialFolder, 66},
      {u"C:\\users\\me\\Documents", FolderRefusal::SpecialFolder, 66},
      {u"C:\\users\\me\\Desktop\\Product", FolderRefusal::None, 0},
      {u"c:\\program files", FolderRefusal::ProgramFiles, 18},
      {u"C:\\Program Files (x86)\\", FolderRefusal::ProgramFiles, 18},
      {u"Product", FolderRefusal::NotFullPath, 96},
      {u"C:Product", FolderRefusal::NotFullPath, 96},
      {u"\\Product", FolderRefusal::NotFullPath, 96},
      {u"   ", FolderRefusal::Empty, 0},
  };
  for (const Row& r : rows) {
    const vk::Streng folder = setup::NormaliseChosenFolder(r.entered);
    const FolderRefusal refusal = setup::CheckChosenFolder(folder, special, programs);
    EXPECT_EQ(refusal, r.refusal) << Show(r.entered);
    EXPECT_EQ(setup::RefusalText(refusal), r.text) << Show(r.entered);
  }
  EXPECT_EQ(Show(setup::NormaliseChosenFolder(u" C:\\Product\\ ")), "C:\\Product");
  EXPECT_EQ(Show(setup::FolderDrive(u"e:\\Product")), "e:");
  EXPECT_EQ(Show(setup::FolderDrive(u"\\\\server\\share\\Product")), "\\\\server\\share");
  EXPECT_EQ(Show(setup::FolderDrive(u"Product")), "");
}

TEST(PreviousInstall, SpaceCheckAndSizeTexts) {
  EXPECT_TRUE(setup::SpaceCheckApplies(false, u"C:\\Pr\u00f6dukt"));
  EXPECT_FALSE(setup::SpaceCheckApplies(true, u"C:\\Pr\u00f6dukt"));
  EXPECT_TRUE(setup::SpaceCheckApplies(true, u"C:\\Product"));

  struct {
    uint64_t bytes;
    const char* text;
  } sizes[] = {{0, "0 bytes"},          {1, "1 byte"},          {1023, "1023 bytes"},
               {1024, "1.0 KB"},        {1536, "1.5 KB"},       {1048575, "1023.9 KB"},
               {1048576, "1.0 MB"},     {uint64_t(5) << 30, "5.0 GB"},
               {UINT64_MAX, "15.9 EB"}};
  for (const auto& s : sizes) EXPECT_EQ(Show(vk::ByteSizeText(s.bytes)), s.text) << s.bytes;
}

}  // namespace
