#include "setup/core/window_patterns.h"

#include <algorithm>

namespace setup {

namespace {

template <class View>
bool Matches(View pattern, View text) {
  if (!pattern.empty() && pattern.front() == '*') return text.find(pattern.substr(1)) != View::npos;
  return pattern == text;
}

}  // namespace

std::optional<CloseAction> ActionOf(uint8_t actionByte) {
  if (actionByte > uint8_t(CloseAction::Terminate)) return std::nullopt;
  return CloseAction(actionByte);
}

bool MatchesPattern(std::u16string_view pattern, std::u16string_view text) { return Matches(pattern, text); }
bool MatchesPattern(std::string_view pattern, std::string_view text) { return Matches(pattern, text); }

bool RecordMatches(const CloseWindow& record, const WindowFacts& window) {
  bool tested = false;
  if (!record.classPattern.empty() && window.className) {
    if (!MatchesPattern(record.classPattern, *window.className)) return false;
    tested = true;
  }
  if (!record.titlePattern.empty()) {
    if (!MatchesPattern(record.titlePattern, window.title)) return false;
    tested = true;
  }
  return tested;
}

std::optional<size_t> RecordToApply(const std::vector<CloseWindow>& records, int phase,
                                    const WindowFacts& window, bool canAsk) {
  if (window.ownProcess) return std::nullopt;
  for (size_t i = 0; i < records.size(); ++i) {
    const CloseWindow& record = records[i];
    if (!AppliesInPhase(record, phase)) continue;
    const std::optional<CloseAction> action = ActionOf(record.action);
    if (!action || !RecordMatches(record, window)) continue;
    // The first matching record decides, as in an interactive run: a request that cannot be
    // asked leaves the program alone rather than handing it to a later, harsher record.
    if (*action == CloseAction::AskUser && !canAsk) return std::nullopt;
    return i;
  }
  return std::nullopt;
}

void DropInstallOnlyRecords(std::vector<CloseWindow>& records) {
  std::erase_if(records, [](const CloseWindow& r) { return !AppliesInPhase(r, kClosePhaseUninstall); });
}

ClosingTexts ClosingTextsFor(ClosingRun run) {
  if (run == ClosingRun::Uninstaller) return {107, 55, 101, 111};
  return {99, 65, 98, 111};
}

}  // namespace setup
