#include <gtest/gtest.h>

#include "uninstall/core/self_removal.h"

namespace {

using uninstall::SelfRemovalPaths;

// The lines before the folder removals for an executable "C:\P\u.exe" and a batch in "C:\T\x".
const vk::Streng kHead =
    u"setlocal DisableDelayedExpansion\r\ncd /d \"C:\\T\"\r\n"
    u"set Attempts=0\r\n:Repeat\r\ndel \"C:\\P\\u.exe\"\r\nif not exist \"C:\\P\\u.exe\" goto Deleted\r\n"
    u"set /a Attempts+=1\r\nif %Attempts% LSS 120 (\r\nping -n 2 127.0.0.1 >nul\r\ngoto Repeat\r\n)\r\n"
    u":Deleted\r\nCHOICE /T 3 /D Y\r\n";
// The lines after them for that batch.
const vk::Streng kTail =
    u"set \"SelfRemovalFolder=C:\\T\\x\"\r\n"
    u"start \"\" /b \"C:\\W\\cmd.exe\" /d /v:off /c"
    u" ping -n 3 127.0.0.1 ^>nul ^& rd \"%%SelfRemovalFolder%%\" 2^>nul ^&"
            u" ping -n 3 127.0.0.1 ^>nul ^& rd \"%%SelfRemovalFolder%%\" 2^>nul ^&"
            u" ping -n 6 127.0.0.1 ^>nul ^& rd \"%%SelfRemovalFolder%%\" 2^>nul\r\n"
    u"del \"C:\\T\\x\\d.bat\"\r\n";

TEST(SelfRemovalBatch, TwoLevelSubfolderDeepestFirst) {
  const SelfRemovalPaths paths{u"C:\\Apps\\Tool\\Setup\\Uninstall\\uninstall.exe", u"C:\\Apps\\Tool",
                               u"Setup\\Uninstall", u"C:\\Temp\\bs-0123\\delunins.bat", u"C:\\W\\cmd.exe"};
  const vk::Streng text = uninstall::SelfRemovalText(paths);
  EXPECT_EQ(text,
            u"setlocal DisableDelayedExpansion\r\n"
            u"cd /d \"C:\\Temp\"\r\n"
            u"set Attempts=0\r\n"
            u":Repeat\r\n"
            u"del \"C:\\Apps\\Tool\\Setup\\Uninstall\\uninstall.exe\"\r\n"
            u"if not exist \"C:\\Apps\\Tool\\Setup\\Uninstall\\uninstall.exe\" goto Deleted\r\n"
            u"set /a Attempts+=1\r\n"
            u"if %Attempts% LSS 120 (\r\n"
            u"ping -n 2 127.0.0.1 >nul\r\n"
            u"goto Repeat\r\n"
            u")\r\n"
            u":Deleted\r\n"
            u"CHOICE /T 3 /D Y\r\n"
            u"rd \"C:\\Apps\\Tool\\Setup\\Uninstall\"\r\n"
            u"rd \"C:\\Apps\\Tool\\Setup\"\r\n"
            u"rd \"C:\\Apps\\Tool\"\r\n"
            u"set \"SelfRemovalFolder=C:\\Temp\\bs-0123\"\r\n"
            u"start \"\" /b \"C:\\W\\cmd.exe\" /d /v:off /c"
            u" ping -n 3 127.0.0.1 ^>nul ^& rd \"%%SelfRemovalFolder%%\" 2^>nul ^&"
            u" ping -n 3 127.0.0.1 ^>nul ^& rd \"%%SelfRemovalFolder%%\" 2^>nul ^&"
            u" ping -n 6 127.0.0.1 ^>nul ^& rd \"%%SelfRemovalFolder%%\" 2^>nul\r\n"
            u"del \"C:\\Temp\\bs-0123\\delunins.bat\"\r\n");
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
    const vk::Streng text =
        uninstall::SelfRemovalText({u"C:\\P\\u.exe", u"C:\\P", c.subdir, u"C:\\T\\x\\d.bat", u"C:\\W\\cmd.exe"});
    EXPECT_EQ(text, kHead + c.rdLines + kTail);
  }
}

// A program that is not the uninstaller is never deleted: no attempt at it, the folders still go.
TEST(SelfRemovalBatch, WithoutTheExecutableOnlyFoldersGo) {
  EXPECT_EQ(uninstall::SelfRemovalText({u"", u"C:\\P", u"Un", u"C:\\T\\x\\d.bat", u"C:\\W\\cmd.exe"}),
            u"setlocal DisableDelayedExpansion\r\ncd /d \"C:\\T\"\r\nCHOICE /T 3 /D Y\r\n"
                u"rd \"C:\\P\\Un\"\r\nrd \"C:\\P\"\r\n" +
                kTail);
}

// The interpreter expands "%" even between quotes: every path keeps its own.
TEST(SelfRemovalBatch, PercentSignsInPathsAreEscaped) {
  const vk::Streng text = uninstall::SelfRemovalText(
      {u"C:\\100%\\%TEMP%\\u.exe", u"C:\\100%", u"%TEMP%", u"C:\\T%x%\\b\\d.bat", u"C:\\W\\cmd.exe"});
  EXPECT_NE(text.find(u"del \"C:\\100%%\\%%TEMP%%\\u.exe\"\r\nif not exist \"C:\\100%%\\%%TEMP%%\\u.exe\" goto"),
            vk::Streng::npos)
      << vk::StrengToUtf8(text);
  EXPECT_NE(text.find(u"cd /d \"C:\\T%%x%%\"\r\n"), vk::Streng::npos);
  EXPECT_NE(text.find(u"rd \"C:\\100%%\\%%TEMP%%\"\r\nrd \"C:\\100%%\"\r\n"), vk::Streng::npos);
  EXPECT_NE(text.find(u"set \"SelfRemovalFolder=C:\\T%%x%%\\b\"\r\n"), vk::Streng::npos);
  EXPECT_NE(text.find(u"del \"C:\\T%%x%%\\b\\d.bat\"\r\n"), vk::Streng::npos);
  // The attempt counter is the only variable the batch reads, the folder's the only one it passes on.
  size_t single = 0;
  for (size_t at = 0; at < text.size(); ++at)
    if (text[at] == u'%' && (at + 1 == text.size() || text[at + 1] != u'%') && (at == 0 || text[at - 1] != u'%'))
      ++single;
  EXPECT_EQ(single, 2u);  // "%Attempts%"
  EXPECT_NE(text.find(u"rd \"%%SelfRemovalFolder%%\""), vk::Streng::npos);
}

TEST(SelfRemovalBatch, AtMostFiftySubfolderLines) {
  vk::Streng deep;
  for (int i = 0; i < 60; ++i) deep += u"d\\";
  const vk::Streng text =
      uninstall::SelfRemovalText({u"C:\\P\\u.exe", u"C:\\P", deep, u"C:\\T\\x\\d.bat", u"C:\\W\\cmd.exe"});
  size_t rd = 0;
  for (size_t at = text.find(u"rd \""); at != vk::Streng::npos; at = text.find(u"rd \"", at + 1)) ++rd;
  EXPECT_EQ(rd, 54u);  // fifty subfolder levels, deepest first, the installation folder, three tries at the batch's own
  EXPECT_NE(text.find(u"rd \"C:\\P\"\r\nset"), vk::Streng::npos);
}

TEST(SelfRemovalBatch, OnlyTheUninstallerInItsUninstallFolder) {
  struct Case {
    const char16_t* executable;
    const char16_t* folder;
    bool uninstaller;
  } cases[] = {
      {u"C:\\Apps\\Tool\\Setup\\uninstall.exe", u"C:\\Apps\\Tool\\Setup", true},
      {u"c:\\apps\\tool\\SETUP\\u.exe", u"C:\\Apps\\Tool\\Setup\\", true},
      {u"C:/Apps/Tool/u.exe", u"C:\\Apps\\Tool", true},
      {u"C:\\Users\\me\\Downloads\\tool-setup.exe", u"C:\\Apps\\Tool\\Setup", false},
      {u"C:\\Apps\\Tool\\u.exe", u"C:\\Apps\\Tool\\Setup", false},          // above it
      {u"C:\\Apps\\Tool\\Setup\\x\\u.exe", u"C:\\Apps\\Tool\\Setup", false},  // below it
      {u"C:\\Apps\\Tool\\Setup2\\u.exe", u"C:\\Apps\\Tool\\Setup", false},
      {u"C:\\Apps\\Tool\\Setup\\u.exe", u"", false},
      {u"", u"C:\\Apps", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.uninstaller, uninstall::IsProductUninstaller(c.executable, c.folder)) << vk::StrengToUtf8(c.executable);
}

TEST(SelfRemovalBatch, NonAsciiPathEncodings) {
  const SelfRemovalPaths paths{u"C:\\Café\\u.exe", u"C:\\Café", u"", u"C:\\T\\x\\delunins.bat", u"C:\\W\\cmd.exe"};
  const vk::Streng text = uninstall::SelfRemovalText(paths);
  bool lossless = false;
  const std::string utf8 = uninstall::EncodeSelfRemovalBatch(text, true, &lossless);
  EXPECT_TRUE(lossless);
  EXPECT_NE(utf8.find("\r\ndel \"C:\\Caf\xC3\xA9\\u.exe\"\r\n"), std::string::npos);
  EXPECT_EQ(utf8.rfind("@chcp 65001 >nul\r\n", 0), 0u);
  const std::string cp1252 = uninstall::EncodeSelfRemovalBatch(text, false, &lossless);
  EXPECT_TRUE(lossless);
  EXPECT_EQ(cp1252.rfind("@chcp 1252 >nul\r\n", 0), 0u);
  EXPECT_NE(cp1252.find("\r\ndel \"C:\\Caf\xE9\\u.exe\"\r\n"), std::string::npos);
  EXPECT_NE(cp1252.find("rd \"C:\\Caf\xE9\"\r\n"), std::string::npos);

  // Without a UTF-8 console what Windows-1252 lacks becomes "?", a wildcard: said so.
  const vk::Streng greek =
      uninstall::SelfRemovalText({u"C:\\Ω\\u.exe", u"C:\\Ω", u"", u"C:\\T\\x\\d.bat", u"C:\\W\\cmd.exe"});
  EXPECT_NE(uninstall::EncodeSelfRemovalBatch(greek, false, &lossless).find("del \"C:\\?\\"), std::string::npos);
  EXPECT_FALSE(lossless);
  uninstall::EncodeSelfRemovalBatch(greek, true, &lossless);
  EXPECT_TRUE(lossless);
}

}  // namespace
