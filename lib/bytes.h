#pragma once
// Little-endian integers in byte buffers, and a bounded cursor for reading records.
#include <cstdint>
#include <cstring>
#include <vector>

#include "lib/strings.h"

namespace vk {

inline uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void AppendLe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(v >> shift));
}

// Reads fields from size bytes at p; every read fails instead of passing the end.
struct ByteCursor {
  const uint8_t* p;
  size_t size;
  size_t pos = 0;

  size_t left() const { return size - pos; }
  bool u32(uint32_t& v) {
    if (left() < 4) return false;
    v = Le32(p + pos);
    pos += 4;
    return true;
  }
  bool i32(int32_t& v) {
    uint32_t u;
    if (!u32(u)) return false;
    v = static_cast<int32_t>(u);
    return true;
  }
  // A zero-terminated 8-bit text; the terminator must lie inside the bytes.
  bool text8(String& s) {
    const void* zero = std::memchr(p + pos, 0, left());
    if (!zero) return false;
    const size_t end = size_t(static_cast<const uint8_t*>(zero) - p);
    s.assign(reinterpret_cast<const char*>(p + pos), end - pos);
    pos = end + 1;
    return true;
  }
  // A zero-terminated UTF-16LE text.
  bool text16(Streng& s) {
    s.clear();
    while (left() >= 2) {
      const char16_t c = char16_t(p[pos] | p[pos + 1] << 8);
      pos += 2;
      if (c == 0) return true;
      s.push_back(c);
    }
    return false;
  }
};

}  // namespace vk
