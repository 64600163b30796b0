#include <windows.h>

#include <gtest/gtest.h>

#include "lib/narrow_path.h"
#include "tests/win/removal_test_support.h"
#include "tests/win/win_test_support.h"
#include "uninstall/shared_files.h"

namespace {

using namespace wintest;

const Streng kSharedDllsKey = vk::FromW(uninstall::kSharedDllsKey);

class SharedFiles : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.path().empty());
    run_.texts = {{59, u"Remove %s?"}, {35, u"Shared file"}};
  }
  void TearDown() override {
    vk::RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, uninstall::kSharedDllsKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS)
      return;
    for (const Streng& f : made_) RegDeleteValueW(key.get(), vk::W(f));
  }
  // A file in the scratch folder with its counter (none when count is negative).
  Streng File(const Streng& name, long long count) {
    const Streng path = dir_.path() + u"\\" + name;
    WriteFileText(path);
    if (count >= 0) SetDword(HKEY_LOCAL_MACHINE, kSharedDllsKey, path, DWORD(count));
    made_.push_back(path);
    return path;
  }
  static vk::String Quoted(const Streng& path, const char* marks = "") {
    return "\"" + vk::EncodeNarrowPath(path) + marks + "\"";
  }
  static long long Counter(const Streng& path) { return ReadDword(HKEY_LOCAL_MACHINE, kSharedDllsKey, path); }

  TempFolder dir_{u"bs_shared_files"};
  std::vector<Streng> made_;
  RecordingRun run_;
};

TEST_F(SharedFiles, CountersDecideWhatGoes) {
  const Streng stillUsed = File(u"used.dll", 3);
  const Streng last = File(u"last.dll", 1);
  const Streng kept = File(u"kept.dll", 1);               // marked never to be removed
  const Streng uncounted = File(u"uncounted.dll", -1);
  const Streng zero = File(u"zero.dll", 0);
  const Streng accented = File(u"caf\u00E9.dll", 1);      // its UTF-8 form ends in the byte 0xA9
  const Streng server = File(u"server.dll", 1);           // "^": regsvr32 cannot register a text file
  const vk::String list = Quoted(stillUsed) + ";" + Quoted(last) + ";" + Quoted(kept, " ") + ";" + Quoted(uncounted) +
                          ";" + Quoted(zero) + ";" + Quoted(accented) + ";" + Quoted(server, "^");

  uninstall::RemoveSharedFiles(list, run_);

  EXPECT_EQ(Counter(stillUsed), 2);
  EXPECT_TRUE(Exists(stillUsed));
  EXPECT_EQ(Counter(last), -1);
  EXPECT_FALSE(Exists(last));
  EXPECT_EQ(Counter(kept), -1);
  EXPECT_TRUE(Exists(kept));
  EXPECT_TRUE(Exists(uncounted));
  EXPECT_EQ(Counter(zero), -1);
  EXPECT_FALSE(Exists(zero));
  EXPECT_EQ(Counter(accented), -1);
  EXPECT_FALSE(Exists(accented));
  EXPECT_EQ(Counter(server), -1);
  EXPECT_FALSE(Exists(server));
  EXPECT_EQ(run_.broughtToFront, 1) << "after the one unregistration";
  EXPECT_TRUE(run_.questions.empty());
  EXPECT_TRUE(run_.failures.empty());
}

TEST_F(SharedFiles, AskedBeforeDeletingUnlessQuiet) {
  const Streng a = File(u"a.dll", 1);
  const Streng b = File(u"b.dll", 1);
  run_.flags = 1u << 17;
  run_.answers = {false, true};
  uninstall::RemoveSharedFiles(Quoted(a) + ";" + Quoted(b), run_);
  EXPECT_EQ(run_.questions, (std::vector<Streng>{u"Remove " + a + u"?|Shared file", u"Remove " + b + u"?|Shared file"}));
  EXPECT_TRUE(Exists(a));
  EXPECT_EQ(Counter(a), -1) << "the count goes down even when the file stays";
  EXPECT_FALSE(Exists(b));

  const Streng c = File(u"c.dll", 1);
  run_.quiet = true;
  run_.questions.clear();
  uninstall::RemoveSharedFiles(Quoted(c), run_);
  EXPECT_TRUE(run_.questions.empty());
  EXPECT_FALSE(Exists(c));
}

TEST_F(SharedFiles, TypeLibraryThatIsNoneIsStillDeleted) {
  const Streng library = File(u"types.tlb", 1);
  uninstall::RemoveSharedFiles(Quoted(library, "\xA9"), run_);
  EXPECT_FALSE(Exists(library));
  EXPECT_EQ(run_.broughtToFront, 1);
}

}  // namespace
