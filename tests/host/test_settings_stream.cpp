#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/core/settings_stream.h"

namespace {

using setup::SettingsStream;
using setup::SettingsWriter;

std::vector<uint8_t> Bytes(std::string_view s) { return {s.begin(), s.end()}; }

TEST(SettingsStream, ReadCopiesAndShortReadZeroFillsAndFails) {
  SettingsStream s(Bytes("\x01\x02\x03"));
  uint8_t two[2];
  EXPECT_TRUE(s.read(two, 2));
  EXPECT_EQ(two[0], 1);
  EXPECT_EQ(two[1], 2);
  EXPECT_TRUE(s.read(two, 0));
  EXPECT_FALSE(s.read(two, -1));
  EXPECT_EQ(s.position(), 2u);

  uint8_t four[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  EXPECT_FALSE(s.read(four, 4));
  EXPECT_EQ(four[0], 3);
  EXPECT_EQ(four[1], 0);
  EXPECT_EQ(four[3], 0);
  EXPECT_TRUE(s.atEnd());

  uint32_t v = 0xDEADBEEF;
  EXPECT_FALSE(s.readU32(v));
  EXPECT_EQ(v, 0u);
}

TEST(SettingsStream, FixedWidthValuesAreLittleEndianAndRoundTrip) {
  SettingsWriter w;
  w.writeU8(0x81);
  w.writeU16(0x1234);
  w.writeU32(0xCAFEBABE);
  w.writeI32(-5);
  w.writeU64(0x0102030405060708ull);
  w.writeDouble(-12.625);
  EXPECT_EQ(w.bytes()[1], 0x34);
  EXPECT_EQ(w.bytes()[3], 0xBE);

  SettingsStream s(w.take());
  uint8_t a;
  uint16_t b;
  uint32_t c;
  int32_t d;
  uint64_t e;
  double f;
  EXPECT_TRUE(s.readU8(a) && s.readU16(b) && s.readU32(c) && s.readI32(d) && s.readU64(e) &&
              s.readDouble(f));
  EXPECT_EQ(a, 0x81);
  EXPECT_EQ(b, 0x1234);
  EXPECT_EQ(c, 0xCAFEBABEu);
  EXPECT_EQ(d, -5);
  EXPECT_EQ(e, 0x0102030405060708ull);
  EXPECT_EQ(f, -12.625);
  EXPECT_TRUE(s.atEnd());
}

TEST(SettingsStream, SizedPrefixIsTheShortestFormAndRoundTrips) {
  struct Case {
    size_t length;
    size_t prefix;
  };
  // A low byte of 0xFF cannot use the 3-byte form: that byte announces the 32-bit length.
  const Case cases[] = {{0, 1},     {1, 1},     {254, 1},   {255, 7},    {256, 3},
                        {511, 7},   {512, 3},   {65534, 3}, {65535, 7},  {65536, 7},
                        {300000, 7}};
  for (const auto& c : cases) {
    std::string text(c.length, '\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = char('a' + i % 26);
    SettingsWriter w;
    ASSERT_TRUE(w.writeSized(text));
    w.writeU8(0x5A);  // what follows must still be found
    EXPECT_EQ(w.bytes().size(), c.prefix + c.length + 1) << "length " << c.length;

    SettingsStream s(w.take());
    vk::String got = "junk";
    EXPECT_TRUE(s.readSized(got)) << "length " << c.length;
    EXPECT_EQ(got, text) << "length " << c.length;
    uint8_t after = 0;
    s.readU8(after);
    EXPECT_EQ(after, 0x5A) << "length " << c.length;
  }
}

TEST(SettingsStream, SizedPrefixDecodingFromRawBytes) {
  {
    SettingsStream s(Bytes(std::string("\xFF\x03\x00", 3) + "abc"));
    vk::String got;
    EXPECT_TRUE(s.readSized(got));
    EXPECT_EQ(got, "abc");
  }
  {
    // 32-bit form for a short length is still valid input.
    SettingsStream s(Bytes(std::string("\xFF\xFF\xFF\x02\x00\x00\x00", 7) + "xy"));
    vk::String got;
    EXPECT_TRUE(s.readSized(got));
    EXPECT_EQ(got, "xy");
  }
  {
    // Above 0x40000000 fails at once.
    SettingsStream s(Bytes(std::string("\xFF\xFF\xFF\x01\x00\x00\x40", 7) + "zz"));
    vk::String got;
    EXPECT_FALSE(s.readSized(got));
    EXPECT_TRUE(got.empty());
  }
  {
    // Exactly 0x40000000 but the data is short: what is left, and no gigabyte allocation.
    SettingsStream s(Bytes(std::string("\xFF\xFF\xFF\x00\x00\x00\x40", 7) + "zz"));
    vk::String got;
    EXPECT_FALSE(s.readSized(got));
    EXPECT_EQ(got, "zz");
    EXPECT_TRUE(s.atEnd());
  }
  {
    // A wide field takes UTF-16LE pairs.
    SettingsStream s(Bytes(std::string("\x04" "A\0\xAC\x20", 5)));
    vk::Streng got;
    EXPECT_TRUE(s.readSized(got));
    EXPECT_EQ(got, u"A\u20AC");
  }
}

TEST(SettingsStream, LengthPrefixedStringsRoundTripAndFailOnBadLengths) {
  SettingsWriter w;
  ASSERT_TRUE(w.writeLen8(std::string(255, 'x')));
  EXPECT_FALSE(w.writeLen8(std::string(256, 'x')));
  ASSERT_TRUE(w.writeLen16(std::u16string(u"wide")));
  EXPECT_FALSE(w.writeLen16(std::string(65536, 'y')));
  ASSERT_TRUE(w.writeLen32(std::string("")));
  ASSERT_TRUE(w.writeLen32(std::string(70000, 'z')));
  w.writeI32(-1);

  SettingsStream s(w.take());
  vk::String a, c, d, e = "junk";
  vk::Streng b;
  EXPECT_TRUE(s.readLen8(a));
  EXPECT_EQ(a, std::string(255, 'x'));
  EXPECT_TRUE(s.readLen16(b));
  EXPECT_EQ(b, u"wide");
  EXPECT_TRUE(s.readLen32(c));
  EXPECT_TRUE(c.empty());
  EXPECT_TRUE(s.readLen32(d));
  EXPECT_EQ(d.size(), 70000u);
  EXPECT_FALSE(s.readLen32(e)) << "negative length";
  EXPECT_TRUE(e.empty());
}

TEST(SettingsStream, Z8FindsTerminatorsAcrossStepBoundaries) {
  // Terminators just before, at and after the 512-byte step boundary, and far beyond it.
  for (size_t length : {0u, 511u, 512u, 513u, 600u, 1500u}) {
    std::string text(length, 'q');
    SettingsWriter w;
    ASSERT_TRUE(w.writeZ8(text));
    ASSERT_TRUE(w.writeZ8("next"));
    SettingsStream s(w.take());
    vk::String got, next;
    EXPECT_TRUE(s.readZ8(got)) << length;
    EXPECT_EQ(got.size(), length);
    EXPECT_EQ(s.position(), length + 1) << "just after the terminator";
    EXPECT_TRUE(s.readZ8(next));
    EXPECT_EQ(next, "next");
    EXPECT_TRUE(s.atEnd());
    EXPECT_FALSE(s.readZ8(next)) << "at the end of the data";
  }
  SettingsWriter w;
  EXPECT_FALSE(w.writeZ8(std::string("a\0b", 3)));
}

TEST(SettingsStream, Z8UnterminatedTakesTheRestAndFails) {
  SettingsStream s(Bytes(std::string(700, 'r')));
  vk::String got;
  EXPECT_FALSE(s.readZ8(got));
  EXPECT_EQ(got.size(), 700u);
  EXPECT_TRUE(s.atEnd());
}

TEST(SettingsStream, Z16ReadsUnitsAcrossStepsAndFailsUnterminated) {
  for (size_t length : {0u, 511u, 512u, 1300u}) {
    std::u16string text(length, u'\u00E9');
    SettingsWriter w;
    ASSERT_TRUE(w.writeZ16(text));
    w.writeU8(7);
    SettingsStream s(w.take());
    vk::Streng got;
    EXPECT_TRUE(s.readZ16(got)) << length;
    EXPECT_EQ(got, text);
    EXPECT_EQ(s.position(), 2 * length + 2);
  }
  {
    // A zero high byte followed by a zero low byte of the next unit is no terminator.
    SettingsStream s(Bytes(std::string("\x41\x00\x00\x42\x00\x00", 6)));
    vk::Streng got;
    EXPECT_TRUE(s.readZ16(got));
    EXPECT_EQ(got, u"A\u4200");
  }
  {
    // Unterminated at the end of the data, with an odd last byte.
    SettingsStream s(Bytes(std::string("\x41\x00\x42\x00\x43", 5)));
    vk::Streng got;
    EXPECT_FALSE(s.readZ16(got));
    EXPECT_EQ(got, u"AB");
    EXPECT_TRUE(s.atEnd());
  }
}

TEST(SettingsStream, ReadFixedAppendsAndStopsAtTheEnd) {
  SettingsStream s(Bytes("abcdef"));
  vk::String buffer = ">";
  EXPECT_TRUE(s.readFixed(2, buffer));
  EXPECT_TRUE(s.readFixed(0, buffer));
  EXPECT_EQ(buffer, ">ab");
  EXPECT_FALSE(s.readFixed(0x7FFFFFFF, buffer));
  EXPECT_EQ(buffer, ">abcdef");
  EXPECT_TRUE(s.atEnd());
}

TEST(SettingsStream, ViewAndMovedStreamKeepTheirBytes) {
  const uint8_t raw[] = {'h', 'i', 0};
  SettingsStream view(raw, sizeof raw);
  vk::String got;
  EXPECT_TRUE(view.readZ8(got));
  EXPECT_EQ(got, "hi");

  SettingsStream owner(Bytes(std::string("ok\0", 3)));
  SettingsStream moved(std::move(owner));
  EXPECT_EQ(owner.size(), 0u);
  EXPECT_TRUE(moved.readZ8(got));
  EXPECT_EQ(got, "ok");
}

}  // namespace
