#include "setup/install_folders.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "lib/byte_size.h"
#include "lib/format.h"
#include "lib/narrow_path.h"
#include "lib/win32/fileops.h"
#include "lib/win32/system_error.h"
#include "setup/core/product_flags.h"
#include "setup/core/settings.h"
#include "setup/core/previous_install.h"
#include "setup/engine_macros.h"
#include "setup/engine_services.h"
#include "setup/errors.h"
#include "setup/install_context.h"
#include "setup/install_log.h"
#include "setup/launch_process.h"
#include "setup/notifications.h"
#include "setup/previous_installation.h"
#include "setup/reboot.h"
#include "setup/startup.h"
#include "setup/system_folders.h"
#include "ui/wizard_pages.h"

namespace setup {

namespace {

enum : int {
  kFlagMustUninstall = 0,
  kFlagFolderPage = 7,
  kFlagNoConfirmation = 28,
  kFlagStartMenuPage = 34,
  kFlagCompareVersions = 36,
  kFlagSecondUpgradeQuestion = 44,
};

int Normalised(int mode) { return NormaliseBitsMode(mode, OperatingSystemInfo().windows64, sizeof(void*) == 8); }

class EngineFolders final : public FolderProvider {
public:
  vk::Streng windowsFolder() const override { return FolderPath(SystemFolder::Windows); }
  vk::Streng programFiles32() const override { return ProgramFilesFolder(Normalised(kBits32)); }
  vk::Streng programFiles64() const override { return ProgramFilesFolder(Normalised(kBits64)); }
  vk::Streng expandMacros(const vk::Streng& text) const override { return ExpandMacros(text); }
};

vk::Streng WithoutTrailingBackslash(vk::Streng path) {
  // A drive root keeps its backslash: "C:" alone would mean the drive's current folder.
  if (path.size() > 3 && path.back() == u'\\') path.pop_back();
  return path;
}

// The base of a relative shared folder, by the data's shared-folder byte: 1 the 32-bit Common
// Files, 2 the 64-bit one, 3 the installation folder, anything else Common Files by bitness.
vk::Streng SharedBase(uint8_t base, uint8_t bitness) {
  switch (base) {
    case 1: return CommonFilesFolder(Normalised(kBits32));
    case 2: return CommonFilesFolder(Normalised(kBits64IfAny));
    case 3: return Context().installDir;
    default: return CommonFilesFolder(Normalised(bitness == 1 ? kBits64IfAny : kBits32));
  }
}

bool IsAbsolute(const vk::Streng& p) {
  return (p.size() >= 2 && p[1] == u':') || (p.size() >= 2 && p[0] == u'\\' && p[1] == u'\\');
}

bool IsMasterPlaceholder(const vk::Streng& folder) { return folder.size() == 8 && vk::EqualsNoCase(folder, u"<master>"); }

void Notice(const vk::Streng& message) {
  if (WindowsAllowed())
    MessageBoxW(nullptr, vk::W(message), vk::W(text(65)), MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

// A folder kept in a registry value: it must be named there and exist.
vk::Streng FolderFromRegistry(const vk::Streng& reference) {
  const vk::Streng stored = vk::Trim(ReadReferencedValue(reference));
  if (stored.empty()) refuseInstallation(vk::Format(u"Failed to obtain installation path from \"%s\"", reference));
  const vk::Streng folder = WithoutTrailingBackslash(ExpandMacros(stored));
  if (!vk::IsFolder(folder))
    refuseInstallation(vk::Format(u"Installation path \"%s\" obtained from \"%s\" does not exist.", folder, reference));
  return folder;
}

// Over an earlier installation: it may have to go first, it may refuse an older version, and
// the user confirms the kind of run.
void InstallOverPreviousInstallation() {
  InstallContext& c = Context();
  const InstallSettings& s = c.settings;
  const UninstallEntry entry = FindInstalledProduct(s.UninstallKeyName);
  if (MustUninstallFirst(s.hasFlag(kFlagMustUninstall), s.UpgradeFloor, c.previousVersion)) {
    // The user must see this even in a scripted run.
    c.automaticMode = false;
    const vk::Streng& uninstall = entry.QuietUninstallString.empty() ? entry.UninstallString : entry.QuietUninstallString;
    if (uninstall.empty()) refuseInstallation(text(9));
    if (ui::ShowMustUninstall())
      LaunchProcess(MustUninstallCommand(uninstall, vk::FromW(GetCommandLineW())),
                    LaunchOption::ErrorBox | LaunchOption::ProgramFolder);
    exitInstaller(1);
  }
  if (DowngradeRefused(entry.NoDowngradeBelow, s.DisplayVersion)) {
    if (!c.automaticMode) showError(vk::Format(formatText(106), vk::Trim(entry.NoDowngradeBelow)));
    exitInstaller(1);
  }
  const RunClassification run = ClassifyRun(s.hasFlag(kFlagCompareVersions), c.previousVersion, s.DisplayVersion);
  c.runKind = run.kind;
  if (c.automaticMode || s.hasFlag(kFlagNoConfirmation)) return;
  if (!AskYesNo(vk::Format(formatText(run.kindText), c.previousFolder, text(7)), text(2))) cancelInstallation();
  if (AsksSecondUpgradeQuestion(s.hasFlag(kFlagSecondUpgradeQuestion), c.previousVersion,
                                vk::Cp1252ToStreng(s.WarningVersion)) &&
      !AskYesNo(text(72), text(20))) {
    QueueNotification(vk::AnsiToStreng(s.CancelAddress), false);
    exitInstaller(1);
  }
}

// The user's own folders, which must not become an installation folder.
std::vector<vk::Streng> SpecialFolders() {
  static constexpr int kFolders[] = {
      CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL,         CSIDL_FAVORITES,         CSIDL_STARTMENU,
      CSIDL_PROGRAMS,         CSIDL_STARTUP,          CSIDL_APPDATA,           CSIDL_LOCAL_APPDATA,
      CSIDL_MYMUSIC,          CSIDL_MYPICTURES,       CSIDL_MYVIDEO,           CSIDL_PROFILE,
      CSIDL_TEMPLATES,        CSIDL_SENDTO,           CSIDL_RECENT,            CSIDL_WINDOWS,
      CSIDL_SYSTEM,           CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_STARTMENU,
      CSIDL_COMMON_PROGRAMS,  CSIDL_COMMON_APPDATA,
  };
  std::vector<vk::Streng> folders;
  for (int csidl : kFolders)
    if (vk::Streng path = ShellFolderPath(csidl); !path.empty()) folders.push_back(std::move(path));
  return folders;
}

std::vector<vk::Streng> ProgramFilesFolders() {
  const EngineFolders folders;
  return {folders.programFiles32(), folders.programFiles64()};
}

uint64_t FreeBytes(const vk::Streng& drive) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(vk::W(drive + u"\\"), &available, nullptr, nullptr)) return UINT64_MAX;
  return available.QuadPart;
}

// A file made and removed again: the folder takes the installation.
bool CanWriteInto(const vk::Streng& folder) {
  wchar_t name[MAX_PATH + 1];
  if (folder.size() > MAX_PATH - 14 || !GetTempFileNameW(vk::W(folder), L"bsw", 0, name)) return false;
  DeleteFileW(name);
  return true;
}

// One pass of the folder page's checks; true when the folder takes the installation.
bool AcceptChosenFolder(const vk::Streng& folder, uint64_t neededBytes) {
  const InstallContext& c = Context();
  const FolderRefusal refusal = CheckChosenFolder(folder, SpecialFolders(), ProgramFilesFolders());
  if (refusal != FolderRefusal::None) {
    Notice(refusal == FolderRefusal::NotFullPath ? vk::Format(formatText(96), folder) : text(RefusalText(refusal)));
    return false;
  }
  const vk::Streng drive = FolderDrive(folder);
  const UINT type = GetDriveTypeW(vk::W(drive + u"\\"));
  if (type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN) {
    Notice(vk::Format(formatText(16), drive));
    return false;
  }
  if (SpaceCheckApplies(c.ProductFlags2 & (1u << flag2::NoSpaceCheckForUnicodePaths), folder)) {
    const uint64_t free = FreeBytes(drive);
    if (free < neededBytes &&
        !AskYesNo(vk::Format(formatText(19), vk::ByteSizeText(neededBytes), vk::ByteSizeText(free), drive), text(20)))
      return false;
  }
  const bool exists = vk::IsFolder(folder);
  if (!AskYesNo(vk::Format(formatText(exists ? 22 : 23), folder), text(65))) return false;
  if ((!exists && CreateFolderTree(folder) != 0) || !CanWriteInto(folder)) {
    Notice(vk::Format(formatText(73), folder));
    return false;
  }
  return true;
}

// A new installation: the given folder, made absolute; created at once in automatic mode, or
// offered on the folder page until the user settles on one that passes its checks.
vk::Streng NewInstallationFolder(const vk::Streng& proposal, uint64_t neededBytes) {
  InstallContext& c = Context();
  const InstallSettings& s = c.settings;
  // A relative folder (from /d:) must not send files to wherever the current folder happens to
  // be: it goes under Program Files as given.
  vk::Streng folder = FolderUnderProgramFiles(WithoutTrailingBackslash(vk::Trim(proposal)), s.Bitness, EngineFolders());
  if (c.automaticMode || !s.hasFlag(kFlagFolderPage) || !WindowsAllowed()) {
    if (c.automaticMode) CreateFolderTree(folder);  // a failure shows where the files go: each entry reports it
    return folder;
  }
  for (;;) {
    vk::Streng chosen = folder;
    if (!ui::ChooseInstallFolder(chosen)) cancelInstallation();
    chosen = NormaliseChosenFolder(chosen);
    if (chosen.empty()) continue;
    folder = chosen;
    if (AcceptChosenFolder(chosen, neededBytes)) return chosen;
  }
}

// The Start Menu folder: an earlier installation's, else the product's, which the user may
// change on its page.
void ChooseStartMenuFolder() {
  InstallContext& c = Context();
  const InstallSettings& s = c.settings;
  if (c.previousInstallExists && !c.previousStartMenu.empty()) {
    c.startMenuFolder = c.previousStartMenu;
    return;
  }
  c.startMenuFolder = ExpandMacros(s.ProductStartMenu);
  const bool skipForPortable = c.portable && (c.ProductFlags2 & (1u << flag2::NoShortcutsOnRemovable));
  if (c.previousInstallExists || c.automaticMode || !s.hasFlag(kFlagStartMenuPage) || skipForPortable) return;
  if (!ui::ChooseStartMenuFolder(c.startMenuFolder)) cancelInstallation();
}

void CreateLogged(const vk::Streng& folder, const char16_t* what) {
  if (folder.empty()) return;
  if (const uint32_t error = CreateFolderTree(folder))
    LogFailureW(u"Failed to create %s folder \"%s\": %s", what, folder, vk::SystemErrorText(error));
}

}  // namespace

vk::Streng DefaultInstallFolder() {
  const InstallContext& c = Context();
  const InstallSettings& s = c.settings;
  const vk::Streng folder = ResolveDefaultInstallFolder(s.DefaultInstallFolder, s.ProductName, s.Bitness, EngineFolders());
  return IsMasterPlaceholder(folder) && !c.masterFolder.empty() ? c.masterFolder : folder;
}

bool DefaultFolderIsMaster() { return IsMasterPlaceholder(DefaultInstallFolder()); }

void ChooseInstallFolder(uint64_t neededBytes) {
  InstallContext& c = Context();
  const InstallSettings& s = c.settings;
  const vk::Streng defaultFolder = DefaultInstallFolder();
  if (ParseRegistryValueReference(defaultFolder)) {
    c.installDir = FolderFromRegistry(defaultFolder);
  } else if (s.hasFlag(flag::Uninstaller) && c.previousInstallExists) {
    InstallOverPreviousInstallation();
    c.installDir = WithoutTrailingBackslash(c.previousFolder);
  } else {
    c.installDir = NewInstallationFolder(c.overridePath.empty() ? defaultFolder : c.overridePath, neededBytes);
  }
  c.portable = vk::IsOnRemovableDrive(c.installDir);
  ChooseStartMenuFolder();
}

void PrepareFolders() {
  InstallContext& c = Context();
  const InstallSettings& s = c.settings;
  c.uninstallDir = s.UninstallSubdir.empty() ? c.installDir : vk::JoinPath(c.installDir, s.UninstallSubdir);
  if (!s.UninstallSubdir.empty()) CreateLogged(c.uninstallDir, u"uninstall data");
  if (!s.hasFlag(flag::Uninstaller)) return;
  if (!s.SharedSubfolder.empty() && c.portable) {
    c.sharedDir = vk::JoinPath(c.installDir, s.SharedSubfolder);
  } else {
    const vk::Streng shared = ExpandMacros(s.SharedPath);
    c.sharedDir = shared.empty() || IsAbsolute(shared) ? shared : vk::JoinPath(SharedBase(s.SharedFolderBase, s.Bitness), shared);
  }
  CreateLogged(c.sharedDir, u"shared");
}

}  // namespace setup
