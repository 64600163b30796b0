#pragma once
// Uninstall.DAT: what an installation tells its later uninstallation to undo, in memory, and
// the file's bytes. The writer returns the bytes and the reader takes them; the file itself is
// read and written by uninstall/uninstall_data_file.h.
//
// File layout (CR LF line ends, no byte-order mark): the deletion list without a header, then
// "[Strings]" and, when not empty, "[AutoClose]", "[Associations]", "[Firewall]", "[INF]",
// "[MSI]", "[Registry2]", "[ConditionalDelete]", each after an empty line pair.
#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "lib/strings.h"
#include "setup/core/settings.h"

namespace uninstall {

// Types of AddUninstallEntry and the prefix each one carries in the deletion list.
enum EntryType : int {
  kEntryFile = 0,           // no prefix
  kEntryFolder = 1,         // "~"
  kEntryRegistryValue = 2,  // "!": key path whose last component is the value name
  kEntryRegistryKey = 3,    // "^": default registry view
  kEntryRegistryKey64 = 4,  // "*": 64-bit registry view
};

// The language texts the uninstaller needs, in the order "[Strings]" holds them.
inline constexpr std::array<int, 31> kCarriedTextIds = {
    10, 15, 20, 30, 34, 35, 49, 53, 55, 56, 57, 58, 59, 65, 67, 68,
    69, 70, 71, 74, 79, 80, 99, 100, 101, 104, 107, 108, 109, 110, 111};
// The "[Strings]" record that carries the product name.
inline constexpr int kProductNameId = 999;
// Ids the reader takes; others are dropped.
inline constexpr int kMaxTextId = 1000;

// A file association the installation registered: one "[Associations]" line.
// The registry names are kept as 8-bit text, as the installation data holds them.
struct FileAssociation {
  vk::String extension;  // with its leading dot
  vk::String programId;  // the class key the extension points to
  vk::String verb;       // for example "open"
  vk::Streng icon;       // default-icon text; a narrow path in the file
  bool operator==(const FileAssociation&) const = default;
};

// One "[ConditionalDelete]" line. Here fileSpec is a narrow path (see NarrowDeletion for a
// record of the installation data, whose file pattern is in the ANSI code page).
using FileDeletion = setup::FileDeletion;
inline constexpr uint8_t kDeletionAtUninstall = 8;

// A program to close: "[AutoClose]". The title pattern and the display name are ANSI text in
// memory and UTF-8 in the file; the class pattern is UTF-8 in the file.
using CloseWindow = setup::CloseWindow;

struct UninstallData {
  // Deletion list in file order: the prefix and the narrow path, without a line end.
  std::vector<vk::String> entries;
  // Lower-cased wide form of every folder in `entries`.
  std::unordered_set<vk::Streng> folders;

  std::vector<FileAssociation> associations;
  std::vector<CloseWindow> closePrograms;
  std::vector<vk::String> firewall;  // "path-or-port;name;protocols;options", name in UTF-8
  std::vector<vk::String> drivers;   // INF files in the driver store, narrow paths
  std::vector<vk::String> packages;  // "\"path\",level" (see PackageLine)
  vk::Streng registryEntries;        // the installation data's registry-entry text
  // Keyed by fileSpec: a later record with the same file pattern replaces the earlier one.
  std::vector<FileDeletion> conditionalDeletions;

  vk::Streng productName;
  std::vector<vk::Streng> texts;  // by id; missing ids are empty

  const vk::Streng& Text(int id) const;
  void SetText(int id, vk::Streng text);  // ids outside 0...kMaxTextId are ignored
};

// The one uninstall data of the process (installation and uninstallation alike).
UninstallData& ProcessUninstallData();

// Appends one deletion-list entry. A path of 3 characters or fewer (a drive root) is refused;
// a folder is recorded once in any letter case; files and registry entries every time. Types
// other than 1...4 are files. Returns true when an entry was appended.
bool AddUninstallEntry(UninstallData& data, std::string_view narrowPath, int type);
bool AddUninstallEntry(UninstallData& data, std::u16string_view widePath, int type);

// A deletion-list line split into its type and narrow path.
struct UninstallEntry {
  int type = kEntryFile;
  vk::String narrowPath;
};
UninstallEntry ParseUninstallEntry(std::string_view line);

// Empties the deletion list and the folder set; the side lists stay.
void ClearUninstallEntries(UninstallData& data);

// Side-list helpers for the installation.
void AddAssociation(UninstallData& data, FileAssociation association);
void AddDriver(UninstallData& data, std::u16string_view infPath);
vk::String PackageLine(std::u16string_view packagePath, int uiLevel);
// A package line of exactly two fields: the path (quotes and white space removed, from its
// narrow form) and the user-interface level. False for any other line.
bool ParsePackageLine(std::string_view line, vk::Streng* packagePath, int* uiLevel);
// A conditional deletion of the installation data in this file's form (narrow fileSpec).
FileDeletion NarrowDeletion(const setup::FileDeletion& fromSettings);
// Adds or replaces (same fileSpec) a conditional deletion; fileSpec is a narrow path.
void PutConditionalDeletion(UninstallData& data, FileDeletion deletion);

// The whole file in its order. Conditional deletions without the uninstall bit are left out.
vk::String WriteUninstallData(const UninstallData& data);

// Fills `data` from the file's bytes, replacing what it held. Never fails: malformed lines
// are dropped, stray lines of the leading section become deletion entries.
void ReadUninstallData(std::string_view bytes, UninstallData& data);

}  // namespace uninstall
