#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "lib/file_errors.h"
#include "lib/format.h"
#include "lib/win32/file.h"
#include "lib/win32/handle.h"
#include "lib/win32/system_error.h"
#include "win/win_test_support.h"

namespace {

using vk::File;
using vk::Streng;
namespace Mode = vk::FileMode;

std::string U8(const Streng& s) { return vk::StrengToUtf8(s); }

// A fresh folder per test, and the test hooks cleared afterwards.
class FileTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.path().empty()) << "error " << folder_.error();
    ASSERT_TRUE(folder_.created()) << "error " << folder_.error();
  }
  // The folder goes after this, with the fixture.
  void TearDown() override { vk::FileTestHooks() = {}; }
  Streng Path(const char16_t* name) const { return dir_ + u"\\" + name; }
  void MakeFile(const Streng& path, const std::string& content) {
    vk::FileHandle h(CreateFileW(vk::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(h) << U8(path) << ": error " << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h.get(), content.data(), DWORD(content.size()), &written, nullptr));
  }
  // Counts open attempts and records their errors.
  std::vector<uint32_t>& RecordAttempts() {
    attempts_.clear();
    vk::FileTestHooks().openAttempt = [this](int n, uint32_t error) {
      EXPECT_EQ(n, int(attempts_.size()) + 1);
      attempts_.push_back(error);
    };
    return attempts_;
  }

  const wintest::TempFolder folder_{vk::Format(u"bs_file_%u_%u", GetCurrentProcessId(), GetTickCount())};
  const Streng dir_ = folder_.path();
  std::vector<uint32_t> attempts_;
};

char16_t UnmappedDrive() {
  const DWORD drives = GetLogicalDrives();
  for (char16_t d = u'Y'; d >= u'D'; --d)
    if (!((drives >> (d - u'A')) & 1)) return d;
  return 0;
}

TEST_F(FileTest, FailingOpens) {
  const char16_t drive = UnmappedDrive();
  ASSERT_NE(drive, 0) << "every drive letter is mapped";
  const Streng readOnly = Path(u"readonly.txt");
  MakeFile(readOnly, "x");
  ASSERT_TRUE(SetFileAttributesW(vk::W(readOnly), FILE_ATTRIBUTE_READONLY));
  // Wine keeps the read-only attribute in the Unix permissions, which do not stop root.
  const bool readOnlyEnforced = !vk::FileHandle(CreateFileW(
      vk::W(readOnly), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));

  struct Row {
    const char* name;
    Streng path;
    uint32_t mode;
    int code;
    uint32_t systemError;
  };
  const Row rows[] = {
      {"missing drive", Streng(1, drive) + u":\\folder\\file.txt", Mode::Read, 21, ERROR_PATH_NOT_FOUND},
      {"folder as file", dir_, Mode::Read, 23, ERROR_ACCESS_DENIED},
      {"folder with backslash", dir_ + u"\\", Mode::Read, 23, ERROR_ACCESS_DENIED},
      {"writing a read-only file", readOnly, Mode::Write, 13, ERROR_ACCESS_DENIED},
      {"missing file", Path(u"missing.txt"), Mode::Read, 3, ERROR_FILE_NOT_FOUND},
      {"missing folder", Path(u"nofolder\\file.txt"), Mode::Read, 4, ERROR_PATH_NOT_FOUND},
      {"creating in a missing folder", Path(u"nofolder\\f.txt"), Mode::Write | Mode::CreateAlways, 4,
       ERROR_PATH_NOT_FOUND},
      {"empty name", u"", Mode::Read, 2, ERROR_INVALID_NAME},
      {"invalid name", Path(u"a<>|b.txt"), Mode::Read, 2, ERROR_INVALID_NAME},
  };
  for (const Row& r : rows) {
    if (r.code == 13 && !readOnlyEnforced) {
      std::printf("known difference: writing a read-only file is allowed here (Wine as root)\n");
      continue;
    }
    auto& attempts = RecordAttempts();
    File file;
    SetLastError(0xdeadbeef);
    const int code = file.Open(r.path, r.mode);
    const DWORD error = GetLastError();
    EXPECT_EQ(code, r.code) << r.name << ": expected " << r.code << ", got " << code;
    EXPECT_EQ(error, r.systemError) << r.name << ": last error " << error;
    EXPECT_EQ(file.SystemError(), r.systemError) << r.name;
    EXPECT_EQ(file.ErrorCode(), r.code) << r.name;
    EXPECT_EQ(U8(file.ErrorText()), vk::FileErrorMessage(r.code)) << r.name;
    EXPECT_FALSE(file.IsOpen()) << r.name;
    // The extra lookups are made after the open: the thread still describes the open.
    SetLastError(error);
    EXPECT_EQ(U8(vk::LastSystemErrorText()), U8(vk::SystemErrorText(r.systemError))) << r.name;
    EXPECT_EQ(attempts.size(), r.path.empty() ? 0u : 1u) << r.name << ": attempts";
  }
  // Reading the read-only file is allowed.
  vk::FileTestHooks() = {};
  File file;
  EXPECT_EQ(file.Open(readOnly, Mode::Read), 0) << U8(file.ErrorText());
}

TEST_F(FileTest, SharingViolationRetries) {
  const Streng path = Path(u"locked.txt");
  MakeFile(path, "locked");
  vk::FileHandle blocker(CreateFileW(vk::W(path), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(blocker) << "error " << GetLastError();

  struct Row {
    const char* name;
    uint32_t mode;
    size_t attempts;
    int minMs, maxMs;
  };
  const Row rows[] = {
      {"default: five retries 100 ms apart", Mode::Read, 6, 450, 2000},
      {"no retry on sharing violation", Mode::Read | Mode::NoSharingRetry, 1, 0, 90},
      {"retry once, then the five", Mode::Read | Mode::RetryOnce, 7, 600, 2200},
      {"retry once only", Mode::Read | Mode::RetryOnce | Mode::NoSharingRetry, 2, 140, 600},
  };
  for (const Row& r : rows) {
    auto& attempts = RecordAttempts();
    File file;
    SetLastError(0xdeadbeef);
    const auto start = std::chrono::steady_clock::now();
    const int code = file.Open(path, r.mode);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(code, 5) << r.name << ": got " << code;
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION)) << r.name;
    EXPECT_EQ(attempts.size(), r.attempts) << r.name;
    for (uint32_t e : attempts) EXPECT_EQ(e, uint32_t(ERROR_SHARING_VIOLATION)) << r.name;
    EXPECT_GE(ms, r.minMs) << r.name;
    EXPECT_LT(ms, r.maxMs) << r.name;
  }

  // The lock goes away during the retries: the open succeeds on the next attempt.
  auto& attempts = RecordAttempts();
  vk::FileTestHooks().openAttempt = [&](int n, uint32_t error) {
    attempts.push_back(error);
    if (n == 3) blocker.reset();
  };
  File file;
  EXPECT_EQ(file.Open(path, Mode::Read), 0) << U8(file.ErrorText());
  EXPECT_EQ(attempts, (std::vector<uint32_t>{32, 32, 32, 0}));
}

TEST_F(FileTest, RetryOnceRetriesAnyFailure) {
  auto& attempts = RecordAttempts();
  File file;
  EXPECT_EQ(file.Open(Path(u"missing.txt"), Mode::Read | Mode::RetryOnce), 3);
  EXPECT_EQ(attempts, (std::vector<uint32_t>{2, 2}));

  // The file appears before the second try.
  const Streng path = Path(u"late.txt");
  vk::FileTestHooks().openAttempt = [&](int n, uint32_t) {
    if (n == 1) MakeFile(path, "late");
  };
  EXPECT_EQ(file.Open(path, Mode::Read | Mode::RetryOnce), 0) << U8(file.ErrorText());
}

Streng g_notice;
int g_notices = 0;
void CaptureNotice(const Streng& text) {
  g_notice = text;
  ++g_notices;
  SetLastError(0xdeadbeef);  // a window would change it too
}

TEST_F(FileTest, RequiredFileNotice) {
  const auto previous = vk::SetRequiredFileNotice(&CaptureNotice);
  g_notices = 0;
  File file;
  const Streng path = Path(u"missing.dat");
  EXPECT_EQ(file.Open(path, Mode::Read), 3);
  EXPECT_EQ(g_notices, 0) << "shown for a file that is not required";
  EXPECT_EQ(file.Open(path, Mode::Read | Mode::Required), 3);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(g_notices, 1);
  EXPECT_EQ(U8(g_notice), "Failed to open required file:\r\n" + U8(path) + "\r\n\r\nThe file was not found.");
  vk::SetRequiredFileNotice(previous);
}

// Every read and write message, on a file on disk and on one in memory.
TEST_F(FileTest, ReadAndWriteMessages) {
  const Streng path = Path(u"ten.bin");
  MakeFile(path, "0123456789");
  using Opener = std::function<void(File&, uint32_t)>;
  const std::pair<const char*, Opener> kinds[] = {
      {"disk", [&](File& f, uint32_t mode) { ASSERT_EQ(f.Open(path, mode | Mode::ShareRead | Mode::ShareWrite), 0) << U8(f.ErrorText()); }},
      {"memory",
       [](File& f, uint32_t mode) {
         f.OpenMemory(std::vector<uint8_t>{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'}, mode);
       }},
      {"loaded", [&](File& f, uint32_t mode) {
         ASSERT_EQ(f.Open(path, mode | Mode::LoadIntoMemory | Mode::ShareRead | Mode::ShareWrite), 0) << U8(f.ErrorText());
         ASSERT_TRUE(f.InMemory());
       }},
  };
  for (const auto& [kind, open] : kinds) {
    char buf[16] = {};
    int64_t n = -7;
    File file;
    open(file, Mode::Read);
    struct Row {
      const char* name;
      std::function<bool()> call;
      const char* text;
      uint32_t systemError;
    };
    const Row readOnly[] = {
        {"negative read", [&] { return file.Read(buf, -1); }, "Illegal block size -1", 0},
        {"negative counted read", [&] { return file.Read(buf, -5, &n); }, "Illegal block size -5", 0},
        {"empty counted read", [&] { return file.Read(buf, 0, &n); }, "Illegal block size 0", 0},
        {"null buffer", [&] { return file.Read(nullptr, 4); }, "NULL block pointer", 0},
        {"negative write", [&] { return file.Write(buf, -2); }, "Illegal write size", 0},
        {"write without access", [&] { return file.Write(buf, 2); }, "Write access denied", 5},
        {"read past the end", [&] { return file.Seek(8) && file.Read(buf, 3); }, "Read past end of file", 0},
    };
    for (const Row& r : readOnly) {
      SetLastError(0xdeadbeef);
      EXPECT_FALSE(r.call()) << kind << " " << r.name;
      EXPECT_EQ(U8(file.ErrorText()), r.text) << kind << " " << r.name;
      EXPECT_EQ(file.SystemError(), r.systemError) << kind << " " << r.name;
      EXPECT_EQ(GetLastError(), r.systemError ? r.systemError : 0xdeadbeef) << kind << " " << r.name;
    }
    // What does succeed.
    EXPECT_TRUE(file.Read(buf, 0)) << kind;
    EXPECT_TRUE(file.Write(nullptr, 0)) << kind;
    ASSERT_TRUE(file.Seek(0)) << kind;
    ASSERT_TRUE(file.Read(buf, 4)) << kind;
    EXPECT_EQ(std::string(buf, 4), "0123") << kind;
    ASSERT_TRUE(file.Read(buf, 16, &n)) << kind;
    EXPECT_EQ(n, 6) << kind;
    EXPECT_EQ(std::string(buf, 6), "456789") << kind;
    ASSERT_TRUE(file.Read(buf, 16, &n)) << kind;
    EXPECT_EQ(n, 0) << kind << ": a counted read at the end gives 0 bytes";

    if (std::string(kind) == "loaded") continue;  // loading needs read access
    File writeOnly;
    open(writeOnly, Mode::Write);
    EXPECT_FALSE(writeOnly.Read(buf, 1)) << kind;
    EXPECT_EQ(U8(writeOnly.ErrorText()), "Read access denied") << kind;
  }

  File closed;
  char buf[4];
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(closed.Write(buf, 4));
  EXPECT_EQ(U8(closed.ErrorText()), "File not open");
  EXPECT_EQ(GetLastError(), DWORD(ERROR_OPEN_FAILED));
  EXPECT_EQ(closed.SystemError(), 110u);
  EXPECT_FALSE(closed.Read(buf, 4));
  EXPECT_EQ(U8(closed.ErrorText()), "File not open");
}

TEST_F(FileTest, WritesInChunksOfOneMiB) {
  const Streng path = Path(u"big.bin");
  std::vector<uint8_t> data(3 * 1048576 + 524288 + 3);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7 + (i >> 16));
  std::vector<DWORD> chunks;
  vk::FileTestHooks().writeChunk = [&](HANDLE h, const void* p, DWORD n, DWORD* written) {
    chunks.push_back(n);
    return WriteFile(h, p, n, written, nullptr);
  };
  File out;
  ASSERT_EQ(out.Open(path, Mode::Write | Mode::CreateAlways), 0) << U8(out.ErrorText());
  ASSERT_TRUE(out.Write(data.data(), int64_t(data.size()))) << U8(out.ErrorText());
  EXPECT_EQ(chunks, (std::vector<DWORD>{1048576, 1048576, 1048576, 524288 + 3}));
  EXPECT_EQ(out.Size(), int64_t(data.size()));
  out.Close();

  File in;
  ASSERT_EQ(in.Open(path, Mode::Read | Mode::LoadIntoMemory), 0) << U8(in.ErrorText());
  EXPECT_TRUE(in.Data() == data) << "read back differs";
}

TEST_F(FileTest, FailedAndShortSystemWrites) {
  struct Row {
    const char* name;
    BOOL result;
    DWORD error;      // what the stand-in system write reports
    bool half;        // writes half the chunk
    const char* text; // empty: the system's text of systemError
    uint32_t systemError;
  };
  const Row rows[] = {
      {"failed write", FALSE, ERROR_DISK_FULL, false, "", ERROR_DISK_FULL},
      {"short write, no error", TRUE, 0, true, "Not all data could be written", 5922},
      {"short write with error", TRUE, ERROR_DISK_FULL, true, "Not all data could be written", ERROR_DISK_FULL},
  };
  for (const Row& r : rows) {
    int calls = 0;
    vk::FileTestHooks().writeChunk = [&](HANDLE, const void*, DWORD n, DWORD* written) {
      ++calls;
      *written = r.half ? n / 2 : 0;
      SetLastError(r.error);
      return r.result;
    };
    File out;
    ASSERT_EQ(out.Open(Path(u"w.bin"), Mode::Write | Mode::CreateAlways), 0) << r.name;
    std::vector<uint8_t> data(2 * 1048576);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(out.Write(data.data(), int64_t(data.size()))) << r.name;
    EXPECT_EQ(calls, 1) << r.name << ": the write goes on after a failed chunk";
    const std::string expected = *r.text ? r.text : U8(vk::SystemErrorText(r.systemError));
    EXPECT_EQ(U8(out.ErrorText()), expected) << r.name;
    EXPECT_EQ(out.SystemError(), r.systemError) << r.name;
    EXPECT_EQ(GetLastError(), r.systemError) << r.name;
  }
}

TEST_F(FileTest, FailedSystemReadStoresTheSystemText) {
  // A pipe whose other end has gone: ReadFile fails with the system's error.
  const Streng name = vk::Format(u"\\\\.\\pipe\\bs_file_%u", GetCurrentProcessId());
  vk::FileHandle server(CreateNamedPipeW(vk::W(name), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 512, 512, 0, nullptr));
  ASSERT_TRUE(server) << "error " << GetLastError();
  File file;
  ASSERT_EQ(file.Open(name, Mode::Read | Mode::Write), 0) << U8(file.ErrorText());
  server.reset();
  char buf[8];
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(file.Read(buf, 8));
  const DWORD error = GetLastError();
  EXPECT_NE(error, 0xdeadbeefu);
  EXPECT_EQ(file.SystemError(), error);
  EXPECT_EQ(U8(file.ErrorText()), U8(vk::SystemErrorText(error))) << "error " << error;
  EXPECT_FALSE(file.ErrorText().empty());
}

TEST_F(FileTest, LoadIntoMemoryFailureClosesTheFile) {
  const Streng path = Path(u"a.txt");
  MakeFile(path, "abc");
  File file;
  // Without read access the load cannot read it.
  EXPECT_EQ(file.Open(path, Mode::Write | Mode::LoadIntoMemory), 6);
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(U8(file.ErrorText()), "Failed to read the file into memory.");
  // The handle really is closed: an exclusive open succeeds.
  File exclusive;
  EXPECT_EQ(exclusive.Open(path, Mode::Read | Mode::Write | Mode::NoSharingRetry), 0)
      << U8(exclusive.ErrorText());
}

TEST_F(FileTest, SeekSizeEndAndTimes) {
  const Streng path = Path(u"s.bin");
  File disk;
  ASSERT_EQ(disk.Open(path, Mode::Read | Mode::Write | Mode::CreateAlways), 0);
  File memory;
  memory.OpenMemory({}, Mode::Read | Mode::Write);
  for (File* f : {&disk, &memory}) {
    const char* kind = f == &disk ? "disk" : "memory";
    ASSERT_TRUE(f->Write("abcdef", 6)) << kind;
    EXPECT_EQ(f->Position(), 6) << kind;
    EXPECT_TRUE(f->Seek(-2, vk::SeekFrom::End)) << kind;
    EXPECT_TRUE(f->Seek(-1, vk::SeekFrom::Current)) << kind;
    EXPECT_EQ(f->Position(), 3) << kind;
    EXPECT_TRUE(f->SetEnd()) << kind;
    EXPECT_EQ(f->Size(), 3) << kind;
    EXPECT_TRUE(f->Seek(5)) << kind;
    ASSERT_TRUE(f->Write("Z", 1)) << kind;  // the gap reads as zeros
    EXPECT_EQ(f->Size(), 6) << kind;
    EXPECT_TRUE(f->Flush()) << kind;
    EXPECT_TRUE(f->Seek(0)) << kind;
    char buf[6];
    ASSERT_TRUE(f->Read(buf, 6)) << kind;
    EXPECT_EQ(std::string(buf, 6), std::string("abc\0\0Z", 6)) << kind;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(f->Seek(-7, vk::SeekFrom::End)) << kind;
    EXPECT_EQ(f->SystemError(), uint32_t(ERROR_NEGATIVE_SEEK)) << kind << ": got " << f->SystemError();
    EXPECT_EQ(U8(f->ErrorText()), U8(vk::SystemErrorText(ERROR_NEGATIVE_SEEK))) << kind;
  }
  EXPECT_EQ(memory.Data(), (std::vector<uint8_t>{'a', 'b', 'c', 0, 0, 'Z'}));

  FILETIME written{}, set{};
  set.dwHighDateTime = 0x01D00000;  // 2014
  EXPECT_TRUE(disk.SetTime(nullptr, nullptr, &set)) << U8(disk.ErrorText());
  EXPECT_TRUE(disk.GetTime(nullptr, nullptr, &written)) << U8(disk.ErrorText());
  EXPECT_EQ(written.dwHighDateTime, set.dwHighDateTime);
  EXPECT_EQ(written.dwLowDateTime, set.dwLowDateTime);
  EXPECT_FALSE(memory.GetTime(nullptr, nullptr, &written));
  EXPECT_EQ(U8(memory.ErrorText()), "File not open");
}

TEST(UniqueHandle, OwnsAndClosesKeepingTheLastError) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  HANDLE raw = nullptr;
  {
    vk::KernelHandle h(event);
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &raw, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    vk::KernelHandle moved(std::move(h));
    EXPECT_FALSE(h);
    EXPECT_EQ(moved.get(), event);
    SetLastError(0xdeadbeef);
    moved.reset();
    EXPECT_EQ(GetLastError(), 0xdeadbeefu) << "closing changed the last error";
    EXPECT_FALSE(moved);
  }
  // The first handle is gone; the duplicate is still ours until released.
  DWORD flags = 0;
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetHandleInformation(event, &flags));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  vk::KernelHandle dup(raw);
  EXPECT_EQ(dup.release(), raw);
  EXPECT_FALSE(dup);
  EXPECT_TRUE(GetHandleInformation(raw, &flags)) << "release closed the handle";
  *dup.put() = raw;
  EXPECT_TRUE(dup);

  vk::FileHandle none;
  EXPECT_EQ(none.get(), INVALID_HANDLE_VALUE);
}

}  // namespace
