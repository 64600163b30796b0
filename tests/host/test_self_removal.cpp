#include <gtest/gtest.h>

#include "uninstall/core/self_removal.h"

namespace {

using uninstall::SelfRemovalPaths;

TEST(SelfRemovalBatch, TwoLevelSubfolderDeepestFirst) {
  const SelfRemovalPaths paths{u"C:\\Apps\\Tool\\Setup\\Uninstall\\uninstall.exe", u"C:\\Apps\\Tool",
                               u"Setup\\Uninstall", u"C:\\Temp\\delunins.bat"};
  const vk::Streng text = uninstall::SelfRemovalText(paths);
  EXPECT_EQ(text,
            u":Repeat\r\n"
            u"del \"C:\\Apps\\Tool\\Setup\\Uninstall\\uninstall.exe\"\r\n"
            u"if exist \"C:\\Apps\\Tool\\Setup\\Uninstall\\uninstall.exe\" goto Repeat\r\n"
            u"CHOICE /T 3 /D Y\r\n"
            u"rd \"C:\\Apps\\Tool\\Setup\\Uninstall\"\r\n"
            u"rd \"C:\\Apps\\Tool\\Setup\"\r\n"
            u"rd \"C:\\Apps\\Tool\"\r\n"
            u"del \"C:\\Temp\\delunins.bat\"\r\n");
  // Pure 7-bit text takes the Windows-1252 line even where the console could take UTF-8.
  EXPECT_EQ(uninstall::EncodeSelfRemovalBatch(text, true), "@chcp 1252 >nul\r\n" + vk::StrengToCp1252(text));
}

TEST(SelfRemovalBatch, SubfolderForms) {
  struct Case {
    const char16_t* subdir;
    const char16_t* rdLines;
  };
  const Case cases[] = {
      {u"", u"rd \"C:\\P\"\r\n"},
      {u"\\Un\\", u"rd \"C:\\P\\Un\"\r\nrd \"C:\\P\"\r\n"},
      {u"a\\\\b", u"rd \"C:\\P\\a\\b\"\r\nrd \"C:\\P\\a\"\r\nrd \"C:\\P\"\r\n"},
      // Nothing outside the installation folder: the levels from a "." or ".." on are left out.
      {u"..\\Other", u"rd \"C:\\P\"\r\n"},
      {u"Un\\..\\..\\x", u"rd \"C:\\P\\Un\"\r\nrd \"C:\\P\"\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(vk::StrengToUtf8(c.subdir));
    const vk::Streng text = uninstall::SelfRemovalText({u"C:\\P\\u.exe", u"C:\\P", c.subdir, u"C:\\T\\d.bat"});
    const vk::Streng head = u":Repeat\r\ndel \"C:\\P\\u.exe\"\r\nif exist \"C:\\P\\u.exe\" goto Repeat\r\nCHOICE /T 3 /D Y\r\n";
    EXPECT_EQ(text, head + c.rdLines + u"del \"C:\\T\\d.bat\"\r\n");
  }
}

TEST(SelfRemovalBatch, AtMostFiftySubfolderLines) {
  vk::Streng deep;
  for (int i = 0; i < 60; ++i) deep += u"d\\";
  const vk::Streng text = uninstall::SelfRemovalText({u"C:\\P\\u.exe", u"C:\\P", deep, u"C:\\T\\d.bat"});
  size_t rd = 0;
  for (size_t at = text.find(u"rd \""); at != vk::Streng::npos; at = text.find(u"rd \"", at + 1)) ++rd;
  EXPECT_EQ(rd, 51u);  // fifty subfolder levels, the deepest first, then the installation folder
  EXPECT_NE(text.find(u"rd \"C:\\P\"\r\ndel"), vk::Streng::npos);
}

TEST(SelfRemovalBatch, NonAsciiPathEncodings) {
  const SelfRemovalPaths paths{u"C:\\Café\\u.exe", u"C:\\Café", u"", u"C:\\T\\delunins.bat"};
  const vk::Streng text = uninstall::SelfRemovalText(paths);
  const std::string utf8 = uninstall::EncodeSelfRemovalBatch(text, true);
  EXPECT_EQ(utf8.rfind("@chcp 65001 >nul\r\n:Repeat\r\ndel \"C:\\Caf\xC3\xA9\\u.exe\"\r\n", 0), 0u);
  const std::string cp1252 = uninstall::EncodeSelfRemovalBatch(text, false);
  EXPECT_EQ(cp1252.rfind("@chcp 1252 >nul\r\n:Repeat\r\ndel \"C:\\Caf\xE9\\u.exe\"\r\n", 0), 0u);
  EXPECT_NE(cp1252.find("rd \"C:\\Caf\xE9\"\r\n"), std::string::npos);

  // Without a UTF-8 console what Windows-1252 lacks becomes "?".
  const vk::Streng greek = uninstall::SelfRemovalText({u"C:\\Ω\\u.exe", u"C:\\Ω", u"", u"C:\\T\\d.bat"});
  EXPECT_EQ(uninstall::EncodeSelfRemovalBatch(greek, false).substr(0, 36),
            "@chcp 1252 >nul\r\n:Repeat\r\ndel \"C:\\?\\");
}

}  // namespace
