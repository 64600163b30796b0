#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/narrow_path.h"
#include "uninstall/core/comma_separated.h"
#include "uninstall/core/uninstall_data.h"

namespace {

using uninstall::UninstallData;
using vk::Streng;
using vk::String;

// The ids "[Strings]" carries, written out here so that a change of the table shows.
const int kIds[] = {10, 15, 20, 30, 34, 35, 49, 53, 55, 56, 57, 58, 59, 65, 67, 68,
                    69, 70, 71, 74, 79, 80, 99, 100, 101, 104, 107, 108, 109, 110, 111};

String StringsSection(const std::vector<String>& texts, const String& product) {
  String s = "\r\n\r\n[Strings]\r\n";
  for (size_t n = 0; n < std::size(kIds); ++n)
    s += "~" + std::to_string(kIds[n]) + "\r\n" + (n < texts.size() ? texts[n] : String()) + "\r\n";
  return s + "~999\r\n" + product + "\r\n";
}

UninstallData Read(std::string_view bytes) {
  UninstallData d;
  uninstall::ReadUninstallData(bytes, d);
  return d;
}

// One of everything, with non-ASCII paths and texts that span lines.
UninstallData FullFixture() {
  UninstallData d;
  uninstall::AddUninstallEntry(d, std::u16string_view(u"C:\\Program Files\\Caf\u00E9"), uninstall::kEntryFolder);
  uninstall::AddUninstallEntry(d, std::u16string_view(u"C:\\Program Files\\Caf\u00E9\\\u65E5\u672C.txt"),
                               uninstall::kEntryFile);
  uninstall::AddUninstallEntry(d, std::string_view("\\HKLM\\Software\\Product\\Path"),
                               uninstall::kEntryRegistryValue);
  uninstall::AddUninstallEntry(d, std::string_view("\\HKCU\\Software\\Product"), uninstall::kEntryRegistryKey);
  uninstall::AddUninstallEntry(d, std::string_view("\\HKLM\\Software\\Classes\\CLSID\\{1}"),
                               uninstall::kEntryRegistryKey64);
  d.SetText(10, u"Failures:\r\n\r\n%s");
  d.SetText(55, u"Uninstall \u00C9t\u00E9");
  d.SetText(111, u"Cancelled\nfor good");
  d.productName = u"Produit \u00E9l\u00E8ve";
  uninstall::AddAssociation(d, {".abc", "Product.Doc", "open", u"C:\\Caf\u00E9\\app.exe,1"});
  d.closePrograms.push_back({u"Class,Name", "*Caf\xE9", "My \"App\"", 2, 4});
  d.closePrograms.push_back({u"", " lead", "", 3, 2});
  d.firewall = {"C:\\app.exe;Rule;3;0", "8080;Port rule;1;0"};
  uninstall::AddDriver(d, u"C:\\Windows\\INF\\oem1\u00E9.inf");
  d.packages = {uninstall::PackageLine(u"C:\\pkg\\a,b.msi", 2)};
  d.registryEntries = u"\\HKLM\\Software\\Product\\Sub\r\n\\HKAU\\Software\\P,Name,x,y,2\r\n";
  uninstall::PutConditionalDeletion(d, {"*.tmp", 0, "", 8 | 2});
  uninstall::PutConditionalDeletion(d, {"|logs\\\xC3\xA9.log", 5, "1,000", 8});
  uninstall::PutConditionalDeletion(d, {"install-only.txt", 0, "", 4});
  return d;
}

TEST(UninstallEntries, AdmissionRules) {
  UninstallData d;
  EXPECT_FALSE(uninstall::AddUninstallEntry(d, std::string_view("C:\\"), uninstall::kEntryFolder));
  EXPECT_FALSE(uninstall::AddUninstallEntry(d, std::string_view("C:"), uninstall::kEntryFile));
  EXPECT_FALSE(uninstall::AddUninstallEntry(d, std::u16string_view(u"D:\\"), uninstall::kEntryFile));
  EXPECT_TRUE(uninstall::AddUninstallEntry(d, std::string_view("C:\\a"), uninstall::kEntryFile));

  EXPECT_TRUE(uninstall::AddUninstallEntry(d, std::u16string_view(u"C:\\App\\\u00C9t\u00E9"), uninstall::kEntryFolder));
  EXPECT_FALSE(uninstall::AddUninstallEntry(d, std::u16string_view(u"c:\\APP\\\u00E9T\u00C9"), uninstall::kEntryFolder))
      << "the same folder in other letter case";
  EXPECT_FALSE(uninstall::AddUninstallEntry(d, std::string_view("|C:\\app\\\xC3\xA9t\xC3\xA9"), uninstall::kEntryFolder))
      << "the narrow form of the same folder";

  EXPECT_TRUE(uninstall::AddUninstallEntry(d, std::string_view("C:\\App\\x.dll"), uninstall::kEntryFile));
  EXPECT_TRUE(uninstall::AddUninstallEntry(d, std::string_view("C:\\App\\x.dll"), uninstall::kEntryFile));
  EXPECT_TRUE(uninstall::AddUninstallEntry(d, std::string_view("\\HKCU\\K"), uninstall::kEntryRegistryKey64));
  EXPECT_TRUE(uninstall::AddUninstallEntry(d, std::string_view("\\HKCU\\K"), uninstall::kEntryRegistryKey64));
  EXPECT_TRUE(uninstall::AddUninstallEntry(d, std::string_view("C:\\odd"), 9)) << "unknown types are files";

  const std::vector<String> expected = {
      "C:\\a", "~|C:\\App\\\xC3\x89t\xC3\xA9", "C:\\App\\x.dll", "C:\\App\\x.dll", "*\\HKCU\\K", "*\\HKCU\\K", "C:\\odd"};
  EXPECT_EQ(d.entries, expected);

  // After clearing, the folder may be recorded again.
  uninstall::ClearUninstallEntries(d);
  EXPECT_TRUE(d.entries.empty());
  EXPECT_TRUE(uninstall::AddUninstallEntry(d, std::u16string_view(u"C:\\App\\\u00C9t\u00E9"), uninstall::kEntryFolder));
}

TEST(UninstallEntries, ParseGivesTypeAndPath) {
  const struct {
    const char* line;
    int type;
    const char* path;
  } cases[] = {
      {"C:\\a.txt", uninstall::kEntryFile, "C:\\a.txt"},    {"~C:\\dir", uninstall::kEntryFolder, "C:\\dir"},
      {"!\\HKLM\\K\\V", uninstall::kEntryRegistryValue, "\\HKLM\\K\\V"},
      {"^\\HKCU\\K", uninstall::kEntryRegistryKey, "\\HKCU\\K"}, {"*\\HKLM\\K", uninstall::kEntryRegistryKey64, "\\HKLM\\K"},
      {"~|C:\\\xC3\xA9", uninstall::kEntryFolder, "|C:\\\xC3\xA9"},
  };
  for (const auto& c : cases) {
    const auto e = uninstall::ParseUninstallEntry(c.line);
    EXPECT_EQ(e.type, c.type) << c.line;
    EXPECT_EQ(e.narrowPath, c.path) << c.line;
  }
}

TEST(CommaSeparated, SplitAndJoin) {
  const struct {
    const char* line;
    std::vector<String> fields;
  } split[] = {
      {"", {""}},
      {"a,b,,d", {"a", "b", "", "d"}},
      {",", {"", ""}},
      {"\"a,b\",\"say \"\"hi\"\"\",\"\"", {"a,b", "say \"hi\"", ""}},
      {"\"open", {"open"}},               // unclosed quote: the rest of the line
      {"\"q\"tail,x", {"qtail", "x"}},    // text after the closing quote is kept
      {"a\"b,c", {"a\"b", "c"}},          // a quote inside an unquoted field is text
      {" a , b ", {" a ", " b "}},
  };
  for (const auto& c : split) EXPECT_EQ(uninstall::SplitCommaSeparated(c.line), c.fields) << c.line;

  const struct {
    std::vector<String> fields;
    const char* line;
  } join[] = {
      {{"a", "b", "", "3"}, "a,b,,3"},
      {{"x,y", "say \"hi\"", ""}, "\"x,y\",\"say \"\"hi\"\"\","},
      {{" lead", "trail\t", "in side"}, "\" lead\",\"trail\t\",in side"},
      {{"", "", ""}, ",,"},
  };
  for (const auto& c : join) {
    EXPECT_EQ(uninstall::JoinCommaSeparated(c.fields), c.line);
    EXPECT_EQ(uninstall::SplitCommaSeparated(c.line), c.fields) << c.line;
  }
}

TEST(UninstallDataWrite, EmptyDataHasOnlyStrings) {
  UninstallData d;
  EXPECT_EQ(uninstall::WriteUninstallData(d), StringsSection({}, ""));
}

TEST(UninstallDataWrite, ExactBytesInSectionOrder) {
  UninstallData d;
  uninstall::AddUninstallEntry(d, std::string_view("C:\\App"), uninstall::kEntryFolder);
  uninstall::AddUninstallEntry(d, std::u16string_view(u"C:\\App\\\u00E9.txt"), uninstall::kEntryFile);
  std::vector<String> texts;
  for (int id : kIds) {
    d.SetText(id, u"t" + vk::AsciiToStreng(std::to_string(id)));
    texts.push_back("t" + std::to_string(id));
  }
  d.SetText(11, u"not carried");
  d.productName = u"Prod\u00FCct";
  d.closePrograms.push_back({u"Cls", "Title, the", "Name", 1, 2});
  uninstall::AddAssociation(d, {".abc", "P.Doc", "open", u"C:\\App\\\u00E9.exe"});
  d.firewall = {"C:\\App\\a.exe;R;1;0"};
  d.drivers = {"C:\\Windows\\INF\\oem3.inf"};
  d.packages = {uninstall::PackageLine(u"C:\\p.msi", 3)};
  d.registryEntries = u"\\HKLM\\Software\\\u00C9";
  uninstall::PutConditionalDeletion(d, {"skip.txt", 0, "", 4});
  uninstall::PutConditionalDeletion(d, {"*.log", 4, "10", 9});

  const String expected = "~C:\\App\r\n|C:\\App\\\xC3\xA9.txt\r\n" + StringsSection(texts, "Prod\xC3\xBC" "ct") +
                          "\r\n\r\n[AutoClose]\r\n\"Title, the\",Cls,Name,1\r\n"
                          "\r\n\r\n[Associations]\r\n.abc~!~P.Doc~!~open~!~|C:\\App\\\xC3\xA9.exe\r\n"
                          "\r\n\r\n[Firewall]\r\nC:\\App\\a.exe;R;1;0\r\n"
                          "\r\n\r\n[INF]\r\nC:\\Windows\\INF\\oem3.inf\r\n"
                          "\r\n\r\n[MSI]\r\n\"C:\\p.msi\",3\r\n"
                          "\r\n\r\n[Registry2]\r\n\\HKLM\\Software\\\xC3\x89"
                          "\r\n\r\n[ConditionalDelete]\r\n*.log,4,10,9\r\n";
  EXPECT_EQ(uninstall::WriteUninstallData(d), expected);
}

TEST(UninstallDataWrite, ConditionalDeleteOnlyWithUninstallBit) {
  UninstallData d;
  uninstall::PutConditionalDeletion(d, {"a.txt", 0, "", 4});
  uninstall::PutConditionalDeletion(d, {"b.txt", 0, "", 1});
  EXPECT_EQ(uninstall::WriteUninstallData(d).find("[ConditionalDelete]"), String::npos);
}

TEST(UninstallDataRoundTrip, EverySection) {
  const UninstallData in = FullFixture();
  const String bytes = uninstall::WriteUninstallData(in);
  const UninstallData out = Read(bytes);

  EXPECT_EQ(out.entries, in.entries);
  EXPECT_EQ(vk::DecodeNarrowPath(uninstall::ParseUninstallEntry(out.entries[1]).narrowPath),
            u"C:\\Program Files\\Caf\u00E9\\\u65E5\u672C.txt");
  EXPECT_EQ(out.productName, in.productName);
  for (int id : kIds) EXPECT_EQ(out.Text(id), in.Text(id)) << id;
  EXPECT_EQ(out.Text(10), u"Failures:\r\n\r\n%s") << "inner line breaks are kept";
  EXPECT_EQ(out.associations, in.associations);
  ASSERT_EQ(out.closePrograms.size(), 2u);
  EXPECT_EQ(out.closePrograms[0], in.closePrograms[0]) << "phase mask 4 for action 2";
  EXPECT_EQ(out.closePrograms[1], in.closePrograms[1]) << "leading blank kept, phase mask 2";
  EXPECT_EQ(out.firewall, in.firewall);
  EXPECT_EQ(out.drivers, in.drivers);
  EXPECT_EQ(out.packages, in.packages);
  EXPECT_EQ(out.registryEntries, in.registryEntries);
  const std::vector<uninstall::FileDeletion> carried = {in.conditionalDeletions[0], in.conditionalDeletions[1]};
  EXPECT_EQ(out.conditionalDeletions, carried);

  Streng path;
  int level = 0;
  ASSERT_TRUE(uninstall::ParsePackageLine(out.packages[0], &path, &level));
  EXPECT_EQ(path, u"C:\\pkg\\a,b.msi");
  EXPECT_EQ(level, 2);

  // A partial uninstallation writes what it read: the file must not change or grow.
  EXPECT_EQ(uninstall::WriteUninstallData(out), bytes);
  EXPECT_EQ(uninstall::WriteUninstallData(Read(uninstall::WriteUninstallData(out))), bytes);
}

TEST(UninstallDataRoundTrip, FoldersReadBackAreKnown) {
  UninstallData d = Read("~C:\\App\r\nC:\\App\\a.txt\r\n");
  EXPECT_FALSE(uninstall::AddUninstallEntry(d, std::string_view("c:\\app"), uninstall::kEntryFolder));
}

TEST(UninstallDataRead, NoStringsSection) {
  const UninstallData d = Read("C:\\App\\a.txt\r\n\r\n\r\n[INF]\r\noem1.inf\r\n");
  EXPECT_EQ(d.entries, std::vector<String>{"C:\\App\\a.txt"});
  EXPECT_EQ(d.drivers, std::vector<String>{"oem1.inf"});
  EXPECT_TRUE(d.productName.empty());
  for (int id : kIds) EXPECT_TRUE(d.Text(id).empty());
}

TEST(UninstallDataRead, LinesAndHeaders) {
  // LF only, LF CR, a header with blanks around it, a header in other case, an unknown
  // bracketed line, and a last line without an end.
  const UninstallData d = Read(
      "C:\\a.txt\n\rC:\\b.txt\n  [strings]  \r\n[Other]\r\n \t[Strings]\t\r\n~15\nOne\n\rTwo\r~999\r\nName\r\n"
      "[MSI]\r\n\"C:\\x.msi\",1");
  EXPECT_EQ(d.entries, (std::vector<String>{"C:\\a.txt", "C:\\b.txt", "[strings]", "[Other]"}));
  EXPECT_EQ(d.Text(15), u"One\n\rTwo") << "raw line ends are kept inside a text";
  EXPECT_EQ(d.productName, u"Name");
  EXPECT_EQ(d.packages, std::vector<String>{"\"C:\\x.msi\",1"});
}

TEST(UninstallDataRead, StringsRecords) {
  const UninstallData d = Read(
      "\r\n\r\n[Strings]\r\nstray line\r\n~10\r\nFirst\r\n~ not a record\r\n~20\r\n  indented\r\n\r\n\r\n"
      "~0\r\nzero\r\n~1001\r\nbig\r\n~-5\r\nneg\r\n~1000\r\nlast id\r\n~30\r\nText\r\n[MSI] tail\r\nafter\r\n"
      "~34abc\r\nx\r\n[Firewall]\r\nA;B;1;0\r\n");
  EXPECT_EQ(d.Text(10), u"First") << "a line that begins with ~ ends the text";
  EXPECT_EQ(d.Text(20), u"  indented") << "trimmed at its end only";
  EXPECT_EQ(d.Text(1000), u"last id");
  EXPECT_EQ(d.Text(30), u"Text") << "a line that begins with a header ends the text";
  EXPECT_EQ(d.Text(34), u"x");
  EXPECT_TRUE(d.Text(0).empty());
  EXPECT_LE(d.texts.size(), 1001u) << "ids above 1000 are dropped";
  EXPECT_EQ(d.firewall, std::vector<String>{"A;B;1;0"});
}

TEST(UninstallDataRead, MalformedRecordsDropped) {
  const UninstallData d = Read(
      "[Associations]\r\n"
      ".a~!~~!~open~!~icon\r\n"           // empty program identifier
      ".b~!~P~!~ \t~!~icon\r\n"           // blank verb
      "~!~P~!~open~!~icon\r\n"            // empty extension
      ".c~!~P~!~open\r\n"                 // no icon field: kept
      ".d~!~P~!~open~!~i~!~x\r\n"         // the icon keeps a further separator
      ".e~!~P\r\n"                        // too few fields
      "[AutoClose]\r\n"
      "t,c,n\r\n"
      "t,c,n,1,5\r\n"
      "t,c,n,x\r\n"
      "t,c,n,256\r\n"
      "t,c,n,3\r\n"
      "[ConditionalDelete]\r\n"
      "a.txt,1,2020\r\n"
      "a.txt,junk,,8\r\n"
      "a.txt,1,2020-01-01,8\r\n"
      "b.txt,4,\"1,000\",10\r\n"
      "a.txt,5,99,8\r\n");
  const std::vector<uninstall::FileAssociation> assoc = {{".c", "P", "open", u""}, {".d", "P", "open", u"i~!~x"}};
  EXPECT_EQ(d.associations, assoc);
  ASSERT_EQ(d.closePrograms.size(), 1u);
  EXPECT_EQ(d.closePrograms[0].action, 3);
  EXPECT_EQ(d.closePrograms[0].phaseMask, 2);
  const std::vector<uninstall::FileDeletion> del = {{"a.txt", 5, "99", 8}, {"b.txt", 4, "1,000", 10}};
  EXPECT_EQ(d.conditionalDeletions, del) << "one record per file pattern, the later one wins";
}

TEST(UninstallDataRead, ReplacesEarlierContents) {
  UninstallData d = FullFixture();
  uninstall::ReadUninstallData("C:\\only.txt\r\n", d);
  EXPECT_EQ(d.entries, std::vector<String>{"C:\\only.txt"});
  EXPECT_TRUE(d.associations.empty());
  EXPECT_TRUE(d.productName.empty());
  EXPECT_TRUE(uninstall::AddUninstallEntry(d, std::u16string_view(u"C:\\Program Files\\Caf\u00E9"),
                                           uninstall::kEntryFolder));
}

TEST(UninstallDataWrite, LineBreaksInRecordFieldsStayOnOneLine) {
  UninstallData d;
  d.closePrograms.push_back({u"Cls", "Two\r\nlines", "Name", 0, 2});
  const UninstallData out = Read(uninstall::WriteUninstallData(d));
  ASSERT_EQ(out.closePrograms.size(), 1u);
  EXPECT_EQ(out.closePrograms[0].titlePattern, "Two  lines");
}

TEST(UninstallPackages, LineParsing) {
  const struct {
    const char* line;
    bool ok;
    Streng path;
    int level;
  } cases[] = {
      {"\"C:\\a.msi\",2", true, u"C:\\a.msi", 2},
      {"  \" C:\\b.msi \" , 5", true, u"C:\\b.msi", 5},
      {"\"|C:\\\xC3\xA9.msi\",3", true, u"C:\\\u00E9.msi", 3},
      {"\"C:\\a.msi\"", false, u"", 0},
      {"\"C:\\a.msi\",2,3", false, u"", 0},
      {"\"C:\\a.msi\",x", false, u"", 0},
  };
  for (const auto& c : cases) {
    Streng path;
    int level = -1;
    EXPECT_EQ(uninstall::ParsePackageLine(c.line, &path, &level), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(path, c.path) << c.line;
      EXPECT_EQ(level, c.level) << c.line;
    }
  }
}

TEST(UninstallConditionalDeletion, SettingsRecordBecomesNarrow) {
  const auto d = uninstall::NarrowDeletion({"Caf\xE9\\*.tmp", 2, "2024-01-01", 8});
  EXPECT_EQ(d.fileSpec, "|Caf\xC3\xA9\\*.tmp");
  EXPECT_EQ(d.conditionKind, 2);
  EXPECT_EQ(d.comparisonValue, "2024-01-01");
  EXPECT_EQ(uninstall::NarrowDeletion({"plain.txt", 0, "", 8}).fileSpec, "plain.txt");
}

}  // namespace
