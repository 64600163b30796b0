#pragma once
// Path macros: words between percent signs such as %InstallDir% that every path, name and text of
// the installation data may contain, the angle-bracket placeholders of the wizard's names and the
// <file> placeholder of registration commands.
//
// The expansion itself is pure: it reads every value through a MacroValues provider, which the
// engine implements over the system (SystemMacroValues, setup/system_folders.h) and the tests
// implement with fixed values. A value is asked for only when its macro occurs in the text.
#include <cstdint>
#include <optional>
#include <string_view>

#include "lib/strings.h"

namespace setup {

// The installation context's values that the macros read. The engine fills it from the
// InstallContext just before it expands, so that the values are those of the moment.
struct MacroContext {
  bool automaticMode = false;
  int Bitness = 0;       // 1: a 64-bit product
  int ShortcutMode = 0;  // 1: the all-users desktop and Start Menu
  bool portable = false;
  uint64_t ProductFlags = 0;  // bit 58: an empty DesktopFolder takes the product name
  vk::Streng productName;
  vk::Streng productDescription;  // for "<description>"
  vk::Streng companyName;
  vk::Streng version;
  vk::Streng oldVersion;  // the previous installation's version, empty when none
  vk::Streng installDir;
  vk::Streng sharedDir;
  vk::Streng UninstallSubdir;    // %UninstallDir% is the installation folder joined with it
  vk::Streng startMenuFolder;    // the chosen Start Menu folder name
  vk::Streng DesktopFolder;
  // The operating-system description of the install log (flags 4: name, 0: description); the
  // two OS text macros are empty while it is not set.
  vk::Streng (*describeOperatingSystem)(unsigned flags) = nullptr;
};

// The operating-system facts behind %OS%, %OSMajor%, %OSMinor%, %OSServer% and %Bits%.
struct OsInfo {
  bool ntPlatform = true;
  uint32_t major = 0, minor = 0, build = 0;
  uint8_t productType = 1;  // VER_NT_WORKSTATION 1, VER_NT_DOMAIN_CONTROLLER 2, VER_NT_SERVER 3
  uint32_t productInfo = 0; // what GetProductInfo reports (6.0 and later)
  bool windows64 = false;   // native 64-bit Windows
  // The two 5.2 edition tests: a Home Server (the suite mask's VER_SUITE_WH_SERVER) and a
  // Server 2003 R2 (SM_SERVERR2). The first wins.
  bool homeServer52 = false;
  bool serverR252 = false;
};

constexpr uint32_t kProductHomeServer2011 = 0x22;

// The %OS% code.
int OperatingSystemCode(const OsInfo& os);
// %OSServer%: a server or a domain controller.
inline bool IsServerProductType(uint8_t productType) { return productType == 2 || productType == 3; }

// Bitness modes of the Program Files and Common Files look-ups.
enum FolderBits : int {
  kBits32 = 1,      // the 32-bit folder
  kBits64 = 2,      // the 64-bit folder
  kBitsNative = 3,  // the folder native to the running process
  kBits64IfAny = 4, // the 64-bit folder where there is one
};

// The mode that a look-up really uses: on 32-bit Windows always native; on 64-bit Windows
// "64 where available" is 64 and "32-bit" is native for a 32-bit process. A 64-bit process keeps
// "32-bit" as its own explicit request, since its native folder is the 64-bit one.
int NormaliseBitsMode(int mode, bool windows64, bool process64);

// Values that are not plain folders of the shell.
enum class SystemFolder {
  AppDataAll, AppData,
  BootDrive,  // "D:"
  DesktopAll, Desktop,
  Device,
  DocumentAll, Document,
  FavoritesAll, Favorites,
  Fonts,
  Inetpub,
  Media,
  SMProgramsAll, SMPrograms,
  StartMenuAll, StartMenu,
  StartupAll, Startup,
  System,
  Windows,
};

class MacroValues {
public:
  virtual ~MacroValues() = default;

  virtual const MacroContext& context() const = 0;
  // One folder of the table, its whole chain of sources.
  virtual vk::Streng folder(SystemFolder which) const = 0;
  // Program Files and Common Files for a normalised mode (kBits32 only in a 64-bit process).
  virtual vk::Streng programFiles(int mode) const = 0;
  virtual vk::Streng commonFiles(int mode) const = 0;
  virtual bool process64() const = 0;
  // The running executable's full path.
  virtual vk::Streng installerPath() const = 0;
  virtual vk::Streng tempFolder() const = 0;
  virtual const OsInfo& osInfo() const = 0;
  // An environment variable, nothing when it is not set.
  virtual std::optional<vk::Streng> environment(std::u16string_view name) const = 0;
};

// Replaces every macro of the table, in table order, then the environment variables. A macro
// inside an earlier macro's value is replaced by its own later pass; a value is never searched
// again for the macro that produced it. Unknown %words% stay as they are.
void ExpandMacros(vk::Streng& text, const MacroValues& values);

// One macro's own value, its name given without the percent signs in the table's letter case
// ("InstallDir"); nothing for a name that is not in the table. Unlike an expansion of "%name%",
// nothing inside the value is expanded further.
std::optional<vk::Streng> MacroValue(std::u16string_view name, const MacroValues& values);

// The same for a text that then serves as a format of vk::Format: every "%" that an inserted value
// brings in is doubled, so that no value can act as a conversion. The text's own conversions
// ("%s", "%%") are kept as they stand.
void ExpandMacrosForFormat(vk::Streng& text, const MacroValues& values);

// The same, returning the result.
inline vk::Streng ExpandedMacros(std::u16string_view text, const MacroValues& values) {
  vk::Streng out(text);
  ExpandMacros(out, values);
  return out;
}
inline vk::Streng ExpandedMacrosForFormat(std::u16string_view text, const MacroValues& values) {
  vk::Streng out(text);
  ExpandMacrosForFormat(out, values);
  return out;
}

// "<product>", "<description>" and "<os>" (the Windows folder), without regard to case, all
// occurrences, in that order.
void ExpandPlaceholders(vk::Streng& text, std::u16string_view productName,
                        std::u16string_view description, std::u16string_view windowsDir);
void ExpandPlaceholders(vk::Streng& text, const MacroValues& values);

// "<file>" of a registration command (case-sensitive), all occurrences.
void ExpandFilePlaceholder(vk::Streng& command, std::u16string_view filePath);

// Text decisions behind some folder values, kept here so that they are tested on the host.

// A registry folder of four or more characters loses one trailing backslash; a drive root stays.
vk::Streng TrimRegistryFolder(vk::Streng value);
// The path less its last component and the separator before it.
vk::Streng ParentPath(std::u16string_view path);
// "D:" from a "BootDir" value; "C:" when it does not start with a letter and a colon.
vk::Streng BootDriveFromValue(std::u16string_view bootDir);
// "DevicePath" cut at its first ';', its first %SystemRoot% replaced by systemRoot when that is
// not empty.
vk::Streng DeviceDirFromValue(std::u16string_view devicePath, std::u16string_view systemRoot);
// The web root's parent: trailing backslash, last component, trailing backslash removed.
vk::Streng InetpubFromWebRoot(std::u16string_view webRoot);
// The first " (x86)" removed (case-sensitive).
vk::Streng WithoutX86(std::u16string_view path);
// Upper-case drive letter and colon, empty when the path does not start with a letter and ':'.
vk::Streng DriveOfPath(std::u16string_view path);
// %Existing%: 0 without a previous version, else 1 equal, 2 previous older, 3 previous newer.
int ExistingCode(std::u16string_view oldVersion, std::u16string_view version);

}  // namespace setup
