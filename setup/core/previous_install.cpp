#include "setup/core/previous_install.h"

#include "setup/core/version_compare.h"

namespace setup {

namespace {

bool Blank(std::u16string_view text) { return vk::Trim(text).empty(); }

bool IsLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool SameFolder(std::u16string_view a, std::u16string_view b) {
  while (a.size() > 3 && a.back() == u'\\') a.remove_suffix(1);
  while (b.size() > 3 && b.back() == u'\\') b.remove_suffix(1);
  return !a.empty() && vk::EqualsNoCase(a, b);
}

bool IsUnc(std::u16string_view p) { return p.size() > 2 && p[0] == u'\\' && p[1] == u'\\'; }

}  // namespace

RunClassification ClassifyRun(bool compareVersions, std::u16string_view previousVersion,
                              std::u16string_view newVersion) {
  if (!compareVersions || Blank(previousVersion) || Blank(newVersion)) return {RunKind::Reinstall, 3};
  const int order = CompareProductVersion(previousVersion, newVersion);
  if (order < 0) return {RunKind::Upgrade, 5};
  if (order > 0) return {RunKind::Downgrade, 6};
  return {RunKind::Reinstall, 4};
}

bool MustUninstallFirst(bool mustUninstallOption, std::u16string_view upgradeFloor,
                        std::u16string_view previousVersion) {
  if (!mustUninstallOption) return false;
  return Blank(upgradeFloor) || CompareProductVersion(previousVersion, upgradeFloor) < 0;
}

bool DowngradeRefused(std::u16string_view noDowngradeBelow, std::u16string_view newVersion) {
  const vk::Streng floor = vk::Trim(noDowngradeBelow);
  return !floor.empty() && CompareProductVersion(newVersion, floor) < 0;
}

bool AsksSecondUpgradeQuestion(bool option, std::u16string_view previousVersion, std::u16string_view warningVersion) {
  if (!option || Blank(previousVersion)) return false;
  return Blank(warningVersion) || CompareProductVersion(warningVersion, previousVersion) > 0;
}

vk::Streng MustUninstallCommand(std::u16string_view uninstallString, std::u16string_view ownCommandLine) {
  vk::Streng own(ownCommandLine);
  for (char16_t& c : own)
    if (c == u'"') c = u'`';
  return vk::Streng(uninstallString) + u" /r:\"" + own + u"\"";
}

std::optional<RegistryValueReference> ParseRegistryValueReference(std::u16string_view text) {
  RegistryValueReference ref;
  if (vk::StartsWithNoCase(text, u"HKLM\\")) {
    ref.root = RegistryRoot::LocalMachine;
  } else if (vk::StartsWithNoCase(text, u"HKCU\\")) {
    ref.root = RegistryRoot::CurrentUser;
  } else {
    return std::nullopt;
  }
  const std::u16string_view rest = text.substr(5);
  const size_t last = rest.rfind(u'\\');
  if (last == std::u16string_view::npos) {
    ref.value = vk::Streng(rest);
  } else {
    ref.key = vk::Streng(rest.substr(0, last));
    ref.value = vk::Streng(rest.substr(last + 1));
  }
  return ref;
}

vk::Streng NormaliseChosenFolder(std::u16string_view folder) {
  vk::Streng out = vk::Trim(folder);
  if (!out.empty() && out.back() == u'\\') out.pop_back();
  return out;
}

FolderRefusal CheckChosenFolder(std::u16string_view folder, const std::vector<vk::Streng>& specialFolders,
                                const std::vector<vk::Streng>& programFiles) {
  if (folder.empty()) return FolderRefusal::Empty;
  const bool drivePath = folder.size() >= 2 && IsLetter(folder[0]) && folder[1] == u':';
  if (!(drivePath && (folder.size() == 2 || folder[2] == u'\\')) && !IsUnc(folder)) return FolderRefusal::NotFullPath;
  if (drivePath && folder.find_first_not_of(u'\\', 2) == std::u16string_view::npos) return FolderRefusal::DriveRoot;
  if (IsUnc(folder)) {
    // "\\server\share" is the root of a network drive.
    const size_t share = folder.find(u'\\', 2);
    if (share == std::u16string_view::npos || folder.find(u'\\', share + 1) == std::u16string_view::npos)
      return FolderRefusal::DriveRoot;
  }
  for (const vk::Streng& special : specialFolders)
    if (SameFolder(folder, special)) return FolderRefusal::SpecialFolder;
  for (const vk::Streng& programs : programFiles)
    if (SameFolder(folder, programs)) return FolderRefusal::ProgramFiles;
  return FolderRefusal::None;
}

int RefusalText(FolderRefusal refusal) {
  switch (refusal) {
    case FolderRefusal::NotFullPath: return 96;
    case FolderRefusal::DriveRoot: return 14;
    case FolderRefusal::SpecialFolder: return 66;
    case FolderRefusal::ProgramFiles: return 18;
    default: return 0;
  }
}

vk::Streng FolderDrive(std::u16string_view folder) {
  if (folder.size() >= 2 && IsLetter(folder[0]) && folder[1] == u':') return vk::Streng(folder.substr(0, 2));
  if (!IsUnc(folder)) return {};
  const size_t share = folder.find(u'\\', 2);
  if (share == std::u16string_view::npos) return {};
  return vk::Streng(folder.substr(0, folder.find(u'\\', share + 1)));
}

bool SpaceCheckApplies(bool skipForNonAsciiPaths, std::u16string_view folder) {
  if (!skipForNonAsciiPaths) return true;
  for (char16_t c : folder)
    if (c > 127) return false;
  return true;
}

}  // namespace setup
