// The uninstall entry's value list: order, types, and the values a setting writes, leaves out or
// deletes.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "lib/strings.h"
#include "setup/core/registry_path.h"
#include "setup/core/uninstall_values.h"

namespace {

using setup::RegValueKind;
using setup::RegValueOp;

std::string N(const vk::Streng& s) { return vk::StrengToUtf8(s); }

struct Fixture {
  setup::InstallSettings settings;
  setup::UninstallValueInputs in;
  Fixture() {
    settings.ProductName = u"Sample";
    settings.DisplayVersion = u"1.0";
    settings.TopColor = 0x102030;
    settings.BottomColor = 0x405060;
    in.settings = &settings;
    in.uninstallerPath = u"C:\\Sample\\uninst\\uninstall.exe";
    in.uninstallName = u"Sample";
    in.setupPath = u"C:\\dl\\setup.exe";
    in.installFolder = u"C:\\Sample";
    in.installedBytes = 5000;
    in.sessionNumber = 0x123456789ull;
    in.installDate = "20261207";
  }
  std::vector<RegValueOp> build() {
    std::vector<RegValueOp> ops;
    EXPECT_EQ(0, setup::BuildUninstallValues(in, ops));
    return ops;
  }
};

const RegValueOp* Find(const std::vector<RegValueOp>& ops, std::u16string_view name, const vk::Streng& key = {}) {
  for (const RegValueOp& op : ops)
    if (op.name == name && op.key == key) return &op;
  return nullptr;
}

TEST(UninstallValues, AllValuesInTheirOrderWithTheirTypes) {
  Fixture f;
  f.settings.Publisher = u"Maker";
  f.settings.ProductFlags = 0x8000000000000004ull;  // bit 63: a negative signed value
  f.in.ProductFlags2 = 0xFFFFFFFFu;
  f.settings.TitleSize = 1.25;
  f.settings.CopyrightSize = 1;
  f.settings.CopyrightColor = 0x00C0B0A0;  // stored bytes A0 B0 C0
  f.in.productIconPath = u"C:\\Sample\\uninst\\product.ico";
  const std::vector<RegValueOp> ops = f.build();

  const char* const expected[] = {
      "UninstallString", "QuietUninstallString", "DisplayName", "InstallSource", "Publisher", "Bitness",
      "DisplayVersion", "NoDowngradeBelow", "DisplayIcon", "VersionMajor", "VersionMinor", "ProductRegistry",
      "ProductStartMenu", "SharedPath", "ProductFonts", "ProductFlags", "ProductFlags2", "UninstallBatch1",
      "UninstallBatch2", "SharedFiles", "UninstallSubdir", "AddToPathSubfolder", "ShortcutMode", "NotifyURL",
      "SupportOffer", "DesktopFolder", "EstimatedSize", "DisplayTitle", "TitleColor", "TitleSize", "TopColor",
      "BottomColor", "MonoColor", "TitleShadow", "TitlePosition", "TitleFont", "TaskbarText", "CopyrightText",
      "CopyrightFont", "CopyrightSize", "CopyrightColor", "CopyrightPos", "Session", "BitmapSize", "BitmapTPI",
      "StretchMode", "InstallLocation", "InstallDate"};
  ASSERT_EQ(std::size(expected), ops.size());
  for (size_t i = 0; i < ops.size(); ++i) EXPECT_EQ(expected[i], N(ops[i].name)) << "position " << i;

  struct Row {
    const char16_t* name;
    RegValueKind kind;
    std::string data;  // text of either width, or the number in decimal
  };
  const Row rows[] = {
      {u"UninstallString", RegValueKind::Wide, "\"C:\\Sample\\uninst\\uninstall.exe\" /u:\"Sample\""},
      {u"QuietUninstallString", RegValueKind::Wide, "\"C:\\Sample\\uninst\\uninstall.exe\" /a /u:\"Sample\""},
      {u"InstallSource", RegValueKind::Wide, "C:\\dl\\setup.exe"},
      {u"Publisher", RegValueKind::Wide, "Maker"},
      {u"Bitness", RegValueKind::Dword, "0"},
      {u"DisplayVersion", RegValueKind::Ansi, "1.0"},
      {u"NoDowngradeBelow", RegValueKind::Delete, ""},
      {u"DisplayIcon", RegValueKind::Wide, "C:\\Sample\\uninst\\product.ico"},
      {u"ProductFlags", RegValueKind::Ansi, "-9223372036854775804"},
      {u"ProductFlags2", RegValueKind::Ansi, "4294967295"},
      {u"EstimatedSize", RegValueKind::Dword, "4"},
      {u"TitleSize", RegValueKind::Ansi, "1.25"},
      {u"CopyrightSize", RegValueKind::Ansi, "1"},
      {u"CopyrightColor", RegValueKind::Ansi, "A0B0C0"},
      {u"TitleFont", RegValueKind::Ansi, ""},  // written also when empty
      {u"BottomColor", RegValueKind::Dword, std::to_string(0x405060)},
      {u"MonoColor", RegValueKind::Dword, "0"},
      {u"Session", RegValueKind::Qword, std::to_string(0x123456789ull)},
      {u"BitmapSize", RegValueKind::Delete, ""},  // no bitmap option
      {u"InstallLocation", RegValueKind::Wide, "C:\\Sample"},
      {u"InstallDate", RegValueKind::Ansi, "20261207"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(N(r.name));
    const RegValueOp* op = Find(ops, r.name);
    ASSERT_NE(nullptr, op);
    EXPECT_EQ(r.kind, op->kind);
    EXPECT_TRUE(op->key.empty());
    switch (r.kind) {
      case RegValueKind::Wide: EXPECT_EQ(r.data, N(op->wide)); break;
      case RegValueKind::Ansi: EXPECT_EQ(r.data, op->text); break;
      case RegValueKind::Dword:
      case RegValueKind::Qword: EXPECT_EQ(r.data, std::to_string(op->number)); break;
      default: break;
    }
  }
}

// One setting changed from the fixture, and what that does to the values it governs.
TEST(UninstallValues, SettingsThatWriteLeaveOutOrDeleteValues) {
  struct Expect {
    const char16_t* name;
    RegValueKind kind;  // Delete: deleted; Wide with number 1: not in the list at all
    uint64_t number = 0;
  };
  constexpr RegValueKind Absent = RegValueKind::Wide;
  struct Case {
    const char* what;
    std::function<void(Fixture&)> change;
    std::vector<Expect> expect;
  };
  const Case cases[] = {
      {"version without a full stop", [](Fixture& f) { f.settings.DisplayVersion = u"7"; },
       {{u"VersionMajor", Absent}, {u"VersionMinor", Absent}}},
      {"version with two full stops", [](Fixture& f) { f.settings.DisplayVersion = u"3.10.2"; },
       {{u"VersionMajor", RegValueKind::Dword, 3}, {u"VersionMinor", RegValueKind::Dword, 10}}},
      {"1000 bytes are no whole kilobyte", [](Fixture& f) { f.in.installedBytes = 1000; },
       {{u"EstimatedSize", RegValueKind::Delete}}},
      {"kilobytes beyond 32 bits", [](Fixture& f) { f.in.installedBytes = uint64_t(1) << 42; },
       {{u"EstimatedSize", RegValueKind::Delete}}},
      {"exactly one kilobyte", [](Fixture& f) { f.in.installedBytes = 1024; },
       {{u"EstimatedSize", RegValueKind::Dword, 1}}},
      {"single-coloured background", [](Fixture& f) { f.settings.BottomColor = f.settings.TopColor; },
       {{u"BottomColor", RegValueKind::Delete}, {u"MonoColor", RegValueKind::Dword, 1}}},
      {"shortcut mode 2", [](Fixture& f) { f.settings.ShortcutMode = 2; }, {{u"ShortcutMode", RegValueKind::Delete}}},
      {"shortcut mode 0", [](Fixture& f) { f.settings.ShortcutMode = 0; }, {{u"ShortcutMode", RegValueKind::Delete}}},
      {"shortcut mode 1", [](Fixture& f) { f.settings.ShortcutMode = 1; },
       {{u"ShortcutMode", RegValueKind::Dword, 1}}},
      {"no product icon written", [](Fixture& f) { f.in.productIconPath.clear(); }, {{u"DisplayIcon", Absent}}},
      {"bitmap without the bitmap option",
       [](Fixture& f) {
         f.settings.BackgroundBitmap = "BM";
         f.settings.BitmapSize = 50;
       },
       {{u"BitmapSize", RegValueKind::Delete}, {u"BitmapTPI", RegValueKind::Delete},
        {u"StretchMode", RegValueKind::Delete}}},
      {"bitmap option without a bitmap", [](Fixture& f) { f.settings.ProductFlags |= 1u << 15; },
       {{u"BitmapSize", RegValueKind::Delete}, {u"BitmapTPI", RegValueKind::Delete},
        {u"StretchMode", RegValueKind::Delete}}},
      {"bitmap with its option",
       [](Fixture& f) {
         f.settings.ProductFlags |= 1u << 15;
         f.settings.BackgroundBitmap = "BM";
         f.settings.BitmapSize = 0;
         f.settings.BitmapTPI = 96;
         f.settings.StretchMode = 3;
       },
       {{u"BitmapSize", RegValueKind::Dword, 0}, {u"BitmapTPI", RegValueKind::Dword, 96},
        {u"StretchMode", RegValueKind::Dword, 3}}},
      {"bitmap tiling -1",
       [](Fixture& f) {
         f.settings.ProductFlags |= 1u << 15;
         f.settings.BackgroundBitmap = "BM";
         f.settings.BitmapTPI = -1;
       },
       {{u"BitmapSize", RegValueKind::Dword, 0}, {u"BitmapTPI", RegValueKind::Delete},
        {u"StretchMode", RegValueKind::Dword, 0}}},
      {"empty version", [](Fixture& f) { f.settings.DisplayVersion.clear(); },
       {{u"DisplayVersion", RegValueKind::Delete}, {u"VersionMajor", Absent}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    c.change(f);
    const std::vector<RegValueOp> ops = f.build();
    for (const Expect& e : c.expect) {
      SCOPED_TRACE(N(e.name));
      const RegValueOp* op = Find(ops, e.name);
      if (e.kind == Absent) {
        EXPECT_EQ(nullptr, op);
        continue;
      }
      ASSERT_NE(nullptr, op);
      EXPECT_EQ(e.kind, op->kind);
      if (e.kind != RegValueKind::Delete) {
        EXPECT_EQ(e.number, op->number);
      }
    }
  }
}

TEST(UninstallValues, UninstallStringQuotesAPathWithoutBlanks) {
  EXPECT_EQ(u"\"C:\\App\\un.exe\" /u:\"My App\"", setup::UninstallCommand(u"C:\\App\\un.exe", u"My App", false));
  EXPECT_EQ(u"\"C:\\App\\un.exe\" /a /u:\"My App\"", setup::UninstallCommand(u"C:\\App\\un.exe", u"My App", true));
}

TEST(UninstallValues, CustomValuesComeAfterTheLookValuesAndAFullPathWritesOutsideTheKey) {
  Fixture f;
  f.in.customValues = {
      {"Comments", 1, u"hello"},
      {"HelpLink", 1, u""},                                   // empty: deleted
      {"ModifyPath", 2, u"%SystemRoot%\\x.exe"},
      {"NoModify", 4, u"1"},
      {"NoRepair", 4, u"0"},                                  // zero: deleted
      {"Negative", 4, u"-2"},
      {"\\HKLM\\Software\\Maker\\Sample\\Path", 1, u"C:\\Sample"},
  };
  const std::vector<RegValueOp> ops = f.build();
  ASSERT_GE(ops.size(), 9u);
  const size_t first = ops.size() - 9;
  EXPECT_EQ(u"Session", ops[first - 4].name);
  EXPECT_EQ(u"StretchMode", ops[first - 1].name);
  struct Row {
    const char* key;
    const char* name;
    RegValueKind kind;
    const char* wide;
    uint64_t number;
  };
  const Row rows[] = {
      {"", "Comments", RegValueKind::Wide, "hello", 0},
      {"", "HelpLink", RegValueKind::Delete, "", 0},
      {"", "ModifyPath", RegValueKind::Expand, "%SystemRoot%\\x.exe", 0},
      {"", "NoModify", RegValueKind::Dword, "", 1},
      {"", "NoRepair", RegValueKind::Delete, "", 0},
      {"", "Negative", RegValueKind::Dword, "", 0xFFFFFFFEu},
      {"\\HKLM\\Software\\Maker\\Sample", "Path", RegValueKind::Wide, "C:\\Sample", 0},
      {"", "InstallLocation", RegValueKind::Wide, "C:\\Sample", 0},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const RegValueOp& op = ops[first + i];
    SCOPED_TRACE(rows[i].name);
    EXPECT_EQ(rows[i].key, N(op.key));
    EXPECT_EQ(rows[i].name, N(op.name));
    EXPECT_EQ(rows[i].kind, op.kind);
    EXPECT_EQ(rows[i].wide, N(op.wide));
    EXPECT_EQ(rows[i].number, op.number);
    EXPECT_EQ(i < 7, op.custom);
  }
  EXPECT_EQ(u"InstallDate", ops.back().name);
}

TEST(UninstallValues, AnUnknownCustomTypeIsTheSetupDataErrorAndWritesNothing) {
  for (uint8_t type : {0, 3, 5, 11, 255}) {
    Fixture f;
    f.in.customValues = {{"Good", 1, u"x"}, {"Bad", type, u"1"}};
    std::vector<RegValueOp> ops(3);
    EXPECT_EQ(setup::kErrUninstallValueType, setup::BuildUninstallValues(f.in, ops)) << int(type);
    EXPECT_TRUE(ops.empty());
  }
}

TEST(UninstallValues, NumberTexts) {
  EXPECT_EQ("1", setup::DecimalText(1.0));
  EXPECT_EQ("0.1", setup::DecimalText(0.1));
  EXPECT_EQ("2.5", setup::DecimalText(2.5));
  EXPECT_EQ("0", setup::DecimalText(std::nan("")));  // not a number
  uint32_t major = 9, minor = 9;
  EXPECT_TRUE(setup::SplitVersion(u"12.x", major, minor));
  EXPECT_EQ(12u, major);
  EXPECT_EQ(0u, minor);
  EXPECT_TRUE(setup::SplitVersion(u"99999999999.1", major, minor));
  EXPECT_EQ(0xFFFFFFFFu, major);
  EXPECT_EQ(1u, minor);
  EXPECT_EQ(0u, setup::ParseDecimalDword(u"abc"));
  EXPECT_EQ(42u, setup::ParseDecimalDword(u" +42x"));
}

}  // namespace

namespace {

TEST(RegistryPath, FramedRootNames) {
  using setup::RegistryRoot;
  struct Row {
    const char16_t* path;
    RegistryRoot root;
    const char16_t* key;
  } rows[] = {
      {u"\\HKLM\\Software\\Maker", RegistryRoot::LocalMachine, u"Software\\Maker"},
      {u"\\hkcu\\Software", RegistryRoot::CurrentUser, u"Software"},
      {u"\\HKU\\.DEFAULT\\x", RegistryRoot::Users, u".DEFAULT\\x"},
      {u"\\HKCR", RegistryRoot::ClassesRoot, u""},
      {u"\\HKAU\\Software", RegistryRoot::AllUsers, u"Software"},
      {u"HKLM\\Software", RegistryRoot::None, u""},
      {u"\\HKLMX\\Software", RegistryRoot::None, u""},
      {u"", RegistryRoot::None, u""},
  };
  for (const Row& r : rows) {
    const setup::RegistryPath p = setup::ParseRegistryPath(r.path);
    EXPECT_EQ(r.root, p.root) << vk::StrengToUtf8(r.path);
    EXPECT_EQ(vk::Streng(r.key), p.key) << vk::StrengToUtf8(r.path);
  }
}

}  // namespace
