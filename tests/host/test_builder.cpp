#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "builder/build.h"
#include "builder/catalogue.h"
#include "builder/inspect.h"
#include "builder/project.h"
#include "pe_fixture.h"
#include "setup/core/container.h"
#include "setup/core/settings.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteText(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

// A folder with an engine, a few payload files and a project file.
class Workspace {
public:
  Workspace() {
    dir_ = fs::temp_directory_path() / ("brimstead-builder-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    const auto pe = fixture::MinimalPe(0x10B, 6);
    std::ofstream(engine(), std::ios::binary).write(reinterpret_cast<const char*>(pe.data()), std::streamsize(pe.size()));
    WriteText(dir_ / "files/readme.txt", "read me\r\n");
    WriteText(dir_ / "files/a.dll", std::string(3000, 'a'));
    WriteText(dir_ / "files/b.dll", std::string(70000, 'b') + "tail");
  }
  ~Workspace() { fs::remove_all(dir_); }

  fs::path engine() const { return dir_ / "engine.exe"; }
  fs::path project(const std::string& toml) const {
    WriteText(dir_ / "project.toml", toml);
    return dir_ / "project.toml";
  }
  const fs::path& dir() const { return dir_; }

private:
  static inline int counter_ = 0;
  fs::path dir_;
};

const char* kMinimal = "[product]\nname = \"Tiny\"\n";

TEST(BuilderProject, ProblemsNameTheFileTheLineAndTheKey) {
  struct Case {
    const char* toml;
    const char* expected;  // regular expression over the diagnostics
  };
  const Case cases[] = {
      {"[product]\nname = \"X\"\ncolour = 1\n", "project.toml:3: product.colour: unknown key"},
      {"[product]\nname = \"X\"\n[mystery]\n", "project.toml:3: mystery: unknown key"},
      {"[options]\nverbose_log = true\n", "project.toml:1: product: missing section \\[product\\]"},
      {"[product]\nname = \"X\"\n[wizard]\nstatus_hold_ms = 10000\n",
       "project.toml:4: wizard.status_hold_ms: must be between 0 and 9999, not 10000"},
      {"[product]\nname = \"X\"\n[look]\nbitmap_size = 101\n", "project.toml:4: look.bitmap_size: must be between 0 and 100"},
      {"[product]\nname = \"X\"\nbitness = \"16\"\n", "project.toml:3: product.bitness: expected one of \"any\", \"32\", \"64\""},
      {"[product]\nname = \"X\"\n[[files]]\nsource = \"files/missing.txt\"\n",
       "project.toml:4: files\\[0\\].source: no such file .*missing.txt"},
      {"[product]\nname = \"X\"\n[[files]]\nsource = \"files/*.exe\"\n", "files\\[0\\].source: \"files/\\*.exe\" matches no file"},
      {"[product]\nname = \"X\"\n[[files]]\nsource = \"files/readme.txt\"\nkind = \"progam\"\n",
       "project.toml:5: files\\[0\\].kind: unknown kind \\(expected one of program, shared"},
      {"[product]\nname = \"X\"\n[[files]]\nsource = \"files/readme.txt\"\nshortcut_nmae = \"R\"\n",
       "project.toml:5: files\\[0\\].shortcut_nmae: unknown key"},
      {"[product]\nname = \"X\"\n[batches]\npre_install = \"echo \u4e2d\"\n",
       "batches.pre_install: holds characters that Windows-1252 cannot represent"},
      {"[product]\nname = \"X\"\n[archive]\nkey = \"12345\"\n", "archive.key: expected 16 hexadecimal digits"},
      {"[product]\nname = \"X\"\n[languages]\nuse = [\"Klingon\"]\n", "languages.use: \"Klingon\" is neither a built-in language"},
      {"[product]\nname = \"X\"\n[texts.English]\nhello = \"x\"\n", "texts.English.hello: text ids are numbers"},
      {"[product]\nname = \"X\"\n[wizard]\nlicense = [\"a\", \"a\", \"a\", \"a\", \"a\", \"a\", \"a\", \"a\", \"a\", \"a\", \"a\", "
       "\"a\", \"a\", \"a\", \"a\", \"a\", \"a\", \"a\", \"a\", \"a\", \"a\"]\n",
       "wizard.license: cannot read file"},
      {"[product\nname = \"X\"\n", "project.toml:1: "},  // TOML syntax
  };
  Workspace ws;
  for (const auto& c : cases) {
    builder::Project project;
    builder::Diagnostics d;
    EXPECT_FALSE(builder::LoadProject(ws.project(c.toml), project, d)) << c.toml;
    EXPECT_TRUE(std::regex_search(d.text(), std::regex(c.expected))) << "expected /" << c.expected << "/ in:\n" << d.text();
  }
}

TEST(BuilderProject, ListsAreBoundedLikeTheEngineBoundsThem) {
  Workspace ws;
  std::string toml = kMinimal;
  for (int i = 0; i < 1001; ++i) toml += "[[deletions]]\nfile = \"f" + std::to_string(i) + "\"\n";
  builder::Project project;
  builder::Diagnostics d;
  EXPECT_FALSE(builder::LoadProject(ws.project(toml), project, d));
  EXPECT_NE(d.text().find("deletions: at most 1000 entries, not 1001"), std::string::npos) << d.text();
}

// Reads the settings back out of a built installer the way the engine does.
int ReadBack(const fs::path& installer, setup::InstallSettings& settings, setup::SetupHeader& header) {
  std::ifstream in(installer, std::ios::binary);
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  setup::MemorySource source(file);
  setup::SectionLocation loc;
  if (int e = setup::FindSetupSection(source, loc)) return e;
  if (int e = setup::ParseHeader(file.data() + loc.rawPointer, loc.rawSize, header)) return e;
  vk::Blowfish cipher;
  setup::KeyCipher(header, cipher);
  std::vector<uint8_t> plain;
  if (int e = setup::UnpackSettings(header, cipher, file.data() + loc.rawPointer + header.headerLength,
                                    size_t(header.blockSize), plain))
    return e;
  setup::SettingsStream stream(std::move(plain));
  setup::SettingsHeader sh{header.blockChecksum, header.productFlags2};
  setup::RunModes modes;
  setup::SettingsHooks hooks;
  hooks.buttonImagesSupported = [] { return true; };
  return setup::ReadSettings(stream, sh, modes, hooks, settings);
}

const char* kFull = R"(
[product]
name = "Sample Ä"
version = "2.5.1"
publisher = "Brimstead Samples"
install_folder = "Samples\\Ä"
bitness = "64"
registry_key = "Software\\Samples"
shortcuts_for = "all-users"
automatic_mode = "on"
uninstaller_time = 2026-01-31T12:34:56Z
[options]
uninstaller = true
verbose_log = true
restore_point = true
product_flags = "0x8000000000000000"
[wizard]
integrity = "checksum"
license_style = 2
status_hold_ms = 1500
license = [{ text = "Licence one" }, "files/readme.txt"]
[look]
top_color = "#102030"
bottom_color = 0x405060
bitmap_size = 100
copyright_position = 2
copyright_text = "(c) Samples"
[batches]
pre_install = "echo before"
[master]
name = "Master"
minimum_version = "1.0"
[system]
minimum_windows = [6, 1, 7601]
[notify]
failure = "https://example.invalid/failed"
[languages]
use = ["English", "Deutsch"]
[texts.Deutsch]
114 = "Beispiel"
[[files]]
source = "files/*.dll"
kind = "versioned"
version = "1.2.3.4"
overwrite = "unless-newer"
attributes = ["readonly", "archive"]
[[files]]
source = "files/readme.txt"
kind = "program"
desktop_shortcut = true
shortcut_name = "Readme"
shortcut_icon = "%InstallDir%\\app.ico"
time = 2020-02-29T23:59:58Z
[[deletions]]
file = "old.txt"
condition = 1
[[uninstall_values]]
name = "HelpLink"
type = "string"
data = "https://example.invalid"
[[close_programs]]
window_class = "SampleWnd"
name = "Sample"
action = 2
)";

TEST(BuilderBuild, SettingsAndFilesSurviveTheTripIntoTheInstaller) {
  Workspace ws;
  for (const char* archive : {"", "[archive]\nmode = \"file\"\ncipher = true\nchunk_size = 4096\n"}) {
    builder::Project project;
    builder::Diagnostics d;
    ASSERT_TRUE(builder::LoadProject(ws.project(std::string(kFull) + archive), project, d)) << d.text();
    ASSERT_EQ(project.files.size(), 3u);
    EXPECT_EQ(project.files[0].source.filename(), "a.dll") << "glob matches come in name order";
    const fs::path out = ws.dir() / "setup.exe";
    builder::BuildReport report;
    std::string error;
    ASSERT_TRUE(builder::BuildInstaller(project, ws.engine(), out, nullptr, report, error)) << error;

    setup::InstallSettings back;
    setup::SetupHeader header;
    ASSERT_EQ(ReadBack(out, back, header), 0);
    setup::InstallSettings expected = project.settings;
    expected.ProductFlags |= uint64_t(1) << 5;  // compressed
    expected.ArchiveFileMode = project.archive.fileMode;
    EXPECT_TRUE(back == expected) << "settings differ after the round trip";
    EXPECT_EQ(back.ProductName, u"Sample \u00C4");
    EXPECT_EQ(back.Bitness, 1);
    EXPECT_EQ(back.TopColor, 0x302010u) << "colours are stored as Windows colour values";
    EXPECT_TRUE(back.hasFlag(16)) << "a [master] section asks for the master product";
    EXPECT_TRUE(back.hasFlag(63));
    EXPECT_EQ(back.LicenseTexts.size(), 2u);
    EXPECT_EQ(back.Languages.raw(114, 1), u"Beispiel");
    EXPECT_EQ(back.Languages.raw(114, 0), u"%ProductName% Setup");
    EXPECT_EQ(header.productFlags2 & 0x2, 0x2u);
    EXPECT_EQ(header.enciphered(), project.archive.cipher);

    builder::Value report2;
    EXPECT_EQ(builder::InspectInstaller(out, report2, error), 0) << error;
    const fs::path dir = ws.dir() / "extracted";
    std::ostringstream log;
    EXPECT_EQ(builder::ExtractInstaller(out, dir, log, error), 0) << error;
    for (const char* name : {"a.dll", "b.dll", "readme.txt"})
      EXPECT_EQ(ReadText(dir / name), ReadText(ws.dir() / "files" / name)) << name << archive;
    fs::remove_all(dir);
  }
}

TEST(BuilderBuild, TheSameInputsGiveTheSameInstaller) {
  Workspace ws;
  auto build = [&](const std::string& toml) {
    builder::Project project;
    builder::Diagnostics d;
    EXPECT_TRUE(builder::LoadProject(ws.project(toml), project, d)) << d.text();
    builder::BuildReport report;
    std::string error;
    EXPECT_TRUE(builder::BuildInstaller(project, ws.engine(), ws.dir() / "out.exe", nullptr, report, error)) << error;
    return ReadText(ws.dir() / "out.exe");
  };
  const std::string toml = std::string(kFull) + "[archive]\ncipher = true\n";
  const std::string first = build(toml);
  EXPECT_EQ(build(toml), first);
  EXPECT_NE(build(toml + "key = \"0011223344556677\"\n"), first) << "another key, another installer";
}

TEST(BuilderBuild, DamageIsReportedByInspectAndExtract) {
  Workspace ws;
  builder::Project project;
  builder::Diagnostics d;
  ASSERT_TRUE(builder::LoadProject(ws.project(std::string(kFull)), project, d)) << d.text();
  const fs::path out = ws.dir() / "setup.exe";
  builder::BuildReport report;
  std::string error;
  ASSERT_TRUE(builder::BuildInstaller(project, ws.engine(), out, nullptr, report, error)) << error;
  std::string bytes = ReadText(out);
  const std::vector<uint8_t> file(bytes.begin(), bytes.end());
  setup::MemorySource source(file);
  setup::SectionLocation loc;
  setup::SetupHeader header;
  ASSERT_EQ(setup::FindSetupSection(source, loc), 0);
  ASSERT_EQ(setup::ParseHeader(file.data() + loc.rawPointer, loc.rawSize, header), 0);
  bytes[loc.rawPointer + header.blockEnd + size_t(header.archiveSize) - 3] ^= 0x55;  // inside the archive
  WriteText(out, bytes);
  builder::Value v;
  EXPECT_EQ(builder::InspectInstaller(out, v, error), setup::kArchiveChecksum);
  std::ostringstream log;
  EXPECT_EQ(builder::ExtractInstaller(out, ws.dir() / "x", log, error), setup::kArchiveChecksum);
  WriteText(out, "not an installer");
  EXPECT_EQ(builder::InspectInstaller(out, v, error), setup::kBadPeOffset);
}

TEST(BuilderCatalogue, BuiltInLanguagesCoverEveryTextWithTheSamePlaceholders) {
  const auto& all = builder::BuiltInCatalogues();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].name, "English");
  EXPECT_EQ(all[1].name, "Deutsch");
  const std::regex placeholder("%[-+ 0#]*[0-9]*(\\.[0-9]+)?(l|ll|h)?[dusxXc]");
  for (int id = 0; id <= builder::kHighestTextId; ++id) {
    std::vector<std::string> kinds[2];
    for (int l = 0; l < 2; ++l) {
      auto it = all[size_t(l)].texts.find(id);
      ASSERT_NE(it, all[size_t(l)].texts.end()) << all[size_t(l)].name << " lacks text " << id;
      // Macros are expanded before a text is used as a format.
      const std::string text = std::regex_replace(it->second, std::regex("%[A-Za-z][A-Za-z0-9]*%"), "");
      for (std::sregex_iterator m(text.begin(), text.end(), placeholder), end; m != end; ++m)
        kinds[l].push_back(m->str());
    }
    EXPECT_EQ(kinds[0], kinds[1]) << "text " << id;
  }
  EXPECT_EQ(all[0].texts.at(21), "Error");
}

}  // namespace
