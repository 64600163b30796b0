// The product's batches run at their moments of a real installation and uninstallation under
// Wine: the command line's lines behind the Pre-Installation Batch, titled output in Install.log,
// PAUSE dropped under /silent, the program of /r: after a clean run only, the uninstall batch.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/e2e/harness.h"

namespace {

namespace fs = std::filesystem;
using e2e::DriveC;
using e2e::ReadFile;

// Waits for a file that a program started at the end of a run writes.
std::string FileWithin(const fs::path& path, int ms) {
  for (int waited = 0; waited < ms && !fs::exists(path); waited += 100)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return ReadFile(path);
}

// A text for a TOML basic string.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

// A project in a temporary folder and a target folder on drive C, both removed afterwards.
class BatchTest : public ::testing::Test {
protected:
  void SetUp() override {
    char name[] = "/tmp/brimstead-batch-XXXXXX";
    dir_ = mkdtemp(name);
    std::ofstream(dir_ / "app.txt") << "app\r\n";
    Clean();
  }
  void TearDown() override {
    e2e::Reg({"delete", e2e::kUninstallList + product_, "/f"});
    Clean();
    fs::remove_all(dir_);
  }
  void Clean() {
    std::error_code ec;
    fs::remove_all(DriveC() / "e2e-batches", ec);
    fs::remove(Report(), ec);
  }

  static fs::path Report() { return DriveC() / "e2e-batches-report.txt"; }
  static std::string WindowsReport() { return "C:\\e2e-batches-report.txt"; }
  fs::path Target() const { return DriveC() / "e2e-batches" / "product"; }
  std::string WindowsTarget() const { return "C:\\e2e-batches\\product"; }
  static std::string Probe() { return e2e::WindowsPath(e2e::SupportDir() + "/probe.exe"); }

  fs::path Build(const std::string& toml) {
    std::ofstream(dir_ / "project.toml") << toml;
    const fs::path exe = dir_ / "setup.exe";
    const std::string build = e2e::Builder() + " build " + (dir_ / "project.toml").string() + " -o " + exe.string() +
                              " --engine " + e2e::TestEngine() + " -q";
    EXPECT_EQ(0, std::system(build.c_str())) << build;
    return exe;
  }

  std::optional<int> Run(const fs::path& exe, const std::string& args, std::string* output = nullptr) {
    e2e::Launched run(e2e::ProgramCommandLine(exe.string(), args), false, 60000);
    const std::optional<int> code = run.wait(55000);
    if (output) *output = run.output();
    return code;
  }

  fs::path dir_;
  std::string product_ = "E2E Batches";
};

// One silent installation with every batch of the installation, then its uninstallation.
TEST_F(BatchTest, BatchesRunAtTheirMomentsAndTheProgramAfterACleanRun) {
  const fs::path exe = Build(
      "[product]\nname = \"" + product_ + "\"\nversion = \"3.1\"\nuninstall_folder = \"uninst\"\n"
      "[options]\nuninstaller = true\nalways_write_log = true\n"
      "log_pre_install_batch = true\nlog_post_install_batch = true\n"
      "[batches]\n"
      // PAUSE would wait for ever in a hidden console: the run ends only when it is dropped.
      "pre_install = \"echo pre for %ProductName% %Version%\\r\\npause\\r\\n\"\n"
      "post_install = \"cd\\r\\n@ pause\\r\\n\"\n"
      "install_exit = \"echo exit> \\\"%InstallDir%\\\\exit.txt\\\"\"\n"
      "uninstall1 = \"echo removed %ProductName%> C:\\\\e2e-batches\\\\uninstalled.txt\"\n"
      "[[files]]\nsource = \"app.txt\"\n");
  ASSERT_TRUE(fs::exists(exe));

  std::string output;
  const std::optional<int> code =
      Run(exe, "/silent /d:\"" + WindowsTarget() + "\" /b1:\"echo one~~echo two\" /r:\"" + Probe() + " --report " +
                   WindowsReport() + "\"",
          &output);
  ASSERT_EQ(1, code) << output;

  const std::string log = ReadFile(Target() / "uninst" / "Install.log");
  const std::string pre = "\r\nRunning Pre-Installation Batch...\r\npre for E2E Batches 3.1\r\none\r\ntwo\r\n\r\n";
  const std::string post = "\r\nRunning Post-Installation Batch...\r\n" + WindowsTarget() + "\r\n\r\n";
  const size_t preAt = log.find(pre), postAt = log.find(post);
  EXPECT_NE(std::string::npos, preAt) << log;
  EXPECT_NE(std::string::npos, postAt) << log;
  EXPECT_LT(preAt, postAt);
  EXPECT_EQ("exit\r\n", ReadFile(Target() / "exit.txt"));
  for (const char* left : {"SETUPBAT.BAT", "bs_batch.log"}) EXPECT_FALSE(fs::exists(Target() / left)) << left;

  // The program of /r: started after the run, in its own folder.
  const std::string report = FileWithin(Report(), 10000);
  EXPECT_EQ(0u, report.rfind(e2e::WindowsPath(e2e::SupportDir()) + "\r\n", 0)) << report;

  const std::optional<std::string> command = e2e::EntryValue(product_, "QuietUninstallString");
  ASSERT_TRUE(command);
  e2e::Launched uninstall(*command, false);
  ASSERT_EQ(0, uninstall.wait(30000)) << uninstall.output();
  EXPECT_EQ("removed E2E Batches\r\n", ReadFile(DriveC() / "e2e-batches" / "uninstalled.txt"));
}

// A run with a failure starts no program; its batches run all the same.
TEST_F(BatchTest, NoProgramAfterARunWithFailures) {
  const fs::path exe = Build("[product]\nname = \"E2E Batches Failing\"\n[options]\nalways_write_log = true\n"
                             "[batches]\npre_install = \"echo pre> \\\"%InstallDir%\\\\pre.txt\\\"\"\n"
                             "[[files]]\nsource = \"app.txt\"\ndestination = \"blocked\\\\app.txt\"\n");
  ASSERT_TRUE(fs::exists(exe));
  fs::create_directories(Target());
  std::ofstream(Target() / "blocked") << "a file where the folder should be\r\n";
  std::string output;
  ASSERT_EQ(1, Run(exe, "/silent /d:\"" + WindowsTarget() + "\" /r:\"" + Probe() + " --report " + WindowsReport() + "\"",
                   &output))
      << output;
  EXPECT_NE(std::string::npos, ReadFile(Target() / "Install.log").find("*** FAILURE SUMMARY ***"));
  EXPECT_EQ("pre\r\n", ReadFile(Target() / "pre.txt"));
  EXPECT_EQ("", FileWithin(Report(), 3000)) << "the program of /r: ran after a failed run";
}

// A batch shows its console window unless it runs hidden, as it always does under /silent.
// The batch runs a program that waits, and the windows on the display are listed meanwhile. The
// installer is started by Wine itself, as from the desktop: started from a console program, Wine
// would give the batch that console instead of a window.
TEST_F(BatchTest, SilentBatchShowsNoConsoleWindow) {
  const fs::path exe = Build("[product]\nname = \"E2E Batches Console\"\ninstall_folder = \"" + Escaped(WindowsTarget()) +
                             "\"\n[batches]\npre_install = \"\\\"" + Escaped(Probe()) +
                             "\\\" --sleep 3000\"\n[[files]]\nsource = \"app.txt\"\n");
  ASSERT_TRUE(fs::exists(exe));
  for (const auto& [mode, console] : {std::pair{"/a", true}, std::pair{"/silent", false}}) {
    SCOPED_TRACE(mode);
    std::atomic<bool> done{false};
    e2e::Output installer;
    std::thread run([&, mode = mode] {
      installer = e2e::RunWindowsProgram(exe.string(), {mode}, true);
      done = true;
    });
    bool seen = false;
    while (!seen && !done) {
      const e2e::Output windows = e2e::RunWindowsProgram(e2e::SupportDir() + "/uidriver.exe", {"list"}, true);
      seen = windows.out.find("\tWineConsoleClass\t") != std::string::npos;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    run.join();
    EXPECT_EQ(1, installer.linuxStatus) << installer.out << installer.err;
    EXPECT_TRUE(fs::exists(Target() / "app.txt"));
    // Known difference: this Wine gives the 64-bit build's batches no console window at all, and
    // then the quiet /silent run shows nothing.
    if (console && !seen) GTEST_SKIP() << "no console window for a visible batch on this Wine and build";
    EXPECT_EQ(console, seen);
  }
}

}  // namespace
