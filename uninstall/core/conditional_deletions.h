#pragma once
// The decisions behind conditional deletions: whether a file meets a record's date or size
// condition, which files of a folder a wildcard pattern names, and the texts the runs log.
#include <cstdint>
#include <optional>
#include <string_view>

#include "lib/datetime.h"
#include "lib/strings.h"

namespace uninstall {

// Bits of a record's flag byte.
enum DeletionFlag : uint8_t {
  kDeleteOnlyAtRestart = 1,     // never now, always at the next restart
  kDeleteAtRestartOnFailure = 2,
  kDeleteAtInstallation = 4,
  kDeleteAtUninstallation = 8,
};

// Condition kinds: 0 none; 1-3 the last-modified date (equal, not older, not newer); 4-6 the size
// in bytes (equal, at least, at most).
enum class Condition { Holds, Fails, BadValue };

struct FileFacts {
  uint64_t size = 0;
  vk::DateTime modified;  // local time
};

// A comparison date: year first with "-", "/" or "." between the parts ("2026-12-07",
// "2026/12/07"), or eight digits ("20261207"); then optionally, after a space or "T", the time of
// day "HH:ii" or "HH:ii:ss". White space around it is ignored. Nothing when the text is not a
// valid date of that form.
struct ComparisonDate {
  vk::DateTime when;  // dayOfWeek is not set
  bool hasTime = false;
};
std::optional<ComparisonDate> ParseComparisonDate(std::string_view text);

// A size: decimal digits, white space around them ignored; nothing otherwise.
std::optional<uint64_t> ParseComparisonSize(std::string_view text);

// BadValue only for a date kind whose value does not parse (the data is damaged). A size that
// does not parse, and an unknown kind, fail the condition: the file stays.
Condition TestDeletionCondition(uint8_t kind, std::string_view value, const FileFacts& file);

// "*" any run of characters, "?" one character; letters compared without case. The whole name
// must match.
bool MatchesWildcard(std::u16string_view name, std::u16string_view pattern);
bool HasWildcard(std::u16string_view text);

// The log and failure texts of the installation run, each ending in "\r\n".
vk::Streng DeletedFileText(const vk::Streng& path);
// For kDeleteOnlyAtRestart no error text; otherwise the reason the immediate deletion failed.
vk::Streng WillDeleteAfterRebootText(const vk::Streng& path, bool onlyAtRestart, const vk::Streng& errorText);
vk::Streng FailedToRegisterText(const vk::Streng& path, const vk::Streng& errorText);
vk::Streng FailedToDeleteText(const vk::Streng& path, const vk::Streng& errorText);
// The uninstaller's note on a record whose date does not parse.
vk::Streng SkippedDeletionText(const vk::Streng& pattern, const vk::Streng& value);

}  // namespace uninstall
