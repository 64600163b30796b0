#include <gtest/gtest.h>
#include <windows.h>

#include "lib/format.h"
#include "lib/win32/system_error.h"

namespace {

using vk::Streng;
using vk::SystemErrorText;

std::string U8(const Streng& s) { return vk::StrengToUtf8(s); }

TEST(SystemErrorText, FixedAnswers) {
  struct Row {
    uint32_t code;
    const char16_t* expected;
  };
  const Row rows[] = {
      {0, u""},
      {86, u"Incorrect password."},
      {0x2FFFFFFF, u"Error 0x2FFFFFFF"},
      {0xDEADBEEF, u"Error 0xDEADBEEF"},
      {0x0000FFFF, u"Error 0x0000FFFF"},
  };
  for (const Row& r : rows) {
    SetLastError(0xdeadbeef);
    const Streng text = SystemErrorText(r.code);
    EXPECT_EQ(U8(text), U8(r.expected)) << "code 0x" << std::hex << r.code;
    EXPECT_EQ(GetLastError(), 0xdeadbeefu) << "last error changed for code 0x" << std::hex << r.code;
  }
}

TEST(SystemErrorText, SystemMessageWithoutTrailingWhiteSpace) {
  for (uint32_t code : {2u, 3u, 5u, 32u, 123u}) {
    wchar_t raw[512];
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                   code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), raw, 512, nullptr);
    ASSERT_GT(n, 0u) << "the system has no message for " << code << ", error " << GetLastError();
    const Streng system = vk::FromW(raw, n);
    SetLastError(0xdeadbeef);
    const Streng text = SystemErrorText(code);
    EXPECT_EQ(GetLastError(), 0xdeadbeefu) << "code " << code;
    ASSERT_FALSE(text.empty()) << "code " << code;
    EXPECT_NE(text.substr(0, 8), u"Error 0x") << "code " << code << ": " << U8(text);
    const char16_t last = text.back();
    EXPECT_TRUE(last != u' ' && last != u'\r' && last != u'\n' && last != u'\t')
        << "code " << code << " ends in " << int(last);
    // Only the trailing white space differs from what the system gave.
    EXPECT_EQ(U8(system.substr(0, text.size())), U8(text)) << "code " << code;
    EXPECT_EQ(system.find_first_not_of(u" \r\n\t", text.size()), Streng::npos) << "code " << code;
  }
}

TEST(SystemErrorText, LastSystemErrorText) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(U8(vk::LastSystemErrorText()), U8(SystemErrorText(ERROR_FILE_NOT_FOUND)));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  SetLastError(0);
  EXPECT_EQ(U8(vk::LastSystemErrorText()), "");
}

}  // namespace
