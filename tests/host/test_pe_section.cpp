#include <gtest/gtest.h>

#include <cstring>

#include "builder/pe_section.h"
#include "pe_fixture.h"

namespace {

using fixture::Get32;
using fixture::MinimalPe;
using fixture::Put32;

TEST(PeSection, AppendsAnEntryAndTheDataAtTheNextAlignedOffset) {
  for (uint16_t magic : {uint16_t(0x10B), uint16_t(0x20B)}) {
    auto exe = MinimalPe(magic, 2);
    exe.resize(exe.size() + 7, 0xEE);  // bytes after the last section (an overlay)
    const std::vector<uint8_t> data(5000, 0xAB);
    builder::AppendedSection placed;
    std::string error;
    ASSERT_TRUE(builder::AppendSetupSection(exe, data, 3000, placed, error)) << error;
    const size_t opt = fixture::kOptional, e = fixture::SectionTable(magic) + 80;
    EXPECT_EQ(placed.rawPointer, 0x1000u) << "aligned after the overlay";
    EXPECT_EQ(placed.virtualAddress, 0x3000u);
    EXPECT_EQ(exe[0x86], 3);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&exe[e])), ".setup");
    EXPECT_EQ(Get32(exe, e + 8), 3000u);   // mapped part
    EXPECT_EQ(Get32(exe, e + 16), 5000u);  // all of it in the file, unpadded: the rest is not mapped
    EXPECT_EQ(Get32(exe, e + 20), 0x1000u);
    EXPECT_EQ(Get32(exe, opt + 8), 0x400u + 5000u);
    EXPECT_EQ(Get32(exe, opt + 56), 0x4000u);
    EXPECT_EQ(exe.size(), 0x1000u + 5000u);
    EXPECT_EQ(exe[0xA07], 0u) << "alignment padding";
    EXPECT_EQ(exe[0x1000], 0xAB);

    // All of it mapped: the raw data is padded to the file alignment.
    auto mappedExe = MinimalPe(magic, 2);
    ASSERT_TRUE(builder::AppendSetupSection(mappedExe, data, 5000, placed, error)) << error;
    EXPECT_EQ(Get32(mappedExe, e + 8), 5000u);
    EXPECT_EQ(Get32(mappedExe, e + 16), 0x1400u);
    EXPECT_EQ(mappedExe.size(), 0x1000u + 0x1400u);
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
      {"already has data", [](std::vector<uint8_t>& b) { std::memcpy(&b[fixture::SectionTable(0x10B)], ".setup\0", 7); },
       "already carries"},
      {"headers full",
       [](std::vector<uint8_t>& b) { Put32(b, fixture::kOptional + 60, uint32_t(fixture::SectionTable(0x10B) + 80 + 20)); },
       "no room"},
      {"bytes in the way", [](std::vector<uint8_t>& b) { b[fixture::SectionTable(0x10B) + 80 + 3] = 1; }, "no room"},
      {"signed", [](std::vector<uint8_t>& b) { Put32(b, fixture::kOptional + 96 + 4 * 8 + 4, 0x100); }, "signed"},
  };
  for (const auto& c : cases) {
    auto exe = MinimalPe(0x10B, 2);
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
