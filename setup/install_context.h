#pragma once
// The one installation context: run-mode flags and command-line values, and the run state that
// the start-up, the error paths and the exit routine share. Process-wide, lives until exit.
#include <cstdint>

#include "lib/strings.h"
#include "setup/core/command_line.h"

namespace setup {

inline constexpr char kEngineTitle8[] = "Brimstead Setup";
inline constexpr char16_t kEngineTitle[] = u"Brimstead Setup";

// Language text n of the chosen language, macros expanded; the settings reader sets it once the
// language table is loaded.
using TextSource = vk::Streng (*)(int n);

struct InstallContext : CommandLine {
  InstallContext();

  void* instance = nullptr;         // the module instance handle
  unsigned long startingThread = 0; // windows belong to this thread only
  uint64_t sessionNumber = 0;       // also the uninstall entry's "Session"
  bool oleInitialized = false;

  // Until the settings are kept here: the product's option word (bits 0-31 first) and the
  // address that a failed run reports to.
  uint64_t ProductFlags = 0;
  vk::Streng failureNotifyUrl;
  TextSource textSource = nullptr;

  vk::Streng FailureSummary;

  bool hasProductFlag(int bit) const { return bit >= 0 && bit < 64 && ((ProductFlags >> bit) & 1); }
};

// Built on first use, so that the window layer's static objects may reach it before the entry.
InstallContext& Context();

// Windows may be created: not silent, and on the thread that started the process.
bool WindowsAllowed();

// Language text n, or empty before the table is loaded or when it has no such text.
vk::Streng text(int n);

}  // namespace setup
