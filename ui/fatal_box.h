#pragma once
#include "lib/strings.h"

namespace ui {

// The wide fatal-error handler: the text in a "FATAL ERROR - Brimstead Setup" box when windows
// are allowed. The fatal path ends the process (-1) when it returns.
void ShowFatalError(const vk::Streng& text);

}  // namespace ui
