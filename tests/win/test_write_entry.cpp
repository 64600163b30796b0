#include "setup/write_entry.h"

#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/narrow_path.h"
#include "lib/win32/system_error.h"
#include "win/win_test_support.h"

namespace {

using vk::Streng;

struct FakeContext : setup::ReplacementContext {
  uint64_t flags = 0;
  Streng log, failures;
  Streng Text(int n) override { return u"T" + vk::AsciiToStreng(std::to_string(n)); }
  bool ProductFlag(int bit) const override { return (flags >> bit) & 1; }
  void SetProductFlag(int bit) override { flags |= uint64_t(1) << bit; }
  void Log(const Streng& t) override { log += t; }
  void AddFailure(const Streng& t) override { failures += t; }
  bool AutomaticMode() const override { return true; }
  bool SilentMode() const override { return true; }
  bool AskYesNo(const Streng&, const Streng&) override { return false; }
};

// A scratch folder of this suite, removed again at the end of the test.
wintest::TempFolder Scratch(const char16_t* name) { return wintest::TempFolder(Streng(u"bs_write_") + name); }

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t(seed + i * 7);
  return b;
}

void Put(const Streng& path, const std::vector<uint8_t>& bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  SetFileAttributesW(vk::W(path), FILE_ATTRIBUTE_NORMAL);
  HANDLE f = CreateFileW(vk::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  DWORD done;
  WriteFile(f, bytes.data(), DWORD(bytes.size()), &done, nullptr);
  CloseHandle(f);
  SetFileAttributesW(vk::W(path), attributes);
}

std::vector<uint8_t> Get(const Streng& path) {
  std::vector<uint8_t> b;
  HANDLE f = CreateFileW(vk::W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return b;
  b.resize(GetFileSize(f, nullptr));
  DWORD done = 0;
  ReadFile(f, b.data(), DWORD(b.size()), &done, nullptr);
  CloseHandle(f);
  return b;
}

// The names in a folder that start with "VKT".
int TempFilesIn(const Streng& dir) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(vk::W(vk::JoinPath(dir, u"VKT*")), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do ++n;
  while (FindNextFileW(find, &data));
  FindClose(find);
  return n;
}

// Delivers the bytes in pieces of the given size, then the checksum verdict.
setup::EntryData Pieces(const std::vector<uint8_t>& bytes, size_t piece, int verdict = 0) {
  return [&bytes, piece, verdict](const setup::EntrySink& sink) {
    for (size_t at = 0; at < bytes.size(); at += piece) sink(bytes.data() + at, std::min(piece, bytes.size() - at));
    return verdict;
  };
}

using wintest::PendingRenames;

TEST(WriteEntry, FreshWriteLandsWithTimeAndAttributes) {
  const wintest::TempFolder scratch = Scratch(u"fresh");
  const Streng dir = scratch.path();
  const Streng target = vk::JoinPath(dir, u"app.exe");
  DeleteFileW(vk::W(target));
  const auto data = Pattern(300000, 3);
  const int32_t time[6] = {2021, 6, 7, 8, 9, 10};
  FakeContext c;
  c.flags = 1u << 18;  // verify
  const auto outcome = setup::WriteEntryFile(c, {target, int64_t(data.size()), time, FILE_ATTRIBUTE_READONLY | 0x10000, false},
                                             Pieces(data, 4096));
  EXPECT_TRUE(outcome.written);
  EXPECT_FALSE(outcome.pending);
  EXPECT_EQ(c.failures, u"");
  EXPECT_EQ(Get(target), data);
  WIN32_FILE_ATTRIBUTE_DATA info;
  ASSERT_TRUE(GetFileAttributesExW(vk::W(target), GetFileExInfoStandard, &info));
  EXPECT_TRUE(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
  SYSTEMTIME written, created;
  FileTimeToSystemTime(&info.ftLastWriteTime, &written);
  FileTimeToSystemTime(&info.ftCreationTime, &created);
  EXPECT_EQ(written.wYear, 2021);
  EXPECT_EQ(written.wMonth, 6);
  EXPECT_EQ(written.wDay, 7);
  EXPECT_EQ(written.wHour, 8);
  EXPECT_EQ(written.wMinute, 9);
  EXPECT_EQ(written.wSecond, 10);
  EXPECT_EQ(created.wYear, 2021);
  EXPECT_EQ(TempFilesIn(dir), 0);

  // An unset time keeps the system's; attributes -1 leave them.
  SetFileAttributesW(vk::W(target), FILE_ATTRIBUTE_NORMAL);
  const int32_t unset[6] = {2021, 0, 7, 8, 9, 10};
  const auto again = setup::WriteEntryFile(c, {target, 5, unset, -1, true}, Pieces(data, 1));
  EXPECT_TRUE(again.written);
  ASSERT_TRUE(GetFileAttributesExW(vk::W(target), GetFileExInfoStandard, &info));
  FileTimeToSystemTime(&info.ftLastWriteTime, &written);
  SYSTEMTIME now;
  GetSystemTime(&now);
  EXPECT_EQ(written.wYear, now.wYear);
  EXPECT_FALSE(info.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
}

TEST(WriteEntry, DamagedItemLeavesTheTargetAlone) {
  const wintest::TempFolder scratch = Scratch(u"damaged");
  const Streng dir = scratch.path();
  const Streng target = vk::JoinPath(dir, u"keep.txt");
  const auto old = Pattern(100, 9);
  Put(target, old);
  FakeContext c;
  const auto data = Pattern(5000, 1);
  const auto outcome = setup::WriteEntryFile(c, {target, int64_t(data.size()), nullptr, -1, true}, Pieces(data, 700, 100));
  EXPECT_EQ(outcome.dataError, 100);
  EXPECT_FALSE(outcome.written);
  EXPECT_EQ(Get(target), old);
  EXPECT_EQ(TempFilesIn(dir), 0);
}

TEST(WriteEntry, ProtectedTargetsAndLockedTargets) {
  PendingRenames keep;
  const wintest::TempFolder scratch = Scratch(u"protected");
  const Streng dir = scratch.path();
  const auto old = Pattern(64, 5), data = Pattern(4000, 2);
  struct {
    const char* name;
    DWORD attributes;
    uint64_t flags;
    bool existed;
    bool written, pending;
  } rows[] = {
      {"read-only, protected-files option", FILE_ATTRIBUTE_READONLY, 1u << 19, true, true, false},
      {"hidden system, protected-files option", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, 1u << 19, true, true, false},
      {"read-only, no option: at the restart", FILE_ATTRIBUTE_READONLY, 0, true, false, true},
      {"read-only, not there before: reported", FILE_ATTRIBUTE_READONLY, 0, false, false, false},
  };
  int i = 0;
  for (const auto& r : rows) {
    const Streng target = vk::JoinPath(dir, vk::AsciiToStreng("t" + std::to_string(i++) + ".dll"));
    Put(target, old, r.attributes);
    FakeContext c;
    c.flags = r.flags;
    const int tempsBefore = TempFilesIn(dir);
    const DWORD start = GetTickCount();
    const auto outcome = setup::WriteEntryFile(c, {target, int64_t(data.size()), nullptr, -1, r.existed}, Pieces(data, 1000));
    EXPECT_EQ(outcome.written, r.written) << r.name;
    EXPECT_EQ(outcome.pending, r.pending) << r.name;
    EXPECT_EQ(Get(target), r.written ? data : old) << r.name;
    if (r.written) {
      EXPECT_EQ(c.failures, u"") << r.name;
      EXPECT_GE(GetTickCount() - start, 40u) << r.name << ": replaced on the second attempt";
    } else {
      EXPECT_GE(GetTickCount() - start, 90u) << r.name << ": three attempts, 50 ms apart";
    }
    if (!r.written && !r.pending) {
      EXPECT_EQ(c.failures, u"\r\nT31 " + target + u"\r\n" + vk::SystemErrorText(ERROR_ACCESS_DENIED) + u"\r\n\r\n") << r.name;
      EXPECT_EQ(TempFilesIn(dir), tempsBefore) << r.name << ": the temporary file is gone";
    }
    SetFileAttributesW(vk::W(target), FILE_ATTRIBUTE_NORMAL);
  }

  // A target held open without sharing: the new content waits beside it for the restart.
  const Streng locked = vk::JoinPath(dir, u"locked.dll");
  Put(locked, old);
  HANDLE hold = CreateFileW(vk::W(locked), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(hold, INVALID_HANDLE_VALUE);
  FakeContext c;
  const int32_t time[6] = {2022, 2, 3, 4, 5, 6};
  const auto outcome = setup::WriteEntryFile(c, {locked, int64_t(data.size()), time, -1, true}, Pieces(data, 333));
  CloseHandle(hold);
  EXPECT_FALSE(outcome.written);
  EXPECT_TRUE(outcome.pending);
  EXPECT_TRUE(c.ProductFlag(14));
  EXPECT_EQ(c.failures, u"");
  const size_t at = c.log.find(u"Temporary file is \"");
  ASSERT_NE(at, Streng::npos) << vk::StrengToUtf8(c.log);
  const size_t from = at + 19, to = c.log.find(u'"', from);
  const Streng temp = c.log.substr(from, to - from);
  EXPECT_EQ(vk::PathFolder(temp), dir);
  EXPECT_EQ(Get(temp), data);
  EXPECT_EQ(Get(locked), old);
  const Streng registered = PendingRenames::TargetOf(temp);
  EXPECT_TRUE(wintest::EndsWithNoCase(registered, locked)) << "registered target: " << vk::StrengToUtf8(registered);
  EXPECT_EQ(c.log.substr(0, 8 + locked.size()), u"\r\nT31 " + locked + u"\r\n");
}

TEST(WriteEntry, FolderBlockedByAFile) {
  const wintest::TempFolder scratch = Scratch(u"blocked");
  const Streng dir = scratch.path();
  const Streng blocker = vk::JoinPath(dir, u"Tools");
  Put(blocker, Pattern(3, 0));
  FakeContext c;
  const Streng target = vk::JoinPath(blocker, u"x.exe");
  EXPECT_FALSE(setup::CreateTargetFolder(c, blocker, target));
  EXPECT_EQ(c.failures, u"T25 " + blocker + u"\r\nCannot create folder because there is a file with the same name.\r\n\r\nNot installed: " +
                            target + u"\r\n\r\n");
  FakeContext ok;
  EXPECT_TRUE(setup::CreateTargetFolder(ok, vk::JoinPath(dir, u"a\\b\\c"), target));
  EXPECT_EQ(ok.failures, u"");
  EXPECT_TRUE(GetFileAttributesW(vk::W(vk::JoinPath(dir, u"a\\b\\c"))) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(WriteEntry, LargeItemIsWrittenWithoutHoldingIt) {
  const wintest::TempFolder scratch = Scratch(u"large");
  const Streng dir = scratch.path();
  const Streng target = vk::JoinPath(dir, u"big.bin");
  DeleteFileW(vk::W(target));
  constexpr size_t kPiece = 64 * 1024, kTotal = 20u << 20;
  std::vector<uint8_t> piece = Pattern(kPiece, 11);
  PROCESS_MEMORY_COUNTERS before{}, after{};
  ASSERT_TRUE(K32GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before));
  FakeContext c;
  c.flags = 1u << 18;  // the read-back is bounded too
  const auto outcome = setup::WriteEntryFile(c, {target, int64_t(kTotal), nullptr, -1, false}, [&](const setup::EntrySink& sink) {
    for (size_t at = 0; at < kTotal; at += kPiece) {
      piece[0] = uint8_t(at >> 16);  // every piece differs a little
      sink(piece.data(), kPiece);
    }
    return 0;
  });
  ASSERT_TRUE(K32GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after));
  EXPECT_TRUE(outcome.written);
  WIN32_FILE_ATTRIBUTE_DATA info;
  ASSERT_TRUE(GetFileAttributesExW(vk::W(target), GetFileExInfoStandard, &info));
  EXPECT_EQ(info.nFileSizeLow, DWORD(kTotal));
  const size_t growth = after.PeakPagefileUsage - before.PeakPagefileUsage;
  EXPECT_LT(growth, size_t(2) << 20) << "peak private memory grew by " << growth << " bytes";
  DeleteFileW(vk::W(target));
}

}  // namespace
