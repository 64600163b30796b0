#include "setup/previous_installation.h"

#include <windows.h>

#include "lib/format.h"
#include "lib/narrow_path.h"
#include "lib/win32/fileops.h"
#include "lib/win32/handle.h"
#include "setup/core/previous_install.h"
#include "setup/core/product_flags.h"
#include "setup/core/version_compare.h"
#include "setup/engine_macros.h"
#include "setup/errors.h"
#include "setup/install_context.h"
#include "setup/install_folders.h"
#include "setup/registry_values.h"
#include "uninstall/product_key.h"

namespace setup {

namespace {

// ProductFlags2 bit 13: the previous-installation text names a file of the earlier installation.

vk::Streng Text(HKEY key, const char16_t* name) {
  vk::Streng value;
  return ReadRegistryText(key, name, value) ? value : vk::Streng();
}

// The previous folder named by the previous-installation text: the registry value it names, or,
// when the product says so, the folder of the file it names.
vk::Streng FolderFromPreviousInstallText() {
  const InstallContext& c = Context();
  const vk::Streng reference = vk::Trim(vk::Cp1252ToStreng(c.settings.PreviousInstallText));
  if (reference.empty()) return {};
  if (c.ProductFlags2 & (1u << flag2::PreviousInstallFileOperation)) {
    const vk::Streng file = ExpandMacros(reference);
    return vk::IsFile(file) ? vk::PathFolder(file) : vk::Streng();
  }
  return ReadReferencedValue(reference);
}

}  // namespace

UninstallEntry FindInstalledProduct(const vk::Streng& name) {
  UninstallEntry entry;
  if (name.empty()) return entry;
  const vk::Streng path = vk::Streng(uninstall::kUninstallRoot) + u"\\" + name;
  vk::RegKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, vk::W(path), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put()) != ERROR_SUCCESS)
    return entry;
  entry.UninstallString = Text(key.get(), u"UninstallString");
  entry.QuietUninstallString = Text(key.get(), u"QuietUninstallString");
  entry.installed = !entry.UninstallString.empty() || !entry.QuietUninstallString.empty();
  entry.InstallLocation = Text(key.get(), u"InstallLocation");
  entry.DisplayVersion = Text(key.get(), u"DisplayVersion");
  entry.ProductStartMenu = Text(key.get(), u"ProductStartMenu");
  entry.NoDowngradeBelow = Text(key.get(), u"NoDowngradeBelow");
  entry.SharedFiles = vk::StrengToAnsi(Text(key.get(), u"SharedFiles"));
  return entry;
}

vk::Streng ReadReferencedValue(const vk::Streng& reference) {
  const std::optional<RegistryValueReference> ref = ParseRegistryValueReference(reference);
  if (!ref) return {};
  vk::RegKey key;
  if (RegOpenKeyExW(RootKeyOf(ref->root), vk::W(ref->key), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, key.put()) !=
      ERROR_SUCCESS)
    return {};
  return Text(key.get(), ref->value.c_str());
}

void CheckMasterProduct() {
  InstallContext& c = Context();
  const InstallSettings& s = c.settings;
  if (!s.hasFlag(flag::RequiresMasterProduct)) return;
  const bool intoMasterFolder = DefaultFolderIsMaster();
  const UninstallEntry master = FindInstalledProduct(s.MasterProductName);
  const bool found = master.installed && !(intoMasterFolder && master.InstallLocation.empty());
  if (!found) {
    refuseInstallation(vk::Format(formatText(12), s.MasterProductTitle));
  }
  if (!vk::Trim(s.MinimumMasterVersion).empty() &&
      CompareProductVersion(master.DisplayVersion, s.MinimumMasterVersion) < 0) {
    refuseInstallation(vk::Format(formatText(112), s.MinimumMasterVersion, s.MasterProductTitle));
  }
  if (intoMasterFolder) c.masterFolder = master.InstallLocation;
}

void LookUpPreviousInstallation() {
  InstallContext& c = Context();
  if (!c.settings.hasFlag(flag::Uninstaller)) return;
  const UninstallEntry entry = FindInstalledProduct(c.settings.UninstallKeyName);
  c.previousFolder = vk::Trim(entry.InstallLocation);
  if (c.previousFolder.empty()) c.previousFolder = vk::Trim(FolderFromPreviousInstallText());
  c.previousInstallExists = !c.previousFolder.empty() && vk::IsFolder(c.previousFolder);
  if (!c.previousInstallExists) {
    // A recorded installation whose folder has gone is no installation: a fresh run.
    c.previousFolder.clear();
    return;
  }
  c.previousVersion = vk::Trim(entry.DisplayVersion);
  c.previousSharedFiles = entry.SharedFiles;
  c.previousStartMenu = entry.ProductStartMenu;
}

}  // namespace setup
