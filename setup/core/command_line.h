#pragma once
// The engine's command line: tokens, atoms and the run-mode values they set, and the usage text.
// Pure functions over the text that GetCommandLineW returns.
#include <string_view>
#include <vector>

#include "lib/strings.h"

namespace setup {

struct CommandLine {
  bool automaticMode = false;       // /a, /silent
  bool silentMode = false;          // /silent
  bool startMinimized = false;      // /min (not in the usage text)
  bool uninstallRequested = false;  // /u...
  vk::Streng uninstallProductName;  // /u:"name"
  vk::Streng overridePath;          // /d:"dir"
  vk::String overridePath8;         // its narrow form
  vk::Streng overrideProductName;   // /n:"name"
  vk::Streng runAfterProgram;       // /r:"program"
  vk::String batchAppend1;          // /b1:"commands", ANSI code page
  vk::String batchAppend2;          // /b2:"commands"
  vk::String batchAppend3;          // /b3:"commands"
};

struct CommandLineResult {
  bool ok = true;
  CommandLine values;      // what was parsed up to the error
  vk::Streng usageError;   // the message in front of the usage text when !ok
};

// Only this many tokens after the program's path are looked at.
constexpr int kMaxCommandLineTokens = 20;

// Splits a command line into tokens at white space; a double quote opens a stretch that runs to
// the next double quote and may hold white space. Quotes stay in the tokens. At most maxTokens.
std::vector<vk::Streng> TokeniseCommandLine(std::u16string_view text, size_t maxTokens);

// The whole command line, program path first (it is skipped).
CommandLineResult ParseCommandLine(std::u16string_view commandLine);

// The uninstall mode's own check: empty when it may go on, else the usage message.
vk::Streng UninstallUsageError(const CommandLine& values);

// The usage text with the message in front and the executable's file name in the syntax line.
vk::Streng UsageText(std::u16string_view message, std::u16string_view exeFileName);

// The part of a path after its last "\" or "/".
vk::Streng FileNameOfPath(std::u16string_view path);

}  // namespace setup
