#pragma once
// Conditional deletions on the file system: for one phase, every file that a record's
// pattern names and whose condition holds is deleted now or at the next restart.
#include <cstddef>
#include <vector>

#include "lib/strings.h"
#include "setup/core/settings.h"
#include "uninstall/core/conditional_deletions.h"

namespace uninstall {

// What the run provides. The texts arrive only at installation.
class DeletionRun {
public:
  virtual ~DeletionRun() = default;
  virtual vk::Streng ExpandMacros(const vk::Streng& text) = 0;  // the installer's path macros
  virtual void Log(const vk::Streng& text) = 0;                 // the running log
  virtual void LogSuccess(const vk::Streng& text) = 0;          // the running log, verbose mode only
  virtual void AddFailure(const vk::Streng& text) = 0;          // FailureSummary
  virtual void SetRestartNeeded() = 0;                          // this phase's own restart mark
  // A comparison date that does not parse at installation: the engine raises corrupt-installer
  // error 65 and does not return; when it does return, the run stops. At uninstallation the
  // record is skipped instead, with a line to Log: stored data that went bad must not keep the
  // product from being removed.
  virtual void CorruptData(int code) = 0;
  // Whether this matching file may be deleted (the uninstaller refuses one reached through a link).
  virtual bool MayDelete(const vk::Streng& /*file*/) { return true; }
};

inline constexpr int kBadDeletionDate = 65;

struct DeletionOutcome {
  size_t handled = 0;   // files whose condition held
  size_t deleted = 0;   // deleted now
  size_t atRestart = 0; // registered for the next restart
  size_t failures = 0;
  size_t skipped = 0;    // records with a bad date, skipped at uninstallation
  bool corrupt = false;
};

// The files a pattern names, relative to the installation folder: the one file, or the
// files of its folder whose names match the wildcards of its last component (folders are never
// matched, subfolders are not searched).
std::vector<vk::Streng> MatchingFiles(const vk::Streng& filePattern, const vk::Streng& installFolder);

// Runs the records for one phase (bit 2 at installation, bit 3 otherwise). At uninstallation
// the records that had no failures are removed, so that only those with work left are written
// to the new uninstall data.
DeletionOutcome RunConditionalDeletions(std::vector<setup::FileDeletion>& records, bool installationPhase,
                                        const vk::Streng& installFolder, DeletionRun& run);

}  // namespace uninstall
