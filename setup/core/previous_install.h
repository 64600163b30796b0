#pragma once
// The decisions about an earlier installation and the chosen installation folder, pure so that
// they are tested on the host: the kind of run, the must-uninstall and no-downgrade rules, the
// command that hands the run to the old uninstaller, registry references to a folder, and the
// checks a folder must pass before the installation goes into it.
#include <optional>
#include <string_view>
#include <vector>

#include "lib/strings.h"
#include "setup/core/registry_path.h"

namespace setup {

enum class RunKind { Fresh, Upgrade, Downgrade, Reinstall };

struct RunClassification {
  RunKind kind = RunKind::Reinstall;
  int kindText = 3;  // the question's text: 3 plain reinstallation, 4 same version, 5 upgrade, 6 downgrade
};

// Over an existing installation. Without the comparison option, or with either version blank,
// the run is a plain reinstallation that compares nothing.
RunClassification ClassifyRun(bool compareVersions, std::u16string_view previousVersion,
                              std::u16string_view newVersion);

// The old installation must be removed first, unless an upgrade floor is set and the installed
// version has reached it.
bool MustUninstallFirst(bool mustUninstallOption, std::u16string_view upgradeFloor,
                        std::u16string_view previousVersion);

// The new version is below the entry's "NoDowngradeBelow" (white space around it ignored).
bool DowngradeRefused(std::u16string_view noDowngradeBelow, std::u16string_view newVersion);

// The second upgrade question: asked for a known previous version below the warning version, or
// for any known previous version when there is no warning version.
bool AsksSecondUpgradeQuestion(bool option, std::u16string_view previousVersion, std::u16string_view warningVersion);

// The old uninstaller's command with this installer's own command line behind /r:, its double
// quotes turned into back-quotes, so that the uninstaller starts this installer again.
vk::Streng MustUninstallCommand(std::u16string_view uninstallString, std::u16string_view ownCommandLine);

// "HKLM\key\value" or "HKCU\key\value": a folder kept in a registry value. The value name is the
// last component; nullopt for a text that is no such reference.
struct RegistryValueReference {
  RegistryRoot root = RegistryRoot::None;
  vk::Streng key;
  vk::Streng value;
};
std::optional<RegistryValueReference> ParseRegistryValueReference(std::u16string_view text);

// Trimmed, without a trailing backslash.
vk::Streng NormaliseChosenFolder(std::u16string_view folder);

// Why a chosen folder cannot take the installation; the text shown for each is RefusalText's.
enum class FolderRefusal { None, Empty, NotFullPath, DriveRoot, SpecialFolder, ProgramFiles };
// folder as NormaliseChosenFolder gives it. specialFolders: the user's shell folders (desktop,
// documents, ...); programFiles: the Program Files folders themselves. Compared without regard to
// case or a trailing backslash.
FolderRefusal CheckChosenFolder(std::u16string_view folder, const std::vector<vk::Streng>& specialFolders,
                                const std::vector<vk::Streng>& programFiles);
int RefusalText(FolderRefusal refusal);  // 0 for None and Empty

// The folder's drive as "C:", or "\\server\share" for a network path; empty when there is none.
vk::Streng FolderDrive(std::u16string_view folder);

// The disk-space check is skipped for a folder that is not plain 7-bit text when the product
// asks for that.
bool SpaceCheckApplies(bool skipForNonAsciiPaths, std::u16string_view folder);

}  // namespace setup
