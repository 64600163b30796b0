#include "uninstall/uninstall_procedure.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <unordered_set>
#include <vector>

#include "lib/format.h"
#include "lib/narrow_path.h"
#include "lib/win32/fileops.h"
#include "lib/win32/handle.h"
#include "lib/win32/system_error.h"
#include "setup/batch_runner.h"
#include "setup/close_programs.h"
#include "setup/core/engine_messages.h"
#include "setup/core/product_flags.h"
#include "setup/engine_macros.h"
#include "setup/engine_services.h"
#include "setup/errors.h"
#include "setup/install_context.h"
#include "setup/launch_process.h"
#include "setup/progress.h"
#include "setup/reboot.h"
#include "setup/startup.h"
#include "uninstall/associations.h"
#include "uninstall/conditional_deletions.h"
#include "uninstall/core/pending_operations.h"
#include "uninstall/core/uninstall_data.h"
#include "uninstall/core/uninstall_plan.h"
#include "uninstall/drivers.h"
#include "uninstall/fonts.h"
#include "uninstall/packages.h"
#include "uninstall/pending_operations.h"
#include "uninstall/product_key.h"
#include "uninstall/product_registry.h"
#include "uninstall/shared_files.h"
#include "uninstall/step_context.h"
#include "uninstall/uninstall_data_file.h"
#include "uninstall/unpin.h"
#include "uninstall/whole_folder.h"

// The steps run top to bottom in the order they are written; the numbers of the progress
// positions are those the progress window shows.
namespace uninstall {

namespace {

using setup::SetProgress;
using setup::text;

constexpr size_t kMaxParentLevels = 50;
constexpr size_t kMaxStartMenuLevels = 20;

enum ProductBit : int {
  kAskFonts = 4,
  kQuiet = 9,
  kDeleteWholeFolder = 10,
  kPath = 12,
  kUninstallBatch1Option = 26,
  kUninstallBatch2Option = 27,
  kNoBackground = 29,
  kRestartAtEnd = 45,
  kHideItemNames = 49,
  kProgressWindow = 51,
  kKeepInstallLog = 54,
};

// One run's state.
struct Run final : StepContext {
  vk::Streng givenName;
  vk::RegKey productKey;
  REGSAM view = KEY_WOW64_64KEY;  // the registry view the entry was found in
  ProductSettings settings;
  vk::Streng dataFolder;   // InstallLocation joined with UninstallSubdir
  vk::Streng desktopFolder;
  UninstallData& data = ProcessUninstallData();
  ProtectedFiles deletedFiles;
  std::vector<vk::Streng> folders;
  std::vector<vk::Streng> productFolders;  // the installation and shared folders
  vk::Streng failureSummary;
  bool quiet = false;
  bool redirectionOff = false;
  void* redirectionState = nullptr;

  bool Quiet() const override { return quiet; }
  bool ProductFlag(int bit) const override { return settings.flag(bit); }
  vk::Streng Text(int id) const override { return text(id); }
  bool AskYesNo(const vk::Streng& message, const vk::Streng& caption) override {
    return setup::AskYesNo(message, caption);
  }
  void AddFailure(const vk::Streng& line) override { failureSummary += line; }
  void BringProgressToFront() override {}
};

UninstallOutcome g_outcome;

void ShowMessage(const vk::Streng& message, const vk::Streng& caption, UINT icon) {
  if (!setup::WindowsAllowed()) return;
  MessageBoxW(nullptr, vk::W(message), vk::W(caption), MB_OK | icon | MB_SETFOREGROUND);
}

// The status line: a language text, and the moment it was shown.
void SetStatus(int id) { setup::SetStatusLine(text(id)); }
void WaitStatus() { setup::WaitStatus(700); }

void ShowCurrentItem(const Run& run, const vk::Streng& path) {
  if (!run.settings.flag(kHideItemNames)) setup::SetStatusLine(path);
}

// A recorded path is deleted only when no folder on its way below the product's folders is a
// junction or symbolic link: through one, the deletion would reach what the product never made.
// Such a path is passed over like one that is not there.
bool ReachedWithoutLinks(const Run& run, const vk::Streng& path, bool isFolder) {
  return !vk::AnyIsReparsePoint(FoldersToCheckForLinks(path, run.productFolders, isFolder));
}

// 1. The entry: the 64-bit view first, where the installation writes it, then the 32-bit one.
bool FindProduct(Run& run) {
  const vk::Streng path = vk::Streng(kUninstallRoot) + u"\\" + run.givenName;
  if (run.givenName.empty() || run.givenName.find(u'\\') != vk::Streng::npos) {
    setup::showError(setup::NotInstalledMessage(run.givenName));
    return false;
  }
  LONG status = ERROR_FILE_NOT_FOUND;
  for (REGSAM view : {REGSAM(KEY_WOW64_64KEY), REGSAM(KEY_WOW64_32KEY)}) {
    vk::RegKey probe;
    status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, vk::W(path), 0, KEY_QUERY_VALUE | view, probe.put());
    if (status == ERROR_SUCCESS) {
      run.view = view;
      break;
    }
    if (status == ERROR_ACCESS_DENIED) break;
  }
  if (status == ERROR_ACCESS_DENIED) {
    setup::showError(u"Permission denied.  Please run the uninstaller with administrator rights.");
    return false;
  }
  if (status != ERROR_SUCCESS) {
    setup::showError(setup::NotInstalledMessage(run.givenName));
    return false;
  }
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, vk::W(path), 0, KEY_READ | KEY_WRITE | run.view, run.productKey.put()) !=
      ERROR_SUCCESS) {
    setup::showError(vk::Format(
        u"Unable to access the uninstall information for:\r\n%s\r\n\r\nThe uninstallation cannot be performed.",
        run.givenName));
    return false;
  }
  return true;
}

vk::Streng SpecialFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
  return vk::FromW(buffer);
}

// The installation context carries what the macros and the shared code read.
void ShareWithContext(const Run& run) {
  setup::InstallContext& c = setup::Context();
  c.settings.ProductFlags = run.settings.ProductFlags;
  c.ProductFlags2 = run.settings.ProductFlags2;
  c.settings.ProductName = run.settings.DisplayName;
  c.settings.DisplayVersion = vk::AnsiToStreng(run.settings.DisplayVersion);
  c.settings.Bitness = uint8_t(run.settings.Bitness);
  c.settings.UninstallSubdir = run.settings.UninstallSubdir;
  c.settings.ShortcutMode = uint8_t(run.settings.ShortcutMode);
  c.installDir = run.settings.InstallLocation;
  c.uninstallDir = run.dataFolder;
  c.sharedDir = run.settings.SharedPath;
  c.startMenuFolder = run.settings.ProductStartMenu;
  if (run.settings.Session != 0) c.sessionNumber = run.settings.Session;
}

// 2. The settings the installation stored.
bool ReadSettings(Run& run) {
  run.settings = ReadProductSettings(run.productKey.get(), run.givenName);
  ProductSettings& s = run.settings;
  if (vk::Trim(s.InstallLocation).empty()) {
    setup::showError(vk::Format(
        u"The uninstall information for %s is corrupt.\r\n\r\nThe uninstallation cannot be performed.",
        s.DisplayName));
    return false;
  }
  // Automatic mode (the QuietUninstallString's /a) asks nothing either: a scripted removal must
  // not wait for a click. Questions take their default answers.
  run.quiet = s.flag(kQuiet) || setup::Context().automaticMode;
#ifndef _WIN64
  if (s.Bitness == 1) {
    if (!Wow64DisableWow64FsRedirection(&run.redirectionState))
      setup::fatalError("Wow64DisableWow64FsRedirection() failed");
    run.redirectionOff = true;
  }
#endif
  for (const vk::Streng& folder : {s.InstallLocation, s.SharedPath})
    if (!vk::Trim(folder).empty()) run.productFolders.push_back(folder);
  run.dataFolder = s.UninstallSubdir.empty() ? s.InstallLocation : vk::JoinPath(s.InstallLocation, s.UninstallSubdir);
  if (!s.DesktopFolder.empty())
    run.desktopFolder = vk::JoinPath(SpecialFolder(s.ShortcutMode == 1 ? CSIDL_COMMON_DESKTOPDIRECTORY
                                                                        : CSIDL_DESKTOPDIRECTORY),
                                     s.DesktopFolder);
  ShareWithContext(run);
  return true;
}

// 3. The background window comes with the window layer; its look is in run.settings.look.
void CreateBackgroundWindow(const Run&) {}

// 4. Uninstall.DAT, whose texts become the run's language texts.
bool LoadUninstallData(Run& run) {
  const vk::Streng path = vk::JoinPath(run.dataFolder, kUninstallDataFileName);
  const UninstallDataReadResult read = ReadUninstallDataFile(path, run.data);
  if (!read.ok()) {
    setup::showError(vk::Format(
        u"The uninstall information for %s could not be loaded.\r\n\r\nFilepath: %s\r\nCode %d: %s",
        run.settings.DisplayName, path, read.code, read.errorText));
    return false;
  }
  setup::InstallContext& c = setup::Context();
  c.settingsLoaded = c.settings.Languages.assign({u""}, run.data.texts, run.data.texts.size());
  return true;
}

[[noreturn]] void CancelUninstall() {
  setup::ShowClosingCancelNotice(setup::ClosingRun::Uninstaller);
  setup::exitInstaller(1);
}

// 5 and 7.
void ClosePrograms(int phase) {
  setup::ClosingOptions options;
  options.run = setup::ClosingRun::Uninstaller;
  options.cancel = [] { CancelUninstall(); };
  setup::CloseRunningPrograms(ProcessUninstallData().closePrograms, phase, options);
}

// 6. false: the user took the support offer, and nothing is removed.
bool Confirm(const Run& run) {
  if (run.quiet) return true;
  if (!setup::AskYesNo(text(53), text(55))) setup::exitInstaller(1);
  const vk::Streng offer = vk::Trim(vk::AnsiToStreng(run.settings.SupportOffer));
  if (!IsSupportLink(offer) || !setup::WindowsAllowed()) return true;
  // The support-offer page of the window layer takes this box's place.
  if (MessageBoxW(nullptr, vk::W(text(109)), vk::W(text(110)), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) !=
      IDYES)
    return true;
  ShellExecuteW(nullptr, L"open", vk::W(offer), nullptr, nullptr, SW_SHOWNORMAL);
  return false;
}

// 8. The progress page comes with the window layer.
void OpenProgressWindow(const Run& run) {
  if (!run.settings.flag(kProgressWindow) || setup::Context().silentMode) return;
  SetStatus(71);
}

// 10 and 29. Never titled; the value goes once its turn is over.
void RunUninstallBatch(Run& run, const vk::String& batch, int optionBit, const wchar_t* valueName) {
  if (batch.empty()) return;
  setup::RunBatch(batch, run.settings.flag(optionBit));
  RegDeleteValueW(run.productKey.get(), valueName);
}

// 11.
void RestoreFileAssociations(const Run& run) {
  SetStatus(70);
  SetProgress(1);
  RestoreAssociations(run.data.associations, run.settings.DisplayName);
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  WaitStatus();
}

// 12.
void RemoveProductFonts(Run& run) {
  SetStatus(67);
  SetProgress(3);
  if (RemoveFonts(run.settings.ProductFonts, run) > 0)
    SendMessageTimeoutW(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 1000, nullptr);
  RegDeleteValueW(run.productKey.get(), L"ProductFonts");
  WaitStatus();
}

// 13 and 14.
void RemoveLogAndSharedFiles(Run& run) {
  SetStatus(68);
  SetProgress(5);
  const vk::Streng log = vk::JoinPath(run.dataFolder, u"Install.log");
  if (!run.settings.flag(kKeepInstallLog) && ReachedWithoutLinks(run, log, false)) vk::DeleteFileEx(log);
  RemoveSharedFiles(run.settings.SharedFiles, run);
  RegDeleteValueW(run.productKey.get(), L"SharedFiles");
}

// 15.
void Unpin(const Run& run) {
  UnpinShortcuts(run.data.entries);
  WaitStatus();
}

// 16.
void RemoveInstallerPackages(Run& run) {
  if (run.data.packages.empty()) return;
  SetStatus(108);
  UninstallPackages(run.data.packages, run);
  WaitStatus();
}

// 18. The item pass: files now, folders collected, registry entries deleted.
void RemoveItems(Run& run, const std::vector<vk::String>& entries) {
  size_t done = 0;
  for (const vk::String& line : entries) {
    ++done;
    if (vk::Trim(line).empty()) continue;
    const UninstallEntry entry = ParseUninstallEntry(line);
    const vk::Streng path = vk::DecodeNarrowPath(entry.narrowPath);
    switch (entry.type) {
      case kEntryFolder:
        run.folders.push_back(path);
        break;
      case kEntryRegistryValue:
        DeleteRecordedValue(path, run.settings.Bitness == 1);
        break;
      case kEntryRegistryKey:
        DeleteRecordedKey(path, run.settings.Bitness == 1);
        break;
      case kEntryRegistryKey64:
        DeleteRecordedKey(path, true);
        break;
      default: {
        ShowCurrentItem(run, path);
        SetProgress(FilePassProgress(done, entries.size()));
        if (!ReachedWithoutLinks(run, path, false) || GetFileAttributesW(vk::W(path)) == INVALID_FILE_ATTRIBUTES) break;
        if (vk::DeleteFileEx(path)) {
          run.deletedFiles.insert(LowerPath(path));
        } else {
          run.failureSummary += vk::Format(u"%s %s\r\n", text(58), path);
          AddUninstallEntry(run.data, path, kEntryFile);
        }
      }
    }
  }
}

// 19.
class UninstallDeletions final : public DeletionRun {
public:
  explicit UninstallDeletions(const Run& run) : run_(run) {}
  vk::Streng ExpandMacros(const vk::Streng& t) override { return setup::ExpandMacros(t); }
  // The uninstaller keeps no log file: its notes go to the debugger's output.
  void Log(const vk::Streng& text) override { OutputDebugStringW(vk::W(text)); }
  void LogSuccess(const vk::Streng&) override {}
  void AddFailure(const vk::Streng&) override {}
  void SetRestartNeeded() override {}
  [[noreturn]] void CorruptData(int code) override { setup::corruptInstaller(code, false); }
  bool MayDelete(const vk::Streng& file) override { return ReachedWithoutLinks(run_, file, false); }

private:
  const Run& run_;
};

void CleanUpPendingAndConditional(Run& run) {
  SetProgress(92);
  CleanPendingOperations(run.deletedFiles);
  UninstallDeletions deletions(run);
  RunConditionalDeletions(run.data.conditionalDeletions, false, run.settings.InstallLocation, deletions);
  SetProgress(93);
}

// 20. Deepest first; each with its empty parents inside the installation folder. A folder the
// installation made elsewhere goes alone: its parents belong to the system or to others.
void RemoveFolders(Run& run) {
  const vk::Streng& installFolder = run.settings.InstallLocation;
  run.folders = FoldersDeepestFirst(std::move(run.folders));
  for (vk::Streng folder : run.folders) {
    ShowCurrentItem(run, folder);
    for (size_t level = 0; level < kMaxParentLevels; ++level) {
      if (vk::EqualsNoCase(folder, installFolder) || !ReachedWithoutLinks(run, folder, true) ||
          !vk::RemoveFolderIfEmpty(folder))
        break;
      const vk::Streng parent = vk::PathFolder(folder);
      if (!IsInsideFolder(parent, installFolder)) break;
      folder = parent;
    }
  }
  // A folder that stays is listed again, so that a later run removes it once it is empty.
  for (const vk::Streng& folder : run.folders)
    if (GetFileAttributesW(vk::W(folder)) != INVALID_FILE_ATTRIBUTES) AddUninstallEntry(run.data, folder, kEntryFolder);
  run.folders.clear();
}

// 21.
void WriteRemainingData(Run& run) {
  WriteUninstallDataFile(vk::JoinPath(run.dataFolder, kUninstallDataFileName), run.data);
  ClearUninstallEntries(run.data);
}

// 22. The product's Start Menu folder and its empty parents, never the programs folder itself.
void RemoveStartMenuFolder(const Run& run) {
  const vk::Streng& name = run.settings.ProductStartMenu;
  const vk::Streng programs = SpecialFolder(run.settings.ShortcutMode == 1 ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS);
  if (!vk::Trim(name).empty() && !programs.empty()) {
    vk::Streng folder = vk::JoinPath(programs, name);
    for (size_t level = 0; level < kMaxStartMenuLevels && IsInsideFolder(folder, programs); ++level) {
      if (!vk::RemoveFolderIfEmpty(folder)) break;
      folder = vk::PathFolder(folder);
    }
  }
  WaitStatus();
}

// 23 and 24.
void RemoveRegistry(Run& run) {
  SetStatus(69);
  SetProgress(95);
  const bool view64 = run.settings.Bitness == 1;
  if (!run.settings.ProductRegistry.empty()) {
    RemoveProductRegistry(run.settings.ProductRegistry, view64);
    RegDeleteValueW(run.productKey.get(), L"ProductRegistry");
  }
  RemoveRegistryEntries(run.data.registryEntries, view64);
}

// 25 and 26.
void RemoveFirewallAndDrivers(const Run& run) {
  SetProgress(96);
  RemoveFirewallEntries(run.data.firewall, run.settings.InstallLocation,
                        [](const vk::Streng& t) { return setup::ExpandMacros(t); });
  SetProgress(97);
  UninstallDrivers(run.data.drivers);
}

// 27 and 28.
void RemoveWholeAndSharedFolders(const Run& run) {
  if (run.settings.flag(kDeleteWholeFolder)) DeleteInstallationTree(run.settings.InstallLocation);
  SetProgress(98);
  if (!vk::Trim(run.settings.SharedPath).empty()) vk::RemoveFolderIfEmpty(run.settings.SharedPath);
}

// 29. Only a complete removal gives up the data file and the entry.
void Commit(Run& run) {
  if (!run.failureSummary.empty()) return;
  vk::DeleteFileEx(vk::JoinPath(run.dataFolder, kUninstallDataFileName));
  // The PATH change comes with the system integration (bit 12).
  RunUninstallBatch(run, run.settings.UninstallBatch2, kUninstallBatch2Option, L"UninstallBatch2");
  run.productKey.reset();
  // With any subkeys a vendor may have added, in the view the entry was found in.
  vk::RegKey root;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, vk::W(vk::Streng(kUninstallRoot)), 0, KEY_READ | DELETE | KEY_SET_VALUE | run.view,
                    root.put()) == ERROR_SUCCESS)
    RegDeleteTreeW(root.get(), vk::W(run.givenName));
}

// 30.
void Finish(Run& run) {
  run.productKey.reset();
  const vk::Streng programs = SpecialFolder(run.settings.ShortcutMode == 1 ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS);
  if (!programs.empty()) SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW, vk::W(programs), nullptr);
  SetProgress(100);
#ifndef _WIN64
  if (run.redirectionOff) Wow64RevertWow64FsRedirection(run.redirectionState);
#endif
  if (run.settings.flag(kProgressWindow)) WaitStatus();
}

// 31.
bool End(Run& run) {
  if (!run.failureSummary.empty()) {
    if (!run.quiet) {
      const vk::Streng format = text(10);
      ShowMessage(format.empty() ? run.failureSummary : vk::Format(format, run.failureSummary), text(20),
                  MB_ICONEXCLAMATION);
    }
    return false;
  }
  if (!run.quiet && run.settings.flag2(setup::flag2::UninstallCompletionMessage)) ShowMessage(text(34), text(15), MB_ICONINFORMATION);
  const vk::Streng& program = setup::Context().runAfterProgram;
  const UninstallEnding ending = EndOfUninstall(run.settings.flag(kRestartAtEnd), run.settings.flag(kQuiet),
                                                setup::Context().automaticMode, !program.empty());
  if (ending.runProgram) setup::LaunchProcess(program, setup::LaunchOption::ProgramFolder);
  if (ending.restart == UninstallRestart::Now ||
      (ending.restart == UninstallRestart::Ask && setup::AskYesNo(text(74), text(20))))
    setup::RequestSystemRestart();
  return true;
}

}  // namespace

bool RunUninstall(const vk::Streng& productName) {
  Run run;
  run.givenName = productName;
  if (!FindProduct(run) || !ReadSettings(run)) return false;
  g_outcome = {run.settings.NotifyURL, run.settings.InstallLocation, run.settings.UninstallSubdir};
  if (!run.settings.flag(kNoBackground) && !setup::Context().silentMode) CreateBackgroundWindow(run);
  if (!LoadUninstallData(run)) return false;
  ClosePrograms(setup::kClosePhaseUninstall);
  if (!Confirm(run)) return false;
  ClosePrograms(setup::kClosePhaseUninstallLate);
  OpenProgressWindow(run);
  RunUninstallBatch(run, run.settings.UninstallBatch1, kUninstallBatch1Option, L"UninstallBatch1");
  RestoreFileAssociations(run);
  RemoveProductFonts(run);
  RemoveLogAndSharedFiles(run);
  Unpin(run);
  RemoveInstallerPackages(run);
  SetProgress(10);
  const std::vector<vk::String> entries = run.data.entries;
  ClearUninstallEntries(run.data);
  RemoveItems(run, entries);
  CleanUpPendingAndConditional(run);
  RemoveFolders(run);
  WriteRemainingData(run);
  RemoveStartMenuFolder(run);
  RemoveRegistry(run);
  RemoveFirewallAndDrivers(run);
  RemoveWholeAndSharedFolders(run);
  Commit(run);
  Finish(run);
  return End(run);
}

const UninstallOutcome& LastUninstall() { return g_outcome; }

}  // namespace uninstall
