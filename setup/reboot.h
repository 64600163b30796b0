#pragma once
// Replacement at the next restart of a file that could not be written now, the temporary-name
// scheme it uses, the delayed operations and the restart at the end of the run.
#include <cstdint>
#include <functional>

#include "lib/strings.h"

struct _FILETIME;

namespace setup {

// What this part needs of the run; the installation sequence connects it to the install log,
// FailureSummary, the language texts and the product's option word.
class ReplacementContext {
public:
  virtual ~ReplacementContext() = default;
  virtual vk::Streng Text(int n) = 0;                 // language text n
  virtual bool ProductFlag(int bit) const = 0;
  virtual void SetProductFlag(int bit) = 0;
  virtual void Log(const vk::Streng& text) = 0;         // the install log
  virtual void AddFailure(const vk::Streng& text) = 0;  // FailureSummary
  virtual bool AutomaticMode() const = 0;
  virtual bool SilentMode() const = 0;
  // A Yes/No question box with the question icon, in the foreground; true for Yes.
  virtual bool AskYesNo(const vk::Streng& message, const vk::Streng& caption) = 0;
};

// An entry time (six UTC fields) as a file time; false when unset or not a valid date.
bool EntryTimeToFileTime(const int32_t time[6], _FILETIME& out);
// Sets creation and last-write time of a file; false on failure (last error set).
bool SetEntryFileTime(const vk::Streng& path, const int32_t time[6]);

// Creates a folder with its missing parents; the system error, or 0.
uint32_t CreateFolderTree(const vk::Streng& folder);

// MakeTempName flag: keep to the given folder (no switch to the temporary folder or "c:\temp").
constexpr uint32_t kTempKeepFolder = 1;
// A unique "VKT" name in folder (the temporary folder when empty). Without an extension the
// system makes (and creates) the name; with one, the file is created exclusively. Empty on failure.
vk::Streng MakeTempName(const vk::Streng& folder, const vk::Streng& extension, uint32_t flags);

// The delayed move (replacing the target) and deletion; success leaves last error 170 (ERROR_BUSY)
// for a move, so that a pending move can be told from an immediate one.
bool MoveAtReboot(const vk::Streng& source, const vk::Streng& target);
bool DeleteAtReboot(const vk::Streng& path);

// The new content of target already stands in tempFile (beside the target), or tempFile is empty
// and tempError says why it could not be made. errorCode is the last write attempt's error.
// Registers the move at the next restart with its messages; true when the entry is pending.
// The temporary file is deleted unless it was registered.
struct PendingReplacement {
  vk::Streng target;
  vk::Streng tempFile;
  uint32_t tempError = 0;
  const int32_t* time = nullptr;  // six UTC fields, or null for none
  bool existedBefore = false;
  uint32_t errorCode = 0;
};
bool RegisterReplacement(ReplacementContext& context, const PendingReplacement& replacement);

// Writes an empty "reboot.dat" into the installation folder and schedules its deletion at the
// next restart, when the product asks for it (bit 53). True when the marker stands.
bool CreateRebootMarker(ReplacementContext& context, const vk::Streng& installFolder);

// The restart request itself: enables the shutdown privilege, ExitWindowsEx(reboot | force if hung,
// planned application installation), disables it again. Replaceable so that tests can watch it.
using RestartRequest = bool (*)();
bool RequestSystemRestart();
RestartRequest SetRestartRequest(RestartRequest request);  // returns the previous one

// Whether the run ends in a restart: nothing when the reboot-required flag is clear; the question
// (text 37, caption 20) outside automatic mode or with bit 41, Yes without showing it when silent;
// in automatic mode otherwise no question.
bool RestartWanted(ReplacementContext& context);

// The end-of-run step: asks, runs beforeRestart (the exit batch) either way, then requests the
// restart on Yes. True when the restart was requested; it replaces the launch-on-exit program.
bool RestartIfRequired(ReplacementContext& context, const std::function<void()>& beforeRestart = {});

}  // namespace setup
