#pragma once
// Sizes for people: "512 bytes", "1.5 KB", "20.0 MB", "3.2 GB" (binary units, one decimal,
// rounded down so that a size never looks larger than it is).
#include <cstdint>
#include <iterator>

#include "lib/strings.h"

namespace vk {

Streng ByteSizeText(uint64_t bytes);

}  // namespace vk
