#include "setup/write_entry.h"

#include <windows.h>

#include <nettle/sha2.h>

#include <cstring>
#include <vector>

#include "lib/format.h"
#include "lib/narrow_path.h"
#include "lib/win32/system_error.h"
#include "setup/core/product_flags.h"
#include "setup/core/version_resource.h"

namespace setup {

namespace {

constexpr DWORD kProtectedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr DWORD kEntryAttributeMask = 0x1127;  // read-only, hidden, system, archive, temporary, offline
constexpr int kAttempts = 3;
constexpr DWORD kAttemptPause = 50;
constexpr size_t kReadBack = 64 * 1024;
// A version resource larger than this is not a version resource.
constexpr DWORD kMaxVersionInfo = 1 << 20;

bool WriteAll(HANDLE file, const uint8_t* data, size_t size) {
  while (size > 0) {
    const DWORD piece = size > (1u << 20) ? (1u << 20) : DWORD(size);
    DWORD done = 0;
    if (!WriteFile(file, data, piece, &done, nullptr)) return false;
    if (done == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    data += done;
    size -= done;
  }
  return true;
}

}  // namespace

struct EntryFileWriter::Hash {
  sha256_ctx ctx;
};

EntryFileWriter::EntryFileWriter(ReplacementContext& context, EntryWrite entry)
    : context_(context), entry_(std::move(entry)), hash_(std::make_unique<Hash>()) {
  sha256_init(&hash_->ctx);
  temp_ = MakeTempName(vk::PathFolder(entry_.target), u"", kTempKeepFolder);
  if (temp_.empty()) {
    stageError_ = GetLastError();
    if (stageError_ == 0) stageError_ = ERROR_CANNOT_MAKE;
    return;
  }
  file_.reset(CreateFileW(vk::W(temp_), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file_.valid()) {
    stageError_ = GetLastError();
    DeleteFileW(vk::W(temp_));
    temp_.clear();
  }
}

EntryFileWriter::~EntryFileWriter() {
  if (!done_) Abort();
}

void EntryFileWriter::Write(const uint8_t* data, size_t size) {
  if (done_ || size == 0) return;
  received_ += int64_t(size);
  sha256_update(&hash_->ctx, size, data);
  if (stageError_ != 0 || !file_.valid()) return;  // the rest of the item is drained unwritten
  if (!WriteAll(file_.get(), data, size)) stageError_ = GetLastError();
}

void EntryFileWriter::DropTemp() {
  file_.reset();
  if (!temp_.empty()) {
    SetFileAttributesW(vk::W(temp_), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(vk::W(temp_));
    temp_.clear();
  }
}

void EntryFileWriter::Abort() {
  done_ = true;
  DropTemp();
}

bool EntryFileWriter::Verify() {
  LARGE_INTEGER zero{};
  if (!FlushFileBuffers(file_.get()) || !SetFilePointerEx(file_.get(), zero, nullptr, FILE_BEGIN)) return false;
  sha256_ctx check;
  sha256_init(&check);
  std::vector<uint8_t> buffer(kReadBack);
  int64_t total = 0;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file_.get(), buffer.data(), DWORD(buffer.size()), &got, nullptr)) return false;
    if (got == 0) break;
    sha256_update(&check, got, buffer.data());
    total += got;
  }
  uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&check, sizeof digest, digest);
  return total == received_ && std::memcmp(digest, digest_, sizeof digest) == 0;
}

WriteOutcome EntryFileWriter::Commit() {
  WriteOutcome outcome;
  if (done_) return outcome;
  done_ = true;
  sha256_digest(&hash_->ctx, sizeof digest_, digest_);
  const int32_t* time = entry_.time && FileDate::FromEntry(entry_.time) ? entry_.time : nullptr;

  if (stageError_ != 0) {
    DropTemp();
    PendingReplacement r{entry_.target, {}, stageError_, time, entry_.existedBefore, stageError_};
    outcome.pending = RegisterReplacement(context_, r);
    return outcome;
  }
  if (context_.ProductFlag(flag::VerifyFiles) && !Verify()) {
    context_.AddFailure(vk::Format(u"Verification failed for %s\r\nThe written file differs from the installation data.\r\n\r\n",
                                   entry_.target));
    DropTemp();
    return outcome;
  }
  FILETIME ft;
  if (time && EntryTimeToFileTime(time, ft)) SetFileTime(file_.get(), &ft, nullptr, &ft);
  file_.reset();

  DWORD error = 0;
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    if (attempt > 1) Sleep(kAttemptPause);
    const DWORD existing = GetFileAttributesW(vk::W(entry_.target));
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & kProtectedAttributes)) {
      error = ERROR_ACCESS_DENIED;
    } else if (MoveFileExW(vk::W(temp_), vk::W(entry_.target), MOVEFILE_REPLACE_EXISTING)) {
      error = 0;
      break;
    } else {
      error = GetLastError();
    }
    if (attempt == 1) {
      if (error == ERROR_PATH_NOT_FOUND) CreateFolderTree(vk::PathFolder(entry_.target));
      if (context_.ProductFlag(flag::ClearProtectedAttributes) && existing != INVALID_FILE_ATTRIBUTES &&
          (existing & kProtectedAttributes)) {
        const DWORD cleared = existing & ~kProtectedAttributes;
        SetFileAttributesW(vk::W(entry_.target), cleared ? cleared : FILE_ATTRIBUTE_NORMAL);
      }
    }
  }
  if (error != 0) {
    PendingReplacement r{entry_.target, temp_, 0, time, entry_.existedBefore, error};
    temp_.clear();  // the replacement owns it now
    outcome.pending = RegisterReplacement(context_, r);
    return outcome;
  }
  temp_.clear();
  outcome.written = true;
  if (entry_.attributes != -1) {
    const DWORD current = GetFileAttributesW(vk::W(entry_.target));
    if (current != INVALID_FILE_ATTRIBUTES) {
      DWORD wanted = (current & ~kEntryAttributeMask) | (DWORD(entry_.attributes) & kEntryAttributeMask);
      SetFileAttributesW(vk::W(entry_.target), wanted ? wanted : FILE_ATTRIBUTE_NORMAL);
    }
  }
  return outcome;
}

WriteOutcome WriteEntryFile(ReplacementContext& context, const EntryWrite& entry, const EntryData& data) {
  EntryFileWriter writer(context, entry);
  const int code = data([&](const uint8_t* p, size_t n) { writer.Write(p, n); });
  if (code != 0) {
    writer.Abort();
    WriteOutcome outcome;
    outcome.dataError = code;
    return outcome;
  }
  return writer.Commit();
}

bool CreateTargetFolder(ReplacementContext& context, const vk::Streng& folder, const vk::Streng& target) {
  const uint32_t error = CreateFolderTree(folder);
  if (error == 0) return true;
  const vk::Streng reason = error == ERROR_ALREADY_EXISTS
                                ? vk::Streng(u"Cannot create folder because there is a file with the same name.")
                                : vk::SystemErrorText(error);
  context.AddFailure(vk::Format(u"%s %s\r\n%s\r\n\r\nNot installed: %s\r\n\r\n", context.Text(25), folder, reason, target));
  return false;
}

std::optional<FileDate> ReadFileDate(const vk::Streng& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(vk::W(path), GetFileExInfoStandard, &data)) return std::nullopt;
  SYSTEMTIME st;
  if (!FileTimeToSystemTime(&data.ftLastWriteTime, &st)) return std::nullopt;
  return FileDate{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::optional<vk::Streng> ReadFileVersion(const vk::Streng& path) {
  using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  // version.dll is not one the loader protects, so it is taken from the system folder by full path.
  static vk::ModuleHandle module = [] {
    wchar_t folder[MAX_PATH];
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return vk::ModuleHandle();
    const vk::Streng dll = vk::JoinPath(vk::FromW(folder, n), u"version.dll");
    return vk::ModuleHandle(LoadLibraryExW(vk::W(dll), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  }();
  if (!module) return std::nullopt;
  const auto size = reinterpret_cast<SizeFn>(reinterpret_cast<void*>(GetProcAddress(module.get(), "GetFileVersionInfoSizeW")));
  const auto info = reinterpret_cast<InfoFn>(reinterpret_cast<void*>(GetProcAddress(module.get(), "GetFileVersionInfoW")));
  if (!size || !info) return std::nullopt;
  DWORD handle = 0;
  const DWORD bytes = size(vk::W(path), &handle);
  if (bytes == 0 || bytes > kMaxVersionInfo) return std::nullopt;
  std::vector<uint8_t> block(bytes);
  if (!info(vk::W(path), 0, bytes, block.data())) return std::nullopt;
  VersionResource resource;
  if (!ParseVersionBlock(block.data(), block.size(), resource)) return std::nullopt;
  return resource.fileVersion;
}

void GatherReplacementFacts(ReplacementFacts& facts) {
  facts.exists = GetFileAttributesW(vk::W(facts.target)) != INVALID_FILE_ATTRIBUTES;
  const NeededFacts needed = FactsNeeded(facts.kind, facts.flags, facts.exists, !facts.entryVersion.empty());
  facts.existingDate = needed.date ? ReadFileDate(facts.target) : std::nullopt;
  facts.existingVersion = needed.version ? ReadFileVersion(facts.target) : std::nullopt;
}

}  // namespace setup
