#include "lib/win32/file.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "lib/format.h"
#include "lib/win32/system_error.h"

namespace vk {

namespace {

constexpr int64_t kChunk = 1048576;  // largest single system read or write
constexpr int kSharingRetries = 5;
constexpr DWORD kSharingRetryDelay = 100;
constexpr DWORD kRetryOnceDelay = 150;

constexpr uint32_t kErrorAccessDenied = ERROR_ACCESS_DENIED;  // 5
constexpr uint32_t kErrorOpenFailed = ERROR_OPEN_FAILED;      // 110
constexpr uint32_t kErrorNoWriteReported = 5922;              // a short write the system did not explain

void ShowRequiredFileBox(const Streng& text) {
  MessageBoxW(nullptr, W(text), nullptr, MB_OK | MB_ICONERROR);
}

RequiredFileNotice g_requiredNotice = &ShowRequiredFileBox;

// The lookups a failed open may need, made on the real file system when asked.
class SystemOpenFacts : public OpenFailureFacts {
public:
  explicit SystemOpenFacts(const Streng& path) : path_(path) {}
  bool IsExistingFolder() override {
    const DWORD a = Attributes();
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool DriveExists(char16_t letter) override {
    return (GetLogicalDrives() >> (letter - u'A')) & 1;
  }
  bool IsReadOnlyFile() override {
    const DWORD a = Attributes();
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) &&
           (a & FILE_ATTRIBUTE_READONLY);
  }

private:
  DWORD Attributes() {
    if (!known_) {
      attributes_ = GetFileAttributesW(W(path_));
      known_ = true;
    }
    return attributes_;
  }
  const Streng& path_;
  DWORD attributes_ = INVALID_FILE_ATTRIBUTES;
  bool known_ = false;
};

DWORD Disposition(uint32_t mode) {
  if (mode & FileMode::CreateNew) return CREATE_NEW;
  if (mode & FileMode::CreateAlways) return CREATE_ALWAYS;
  if (mode & FileMode::OpenAlways) return OPEN_ALWAYS;
  return OPEN_EXISTING;
}

}  // namespace

RequiredFileNotice SetRequiredFileNotice(RequiredFileNotice notice) {
  RequiredFileNotice previous = g_requiredNotice;
  g_requiredNotice = notice;
  return previous;
}

FileHooks& FileTestHooks() {
  static FileHooks hooks;
  return hooks;
}

bool File::Fail(Streng text, uint32_t systemError) {
  errorText_ = std::move(text);
  systemError_ = systemError;
  if (systemError) SetLastError(systemError);
  return false;
}

bool File::FailSystem(uint32_t systemError) { return Fail(SystemErrorText(systemError), systemError); }

int File::Open(const Streng& path, uint32_t mode) {
  Close();
  path_ = path;
  mode_ = mode;
  code_ = FileErr::Success;
  errorText_.clear();
  systemError_ = 0;

  int code = FileErr::Success;
  DWORD error = 0;
  if (path.empty()) {
    code = FileErr::InvalidName;
    error = ERROR_INVALID_NAME;
  } else {
    const DWORD access = ((mode & FileMode::Read) ? GENERIC_READ : 0) |
                         ((mode & FileMode::Write) ? GENERIC_WRITE : 0);
    const DWORD share = ((mode & FileMode::ShareRead) ? FILE_SHARE_READ : 0) |
                        ((mode & FileMode::ShareWrite) ? FILE_SHARE_WRITE : 0) |
                        ((mode & FileMode::ShareDelete) ? FILE_SHARE_DELETE : 0);
    int attempt = 0, sharingRetries = 0;
    bool retriedOnce = false;
    for (;;) {
      HANDLE h = CreateFileW(W(path), access, share, nullptr, Disposition(mode),
                             FILE_ATTRIBUTE_NORMAL | ((mode & FileMode::CreateNew) ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
                             nullptr);
      error = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
      if (FileTestHooks().openAttempt) {
        FileTestHooks().openAttempt(++attempt, error);
        SetLastError(error);
      }
      if (h != INVALID_HANDLE_VALUE) {
        handle_.reset(h);
        break;
      }
      // The one extra try comes first; sharing violations are then retried on their own count.
      if ((mode & FileMode::RetryOnce) && !retriedOnce) {
        retriedOnce = true;
        Sleep(kRetryOnceDelay);
        continue;
      }
      if (error == ERROR_SHARING_VIOLATION && !(mode & FileMode::NoSharingRetry) &&
          sharingRetries < kSharingRetries) {
        ++sharingRetries;
        Sleep(kSharingRetryDelay);
        continue;
      }
      break;
    }
    if (!handle_) {
      SystemOpenFacts facts(path);
      code = TranslateOpenError(error, path, (mode & FileMode::Write) != 0, facts);
    } else if ((mode & FileMode::LoadIntoMemory) && !LoadWhole()) {
      error = systemError_ ? systemError_ : FileErrorToSystemError(FileErr::ReadIntoMemory);
      handle_.reset();
      data_ = {};
      code = FileErr::ReadIntoMemory;
    }
  }
  if (code == FileErr::Success) return code;

  code_ = code;
  errorText_ = FileErrorMessageW(code);
  systemError_ = error;
  if ((mode & FileMode::Required) && g_requiredNotice)
    g_requiredNotice(Format(u"Failed to open required file:\r\n%s\r\n\r\n%s", path, errorText_));
  // The lookups and the notice may have changed it: the caller sees the open's own error.
  SetLastError(error);
  return code;
}

bool File::LoadWhole() {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle_.get(), &size)) return FailSystem(GetLastError());
  if (size.QuadPart < 0 ||
      uint64_t(size.QuadPart) > uint64_t(std::numeric_limits<ptrdiff_t>::max()))
    return Fail(FileErrorMessageW(FileErr::TooLarge), ERROR_NOT_ENOUGH_MEMORY);
  try {
    data_.assign(size_t(size.QuadPart), 0);
  } catch (const std::bad_alloc&) {
    return Fail(FileErrorMessageW(FileErr::TooLarge), ERROR_NOT_ENOUGH_MEMORY);
  }
  int64_t got = 0;
  if (!ReadHandle(data_.data(), int64_t(data_.size()), &got)) return false;
  if (got != int64_t(data_.size())) return Fail(u"Read past end of file", 0);
  memory_ = true;
  position_ = 0;
  return true;
}

void File::OpenMemory(std::vector<uint8_t> data, uint32_t mode) {
  Close();
  data_ = std::move(data);
  mode_ = mode & (FileMode::Read | FileMode::Write);
  memory_ = true;
  code_ = FileErr::Success;
  errorText_.clear();
  systemError_ = 0;
}

void File::Close() {
  handle_.reset();
  memory_ = false;
  data_ = {};
  position_ = 0;
}

std::vector<uint8_t> File::TakeData() {
  position_ = 0;
  return std::exchange(data_, {});
}

bool File::CheckReadable(const void* buffer) {
  if (!buffer) return Fail(u"NULL block pointer", 0);
  if (!IsOpen()) return Fail(u"File not open", 0);
  if (!(mode_ & FileMode::Read)) return Fail(u"Read access denied", 0);
  return true;
}

bool File::ReadHandle(uint8_t* out, int64_t size, int64_t* count) {
  int64_t total = 0;
  while (total < size) {
    const DWORD want = DWORD(std::min(size - total, kChunk));
    DWORD got = 0;
    if (!ReadFile(handle_.get(), out + total, want, &got, nullptr)) {
      *count = total;
      return FailSystem(GetLastError());
    }
    total += got;
    if (got < want) break;  // the end of the file
  }
  *count = total;
  return true;
}

bool File::Read(void* buffer, int64_t size, int64_t* count) {
  if (count) *count = 0;
  if (size <= 0) return Fail(Format(u"Illegal block size %d", size), 0);
  if (!CheckReadable(buffer)) return false;
  int64_t got = 0;
  if (memory_) {
    const size_t left = position_ < data_.size() ? data_.size() - position_ : 0;
    got = std::min<int64_t>(size, int64_t(left));
    if (got > 0) std::memcpy(buffer, data_.data() + position_, size_t(got));
    position_ += size_t(got);
  } else if (!ReadHandle(static_cast<uint8_t*>(buffer), size, &got)) {
    if (count) *count = got;
    return false;
  }
  if (count) *count = got;
  return true;
}

bool File::Read(void* buffer, int64_t size) {
  if (size < 0) return Fail(Format(u"Illegal block size %d", size), 0);
  if (!CheckReadable(buffer)) return false;
  if (size == 0) return true;
  int64_t got = 0;
  if (!Read(buffer, size, &got)) return false;
  if (got < size) return Fail(u"Read past end of file", 0);
  return true;
}

bool File::Write(const void* data, int64_t size) {
  if (size == 0) return true;
  if (size < 0) return Fail(u"Illegal write size", 0);
  if (!data) return Fail(u"NULL block pointer", 0);
  if (!IsOpen()) return Fail(u"File not open", kErrorOpenFailed);
  if (!(mode_ & FileMode::Write)) return Fail(u"Write access denied", kErrorAccessDenied);
  const auto* in = static_cast<const uint8_t*>(data);

  if (memory_) {
    if (uint64_t(size) > uint64_t(std::numeric_limits<ptrdiff_t>::max()) - position_)
      return FailSystem(ERROR_NOT_ENOUGH_MEMORY);
    const size_t end = position_ + size_t(size);
    try {
      if (end > data_.size()) data_.resize(end, 0);  // also fills a gap after a seek past the end
    } catch (const std::bad_alloc&) {
      return FailSystem(ERROR_NOT_ENOUGH_MEMORY);
    }
    std::memcpy(data_.data() + position_, in, size_t(size));
    position_ = end;
    return true;
  }

  const auto& writeChunk = FileTestHooks().writeChunk;
  for (int64_t done = 0; done < size;) {
    const DWORD chunk = DWORD(std::min(size - done, kChunk));
    DWORD written = 0;
    SetLastError(0);
    const BOOL ok = writeChunk ? writeChunk(handle_.get(), in + done, chunk, &written)
                               : WriteFile(handle_.get(), in + done, chunk, &written, nullptr);
    if (!ok) {
      const DWORD error = GetLastError();
      return FailSystem(error ? error : kErrorNoWriteReported);
    }
    if (written < chunk) {
      const DWORD error = GetLastError();
      return Fail(u"Not all data could be written", error ? error : kErrorNoWriteReported);
    }
    done += chunk;
  }
  return true;
}

bool File::Seek(int64_t offset, SeekFrom from) {
  if (!IsOpen()) return Fail(u"File not open", kErrorOpenFailed);
  if (memory_) {
    const int64_t base = from == SeekFrom::Begin     ? 0
                         : from == SeekFrom::Current ? int64_t(position_)
                                                     : int64_t(data_.size());
    if ((offset < 0 && base + offset < 0) ||
        (offset > 0 && offset > std::numeric_limits<int64_t>::max() - base))
      return FailSystem(ERROR_NEGATIVE_SEEK);
    const int64_t target = base + offset;
    if (uint64_t(target) > uint64_t(std::numeric_limits<ptrdiff_t>::max()))
      return FailSystem(ERROR_INVALID_PARAMETER);
    position_ = size_t(target);
    return true;
  }
  const DWORD method = from == SeekFrom::Begin     ? FILE_BEGIN
                       : from == SeekFrom::Current ? FILE_CURRENT
                                                   : FILE_END;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  if (!SetFilePointerEx(handle_.get(), distance, nullptr, method)) return FailSystem(GetLastError());
  return true;
}

int64_t File::Position() {
  if (!IsOpen()) return Fail(u"File not open", kErrorOpenFailed), -1;
  if (memory_) return int64_t(position_);
  LARGE_INTEGER zero{}, position;
  if (!SetFilePointerEx(handle_.get(), zero, &position, FILE_CURRENT))
    return FailSystem(GetLastError()), -1;
  return position.QuadPart;
}

int64_t File::Size() {
  if (!IsOpen()) return Fail(u"File not open", kErrorOpenFailed), -1;
  if (memory_) return int64_t(data_.size());
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle_.get(), &size)) return FailSystem(GetLastError()), -1;
  return size.QuadPart;
}

bool File::SetEnd() {
  if (!IsOpen()) return Fail(u"File not open", kErrorOpenFailed);
  if (memory_) {
    if (!(mode_ & FileMode::Write)) return Fail(u"Write access denied", kErrorAccessDenied);
    data_.resize(position_, 0);
    return true;
  }
  if (!SetEndOfFile(handle_.get())) return FailSystem(GetLastError());
  return true;
}

bool File::Flush() {
  if (!IsOpen()) return Fail(u"File not open", kErrorOpenFailed);
  if (memory_) return true;
  if (!FlushFileBuffers(handle_.get())) return FailSystem(GetLastError());
  return true;
}

bool File::GetTime(FILETIME* created, FILETIME* accessed, FILETIME* written) {
  if (!handle_) return Fail(u"File not open", kErrorOpenFailed);
  if (!GetFileTime(handle_.get(), created, accessed, written)) return FailSystem(GetLastError());
  return true;
}

bool File::SetTime(const FILETIME* created, const FILETIME* accessed, const FILETIME* written) {
  if (!handle_) return Fail(u"File not open", kErrorOpenFailed);
  if (!SetFileTime(handle_.get(), created, accessed, written)) return FailSystem(GetLastError());
  return true;
}

}  // namespace vk
