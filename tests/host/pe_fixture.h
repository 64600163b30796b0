#pragma once
// A small PE executable laid out the way mingw lays out its output: headers of 0x400 bytes with
// room for more section entries, file alignment 0x200, section alignment 0x1000.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace fixture {

inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

constexpr size_t kPeOffset = 0x80;
constexpr size_t kOptional = kPeOffset + 24;

inline size_t OptionalSize(uint16_t magic) { return magic == 0x10B ? 224 : 240; }
inline size_t SectionTable(uint16_t magic) { return kOptional + OptionalSize(magic); }

// sections: how many, each 0x200 bytes of raw data (0x180 used).
inline std::vector<uint8_t> MinimalPe(uint16_t magic = 0x10B, int sections = 4) {
  std::vector<uint8_t> b(0x400 + 0x200 * size_t(sections), 0);
  b[0] = 'M', b[1] = 'Z';
  Put32(b, 0x3C, uint32_t(kPeOffset));
  std::memcpy(&b[kPeOffset], "PE\0\0", 4);
  b[kPeOffset + 4] = magic == 0x10B ? 0x4C : 0x64;
  b[kPeOffset + 5] = magic == 0x10B ? 0x01 : 0x86;
  b[kPeOffset + 6] = uint8_t(sections);
  b[kPeOffset + 20] = uint8_t(OptionalSize(magic));
  b[kOptional] = uint8_t(magic), b[kOptional + 1] = uint8_t(magic >> 8);
  Put32(b, kOptional + 8, 0x200 * uint32_t(sections));              // initialised data
  Put32(b, kOptional + 32, 0x1000);                                   // section alignment
  Put32(b, kOptional + 36, 0x200);                                    // file alignment
  Put32(b, kOptional + 56, 0x1000 * uint32_t(sections + 1));          // image size
  Put32(b, kOptional + 60, 0x400);                                    // headers size
  Put32(b, kOptional + (magic == 0x10B ? 92 : 108), 16);              // data directories
  for (int i = 0; i < sections; ++i) {
    const size_t e = SectionTable(magic) + 40 * size_t(i);
    const std::string name = i == 0 ? ".text" : ".sec" + std::to_string(i);
    std::memcpy(&b[e], name.data(), name.size());
    Put32(b, e + 8, 0x180);
    Put32(b, e + 12, 0x1000 * uint32_t(i + 1));
    Put32(b, e + 16, 0x200);
    Put32(b, e + 20, 0x400 + 0x200 * uint32_t(i));
    for (size_t k = 0; k < 0x180; ++k) b[0x400 + 0x200 * size_t(i) + k] = uint8_t(i * 31 + k);
  }
  return b;
}

}  // namespace fixture
