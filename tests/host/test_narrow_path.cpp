#include <gtest/gtest.h>

#include <string>

#include "lib/narrow_path.h"

namespace {

using vk::Streng;
using vk::String;

std::string Hex(const std::string& s) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out += char(c);
    } else {
      out += "\\x";
      out += digits[c >> 4];
      out += digits[c & 15];
    }
  }
  return out;
}

TEST(NarrowPath, EncodeDecodeRoundTrips) {
  struct Case {
    Streng wide;
    String narrow;
  };
  const Case cases[] = {
      {u"", ""},
      {u"C:\\Program Files\\App\\a~1.txt", "C:\\Program Files\\App\\a~1.txt"},
      {u"C:\\Caf\u00E9\\x", "|C:\\Caf\xC3\xA9\\x"},
      {u"D:\\\u65E5\u672C", "|D:\\\xE6\x97\xA5\xE6\x9C\xAC"},
      {u"E:\\\U0001F600.txt", "|E:\\\xF0\x9F\x98\x80.txt"},
      {Streng(u"\x7F"), "\x7F"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Hex(vk::EncodeNarrowPath(c.wide)), Hex(c.narrow));
    EXPECT_EQ(vk::DecodeNarrowPath(c.narrow), c.wide) << Hex(c.narrow);
  }
}

TEST(NarrowPath, UnmarkedTextIsAnsi) {
  // The host's ANSI code page is Windows-1252.
  EXPECT_EQ(vk::DecodeNarrowPath("C:\\caf\xE9 \x80"), u"C:\\caf\u00E9 \u20AC");
  EXPECT_EQ(Hex(vk::EncodeNarrowPath(vk::DecodeNarrowPath("C:\\caf\xE9"))),
            Hex("|C:\\caf\xC3\xA9"));
}

TEST(NarrowPath, DriveLetterPosition) {
  EXPECT_EQ(vk::NarrowPathDriveLetter("C:\\x"), 'C');
  EXPECT_EQ(vk::NarrowPathDriveLetter("|D:\\\xC3\xA9"), 'D');
  EXPECT_EQ(vk::NarrowPathDriveLetter("|"), '\0');
  EXPECT_EQ(vk::NarrowPathDriveLetter(""), '\0');
}

TEST(NarrowPath, Join) {
  struct Case {
    const char* folder;
    const char* name;
    const char* expected;
  };
  const Case cases[] = {
      // Neither side marked: bytes are kept as they are.
      {"C:", "file", "C:file"},
      {"C:\\dir", "file", "C:\\dir\\file"},
      {"C:\\dir\\", "file", "C:\\dir\\file"},
      {"C:\\dir\\", "\\file", "C:\\dir\\file"},
      {"C:\\dir\\\\", "\\file", "C:\\dir\\\\file"},
      {"C:\\dir", "\\file", "C:\\dir\\file"},
      {"", "file", "file"},
      {"", "\\file", "\\file"},
      {"C:\\dir", "", "C:\\dir\\"},
      {"C:\\caf\xE9", "n\xE9", "C:\\caf\xE9\\n\xE9"},
      // Name marked: an unmarked folder is brought from ANSI to UTF-8.
      {"C:\\caf\xE9", "|\xC3\xA9t\xC3\xA9", "|C:\\caf\xC3\xA9\\\xC3\xA9t\xC3\xA9"},
      {"C:\\dir\\", "|\\\xC3\xA9", "|C:\\dir\\\xC3\xA9"},
      {"C:", "|\xC3\xA9", "|C:\xC3\xA9"},
      {"", "|\xC3\xA9", "|\xC3\xA9"},
      // Both marked: one mark in the result.
      {"|C:\\\xC3\xA9\\", "|\\x", "|C:\\\xC3\xA9\\x"},
      {"|", "|x\xC3\xA9", "|x\xC3\xA9"},
      // Only the folder marked: the name is decoded from ANSI, the whole encoded again.
      {"|C:\\\xC3\xA9", "n\xE9", "|C:\\\xC3\xA9\\n\xC3\xA9"},
      {"|C:\\\xC3\xA9\\", "\\n", "|C:\\\xC3\xA9\\n"},
      {"|C:\\a", "b", "C:\\a\\b"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Hex(vk::JoinNarrowPath(c.folder, c.name)), Hex(c.expected))
        << "folder \"" << Hex(c.folder) << "\" name \"" << Hex(c.name) << "\"";
}

TEST(WidePath, JoinAndSplit) {
  EXPECT_EQ(vk::JoinPath(u"C:", u"file"), u"C:file");
  EXPECT_EQ(vk::JoinPath(u"C:\\a\\", u"\\b"), u"C:\\a\\b");
  EXPECT_EQ(vk::JoinPath(u"C:\\a", u"b"), u"C:\\a\\b");
  EXPECT_EQ(vk::JoinPath(u"", u"b"), u"b");

  struct Case {
    Streng path, folder, name;
  };
  const Case cases[] = {
      {u"C:\\a\\b.txt", u"C:\\a", u"b.txt"},
      {u"C:\\b.txt", u"C:\\", u"b.txt"},
      {u"\\b.txt", u"\\", u"b.txt"},
      {u"b.txt", u"", u"b.txt"},
      {u"C:\\a\\", u"C:\\a", u""},
      {u"\\\\srv\\share\\x", u"\\\\srv\\share", u"x"},
  };
  for (const auto& c : cases) {
    const std::string shown = vk::StrengToUtf8(c.path);
    EXPECT_EQ(vk::PathFolder(c.path), c.folder) << shown;
    EXPECT_EQ(vk::PathFileName(c.path), c.name) << shown;
    EXPECT_EQ(vk::JoinPath(vk::PathFolder(c.path), vk::PathFileName(c.path)), c.path) << shown;
  }
}

TEST(WidePath, RemoveDotComponents) {
  const std::pair<Streng, Streng> cases[] = {
      {u"C:\\a\\.\\b\\..\\c", u"C:\\a\\c"},
      {u"C:\\a\\b\\..", u"C:\\a"},
      {u"C:\\a\\.", u"C:\\a"},
      {u"C:\\a\\", u"C:\\a\\"},
      {u"C:\\..\\..\\a", u"C:\\a"},
      {u"C:\\a\\..", u"C:\\"},
      {u"\\\\srv\\share\\..\\x", u"\\\\srv\\share\\x"},
      {u"\\\\?\\C:\\a\\..\\b", u"\\\\?\\C:\\b"},
      {u"\\\\?\\UNC\\srv\\share\\..\\b", u"\\\\?\\UNC\\srv\\share\\b"},
      {u"\\a\\..\\b", u"\\b"},
      {u"a\\..\\..\\b", u"b"},
      {u"C:\\a..\\.b\\...", u"C:\\a..\\.b\\..."},
  };
  for (const auto& [in, expected] : cases)
    EXPECT_EQ(vk::RemoveDotComponents(in), expected) << vk::StrengToUtf8(in);
}

TEST(WidePath, MakeAbsoluteAgainstABase) {
  struct Case {
    const char16_t *base, *path, *expected;
  };
  const Case cases[] = {
      {u"C:\\App", u"Tools\\x.txt", u"C:\\App\\Tools\\x.txt"},
      {u"C:\\App\\", u"  Tools  ", u"C:\\App\\Tools"},
      {u"C:\\App", u"\\Data\\x", u"C:\\Data\\x"},   // a single backslash takes the base's drive
      {u"C:\\App", u"D:\\Other", u"D:\\Other"},
      {u"C:\\App", u"\\\\server\\share\\f", u"\\\\server\\share\\f"},
      {u"\\\\server\\share", u"\\f", u"\\f"},      // no drive to take
      {u"C:\\App", u"", u"C:\\App"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(vk::MakeAbsolutePath(c.base, c.path), vk::Streng(c.expected)) << vk::StrengToUtf8(c.path);
}

TEST(WidePath, AbsolutePaths) {
  for (const char16_t* yes : {u"C:\\Windows\\system32\\cmd.exe", u"z:/x", u"\\\\server\\share\\cmd.exe"})
    EXPECT_TRUE(vk::IsAbsolutePath(yes)) << vk::StrengToUtf8(yes);
  for (const char16_t* no : {u"", u"cmd.exe", u"C:cmd.exe", u"\\Windows\\cmd.exe", u"1:\\x", u"\\\\\\x",
                             u"%ComSpec%", u".\\cmd.exe"})
    EXPECT_FALSE(vk::IsAbsolutePath(no)) << vk::StrengToUtf8(no);
}

}  // namespace
