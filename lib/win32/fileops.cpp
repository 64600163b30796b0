#include "lib/win32/fileops.h"

#include <windows.h>
#include <ntsecapi.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <vector>

#include "lib/narrow_path.h"
#include "lib/wininit.h"

namespace vk {

namespace {

DWORD AttributesOf(const Streng& path) { return path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(W(path)); }

}  // namespace

bool IsFolder(const Streng& path) {
  const DWORD a = AttributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const Streng& path) {
  const DWORD a = AttributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// Closes the handle without disturbing the error that the caller is to see.
class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() {
    if (valid()) {
      const DWORD error = GetLastError();
      CloseHandle(h_);
      SetLastError(error);
    }
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// Beyond this "wininit.ini" is not a text we should rewrite.
constexpr LONGLONG kMaxWininitSize = 16 * 1024 * 1024;

// PathCanonicalizeW works only below MAX_PATH; longer paths are canonicalised here, up to
// the longest path the system accepts.
constexpr size_t kMaxCanonicalPath = 32000;

bool IsAsciiLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool IsMissingError(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool RegisterDeletionAtReboot(const Streng& path) {
  if (MoveFileExW(W(path), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return true;
  const DWORD error = GetLastError();
  if (HasWininit()) return WriteWininitRename(AsciiToStreng(kWininitDelete), ShortPath(path));
  SetLastError(error);
  return false;
}

bool DeleteToRecycleBin(const Streng& path) {
  Streng from = path;
  from.push_back(u'\0');  // the list ends in two zeros; c_str() adds the second
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = W(from);
  op.fFlags = FOF_ALLOWUNDO | FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  const int result = SHFileOperationW(&op);
  if (result != 0) {
    SetLastError(static_cast<DWORD>(result));
    return false;
  }
  return true;
}

}  // namespace

bool CanonicalizePath(Streng& path) {
  if (path.empty()) return false;  // the system would turn it into "\"
  Streng result;
  if (path.size() < MAX_PATH) {
    wchar_t buffer[MAX_PATH];
    if (!PathCanonicalizeW(buffer, W(path))) return false;
    result = FromW(buffer);
  } else if (path.size() < kMaxCanonicalPath) {
    result = RemoveDotComponents(path);
  } else {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  if (result == path) return false;
  path = std::move(result);
  return true;
}

uint32_t DriveKindOfType(unsigned systemDriveType) {
  switch (systemDriveType) {
    case DRIVE_REMOVABLE: return kDriveExists | kDriveRemovable;
    case DRIVE_FIXED: return kDriveExists | kDriveFixed;
    case DRIVE_REMOTE: return kDriveExists | kDriveNetwork;
    case DRIVE_CDROM: return kDriveExists | kDriveRemovable | kDriveCdRom;
    case DRIVE_RAMDISK: return kDriveExists | kDriveRamDisk;
    default: return 0;
  }
}

uint32_t DriveKind(std::u16string_view path) {
  if (path.empty() || !IsAsciiLetter(path[0])) return 0;
  const wchar_t root[] = {static_cast<wchar_t>(path[0]), L':', L'\\', L'\0'};
  return DriveKindOfType(GetDriveTypeW(root));
}

bool RemoveFolderIfEmpty(const Streng& folder) {
  Streng trimmed = folder;
  while (!trimmed.empty() && (trimmed.back() == u'\\' || trimmed.back() == u'/')) trimmed.pop_back();
  if (trimmed.size() <= 2) {  // "C:" or shorter: a drive root
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  // The shell's leftovers are deleted only when nothing else is there; in a folder that stays,
  // its customisation stays too.
  std::vector<Streng> leftovers;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(W(trimmed + u"\\*"), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool onlyLeftovers = true;
  do {
    const Streng name = FromW(found.cFileName);
    if (name == u"." || name == u"..") continue;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        (EqualsNoCase(name, u"thumbs.db") || EqualsNoCase(name, u"desktop.ini")))
      leftovers.push_back(trimmed + u"\\" + name);
    else
      onlyLeftovers = false;
  } while (onlyLeftovers && FindNextFileW(search, &found));
  FindClose(search);
  if (!onlyLeftovers) {
    SetLastError(ERROR_DIR_NOT_EMPTY);
    return false;
  }
  for (const Streng& file : leftovers) {
    SetFileAttributesW(W(file), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(W(file));
  }
  return RemoveDirectoryW(W(trimmed)) != FALSE;
}

bool DeleteFileEx(const Streng& path, uint32_t options) {
  for (;;) {
    if (path.empty()) {
      SetLastError(ERROR_INVALID_NAME);
      return false;
    }
    if (options & OnlyIfEmpty) {
      WIN32_FILE_ATTRIBUTE_DATA data;
      if (!GetFileAttributesExW(W(path), GetFileExInfoStandard, &data)) return false;
      if (data.nFileSizeLow != 0 || data.nFileSizeHigh != 0) {
        SetLastError(ERROR_FILE_EXISTS);
        return false;
      }
    }
    if (!(options & KeepReadOnly)) {
      const DWORD attributes = GetFileAttributesW(W(path));
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        const DWORD cleared = attributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
        SetFileAttributesW(W(path), cleared ? cleared : FILE_ATTRIBUTE_NORMAL);
      }
    }
    if (options & AtReboot) return RegisterDeletionAtReboot(path);
    if (options & ToRecycleBin) return DeleteToRecycleBin(path);
    if (DeleteFileW(W(path))) return true;
    const DWORD error = GetLastError();
    if ((options & MissingIsSuccess) && IsMissingError(error)) return true;
    if ((options & FallBackToReboot) && !IsMissingError(error)) {
      options |= AtReboot;
      continue;
    }
    SetLastError(error);
    return false;
  }
}

Streng WindowsFolder() {
  wchar_t buffer[MAX_PATH];
  UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
  if (n == 0) return {};
  if (n < MAX_PATH) return FromW(buffer, n);
  Streng big(n, u'\0');
  n = GetWindowsDirectoryW(reinterpret_cast<wchar_t*>(big.data()), n);
  big.resize(n < big.size() ? n : 0);
  return big;
}

Streng ShortPath(const Streng& path) {
  const DWORD error = GetLastError();
  DWORD n = GetShortPathNameW(W(path), nullptr, 0);
  if (n != 0) {
    Streng buffer(n, u'\0');
    n = GetShortPathNameW(W(path), reinterpret_cast<wchar_t*>(buffer.data()), n);
    if (n != 0 && n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
  }
  SetLastError(error);
  return path;
}

bool HasWininit() {
  const Streng folder = WindowsFolder();
  if (folder.empty()) return false;
  const DWORD attributes = GetFileAttributesW(W(JoinPath(folder, u"wininit.exe")));
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteWininitRename(const Streng& left, const Streng& right) {
  const Streng folder = WindowsFolder();
  if (folder.empty()) return false;
  return WriteWininitRenameFile(JoinPath(folder, u"wininit.ini"), left, right);
}

bool WriteWininitRenameFile(const Streng& iniPath, const Streng& left, const Streng& right) {
  FileHandle file(CreateFileW(W(iniPath), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size)) return false;
  if (size.QuadPart > kMaxWininitSize) {
    SetLastError(ERROR_FILE_TOO_LARGE);
    return false;
  }
  String text(static_cast<size_t>(size.QuadPart), '\0');
  size_t done = 0;
  while (done < text.size()) {
    DWORD got = 0;
    if (!ReadFile(file.get(), text.data() + done, static_cast<DWORD>(text.size() - done), &got,
                  nullptr))
      return false;
    if (got == 0) break;  // shorter than its size said
    done += got;
  }
  text.resize(done);
  const String updated = AddWininitRename(text, StrengToAnsi(left), StrengToAnsi(right));
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) return false;
  done = 0;
  while (done < updated.size()) {
    DWORD put = 0;
    if (!WriteFile(file.get(), updated.data() + done, static_cast<DWORD>(updated.size() - done),
                   &put, nullptr))
      return false;
    if (put == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    done += put;
  }
  return SetEndOfFile(file.get()) != FALSE;
}

Streng RandomNamePart() {
  unsigned char bytes[8];
  if (!RtlGenRandom(bytes, sizeof bytes)) return {};
  static const char16_t kDigits[] = u"0123456789abcdef";
  Streng out;
  for (unsigned char b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

bool AnyIsReparsePoint(const std::vector<Streng>& paths) {
  for (const Streng& path : paths) {
    const DWORD attributes = GetFileAttributesW(W(path));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  }
  return false;
}

}  // namespace vk
