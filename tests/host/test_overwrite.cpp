#include "setup/core/overwrite.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using setup::DecideReplacement;
using setup::FileDate;
using setup::ReplacementFacts;

constexpr FileDate kOld{2020, 1, 2, 3, 4, 5};
constexpr FileDate kNew{2024, 12, 31, 23, 59, 58};
const std::u16string kT = u"C:\\App\\f.dll";

struct Row {
  const char* name;
  uint32_t flags;
  int32_t kind;
  bool exists;
  std::optional<FileDate> existingDate;
  std::optional<FileDate> entryDate;
  const char* entryVersion;
  std::optional<std::u16string> existingVersion;
  bool portable;
  bool install;
  bool recordSkipped;
  const char16_t* log;  // without the target in front; empty for none
};

const Row kRows[] = {
    {"never 4", 4, 0, true, kOld, kNew, "", {}, false, false, false, u""},
    {"never 20", 20, 9, false, {}, kNew, "", {}, false, false, false, u""},
    {"mode 24 acts as 0", 24, 0, true, kNew, kOld, "", {}, false, true, false, u""},
    {"only if exists, missing", 8, 0, false, {}, kNew, "", {}, false, false, false,
     u" was not installed because it does not already exist.\r\n"},
    {"only if exists, present, program", 8, 0, true, kNew, kOld, "", {}, false, true, false, u""},
    {"only if exists, present, shared up to date", 8, 1, true, kNew, kOld, "", {}, false, false, false,
     u" is up to date.\r\n"},
    {"only if missing, present, recorded kind", 12, 0, true, kOld, kNew, "", {}, false, false, true,
     u" was not installed because it already exists.\r\n"},
    {"only if missing, present, permanent", 12 | 0x20, 0, true, kOld, kNew, "", {}, false, false, false,
     u" was not installed because it already exists.\r\n"},
    {"only if missing, present, shared not portable", 12, 1, true, kOld, kNew, "", {}, false, false, false,
     u" was not installed because it already exists.\r\n"},
    {"only if missing, present, shared portable", 12, 1, true, kOld, kNew, "", {}, true, false, true,
     u" was not installed because it already exists.\r\n"},
    {"only if missing, absent", 12, 6, false, {}, kNew, "1.0", {}, false, true, false, u""},
    {"unless newer, existing newer", 16, 0, true, kNew, kOld, "", {}, false, false, true,
     u" was not installed because the existing file is newer.\r\n"},
    {"unless newer, date unreadable", 16, 0, true, {}, kOld, "", {}, false, true, false, u""},
    {"unless newer, entry without time", 16, 0, true, kNew, {}, "", {}, false, true, false, u""},
    {"unless newer, same date, program", 16, 0, true, kOld, kOld, "", {}, false, true, false, u""},
    {"unless newer passes, shared same date", 16, 1, true, kOld, kOld, "", {}, false, false, false,
     u" is up to date.\r\n"},
    {"shared absent", 0, 1, false, {}, kNew, "", {}, false, true, false, u""},
    {"shared older existing", 0, 1, true, kOld, kNew, "", {}, false, true, false,
     u" is out of date and will be replaced.\r\n"},
    {"font same date", 0, 4, true, kOld, kOld, "", {}, false, false, false, u" is up to date.\r\n"},
    {"font entry without time", 0, 4, true, kOld, {}, "", {}, false, true, false,
     u" is out of date and will be replaced.\r\n"},
    {"shared date unreadable", 0, 1, true, {}, kOld, "", {}, false, true, false,
     u" is out of date and will be replaced.\r\n"},
    {"shared up to date portable, recorded", 0, 1, true, kNew, kOld, "", {}, true, false, true,
     u" is up to date.\r\n"},
    {"shared up to date portable permanent", 0x20, 1, true, kNew, kOld, "", {}, true, false, false,
     u" is up to date.\r\n"},
    {"system absent", 0, 6, false, {}, kOld, "1.0", {}, false, true, false, u""},
    {"system same version", 0, 6, true, kOld, kNew, "2.0.0.1", u"2.0.0.1", false, false, false,
     u" was not installed because its version (2.0.0.1) is not newer than 2.0.0.1\r\n"},
    {"versioned older version recorded", 0, 9, true, kOld, kNew, "1.9", u"2.0", false, false, true,
     u" was not installed because its version (1.9) is not newer than 2.0\r\n"},
    {"system newer version older date", 0, 6, true, kNew, kOld, "3.0", u"2.0", false, false, false,
     u" was not installed because its date (2020/01/02 03:04:05) is not newer than 2024/12/31 23:59:58.\r\n"},
    {"versioned equal date recorded", 0, 9, true, kOld, kOld, "3.0", u"2.0", false, false, true,
     u" was not installed because its date (2020/01/02 03:04:05) is not newer than 2020/01/02 03:04:05.\r\n"},
    {"versioned date skip permanent", 0x20, 9, true, kOld, kOld, "3.0", u"2.0", false, false, false,
     u" was not installed because its date (2020/01/02 03:04:05) is not newer than 2020/01/02 03:04:05.\r\n"},
    {"com both newer", 0, 7, true, kOld, kNew, "3.0", u"2.0", false, true, false,
     u" needs replacement because its version (3.0) is newer than 2.0 and its date (2024/12/31 23:59:58) is newer "
     u"than 2020/01/02 03:04:05\r\n"},
    {"system empty version, date decides", 0, 6, true, kOld, kNew, "", u"2.0", false, true, false,
     u" needs replacement because its date (2024/12/31 23:59:58) is newer than 2020/01/02 03:04:05\r\n"},
    {"system empty version, older date", 0, 6, true, kNew, kOld, "", u"2.0", false, false, false,
     u" was not installed because its date (2020/01/02 03:04:05) is not newer than 2024/12/31 23:59:58.\r\n"},
    {"typelib no existing version, no date", 0, 8, true, {}, kNew, "3.0", {}, false, true, false,
     u" is out of date and will be replaced.\r\n"},
    {"typelib empty existing version", 0, 8, true, {}, kNew, "3.0", u"", false, true, false,
     u" is out of date and will be replaced.\r\n"},
    {"system newer version, no date", 0, 6, true, {}, kNew, "1.2.0", u"1.2", false, true, false,
     u" needs replacement because its version (1.2.0) is newer than 1.2\r\n"},
    {"system entry without time, version older", 0, 6, true, kNew, {}, "1.0", u"1.1", false, false, false,
     u" was not installed because its version (1.0) is not newer than 1.1\r\n"},
    {"system entry without time, version newer", 0, 6, true, kNew, {}, "1.2", u"1.1", false, true, false,
     u" needs replacement because its version (1.2) is newer than 1.1\r\n"},
    {"only if exists, system newer by both", 8, 6, true, kOld, kNew, "2", u"1", false, true, false,
     u" needs replacement because its version (2) is newer than 1 and its date (2024/12/31 23:59:58) is newer "
     u"than 2020/01/02 03:04:05\r\n"},
    {"driver overwrite-mode only", 0, 10, true, kNew, kOld, "", {}, false, true, false, u""},
    {"kind 2 with destination", 0, 2, true, kNew, kOld, "", {}, false, true, false, u""},
};

TEST(Overwrite, DecisionTable) {
  for (const Row& row : kRows) {
    ReplacementFacts f;
    f.target = kT;
    f.kind = row.kind;
    f.flags = row.flags;
    f.portable = row.portable;
    f.exists = row.exists;
    f.existingDate = row.existingDate;
    f.entryDate = row.entryDate;
    f.entryVersion = row.entryVersion;
    f.existingVersion = row.existingVersion;
    const auto d = DecideReplacement(f);
    const std::u16string expected = row.log[0] ? kT + row.log : std::u16string();
    EXPECT_EQ(d.install, row.install) << row.name;
    EXPECT_EQ(d.recordSkipped, row.recordSkipped) << row.name;
    EXPECT_EQ(d.log, expected) << row.name;
    // The facts a decision reads are the ones the caller is told to gather.
    const auto needed = setup::FactsNeeded(row.kind, row.flags, row.exists, row.entryVersion[0] != 0);
    ReplacementFacts lean = f;
    if (!needed.date) lean.existingDate.reset();
    if (!needed.version) lean.existingVersion.reset();
    const auto again = DecideReplacement(lean);
    EXPECT_EQ(again.install, d.install) << row.name << " (lean facts)";
    EXPECT_EQ(again.log, d.log) << row.name << " (lean facts)";
  }
}


TEST(Overwrite, KindTableAndEntryTime) {
  ASSERT_NE(setup::FindKind(12), nullptr);
  EXPECT_EQ(setup::FindKind(13), nullptr);
  EXPECT_EQ(setup::FindKind(-1), nullptr);
  EXPECT_EQ(setup::FindKind(2)->folder, setup::DefaultFolder::None);
  EXPECT_EQ(setup::FindKind(5)->followUp, setup::FollowUp::StartupShortcut);
  EXPECT_TRUE(setup::KindRecordsFile(9, false));
  EXPECT_FALSE(setup::KindRecordsFile(1, false));
  EXPECT_TRUE(setup::KindRecordsFile(1, true));
  EXPECT_FALSE(setup::KindRecordsFile(6, true));
  EXPECT_TRUE(setup::FindKind(1)->recordsFolder);
  EXPECT_FALSE(setup::FindKind(1)->createsDefaultFolder);

  const int32_t set[6] = {2005, 3, 4, 0, 7, 9};
  const int32_t noMonth[6] = {2005, 0, 4, 1, 7, 9};
  const int32_t negativeHour[6] = {2005, 3, 4, -1, 7, 9};
  ASSERT_TRUE(FileDate::FromEntry(set));
  EXPECT_EQ(setup::FormatFileDate(*FileDate::FromEntry(set)), "2005/03/04 00:07:09");
  EXPECT_FALSE(FileDate::FromEntry(noMonth));
  EXPECT_FALSE(FileDate::FromEntry(negativeHour));
  EXPECT_EQ(setup::FormatFileDate(FileDate{987, 1, 1, 0, 0, 0}), "987/01/01 00:00:00");
}

}  // namespace
