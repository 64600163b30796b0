#pragma once
// The engine's side of the interfaces that the phases are written against: language texts, the
// option word, the install log, the failure summary and the questions, all over the one
// installation context.
#include "lib/strings.h"
#include "setup/reboot.h"

namespace setup {

// A Yes/No question box; without windows (silent mode) the default answer, Yes.
bool AskYesNo(const vk::Streng& message, const vk::Streng& caption);

// The replacement-at-reboot and file-writing context of this run.
ReplacementContext& EngineReplacementContext();

// Brings the install log's view of the run up to date (folders, versions, options).
void UpdateLogContext();

}  // namespace setup
