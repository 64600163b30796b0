#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "lib/checksum.h"
#include "setup/core/product_flags.h"
#include "setup/core/settings.h"

namespace {

using namespace setup;

constexpr uint64_t Bit(int n) { return uint64_t(1) << n; }

LanguageTable Table(std::vector<vk::Streng> names, size_t textCount) {
  std::vector<vk::Streng> texts;
  for (size_t n = 0; n < textCount; ++n)
    for (size_t l = 0; l < names.size(); ++l)
      texts.push_back(u"text " + vk::AsciiToStreng(std::to_string(n)) + u" in " + names[l] +
                      u"\r\nline two");
  LanguageTable t;
  t.assign(std::move(names), std::move(texts), textCount);
  return t;
}

// Every field set, and set apart from every other field of the same type, so that a read in the
// wrong place or order shows.
InstallSettings Full() {
  InstallSettings s;
  s.ProductFlags = 0x0411'0000'0001'0024ull | Bit(flag::Uninstaller) | Bit(flag::RequiresMasterProduct);
  s.AutomaticModeByte = 7;
  s.TaskbarText = u"Taskbar \u20AC";
  s.ReservedText = "reserved";
  s.TitleSize = 28.5;
  s.ProgressPlacement = 0x0601;
  s.StatusHoldTime = 1234;
  s.ShortcutMode = 1;
  s.UninstallerTime = {2024, 2, 29, 23, 58, 59};
  s.Publisher = u"Publisher Ltd";
  s.ProductName = u"Product";
  s.ProductDescription = u"Description";
  s.Bitness = 2;
  s.SharedFolderBase = 3;
  s.SharedPath = u"Shared\\Path";
  s.SharedSubfolder = u"SharedSub";
  s.ProductStartMenu = u"Start Menu Folder";
  s.DisplayVersion = u"4.5.6";
  s.DefaultInstallFolder = u"<os>\\Product";
  s.ProductRegistry = u"Vendor\\Product";
  s.RegistryEntries = u"\\HKLM\\Software\\X,Name,1,data,1\r\n";
  s.RegistryMerge = "REGEDIT4\r\n";
  s.BitmapSize = 100;
  s.StretchMode = 3;
  s.GreetingLink = u"https://example.invalid/greet";
  s.LicenseTexts = {"license one", "\xEF\xBB\xBF{\\rtf1 two}"};
  s.ReadmeTexts = {"readme one", "readme two", "readme three"};
  s.UninstallSubdir = u"uninst";
  s.UninstallerFileName = u"unins.exe";
  s.UninstallKeyName = u"Product Key";
  s.PreviousInstallText = "HKLM\\Software\\Vendor,InstallDir";
  s.InstallerTitle = u"Installer %Title%";
  s.LabelColor = 0x00112233;
  s.ReservedByte = 9;
  s.TitleColor = 0x00445566;
  s.TitleShadow = 4;
  s.TitlePosition = 5;
  s.TitleFont = "Title Font";
  s.TopColor = 0x00778899;
  s.BottomColor = 0x00AABBCC;
  s.BackgroundBitmap = std::string("BM\0\x01\x02", 5);
  s.BitmapTPI = -1;
  s.CopyrightPos = 2;
  s.CopyrightColor = 0x00DDEEFF;
  s.CopyrightSize = 9.75;
  s.CopyrightText = u"\u00A9 Vendor";
  s.CopyrightFont = "Copyright Font";
  s.MasterProductName = u"Master";
  s.MasterProductTitle = u"Master Title";
  s.MinimumMasterVersion = u"2.0";
  s.GreetingSound = std::string("RIFF\0\0WAVE", 10);
  s.DesktopFolder = u"Desktop Folder";
  s.DesktopFolderIcon = std::string("\0\0\1\0icon", 8);
  s.PreInstallBatch = "echo pre";
  s.PostInstallBatch = "echo post";
  s.InstallExitBatch = "echo exit";
  s.UninstallBatch1 = "echo u1";
  s.UninstallBatch2 = "echo u2";
  s.UpgradeBatch = "echo upgrade";
  s.ReinstallBatch = "echo reinstall";
  s.MinimumWindowsVersion = {6, 1, 7601, 1, 0};
  s.ExcludedSystems = 0x30;
  s.ArchiveFileMode = 1;
  s.ApplicationCommand = u"%InstallDir%\\app.exe /x";
  s.DocumentPath = u"doc.txt";
  s.SecondDocumentPath = u"doc2.txt";
  s.LaunchAddress = "http://a.invalid/launch";
  s.InstallStartAddress = "http://a.invalid/start";
  s.FreshInstallAddress = "http://a.invalid/fresh";
  s.UpgradeAddress = "http://a.invalid/upgrade";
  s.DowngradeAddress = "http://a.invalid/downgrade";
  s.ReinstallAddress = "http://a.invalid/reinstall";
  s.NotifyURL = "http://a.invalid/notify";
  s.LinkAddress = "http://a.invalid/link";
  s.CancelAddress = "http://a.invalid/cancel";
  s.FailureAddress = "http://a.invalid/failure";
  s.WarningVersion = "3.0";
  s.NoDowngradeBelow = "4.0";
  s.InstallPassword = u"secret";
  s.UpgradeFloor = u"1.5";
  s.FirewallEntries = u"app.exe,Product";
  s.AddToPathSubfolder = u"bin";
  s.WizardOptions = {10, 11, 2, 3, 1, 0, 12, 13, 14, 15, 1};
  s.UninstallerIcon = "uninstall icon";
  s.FileDeletions = {{"old.dll", 4, "1024", 8}, {"*.tmp", 0, "", 1}};
  s.FileAssociations = {{1, ".abc", "Product.Doc", "Product document", "open,edit", "&Open",
                         u"\"%InstallDir%\\app.exe\" \"%1\"", u"English", u"app.exe,1"},
                        {2, ".xyz", "!Other", "", "open", "Open", u"cmd", u"", u""}};
  s.Shortcuts = {{u"%InstallDir%\\app.exe", u"Sub\\App", u"app.ico", u"/a", u"%InstallDir%", 1, 1,
                  0, "|extra", 2, 5}};
  s.RootShortcutName = u"Root";
  s.RootShortcutCommand = u"\"app.exe\" /root";
  s.TaskbarPinName = u"Pin";
  s.TaskbarPinCommand = u"app.exe /pin";
  s.UninstallValues = {{"Comments", 1, u"A comment"}, {"HKLM\\Software\\V\\Size", 4, u"42"}};
  s.SupportOffer = "offer";
  s.ProductIcon = "product icon";
  s.CloseWindows = {{u"AppWindowClass", "*Product", "Product App", 1, 3},
                    {u"", "Exact Title", "Other", 4, 2}};
  s.Languages = Table({u"Deutsch", u"English"}, 3);
  return s;
}

// Optional rows absent: no master product, no uninstaller icon, no bitmap, no copyright line.
InstallSettings Minimal() {
  InstallSettings s;
  s.ProductName = u"Minimal";
  s.Languages = Table({u"English"}, 1);
  return s;
}

std::vector<uint8_t> Write(const InstallSettings& s, bool expectValid = true) {
  SettingsWriter w;
  vk::String problem;
  const bool ok = WriteSettings(s, w, &problem);
  if (expectValid) {
    EXPECT_TRUE(ok) << "writer refused " << problem;
  }
  return w.take();
}

struct ReadResult {
  int code;
  InstallSettings settings;
  RunModes modes;
  SettingsHeader header;
};

ReadResult Read(std::vector<uint8_t> block, RunModes modes = {}, SettingsHooks hooks = {}) {
  ReadResult r;
  r.header.blockChecksum = vk::checksum(block.data(), block.size());
  r.header.ProductFlags2 = 0xFFFFFFFF;
  r.modes = modes;
  SettingsStream stream(std::move(block));
  r.code = ReadSettings(stream, r.header, r.modes, hooks, r.settings);
  return r;
}

TEST(Settings, FullyPopulatedSettingsRoundTrip) {
  const InstallSettings full = Full();
  const auto block = Write(full);
  SettingsStream stream{std::vector<uint8_t>(block)};
  SettingsHeader header{vk::checksum(block.data(), block.size()), 0};
  RunModes modes;
  InstallSettings got;
  ASSERT_EQ(ReadSettings(stream, header, modes, {}, got), 0);
  EXPECT_TRUE(stream.atEnd());
  // The spot checks name the first broken group; the whole comparison covers every field.
  EXPECT_EQ(got.ProductFlags, full.ProductFlags);
  EXPECT_EQ(got.UninstallerTime, full.UninstallerTime);
  EXPECT_EQ(got.CopyrightText, full.CopyrightText);
  EXPECT_EQ(got.MinimumMasterVersion, full.MinimumMasterVersion);
  EXPECT_EQ(got.UninstallerIcon, full.UninstallerIcon);
  EXPECT_EQ(got.FileAssociations, full.FileAssociations);
  EXPECT_EQ(got.Shortcuts, full.Shortcuts);
  EXPECT_EQ(got.CloseWindows, full.CloseWindows);
  EXPECT_EQ(got.Languages.raw(2, 0), u"text 2 in Deutsch\r\nline two");
  EXPECT_TRUE(got == full);
}

TEST(Settings, OptionalRowsAbsentRoundTrip) {
  const InstallSettings minimal = Minimal();
  auto r = Read(Write(minimal));
  ASSERT_EQ(r.code, 0);
  EXPECT_TRUE(r.settings == minimal);

  // The same content with the optional rows' switches off: their fields are not stored.
  InstallSettings full = Full();
  full.ProductFlags &= ~(Bit(flag::Uninstaller) | Bit(flag::RequiresMasterProduct));
  full.CopyrightPos = 0;
  full.BackgroundBitmap.clear();
  const auto shorter = Read(Write(full));
  ASSERT_EQ(shorter.code, 0);
  EXPECT_TRUE(shorter.settings.MasterProductName.empty());
  EXPECT_TRUE(shorter.settings.CopyrightText.empty());
  EXPECT_EQ(shorter.settings.BitmapTPI, 0);
  EXPECT_TRUE(shorter.settings.UninstallerIcon.empty());
  EXPECT_EQ(shorter.settings.FileAssociations, full.FileAssociations) << "later rows still line up";
  EXPECT_EQ(shorter.settings.Languages, full.Languages);
}

// One damaged or boundary block per case: the value is written as it stands (the writer refuses
// it but still writes it), and the reader must give the code.
TEST(Settings, BoundsAndErrorCodes) {
  struct Case {
    const char* name;
    std::function<void(InstallSettings&)> change;
    int code;
  };
  const FileDeletion del{"f", 0, "", 0};
  const CloseWindow win{u"c", "", "", 0, 0};
  const Case cases[] = {
      {"hold time 9999", [](auto& s) { s.StatusHoldTime = 9999; }, 0},
      {"hold time 10000", [](auto& s) { s.StatusHoldTime = 10000; }, kErrStatusHoldTime},
      {"bitmap size 100", [](auto& s) { s.BitmapSize = 100; }, 0},
      {"bitmap size 101", [](auto& s) { s.BitmapSize = 101; }, kErrBitmapSize},
      {"bitmap size -1", [](auto& s) { s.BitmapSize = -1; }, kErrBitmapSize},
      {"20 licenses", [](auto& s) { s.LicenseTexts.assign(20, "l"); }, 0},
      {"21 licenses", [](auto& s) { s.LicenseTexts.assign(21, "l"); }, kErrLicenseCount},
      {"20 readmes", [](auto& s) { s.ReadmeTexts.assign(20, "r"); }, 0},
      {"21 readmes", [](auto& s) { s.ReadmeTexts.assign(21, "r"); }, kErrReadmeCount},
      {"1000 deletions", [&](auto& s) { s.FileDeletions.assign(1000, del); }, 0},
      {"1001 deletions", [&](auto& s) { s.FileDeletions.assign(1001, del); }, kErrDeletionCount},
      {"1000 associations", [](auto& s) { s.FileAssociations.resize(1000); }, 0},
      {"1001 associations", [](auto& s) { s.FileAssociations.resize(1001); },
       kErrAssociationCount},
      {"1000 shortcuts", [](auto& s) { s.Shortcuts.resize(1000); }, 0},
      {"1001 shortcuts", [](auto& s) { s.Shortcuts.resize(1001); }, kErrShortcutCount},
      {"1000 uninstall values", [](auto& s) { s.UninstallValues.resize(1000); }, 0},
      {"1001 uninstall values", [](auto& s) { s.UninstallValues.resize(1001); },
       kErrUninstallValueCount},
      {"1000 windows", [&](auto& s) { s.CloseWindows.assign(1000, win); }, 0},
      {"1001 windows", [&](auto& s) { s.CloseWindows.assign(1001, win); }, kErrCloseWindowCount},
      {"200 languages", [](auto& s) { s.Languages = Table(std::vector<vk::Streng>(200, u"L"), 1); },
       0},
      {"201 languages", [](auto& s) { s.Languages = Table(std::vector<vk::Streng>(201, u"L"), 1); },
       kErrLanguageCount},
      {"0 languages", [](auto& s) { s.Languages = Table({}, 1); }, kErrLanguageCount},
      {"10000 texts", [](auto& s) { s.Languages = Table({u"L"}, 10000); }, 0},
      {"10001 texts", [](auto& s) { s.Languages = Table({u"L"}, 10001); }, kErrTextCount},
      {"0 texts", [](auto& s) { s.Languages = Table({u"L"}, 0); }, kErrTextCount},
  };
  for (const auto& c : cases) {
    InstallSettings s = Minimal();
    c.change(s);
    EXPECT_EQ(Read(Write(s, c.code == 0)).code, c.code) << c.name;
  }
}

TEST(Settings, DamagedBlocks) {
  const auto good = Write(Full());
  {
    auto block = good;
    block.back() ^= 1;
    EXPECT_EQ(Read(block).code, kErrEndMarker) << "bad end marker";
  }
  // Cut anywhere in the tail (inside the table, the lists or the marker): a truncated block.
  for (size_t cut : {size_t(1), size_t(3), size_t(6), size_t(40), size_t(200)}) {
    auto block = good;
    block.resize(block.size() - cut);
    EXPECT_EQ(Read(block).code, kErrEndMarker) << "cut " << cut;
  }
  {
    SettingsStream stream{std::vector<uint8_t>(good)};
    SettingsHeader header{vk::checksum(good.data(), good.size()) + 1, 0};
    RunModes modes;
    InstallSettings got;
    EXPECT_EQ(ReadSettings(stream, header, modes, {}, got), kErrBlockChecksum);
  }
  {
    // Nothing at all: every read zero-fills, and the checksum is the one of no data.
    std::vector<uint8_t> empty;
    EXPECT_EQ(Read(empty).code, kErrEndMarker);
  }
}

size_t PeakMemoryMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return size_t(usage.ru_maxrss) / 1024;
}

// A table head that claims 200 languages of 10000 texts in a block of a few hundred bytes is
// refused before two million texts are made for it.
TEST(Settings, TextTableLargerThanTheBlockIsRefusedBeforeItIsMade) {
  std::vector<uint8_t> block = Write(Minimal());
  const uint8_t head[] = {1, 1, 0, 0, 0, 'E', 0, 'n', 0};
  const auto at = std::search(block.begin(), block.end(), std::begin(head), std::end(head));
  ASSERT_NE(at, block.end());
  at[0] = 200;
  at[1] = 0x10, at[2] = 0x27;  // 10000
  EXPECT_EQ(Read(block).code, kErrEndMarker);
  EXPECT_LT(PeakMemoryMiB(), 40u);
}

TEST(Settings, SilentModeForcesTheUnattendedSwitches) {
  struct Case {
    uint64_t in, out;
  };
  const Case cases[] = {
      {0, 0x00000800'30600000ull},
      {~0ull, 0xFFF7EDE3'7FFFFF7Full},
      {0x12345678'9ABCDEF0ull, ((0x12345678ull & ~0x0008121Cull) | 0x800) << 32 |
                                   ((0x9ABCDEF0u & 0x7FFFFF7Fu) | 0x30600000u)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ForceSilentFlags(c.in), c.out) << std::hex << c.in;
    InstallSettings s = Minimal();
    s.ProductFlags = c.in & ~(Bit(flag::RequiresMasterProduct) | Bit(flag::Uninstaller));
    RunModes silent;
    silent.silentMode = true;
    bool windowMade = false;
    SettingsHooks hooks;
    hooks.createBackgroundWindow = [&](const InstallSettings&, bool) { windowMade = true; };
    const auto r = Read(Write(s), silent, hooks);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.settings.ProductFlags, ForceSilentFlags(s.ProductFlags));
    EXPECT_FALSE(windowMade) << "silent forcing sets the no-background bit before the window";
  }
}

TEST(Settings, AutomaticModeByte) {
  struct Case {
    uint8_t value;
    bool silent, before, after;
  };
  const Case cases[] = {
      {1, false, false, true}, {1, false, true, true},  {2, false, true, false},
      {2, true, true, true},   {0, false, true, true},  {0, false, false, false},
      {3, false, true, true},  {255, false, false, false},
  };
  for (const auto& c : cases) {
    InstallSettings s = Minimal();
    s.AutomaticModeByte = c.value;
    RunModes modes;
    modes.silentMode = c.silent;
    modes.automaticMode = c.before;
    const auto r = Read(Write(s), modes);
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.modes.automaticMode, c.after)
        << "byte " << int(c.value) << " silent " << c.silent << " before " << c.before;
  }
}

TEST(Settings, HooksRunAtTheirPlaceInTheStream) {
  InstallSettings s = Minimal();
  s.TaskbarText = u"Bar";
  s.TitleSize = 14;
  s.Bitness = 1;
  const auto block = Write(s);

  std::vector<std::string> calls;
  SettingsHooks hooks;
  hooks.createBackgroundWindow = [&](const InstallSettings& so_far, bool minimized) {
    EXPECT_EQ(so_far.TaskbarText, u"Bar");
    EXPECT_EQ(so_far.TitleSize, 14);
    EXPECT_TRUE(so_far.ProductName.empty()) << "rows after 6 are not read yet";
    EXPECT_TRUE(minimized);
    calls.push_back("window");
  };
  hooks.disableWow64Redirection = [&] { calls.push_back("wow64"); };
  hooks.buttonImagesSupported = [&] {
    calls.push_back("test");
    return true;
  };
  RunModes modes;
  modes.startMinimized = true;
  auto r = Read(block, modes, hooks);
  ASSERT_EQ(r.code, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"test", "window", "wow64"}));
  EXPECT_EQ(r.header.ProductFlags2, 0xFFFFFFFFu);

  // The window comes before the checksum comparison; a failed test clears ProductFlags2 bit 10.
  calls.clear();
  hooks.buttonImagesSupported = [] { return false; };
  SettingsStream stream{std::vector<uint8_t>(block)};
  SettingsHeader header{0, 0xFFFFFFFF};
  InstallSettings got;
  EXPECT_EQ(ReadSettings(stream, header, modes, hooks, got), kErrBlockChecksum);
  EXPECT_EQ(calls, (std::vector<std::string>{"window"}));
  EXPECT_EQ(header.ProductFlags2, 0xFFFFFBFFu);

  // No background window with bit 29; no system test means the bit is cleared.
  s.ProductFlags |= Bit(flag::NoBackgroundWindow);
  s.Bitness = 2;
  calls.clear();
  hooks.buttonImagesSupported = nullptr;
  r = Read(Write(s), modes, hooks);
  ASSERT_EQ(r.code, 0);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(r.header.ProductFlags2, 0xFFFFFBFFu);
}

TEST(Settings, DefaultLanguage) {
  struct Case {
    std::vector<vk::Streng> names;
    size_t expected;
  };
  const Case cases[] = {
      {{u"Deutsch"}, 0},
      {{u"Deutsch", u"Fran\u00E7ais"}, 0},
      {{u"Deutsch", u"ENGLISH"}, 1},
      {{u"english", u"Deutsch", u"English"}, 2},
      {{u"English", u"English (UK)"}, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LanguageTable::DefaultLanguage(c.names), c.expected);
    EXPECT_EQ(Table(c.names, 2).chosen(), c.expected);
  }
}

TEST(Settings, LanguageTextsAreNormalisedAndLookedUpByNumber) {
  LanguageTable t;
  ASSERT_TRUE(t.assign({u"Deutsch", u"English"}, {u"a\nb", u"c\rd", u"\r\r\n", u"x\r\ny"}, 2));
  EXPECT_EQ(t.chosen(), 1u);
  EXPECT_EQ(t.raw(0), u"c\r\nd");
  EXPECT_EQ(t.raw(1), u"x\r\ny");
  EXPECT_EQ(t.raw(0, 0), u"a\r\nb");
  EXPECT_EQ(t.raw(1, 0), u"\r\n\r\n");
  EXPECT_TRUE(t.raw(2).empty()) << "n >= T";
  t.choose(5);
  EXPECT_EQ(t.chosen(), 1u);
  t.choose(0);
  EXPECT_EQ(t.raw(0), u"a\r\nb");
  EXPECT_FALSE(t.assign({u"One"}, {u"a", u"b", u"c"}, 2)) << "T x L must match";
}

TEST(Settings, DefaultsFollowTheProductName) {
  InstallSettings s;
  s.ProductName = u"Stored";
  s.Publisher = u"  ";
  s.ProductFlags = Bit(flag::RequiresMasterProduct) | Bit(flag::DesktopFolderDefault);
  RunModes modes;
  ApplyDefaults(s, modes);
  EXPECT_EQ(modes.overrideProductName, u"Stored");
  EXPECT_EQ(s.ProductDescription, u"Stored");
  EXPECT_EQ(s.SharedPath, u"Stored") << "blank publisher";
  EXPECT_EQ(s.ProductStartMenu, u"Stored");
  EXPECT_EQ(s.UninstallKeyName, u"Stored");
  EXPECT_EQ(s.MasterProductName, u"Stored");
  EXPECT_EQ(s.MasterProductTitle, u"Stored");
  EXPECT_EQ(s.DesktopFolder, u"Stored");

  // A /n: name wins and reaches the defaults; set fields and switched-off defaults stay.
  InstallSettings t;
  t.ProductName = u"Stored";
  t.Publisher = u"Vendor";
  t.ProductStartMenu = u"Menu";
  RunModes named;
  named.overrideProductName = u"Override";
  ApplyDefaults(t, named);
  EXPECT_EQ(t.ProductName, u"Override");
  EXPECT_EQ(t.ProductDescription, u"Override");
  EXPECT_EQ(t.SharedPath, u"Vendor");
  EXPECT_EQ(t.ProductStartMenu, u"Menu");
  EXPECT_EQ(t.UninstallKeyName, u"Override");
  EXPECT_TRUE(t.MasterProductName.empty());
  EXPECT_TRUE(t.DesktopFolder.empty());
}

class FakeFolders : public FolderProvider {
public:
  vk::Streng windowsFolder() const override { return u"C:\\Windows"; }
  vk::Streng programFiles32() const override { return u"C:\\Program Files (x86)"; }
  vk::Streng programFiles64() const override { return u"C:\\Program Files\\"; }
  vk::Streng expandMacros(const vk::Streng& text) const override {
    vk::Streng out = text;
    const vk::Streng macro = u"%Vendor%";
    for (size_t at; (at = out.find(macro)) != vk::Streng::npos;) out.replace(at, macro.size(), u"Acme");
    return out;
  }
};

TEST(Settings, DefaultInstallFolder) {
  struct Case {
    const char16_t* stored;
    uint8_t bitness;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"", 2, u"C:\\Program Files (x86)\\Product"},
      {u"", 1, u"C:\\Program Files\\Product"},
      {u"%Vendor%\\App", 0, u"C:\\Program Files (x86)\\Acme\\App"},
      {u"\\Vendor\\App", 1, u"C:\\Program Files\\Vendor\\App"},
      {u"<os>\\Tools", 1, u"C:\\Windows\\Tools"},
      {u"D:\\Apps", 1, u"D:\\Apps"},
      {u"\\\\server\\share\\app", 2, u"\\\\server\\share\\app"},
      {u"<Master>", 1, u"<Master>"},
      {u"<master>\\sub", 2, u"C:\\Program Files (x86)\\<master>\\sub"},
      {u"HKLM\\Software\\Vendor,Dir", 1, u"HKLM\\Software\\Vendor,Dir"},
      {u"hkcu\\Software\\Vendor,Dir", 1, u"hkcu\\Software\\Vendor,Dir"},
      {u"HKCR\\x", 2, u"C:\\Program Files (x86)\\HKCR\\x"},
  };
  FakeFolders folders;
  for (const auto& c : cases)
    EXPECT_EQ(ResolveDefaultInstallFolder(c.stored, u"Product", c.bitness, folders), c.expected)
        << vk::StrengToUtf8(c.stored) << " bitness " << int(c.bitness);
}

TEST(Settings, WriterRefusesWhatTheReaderWouldMisread) {
  struct Case {
    const char* name;
    std::function<void(InstallSettings&)> change;
  };
  const Case cases[] = {
      {"deletion named like the terminator",
       [](auto& s) { s.FileDeletions = {{"~~THE END~~", 0, "", 0}}; }},
      {"window class named like the terminator",
       [](auto& s) { s.CloseWindows = {{u"~~THE~END~~", "", "", 0, 0}}; }},
      {"terminator inside a zero-terminated text", [](auto& s) {
         s.WarningVersion = std::string("1\0002", 3);
       }},
      {"NoDowngradeBelow over 255 bytes", [](auto& s) { s.NoDowngradeBelow.assign(256, '1'); }},
  };
  for (const auto& c : cases) {
    InstallSettings s = Minimal();
    c.change(s);
    SettingsWriter w;
    vk::String problem;
    EXPECT_FALSE(WriteSettings(s, w, &problem)) << c.name;
    EXPECT_FALSE(problem.empty()) << c.name;
  }
}

}  // namespace
