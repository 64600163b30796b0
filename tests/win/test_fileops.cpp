#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "lib/narrow_path.h"
#include "lib/win32/fileops.h"
#include "win/win_test_support.h"

namespace {

using vk::Streng;
using vk::W;

std::string Show(const Streng& s) { return vk::StrengToUtf8(s); }

using wintest::PendingRenames;

// The XDG trash of the Unix user as a Windows path: Wine shows the Unix root as Z: and
// tells the home folder in WINEHOMEDIR ("\??\Z:\root").
Streng UnixTrashFolder() {
  wchar_t buffer[MAX_PATH];
  Streng base;
  DWORD n = GetEnvironmentVariableW(L"XDG_DATA_HOME", buffer, MAX_PATH);
  if (n > 0 && n < MAX_PATH && buffer[0] == L'/') {
    base = u"Z:" + vk::FromW(buffer);
  } else {
    n = GetEnvironmentVariableW(L"WINEHOMEDIR", buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    base = vk::FromW(buffer);
    if (base.rfind(u"\\??\\", 0) == 0) base.erase(0, 4);
    base += u"\\.local\\share";
  }
  for (auto& c : base)
    if (c == u'/') c = u'\\';
  return base + u"\\Trash";
}

class FileOps : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.path().empty()) << folder_.error();
    ASSERT_TRUE(folder_.created()) << folder_.error();
  }
  Streng Make(const char* name, const std::string& content = "x",
              DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    const Streng path = Path(name);
    HANDLE h = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << name;
    DWORD put = 0;
    if (!content.empty()) WriteFile(h, content.data(), DWORD(content.size()), &put, nullptr);
    CloseHandle(h);
    return path;
  }
  Streng Path(const char* name) { return vk::JoinPath(dir_, vk::AsciiToStreng(name)); }
  static bool Exists(const Streng& path) {
    return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
  }

  // Removed with everything in it after the test.
  const wintest::TempFolder folder_{vk::AsciiToStreng("bs_fileops_" + std::to_string(GetCurrentProcessId()) + "_" +
                                                      std::to_string(GetTickCount()))};
  const Streng dir_ = folder_.path();
};

TEST_F(FileOps, DeletePlainAndReadOnlyFiles) {
  const Streng plain = Make("plain.txt");
  SetLastError(0xdeadbeef);
  EXPECT_TRUE(vk::DeleteFileEx(plain));
  EXPECT_FALSE(Exists(plain));

  const Streng kept = Make("kept.txt", "x", FILE_ATTRIBUTE_READONLY);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(vk::DeleteFileEx(kept, vk::KeepReadOnly));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(Exists(kept));
  EXPECT_NE(GetFileAttributesW(W(kept)) & FILE_ATTRIBUTE_READONLY, 0u);

  const Streng cleared = Make("cleared.txt", "x", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(vk::DeleteFileEx(cleared));
  EXPECT_FALSE(Exists(cleared));

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(vk::DeleteFileEx(Streng()));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_NAME));
}

TEST_F(FileOps, DeleteMissingFile) {
  struct Case {
    const char* name;
    Streng path;
    DWORD error;
  };
  const Case cases[] = {
      {"missing file", Path("gone.txt"), ERROR_FILE_NOT_FOUND},
      {"missing folder", Path("no such folder\\gone.txt"), ERROR_PATH_NOT_FOUND},
  };
  for (const auto& c : cases) {
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(vk::DeleteFileEx(c.path)) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
    EXPECT_TRUE(vk::DeleteFileEx(c.path, vk::MissingIsSuccess)) << c.name;
    // A missing file is never worth a restart.
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(vk::DeleteFileEx(c.path, vk::FallBackToReboot)) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
  }
}

TEST_F(FileOps, DeleteOnlyIfEmpty) {
  const Streng full = Make("full.txt", "data");
  EXPECT_FALSE(vk::DeleteFileEx(full, vk::OnlyIfEmpty));
  EXPECT_TRUE(Exists(full));

  const Streng empty = Make("empty.txt", "");
  EXPECT_TRUE(vk::DeleteFileEx(empty, vk::OnlyIfEmpty));
  EXPECT_FALSE(Exists(empty));

  // Checked before anything else, so MissingIsSuccess does not turn it round.
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(vk::DeleteFileEx(Path("none.txt"), vk::OnlyIfEmpty | vk::MissingIsSuccess));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(FileOps, LockedFileFallsBackToDeletionAtRestart) {
  PendingRenames restore;
  const Streng locked = Make("locked.txt");
  HANDLE h = CreateFileW(W(locked), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(vk::DeleteFileEx(locked));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));

  const size_t before = PendingRenames::Entries().size();
  EXPECT_TRUE(vk::DeleteFileEx(locked, vk::FallBackToReboot)) << GetLastError();
  CloseHandle(h);
  EXPECT_TRUE(Exists(locked));

  const std::vector<Streng> ops = PendingRenames::Entries();
  ASSERT_EQ(ops.size(), before + 2);
  EXPECT_EQ(Show(ops[before]), Show(u"\\??\\" + locked));
  EXPECT_EQ(Show(ops[before + 1]), "");
}

TEST_F(FileOps, AtRebootRegistersWithoutDeleting) {
  PendingRenames restore;
  const Streng later = Make("later.txt", "x", FILE_ATTRIBUTE_READONLY);
  const size_t before = PendingRenames::Entries().size();
  EXPECT_TRUE(vk::DeleteFileEx(later, vk::AtReboot));
  EXPECT_TRUE(Exists(later));
  // The read-only attribute is cleared first, so that the restart can remove it.
  EXPECT_EQ(GetFileAttributesW(W(later)) & FILE_ATTRIBUTE_READONLY, 0u);
  const std::vector<Streng> ops = PendingRenames::Entries();
  ASSERT_EQ(ops.size(), before + 2);
  EXPECT_EQ(Show(ops[before]), Show(u"\\??\\" + later));
}

// Wine's shell moves the file into the desktop's trash (the XDG trash of the Unix user),
// which is the recycle bin's counterpart there.
TEST_F(FileOps, ToRecycleBin) {
  const std::string unique =
      "recycled_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
  const Streng file = Make((unique + ".txt").c_str());
  EXPECT_TRUE(vk::DeleteFileEx(file, vk::ToRecycleBin)) << GetLastError();
  EXPECT_FALSE(Exists(file));

  const Streng trash = UnixTrashFolder();
  ASSERT_FALSE(trash.empty()) << "not running under Wine";
  const Streng inTrash = trash + u"\\files\\" + vk::AsciiToStreng(unique + ".txt");
  const Streng info = trash + u"\\info\\" + vk::AsciiToStreng(unique + ".txt.trashinfo");
  EXPECT_TRUE(Exists(inTrash)) << Show(inTrash);
  DeleteFileW(W(inTrash));
  DeleteFileW(W(info));

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(vk::DeleteFileEx(Path("not-there.txt"), vk::ToRecycleBin));
  EXPECT_NE(GetLastError(), 0u);
}

TEST(FileOpsPaths, CanonicalizePath) {
  const Streng longFolder = u"C:\\" + Streng(300, u'a');
  struct Case {
    Streng in;
    bool changed;
    Streng out;
  };
  const Case cases[] = {
      {u"C:\\a\\.\\b\\..\\c", true, u"C:\\a\\c"},
      {u"C:\\a\\c", false, u"C:\\a\\c"},
      {u"C:\\a\\..\\..", true, u"C:\\"},
      {u"", false, u""},
      {longFolder + u"\\.\\b\\..\\c", true, longFolder + u"\\c"},
      {longFolder + u"\\c", false, longFolder + u"\\c"},
  };
  for (const auto& c : cases) {
    Streng path = c.in;
    EXPECT_EQ(vk::CanonicalizePath(path), c.changed) << Show(c.in);
    EXPECT_EQ(Show(path), Show(c.out));
  }
}

TEST(FileOpsPaths, DriveKind) {
  const DWORD drives = GetLogicalDrives();
  wchar_t absent = 0;
  for (wchar_t letter = L'D'; letter <= L'Y' && !absent; ++letter)
    if (!(drives & (1u << (letter - L'A')))) absent = letter;
  ASSERT_NE(absent, 0);

  struct Case {
    Streng path;
    uint32_t kind;
  };
  const Case cases[] = {
      {u"C:\\windows", vk::kDriveExists | vk::kDriveFixed},
      {u"c:", vk::kDriveExists | vk::kDriveFixed},
      // Wine's Z: is the Unix root folder, a fixed drive.
      {u"Z:\\tmp", vk::kDriveExists | vk::kDriveFixed},
      {Streng(1, char16_t(absent)) + u":\\x", 0},
      {u"1:\\x", 0},
      {u"\\\\server\\share", 0},
      {u"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(vk::DriveKind(c.path), c.kind) << Show(c.path);
  EXPECT_FALSE(vk::IsOnRemovableDrive(u"C:\\x"));

  // The system's types, removable ones included, which Wine does not offer as drives.
  const std::pair<unsigned, uint32_t> types[] = {
      {DRIVE_REMOVABLE, 1 | 4}, {DRIVE_FIXED, 1 | 2},  {DRIVE_REMOTE, 1 | 32},
      {DRIVE_CDROM, 1 | 4 | 8}, {DRIVE_RAMDISK, 1 | 16}, {DRIVE_NO_ROOT_DIR, 0},
      {DRIVE_UNKNOWN, 0},       {99, 0}};
  for (const auto& [type, kind] : types) {
    EXPECT_EQ(vk::DriveKindOfType(type), kind) << "type " << type;
    EXPECT_EQ(vk::IsRemovableKind(kind),
              type == DRIVE_REMOVABLE || type == DRIVE_CDROM || type == DRIVE_RAMDISK)
        << "type " << type;
  }
}

TEST_F(FileOps, WininitFileAndShortPath) {
  const Streng ini = Path("wininit.ini");
  ASSERT_TRUE(vk::WriteWininitRenameFile(ini, u"NUL", u"C:\\A.TXT"));
  ASSERT_TRUE(vk::WriteWininitRenameFile(ini, u"C:\\B.DLL", u"C:\\VKT1.TMP"));
  HANDLE h = CreateFileW(W(ini), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char buffer[256];
  DWORD got = 0;
  ReadFile(h, buffer, sizeof buffer, &got, nullptr);
  CloseHandle(h);
  EXPECT_EQ(std::string(buffer, got), "[rename]\r\nC:\\B.DLL=C:\\VKT1.TMP\r\nNUL=C:\\A.TXT");

  // A file that cannot be opened fails with the system's error.
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(vk::WriteWininitRenameFile(Path("no folder\\wininit.ini"), u"NUL", u"x"));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));

  const Streng longName = Make("a rather long file name.text");
  const Streng shortName = vk::ShortPath(longName);
  EXPECT_NE(Show(shortName), Show(longName));
  EXPECT_EQ(vk::PathFileName(shortName).find(u' '), Streng::npos) << Show(shortName);
  EXPECT_TRUE(Exists(shortName));
  const Streng missing = Path("missing file name.text");
  EXPECT_EQ(Show(vk::ShortPath(missing)), Show(missing));
}

}  // namespace
