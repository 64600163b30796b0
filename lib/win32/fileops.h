#pragma once
// File-system operations shared by the installer and the uninstaller. Every function reports
// failure by its result and leaves the failing call's system error in GetLastError().
#include <cstdint>
#include <vector>

#include "lib/strings.h"

namespace vk {

// What the path names now; false for an empty path or one that cannot be looked at.
bool IsFolder(const Streng& path);
bool IsFile(const Streng& path);

// Removes "." and ".." components; true when the path was changed.
bool CanonicalizePath(Streng& path);

// Bits of DriveKind.
enum DriveKindBit : uint32_t {
  kDriveExists = 1,
  kDriveFixed = 2,
  kDriveRemovable = 4,
  kDriveCdRom = 8,
  kDriveRamDisk = 16,
  kDriveNetwork = 32,
};

// The bits for a system drive type (GetDriveTypeW); 0 for no drive or an unknown type.
uint32_t DriveKindOfType(unsigned systemDriveType);
// The bits of the drive named by the path's first character, which must be a letter.
uint32_t DriveKind(std::u16string_view path);
// Removable media, CD-ROM or RAM disk.
inline bool IsRemovableKind(uint32_t kind) { return (kind & (kDriveRemovable | kDriveRamDisk)) != 0; }
inline bool IsOnRemovableDrive(std::u16string_view path) { return IsRemovableKind(DriveKind(path)); }

enum DeleteOption : uint32_t {
  KeepReadOnly = 1,       // do not clear the read-only attribute first
  AtReboot = 2,           // only register the deletion for the next restart
  FallBackToReboot = 4,   // register it for the restart when the file cannot go now
  OnlyIfEmpty = 8,        // delete only an existing file of size 0
  MissingIsSuccess = 16,  // a file or folder that is not there counts as deleted
  ToRecycleBin = 32,      // through the shell, into the recycle bin
};

// Deletes a file as the options say. KeepReadOnly | AtReboot is the plain delayed deletion.
bool DeleteFileEx(const Streng& path, uint32_t options = 0);

// Removes a folder that holds nothing, or nothing but a "thumbs.db" or "desktop.ini" (which go
// first). A drive root is never removed. False, with the system error set, when the folder stays.
bool RemoveFolderIfEmpty(const Streng& folder);

// Whether any of the paths is a junction, a symbolic link or another reparse point. A path that
// is not there is none (nothing lies beyond it).
bool AnyIsReparsePoint(const std::vector<Streng>& paths);

// 16 hexadecimal digits from the system's random source, for names nobody can guess ahead;
// empty when the source fails.
Streng RandomNamePart();

// The Windows folder, without a trailing backslash.
Streng WindowsFolder();

// The short (8.3) form of an existing path; the path itself when the system has none.
Streng ShortPath(const Streng& path);

// True when "wininit.exe" is in the Windows folder, so that "wininit.ini" is carried out.
bool HasWininit();

// Adds "left=right" to the "[rename]" section of "wininit.ini" in the Windows folder (the
// sides go in the ANSI code page; use ShortPath for paths, kWininitDelete for a deletion).
bool WriteWininitRename(const Streng& left, const Streng& right);
// The same for a given ini file, which is created when missing.
bool WriteWininitRenameFile(const Streng& iniPath, const Streng& left, const Streng& right);

}  // namespace vk
