#include <gtest/gtest.h>

#include "lib/wininit.h"

namespace {

TEST(Wininit, AddRename) {
  struct Case {
    const char* name;
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"empty file", "", "[rename]\r\nNUL=C:\\OLD~1.TXT"},
      {"section absent", "[boot]\r\nx=1\r\n", "[boot]\r\nx=1\r\n[rename]\r\nNUL=C:\\OLD~1.TXT"},
      {"last line without line end", "[boot]\r\nx=1",
       "[boot]\r\nx=1\r\n[rename]\r\nNUL=C:\\OLD~1.TXT"},
      {"section present, entry goes first",
       "[boot]\r\n[rename]\r\nC:\\A.DLL=C:\\VKT1.TMP\r\n[other]\r\n",
       "[boot]\r\n[rename]\r\nNUL=C:\\OLD~1.TXT\r\nC:\\A.DLL=C:\\VKT1.TMP\r\n[other]\r\n"},
      {"section name in other case", "[ReName]\r\n", "[ReName]\r\nNUL=C:\\OLD~1.TXT\r\n"},
      {"section at the very end", "[x]\n[RENAME]", "[x]\n[RENAME]\r\nNUL=C:\\OLD~1.TXT"},
      {"only the first section takes it", "[rename]\r\n[rename]\r\n",
       "[rename]\r\nNUL=C:\\OLD~1.TXT\r\n[rename]\r\n"},
      {"near miss is not the section", "[renam]\r\n",
       "[renam]\r\n[rename]\r\nNUL=C:\\OLD~1.TXT"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(vk::AddWininitRename(c.text, vk::kWininitDelete, "C:\\OLD~1.TXT"), c.expected)
        << c.name;
}

TEST(Wininit, TwoEntriesStackNewestFirst) {
  std::string text = vk::AddWininitRename("", "C:\\A.DLL", "C:\\VKT1.TMP");
  text = vk::AddWininitRename(text, "C:\\B.DLL", "C:\\VKT2.TMP");
  EXPECT_EQ(text, "[rename]\r\nC:\\B.DLL=C:\\VKT2.TMP\r\nC:\\A.DLL=C:\\VKT1.TMP");
}

}  // namespace
