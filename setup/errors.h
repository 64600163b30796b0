#pragma once
// The engine's error boxes and fatal paths.
#include <string_view>

#include "lib/strings.h"

namespace setup {

// The 8-bit fatal-error handler: an error box (none in silent mode), then exitInstaller(1).
[[noreturn]] void fatalError(const vk::String& text);

// The usage text with the message in front, as a wide fatal error (exit code -1).
[[noreturn]] void showUsage(std::u16string_view message);

// A non-fatal error box: nothing for empty or white text, nothing in automatic mode unless
// ProductFlags bit 35 asks for it.
void showError(const vk::Streng& text);

// The numbered corrupt-installer error: FailureSummary replaced, the failure reported, a wide
// fatal error (exit code -1). withSystemError appends the last system error when there is one.
[[noreturn]] void corruptInstaller(int code, bool withSystemError);

// A refusal: the error box (the rules of showError), then exit code 1.
[[noreturn]] void refuseInstallation(const vk::Streng& message);

// The cancel routine: the cancel notification, a notice outside automatic mode, exit code 1. A
// page the user declines ends in it.
[[noreturn]] void cancelInstallation();

// The caption of error boxes: text(21), or "Error".
vk::Streng ErrorCaption();

}  // namespace setup
