#include <gtest/gtest.h>

#include <cstring>

#include "builder/pe_section.h"

namespace {

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// A PE32 file with two sections of 0x200 bytes each, as mingw lays them out.
std::vector<uint8_t> MinimalPe(uint16_t magic = 0x10B) {
  const uint16_t optSize = magic == 0x10B ? 224 : 240;
  std::vector<uint8_t> b(0x600, 0);
  b[0] = 'M', b[1] = 'Z';
  Put32(b, 0x3C, 0x80);
  std::memcpy(&b[0x80], "PE\0\0", 4);
  b[0x86] = 2;
  b[0x94] = uint8_t(optSize);
  const size_t opt = 0x98;
  b[opt] = uint8_t(magic), b[opt + 1] = uint8_t(magic >> 8);
  Put32(b, opt + 8, 0x200);      // initialised data
  Put32(b, opt + 32, 0x1000);    // section alignment
  Put32(b, opt + 36, 0x200);     // file alignment
  Put32(b, opt + 56, 0x3000);    // image size
  Put32(b, opt + 60, 0x200);     // headers size
  Put32(b, opt + (magic == 0x10B ? 92 : 108), 16);  // data directories
  const size_t table = opt + optSize;
  const char* names[] = {".text", ".data"};
  for (int i = 0; i < 2; ++i) {
    const size_t e = table + 40 * i;
    std::memcpy(&b[e], names[i], std::strlen(names[i]));
    Put32(b, e + 8, 0x180);
    Put32(b, e + 12, 0x1000 * (i + 1));
    Put32(b, e + 16, 0x200);
    Put32(b, e + 20, 0x200 * (i + 1));
  }
  return b;
}

TEST(PeSection, AppendsAnEntryAndTheDataAtTheNextAlignedOffset) {
  for (uint16_t magic : {uint16_t(0x10B), uint16_t(0x20B)}) {
    auto exe = MinimalPe(magic);
    exe.resize(exe.size() + 7, 0xEE);  // bytes after the last section (an overlay)
    const std::vector<uint8_t> data(5000, 0xAB);
    builder::AppendedSection placed;
    std::string error;
    ASSERT_TRUE(builder::AppendSetupSection(exe, data, 3000, placed, error)) << error;
    const size_t opt = 0x98, table = opt + (magic == 0x10B ? 224 : 240), e = table + 80;
    EXPECT_EQ(placed.rawPointer, 0x800u) << "aligned after the overlay";
    EXPECT_EQ(placed.virtualAddress, 0x3000u);
    EXPECT_EQ(exe[0x86], 3);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&exe[e])), ".setup");
    EXPECT_EQ(Get32(exe, e + 8), 3000u);   // mapped part
    EXPECT_EQ(Get32(exe, e + 16), 5000u);  // all of it in the file, unpadded
    EXPECT_EQ(Get32(exe, e + 20), 0x800u);
    EXPECT_EQ(Get32(exe, opt + 8), 0x200u + 5000u);
    EXPECT_EQ(Get32(exe, opt + 56), 0x4000u);
    EXPECT_EQ(exe.size(), 0x800u + 5000u);
    EXPECT_EQ(exe[0x607], 0u) << "alignment padding";
    EXPECT_EQ(exe[0x800], 0xAB);
  }
}

TEST(PeSection, RefusesWhatItCannotExtendSafely) {
  struct Case {
    const char* name;
    void (*damage)(std::vector<uint8_t>&);
    const char* message;
  };
  const Case cases[] = {
      {"no MZ", [](std::vector<uint8_t>& b) { b[0] = 'X'; }, "no MZ header"},
      {"e_lfanew far out", [](std::vector<uint8_t>& b) { Put32(b, 0x3C, 0x5000); }, "no PE header"},
      {"already has data", [](std::vector<uint8_t>& b) { std::memcpy(&b[0x98 + 224], ".setup\0", 7); },
       "already carries"},
      {"headers full", [](std::vector<uint8_t>& b) { Put32(b, 0x98 + 60, 0x98 + 224 + 80 + 20); },
       "no room"},
      {"bytes in the way", [](std::vector<uint8_t>& b) { b[0x98 + 224 + 80 + 3] = 1; }, "no room"},
      {"signed", [](std::vector<uint8_t>& b) { Put32(b, 0x98 + 96 + 4 * 8 + 4, 0x100); }, "signed"},
  };
  for (const auto& c : cases) {
    auto exe = MinimalPe();
    c.damage(exe);
    const auto before = exe;
    builder::AppendedSection placed;
    std::string error;
    EXPECT_FALSE(builder::AppendSetupSection(exe, {1, 2, 3}, 3, placed, error)) << c.name;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
    EXPECT_EQ(exe, before) << c.name << ": the file must be left as it was";
  }
}

}  // namespace
