#include <gtest/gtest.h>

#include "lib/format.h"

namespace {

using vk::Format;

TEST(Format, ConversionsLikePrintf) {
  struct Case {
    std::string expected, actual;
  };
  const Case cases[] = {
      {"Error code: 47", Format("Error code: %d", 47)},
      {"Error 0x80004005", Format("Error 0x%08X", 0x80004005u)},
      {"Error 0x0000007B", Format("Error 0x%08X", 123)},
      // A signed 32-bit HRESULT keeps 32 bits under %X, as in C.
      {"80004005", Format("%08X", static_cast<int>(0x80004005u))},
      {"-1 4294967295", Format("%d %u", -1, -1)},
      {"ffffffffffffffff", Format("%llx", -1LL)},
      {"[  ab] [ab  ] [a]", Format("[%4s] [%-4s] [%.1s]", "ab", "ab", "ab")},
      {"x=00042|+7| 7", Format("x=%05d|%+d|% d", 42, 7, 7)},
      {"c:Z 100%", Format("c:%c %d%%", 'Z', 100)},
      {"3.50 1e+06", Format("%.2f %g", 3.5, 1e6)},
      {"size=-5 pos=17", Format("size=%d pos=%d", -5, 17)},
      {"ll=123 I64=9 h=8", Format("ll=%lld I64=%I64d h=%hd", 123LL, 9LL, 8)},
      {"  7|7   ", Format("%*d|%-*d", 3, 7, 4, 7)},
  };
  for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected);
}

TEST(Format, HostileFormatsNeverReadMissingArguments) {
  struct Case {
    const char* format;
    std::string expected;
  };
  // One argument ("x") is given to each.
  const Case cases[] = {
      {"%s %s %s", "x %s %s"},           // missing arguments: conversion copied as is
      {"%n%s", "%nx"},                   // %n is unknown here: copied, writes nothing
      {"100%", "100%"},                  // lone % at the end
      {"%-", "%-"},                      // unfinished conversion
      {"%5.", "%5."},
      {"%q", "%q"},                      // unknown conversion letter
      {"%*d", "%*d"},                    // * uses up the argument; then no value is left
      {"%d", "x"},                       // a text given to %d prints as text
      {"%%s", "%s"},
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.format, "x"), c.expected) << c.format;
  EXPECT_EQ(Format("%99999999999d", 1).size(), 4096u);  // width capped
  EXPECT_EQ(Format("no conversions", 1, 2, 3), "no conversions");  // surplus ignored
  EXPECT_EQ(Format("%s%s%s%s%s%s%s%s%s%s%s%s"), "%s%s%s%s%s%s%s%s%s%s%s%s");
}

TEST(Format, NumbersGivenToTextConversionsPrintAsNumbers) {
  EXPECT_EQ(Format("%s|%s|%s", 12, 'c', 2.5), "12|c|2.5");
}

TEST(Format, MixesEightBitAndWideText) {
  const vk::Streng wide = u"Gr\u00FC\u00DFe \u20AC";
  // A wide argument in an 8-bit format comes out in the ANSI code page (Windows-1252 here).
  EXPECT_EQ(Format("[%s]", wide), "[Gr\xFC\xDF" "e \x80]");
  EXPECT_EQ(Format(u"[%s|%s]", "caf\xE9", wide), u"[caf\u00E9|Gr\u00FC\u00DFe \u20AC]");
  EXPECT_EQ(Format(u"%c%c", u'\u00E9', 'a'), u"\u00E9a");
  // A character the code page cannot hold becomes "?".
  EXPECT_EQ(Format("%s", vk::Streng(u"\u4E2D")), "?");
}

}  // namespace
