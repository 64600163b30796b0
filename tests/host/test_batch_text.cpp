#include <gtest/gtest.h>

#include <map>
#include <string>

#include "setup/core/batch_text.h"

namespace {

using setup::SystemFolder;
using vk::Streng;

std::string Show(std::u16string_view s) { return vk::StrengToUtf8(s); }

// Each folder is named after itself ("X:\System"), so that a line shows which value it took.
class FakeValues : public setup::MacroValues {
public:
  FakeValues() {
    ctx.productName = u"Demo";
    ctx.companyName = u"Acme";
    ctx.version = u"2.0";
    ctx.oldVersion = u"1.5.3";
    ctx.installDir = u"D:\\Apps\\Demo";
    ctx.sharedDir = u"C:\\Shared";
    ctx.UninstallSubdir = u"Un";
    ctx.startMenuFolder = u"Demo Menu";
    ctx.describeOperatingSystem = [](unsigned flags) {
      return Streng(flags == 4 ? u"Windows 10" : u"Windows 10 Pro (build 19045), 64-bit");
    };
    os.major = 10;
    os.build = 19045;
    os.windows64 = true;
  }

  const setup::MacroContext& context() const override { return ctx; }
  Streng folder(SystemFolder which) const override {
    static const std::map<SystemFolder, const char16_t*> names = {
        {SystemFolder::AppDataAll, u"AppDataAll"},     {SystemFolder::AppData, u"AppData"},
        {SystemFolder::DesktopAll, u"DesktopAll"},     {SystemFolder::Desktop, u"Desktop"},
        {SystemFolder::Device, u"Device"},             {SystemFolder::DocumentAll, u"DocumentAll"},
        {SystemFolder::Document, u"Document"},         {SystemFolder::FavoritesAll, u"FavoritesAll"},
        {SystemFolder::Favorites, u"Favorites"},       {SystemFolder::Fonts, u"Fonts"},
        {SystemFolder::Inetpub, u"Inetpub"},           {SystemFolder::Media, u"Media"},
        {SystemFolder::SMProgramsAll, u"SMProgramsAll"}, {SystemFolder::SMPrograms, u"SMPrograms"},
        {SystemFolder::StartMenuAll, u"StartMenuAll"}, {SystemFolder::StartMenu, u"StartMenu"},
        {SystemFolder::StartupAll, u"StartupAll"},     {SystemFolder::Startup, u"Startup"},
        {SystemFolder::System, u"System"},             {SystemFolder::Windows, u"Windows"},
    };
    if (which == SystemFolder::BootDrive) return u"C:";
    return Streng(u"X:\\") + names.at(which);
  }
  Streng programFiles(int mode) const override { return u"PF" + vk::AsciiToStreng(std::to_string(mode)); }
  Streng commonFiles(int mode) const override { return u"CF" + vk::AsciiToStreng(std::to_string(mode)); }
  bool process64() const override { return false; }
  Streng installerPath() const override { return u"E:\\Media\\setup.exe"; }
  Streng tempFolder() const override { return u"C:\\Temp"; }
  const setup::OsInfo& osInfo() const override { return os; }
  std::optional<Streng> environment(std::u16string_view name) const override {
    if (name == u"PATH") return Streng(u"C:\\bin");
    return std::nullopt;
  }

  setup::MacroContext ctx;
  setup::OsInfo os;
};

constexpr char kVariables[] =
    "SET Automatic=0\r\n"
    "SET \"InstallDir=D:\\Apps\\Demo\"\r\n"
    "SET \"Bits=64\"\r\n"
    "SET \"UninstallDir=D:\\Apps\\Demo\\Un\"\r\n"
    "SET \"SharedDir=C:\\Shared\"\r\n"
    "SET \"InstallerFilepath=E:\\Media\\setup.exe\"\r\n"
    "SET \"InstallerDir=E:\\Media\"\r\n"
    "SET \"InstallerFilename=setup.exe\"\r\n"
    "SET \"InstallerDrive=E:\"\r\n"
    "SET \"SystemDir=X:\\System\"\r\n"
    "SET \"DeviceDir=X:\\Device\"\r\n"
    "SET \"MediaDir=X:\\Media\"\r\n"
    "SET \"FavoritesDir=X:\\Favorites\"\r\n"
    "SET \"FavoritesAllDir=X:\\FavoritesAll\"\r\n"
    "SET \"FontDir=X:\\Fonts\"\r\n"
    "SET \"DesktopDir=X:\\Desktop\"\r\n"
    "SET \"DesktopAllDir=X:\\DesktopAll\"\r\n"
    "SET \"DesktopShortcuts=X:\\Desktop\"\r\n"
    "SET \"DocumentDir=X:\\Document\"\r\n"
    "SET \"DocumentAllDir=X:\\DocumentAll\"\r\n"
    "SET \"ProductName=Demo\"\r\n"
    "SET \"CompanyName=Acme\"\r\n"
    "SET \"ProgramsDir=PF3\"\r\n"
    "SET \"ProgramsDir32=PF3\"\r\n"
    "SET \"ProgramsDir64=PF2\"\r\n"
    "SET \"StartMenuAllDir=X:\\StartMenuAll\"\r\n"
    "SET \"StartMenuChosen=X:\\SMPrograms\\Demo Menu\"\r\n"
    "SET \"StartMenuDir=X:\\StartMenu\"\r\n"
    "SET \"SMProgramsDir=X:\\SMPrograms\"\r\n"
    "SET \"SMProgramsAllDir=X:\\SMProgramsAll\"\r\n"
    "SET \"StartupDir=X:\\Startup\"\r\n"
    "SET \"StartupAllDir=X:\\StartupAll\"\r\n"
    "SET \"CommonDir=CF3\"\r\n"
    "SET \"CommonDir32=CF3\"\r\n"
    "SET \"CommonDir64=CF2\"\r\n"
    "SET \"Inetpub=X:\\Inetpub\"\r\n"
    "SET \"AppDataDir=X:\\AppData\"\r\n"
    "SET \"AppDataAllDir=X:\\AppDataAll\"\r\n"
    "SET InstallDrive=D:\r\n"
    "SET BootDrive=C:\r\n"
    "SET Version=2.0\r\n"
    "SET OldVersion=1.5.3\r\n"
    "SET Portable=0\r\n"
    "SET Existing=2\r\n"
    "SET OldVersionMajor=1\r\n"
    "SET OldVersionMinor=5\r\n"
    "SET OS=48\r\n"
    "SET OSMajor=10\r\n"
    "SET OSMinor=0\r\n"
    "SET OSName=Windows 10\r\n"
    "SET OSDescription=Windows 10 Pro (build 19045), 64-bit\r\n"
    "SET OSServer=0\r\n";

TEST(BatchText, WholeFileForAContext) {
  FakeValues v;
  const setup::BatchFile file = setup::BatchFileText("echo %InstallDir%\r\ncopy a b", false, v);
  EXPECT_FALSE(file.utf8);
  EXPECT_EQ(file.bytes, std::string("@chcp 1252 >nul\r\n@echo off\r\n") + kVariables +
                            "echo %InstallDir%\r\ncopy a b\r\n");
}

TEST(BatchText, FlagsAndTheirDecimalValues) {
  FakeValues v;
  v.ctx.automaticMode = true;
  v.ctx.portable = true;
  v.ctx.oldVersion.clear();
  const std::string lines = Show(setup::BatchVariableLines(v));
  for (const char* line : {"SET Automatic=1\r\n", "SET Portable=1\r\n", "SET Existing=0\r\n",
                           "SET OldVersion=\r\n", "SET OldVersionMajor=\r\n", "SET OldVersionMinor=\r\n"})
    EXPECT_NE(lines.find(line), std::string::npos) << line;
}

// Each variable is its macro's own value: nothing inside it is expanded, and a "%" in it is
// doubled so that the interpreter reads the value as it is.
TEST(BatchText, ValuesAreNotExpandedFurther) {
  FakeValues v;
  v.ctx.installDir = u"D:\\%PATH%\\x";
  v.ctx.productName = u"50% %Temp%";
  const std::string lines = Show(setup::BatchVariableLines(v));
  EXPECT_NE(lines.find("SET \"InstallDir=D:\\%%PATH%%\\x\"\r\n"), std::string::npos) << lines;
  EXPECT_NE(lines.find("SET \"ProductName=50%% %%Temp%%\"\r\n"), std::string::npos) << lines;
  EXPECT_NE(lines.find("SET InstallDrive=D:\r\n"), std::string::npos);
}

TEST(BatchText, PauseLines) {
  struct Case {
    const char16_t* line;
    bool pause;
  } cases[] = {
      {u"pause", true},        {u"PAUSE", true},          {u"  @ PAUSE  ", true}, {u"\t@\tPause\t", true},
      {u"@pause", true},       {u"pause >nul", false},    {u"@@pause", false},    {u"pauses", false},
      {u"echo pause", false},  {u"", false},              {u"@", false},          {u"pau se", false},
  };
  for (const Case& c : cases) EXPECT_EQ(setup::IsPauseLine(c.line), c.pause) << Show(c.line);
}

TEST(BatchText, PauseLinesDroppedOnlyWhenNobodyCanAnswer) {
  const char script[] = "echo a\r\npause\r\n  @ PAUSE  \npause >nul\r\necho b\rPause";
  const std::string kept = "echo a\r\npause\r\n  @ PAUSE  \r\npause >nul\r\necho b\r\nPause\r\n";
  const std::string dropped = "echo a\r\npause >nul\r\necho b\r\n";
  const auto scriptPart = [](const setup::BatchFile& f) {
    return f.bytes.substr(f.bytes.find("SET OSServer=0\r\n") + 16);
  };
  FakeValues v;
  EXPECT_EQ(scriptPart(setup::BatchFileText(script, false, v)), kept);
  EXPECT_EQ(scriptPart(setup::BatchFileText(script, true, v)), dropped);
  v.ctx.automaticMode = true;
  EXPECT_EQ(scriptPart(setup::BatchFileText(script, false, v)), dropped);
}

TEST(BatchText, EncodingByTextAndSystem) {
  struct Case {
    const char* name;
    uint32_t major, minor;
    bool nt;
    const char16_t* productName;
    bool utf8;
    const char* line;
  } cases[] = {
      {"umlaut on 7", 6, 1, true, u"M\u00fcller", true, "SET \"ProductName=M\xC3\xBCller\"\r\n"},
      {"umlaut on 10", 10, 0, true, u"M\u00fcller", true, "SET \"ProductName=M\xC3\xBCller\"\r\n"},
      {"umlaut on Vista", 6, 0, true, u"M\u00fcller", false, "SET \"ProductName=M\xFCller\"\r\n"},
      {"umlaut on 9x", 6, 1, false, u"M\u00fcller", false, "SET \"ProductName=M\xFCller\"\r\n"},
      {"plain on 10", 10, 0, true, u"Muller", false, "SET \"ProductName=Muller\"\r\n"},
      {"beyond 1252 on Vista", 6, 0, true, u"\u03a9mega", false, "SET \"ProductName=?mega\"\r\n"},
  };
  for (const Case& c : cases) {
    FakeValues v;
    v.os.major = c.major, v.os.minor = c.minor, v.os.ntPlatform = c.nt;
    v.ctx.productName = c.productName;
    const setup::BatchFile file = setup::BatchFileText("echo x", false, v);
    EXPECT_EQ(file.utf8, c.utf8) << c.name;
    EXPECT_EQ(file.bytes.rfind(c.utf8 ? "@chcp 65001 >nul\r\n@echo off\r\n" : "@chcp 1252 >nul\r\n@echo off\r\n", 0), 0u)
        << c.name;
    EXPECT_NE(file.bytes.find(c.line), std::string::npos) << c.name;
  }
  // A script character above 127 (Windows-1252 "é") counts as well.
  FakeValues v;
  const setup::BatchFile file = setup::BatchFileText("echo caf\xE9", false, v);
  EXPECT_TRUE(file.utf8);
  EXPECT_NE(file.bytes.find("echo caf\xC3\xA9\r\n"), std::string::npos);
}

TEST(BatchText, LineBreaksBecomeCrLf) {
  struct Case {
    const char16_t* in;
    const char16_t* out;
  } cases[] = {
      {u"a\nb", u"a\r\nb\r\n"},       {u"a\rb", u"a\r\nb\r\n"},         {u"a\n\rb", u"a\r\nb\r\n"},
      {u"a\r\nb\r\n", u"a\r\nb\r\n"}, {u"a\r\r\nb", u"a\r\n\r\nb\r\n"}, {u"a\n\nb\n", u"a\r\n\r\nb\r\n"},
      {u"a", u"a\r\n"},               {u"\n", u"\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(setup::NormalisedLineBreaks(c.in)), Show(c.out)) << Show(c.in);
}

TEST(BatchText, InterpreterArgumentQuotesOnlyWhenNeeded) {
  struct Case {
    const char16_t *batch, *capture, *out;
  } cases[] = {
      {u"C:\\PROGRA~1\\Demo\\SETUPBAT.BAT", u"", u"C:\\PROGRA~1\\Demo\\SETUPBAT.BAT"},
      {u"C:\\D\\SETUPBAT.BAT", u"C:\\D\\BS_BAT~1.LOG", u"C:\\D\\SETUPBAT.BAT > C:\\D\\BS_BAT~1.LOG"},
      {u"C:\\My Dir\\SETUPBAT.BAT", u"", u"\"\"C:\\My Dir\\SETUPBAT.BAT\"\""},
      {u"C:\\My Dir\\SETUPBAT.BAT", u"C:\\My Dir\\bs_batch.log",
       u"\"\"C:\\My Dir\\SETUPBAT.BAT\" > \"C:\\My Dir\\bs_batch.log\"\""},
      {u"C:\\R&D\\SETUPBAT.BAT", u"", u"\"\"C:\\R&D\\SETUPBAT.BAT\"\""},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(setup::InterpreterArgument(c.batch, c.capture)), Show(c.out));
}

}  // namespace
