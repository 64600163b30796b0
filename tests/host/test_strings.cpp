#include <gtest/gtest.h>

#include "lib/strings.h"

namespace {

using vk::Streng;
using vk::String;

TEST(Strings, Utf8RoundTrips) {
  const Streng cases[] = {u"", u"plain", u"caf\u00E9", u"\u20AC100", u"\U0001F600 smile", u"\u4E2D\u6587"};
  for (const auto& c : cases) EXPECT_EQ(vk::Utf8ToStreng(vk::StrengToUtf8(c)), c);
  EXPECT_EQ(vk::StrengToUtf8(u"\u00E9\u20AC\U0001F600"), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
}

TEST(Strings, MalformedUtf8BecomesReplacementCharacters) {
  struct Case {
    String in;
    Streng out;
  };
  const Case cases[] = {
      {"a\xFF" "b", u"a\uFFFDb"},            // invalid lead byte
      {"\xC3", u"\uFFFD"},                   // cut short at the end
      {"\xC3(", u"\uFFFD("},                 // bad continuation: the next byte survives
      {"\xC0\xAF", u"\uFFFD"},               // overlong "/"
      {"\xED\xA0\x80", u"\uFFFD"},           // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD"},       // above U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(vk::Utf8ToStreng(c.in), c.out) << testing::PrintToString(c.in);
  EXPECT_EQ(vk::StrengToUtf8(Streng(1, char16_t(0xD800))), "\xEF\xBF\xBD");  // lone surrogate
}

TEST(Strings, Windows1252BothWays) {
  EXPECT_EQ(vk::Cp1252ToStreng("\x80\x8A\x9F\xE9\x81"), u"\u20AC\u0160\u0178\u00E9\u0081");
  EXPECT_EQ(vk::StrengToCp1252(u"\u20AC\u0160\u00E9"), "\x80\x8A\xE9");
  EXPECT_EQ(vk::StrengToCp1252(u"\u4E2D\U0001F600x"), "??x");  // a surrogate pair is one "?"
  EXPECT_EQ(vk::Cp1252ToUtf8("caf\xE9"), "caf\xC3\xA9");
}

TEST(Strings, TrimAndCaseInsensitiveComparison) {
  EXPECT_EQ(vk::Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(vk::Trim(u"\r\n"), u"");
  EXPECT_EQ(vk::TrimRight(u"  x  \n"), u"  x");
  EXPECT_TRUE(vk::EqualsNoCase("English", "ENGLISH"));
  EXPECT_FALSE(vk::EqualsNoCase("English", "Englis"));
  EXPECT_TRUE(vk::EqualsNoCase(u"\u00C9t\u00E9 \u0160 \u0416", u"\u00E9T\u00C9 \u0161 \u0436"));
  EXPECT_FALSE(vk::EqualsNoCase(u"\u00D7", u"\u00F7"));  // multiplication and division signs
  EXPECT_TRUE(vk::StartsWithNoCase(u"HKLM\\Software", u"hklm\\"));
  EXPECT_FALSE(vk::StartsWithNoCase("HK", "hklm"));
}

}  // namespace
