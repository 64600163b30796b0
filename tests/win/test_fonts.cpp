#include <windows.h>

#include <gtest/gtest.h>

#include "lib/narrow_path.h"
#include "setup/system_folders.h"
#include "tests/win/removal_test_support.h"
#include "tests/win/win_test_support.h"
#include "uninstall/fonts.h"

namespace {

using namespace wintest;

const Streng kFontsKey = vk::FromW(uninstall::kFontsKey);
const Streng kFaceA = u"Bs Test Font A (TrueType)";
const Streng kFaceB = u"Bs Test Caf\u00E9 (TrueType)";

class Fonts : public ::testing::Test {
protected:
  void SetUp() override {
    fonts_ = setup::FolderPath(setup::SystemFolder::Fonts);
    ASSERT_FALSE(fonts_.empty());
    CreateDirectoryW(vk::W(fonts_), nullptr);
    fileA_ = fonts_ + u"\\bs_test_a.ttf";
    fileB_ = fonts_ + u"\\bs_test_caf\u00E9.ttf";
    WriteFileText(fileA_, "not really a font", FILE_ATTRIBUTE_READONLY);
    WriteFileText(fileB_, "not really a font");
    SetString(HKEY_LOCAL_MACHINE, kFontsKey, kFaceA, u"bs_test_a.ttf");
    SetString(HKEY_LOCAL_MACHINE, kFontsKey, kFaceB, u"bs_test_caf\u00E9.ttf");
    run_.texts = {{56, u"Remove the font %s?"}, {57, u"Fonts"}};
  }
  void TearDown() override {
    for (const Streng& f : {fileA_, fileB_}) {
      SetFileAttributesW(vk::W(f), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(vk::W(f));
    }
    vk::RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, uninstall::kFontsKey, 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
      for (const Streng& v : {kFaceA, kFaceB}) RegDeleteValueW(key.get(), vk::W(v));
  }
  // The list as the installation writes it.
  static vk::String List() {
    return "\"" + vk::StrengToUtf8(kFaceA) + "\" \"bs_test_a.ttf\" \"" + vk::StrengToUtf8(kFaceB) + "\" \"" +
           vk::EncodeNarrowPath(u"bs_test_caf\u00E9.ttf") + "\" ";
  }

  Streng fonts_, fileA_, fileB_;
  RecordingRun run_;
};

TEST_F(Fonts, QuietRemovesEveryFontWithoutAsking) {
  run_.quiet = true;
  run_.flags = 1u << 4;
  EXPECT_EQ(uninstall::RemoveFonts(List(), run_), 2);
  EXPECT_TRUE(run_.questions.empty());
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kFontsKey, kFaceA));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kFontsKey, kFaceB));
  EXPECT_FALSE(Exists(fileA_)) << "read-only font file";
  EXPECT_FALSE(Exists(fileB_));
}

TEST_F(Fonts, NoKeepsThatFont) {
  run_.flags = 1u << 4;
  run_.answers = {false, true};
  EXPECT_EQ(uninstall::RemoveFonts(List(), run_), 1);
  EXPECT_EQ(run_.questions, (std::vector<Streng>{u"Remove the font " + kFaceA + u"?|Fonts",
                                                 u"Remove the font " + kFaceB + u"?|Fonts"}));
  EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kFontsKey, kFaceA));
  EXPECT_TRUE(Exists(fileA_));
  EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kFontsKey, kFaceB));
  EXPECT_FALSE(Exists(fileB_));
}

TEST_F(Fonts, WithoutTheOptionNothingIsAsked) {
  EXPECT_EQ(uninstall::RemoveFonts(List(), run_), 2);
  EXPECT_TRUE(run_.questions.empty());
}

TEST_F(Fonts, OnlyTheFontsFolderIsTouched) {
  // A list that names a file elsewhere deletes the Fonts folder's file of that name, not the other.
  TempFolder other(u"bs_fonts_other");
  const Streng outside = other.path() + u"\\bs_test_a.ttf";
  WriteFileText(outside);
  run_.quiet = true;
  EXPECT_EQ(uninstall::RemoveFonts("\"" + vk::StrengToUtf8(kFaceA) + "\" \"" + vk::EncodeNarrowPath(outside) + "\"" +
                                       " \"Bs Nothing\" \"..\"",
                                   run_),
            1);
  EXPECT_TRUE(Exists(outside));
  EXPECT_FALSE(Exists(fileA_));
  EXPECT_TRUE(Exists(fonts_)) << "\"..\" is no font file";
}

}  // namespace
