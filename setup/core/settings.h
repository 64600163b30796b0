#pragma once
// The product's settings as the settings block stores them, in stream order.
//
// ReadSettings fills InstallSettings from the unpacked block (the engine); WriteSettings writes
// the same records (the builder). ApplyDefaults then fills the empty fields that have a default.
//
// Text kinds. "8" = vk::String (bytes kept as stored), "W" = vk::Streng (UTF-16LE in the block).
// Fields read with readZ8 are always 8-bit and readZ16 always wide; for the length-prefixed ones:
//   W  TaskbarText, Publisher, ProductName, ProductDescription, SharedPath, SharedSubfolder,
//      ProductStartMenu, DisplayVersion, DefaultInstallFolder, ProductRegistry, RegistryEntries,
//      GreetingLink, UninstallSubdir, UninstallerFileName, UninstallKeyName, InstallerTitle,
//      CopyrightText, MasterProductName, MasterProductTitle, MinimumMasterVersion,
//      DesktopFolder, ApplicationCommand, DocumentPath, SecondDocumentPath, InstallPassword,
//      UpgradeFloor, FirewallEntries, AddToPathSubfolder, RootShortcutName,
//      RootShortcutCommand, TaskbarPinName, TaskbarPinCommand, FileAssociation::command/icon,
//      UninstallValue::data, ShortcutEntry::target/name/icon/arguments/startIn,
//      CloseWindow::classPattern
//   8  ReservedText, RegistryMerge (the .reg file's bytes), LicenseTexts, ReadmeTexts (UTF-8,
//      possibly RTF, copied to files as they are), TitleFont, CopyrightFont, NoDowngradeBelow,
//      SupportOffer (8-bit registry values), BackgroundBitmap, GreetingSound,
//      DesktopFolderIcon, UninstallerIcon, ProductIcon (file contents), the five batches
//      and UninstallBatch1/2 (code page 1252 scripts), the ten notification addresses,
//      PreviousInstallText, WarningVersion
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "lib/strings.h"
#include "setup/core/language.h"
#include "setup/core/settings_stream.h"

namespace setup {

// Numbered corrupt-installer errors raised while reading the records.
enum SettingsError : int {
  kErrStatusHoldTime = 19,
  kErrLicenseCount = 24,
  kErrBlockChecksum = 25,
  kErrReadmeCount = 26,
  kErrLanguageCount = 30,
  kErrTextCount = 31,
  kErrEndMarker = 32,
  kErrAssociationCount = 36,
  kErrUninstallValueCount = 37,
  kErrDeletionCount = 38,
  kErrBitmapSize = 39,
  kErrCloseWindowCount = 41,
  kErrShortcutCount = 48,
};

constexpr uint32_t kSettingsEndMarker = 0xD3E82B97;
constexpr size_t kMaxRecords = 1000;
constexpr size_t kMaxPageTexts = 20;

// The same 24-byte form as the archive entries' time stamps.
struct StoredTime {
  int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool operator==(const StoredTime&) const = default;
};

// Deleted at installation or uninstallation when the condition holds.
struct FileDeletion {
  vk::String fileSpec;
  uint8_t conditionKind = 0;
  vk::String comparisonValue;
  uint8_t flags = 0;
  bool operator==(const FileDeletion&) const = default;
};

struct FileAssociation {
  int32_t kind = 0;
  vk::String extension;
  vk::String fileType;
  vk::String description;
  vk::String verbs;
  vk::String verbText;
  vk::Streng command;
  vk::Streng language;
  vk::Streng icon;
  bool operator==(const FileAssociation&) const = default;
};

// Shortcuts listed in the data; the trailing bytes are the window state and the option bits
// (bit 0 keep at uninstall, bit 1 expand the target, bit 2 quiet failure).
struct ShortcutEntry {
  vk::Streng target;
  vk::Streng name;
  vk::Streng icon;
  vk::Streng arguments;
  vk::Streng startIn;
  uint8_t desktop = 0;
  uint8_t startMenu = 0;
  uint8_t startup = 0;
  vk::String folder;  // narrow path
  uint8_t windowState = 0;
  uint8_t options = 0;
  bool operator==(const ShortcutEntry&) const = default;
};

// Extra values of the uninstall entry.
struct UninstallValue {
  vk::String name;
  uint8_t type = 0;
  vk::Streng data;
  bool operator==(const UninstallValue&) const = default;
};

// A program to close, found by its top-level window.
struct CloseWindow {
  vk::Streng classPattern;
  vk::String titlePattern;
  vk::String displayName;
  uint8_t action = 0;
  uint8_t phaseMask = 0;
  bool operator==(const CloseWindow&) const = default;
};

struct InstallSettings {
  uint64_t ProductFlags = 0;                       // 1 (bits 0-31 first)
  uint8_t AutomaticModeByte = 0;                   // 2
  vk::Streng TaskbarText;                          // 3
  vk::String ReservedText;                         // 4, unused
  double TitleSize = 0;                            // 5
  uint32_t ProgressPlacement = 0;                  // 6
  uint16_t StatusHoldTime = 0;                     // 7, milliseconds, 0..9999
  uint8_t ShortcutMode = 0;                        // 8
  StoredTime UninstallerTime;                      // 9
  vk::Streng Publisher;                            // 10
  vk::Streng ProductName;                          // 11
  vk::Streng ProductDescription;                   // 12
  uint8_t Bitness = 0;                             // 13: 1 64-bit, 2 32-bit
  uint8_t SharedFolderBase = 0;                    // 14
  vk::Streng SharedPath;                           // 15
  vk::Streng SharedSubfolder;                      // 16
  vk::Streng ProductStartMenu;                     // 17
  vk::Streng DisplayVersion;                       // 18
  vk::Streng DefaultInstallFolder;                 // 19, as stored
  vk::Streng ProductRegistry;                      // 20
  vk::Streng RegistryEntries;                      // 21
  vk::String RegistryMerge;                        // 22
  int32_t BitmapSize = 0;                          // 23, percent 0..100
  int32_t StretchMode = 0;                         // 24
  vk::Streng GreetingLink;                         // 25
  std::vector<vk::String> LicenseTexts;            // 26, at most 20
  std::vector<vk::String> ReadmeTexts;             // 27, at most 20
  vk::Streng UninstallSubdir;                      // 28
  vk::Streng UninstallerFileName;                  // 29
  vk::Streng UninstallKeyName;                     // 30
  vk::String PreviousInstallText;                  // 31
  vk::Streng InstallerTitle;                       // 32, unexpanded
  uint32_t LabelColor = 0;                         // 33
  uint8_t ReservedByte = 0;                        // 34, unused
  uint32_t TitleColor = 0;                         // 35
  uint8_t TitleShadow = 0;                         // 36
  uint8_t TitlePosition = 0;                       // 37
  vk::String TitleFont;                            // 38
  uint32_t TopColor = 0;                           // 39
  uint32_t BottomColor = 0;                        // 40
  vk::String BackgroundBitmap;                     // 41; BitmapTPI only with a bitmap
  int32_t BitmapTPI = 0;
  uint8_t CopyrightPos = 0;                        // 42; the rest only when CopyrightPos != 0
  uint32_t CopyrightColor = 0;
  double CopyrightSize = 0;
  vk::Streng CopyrightText;
  vk::String CopyrightFont;
  vk::Streng MasterProductName;                    // 43a-c, only with ProductFlags bit 16
  vk::Streng MasterProductTitle;
  vk::Streng MinimumMasterVersion;
  vk::String GreetingSound;                        // 44, wave data
  vk::Streng DesktopFolder;                        // 45
  vk::String DesktopFolderIcon;                    // 46, icon file
  vk::String PreInstallBatch;                      // 47
  vk::String PostInstallBatch;                     // 48
  vk::String InstallExitBatch;                     // 49
  vk::String UninstallBatch1;                      // 50
  vk::String UninstallBatch2;                      // 51
  vk::String UpgradeBatch;                         // 52
  vk::String ReinstallBatch;                       // 53
  std::array<uint32_t, 5> MinimumWindowsVersion{}; // 54, all zero: no check
  uint32_t ExcludedSystems = 0;                    // 55
  uint8_t ArchiveFileMode = 0;                     // 56: 1 read from the file
  vk::Streng ApplicationCommand;                   // 57a
  vk::Streng DocumentPath;                         // 57b
  vk::Streng SecondDocumentPath;                   // 57c
  vk::String LaunchAddress;                        // 57d
  vk::String InstallStartAddress;                  // 57e
  vk::String FreshInstallAddress;                  // 57f
  vk::String UpgradeAddress;                       // 57g
  vk::String DowngradeAddress;                     // 57h
  vk::String ReinstallAddress;                     // 57i
  vk::String NotifyURL;                            // 57j
  vk::String LinkAddress;                          // 57k
  vk::String CancelAddress;                        // 57l
  vk::String FailureAddress;                       // 57m
  vk::String WarningVersion;                       // 58a
  vk::String NoDowngradeBelow;                     // 58b
  vk::Streng InstallPassword;                      // 58c
  vk::Streng UpgradeFloor;                         // 58d
  vk::Streng FirewallEntries;
  vk::Streng AddToPathSubfolder;
  std::array<uint32_t, 11> WizardOptions{};        // 59
  vk::String UninstallerIcon;                      // 60, only with ProductFlags bit 2
  std::vector<FileDeletion> FileDeletions;         // 61
  std::vector<FileAssociation> FileAssociations;   // 62
  std::vector<ShortcutEntry> Shortcuts;            // 63
  vk::Streng RootShortcutName;                     // 64
  vk::Streng RootShortcutCommand;
  vk::Streng TaskbarPinName;                       // 65
  vk::Streng TaskbarPinCommand;
  std::vector<UninstallValue> UninstallValues;     // 66
  vk::String SupportOffer;                         // 67
  vk::String ProductIcon;                          // 68, icon file
  std::vector<CloseWindow> CloseWindows;           // 69
  LanguageTable Languages;                         // 70-73

  bool hasFlag(int bit) const { return (ProductFlags >> bit) & 1; }
  bool MonoColor() const { return TopColor == BottomColor; }
  // The 8-bit copy of the version used by the 8-bit registry values and comparisons.
  vk::String DisplayVersion8() const { return vk::StrengToAnsi(DisplayVersion); }
  int32_t wizardGreetingStyle() const { return int32_t(WizardOptions[2]); }
  int32_t wizardLanguageStyle() const { return int32_t(WizardOptions[3]); }
  int32_t wizardLicenseStyle() const { return int32_t(WizardOptions[4]); }
  int32_t wizardReadmeStyle() const { return int32_t(WizardOptions[5]); }
  uint32_t integrityMode() const { return WizardOptions[10]; }

  bool operator==(const InstallSettings&) const = default;
};

// The run modes that reading the data changes or uses.
struct RunModes {
  bool automaticMode = false;
  bool silentMode = false;
  bool startMinimized = false;
  vk::Streng overrideProductName;
};

// Values of the container header that the reader checks or adjusts.
struct SettingsHeader {
  uint32_t blockChecksum = 0;
  uint32_t ProductFlags2 = 0;  // bit 10 may be cleared
};

constexpr uint32_t kFlag2ButtonImages = 0x400;

// The system work that happens between the reads; empty callbacks do nothing.
struct SettingsHooks {
  // After row 6, unless ProductFlags bit 29: rows 1-6 are filled in.
  std::function<void(const InstallSettings&, bool startMinimized)> createBackgroundWindow;
  // True keeps ProductFlags2 bit 10; without a test the bit is cleared.
  std::function<bool()> buttonImagesSupported;
  // Bitness 1: the WOW64 file-system redirection is switched off (the engine remembers a failure).
  std::function<void()> disableWow64Redirection;
};

// Silent mode takes the unattended path through every switch.
uint64_t ForceSilentFlags(uint64_t flags);
// The automatic-mode byte: 1 on; 2 off unless silent; other values leave it alone.
void ApplyAutomaticModeByte(uint8_t value, RunModes& modes);

// Rows 1-74 in order. Returns 0 or the numbered error; the block checksum is taken over the
// whole block, wherever the stream stands.
int ReadSettings(SettingsStream& stream, SettingsHeader& header, RunModes& modes,
                 const SettingsHooks& hooks, InstallSettings& out);

// Rows 1-74 as ReadSettings reads them. False, with the field named in problem, when a value
// cannot be stored (a length beyond its prefix, a terminator inside a text, a list too long).
bool WriteSettings(const InstallSettings& settings, SettingsWriter& writer,
                   vk::String* problem = nullptr);

// The defaults that depend only on the data, in this order:
//  1. an empty overrideProductName takes the stored product name; a given one replaces it;
//  2. an empty description becomes the product name;
//  3. an empty SharedPath becomes the publisher, or the product name when that is blank;
//  4. an empty ProductStartMenu becomes the product name;
//  5. an empty uninstall key name becomes the product name;
//  6. with ProductFlags bit 16, an empty master name or title becomes the product name;
//  7. with ProductFlags bit 58, an empty DesktopFolder becomes the product name.
// "Product name" is the name after step 1, so a /n: name reaches every default.
void ApplyDefaults(InstallSettings& settings, RunModes& modes);

// What resolving the default installation folder needs from the system.
class FolderProvider {
public:
  virtual ~FolderProvider() = default;
  virtual vk::Streng windowsFolder() const = 0;
  virtual vk::Streng programFiles32() const = 0;
  virtual vk::Streng programFiles64() const = 0;
  virtual vk::Streng expandMacros(const vk::Streng& text) const = 0;
};

// The stored folder with "<os>" and macros expanded (the product name when empty); "<master>"
// and registry references ("HKLM\", "HKCU\") are left for the previous-installation checks; any
// other relative path is put under Program Files (the 64-bit one for Bitness 1).
vk::Streng ResolveDefaultInstallFolder(const vk::Streng& stored, const vk::Streng& productName,
                                       uint8_t bitness, const FolderProvider& provider);

// A folder that names no drive and no server goes under Program Files (the 64-bit one for
// Bitness 1), its leading backslashes dropped; any other is returned as it is.
vk::Streng FolderUnderProgramFiles(const vk::Streng& folder, uint8_t bitness, const FolderProvider& provider);

}  // namespace setup
