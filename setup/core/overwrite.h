#pragma once
// Whether an archive entry may replace what is at its target: a pure decision over facts that the
// caller gathers (existence, the existing file's date and version), with the install log line it
// leads to.
#include <cstdint>
#include <optional>

#include "lib/strings.h"

namespace setup {

enum class EntryKind : int32_t {
  ProgramFile = 0,
  SharedFile = 1,
  FontFile = 4,
  StartupProgramFile = 5,
  SystemFile = 6,
  ComServerFile = 7,
  TypeLibraryFile = 8,
  VersionedFile = 9,
  DriverInfFile = 10,
  MsiPackageFile = 11,
  ControlPanelAppletFile = 12,
};

enum class DefaultFolder { Installation, Shared, Fonts, System, None };
enum class ReplacementTest { OverwriteModeOnly, UpToDate, VersionThenDate };
enum class RemovalRecord { Yes, No, PortableOnly };
enum class FollowUp {
  None,
  ShortcutWhenFlagged,   // flags bit 0 or 1
  StartupShortcut,       // always, in the Startup folder
  SharedCount,
  SharedCountKept,       // counted, kept at removal
  ComRegistration,
  TypeLibraryRegistration,
  DriverInstallation,
  MsiInstallation,
  FontRegistration,
  AppletRegistration,
};

struct KindInfo {
  int32_t kind;
  DefaultFolder folder;        // None: the entry needs a destination (else corrupt, 110)
  ReplacementTest test;
  RemovalRecord removal;       // the file record
  bool createsDefaultFolder;   // the default folder is created for an empty destination
  bool recordsFolder;          // a created folder is recorded for removal
  FollowUp followUp;
};

// The row of a kind; null for a kind the archive may not hold (corrupt, 110).
const KindInfo* FindKind(int32_t kind);
// Whether the file itself is recorded for removal (flag bit 5 not considered).
bool KindRecordsFile(int32_t kind, bool portable);

namespace EntryFlag {
constexpr uint32_t DesktopShortcut = 0x1;
constexpr uint32_t StartMenuShortcut = 0x2;
constexpr uint32_t OverwriteMask = 0x1C;
constexpr uint32_t Permanent = 0x20;
constexpr uint32_t IntoUninstallFolder = 0x40;
constexpr uint32_t RecordMsiPackage = 0x80;
}  // namespace EntryFlag

// Six fields, year down to second.
struct FileDate {
  int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  // An archive entry's time is unset when month is 0 or hour is negative.
  static std::optional<FileDate> FromEntry(const int32_t time[6]);
  friend auto operator<=>(const FileDate&, const FileDate&) = default;
};
// "%d/%02d/%02d %02d:%02d:%02d"
vk::String FormatFileDate(const FileDate& date);

struct ReplacementFacts {
  vk::Streng target;
  int32_t kind = 0;
  uint32_t flags = 0;
  bool portable = false;
  bool exists = false;                         // the target path exists
  std::optional<FileDate> existingDate;        // the existing file's modification date, if readable
  std::optional<FileDate> entryDate;           // the entry's time, if set
  vk::String entryVersion;                     // text A
  std::optional<vk::Streng> existingVersion;   // the existing file's version, if readable
};

struct ReplacementDecision {
  bool install = false;
  // A skipped entry whose target is still recorded for removal (as a plain file).
  bool recordSkipped = false;
  vk::Streng log;  // the whole log line (target first, ending in "\r\n"), or empty
};

// Which facts a decision reads, so that the caller asks the system only for those.
struct NeededFacts {
  bool date = false;
  bool version = false;
};
NeededFacts FactsNeeded(int32_t kind, uint32_t flags, bool exists, bool entryVersionGiven);

ReplacementDecision DecideReplacement(const ReplacementFacts& facts);

}  // namespace setup
