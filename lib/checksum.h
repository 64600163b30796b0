#pragma once
#include <cstddef>
#include <cstdint>

namespace vk {

// The one checksum of installer data: a wrapping 32-bit sum of the little-endian words, then the
// 0..3 trailing bytes as signed values, then the length. Feed it in pieces with Checksum::add;
// every piece but the last must be a multiple of 4 bytes long.
constexpr uint32_t kChecksumStart = 0x79E2BC9D;

class Checksum {
public:
  void add(const void* data, size_t size);
  uint32_t value() const { return sum_ + static_cast<uint32_t>(length_); }

private:
  uint32_t sum_ = kChecksumStart;
  uint64_t length_ = 0;
};

uint32_t checksum(const void* data, size_t size);

}  // namespace vk
