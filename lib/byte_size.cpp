#include "lib/byte_size.h"

#include <string>

namespace vk {

Streng ByteSizeText(uint64_t bytes) {
  if (bytes < 1024) return AsciiToStreng(std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes"));
  static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
  int unit = 0;
  uint64_t scale = 1024;
  while (unit + 1 < int(std::size(kUnits)) && bytes / scale >= 1024) {
    scale *= 1024;
    ++unit;
  }
  const uint64_t whole = bytes / scale;
  const uint64_t tenth = (bytes % scale) * 10 / scale;
  return AsciiToStreng(std::to_string(whole) + "." + std::to_string(tenth) + " " + kUnits[unit]);
}

}  // namespace vk
