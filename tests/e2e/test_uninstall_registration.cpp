// The installation's entry in the list of installed programs and the uninstaller files beside
// it, as a real installer leaves them under Wine.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace {

namespace fs = std::filesystem;
using e2e::DriveC;
using e2e::ReadFile;

constexpr char kSessionManager[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";

void WriteFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

void Put16(std::string& s, unsigned v) { s += char(v & 0xFF), s += char((v >> 8) & 0xFF); }
void Put32(std::string& s, unsigned v) { Put16(s, v & 0xFFFF), Put16(s, v >> 16); }

// A one-image 16x16 icon of one colour.
std::string IconFile(uint8_t shade) {
  std::string image;
  Put32(image, 40), Put32(image, 16), Put32(image, 32), Put16(image, 1), Put16(image, 32);
  for (int i = 0; i < 6; ++i) Put32(image, 0);
  for (int i = 0; i < 256; ++i) image += std::string{char(shade), char(shade), char(0x20), char(0xFF)};
  image += std::string(64, '\0');
  std::string file;
  Put16(file, 0), Put16(file, 1), Put16(file, 1);
  file += std::string{16, 16, 0, 0};
  Put16(file, 1), Put16(file, 32), Put32(file, unsigned(image.size())), Put32(file, 22);
  return file + image;
}

// The names of a PE file's sections; empty when it is no PE file.
std::vector<std::string> SectionNames(const std::string& pe) {
  std::vector<std::string> names;
  auto u16 = [&](size_t at) { return at + 2 <= pe.size() ? unsigned(uint8_t(pe[at])) | unsigned(uint8_t(pe[at + 1])) << 8 : 0u; };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  const size_t header = u32(0x3C);
  if (pe.size() < header + 24 || pe.compare(header, 4, std::string("PE\0\0", 4)) != 0) return names;
  const unsigned count = u16(header + 6);
  size_t table = header + 24 + u16(header + 20);
  for (unsigned i = 0; i < count && table + 40 <= pe.size(); ++i, table += 40)
    names.push_back(std::string(pe.c_str() + table, strnlen(pe.c_str() + table, 8)));
  return names;
}

std::string Reg(const std::vector<std::string>& args) { return e2e::Reg(args).out; }
std::string RegQuery(const std::string& key, const std::string& value) { return Reg({"query", key, "/v", value}); }

// "    Name    REG_TYPE    data" of one value, or empty when the value is not there.
std::string ValueLine(const std::string& key, const std::string& value) {
  const std::string out = RegQuery(key, value);
  std::smatch m;
  if (std::regex_search(out, m, std::regex("\n\\s+" + value + "\\s+(REG_\\w+)\\s+([^\r\n]*)")))
    return std::string(m[1]) + " " + std::string(m[2]);
  return {};
}

class Project {
public:
  Project() {
    char name[] = "/tmp/brimstead-ureg-XXXXXX";
    dir_ = mkdtemp(name);
  }
  ~Project() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  const fs::path& dir() const { return dir_; }
  fs::path build(const std::string& toml) {
    WriteFile(dir_ / "project.toml", toml);
    const fs::path exe = dir_ / "setup.exe";
    const std::string command = e2e::Builder() + " build " + (dir_ / "project.toml").string() + " -o " + exe.string() +
                                " --engine " + e2e::TestEngine() + " -q";
    if (std::system(command.c_str()) != 0) {
      ADD_FAILURE() << command;
      return {};
    }
    return exe;
  }

private:
  fs::path dir_;
};

struct RunResult {
  std::optional<int> exitCode;
  std::string output, restartFile;
};

RunResult Install(const Project& p, const fs::path& exe, const std::string& folder) {
  const fs::path restart = p.dir() / "restart.txt";
  fs::remove(restart);
  setenv("BRIMSTEAD_TEST_RESTART_FILE", e2e::WindowsPath(restart.string()).c_str(), 1);
  e2e::Launched run(e2e::ProgramCommandLine(exe.string(), "/silent /d:\"" + folder + "\""), false, 60000);
  RunResult r;
  r.exitCode = run.wait(55000);
  r.output = run.output();
  r.restartFile = ReadFile(restart);
  return r;
}

TEST(UninstallRegistration, TheEntryHoldsTheProductsValuesAndTheUninstallerStandsBesideItsData) {
  Project p;
  WriteFile(p.dir() / "app.txt", "the program\r\n");
  WriteFile(p.dir() / "product.ico", IconFile(0x80));
  WriteFile(p.dir() / "uninstall.ico", IconFile(0x30));
  const fs::path exe = p.build(
      "[product]\nname = \"E2E Registration\"\nversion = \"3.10.2\"\npublisher = \"Brimstead Tests\"\n"
      "uninstall_folder = \"uninst\"\nuninstaller_file_name = \"remove.exe\"\nicon = \"product.ico\"\n"
      "uninstaller_icon = \"uninstall.ico\"\n"
      "[options]\nuninstaller = true\nuninstaller_without_data = true\ncopy_readme_texts = true\n"
      "verbose_log = true\nalways_write_log = true\n"
      "[wizard]\nreadme = [{ text = \"plain \u00C4\" }, { text = \"{\\\\rtf1 rich}\" }]\n"
      "[[files]]\nsource = \"app.txt\"\n"
      "[[uninstall_values]]\nname = \"Comments\"\ndata = \"%ProductName% notes\"\n"
      "[[uninstall_values]]\nname = \"NoModify\"\ntype = \"dword\"\ndata = \"1\"\n"
      "[[uninstall_values]]\nname = \"NoRepair\"\ntype = \"dword\"\ndata = \"0\"\n"
      "[[uninstall_values]]\nname = \"\\\\HKCU\\\\Software\\\\Brimstead E2E\\\\Registration\\\\Folder\"\n"
      "data = \"%InstallDir%\"\n"
      "[[uninstall_values]]\nname = \"\\\\HKLM\\\\Software\\\\Brimstead E2E View\\\\Folder\"\n"
      "data = \"%InstallDir%\"\n");
  ASSERT_FALSE(exe.empty());
  const std::string key = std::string(e2e::kUninstallList) + "E2E Registration";
  const std::string outside = "HKCU\\Software\\Brimstead E2E";
  // A key of the machine's software: a product that is not 64-bit writes it in the 32-bit view.
  const std::string machine32 = "HKLM\\Software\\Wow6432Node\\Brimstead E2E View";
  const std::string machine64 = "HKLM\\Software\\Brimstead E2E View";
  for (const std::string& k : {key, outside, machine32, machine64}) Reg({"delete", k, "/f"});
  const fs::path target = DriveC() / "e2e-ureg";
  fs::remove_all(target);

  const RunResult run = Install(p, exe, "C:\\e2e-ureg");
  ASSERT_EQ(1, run.exitCode) << run.output;

  struct Row {
    const char* value;
    std::string line;  // type and data as reg prints them; empty: not there
  };
  const Row rows[] = {
      {"UninstallString", "REG_SZ \"C:\\e2e-ureg\\uninst\\remove.exe\" /u:\"E2E Registration\""},
      {"QuietUninstallString", "REG_SZ \"C:\\e2e-ureg\\uninst\\remove.exe\" /a /u:\"E2E Registration\""},
      {"DisplayName", "REG_SZ E2E Registration"},
      {"InstallSource", "REG_SZ " + e2e::WindowsPath(exe.string())},
      {"Publisher", "REG_SZ Brimstead Tests"},
      {"DisplayVersion", "REG_SZ 3.10.2"},
      {"DisplayIcon", "REG_SZ C:\\e2e-ureg\\uninst\\product.ico"},
      {"VersionMajor", "REG_DWORD 0x3"},
      {"VersionMinor", "REG_DWORD 0xa"},
      {"UninstallSubdir", "REG_SZ uninst"},
      {"EstimatedSize", ""},  // far below a kilobyte
      {"ShortcutMode", ""},
      {"Comments", "REG_SZ E2E Registration notes"},
      {"NoModify", "REG_DWORD 0x1"},
      {"NoRepair", ""},
      {"InstallLocation", "REG_SZ C:\\e2e-ureg"},
  };
  for (const Row& r : rows) EXPECT_EQ(r.line, ValueLine(key, r.value)) << r.value;
  EXPECT_TRUE(std::regex_match(ValueLine(key, "InstallDate"), std::regex("REG_SZ 20[0-9]{6}"))) << ValueLine(key, "InstallDate");
  // Wine's reg prints no QWORD data; its export does.
  const fs::path exported = p.dir() / "entry.reg";
  Reg({"export", key, e2e::WindowsPath(exported.string()), "/y"});
  std::string entry;
  for (char c : ReadFile(exported))
    if (c != '\0') entry += c;
  std::smatch session;
  ASSERT_TRUE(std::regex_search(entry, session, std::regex("\"Session\"=hex\\(b\\):((?:[0-9a-f]{2},){7}[0-9a-f]{2})")))
      << entry;
  EXPECT_NE("00,00,00,00,00,00,00,00", session[1].str()) << "a run number";
  // Bit 2 (uninstaller), 20 (verbose), 6 (log), 46 (readme copies); bit 5 of the second word.
  const std::string flags = ValueLine(key, "ProductFlags");
  ASSERT_EQ(0u, flags.rfind("REG_SZ ", 0)) << flags;
  const unsigned long long word = std::stoull(flags.substr(7));
  EXPECT_EQ(0x400000100044ull, word & 0x400000100044ull) << flags;
  const std::string flags2 = ValueLine(key, "ProductFlags2");
  ASSERT_EQ(0u, flags2.rfind("REG_SZ ", 0)) << flags2;
  EXPECT_EQ(0x20ul, std::stoul(flags2.substr(7)) & 0x20) << flags2;
  EXPECT_EQ("REG_SZ C:\\e2e-ureg", ValueLine(outside + "\\Registration", "Folder"));
  EXPECT_EQ("REG_SZ C:\\e2e-ureg", ValueLine(machine32, "Folder"));
  EXPECT_EQ("", ValueLine(machine64, "Folder"));

  // The uninstaller is the engine without the installation data.
  const std::string uninstaller = ReadFile(target / "uninst" / "remove.exe");
  const std::vector<std::string> sections = SectionNames(uninstaller);
  ASSERT_FALSE(sections.empty());
  EXPECT_EQ(sections.end(), std::find(sections.begin(), sections.end(), ".setup"));
  EXPECT_NE(sections.end(), std::find(sections.begin(), sections.end(), ".rsrc")) << "the icon went in";
  EXPECT_NE(std::string::npos, uninstaller.find(IconFile(0x30).substr(22))) << "the uninstaller icon's image";
  EXPECT_EQ(IconFile(0x30), ReadFile(target / "uninst" / "uninstall.ico"));
  EXPECT_EQ(IconFile(0x80), ReadFile(target / "uninst" / "product.ico"));
  EXPECT_EQ(std::string("\xFF\xFEp\0l\0a\0i\0n\0 \0\xC4\0", 16), ReadFile(target / "readme1.txt"));
  EXPECT_EQ("{\\rtf1 rich}", ReadFile(target / "readme2.rtf"));
  EXPECT_FALSE(fs::exists(target / "readme2.txt"));

  const std::string log = ReadFile(target / "uninst" / "Install.log");
  EXPECT_NE(std::string::npos, log.find("Uninstaller >>> C:\\e2e-ureg\\uninst\\remove.exe\r\n")) << log;
  EXPECT_NE(std::string::npos, log.find("README >>> C:\\e2e-ureg\\readme1.txt\r\n")) << log;
  EXPECT_NE(std::string::npos, log.find("README >>> C:\\e2e-ureg\\readme2.rtf\r\n")) << log;
  EXPECT_EQ(std::string::npos, log.find("FAILURE SUMMARY")) << log;
  const std::string data = ReadFile(target / "uninst" / "Uninstall.DAT");
  for (const char* file : {"C:\\e2e-ureg\\uninst\\uninstall.ico\r\n", "C:\\e2e-ureg\\uninst\\product.ico\r\n",
                           "C:\\e2e-ureg\\readme1.txt\r\n", "C:\\e2e-ureg\\readme2.rtf\r\n"})
    EXPECT_NE(std::string::npos, data.find(file)) << file << "\n" << data;

  for (const std::string& k : {key, outside, machine32, machine64}) Reg({"delete", k, "/f"});
  fs::remove_all(target);
}

// The language's title ("%ProductName% Setup") is expanded once: a product name that itself looks
// like a macro stays as it is.
TEST(UninstallRegistration, TheTitleIsExpandedOnce) {
  Project p;
  WriteFile(p.dir() / "app.txt", "the program\r\n");
  const fs::path exe = p.build("[product]\nname = \"E2E 50%Bits%\"\n[options]\nuninstaller = true\n"
                               "[[files]]\nsource = \"app.txt\"\n");
  ASSERT_FALSE(exe.empty());
  const std::string key = std::string(e2e::kUninstallList) + "E2E 50%Bits%";
  Reg({"delete", key, "/f"});
  fs::remove_all(DriveC() / "e2e-title");

  const RunResult run = Install(p, exe, "C:\\e2e-title");
  ASSERT_EQ(1, run.exitCode) << run.output;
  EXPECT_EQ("REG_SZ E2E 50%Bits% Setup", ValueLine(key, "DisplayTitle"));

  Reg({"delete", key, "/f"});
  fs::remove_all(DriveC() / "e2e-title");
}

// Holds a file open without sharing (the holdfile tool) until it ends by itself.
class HeldFile {
public:
  HeldFile(const std::string& windowsPath, int seconds) {
    const std::string command = "'" + e2e::WineRun() + "' '" + e2e::SupportDir() + "/holdfile.exe' '" + windowsPath +
                                "' " + std::to_string(seconds) + " 2>&1";
    pipe_ = popen(command.c_str(), "r");
    char line[256] = {};
    held_ = pipe_ && fgets(line, sizeof line, pipe_) && std::string(line).rfind("held", 0) == 0;
  }
  ~HeldFile() {
    if (pipe_) pclose(pipe_);
  }
  bool held() const { return held_; }

private:
  FILE* pipe_ = nullptr;
  bool held_ = false;
};

// Without the option for an uninstaller without data the setup program itself is copied; an old
// uninstaller that is in use is replaced at the next restart.
TEST(UninstallRegistration, TheSetupProgramIsCopiedAndALockedOldUninstallerIsReplacedAtRestart) {
  Project p;
  WriteFile(p.dir() / "app.txt", "the program\r\n");
  const fs::path exe = p.build("[product]\nname = \"E2E Whole Copy\"\nuninstall_folder = \"uninst\"\n"
                               "uninstaller_file_name = \"remove.exe\"\n"
                               "[options]\nuninstaller = true\nalways_write_log = true\nverbose_log = true\n"
                               "[[files]]\nsource = \"app.txt\"\n");
  ASSERT_FALSE(exe.empty());
  const std::string key = std::string(e2e::kUninstallList) + "E2E Whole Copy";
  const fs::path target = DriveC() / "e2e-ureg-whole";
  fs::remove_all(target);

  const RunResult first = Install(p, exe, "C:\\e2e-ureg-whole");
  ASSERT_EQ(1, first.exitCode) << first.output;
  EXPECT_EQ(ReadFile(exe), ReadFile(target / "uninst" / "remove.exe"));
  EXPECT_EQ("", first.restartFile);
  EXPECT_EQ("REG_SZ \"C:\\e2e-ureg-whole\\uninst\\remove.exe\" /u:\"E2E Whole Copy\"", ValueLine(key, "UninstallString"));

  WriteFile(target / "uninst" / "remove.exe", "the old uninstaller");
  Reg({"delete", kSessionManager, "/v", "PendingFileRenameOperations", "/f"});
  RunResult second;
  {
    HeldFile hold("C:\\e2e-ureg-whole\\uninst\\remove.exe", 8);
    ASSERT_TRUE(hold.held());
    second = Install(p, exe, "C:\\e2e-ureg-whole");
  }
  const std::string pending = RegQuery(kSessionManager, "PendingFileRenameOperations");
  Reg({"delete", kSessionManager, "/v", "PendingFileRenameOperations", "/f"});
  ASSERT_EQ(1, second.exitCode) << second.output;
  EXPECT_EQ("the old uninstaller", ReadFile(target / "uninst" / "remove.exe"));
  const std::string log = ReadFile(target / "uninst" / "Install.log");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(log, m, std::regex("\"C:\\\\e2e-ureg-whole\\\\uninst\\\\remove\\.exe\" was successfully "
                                                   "registered for replacement\\.\r\nTemporary file is \"(C:\\\\e2e-ureg-whole"
                                                   "\\\\uninst\\\\VKT[0-9A-Fa-f]{1,4}\\.tmp)\"\r\nReboot will be required\\.\r\n")))
      << log;
  const std::string temp = m[1];
  EXPECT_EQ(ReadFile(exe), ReadFile(target / "uninst" / fs::path(temp.substr(temp.rfind('\\') + 1))));
  EXPECT_NE(std::string::npos, pending.find(temp)) << pending;
  // The restart flag set by the replacement: the plain completion and the restart at the end.
  EXPECT_EQ("restart requested\r\n", second.restartFile);
  EXPECT_EQ(std::string::npos, log.rfind("FAILURE SUMMARY")) << log;
  const std::string flags = ValueLine(key, "ProductFlags");
  ASSERT_EQ(0u, flags.rfind("REG_SZ ", 0)) << flags;
  EXPECT_EQ(0x4000ull, std::stoull(flags.substr(7)) & 0x4000) << "the entry keeps the restart flag";

  Reg({"delete", key, "/f"});
  fs::remove_all(target);
}

}  // namespace
