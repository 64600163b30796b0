#include "setup/install_sequence.h"

#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>

#include "lib/narrow_path.h"
#include "lib/win32/fileops.h"
#include "lib/win32/system_error.h"
#include "setup/batch_runner.h"
#include "setup/close_programs.h"
#include "setup/core/product_flags.h"
#include "setup/core/system_checks.h"
#include "setup/engine_macros.h"
#include "setup/engine_services.h"
#include "setup/errors.h"
#include "setup/extract_archive.h"
#include "setup/install_context.h"
#include "setup/install_folders.h"
#include "setup/install_log.h"
#include "setup/launch_process.h"
#include "setup/notifications.h"
#include "setup/os_facts.h"
#include "setup/previous_installation.h"
#include "setup/progress.h"
#include "setup/reboot.h"
#include "setup/settings_reader.h"
#include "setup/startup.h"
#include "setup/system_folders.h"
#include "setup/uninstall_registration.h"
#include "setup/work_file.h"
#include "uninstall/conditional_deletions.h"
#include "uninstall/core/uninstall_data.h"
#include "uninstall/pending_operations.h"
#include "uninstall/uninstall_data_file.h"

// The phases of one installation, top to bottom in the order they run. A phase whose work is
// not built yet is an empty named step, so that the order stays visible here.
namespace setup {

namespace {

InstallContext& C() { return Context(); }
const InstallSettings& S() { return Context().settings; }
bool Flag(int bit) { return Context().hasProductFlag(bit); }

void ChooseLanguage() {
  // The language dialog runs here when there are several languages and windows may wait for
  // the user; until it exists the default language stays chosen.
}

void CheckBitness() {
  const bool windows64 = OperatingSystemInfo().windows64;
  const uint8_t bitness = S().Bitness;
  if ((bitness == 1 && !windows64) || (bitness == 2 && windows64)) {
    if (C().automaticMode) exitInstaller(1);
    refuseInstallation(vk::Format(formatText(81), bitness == 1 ? 64 : 32));
  }
  if (bitness == 1 && C().wow64RedirectionFailed) fatalError("Wow64DisableWow64FsRedirection() failed");
}

void CheckMinimumVersion() {
  const MinimumVersion& required = S().MinimumWindowsVersion;
  if (required == MinimumVersion{}) return;
  HCURSOR previous = WindowsAllowed() ? SetCursor(LoadCursorW(nullptr, IDC_WAIT)) : nullptr;
  const bool below = IsBelowMinimumVersion(required, SystemOsFacts());
  if (previous) SetCursor(previous);
  if (below) refuseInstallation(vk::Format(formatText(60), vk::AnsiToStreng(DescribeOperatingSystem(RequiredVersionFacts(required), 0))));
}

void CheckExcludedSystems() {
  if (IsExcludedSystem(S().ExcludedSystems, OperatingSystemCode(OperatingSystemInfo())))
    refuseInstallation(vk::Format(formatText(61), vk::AnsiToStreng(DescribeOperatingSystem(kOsShort))));
}

void CheckSingleInstance() {
  if (!Flag(flag::SingleInstance)) return;
  // Kept open until the process ends.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Brimstead KTX");
  if (mutex && WaitForSingleObject(mutex, 0) == WAIT_TIMEOUT) refuseInstallation(text(91));
}

// The greeting sound plays from memory while the wizard starts; winmm comes from the system
// folder on first use.
void PlayGreetingSound() {
  const vk::String& sound = S().GreetingSound;
  if (C().automaticMode || sound.empty()) return;
  using PlaySoundFn = BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD);
  static HMODULE winmm = LoadLibraryExW(L"winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  auto play = winmm ? reinterpret_cast<PlaySoundFn>(reinterpret_cast<void*>(GetProcAddress(winmm, "PlaySoundW"))) : nullptr;
  // The sound stays in the settings until exit, as asynchronous playing from memory needs.
  if (play) play(reinterpret_cast<LPCWSTR>(sound.data()), nullptr, SND_ASYNC | SND_NODEFAULT | SND_MEMORY | SND_NOSTOP);
}
void ShowGreetingPage() {}
void AskPassword() {}
void ShowLicensePages() {}
void ShowReadmePages() {}
void CloseRunningProgramsBeforeInstalling() { CloseProgramsBeforeInstalling(cancelInstallation); }
void OpenProgressWindow() {}

// Opened before the restore point starts, so that the log keeps what that step reports.
void StartRunningLog() {
  UpdateLogContext();
  OpenRunningLog();
}

void StartRestorePoint() {}

void StartInstallLog() {
  SetStatus(113);
  SetProgress(1);
}

void GrantFolderRights() {}
uint64_t ArchiveItemsSize(const Container& container) {
  uint64_t total = 0;
  for (int32_t size : container.header.itemSizes) total += uint64_t(size > 0 ? size : 0);
  return total;
}

void ComputeEstimatedSize(const Container& container) {
  C().archiveItemsSize = ArchiveItemsSize(container);
  if (C().portable && Flag(flag::PortableWithoutUninstaller)) C().settings.ProductFlags &= ~(uint64_t(1) << flag::Uninstaller);
}
void RunPreInstallationBatches() {
  const auto flag2Set = [](int bit) { return ((C().ProductFlags2 >> bit) & 1) != 0; };
  const auto title = [&](int bit, const char16_t* name) { return flag2Set(bit) ? vk::Streng(name) : vk::Streng(); };
  // The command line's /b1: lines are already behind the script (settings reader).
  RunBatch(S().PreInstallBatch, Flag(flag::HidePreInstallBatch), title(flag2::LogPreInstallBatch, u"Pre-Installation Batch"));
  if (C().runKind == InstallContext::RunKind::Upgrade) RunBatch(S().UpgradeBatch, Flag(flag::HideUpgradeBatch), title(flag2::LogUpgradeBatch, u"Upgrade Batch"));
  if (C().previousInstallExists && (C().runKind == InstallContext::RunKind::Reinstall || !flag2Set(flag2::ReinstallBatchSameVersionOnly)))
    RunBatch(S().ReinstallBatch, Flag(flag::HideReinstallBatch), title(flag2::LogReinstallBatch, u"Reinstall Batch"));
  SetStatus(8);
  SetProgress(2);
}

// Conditional deletions of the installation phase report through the log and FailureSummary.
class InstallDeletions final : public uninstall::DeletionRun {
public:
  vk::Streng ExpandMacros(const vk::Streng& t) override { return setup::ExpandMacros(t); }
  void Log(const vk::Streng& line) override { LogTextW(line); }
  void LogSuccess(const vk::Streng& line) override {
    if (VerboseLog()) LogTextW(line);
  }
  void AddFailure(const vk::Streng& entry) override { AddFailureText(entry); }
  void SetRestartNeeded() override { C().settings.ProductFlags |= uint64_t(1) << flag::RestartRequired; }
  [[noreturn]] void CorruptData(int code) override { corruptInstaller(code, false); }
};

// The deletions the product asks for at installation run before the first file is written, so
// that a rule such as "*.txt older than a date" cannot take the files this run installs.
void RunInstallationDeletions() {
  InstallDeletions deletions;
  uninstall::RunConditionalDeletions(C().settings.FileDeletions, true, C().installDir, deletions);
}

// What an earlier run scheduled for the next restart must not destroy the files just installed.
void CleanPendingOperationsForWrittenFiles() {
  uninstall::ProtectedFiles installed;
  for (const vk::String& file : C().writtenFiles) installed.insert(uninstall::LowerPath(vk::DecodeNarrowPath(file)));
  uninstall::CleanPendingOperations(installed, [](const vk::Streng& line) { LogTextW(line); });
}

// Fonts changed, shared counts, COM servers, type libraries and drivers: the registration step
// fills these in between the progress positions.
void NotifyFontChange() {}
void RegisterSharedFiles() {}
void RegisterComponents() {}

void InstallArchive(Container& container) {
  HoldStatus();
  SetStatus(62);
  SetProgress(21);
  openArchive(container, S().ArchiveFileMode == 1);
  HoldStatus();
  SetStatus(54);
  SetProgress(26);
  RunInstallationDeletions();
  SetProgress(27);
  ExtractArchive(container);
  SetProgress(91);
  SetStatus(54);
  NotifyFontChange();
  CleanPendingOperationsForWrittenFiles();
  SetProgress(92);
  RegisterSharedFiles();
  SetProgress(93);
  RegisterComponents();
  HoldStatus();
  SetStatus(26);
  SetProgress(95);
}

void CreateShortcuts() { SetProgress(97); }
void WriteRegistryEntries() { SetProgress(98); }
// What the uninstallation will undo: the removal records of the run, the texts the uninstaller
// shows, the programs to close and the deletions meant for the uninstallation.
void SaveUninstallData() {
  if (!Flag(flag::Uninstaller)) return;
  uninstall::UninstallData& data = uninstall::ProcessUninstallData();
  for (const InstallContext::RemovalRecord& r : C().removalRecords)
    uninstall::AddUninstallEntry(data, r.path,
                                 r.kind == InstallContext::RemovalRecord::Folder ? uninstall::kEntryFolder
                                                                                : uninstall::kEntryFile);
  data.productName = S().ProductName;
  for (int id : uninstall::kCarriedTextIds) data.SetText(id, text(id));
  data.closePrograms = S().CloseWindows;
  for (const FileDeletion& d : S().FileDeletions)
    if (d.flags & uninstall::kDeletionAtUninstall) uninstall::PutConditionalDeletion(data, uninstall::NarrowDeletion(d));
  data.registryEntries = S().RegistryEntries;
  const vk::Streng path = vk::JoinPath(C().uninstallDir, uninstall::kUninstallDataFileName);
  if (!uninstall::WriteUninstallDataFile(path, data)) AddFailureLine(path);
}
void RunPostInstallationBatch() {
  const bool titled = (C().ProductFlags2 >> flag2::LogPostInstallBatch) & 1;
  RunBatch(S().PostInstallBatch, Flag(flag::HidePostInstallBatch), titled ? vk::Streng(u"Post-Installation Batch") : vk::Streng());
}

void NotifyRunKind() {
  const vk::String* address = &S().FreshInstallAddress;
  switch (C().runKind) {
    case RunKind::Upgrade: address = &S().UpgradeAddress; break;
    case RunKind::Downgrade: address = &S().DowngradeAddress; break;
    case RunKind::Reinstall: address = &S().ReinstallAddress; break;
    case RunKind::Fresh: break;
  }
  QueueNotification(vk::AnsiToStreng(*address), false);
}

void CommitRestorePoint() {}

void CloseProgress() { HoldStatus(); }

void NoteLaunchOnExit() {
  if (!C().runAfterProgram.empty()) LogPrintW(u"Launch on exit: %s\r\n", C().runAfterProgram);
}

void RunInstallationExitBatch() {
  RunBatch(S().InstallExitBatch, Flag(flag::HideExitBatch));
}

void RemoveEmptyFolders() {
  // A folder left empty by the run goes.
  for (const vk::Streng* folder : {&C().sharedDir, &C().uninstallDir, &C().installDir})
    if (!folder->empty()) vk::RemoveFolderIfEmpty(*folder);
}

void RestoreWow64Redirection() {
#ifndef _WIN64
  if (S().Bitness == 1 && !C().wow64RedirectionFailed) Wow64RevertWow64FsRedirection(C().wow64RedirectionState);
#endif
}

void OpenDocument(const vk::Streng& stored) {
  if (stored.empty()) return;
  const vk::Streng path = vk::MakeAbsolutePath(C().installDir, ExpandMacros(stored));
  ShellExecuteW(nullptr, L"open", vk::W(path), nullptr, vk::W(C().installDir), SW_SHOWNORMAL);
}

void LaunchAfterInstallation() {
  SetCurrentDirectoryW(vk::W(C().installDir));
  if (C().FailureSummary.empty() && !C().runAfterProgram.empty() &&
      LaunchProcess(C().runAfterProgram, LaunchOption::ProgramFolder) == kLaunchFailed)
    showError(u"Failed to launch command: " + C().runAfterProgram + u"\r\n" + vk::LastSystemErrorText());
  // The choices made on the finish page, in their order.
  const InstallContext::FinishChoices& chosen = C().finishChoices;
  if (chosen.openDocument) OpenDocument(S().DocumentPath);
  if (chosen.launchApplication && !S().ApplicationCommand.empty()) {
    const vk::Streng command = ExpandMacros(S().ApplicationCommand);
    if (LaunchProcess(command, 0, C().installDir) == kLaunchFailed)
      showError(u"Failed to launch app: " + command + u"\r\n" + vk::LastSystemErrorText());
  }
  if (chosen.showLog) ShowInstallLog();
  if (chosen.openSecondDocument) OpenDocument(S().SecondDocumentPath);
}

}  // namespace

void RunInstallation(Container& container) {
  ChooseLanguage();
  applyLanguageTexts();
  CheckBitness();
  CheckMinimumVersion();
  CheckExcludedSystems();
  CheckMasterProduct();
  CheckSingleInstance();
  LookUpPreviousInstallation();
  PlayGreetingSound();
  ShowGreetingPage();
  AskPassword();
  ShowLicensePages();
  ShowReadmePages();
  CloseRunningProgramsBeforeInstalling();
  ChooseInstallFolder(ArchiveItemsSize(container));
  OpenProgressWindow();
  QueueNotification(vk::AnsiToStreng(S().InstallStartAddress), false);
  CreateWorkFile(TemporaryFolder());
  StartRunningLog();
  StartRestorePoint();
  StartInstallLog();
  GrantFolderRights();
  PrepareFolders();
  UpdateLogContext();
  ComputeEstimatedSize(container);
  RunPreInstallationBatches();
  InstallArchive(container);
  CreateShortcuts();
  WriteRegistryEntries();
  CopyUninstallerFiles();
  RegisterUninstall();
  SaveUninstallData();
  RunPostInstallationBatch();
  NotifyRunKind();
  CommitRestorePoint();
  CloseProgress();
  NoteLaunchOnExit();
  UpdateLogContext();
  // The finish page comes with the log's completion notice.
  WriteInstallLog(C().FailureSummary, C().previousInstallExists, true);
  // The reboot question; the exit batch and the clean-up run either way, then the restart
  // replaces the launches.
  C().rebootRequested = RestartIfRequired(EngineReplacementContext(), [] {
    RunInstallationExitBatch();
    RemoveEmptyFolders();
    RestoreWow64Redirection();
  });
  if (!C().rebootRequested) LaunchAfterInstallation();
  exitInstaller(1);
}

}  // namespace setup
