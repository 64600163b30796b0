// Installers made by the builder install for real under Wine: where each file lands, with what
// content, time and attributes; what a second run over them logs; a locked target replaced at the
// next restart; a folder blocked by a file; and items many chunks long, with the engine's memory.
//
// Each test installs into its own folder (/d:) of the shared prefix and removes it afterwards.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <regex>
#include <sstream>
#include <string>

#include "tests/e2e/harness.h"

namespace {

namespace fs = std::filesystem;
using e2e::DriveC;
using e2e::ReadFile;

constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr char kSeparator[] = "\r\n\r\n**********************************************\r\n";
// The fixed time that the projects give their files, and how the log prints it.
constexpr char kFixedTime[] = "2021-03-04T05:06:07Z";
constexpr char kFixedLogTime[] = "2021/03/04 05:06:07";
constexpr char kSessionManager[] = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager";

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

// "C:\a\b" as the Linux path of the prefix's drive C.
fs::path OnDriveC(const std::string& windowsPath) {
  fs::path p = DriveC();
  std::string rest = windowsPath.substr(3);
  for (char& c : rest)
    if (c == '\\') c = '/';
  return p / rest;
}

time_t Utc(int year, int month, int day, int hour, int minute, int second) {
  tm t{};
  t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day;
  t.tm_hour = hour, t.tm_min = minute, t.tm_sec = second;
  return timegm(&t);
}

time_t ModificationTime(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

// The DOS attributes as Wine keeps them: read-only in the Unix mode, the others in the xattr
// "user.DOSATTRIB" ("0x" and hexadecimal digits).
struct DosAttributes {
  bool readOnly = false, hidden = false;
};
DosAttributes AttributesOf(const fs::path& path) {
  DosAttributes a;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) a.readOnly = (st.st_mode & 0222) == 0;
  char value[64] = {};
  const ssize_t n = getxattr(path.c_str(), "user.DOSATTRIB", value, sizeof value - 1);
  if (n > 0) a.hidden = (std::strtoul(value, nullptr, 16) & 0x2) != 0;
  return a;
}

// Bytes that xz cannot make smaller.
std::string Incompressible(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  uint64_t x = seed;
  for (size_t i = 0; i < size; i += 4) {
    x = x * 6364136223846793005u + 1442695040888963407u;
    const uint32_t v = uint32_t(x >> 32);
    for (size_t k = 0; k < 4 && i + k < size; ++k) bytes[i + k] = char(v >> (8 * k));
  }
  return bytes;
}

// A project in a temporary folder, built with the builder and the engine under test.
class Project {
public:
  Project() {
    char name[] = "/tmp/brimstead-install-XXXXXX";
    dir_ = mkdtemp(name);
  }
  ~Project() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  Project(const Project&) = delete;
  Project& operator=(const Project&) = delete;

  const fs::path& dir() const { return dir_; }
  fs::path add(const std::string& name, const std::string& content) {
    WriteFile(dir_ / name, content);
    return dir_ / name;
  }
  // Builds the installer of toml; empty when the builder refused it.
  fs::path build(const std::string& toml, const std::string& name = "setup") {
    WriteFile(dir_ / (name + ".toml"), toml);
    const fs::path exe = dir_ / (name + ".exe");
    const std::string command = e2e::Builder() + " build " + (dir_ / (name + ".toml")).string() + " -o " +
                                exe.string() + " --engine " + e2e::TestEngine() + " -q 2>&1";
    std::string said;
    if (FILE* p = popen(command.c_str(), "r")) {
      char buffer[512];
      while (size_t n = fread(buffer, 1, sizeof buffer, p)) said.append(buffer, n);
      if (pclose(p) == 0) return exe;
    }
    ADD_FAILURE() << command << "\n" << said;
    return {};
  }

private:
  fs::path dir_;
};

// An installation folder of its own, removed before and after.
class InstallFolder {
public:
  explicit InstallFolder(std::string windowsPath) : windows_(std::move(windowsPath)), linux_(OnDriveC(windows_)) {
    clear();
  }
  ~InstallFolder() {
    clear();
    std::error_code ec;
    fs::remove(linux_.parent_path(), ec);  // only when no other test's folder is left in it
  }
  const std::string& windows() const { return windows_; }
  std::string windows(const std::string& name) const { return windows_ + "\\" + name; }
  const fs::path& onLinux() const { return linux_; }
  std::string log() const { return ReadFile(linux_ / "Install.log"); }

private:
  void clear() {
    std::error_code ec;
    fs::remove_all(linux_, ec);
  }
  std::string windows_;
  fs::path linux_;
};

struct RunResult {
  std::optional<int> exitCode;
  std::string output;  // what launch said
  std::string restartFile;
};

// A silent run into folder. The restart at the end (a restart would end the Wine session) is
// noted in a file of the project's folder instead.
RunResult InstallSilently(const Project& project, const fs::path& exe, const InstallFolder& folder) {
  const fs::path restart = project.dir() / "restart.txt";
  fs::remove(restart);
  setenv("BRIMSTEAD_TEST_RESTART_FILE", e2e::WindowsPath(restart.string()).c_str(), 1);
  e2e::Launched run(e2e::ProgramCommandLine(exe.string(), "/silent /d:\"" + folder.windows() + "\""), false, 60000);
  RunResult r;
  r.exitCode = run.wait(55000);
  r.output = run.output();
  r.restartFile = ReadFile(restart);
  return r;
}

std::string RegQuery(const std::string& key, const std::string& value) {
  return e2e::Reg({"query", key, "/v", value}).out;
}

void RegDelete(const std::string& key, const std::string& value) {
  e2e::Reg({"delete", key, "/v", value, "/f"});
}

// ---------------------------------------------------------------------------------------------

std::string InstallProject(const fs::path& versioned) {
  std::ostringstream t;
  t << "[product]\nname = \"E2E Install\"\nversion = \"1.0\"\n"
    << "[options]\nalways_write_log = true\nverbose_log = true\n"
    << "[archive]\nmode = \"image\"\n"
    << "[[files]]\nsource = \"app.txt\"\n"                      // program, its own time
    << "[[files]]\nsource = \"plain.txt\"\ndestination = \"renamed.txt\"\ntime = " << kFixedTime << "\n"
    << "[[files]]\nsource = \"tool.txt\"\ndestination = \"%InstallDir%\\\\Tools\\\\\"\ntime = " << kFixedTime << "\n"
    << "[[files]]\nsource = \"guide.txt\"\ndestination = \"docs\\\\deep\\\\manual.txt\"\ntime = " << kFixedTime << "\n"
    << "[[files]]\nsource = \"settings.ini\"\noverwrite = \"if-missing\"\nattributes = [\"readonly\", \"hidden\"]\n"
    << "time = " << kFixedTime << "\n"
    << "[[files]]\nsource = \"update.txt\"\noverwrite = \"if-exists\"\n"
    << "[[files]]\nsource = \"common.txt\"\nkind = \"shared\"\ndestination = \"%InstallDir%\\\\shared\\\\\"\n"
    << "time = " << kFixedTime << "\n"
    // Without an uninstaller there is no shared folder: into the installation folder.
    << "[[files]]\nsource = \"loose.txt\"\nkind = \"shared\"\ntime = " << kFixedTime << "\n"
    << "[[files]]\nsource = \"notes.txt\"\nkind = \"versioned\"\nversion = \"1.0\"\ntime = " << kFixedTime << "\n";
  // One file with a version resource (2.5.0.0) under three names: an equal, an older and a newer
  // version; the newer one has the same date and so is not newer by date.
  for (auto [name, version] : {std::pair{"equal.exe", "2.5.0.0"}, {"older.exe", "2.5"}, {"newer.exe", "3.0"}})
    t << "[[files]]\nsource = \"" << versioned.string() << "\"\nkind = \"versioned\"\ndestination = \"" << name
      << "\"\nversion = \"" << version << "\"\ntime = " << kFixedTime << "\n";
  return t.str();
}

TEST(Install, FreshInstallPlacesEveryFileAndASecondRunLogsWhatItKept) {
  Project p;
  const fs::path app = p.add("app.txt", "the program\r\n");
  // Its own time, far from the time of the run.
  const timespec sourceTime[2] = {{Utc(2019, 1, 2, 3, 4, 5), 0}, {Utc(2019, 1, 2, 3, 4, 5), 0}};
  ASSERT_EQ(0, utimensat(AT_FDCWD, app.c_str(), sourceTime, 0));
  p.add("plain.txt", "renamed on the way\r\n");
  p.add("tool.txt", "a tool\r\n");
  p.add("guide.txt", "the manual\r\n");
  p.add("settings.ini", "[settings]\r\nkeep=1\r\n");
  p.add("update.txt", "only over an existing file\r\n");
  p.add("common.txt", "shared by products\r\n");
  p.add("loose.txt", "a shared file without a shared folder\r\n");
  p.add("notes.txt", "versioned, without a version resource\r\n");
  const fs::path versioned = fs::path(e2e::SupportDir()) / "versioned.exe";
  const fs::path exe = p.build(InstallProject(versioned));
  ASSERT_FALSE(exe.empty());

  InstallFolder folder("C:\\e2e-install\\fresh");
  RunResult first = InstallSilently(p, exe, folder);
  ASSERT_EQ(1, first.exitCode) << first.output;
  EXPECT_EQ("", first.restartFile);

  const time_t fixed = Utc(2021, 3, 4, 5, 6, 7);
  const std::string versionedBytes = ReadFile(versioned);
  struct Placed {
    const char* where;  // below the installation folder
    std::string content;
    time_t time;
  };
  const Placed placed[] = {
      {"app.txt", "the program\r\n", Utc(2019, 1, 2, 3, 4, 5)},
      {"renamed.txt", "renamed on the way\r\n", fixed},
      {"Tools/tool.txt", "a tool\r\n", fixed},
      {"docs/deep/manual.txt", "the manual\r\n", fixed},
      {"settings.ini", "[settings]\r\nkeep=1\r\n", fixed},
      {"shared/common.txt", "shared by products\r\n", fixed},
      {"loose.txt", "a shared file without a shared folder\r\n", fixed},
      {"notes.txt", "versioned, without a version resource\r\n", fixed},
      {"equal.exe", versionedBytes, fixed},
      {"older.exe", versionedBytes, fixed},
      {"newer.exe", versionedBytes, fixed},
  };
  for (const Placed& f : placed) {
    SCOPED_TRACE(f.where);
    const fs::path path = folder.onLinux() / f.where;
    ASSERT_TRUE(fs::is_regular_file(path));
    EXPECT_EQ(f.content, ReadFile(path));
    EXPECT_EQ(f.time, ModificationTime(path));
    const DosAttributes a = AttributesOf(path);
    const bool protectedFile = std::string(f.where) == "settings.ini";
    EXPECT_EQ(protectedFile, a.readOnly);
    EXPECT_EQ(protectedFile, a.hidden);
  }
  EXPECT_FALSE(fs::exists(folder.onLinux() / "plain.txt"));
  EXPECT_FALSE(fs::exists(folder.onLinux() / "guide.txt"));
  EXPECT_FALSE(fs::exists(folder.onLinux() / "update.txt"));

  const std::string log1 = folder.log();
  ASSERT_EQ(0u, log1.rfind(std::string(kBom) + "Installation log for: E2E Install\r\nInstall date: ", 0)) << log1;
  EXPECT_NE(std::string::npos, log1.find("\r\nInstall location: " + folder.windows() + "\r\nInstaller version: 42.0\r\n"
                                         "Product version: 1.0\r\nOperating system: "))
      << log1;
  EXPECT_EQ(std::string::npos, log1.find("Install type: "));  // the product has no uninstaller
  EXPECT_EQ(1u, Count(log1, folder.windows("update.txt") + " was not installed because it does not already exist.\r\n"));
  EXPECT_NE(std::string::npos, log1.find("renamed.txt >>> " + folder.windows("renamed.txt") + "\r\n")) << log1;
  EXPECT_NE(std::string::npos, log1.find("tool.txt >>> " + folder.windows("Tools\\tool.txt") + "\r\n")) << log1;
  EXPECT_NE(std::string::npos, log1.find("guide.txt >>> " + folder.windows("docs\\deep\\manual.txt") + "\r\n")) << log1;
  EXPECT_EQ(std::string::npos, log1.find("was not installed because it already exists"));
  EXPECT_EQ(std::string::npos, log1.find("*** FAILURE SUMMARY ***"));
  EXPECT_TRUE(log1.ends_with("\r\nInstallation Complete\r\n")) << log1;

  // The program file is replaced again; what the rules keep is logged.
  WriteFile(folder.onLinux() / "app.txt", "changed by the user\r\n");
  RunResult second = InstallSilently(p, exe, folder);
  ASSERT_EQ(1, second.exitCode) << second.output;
  EXPECT_EQ("the program\r\n", ReadFile(folder.onLinux() / "app.txt"));
  EXPECT_EQ("[settings]\r\nkeep=1\r\n", ReadFile(folder.onLinux() / "settings.ini"));

  const std::string log2 = folder.log();
  ASSERT_EQ(0u, log2.rfind(log1, 0)) << "the first block changed";
  const std::string block = log2.substr(log1.size());
  ASSERT_EQ(0u, block.rfind(std::string(kSeparator) + "Installation log for: E2E Install\r\n", 0)) << block;
  EXPECT_EQ(std::string::npos, block.find(kBom));
  const std::string date = kFixedLogTime;
  for (const std::string& line : {
           folder.windows("settings.ini") + " was not installed because it already exists.\r\n",
           folder.windows("update.txt") + " was not installed because it does not already exist.\r\n",
           folder.windows("shared\\common.txt") + " is up to date.\r\n",
           folder.windows("loose.txt") + " is up to date.\r\n",
           folder.windows("notes.txt") + " was not installed because its date (" + date + ") is not newer than " + date + ".\r\n",
           folder.windows("equal.exe") + " was not installed because its version (2.5.0.0) is not newer than 2.5.0.0\r\n",
           folder.windows("older.exe") + " was not installed because its version (2.5) is not newer than 2.5.0.0\r\n",
           folder.windows("newer.exe") + " was not installed because its date (" + date + ") is not newer than " + date + ".\r\n",
           "app.txt >>> " + folder.windows("app.txt") + "\r\n",
           "renamed.txt >>> " + folder.windows("renamed.txt") + "\r\n",
       })
    EXPECT_EQ(1u, Count(block, line)) << line << "\n--- block:\n" << block;
  EXPECT_TRUE(block.ends_with("\r\nInstallation Complete\r\n")) << block;
}

// The deletion list of the installation runs before the first file is written: files of an
// earlier run that meet its condition go, the files this run installs stay even when they meet it.
TEST(Install, DeletionsAtInstallationTakeOnlyWhatWasThereBefore) {
  Project p;
  p.add("fresh.txt", "installed now\r\n");
  p.add("again.txt", "installed again\r\n");
  p.add("fresh.ini", "not a text file\r\n");
  std::ostringstream t;
  t << "[product]\nname = \"E2E Deletions\"\n"
    << "[options]\nalways_write_log = true\nverbose_log = true\n"
    // Shipped with an old date, so that they meet the condition themselves.
    << "[[files]]\nsource = \"fresh.txt\"\ntime = 2005-06-01T12:00:00Z\n"
    << "[[files]]\nsource = \"again.txt\"\ntime = 2005-06-01T12:00:00Z\n"
    << "[[files]]\nsource = \"fresh.ini\"\ntime = 2005-06-01T12:00:00Z\n"
    // Not newer than 2010, at installation.
    << "[[deletions]]\nfile = \"%InstallDir%\\\\*.txt\"\ncondition = 3\nvalue = \"2010-01-01\"\nflags = 4\n";
  const fs::path exe = p.build(t.str());
  ASSERT_FALSE(exe.empty());

  InstallFolder folder("C:\\e2e-install\\deletions");
  fs::create_directories(folder.onLinux());
  const timespec old[2] = {{Utc(2001, 2, 3, 4, 5, 6), 0}, {Utc(2001, 2, 3, 4, 5, 6), 0}};
  for (const char* name : {"old.txt", "again.txt", "old.ini"}) {
    const fs::path path = folder.onLinux() / name;
    WriteFile(path, "from an earlier run\r\n");
    ASSERT_EQ(0, utimensat(AT_FDCWD, path.c_str(), old, 0)) << name;
  }
  WriteFile(folder.onLinux() / "recent.txt", "newer than the date\r\n");

  const RunResult run = InstallSilently(p, exe, folder);
  ASSERT_EQ(1, run.exitCode) << run.output;
  struct Expected {
    const char* name;
    std::string content;  // empty: gone
  };
  const Expected files[] = {
      {"fresh.txt", "installed now\r\n"},
      {"again.txt", "installed again\r\n"},
      {"fresh.ini", "not a text file\r\n"},
      {"old.txt", ""},
      {"old.ini", "from an earlier run\r\n"},
      {"recent.txt", "newer than the date\r\n"},
  };
  for (const Expected& f : files) EXPECT_EQ(f.content, ReadFile(folder.onLinux() / f.name)) << f.name;

  // Both old text files were deleted before the first file was written.
  const std::string log = folder.log();
  const size_t firstWrite = log.find(" >>> ");
  ASSERT_NE(std::string::npos, firstWrite) << log;
  for (const char* name : {"old.txt", "again.txt"}) {
    const size_t deleted = log.find("Deleted file: " + folder.windows(name) + "\r\n");
    EXPECT_NE(std::string::npos, deleted) << name << "\n" << log;
    EXPECT_LT(deleted, firstWrite) << name << "\n" << log;
  }
  EXPECT_EQ(2u, Count(log, "Deleted file: ")) << log;
  EXPECT_EQ(std::string::npos, log.find("*** FAILURE SUMMARY ***")) << log;
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
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool held() const { return held_; }

private:
  FILE* pipe_ = nullptr;
  bool held_ = false;
};

std::string RegexEscaped(const std::string& text) {
  static const std::string special = R"(\^$.|?*+()[]{})";
  std::string out;
  for (char c : text) {
    if (special.find(c) != std::string::npos) out += '\\';
    out += c;
  }
  return out;
}

// One run meets a target held open by another program and a folder that a file blocks; the
// files around them install all the same.
TEST(Install, LockedTargetIsReplacedAtRestartAndABlockedFolderSkipsOnlyItsEntry) {
  Project p;
  p.add("locked.txt", "the new content\r\n");
  p.add("inside.txt", "cannot get into its folder\r\n");
  p.add("free.txt", "installs all the same\r\n");
  const fs::path exe = p.build(std::string("[product]\nname = \"E2E Trouble\"\n[options]\nalways_write_log = true\n") +
                               "[[files]]\nsource = \"locked.txt\"\ntime = " + kFixedTime + "\n" +
                               "[[files]]\nsource = \"inside.txt\"\ndestination = \"blocked\\\\inside.txt\"\n" +
                               "[[files]]\nsource = \"free.txt\"\n");
  ASSERT_FALSE(exe.empty());
  InstallFolder folder("C:\\e2e-install\\trouble");
  fs::create_directories(folder.onLinux());
  WriteFile(folder.onLinux() / "locked.txt", "the old content\r\n");
  WriteFile(folder.onLinux() / "blocked", "a file where the folder should be\r\n");
  RegDelete(kSessionManager, "PendingFileRenameOperations");

  RunResult run;
  std::string pending;
  {
    HeldFile hold(folder.windows("locked.txt"), 5);
    ASSERT_TRUE(hold.held());
    run = InstallSilently(p, exe, folder);
    pending = RegQuery(kSessionManager, "PendingFileRenameOperations");
    RegDelete(kSessionManager, "PendingFileRenameOperations");
  }
  ASSERT_EQ(1, run.exitCode) << run.output;
  const std::string log = folder.log();
  const std::string target = folder.windows("locked.txt");

  // Text 31, the target, the system's reason, then the registration.
  std::smatch m;
  const std::regex registered("\r\nFailed: " + RegexEscaped(target) + "\r\n[^\r\n]+\r\n\r\n\"" + RegexEscaped(target) +
                              "\" was successfully registered for replacement\\.\r\nTemporary file is \"(" +
                              RegexEscaped(folder.windows()) + "\\\\VKT[0-9A-Fa-f]{1,4}\\.tmp)\"\r\n"
                              "Reboot will be required\\.\r\n\r\n");
  ASSERT_TRUE(std::regex_search(log, m, registered)) << log;
  const std::string temp = m[1];
  EXPECT_EQ("the new content\r\n", ReadFile(OnDriveC(temp)));
  EXPECT_EQ(Utc(2021, 3, 4, 5, 6, 7), ModificationTime(OnDriveC(temp)));
  EXPECT_EQ("the old content\r\n", ReadFile(folder.onLinux() / "locked.txt"));
  EXPECT_NE(std::string::npos, pending.find("\\??\\" + temp + "\\0!\\??\\" + target)) << pending;
  EXPECT_EQ("restart requested\r\n", run.restartFile);

  const std::string blocked = folder.windows("blocked");
  EXPECT_NE(std::string::npos, log.find("\r\n*** FAILURE SUMMARY ***\r\nCannot create folder " + blocked +
                                        "\r\nCannot create folder because there is a file with the same name.\r\n\r\n"
                                        "Not installed: " + blocked + "\\inside.txt\r\n\r\n"))
      << log;
  EXPECT_EQ("a file where the folder should be\r\n", ReadFile(folder.onLinux() / "blocked"));
  EXPECT_EQ("installs all the same\r\n", ReadFile(folder.onLinux() / "free.txt"));
}

struct Peaks {
  long long privateBytes = -1, workingSet = -1;
};

// A silent run through launch --memory: its exit code and the engine's peak memory.
Peaks MeasuredInstall(const Project& project, const fs::path& exe, const InstallFolder& folder) {
  setenv("BRIMSTEAD_TEST_RESTART_FILE", e2e::WindowsPath((project.dir() / "restart.txt").string()).c_str(), 1);
  const e2e::Output out = e2e::RunWindowsProgram(
      e2e::SupportDir() + "/launch.exe",
      {"--timeout", "60000", "--memory", e2e::ProgramCommandLine(exe.string(), "/silent /d:\"" + folder.windows() + "\"")},
      false);
  EXPECT_NE(std::string::npos, out.out.find("exit=1")) << out.out << out.err;
  Peaks p;
  std::smatch m;
  if (std::regex_search(out.out, m, std::regex("peak_private=(\\d+) peak_working_set=(\\d+)")))
    p.privateBytes = std::stoll(m[1]), p.workingSet = std::stoll(m[2]);
  EXPECT_GT(p.privateBytes, 0) << out.out;
  return p;
}

// An item of 24 chunks is streamed through, in both archive modes: the engine's private memory
// grows by far less than the item's size over a run with a tiny item. (The working set of an
// image-mode run holds the mapped archive, which is file-backed and not private.)
TEST(Install, ItemOfManyChunksInstallsIntactWithLittleMemory) {
  constexpr long long kSize = 24 << 20;
  Project p;
  const std::string big = Incompressible(size_t(kSize), 7);
  p.add("big.bin", big);
  p.add("tiny.bin", "tiny\r\n");
  auto toml = [](const char* mode, bool compress, const char* source) {
    return std::string("[product]\nname = \"E2E Big\"\n[archive]\nmode = \"") + mode + "\"\nchunk_size = 1048576\n" +
           "compress = " + (compress ? "true\nxz_preset = 0\n" : "false\n") + "[[files]]\nsource = \"" + source + "\"\n";
  };
  const fs::path tinyExe = p.build(toml("file", false, "tiny.bin"), "tiny");
  ASSERT_FALSE(tinyExe.empty());
  InstallFolder tinyFolder("C:\\e2e-install\\tiny");
  const Peaks base = MeasuredInstall(p, tinyExe, tinyFolder);
  EXPECT_EQ("tiny\r\n", ReadFile(tinyFolder.onLinux() / "tiny.bin"));

  // Compression only where the archive is mapped: xz makes the build slow, and each mode shows
  // one way of reading chunks.
  for (auto [mode, compress] : {std::pair{"file", false}, {"image", true}}) {
    SCOPED_TRACE(mode);
    const fs::path exe = p.build(toml(mode, compress, "big.bin"), mode);
    ASSERT_FALSE(exe.empty());
    InstallFolder folder(std::string("C:\\e2e-install\\big-") + mode);
    const Peaks peaks = MeasuredInstall(p, exe, folder);
    EXPECT_TRUE(ReadFile(folder.onLinux() / "big.bin") == big) << "the item is not intact";
    std::cout << "[ memory   ] " << mode << " mode: peak private " << peaks.privateBytes << " (tiny item: "
              << base.privateBytes << "), peak working set " << peaks.workingSet << " bytes\n";
    EXPECT_LT(peaks.privateBytes - base.privateBytes, kSize / 3);
    fs::remove(exe);
  }
}

}  // namespace
