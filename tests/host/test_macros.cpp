#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "lib/format.h"
#include "setup/core/macros.h"

namespace {

using setup::MacroContext;
using setup::OsInfo;
using setup::SystemFolder;
using vk::Streng;

std::string Show(const Streng& s) { return vk::StrengToUtf8(s); }
Streng U(std::string_view utf8) { return vk::Utf8ToStreng(utf8); }

// Fixed values: each folder is named after itself, Program Files and Common Files after the mode
// they were asked for, so that a test sees which look-up a macro made.
class FakeValues : public setup::MacroValues {
public:
  FakeValues() {
    ctx.productName = u"Demo";
    ctx.companyName = u"Acme";
    ctx.version = u"2.0";
    ctx.installDir = u"d:\\Apps\\Demo";
    ctx.sharedDir = u"C:\\Shared\\Acme";
    ctx.UninstallSubdir = u"uninstall";
    ctx.startMenuFolder = u"Demo Menu";
    os.major = 10;
    os.build = 19045;
    os.windows64 = true;
    folders = {
        {SystemFolder::AppDataAll, u"C:\\ProgramData"},
        {SystemFolder::AppData, u"C:\\Users\\u\\AppData\\Roaming"},
        {SystemFolder::BootDrive, u"C:"},
        {SystemFolder::DesktopAll, u"C:\\Users\\Public\\Desktop"},
        {SystemFolder::Desktop, u"C:\\Users\\u\\Desktop"},
        {SystemFolder::SMProgramsAll, u"C:\\All\\Programs"},
        {SystemFolder::SMPrograms, u"C:\\User\\Programs"},
        {SystemFolder::System, u"C:\\Windows\\System32"},
        {SystemFolder::Windows, u"C:\\Windows"},
    };
    env = {{u"PATH", u"C:\\bin"}, {u"WITHPERCENT", u"50%"}};
  }

  const MacroContext& context() const override { return ctx; }
  Streng folder(SystemFolder which) const override {
    ++folderCalls;
    auto it = folders.find(which);
    return it == folders.end() ? Streng() : it->second;
  }
  Streng programFiles(int mode) const override { return u"PF" + vk::AsciiToStreng(std::to_string(mode)); }
  Streng commonFiles(int mode) const override { return u"CF" + vk::AsciiToStreng(std::to_string(mode)); }
  bool process64() const override { return false; }
  Streng installerPath() const override { return installer; }
  Streng tempFolder() const override { return temp; }
  const OsInfo& osInfo() const override { return os; }
  std::optional<Streng> environment(std::u16string_view name) const override {
    for (const auto& [key, value] : env)
      if (vk::EqualsNoCase(key, name)) return value;
    return std::nullopt;
  }

  MacroContext ctx;
  OsInfo os;
  std::map<SystemFolder, Streng> folders;
  std::map<Streng, Streng> env;
  Streng installer = u"E:\\Media\\setup.exe";
  Streng temp = u"C:\\Temp";
  mutable int folderCalls = 0;
};

Streng Expanded(std::u16string_view text, const FakeValues& values) {
  return setup::ExpandedMacros(text, values);
}

struct Case {
  const char* text;
  const char* expected;
};

TEST(Macros, ExpandsTheTable) {
  FakeValues v;
  v.ctx.oldVersion = u"3.12.1";
  const Case cases[] = {
      {"", ""},
      {"no macros here", "no macros here"},
      {"%InstallDir%\\bin", "d:\\Apps\\Demo\\bin"},
      {"%installdir%\\bin", "d:\\Apps\\Demo\\bin"},
      {"%INSTALLDIR%", "d:\\Apps\\Demo"},
      {"%InstallDrive%", "D:"},
      {"%InstallerDir%|%InstallerDrive%|%InstallerFilename%|%InstallerFilepath%",
       "E:\\Media|E:|setup.exe|E:\\Media\\setup.exe"},
      {"%OldVersionMajor%.%OldVersionMinor%", "3.12"},
      {"%oldversionmajor%", "%oldversionmajor%"},
      {"%OLDVERSIONMINOR%", "%OLDVERSIONMINOR%"},
      {"%OldVersion%", "3.12.1"},
      {"%ProductName% by %CompanyName% %Version%", "Demo by Acme 2.0"},
      {"%SharedDir%|%UninstallDir%", "C:\\Shared\\Acme|d:\\Apps\\Demo\\uninstall"},
      {"%StartMenuChosen%", "C:\\User\\Programs\\Demo Menu"},
      {"%DesktopShortcuts%", "C:\\Users\\u\\Desktop"},
      {"%Temp%\\x", "C:\\Temp\\x"},
      {"%WinDir%|%SystemDir%|%BootDrive%", "C:\\Windows|C:\\Windows\\System32|C:"},
      {"%Automatic%%Portable%%Existing%", "003"},  // 3.12.1 is newer than 2.0
      {"%Bits%|%OS%|%OSMajor%|%OSMinor%|%OSServer%", "64|48|10|0|0"},
      // Back to back, and the same macro many times.
      {"%ProductName%%ProductName%%Version%", "DemoDemo2.0"},
      {"a%Version%b%Version%c%Version%", "a2.0b2.0c2.0"},
      // Percent signs that make no macro.
      {"%", "%"},
      {"%%", "%%"},
      {"100%", "100%"},
      {"%%Version%%", "%2.0%"},
      {"50% of %Version%", "50% of 2.0"},
      // Environment step: a set variable, an unknown word, a pair that names nothing.
      {"%PATH%;x", "C:\\bin;x"},
      {"%path%", "C:\\bin"},
      {"%NoSuchThing%\\x", "%NoSuchThing%\\x"},
      {"%NoSuchThing%PATH%", "%NoSuchThing%PATH%"},
      {"%NoSuchThing%%PATH%", "%NoSuchThing%C:\\bin"},
      {"%Version", "%Version"},
      // Names with a space or a missing percent are no macros.
      {"% InstallDir%|%InstallDir", "% InstallDir%|%InstallDir"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Show(Expanded(U(c.text), v)), c.expected) << "text: " << c.text;
}

TEST(Macros, LaterPassesReachIntoEarlierValues) {
  FakeValues v;
  // %Temp% comes after %ProductName% in the table: replaced in the product name's text.
  v.ctx.productName = u"Demo %Temp% %WinDir%";
  EXPECT_EQ(Show(Expanded(u"[%ProductName%]", v)), "[Demo C:\\Temp C:\\Windows]");
  // %InstallDir% comes before it: its pass is over, the name stays.
  v.ctx.productName = u"Demo %InstallDir%";
  EXPECT_EQ(Show(Expanded(u"[%ProductName%]", v)), "[Demo %InstallDir%]");
  // A value is not searched again for the macro that produced it.
  v.ctx.productName = u"x%ProductName%";
  EXPECT_EQ(Show(Expanded(u"%ProductName%", v)), "x%ProductName%");
  // The environment step sees the values too.
  v.ctx.productName = u"on %PATH%";
  EXPECT_EQ(Show(Expanded(u"%ProductName%", v)), "on C:\\bin");
  // An environment value is not expanded again.
  v.env[u"LOOP"] = u"%LOOP%";
  EXPECT_EQ(Show(Expanded(u"%LOOP%", v)), "%LOOP%");
}

TEST(Macros, AsksOnlyForMacrosThatOccur) {
  FakeValues v;
  Expanded(u"%Version% %NoSuchThing% 100%", v);
  EXPECT_EQ(v.folderCalls, 0);
  Expanded(u"%WinDir% %windir% %WINDIR%", v);
  EXPECT_EQ(v.folderCalls, 1);
}

TEST(Macros, ContextDependentFolders) {
  FakeValues v;
  v.ctx.ShortcutMode = 1;
  EXPECT_EQ(Show(Expanded(u"%DesktopShortcuts%|%StartMenuChosen%", v)),
            "C:\\Users\\Public\\Desktop|C:\\All\\Programs\\Demo Menu");
  v.ctx.ProductFlags = uint64_t(1) << 58;  // empty DesktopFolder takes the product name
  EXPECT_EQ(Show(Expanded(u"%DesktopShortcuts%", v)), "C:\\Users\\Public\\Desktop\\Demo");
  v.ctx.DesktopFolder = u"Tools";
  v.ctx.ShortcutMode = 0;
  EXPECT_EQ(Show(Expanded(u"%DesktopShortcuts%", v)), "C:\\Users\\u\\Desktop\\Tools");

  // An installation folder without a drive letter has no drive; no subfolder: the folder itself.
  v.ctx.installDir = u"\\\\server\\share\\app";
  v.ctx.UninstallSubdir.clear();
  v.ctx.startMenuFolder.clear();
  EXPECT_EQ(Show(Expanded(u"[%InstallDrive%]%UninstallDir%|%StartMenuChosen%", v)),
            "[]\\\\server\\share\\app|C:\\User\\Programs");
  v.installer = u"C:\\setup.exe";
  EXPECT_EQ(Show(Expanded(u"%InstallerDir%", v)), "C:\\");

  // Old version pieces: one piece, none.
  v.ctx.oldVersion = u"7";
  EXPECT_EQ(Show(Expanded(u"[%OldVersionMajor%][%OldVersionMinor%]", v)), "[7][]");
  v.ctx.oldVersion.clear();
  EXPECT_EQ(Show(Expanded(u"[%OldVersionMajor%][%OldVersionMinor%][%OldVersion%]", v)), "[][][]");
}

TEST(Macros, ExistingComparesWithThePreviousVersion) {
  struct Row {
    const char16_t* old;
    const char16_t* current;
    int expected;
  } rows[] = {
      {u"", u"1.0", 0},
      {u"", u"", 0},  // a first installation, even where a comparison could not be made
      {u"1.0", u"1.0", 1},
      {u"1.0", u"1.0.0", 2},  // more parts is newer
      {u"2.0b", u"2.0a", 3},
      {u"1.9", u"1.10", 2},
      {u"2.0", u"1.10", 3},
  };
  for (const Row& r : rows)
    EXPECT_EQ(setup::ExistingCode(r.old, r.current), r.expected)
        << Show(r.old) << " vs " << Show(r.current);
}

TEST(Macros, ProgramAndCommonFilesFollowBitness) {
  FakeValues v;
  // A 32-bit process on 64-bit Windows: the 32-bit folder is its native one.
  v.ctx.Bitness = 2;
  EXPECT_EQ(Show(Expanded(u"%ProgramsDir%|%ProgramsDir32%|%ProgramsDir64%", v)), "PF3|PF3|PF2");
  EXPECT_EQ(Show(Expanded(u"%CommonDir%|%CommonDir32%|%CommonDir64%", v)), "CF3|CF3|CF2");
  v.ctx.Bitness = 1;
  EXPECT_EQ(Show(Expanded(u"%ProgramsDir%|%CommonDir%", v)), "PF2|CF2");
  // On 32-bit Windows all of them are the one folder.
  v.os.windows64 = false;
  EXPECT_EQ(Show(Expanded(u"%ProgramsDir%|%ProgramsDir32%|%ProgramsDir64%|%CommonDir64%|%Bits%", v)),
            "PF3|PF3|PF3|CF3|32");
}

TEST(Macros, NormalisesBitsModes) {
  using setup::NormaliseBitsMode;
  struct Row {
    int mode;
    bool windows64, process64;
    int expected;
  } rows[] = {
      {1, false, false, 3}, {2, false, false, 3}, {3, false, false, 3}, {4, false, false, 3},
      {1, true, false, 3},  {2, true, false, 2},  {3, true, false, 3},  {4, true, false, 2},
      {1, true, true, 1},   {2, true, true, 2},   {3, true, true, 3},   {4, true, true, 2},
      {0, true, false, 3},  {7, true, true, 3},
  };
  for (const Row& r : rows)
    EXPECT_EQ(NormaliseBitsMode(r.mode, r.windows64, r.process64), r.expected)
        << "mode " << r.mode << " windows64 " << r.windows64 << " process64 " << r.process64;
}

TEST(Macros, OperatingSystemCodes) {
  struct Row {
    uint32_t major, minor, build;
    uint8_t type;
    bool win64 = false, homeServer = false, r2 = false;
    uint32_t productInfo = 0;
    bool nt = true;
    int expected = 0;
  };
  const Row rows[] = {
      {4, 10, 0, 1, false, false, false, 0, false, 0},  // not NT
      {4, 0, 1381, 1, false, false, false, 0, true, 0},
      {5, 0, 2195, 1, false, false, false, 0, true, 0},
      {5, 1, 2600, 1, false, false, false, 0, true, 20},
      {5, 1, 2600, 3, false, false, false, 0, true, 20},
      {5, 2, 3790, 1, false, false, false, 0, true, 20},
      {5, 2, 3790, 1, true, false, false, 0, true, 24},
      {5, 2, 3790, 1, true, true, false, 0, true, 28},
      {5, 2, 3790, 3, false, true, true, 0, true, 28},  // the first test wins
      {5, 2, 3790, 3, false, false, true, 0, true, 26},
      {5, 2, 3790, 2, false, false, false, 0, true, 22},
      {6, 0, 6002, 1, false, false, false, 0, true, 30},
      {6, 0, 6002, 3, false, false, false, 0, true, 32},
      {6, 1, 7601, 1, false, false, false, 0, true, 36},
      {6, 1, 7601, 3, false, false, false, 0, true, 34},
      {6, 1, 7601, 3, false, false, false, 0x22, true, 38},
      {6, 1, 7601, 1, false, false, false, 0x22, true, 38},
      {6, 2, 9200, 1, false, false, false, 0, true, 40},
      {6, 2, 9200, 2, false, false, false, 0, true, 42},
      {6, 3, 9600, 1, false, false, false, 0, true, 44},
      {6, 3, 9600, 3, false, false, false, 0, true, 46},
      {6, 4, 9841, 1, false, false, false, 0, true, 48},
      {6, 4, 9841, 3, false, false, false, 0, true, 48},
      {10, 0, 19045, 1, true, false, false, 0, true, 48},
      {10, 0, 21995, 1, true, false, false, 0, true, 48},
      {10, 0, 21996, 1, true, false, false, 0, true, 56},
      {10, 0, 14393, 3, true, false, false, 0, true, 50},
      {10, 0, 17732, 3, true, false, false, 0, true, 50},
      {10, 0, 17733, 3, true, false, false, 0, true, 52},
      {10, 0, 20297, 2, true, false, false, 0, true, 52},
      {10, 0, 20298, 3, true, false, false, 0, true, 60},
      {10, 1, 30000, 1, true, false, false, 0, true, 0},
      {11, 0, 30000, 1, true, false, false, 0, true, 0},
  };
  for (const Row& r : rows) {
    OsInfo os;
    os.ntPlatform = r.nt;
    os.major = r.major;
    os.minor = r.minor;
    os.build = r.build;
    os.productType = r.type;
    os.windows64 = r.win64;
    os.homeServer52 = r.homeServer;
    os.serverR252 = r.r2;
    os.productInfo = r.productInfo;
    EXPECT_EQ(setup::OperatingSystemCode(os), r.expected)
        << r.major << "." << r.minor << " build " << r.build << " type " << int(r.type);
  }
  EXPECT_FALSE(setup::IsServerProductType(1));
  EXPECT_TRUE(setup::IsServerProductType(2));
  EXPECT_TRUE(setup::IsServerProductType(3));
}

TEST(Macros, OsTextsComeFromTheDescription) {
  FakeValues v;
  EXPECT_EQ(Show(Expanded(u"[%OSName%][%OSDescription%]", v)), "[][]");
  v.ctx.describeOperatingSystem = [](unsigned flags) -> Streng {
    return flags == 4 ? u"Windows 10" : u"Windows 10 Pro (build 19045), 64-bit";
  };
  EXPECT_EQ(Show(Expanded(u"[%OSName%][%osdescription%]", v)),
            "[Windows 10][Windows 10 Pro (build 19045), 64-bit]");
}

TEST(Macros, FormatVariantDoublesInsertedPercents) {
  FakeValues v;
  v.ctx.productName = u"100% App";
  v.ctx.installDir = u"C:\\%s%d";
  const Case cases[] = {
      {"%ProductName%", "100%% App"},
      {"Installing %s into %InstallDir%: %d%%", "Installing %s into C:\\%%s%%d: %d%%"},
      {"%WITHPERCENT% %PATH%", "50%% C:\\bin"},
      {"no macro %s", "no macro %s"},
      {"%NoSuchThing%", "%NoSuchThing%"},
      {"", ""},
  };
  for (const Case& c : cases) {
    Streng text = U(c.text);
    setup::ExpandMacrosForFormat(text, v);
    EXPECT_EQ(Show(text), c.expected) << "text: " << c.text;
  }
  // What counts is what the formatter makes of it: the values come out as they stand.
  Streng text = u"%ProductName% in %InstallDir% (%s)";
  setup::ExpandMacrosForFormat(text, v);
  EXPECT_EQ(Show(vk::Format(std::u16string_view(text), u"arg")), "100% App in C:\\%s%d (arg)");

  // A value's macro replaced by a later pass keeps the later value's percents escaped too.
  v.ctx.productName = u"%Temp%";
  v.temp = u"C:\\50%";
  text = u"%ProductName%";
  setup::ExpandMacrosForFormat(text, v);
  EXPECT_EQ(Show(text), "C:\\50%%");
}

TEST(Macros, Placeholders) {
  const Case cases[] = {
      {"<product> Tools", "Demo Tools"},
      {"<PRODUCT>-<Product>-<product>", "Demo-Demo-Demo"},
      {"<description>|<os>\\Fonts", "A demo|C:\\Windows\\Fonts"},
      {"<OS>", "C:\\Windows"},
      {"<file> <unknown> <product", "<file> <unknown> <product"},
      {"", ""},
  };
  for (const Case& c : cases) {
    Streng text = U(c.text);
    setup::ExpandPlaceholders(text, u"Demo", u"A demo", u"C:\\Windows");
    EXPECT_EQ(Show(text), c.expected) << "text: " << c.text;
  }
  // In order: a product name holding "<os>" gets the later step; a later value is not searched.
  Streng text = u"<product>";
  setup::ExpandPlaceholders(text, u"On <os> <product>", u"", u"C:\\Win <description>");
  EXPECT_EQ(Show(text), "On C:\\Win <description> <product>");

  FakeValues v;
  v.ctx.productDescription = u"Desc";
  text = u"<product>: <description> in <os>";
  setup::ExpandPlaceholders(text, v);
  EXPECT_EQ(Show(text), "Demo: Desc in C:\\Windows");
}

TEST(Macros, FilePlaceholder) {
  const Case cases[] = {
      {"regsvr32.exe /s \"<file>\"", "regsvr32.exe /s \"C:\\a b\\x.dll\""},
      {"<file> <file>", "C:\\a b\\x.dll C:\\a b\\x.dll"},
      {"<FILE> <File>", "<FILE> <File>"},
      {"", ""},
  };
  for (const Case& c : cases) {
    Streng text = U(c.text);
    setup::ExpandFilePlaceholder(text, u"C:\\a b\\x.dll");
    EXPECT_EQ(Show(text), c.expected) << "text: " << c.text;
  }
  Streng text = u"run <file>";
  setup::ExpandFilePlaceholder(text, u"C:\\<file>.dll");
  EXPECT_EQ(Show(text), "run C:\\<file>.dll");
}

TEST(Macros, FolderTextRules) {
  EXPECT_EQ(Show(setup::TrimRegistryFolder(u"C:\\Program Files\\")), "C:\\Program Files");
  EXPECT_EQ(Show(setup::TrimRegistryFolder(u"C:\\a\\\\")), "C:\\a\\");  // one backslash only
  EXPECT_EQ(Show(setup::TrimRegistryFolder(u"C:\\")), "C:\\");
  EXPECT_EQ(Show(setup::TrimRegistryFolder(u"D:\\x")), "D:\\x");

  EXPECT_EQ(Show(setup::ParentPath(u"C:\\Start\\Programs\\Startup")), "C:\\Start\\Programs");
  EXPECT_EQ(Show(setup::ParentPath(setup::ParentPath(u"C:\\Start\\Programs\\Startup"))), "C:\\Start");
  EXPECT_EQ(Show(setup::ParentPath(u"nofolder")), "");

  const Case boot[] = {{"d:\\", "D:"}, {"E:", "E:"}, {"", "C:"}, {"1:\\", "C:"}, {"\\\\x", "C:"}, {"d", "C:"}};
  for (const Case& c : boot) EXPECT_EQ(Show(setup::BootDriveFromValue(U(c.text))), c.expected) << c.text;

  EXPECT_EQ(Show(setup::DeviceDirFromValue(u"%SystemRoot%\\inf;C:\\drivers", u"C:\\WINDOWS")), "C:\\WINDOWS\\inf");
  EXPECT_EQ(Show(setup::DeviceDirFromValue(u"%systemroot%\\inf", u"C:\\W")), "C:\\W\\inf");
  EXPECT_EQ(Show(setup::DeviceDirFromValue(u"%SystemRoot%\\inf", u"")), "%SystemRoot%\\inf");
  EXPECT_EQ(Show(setup::DeviceDirFromValue(u"x\\%SystemRoot%\\%SystemRoot%", u"W")), "x\\W\\%SystemRoot%");
  EXPECT_EQ(Show(setup::DeviceDirFromValue(u";C:\\x", u"W")), "");

  EXPECT_EQ(Show(setup::InetpubFromWebRoot(u"c:\\Inetpub\\wwwroot")), "c:\\Inetpub");
  EXPECT_EQ(Show(setup::InetpubFromWebRoot(u"D:\\web\\root\\")), "D:\\web");
  EXPECT_EQ(Show(setup::InetpubFromWebRoot(u"c:\\wwwroot")), "c:");

  EXPECT_EQ(Show(setup::WithoutX86(u"C:\\Program Files (x86)")), "C:\\Program Files");
  EXPECT_EQ(Show(setup::WithoutX86(u"C:\\Program Files (X86)")), "C:\\Program Files (X86)");
  EXPECT_EQ(Show(setup::WithoutX86(u"C:\\A (x86)\\B (x86)")), "C:\\A\\B (x86)");

  EXPECT_EQ(Show(setup::DriveOfPath(u"c:\\x")), "C:");
  EXPECT_EQ(Show(setup::DriveOfPath(u"\\\\s\\x")), "");
  EXPECT_EQ(Show(setup::DriveOfPath(u"c")), "");
}

}  // namespace
