#pragma once
// The system's text for a numeric system error.
#include <cstdint>

#include "lib/strings.h"

namespace vk {

// 0 gives an empty text; 86 gives "Incorrect password." without asking the system; any other
// code the system's message (neutral language, inserts ignored) without trailing white space,
// or "Error 0x%08X" when the system has none. The thread's last error is left as it was.
Streng SystemErrorText(uint32_t code);

// SystemErrorText of the calling thread's last error.
Streng LastSystemErrorText();

}  // namespace vk
