#include "lib/file_errors.h"

namespace vk {

namespace {

struct FileErrorEntry {
  const char* message;
  uint32_t systemError;
};

constexpr FileErrorEntry kTable[] = {
    {"Success.", 0},
    {"An unknown error occurred.", kSystemErrorFail},
    {"The filename is invalid.", 123},
    {"The file was not found.", 2},
    {"The directory does not exist.", 3},
    {"The file is locked by another application.", 32},
    {"Failed to read the file into memory.", 30},
    {"Failed to write data to the file.", 29},
    {"Too many files are already open.", 4},
    {"An invalid parameter was used.", 87},
    {"The file already exists.", 80},
    {"Too many indexed files exist.", 4},
    {"Access denied.", 5},
    {"The file's Read-Only attribute is set.", 5},
    {"The file's contents are corrupted.", 1392},
    {"Deletion failed.", 8398},
    {"The file is too large to load into memory.", 8},
    {"Aborted by the user.", 1235},
    {"Failed to create the directory.", 267},
    {"The network path is not valid.", 1203},
    {"The device is not ready (usually because no disk is inserted).", 21},
    {"The drive does not exist.", 15},
    {"Erasure verification failed.", 13915},
    {"The filepath points to a folder, not a file.", kSystemErrorFail},
    {"Too many tabs are open.", 4},
    {"No change was necessary.", 1252},
    {"The file is not open.", 6},
};
static_assert(sizeof(kTable) / sizeof(kTable[0]) == FileErr::Last + 1);

const FileErrorEntry& Entry(int code) {
  if (code < 0 || code > FileErr::Last) return kTable[FileErr::Unknown];
  return kTable[code];
}

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

}  // namespace

String FileErrorMessage(int code) { return Entry(code).message; }
Streng FileErrorMessageW(int code) { return AnsiToStreng(Entry(code).message); }
uint32_t FileErrorToSystemError(int code) { return Entry(code).systemError; }

char16_t LeadingDriveLetter(std::u16string_view path) {
  if (path.size() < 2 || path[1] != u':' || !IsAsciiLetter(path[0])) return 0;
  return path[0] >= u'a' ? char16_t(path[0] - u'a' + u'A') : path[0];
}

bool PathSyntaxValid(std::u16string_view path) {
  if (path.substr(0, 4) == u"\\\\?\\") path.remove_prefix(4);
  if (path.empty()) return false;
  const size_t driveColon = LeadingDriveLetter(path) ? 1 : std::u16string_view::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    const char16_t c = path[i];
    if (c < 32) return false;
    switch (c) {
      case u'<': case u'>': case u'"': case u'|': case u'?': case u'*':
        return false;
      case u':':
        if (i != driveColon) return false;
        break;
      default:
        break;
    }
  }
  return true;
}

int TranslateOpenError(uint32_t systemError, std::u16string_view path, bool writing,
                       OpenFailureFacts& facts) {
  switch (systemError) {
    case 2:
      return PathSyntaxValid(path) ? FileErr::FileNotFound : FileErr::InvalidName;
    case 3: {
      if (facts.IsExistingFolder()) return FileErr::IsFolder;
      const char16_t drive = LeadingDriveLetter(path);
      if (drive && !facts.DriveExists(drive)) return FileErr::NoSuchDrive;
      return FileErr::DirectoryMissing;
    }
    case 4:
      return FileErr::TooManyOpen;
    case 5:
      if (facts.IsExistingFolder()) return FileErr::IsFolder;
      if (writing && facts.IsReadOnlyFile()) return FileErr::ReadOnly;
      return FileErr::AccessDenied;
    case 15:
      return FileErr::NoSuchDrive;
    case 21:
      return FileErr::NotReady;
    case 32:
    case 33:
      return FileErr::Locked;
    case 51: case 53: case 64: case 65: case 67: case 1203:
      return FileErr::BadNetworkPath;
    case 80:
      return FileErr::AlreadyExists;
    case 87:
      return FileErr::InvalidParameter;
    case 123:
      return FileErr::InvalidName;
    default:
      return FileErr::Unknown;
  }
}

}  // namespace vk
