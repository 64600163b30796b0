#include "setup/work_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "lib/win32/handle.h"
#include "win/win_test_support.h"

namespace {

using vk::Streng;

std::vector<Streng> FilesIn(const Streng& folder) {
  std::vector<Streng> names;
  WIN32_FIND_DATAW found;
  vk::FindHandle search(FindFirstFileW(vk::W(folder + u"\\*"), &found));
  if (search) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(vk::FromW(found.cFileName));
    } while (FindNextFileW(search.get(), &found));
  }
  return names;
}

// The work file is there and held while the run goes on, and gone once closed; where none can be
// made, nothing is left behind.
TEST(WorkFile, HeldWhileTheRunGoesOnAndGoneAfter) {
  wintest::TempFolder folder(u"bs_work");
  ASSERT_TRUE(folder.created()) << "error " << folder.error();
  ASSERT_TRUE(setup::CreateWorkFile(folder.path()));
  const std::vector<Streng> files = FilesIn(folder.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(files[0].starts_with(u"bsw") && wintest::EndsWithNoCase(files[0], u".tmp"))
      << vk::StrengToUtf8(files[0]);
  SetLastError(0xDEADBEEF);
  vk::FileHandle other(CreateFileW(vk::W(folder.path() + u"\\" + files[0]), GENERIC_READ, FILE_SHARE_READ |
                                   FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(other.valid());
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));

  setup::DeleteWorkFile();
  EXPECT_TRUE(FilesIn(folder.path()).empty());

  EXPECT_FALSE(setup::CreateWorkFile(folder.path() + u"\\missing"));
  EXPECT_TRUE(FilesIn(folder.path()).empty());
  EXPECT_FALSE(wintest::Exists(folder.path() + u"\\missing"));
}

}  // namespace
