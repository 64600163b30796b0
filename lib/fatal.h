#pragma once
// The fatal-error path: one way to end the process when nothing sensible can go on.
//
// FatalError formats its text (cut to 4,095 characters), then, for the first fatal error of the
// process only:
//   8-bit form: runs the clean-up callbacks (each taken off the list before it runs, at most 100,
//               exceptions ignored), then calls the 8-bit handler;
//   wide form:  calls the wide handler, or, when only an 8-bit one is set, that one with the
//               text in the ANSI code page.
// When the handler returns, when none is set, or for any later fatal error raised meanwhile,
// the process ends with exit code -1.
#include <functional>

#include "lib/format.h"

namespace vk {

using FatalHandler8 = void (*)(const String& text);
using FatalHandler16 = void (*)(const Streng& text);

void SetFatalErrorHandler(FatalHandler8 handler);
void SetFatalErrorHandler(FatalHandler16 handler);
void AddFatalCleanup(std::function<void()> callback);

[[noreturn]] void FatalErrorText(String text);
[[noreturn]] void FatalErrorText(Streng text);

template <class... A>
[[noreturn]] void FatalError(std::string_view format, const A&... args) {
  FatalErrorText(Format(format, args...));
}

template <class... A>
[[noreturn]] void FatalError(std::u16string_view format, const A&... args) {
  FatalErrorText(Format(format, args...));
}

// A failed internal consistency check: "Internal Fatal Error\r\nModule: %s\r\nLine: %d".
[[noreturn]] void InternalFatalError(const char* module, int line);

#define VK_CHECK(condition) \
  do { \
    if (!(condition)) ::vk::InternalFatalError("vk_core", __LINE__); \
  } while (0)

}  // namespace vk
