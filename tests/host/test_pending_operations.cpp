#include <gtest/gtest.h>

#include "uninstall/core/conditional_deletions.h"
#include "uninstall/core/pending_operations.h"

namespace {

using uninstall::Condition;
using uninstall::FileFacts;
using vk::Streng;
using List = std::vector<Streng>;

TEST(PendingOperations, ComparisonFormStripsPrefixesAndFoldsCase) {
  EXPECT_EQ(uninstall::PendingComparisonForm(u"\\??\\C:\\App\\A.DLL"), u"c:\\app\\a.dll");
  EXPECT_EQ(uninstall::PendingComparisonForm(u"!\\??\\C:\\Ä.txt"), u"c:\\ä.txt");
  EXPECT_EQ(uninstall::StripPendingPrefix(u"!\\??\\C:\\App\\A.DLL"), u"C:\\App\\A.DLL");
  EXPECT_EQ(uninstall::PendingComparisonForm(u"\\??\\"), u"");
}

TEST(PendingOperations, CleanUpTable) {
  const uninstall::ProtectedFiles protectedFiles = {u"c:\\app\\new.dll", u"c:\\app\\gone.exe"};
  struct Case {
    const char* name;
    List in;
    List out;
    bool changed;
    std::vector<uninstall::PendingRemoval> removed;
  };
  const Case cases[] = {
      {"protected deletion removed, unrelated kept in order",
       {u"\\??\\C:\\Other\\1.txt", u"", u"\\??\\C:\\App\\New.dll", u"", u"\\??\\C:\\Other\\2.txt", u""},
       {u"\\??\\C:\\Other\\1.txt", u"", u"\\??\\C:\\Other\\2.txt", u""},
       true, {{false, u"C:\\App\\New.dll", u""}}},
      {"protected move removed, its source goes to the recycle bin",
       {u"\\??\\C:\\App\\VKT1.tmp", u"!\\??\\C:\\App\\GONE.exe", u"\\??\\C:\\a", u"\\??\\C:\\b"},
       {u"\\??\\C:\\a", u"\\??\\C:\\b"},
       true, {{true, u"C:\\App\\GONE.exe", u"C:\\App\\VKT1.tmp"}}},
      {"move away from a protected file is kept",
       {u"\\??\\C:\\App\\new.dll", u"\\??\\C:\\Elsewhere\\new.dll"},
       {u"\\??\\C:\\App\\new.dll", u"\\??\\C:\\Elsewhere\\new.dll"},
       false, {}},
      {"odd list padded, unchanged otherwise",
       {u"\\??\\C:\\x", u"", u"\\??\\C:\\y"},
       {u"\\??\\C:\\x", u"", u"\\??\\C:\\y", u""},
       false, {}},
      {"odd list padded, its last deletion protected",
       {u"\\??\\C:\\x", u"", u"\\??\\c:\\app\\NEW.DLL"},
       {u"\\??\\C:\\x", u""},
       true, {{false, u"c:\\app\\NEW.DLL", u""}}},
      {"empty pair removed",
       {u"", u"", u"\\??\\C:\\x", u""},
       {u"\\??\\C:\\x", u""},
       true, {{false, u"", u""}}},
      {"everything removed", {u"\\??\\C:\\App\\new.dll", u""}, {}, true, {{false, u"C:\\App\\new.dll", u""}}},
      {"removals reported in list order",
       {u"\\??\\C:\\App\\new.dll", u"", u"\\??\\C:\\t", u"\\??\\C:\\App\\gone.exe"},
       {},
       true, {{false, u"C:\\App\\new.dll", u""}, {true, u"C:\\App\\gone.exe", u"C:\\t"}}},
      {"empty list", {}, {}, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    List list = c.in;
    const auto r = uninstall::CleanPendingOperations(list, protectedFiles);
    EXPECT_EQ(list, c.out);
    EXPECT_EQ(r.changed, c.changed);
    ASSERT_EQ(r.removed.size(), c.removed.size());
    for (size_t k = 0; k < c.removed.size(); ++k) {
      EXPECT_EQ(r.removed[k].move, c.removed[k].move) << k;
      EXPECT_EQ(r.removed[k].path, c.removed[k].path) << k;
      EXPECT_EQ(r.removed[k].source, c.removed[k].source) << k;
    }
  }
}

std::vector<uint8_t> Bytes(std::u16string_view chars) {
  std::vector<uint8_t> out;
  for (char16_t c : chars) {
    out.push_back(uint8_t(c & 0xFF));
    out.push_back(uint8_t(c >> 8));
  }
  return out;
}

TEST(PendingOperations, MultiStringBytes) {
  using namespace std::string_view_literals;
  struct Case {
    const char* name;
    std::u16string_view chars;
    List strings;
  };
  const Case cases[] = {
      {"deletion then move", u"a\0\0b\0c\0\0"sv, {u"a", u"", u"b", u"c"}},
      {"ends in a deletion", u"a\0\0\0"sv, {u"a", u""}},
      {"no list terminator", u"a\0\0"sv, {u"a"}},
      {"no terminator at all", u"a\0bc"sv, {u"a", u"bc"}},
      {"empty", u"\0"sv, {}},
      {"nothing", u""sv, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto bytes = Bytes(c.chars);
    EXPECT_EQ(uninstall::ParseMultiString(bytes.data(), bytes.size()), c.strings);
  }
  // An odd trailing byte is not half a character.
  auto odd = Bytes(u"ab\0\0"sv);
  odd.push_back(0x41);
  EXPECT_EQ(uninstall::ParseMultiString(odd.data(), odd.size()), List{u"ab"});

  const List list = {u"\\??\\C:\\Ä", u"", u"x", u"y"};
  const auto written = uninstall::SerializeMultiString(list);
  EXPECT_EQ(written, Bytes(u"\\??\\C:\\Ä\0\0x\0y\0\0"sv));
  EXPECT_EQ(uninstall::ParseMultiString(written.data(), written.size()), list);
  EXPECT_EQ(uninstall::SerializeMultiString({}), Bytes(u"\0"sv));
}

vk::DateTime Day(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
  return vk::DateTime(y, m, d, 0, hh, mm, ss);
}

TEST(ConditionalDeletions, ComparisonDates) {
  struct Case {
    const char* text;
    bool ok;
    vk::DateTime when;
    bool hasTime;
  };
  const Case cases[] = {
      {"2026-12-07", true, Day(2026, 12, 7), false},
      {" 2026/1/2 ", true, Day(2026, 1, 2), false},
      {"20261207", true, Day(2026, 12, 7), false},
      {"2026.12.07 21:03:26", true, Day(2026, 12, 7, 21, 3, 26), true},
      {"2026-12-07T9:05", true, Day(2026, 12, 7, 9, 5, 0), true},
      {"2024-02-29", true, Day(2024, 2, 29), false},
      {"2025-02-29", false, {}, false},
      {"2026-13-01", false, {}, false},
      {"2026-12/07", false, {}, false},
      {"2026-12-07 24:00", false, {}, false},
      {"2026-12-07 10", false, {}, false},
      {"2026-12-07x", false, {}, false},
      {"12/7/26", false, {}, false},
      {"", false, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto d = uninstall::ParseComparisonDate(c.text);
    ASSERT_EQ(d.has_value(), c.ok);
    if (!d) continue;
    EXPECT_EQ(d->hasTime, c.hasTime);
    EXPECT_EQ(d->when.Format("yy-mm-dd HH:ii:ss"), c.when.Format("yy-mm-dd HH:ii:ss"));
  }
}

TEST(ConditionalDeletions, ConditionTable) {
  const FileFacts file{1000, Day(2026, 12, 7, 21, 3, 26)};
  struct Case {
    uint8_t kind;
    const char* value;
    Condition expected;
  };
  const Case cases[] = {
      {0, "", Condition::Holds},
      {1, "2026-12-07", Condition::Holds},  // dates alone
      {1, "2026-12-07 21:03:26", Condition::Holds},
      {1, "2026-12-07 21:03:25", Condition::Fails},
      {2, "2026-12-07 21:03:27", Condition::Fails},  // older than the value
      {2, "2026-12-07 21:03", Condition::Holds},
      {2, "2026-12-08", Condition::Fails},
      {3, "2026-12-07", Condition::Holds},  // same day counts as not newer
      {3, "2026-12-06", Condition::Fails},
      {3, "2026-12-07 21:00", Condition::Fails},
      {1, "yesterday", Condition::BadValue},
      {3, "", Condition::BadValue},
      {4, "1000", Condition::Holds},
      {4, "999", Condition::Fails},
      {5, "1000", Condition::Holds},
      {5, "1001", Condition::Fails},
      {6, "1000", Condition::Holds},
      {6, "999", Condition::Fails},
      {5, "lots", Condition::Fails},  // never deletes on a damaged size
      {7, "1", Condition::Fails},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << int(c.kind) << " value " << c.value);
    EXPECT_EQ(uninstall::TestDeletionCondition(c.kind, c.value, file), c.expected);
  }
  // Kind 5 with 1000: the 1000-byte file goes, the 999-byte file stays.
  EXPECT_EQ(uninstall::TestDeletionCondition(5, "1000", FileFacts{999, {}}), Condition::Fails);
}

TEST(ConditionalDeletions, Wildcards) {
  struct Case {
    const char16_t* name;
    const char16_t* pattern;
    bool match;
  };
  const Case cases[] = {
      {u"a.tmp", u"*.tmp", true},   {u"A.TMP", u"*.tmp", true},  {u"a.tmpx", u"*.tmp", false},
      {u"ab.log", u"a?.log", true}, {u"a.log", u"a?.log", false}, {u"x", u"*", true},
      {u"old.bak.bak", u"*.bak", true}, {u"readme", u"read*me", true}, {u"reme", u"read*me", false},
      {u"Ölfile.txt", u"öl*", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "pattern " << vk::StrengToUtf8(c.pattern) << " name " << vk::StrengToUtf8(c.name));
    EXPECT_EQ(uninstall::MatchesWildcard(c.name, c.pattern), c.match);
  }
}

TEST(ConditionalDeletions, Texts) {
  EXPECT_EQ(uninstall::WillDeleteAfterRebootText(u"C:\\a", true, u"ignored"),
            u"File \"C:\\a\" will be deleted after rebooting.\r\n");
  EXPECT_EQ(uninstall::WillDeleteAfterRebootText(u"C:\\a", false, u"Access is denied."),
            u"File \"C:\\a\" will be deleted after rebooting: Access is denied.\r\n");
  // A path is data, never a format.
  EXPECT_EQ(uninstall::DeletedFileText(u"C:\\100%s"), u"Deleted file: C:\\100%s\r\n");
}

}  // namespace
