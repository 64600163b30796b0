#pragma once
// Closing the programs that the window records name, before files are replaced or removed.
#include <functional>
#include <vector>

#include "setup/core/settings.h"
#include "setup/core/window_patterns.h"

namespace setup {

struct ClosingOptions {
  ClosingRun run = ClosingRun::Installer;  // chooses the texts of the request
  // The run's cancel routine, taken when the user cancels a request: it shows its own notice
  // and ends the run. Should it return, the pass stops there.
  std::function<void()> cancel;
};

// Applies the records of this phase (kClosePhase*) to every top-level window, in the system's
// order: the first record that matches a window of another process acts on it. Returns false
// when the user cancelled and the cancel routine returned.
// Then waits, at most 5 s in all, until the programs it closed or
// terminated have ended, so that their files are free.
bool CloseRunningPrograms(const std::vector<CloseWindow>& records, int phase, const ClosingOptions& options);

// The installation data's records.
bool CloseRunningPrograms(int phase, const ClosingOptions& options);

// The installer's step before the folder choice: phase 1 with the installer's texts, then only
// the records meant for the uninstallation stay, then 333 ms of handled messages so that the
// closing programs are gone before anything is touched.
void CloseProgramsBeforeInstalling(void (*cancel)());

// The cancel notice of the run (its text, caption 111), when windows are allowed; for cancel
// routines that do not show one of their own.
void ShowClosingCancelNotice(ClosingRun run);

}  // namespace setup
