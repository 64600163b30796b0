#pragma once
// Which window records apply to which top-level window, and in which phase: the matching rules
// of the class and title patterns, the phase bits, the closing actions and the records that the
// installer keeps for the uninstallation. Pure decisions; the window calls are elsewhere.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "lib/strings.h"
#include "setup/core/settings.h"

namespace setup {

// Phase bits: before the installation copies files, and the uninstallation's two passes (before
// and after its confirmation question).
inline constexpr int kClosePhaseInstall = 1;
inline constexpr int kClosePhaseUninstall = 2;
inline constexpr int kClosePhaseUninstallLate = 4;

// The record's action byte.
enum class CloseAction : uint8_t {
  PostClose = 0,  // restore, show and raise the window, post WM_CLOSE
  PostQuit = 1,   // likewise, post WM_QUIT
  AskUser = 2,    // ask the user to close it (Retry/Cancel) while the window exists
  Terminate = 3,  // terminate the owning process
};

// The action of a byte, none for a byte that names no action (such a record never acts).
std::optional<CloseAction> ActionOf(uint8_t actionByte);

// A pattern that begins with "*" matches when the rest occurs anywhere in the text (so "*"
// alone matches every text); any other pattern must equal the whole text. Letter case counts.
bool MatchesPattern(std::u16string_view pattern, std::u16string_view text);
bool MatchesPattern(std::string_view pattern, std::string_view text);

// What is known about one top-level window. className is empty when it could not be read.
struct WindowFacts {
  std::optional<vk::Streng> className;
  vk::String title;
  bool ownProcess = false;
};

// Whether the record names this window. At least one pattern must be given. A class pattern is
// passed over when the class name could not be read, but a pattern that was passed over is no
// evidence: a record whose only pattern is the class pattern then does not match.
bool RecordMatches(const CloseWindow& record, const WindowFacts& window);

// Whether the record's phase mask contains the phase bit.
inline bool AppliesInPhase(const CloseWindow& record, int phase) { return (record.phaseMask & phase) != 0; }

// The record that acts on the window in this phase: the first in list order whose mask holds
// the phase, whose patterns match and whose action can run. A window of the own process is never
// acted on. canAsk: the user can be asked (not silent); without it an asking record that is the
// first to match leaves the window alone (a later record does not act in its place).
std::optional<size_t> RecordToApply(const std::vector<CloseWindow>& records, int phase,
                                    const WindowFacts& window, bool canAsk);

// After the installation's pass only the records meant for the uninstallation stay (phase bit 2).
void DropInstallOnlyRecords(std::vector<CloseWindow>& records);

// The uninstaller derives the mask from the action: the asking records act after the
// confirmation question, the others before it.
inline uint8_t UninstallPhaseMask(uint8_t actionByte) {
  return actionByte == uint8_t(CloseAction::AskUser) ? kClosePhaseUninstallLate : kClosePhaseUninstall;
}

// The language texts of the request and of the cancel notice, by run.
enum class ClosingRun { Installer, Uninstaller };
struct ClosingTexts {
  int question;         // formatted with the display name
  int questionCaption;
  int cancelNotice;
  int cancelCaption;
};
ClosingTexts ClosingTextsFor(ClosingRun run);

}  // namespace setup
