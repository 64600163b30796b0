// A second installer over an installed product under Wine: an upgrade, a reinstallation, a refused
// downgrade, the confirmation question, and a product that must first be uninstalled — with the
// batches that each kind of run starts and what they see.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "tests/e2e/harness.h"

namespace {

namespace fs = std::filesystem;
using e2e::DriveC;
using e2e::ReadFile;
using e2e::EntryValue;

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// Waits until the file exists and holds a whole line.
std::string WaitForLine(const fs::path& path, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    const std::string text = ReadFile(path);
    if (text.find('\n') != std::string::npos) return Trimmed(text);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return Trimmed(ReadFile(path));
}

// One product in several versions, each built from its own folder with an app.txt that names the
// version; every run goes into one folder of the prefix.
class UpgradeTest : public ::testing::Test {
protected:
  void SetUp() override {
    char dirName[] = "/tmp/brimstead-upgrade-XXXXXX";
    dir_ = mkdtemp(dirName);
    Clean();
  }
  void TearDown() override {
    Clean();
    fs::remove_all(dir_);
  }
  void Clean() {
    e2e::Reg({"delete", e2e::kUninstallList + name_, "/f"});
    fs::remove_all(Target());
  }

  fs::path Target() const { return DriveC() / folder_; }
  std::string WindowsTarget() const { return "C:\\" + folder_; }
  std::string Installed() const { return Trimmed(ReadFile(Target() / "app.txt")); }

  // An installer of the given version; options go into [options], extra is appended as it stands.
  fs::path Build(const std::string& tag, const std::string& version, const std::string& options,
                 const std::string& extra = "") {
    const fs::path src = dir_ / tag;
    fs::create_directories(src);
    std::ofstream(src / "app.txt") << version << "\n";
    std::ofstream(src / "project.toml")
        << "[product]\nname = \"" << name_ << "\"\nversion = \"" << version << "\"\npublisher = \"Brimstead Tests\"\n"
        << "uninstall_folder = \"uninst\"\n"
        << "[options]\nuninstaller = true\nno_completion_notice = true\n" << options << "\n"
        << "[[files]]\nsource = \"app.txt\"\n" << extra;
    const fs::path exe = src / "setup.exe";
    const std::string build = e2e::Builder() + " build " + (src / "project.toml").string() + " -o " + exe.string() +
                              " --engine " + e2e::TestEngine() + " -q";
    EXPECT_EQ(0, std::system(build.c_str())) << build;
    return exe;
  }

  std::optional<int> Run(const fs::path& exe, const std::string& args, bool withDisplay = true) {
    e2e::Launched run(e2e::ProgramCommandLine(exe.string(), args), withDisplay, 60000);
    const std::optional<int> code = run.wait(50000);
    EXPECT_TRUE(code) << run.output();
    return code;
  }

  void InstallFirst(const std::string& version, const std::string& options = "", const std::string& extra = "") {
    ASSERT_EQ(1, Run(Build("first", version, options, extra), "/silent /d:\"" + WindowsTarget() + "\"", false));
    ASSERT_EQ(version, Installed());
  }

  fs::path dir_;
  std::string name_ = "Upgrade Sample";
  std::string folder_ = "e2e-upgrade";
};

// Each batch leaves a line of what it saw in the installation folder.
std::string Batches() {
  return "[batches]\n"
         "upgrade = '>\"%InstallDir%\\upgrade.txt\" echo [%OldVersion%][%OldVersionMajor%][%Existing%]'\n"
         "reinstall = '>\"%InstallDir%\\reinstall.txt\" echo [%OldVersion%][%Existing%]'\n";
}

TEST_F(UpgradeTest, UpgradeAndReinstallRunTheirBatchesWithThePreviousVersion) {
  ASSERT_NO_FATAL_FAILURE(InstallFirst("1.0"));
  // No /d: needed: the run goes into the earlier installation's folder. /a keeps the comparison
  // that /silent switches off.
  EXPECT_EQ(1, Run(Build("v2", "2.0.1", "compare_versions = true", Batches()), "/a"));
  EXPECT_EQ("2.0.1", Installed());
  EXPECT_EQ("[1.0][1][2]", Trimmed(ReadFile(Target() / "upgrade.txt")));
  EXPECT_EQ("[1.0][2]", Trimmed(ReadFile(Target() / "reinstall.txt"))) << "without the option it runs for an upgrade too";
  EXPECT_EQ("2.0.1", EntryValue(name_, "DisplayVersion"));

  // The same version again is a reinstallation; with the option only then does its batch run.
  const std::string sameVersionOnly = "compare_versions = true\nreinstall_batch_same_version_only = true";
  fs::remove(Target() / "upgrade.txt");
  fs::remove(Target() / "reinstall.txt");
  EXPECT_EQ(1, Run(Build("v2again", "2.0.1", sameVersionOnly, Batches()), "/a"));
  EXPECT_FALSE(fs::exists(Target() / "upgrade.txt"));
  EXPECT_EQ("[2.0.1][1]", Trimmed(ReadFile(Target() / "reinstall.txt")));

  fs::remove(Target() / "reinstall.txt");
  EXPECT_EQ(1, Run(Build("v3", "10.0", sameVersionOnly, Batches()), "/a"));
  EXPECT_EQ("10.0", Installed());
  EXPECT_EQ("[2.0.1][2][2]", Trimmed(ReadFile(Target() / "upgrade.txt")));
  EXPECT_FALSE(fs::exists(Target() / "reinstall.txt"));
}

TEST_F(UpgradeTest, AnInstallationWhoseFolderIsGoneIsAFreshRun) {
  ASSERT_NO_FATAL_FAILURE(InstallFirst("1.0"));
  fs::remove_all(Target());
  const std::string elsewhere = folder_ + "-new";
  fs::remove_all(DriveC() / elsewhere);
  EXPECT_EQ(1, Run(Build("v2", "2.0", "compare_versions = true", Batches()),
                   "/a /d:\"C:\\" + elsewhere + "\""));
  EXPECT_EQ("2.0", Trimmed(ReadFile(DriveC() / elsewhere / "app.txt")));
  EXPECT_FALSE(fs::exists(DriveC() / elsewhere / "upgrade.txt"));
  EXPECT_FALSE(fs::exists(DriveC() / elsewhere / "reinstall.txt"));
  fs::remove_all(DriveC() / elsewhere);
}

TEST_F(UpgradeTest, AnOlderVersionBelowTheFloorIsRefused) {
  ASSERT_NO_FATAL_FAILURE(InstallFirst("2.0", "", "[upgrade]\nno_downgrade_below = \"2.0\"\n"));
  EXPECT_EQ("2.0", EntryValue(name_, "NoDowngradeBelow"));
  const fs::path older = Build("older", "1.9", "compare_versions = true");
  EXPECT_EQ(1, Run(older, "/a"));
  EXPECT_EQ("2.0", Installed());

  // With windows the user is told which version may go over it.
  e2e::Launched run(e2e::ProgramCommandLine(older.string(), ""), true, 60000);
  const std::optional<e2e::Window> box = e2e::WaitWindow("Error", "#32770");
  ASSERT_TRUE(box) << run.output();
  EXPECT_NE(std::string::npos, box->message().find("Only version 2.0 or later")) << box->message();
  EXPECT_TRUE(e2e::PressButton("Error", "OK", "#32770"));
  EXPECT_EQ(1, run.wait(20000)) << run.output();
  EXPECT_EQ("2.0", Installed());
}

TEST_F(UpgradeTest, TheUserConfirmsAnUpgradeAndEitherNoEndsTheRun) {
  ASSERT_NO_FATAL_FAILURE(InstallFirst("1.0"));
  const fs::path v2 = Build("v2", "2.0", "compare_versions = true\nno_background_window = true");
  e2e::Launched run(e2e::ProgramCommandLine(v2.string(), ""), true, 60000);
  const std::optional<e2e::Window> question = e2e::WaitWindow("Existing Installation", "#32770");
  ASSERT_TRUE(question) << run.output();
  const std::string message = question->message();
  EXPECT_NE(std::string::npos, message.find("An older version of " + name_ + " (1.0)")) << message;
  EXPECT_NE(std::string::npos, message.find(WindowsTarget())) << message;
  EXPECT_NE(std::string::npos, message.find("Do you want to continue?")) << message;
  ASSERT_TRUE(e2e::PressButton("Existing Installation", "&No", "#32770"));
  ASSERT_TRUE(e2e::WaitWindow("Cancelled", "#32770")) << run.output();
  EXPECT_TRUE(e2e::PressButton("Cancelled", "OK", "#32770"));
  EXPECT_EQ(1, run.wait(20000)) << run.output();
  EXPECT_EQ("1.0", Installed());

  // Below the warning version a second question follows; its No ends the run without the notice.
  const fs::path warned = Build("warned", "2.0",
                                "compare_versions = true\nno_background_window = true\nsecond_upgrade_question = true",
                                "[upgrade]\nwarning_version = \"1.5\"\n");
  e2e::Launched again(e2e::ProgramCommandLine(warned.string(), ""), true, 60000);
  ASSERT_TRUE(e2e::WaitWindow("Existing Installation", "#32770")) << again.output();
  ASSERT_TRUE(e2e::PressButton("Existing Installation", "&Yes", "#32770"));
  const std::optional<e2e::Window> second = e2e::WaitWindow(name_, "#32770");
  ASSERT_TRUE(second) << again.output();
  EXPECT_NE(std::string::npos, second->message().find("installed version 1.0 of " + name_ + " differs"))
      << second->message();
  ASSERT_TRUE(e2e::PressButton(name_, "&No", "#32770"));
  EXPECT_EQ(1, again.wait(20000)) << again.output();
  EXPECT_FALSE(e2e::WaitWindow("Cancelled", "#32770", 1000));
  EXPECT_EQ("1.0", Installed());
}

TEST_F(UpgradeTest, MustUninstallHandsTheRunToTheOldUninstaller) {
  ASSERT_NO_FATAL_FAILURE(InstallFirst("1.0"));
  // A stand-in uninstaller that writes the command it was given.
  const fs::path record = DriveC() / "e2e-upgrade-command.txt";
  fs::remove(record);
  e2e::Reg({"add", e2e::kUninstallList + name_, "/v", "QuietUninstallString", "/t", "REG_SZ", "/d",
            "C:\\windows\\system32\\cmd.exe /c >C:\\e2e-upgrade-command.txt echo", "/f"});
  const fs::path v2 = Build("v2", "2.0", "must_uninstall_first = true");
  e2e::Launched run(e2e::ProgramCommandLine(v2.string(), "/a /d:\"C:\\Other\""), true, 60000);
  // Asked even in automatic mode.
  const std::optional<e2e::Window> box = e2e::WaitWindow("Error", "#32770");
  ASSERT_TRUE(box) << run.output();
  EXPECT_NE(std::string::npos, box->message().find("must be uninstalled")) << box->message();
  ASSERT_TRUE(e2e::PressButton("Error", "OK", "#32770"));
  EXPECT_EQ(1, run.wait(20000)) << run.output();
  EXPECT_EQ("/r:\"`" + e2e::WindowsPath(v2.string()) + "` /a /d:`C:\\Other`\"", WaitForLine(record, 20));
  EXPECT_EQ("1.0", Installed()) << "nothing is installed before the old version has gone";
  fs::remove(record);

  // An installed version at the upgrade floor is upgraded in place.
  EXPECT_EQ(1, Run(Build("floor", "2.0", "must_uninstall_first = true", "[upgrade]\nupgrade_floor = \"1.0\"\n"), "/a"));
  EXPECT_EQ("2.0", Installed());
  EXPECT_FALSE(fs::exists(record));
}

// The whole hand-over: the old uninstaller removes version 1 and starts this installer again,
// which then finds nothing installed and installs version 2.
TEST_F(UpgradeTest, MustUninstallRemovesTheOldVersionAndInstallsTheNewOne) {
  fs::create_directories(dir_ / "first");
  std::ofstream(dir_ / "first" / "old.txt") << "only in 1.0\n";
  ASSERT_NO_FATAL_FAILURE(InstallFirst("1.0", "", "[[files]]\nsource = \"old.txt\"\n"));
  EXPECT_EQ(1, Run(Build("v2", "2.0", "must_uninstall_first = true"), "/silent /d:\"" + WindowsTarget() + "\"", false));
  // The uninstaller and the installer it starts again run on after the first run has ended.
  bool done = false;
  for (int i = 0; i < 600 && !done; ++i) {
    done = Installed() == "2.0" && EntryValue(name_, "DisplayVersion") == "2.0";
    if (!done) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(done) << "installed: " << Installed();
  EXPECT_FALSE(fs::exists(Target() / "old.txt")) << "the old version was not uninstalled";
}

}  // namespace
