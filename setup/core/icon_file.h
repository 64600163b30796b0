#pragma once
// The icon file format (".ico") and the resource form of the same icon: one RT_ICON resource per
// image and an RT_GROUP_ICON directory that names them by id. Everything is read with bounds
// checks; a damaged file gives false, never a read outside the buffer.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace setup {

struct IconImage {
  uint8_t header[12];     // width, height, colour count, reserved, planes, bit count, bytes in resource
  const uint8_t* data;    // the image's bytes inside the parsed buffer
  uint32_t size;
};

// The images of an icon file; false for a file that is not an icon or whose images lie (partly)
// outside it. The images point into `file`, which must outlive them.
bool ParseIconFile(const uint8_t* file, size_t size, std::vector<IconImage>& images);

// The RT_GROUP_ICON directory for images given the resource ids 1..n in order.
std::vector<uint8_t> IconGroupDirectory(const std::vector<IconImage>& images);

}  // namespace setup
