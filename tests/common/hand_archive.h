#pragma once
// Archive items laid out by hand, byte by byte as the installer format has them, without the
// builder's writer: what an installer made by another tool would hold. One uncompressed,
// unenciphered chunk; the item sizes go into the header.
#include <cstdint>
#include <string>
#include <vector>

#include "lib/checksum.h"

namespace hand {

using Bytes = std::vector<uint8_t>;

struct Item {
  std::string name;
  std::string data;
  int32_t kind = 0;
  int32_t lengthChange = 0;  // added to the stored record length, to damage it
};

inline void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

inline void PutText8(Bytes& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
  b.push_back(0);
}

// Fields 1-11 of a plain item: name, kind, flags 0, attributes -1, no time, empty texts A, C and
// D, no destination (text B and the MSI level are absent with these flags and kinds).
inline Bytes Fields(const Item& item) {
  Bytes f;
  PutText8(f, item.name);
  Put32(f, uint32_t(item.kind));
  Put32(f, 0);
  Put32(f, 0xFFFFFFFF);
  for (int i = 0; i < 6; ++i) Put32(f, 0);
  PutText8(f, "");       // text A
  PutText8(f, "");       // text C
  f.push_back(0), f.push_back(0);  // destination, UTF-16
  PutText8(f, "");       // text D
  return f;
}

// [length = fields + data + 4][fields][data][checksum of the data] for each item, in one chunk
// [payload length][payload checksum][payload].
inline Bytes Archive(const std::vector<Item>& items, std::vector<int32_t>& sizes) {
  Bytes plain;
  sizes.clear();
  for (const Item& item : items) {
    const Bytes fields = Fields(item);
    Put32(plain, uint32_t(fields.size() + item.data.size() + 4 + int64_t(item.lengthChange)));
    plain.insert(plain.end(), fields.begin(), fields.end());
    plain.insert(plain.end(), item.data.begin(), item.data.end());
    Put32(plain, vk::checksum(item.data.data(), item.data.size()));
    sizes.push_back(int32_t(item.data.size()));
  }
  Bytes archive;
  Put32(archive, uint32_t(plain.size()));
  Put32(archive, vk::checksum(plain.data(), plain.size()));
  archive.insert(archive.end(), plain.begin(), plain.end());
  return archive;
}

}  // namespace hand
