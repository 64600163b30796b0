#include "setup/install_folders.h"

#include "lib/narrow_path.h"
#include "lib/win32/fileops.h"
#include "lib/win32/system_error.h"
#include "setup/core/settings.h"
#include "setup/engine_macros.h"
#include "setup/install_context.h"
#include "setup/install_log.h"
#include "setup/reboot.h"
#include "setup/system_folders.h"

namespace setup {

namespace {

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

void CreateLogged(const vk::Streng& folder, const char16_t* what) {
  if (folder.empty()) return;
  if (const uint32_t error = CreateFolderTree(folder))
    LogFailureW(u"Failed to create %s folder \"%s\": %s", what, folder, vk::SystemErrorText(error));
}

}  // namespace

void ChooseInstallFolder() {
  InstallContext& c = Context();
  const InstallSettings& s = c.settings;
  vk::Streng folder = c.overridePath.empty()
                          ? ResolveDefaultInstallFolder(s.DefaultInstallFolder, s.ProductName, s.Bitness, EngineFolders())
                          : c.overridePath;
  c.installDir = WithoutTrailingBackslash(vk::Trim(folder));
  // A master product's folder or a registry reference is resolved with the previous-installation
  // rules; until then such a folder, or any other that is not absolute, must not send files to
  // wherever the current folder happens to be: they go under Program Files.
  if (!IsAbsolute(c.installDir)) {
    const EngineFolders folders;
    c.installDir = vk::JoinPath(s.Bitness == 1 ? folders.programFiles64() : folders.programFiles32(), s.ProductName);
  }
  c.portable = vk::IsOnRemovableDrive(c.installDir);
  CreateFolderTree(c.installDir);  // a failure shows where the files go: each entry reports it
  c.startMenuFolder = ExpandMacros(s.ProductStartMenu);
}

void CreateDataFolders() {
  InstallContext& c = Context();
  const InstallSettings& s = c.settings;
  c.uninstallDir = s.UninstallSubdir.empty() ? c.installDir : vk::JoinPath(c.installDir, s.UninstallSubdir);
  if (!s.UninstallSubdir.empty()) CreateLogged(c.uninstallDir, u"uninstall data");
  if (!s.hasFlag(kFlagUninstallData)) return;
  if (!s.SharedSubfolder.empty() && c.portable) {
    c.sharedDir = vk::JoinPath(c.installDir, s.SharedSubfolder);
  } else {
    const vk::Streng shared = ExpandMacros(s.SharedPath);
    c.sharedDir = shared.empty() || IsAbsolute(shared) ? shared : vk::JoinPath(SharedBase(s.SharedFolderBase, s.Bitness), shared);
  }
  CreateLogged(c.sharedDir, u"shared");
}

}  // namespace setup
