#include "lib/checksum.h"

#include <cstring>

namespace vk {

void Checksum::add(const void* data, size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  const size_t words = size / 4;
  uint32_t sum = sum_;
  for (size_t i = 0; i < words; ++i, p += 4)
    sum += uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  for (size_t i = words * 4; i < size; ++i, ++p)
    sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
  sum_ = sum;
  length_ += size;
}

uint32_t checksum(const void* data, size_t size) {
  Checksum c;
  if (data) c.add(data, size);
  return c.value();
}

}  // namespace vk
