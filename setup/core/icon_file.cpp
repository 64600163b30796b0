#include "setup/core/icon_file.h"

#include <cstring>

namespace setup {

namespace {

constexpr size_t kDirectorySize = 6;
constexpr size_t kEntrySize = 16;
constexpr uint16_t kIconType = 1;

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

}  // namespace

bool ParseIconFile(const uint8_t* file, size_t size, std::vector<IconImage>& images) {
  images.clear();
  if (!file || size < kDirectorySize) return false;
  if (U16(file) != 0 || U16(file + 2) != kIconType) return false;
  const size_t count = U16(file + 4);
  if (count == 0 || size < kDirectorySize + count * kEntrySize) return false;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = file + kDirectorySize + i * kEntrySize;
    const uint32_t bytes = U32(entry + 8);
    const uint32_t offset = U32(entry + 12);
    if (bytes == 0 || offset > size || bytes > size - offset) {
      images.clear();
      return false;
    }
    IconImage image;
    std::memcpy(image.header, entry, sizeof image.header);
    image.data = file + offset;
    image.size = bytes;
    images.push_back(image);
  }
  return true;
}

std::vector<uint8_t> IconGroupDirectory(const std::vector<IconImage>& images) {
  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, kIconType);
  Put16(out, uint16_t(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    out.insert(out.end(), images[i].header, images[i].header + sizeof images[i].header);
    Put16(out, uint16_t(i + 1));
  }
  return out;
}

}  // namespace setup
