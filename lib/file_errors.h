#pragma once
// File error codes: the library's numbered outcomes of file operations, their messages, the
// system error each stands for, and how a failed open's system error becomes one of them.
#include <cstdint>
#include <string_view>

#include "lib/strings.h"

namespace vk {

// E_FAIL, the system error of codes that have no better one.
constexpr uint32_t kSystemErrorFail = 0x80004005u;

namespace FileErr {
constexpr int Success = 0;
constexpr int Unknown = 1;
constexpr int InvalidName = 2;
constexpr int FileNotFound = 3;
constexpr int DirectoryMissing = 4;
constexpr int Locked = 5;
constexpr int ReadIntoMemory = 6;
constexpr int WriteFailed = 7;
constexpr int TooManyOpen = 8;
constexpr int InvalidParameter = 9;
constexpr int AlreadyExists = 10;
constexpr int TooManyIndexed = 11;
constexpr int AccessDenied = 12;
constexpr int ReadOnly = 13;
constexpr int Corrupted = 14;
constexpr int DeleteFailed = 15;
constexpr int TooLarge = 16;
constexpr int Aborted = 17;
constexpr int CreateDirectoryFailed = 18;
constexpr int BadNetworkPath = 19;
constexpr int NotReady = 20;
constexpr int NoSuchDrive = 21;
constexpr int EraseVerifyFailed = 22;
constexpr int IsFolder = 23;
constexpr int TooManyTabs = 24;
constexpr int NoChange = 25;
constexpr int NotOpen = 26;
constexpr int Last = NotOpen;
}  // namespace FileErr

// The message of a code; codes outside the table read "An unknown error occurred.".
String FileErrorMessage(int code);
// The same text as UTF-16, read in the ANSI code page.
Streng FileErrorMessageW(int code);
// The system error a code stands for; E_FAIL outside the table.
uint32_t FileErrorToSystemError(int code);

// What a failed open may need to know about its path. Each question is asked only for the
// system errors whose translation depends on it, so the lookups cost nothing on other failures.
class OpenFailureFacts {
public:
  virtual ~OpenFailureFacts() = default;
  // The path names an existing folder.
  virtual bool IsExistingFolder() = 0;
  // The drive of this letter (upper case, 'A'-'Z') exists.
  virtual bool DriveExists(char16_t letter) = 0;
  // The path names an existing file whose read-only attribute is set.
  virtual bool IsReadOnlyFile() = 0;
};

// True when the path could name a file: not empty, no control characters, none of <>"|?*,
// and a colon only right after a leading drive letter. A "\\?\" prefix is skipped first.
bool PathSyntaxValid(std::u16string_view path);

// The drive letter (upper case) when the path begins with a letter and a colon, else 0.
char16_t LeadingDriveLetter(std::u16string_view path);

// The file error code for a failed open of `path` that ended in `systemError`. `writing` says
// whether write access was asked for.
int TranslateOpenError(uint32_t systemError, std::u16string_view path, bool writing,
                       OpenFailureFacts& facts);

}  // namespace vk
