#pragma once
// The library's file object: a file opened by name, or a block of memory used the same way.
//
// Every call returns success as bool (or the file error code for Open) and, on failure, keeps
// its text in ErrorText() and the system error it stands for in SystemError(); the thread's last
// error is set to that system error as well, so LastSystemErrorText() describes the failure.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "lib/file_errors.h"
#include "lib/strings.h"
#include "lib/win32/handle.h"

namespace vk {

// The mode word of File::Open.
namespace FileMode {
constexpr uint32_t Read = 0x0001;
constexpr uint32_t Write = 0x0002;
// How the file is found or made; OpenExisting when none is given.
constexpr uint32_t OpenExisting = 0x0000;
constexpr uint32_t CreateAlways = 0x0004;  // make it, or empty the existing one
constexpr uint32_t OpenAlways = 0x0008;    // open it, or make it when missing
// Make it new: anything already under the name, a file, a link or another reparse point, fails
// the open and is never opened or followed.
constexpr uint32_t CreateNew = 0x1000;
constexpr uint32_t ShareRead = 0x0010;
constexpr uint32_t ShareWrite = 0x0020;
constexpr uint32_t ShareDelete = 0x0040;
// The first failure of any kind waits 150 ms and tries once more (in addition to the
// sharing-violation retries below).
constexpr uint32_t RetryOnce = 0x0100;
// A sharing violation fails at once instead of being retried five times, 100 ms apart.
constexpr uint32_t NoSharingRetry = 0x0200;
// A failure shows "Failed to open required file" through the required-file notice.
constexpr uint32_t Required = 0x0400;
// The whole file is read into memory after the open; reads and writes then use that copy while
// the handle stays open (and keeps its sharing lock) until Close.
constexpr uint32_t LoadIntoMemory = 0x0800;
}  // namespace FileMode

enum class SeekFrom { Begin, Current, End };

class File {
public:
  File() = default;
  ~File() = default;
  File(File&&) noexcept = default;
  File& operator=(File&&) noexcept = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens a file by name; closes what was open before. Returns the file error code.
  int Open(const Streng& path, uint32_t mode);
  // Uses `data` as the file's contents; `mode` gives the access (Read, Write). Position 0.
  void OpenMemory(std::vector<uint8_t> data, uint32_t mode);
  void Close();

  bool IsOpen() const { return memory_ || handle_.valid(); }
  bool InMemory() const { return memory_; }

  // Reads exactly `size` bytes; a shorter file fails with "Read past end of file". 0 succeeds.
  bool Read(void* buffer, int64_t size);
  // Reads up to `size` bytes (at least 1); `*count` gets how many were read, 0 at the end.
  bool Read(void* buffer, int64_t size, int64_t* count);
  // Writes all `size` bytes, in chunks of at most 1 MiB.
  bool Write(const void* data, int64_t size);

  bool Seek(int64_t offset, SeekFrom from = SeekFrom::Begin);
  int64_t Position();  // -1 on failure
  int64_t Size();      // -1 on failure
  bool SetEnd();       // the file ends at the current position
  bool Flush();
  // File times of an opened (not a memory) file; null pointers are skipped.
  bool GetTime(FILETIME* created, FILETIME* accessed, FILETIME* written);
  bool SetTime(const FILETIME* created, const FILETIME* accessed, const FILETIME* written);

  // The memory contents (in-memory mode).
  const std::vector<uint8_t>& Data() const { return data_; }
  std::vector<uint8_t> TakeData();

  HANDLE NativeHandle() const { return handle_.get(); }
  const Streng& Path() const { return path_; }
  uint32_t Mode() const { return mode_; }

  // The outcome of the last failure: the file error code of the last Open, the text of the
  // last failure of any call, and the system error that text stands for (0 for none).
  int ErrorCode() const { return code_; }
  const Streng& ErrorText() const { return errorText_; }
  uint32_t SystemError() const { return systemError_; }

private:
  bool Fail(Streng text, uint32_t systemError);
  bool FailSystem(uint32_t systemError);
  bool CheckReadable(const void* buffer);
  bool ReadHandle(uint8_t* out, int64_t size, int64_t* count);
  bool LoadWhole();

  FileHandle handle_;
  Streng path_;
  uint32_t mode_ = 0;
  bool memory_ = false;
  std::vector<uint8_t> data_;  // in-memory contents
  size_t position_ = 0;        // in-memory position
  int code_ = FileErr::Success;
  Streng errorText_;
  uint32_t systemError_ = 0;
};

// Shows the text of a failed open of a required file. The default is a MessageBoxW with
// MB_ICONERROR; the window layer replaces it so that windows appear only where allowed.
using RequiredFileNotice = void (*)(const Streng& text);
RequiredFileNotice SetRequiredFileNotice(RequiredFileNotice notice);  // returns the previous one

// Seams for tests. OpenAttempt is told of every CreateFileW with its number (1 for the first)
// and its system error (0 for success). WriteChunk, when set, stands in for WriteFile.
struct FileHooks {
  std::function<void(int attempt, uint32_t error)> openAttempt;
  std::function<BOOL(HANDLE, const void*, DWORD, DWORD*)> writeChunk;
};
FileHooks& FileTestHooks();

}  // namespace vk
