#include "uninstall/conditional_deletions.h"

#include <windows.h>

#include "lib/datetime.h"
#include "lib/narrow_path.h"
#include "lib/win32/fileops.h"
#include "lib/win32/handle.h"
#include "lib/win32/system_error.h"
#include "uninstall/core/conditional_deletions.h"

namespace uninstall {

using vk::Streng;

std::vector<Streng> MatchingFiles(const Streng& filePattern, const Streng& installFolder) {
  std::vector<Streng> out;
  const Streng path = vk::MakeAbsolutePath(installFolder, filePattern);
  if (path.empty()) return out;
  const Streng folder = vk::PathFolder(path);
  const Streng pattern = vk::PathFileName(path);
  if (pattern.empty()) return out;
  const bool wildcard = HasWildcard(pattern);
  WIN32_FIND_DATAW found;
  vk::FindHandle search(FindFirstFileW(vk::W(path), &found));
  if (!search) return out;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const Streng name = vk::FromW(found.cFileName);
    // The system's search also matches the short 8.3 names ("*.tmp" finds "a.tmpx"); only the
    // long name counts here.
    if (wildcard && !MatchesWildcard(name, pattern)) continue;
    out.push_back(wildcard ? vk::JoinPath(folder, name) : path);
    if (!wildcard) break;
  } while (FindNextFileW(search.get(), &found));
  return out;
}

namespace {

bool ReadFacts(const Streng& path, FileFacts& facts) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(vk::W(path), GetFileExInfoStandard, &data)) return false;
  facts.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  facts.modified = vk::DateTime(data.ftLastWriteTime);
  return true;
}

void ClearProtectiveAttributes(const Streng& path) {
  const DWORD attributes = GetFileAttributesW(vk::W(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  const DWORD cleared = attributes & ~DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  if (cleared != attributes) SetFileAttributesW(vk::W(path), cleared ? cleared : FILE_ATTRIBUTE_NORMAL);
}

}  // namespace

DeletionOutcome RunConditionalDeletions(std::vector<setup::FileDeletion>& records, bool installationPhase,
                                        const Streng& installFolder, DeletionRun& run) {
  DeletionOutcome outcome;
  const uint8_t phaseBit = installationPhase ? kDeleteAtInstallation : kDeleteAtUninstallation;
  std::vector<bool> keep(records.size(), false);

  for (size_t r = 0; r < records.size(); ++r) {
    const setup::FileDeletion& record = records[r];
    if (!(record.flags & phaseBit)) continue;
    const Streng pattern = run.ExpandMacros(vk::DecodeNarrowPath(record.fileSpec));
    size_t failures = 0;
    for (const Streng& file : MatchingFiles(pattern, installFolder)) {
      FileFacts facts;
      if (!run.MayDelete(file) || !ReadFacts(file, facts)) continue;  // refused, or gone since the search
      const Condition condition = TestDeletionCondition(record.conditionKind, record.comparisonValue, facts);
      if (condition == Condition::BadValue && !installationPhase) {
        // Kept as it stands in the data; the rest of the uninstallation goes on.
        run.Log(SkippedDeletionText(pattern, vk::AnsiToStreng(record.comparisonValue)));
        ++outcome.skipped;
        ++failures;
        break;
      }
      if (condition == Condition::BadValue) {
        outcome.corrupt = true;
        run.CorruptData(kBadDeletionDate);
        return outcome;
      }
      if (condition == Condition::Fails) continue;
      ++outcome.handled;
      ClearProtectiveAttributes(file);

      const bool onlyAtRestart = (record.flags & kDeleteOnlyAtRestart) != 0;
      Streng errorText;
      if (!onlyAtRestart) {
        if (DeleteFileW(vk::W(file))) {
          ++outcome.deleted;
          if (installationPhase) run.LogSuccess(DeletedFileText(file));
          continue;
        }
        errorText = vk::LastSystemErrorText();
      }
      if (onlyAtRestart || (record.flags & kDeleteAtRestartOnFailure)) {
        if (installationPhase) run.Log(WillDeleteAfterRebootText(file, onlyAtRestart, errorText));
        if (vk::DeleteFileEx(file, vk::AtReboot)) {
          ++outcome.atRestart;
          run.SetRestartNeeded();
        } else {
          ++failures;
          if (installationPhase) run.AddFailure(FailedToRegisterText(file, vk::LastSystemErrorText()));
        }
      } else {
        ++failures;
        if (installationPhase) run.Log(FailedToDeleteText(file, errorText));
      }
    }
    outcome.failures += failures;
    keep[r] = failures > 0;
  }

  if (installationPhase) {
    if (outcome.handled) run.Log(u"\r\n");
  } else {
    size_t w = 0;
    for (size_t r = 0; r < records.size(); ++r)
      if (keep[r]) {
        if (w != r) records[w] = std::move(records[r]);
        ++w;
      }
    records.resize(w);
  }
  return outcome;
}

}  // namespace uninstall
