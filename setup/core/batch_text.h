#pragma once
// The text of "SETUPBAT.BAT": the code-page line, "@echo off", the installer's variables as SET
// lines, then the product's script. Pure: the values come from a MacroValues provider.
#include <string_view>

#include "lib/strings.h"
#include "setup/core/macros.h"

namespace setup {

// The variables in the order the file defines them. quoted: the whole assignment is in quotes.
struct BatchVariable {
  std::u16string_view name;  // also the name of the macro that gives the value
  bool quoted;
};
inline constexpr size_t kBatchVariableCount = 52;
extern const BatchVariable kBatchVariables[kBatchVariableCount];

// Text for a batch line, with every "%" doubled so that the interpreter reads it as itself (the
// rest of a path is taken as it stands between double quotes).
vk::Streng EscapeForBatch(std::u16string_view text);

// The SET lines, each ending in CR LF, their values escaped for the batch.
vk::Streng BatchVariableLines(const MacroValues& values);

// A line that reads PAUSE once white space and one leading "@" are set aside.
bool IsPauseLine(std::u16string_view line);
// The text without its PAUSE lines (and their line breaks); other lines stay as they are.
vk::Streng WithoutPauseLines(std::u16string_view text);

// Every LF alone, CR alone and LF CR becomes CR LF; CR LF is added at the end when missing.
vk::Streng NormalisedLineBreaks(std::u16string_view text);

// UTF-8 is used on Windows 7 and later (NT, 6.1 or higher) when the text needs it.
bool SystemTakesUtf8Batch(const OsInfo& os);

// What follows "/c " to run a batch file, with its output into a capture file when one is given.
// Paths stand as they are when none needs quotes (short paths seldom do); otherwise each is quoted
// and the whole is put in one more pair of quotes, since the interpreter removes the first and the
// last quote of a command with more than two.
vk::Streng InterpreterArgument(std::u16string_view batch, std::u16string_view capture = {});

// The file's bytes for a script in code page 1252. PAUSE lines are dropped when the batch runs
// hidden or the run is automatic, since nobody could answer them.
struct BatchFile {
  vk::String bytes;
  bool utf8 = false;  // else Windows-1252; the interpreter's output comes in the same code page
};
BatchFile BatchFileText(std::string_view script1252, bool hidden, const MacroValues& values);

}  // namespace setup
