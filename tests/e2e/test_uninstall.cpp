// A product installed by the engine is removed again by its uninstaller under Wine: through the
// entry's own command lines, completely when nothing is in the way, partly when a file is held
// open (and finished by a second run), and after closing a program that the product lists.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "tests/e2e/harness.h"

namespace {

namespace fs = std::filesystem;
using e2e::DriveC;
using e2e::ReadFile;
using e2e::EntryValue;
using e2e::EntryExists;

// Every file and folder below drive C, except the temporary folders that Wine and the runs use.
std::set<std::string> DriveCListing() {
  std::set<std::string> paths;
  for (auto it = fs::recursive_directory_iterator(DriveC(), fs::directory_options::skip_permission_denied);
       it != fs::recursive_directory_iterator(); ++it) {
    const std::string path = fs::relative(it->path(), DriveC()).string();
    if (path.find("/Temp") != std::string::npos || path.find("windows/temp") != std::string::npos) {
      if (it->is_directory()) it.disable_recursion_pending();
      continue;
    }
    paths.insert(path);
  }
  return paths;
}

// The software part of the registry as "reg export" writes it.
std::string SoftwareRegistry() {
  std::string all;
  for (const char* root : {"HKLM\\Software", "HKCU\\Software"}) {
    const fs::path file = fs::temp_directory_path() / "brimstead-e2e-export.reg";
    e2e::Reg({"export", root, e2e::WindowsPath(file.string()), "/y"});
    all += ReadFile(file);
    fs::remove(file);
  }
  return all;
}

// Waits until the path is gone (the self-removal batch runs after the uninstaller has ended).
bool GoneWithin(const fs::path& path, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (!fs::exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return !fs::exists(path);
}

// The prefix's temporary folder as the engine sees it (%TEMP%), as a Linux path.
fs::path WindowsTemp() {
  const e2e::Output out = e2e::RunWindowsProgram("cmd", {"/c", "echo %TEMP%"}, false);
  std::string path = out.out;
  while (!path.empty() && (path.back() == '\r' || path.back() == '\n' || path.back() == ' ')) path.pop_back();
  if (path.size() < 3 || (path[0] != 'C' && path[0] != 'c') || path[1] != ':') return {};
  std::replace(path.begin(), path.end(), '\\', '/');
  return DriveC() / path.substr(3);
}

// The self-removal batches' private folders in the temporary folder.
std::set<std::string> PrivateFolders(const fs::path& temp) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(temp, fs::directory_options::skip_permission_denied))
    if (entry.path().filename().string().rfind("bs-", 0) == 0) names.insert(entry.path().filename().string());
  return names;
}

// A small product: two files, one in a subfolder, and whatever the test adds to the project.
class UninstallTest : public ::testing::Test {
protected:
  void SetUp() override {
    char dirName[] = "/tmp/brimstead-unin-XXXXXX";
    dir_ = mkdtemp(dirName);
    std::ofstream(dir_ / "app.txt") << "app\n";
    std::ofstream(dir_ / "doc.txt") << "doc\n";
    fs::remove_all(Target());
  }
  void TearDown() override {
    e2e::Reg({"delete", e2e::kUninstallList + name_, "/f"});
    fs::remove_all(Target());
    fs::remove_all(dir_);
  }

  fs::path Target() const { return DriveC() / folder_; }
  std::string WindowsTarget() const { return "C:\\" + folder_; }

  // Builds and installs silently; extra goes into the project as it stands.
  void Install(const std::string& options, const std::string& extra = "") {
    std::ofstream(dir_ / "project.toml")
        << "[product]\nname = \"" << name_ << "\"\nversion = \"2.5.1\"\npublisher = \"Brimstead Tests\"\n"
        << "uninstall_folder = \"uninst\"\n"
        << "[options]\nuninstaller = true\n" << options << "\n"
        << "[[files]]\nsource = \"app.txt\"\n"
        << "[[files]]\nsource = \"doc.txt\"\ndestination = \"docs\\\\\"\n" << extra;
    const fs::path exe = dir_ / "setup.exe";
    const std::string build = e2e::Builder() + " build " + (dir_ / "project.toml").string() + " -o " +
                              exe.string() + " --engine " + e2e::TestEngine() + " -q";
    ASSERT_EQ(0, std::system(build.c_str())) << build;
    e2e::Launched run(e2e::ProgramCommandLine(exe.string(), "/silent /d:\"" + WindowsTarget() + "\""), false);
    ASSERT_EQ(1, run.wait(30000)) << run.output();
    ASSERT_TRUE(EntryExists(name_)) << "no uninstall entry";
  }

  // Runs the entry's command line (QuietUninstallString or UninstallString) as the system would.
  std::optional<int> RunEntryCommand(const std::string& value, bool withDisplay = false) {
    const std::optional<std::string> command = EntryValue(name_, value);
    EXPECT_TRUE(command) << value;
    if (!command) return std::nullopt;
    e2e::Launched run(*command, withDisplay);
    return run.wait(30000);
  }

  fs::path dir_;
  std::string name_ = "Uninstall Sample";
  std::string folder_ = "e2e-uninstall";
};

TEST_F(UninstallTest, InstallThenUninstallLeavesThePrefixAsItWas) {
  const std::set<std::string> filesBefore = DriveCListing();
  const std::string registryBefore = SoftwareRegistry();
  ASSERT_NO_FATAL_FAILURE(Install(""));
  ASSERT_TRUE(fs::exists(Target() / "uninst" / "Uninstall.DAT"));

  EXPECT_EQ(0, RunEntryCommand("QuietUninstallString"));
  EXPECT_FALSE(EntryExists(name_));
  EXPECT_FALSE(fs::exists(Target() / "app.txt"));
  EXPECT_FALSE(fs::exists(Target() / "docs"));
  EXPECT_TRUE(GoneWithin(Target(), 30)) << "the uninstaller and its folders stay after it has ended";

  const std::set<std::string> filesAfter = DriveCListing();
  std::vector<std::string> added, removed;
  std::set_difference(filesAfter.begin(), filesAfter.end(), filesBefore.begin(), filesBefore.end(),
                      std::back_inserter(added));
  std::set_difference(filesBefore.begin(), filesBefore.end(), filesAfter.begin(), filesAfter.end(),
                      std::back_inserter(removed));
  EXPECT_TRUE(added.empty()) << "left behind: " << added.front();
  EXPECT_TRUE(removed.empty()) << "removed what it did not install: " << removed.front();
  EXPECT_EQ(registryBefore, SoftwareRegistry());
}

TEST_F(UninstallTest, TheUninstallStringAsksFirstAndNoChangesNothing) {
  ASSERT_NO_FATAL_FAILURE(Install(""));
  const std::optional<std::string> command = EntryValue(name_, "UninstallString");
  ASSERT_TRUE(command);
  const std::string caption = name_ + " Uninstall";
  for (const char* answer : {"&No", "&Yes"}) {
    SCOPED_TRACE(answer);
    e2e::Launched run(*command, true);
    const std::optional<e2e::Window> box = e2e::WaitWindow(caption, "#32770");
    ASSERT_TRUE(box) << run.output();
    EXPECT_NE(std::string::npos, box->message().find("completely remove " + name_));
    ASSERT_TRUE(e2e::PressButton(caption, answer, "#32770"));
    if (std::string(answer) == "&No") {
      EXPECT_EQ(1, run.wait(20000));
      EXPECT_TRUE(fs::exists(Target() / "app.txt"));
      EXPECT_TRUE(EntryExists(name_));
    } else {
      EXPECT_EQ(0, run.wait(20000));
      EXPECT_FALSE(fs::exists(Target() / "app.txt"));
      EXPECT_FALSE(EntryExists(name_));
    }
  }
}

TEST_F(UninstallTest, AHeldFileStaysForASecondRunAndAUsersFileStaysForGood) {
  ASSERT_NO_FATAL_FAILURE(Install("quiet_uninstall = true"));
  std::ofstream(Target() / "docs" / "mine.txt") << "the user's\n";
  {
    // holdfile keeps the file open without sharing for its lifetime.
    const std::string command = "'" + e2e::WineRun() + "' '" + e2e::SupportDir() + "/holdfile.exe' '" +
                                WindowsTarget() + "\\app.txt' 60 2>&1";
    FILE* hold = popen(command.c_str(), "r");
    char line[64] = {};
    ASSERT_TRUE(hold && fgets(line, sizeof line, hold)) << "holdfile did not start";
    EXPECT_EQ(0, RunEntryCommand("QuietUninstallString"));
    EXPECT_TRUE(fs::exists(Target() / "app.txt"));
    EXPECT_FALSE(fs::exists(Target() / "docs" / "doc.txt"));
    EXPECT_TRUE(EntryExists(name_)) << "with a failure the entry stays";
    const std::string data = ReadFile(Target() / "uninst" / "Uninstall.DAT");
    std::vector<std::string> files;
    std::istringstream lines(data.substr(0, data.find("[Strings]")));
    for (std::string l; std::getline(lines, l);) {
      if (!l.empty() && l.back() == '\r') l.pop_back();
      if (!l.empty() && l[0] != '~') files.push_back(l);
    }
    EXPECT_EQ(std::vector<std::string>{WindowsTarget() + "\\app.txt"}, files) << data;
    // The holder ends when its input closes.
    e2e::RunWindowsProgram("taskkill", {"/f", "/im", "holdfile.exe"}, false);
    pclose(hold);
  }
  EXPECT_EQ(0, RunEntryCommand("QuietUninstallString"));
  EXPECT_FALSE(EntryExists(name_));
  EXPECT_FALSE(fs::exists(Target() / "app.txt"));
  EXPECT_TRUE(fs::exists(Target() / "docs" / "mine.txt")) << "a file the product did not install stays";
  EXPECT_TRUE(GoneWithin(Target() / "uninst", 30));
  EXPECT_TRUE(fs::exists(Target()));
}

TEST_F(UninstallTest, AListedProgramIsClosedBeforeItsFileGoes) {
  fs::copy_file(e2e::SupportDir() + "/window_owner.exe", dir_ / "owner.exe");
  struct Case {
    int action;
    int exitCode;  // window_owner's: 10 closed by WM_CLOSE, 0 when terminated
  } cases[] = {{0, 10}, {3, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    ASSERT_NO_FATAL_FAILURE(Install("quiet_uninstall = true",
                                    "[[files]]\nsource = \"owner.exe\"\n"
                                    "[[close_programs]]\nwindow_class = \"BsE2EOwner\"\nwindow_title = \"*\"\n"
                                    "name = \"Owner\"\naction = " + std::to_string(c.action) + "\nphases = 2\n"));
    e2e::Launched owner(e2e::ProgramCommandLine((Target() / "owner.exe").string(), "BsE2EOwner \"Owner Window\" 60"),
                        true, 90000);
    // The window is hidden, so the wait is for the program to be up and running.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ASSERT_TRUE(owner.running()) << owner.output();
    EXPECT_EQ(0, RunEntryCommand("QuietUninstallString", true));
    EXPECT_EQ(c.exitCode, owner.wait(10000)) << owner.output();
    EXPECT_FALSE(fs::exists(Target() / "owner.exe"));
    EXPECT_FALSE(EntryExists(name_));
    GoneWithin(Target(), 30);
    fs::remove_all(Target());
  }
}

// The new installer's hand-over (/r:) after a scripted removal of a product that restarts at its
// end: the program starts and Windows is not restarted on the user's behalf.
TEST_F(UninstallTest, AScriptedRemovalNeverRestartsAndStartsTheHandOver) {
  ASSERT_NO_FATAL_FAILURE(Install("quiet_uninstall = true\nuninstall_restarts = true"));
  const fs::path restart = dir_ / "restart.txt";
  const fs::path marker = DriveC() / "e2e-handover";
  fs::remove_all(marker);
  setenv("BRIMSTEAD_TEST_RESTART_FILE", e2e::WindowsPath(restart.string()).c_str(), 1);
  const std::optional<std::string> command = EntryValue(name_, "QuietUninstallString");
  ASSERT_TRUE(command);
  ASSERT_NE(std::string::npos, command->find("/a")) << *command;
  for (bool handOver : {false, true}) {
    SCOPED_TRACE(handOver);
    if (handOver) ASSERT_NO_FATAL_FAILURE(Install("quiet_uninstall = true\nuninstall_restarts = true"));
    const std::string args = handOver ? " /r:\"C:\\windows\\system32\\cmd.exe /c mkdir C:\\e2e-handover\"" : "";
    e2e::Launched run(*command + args, false);
    EXPECT_EQ(0, run.wait(30000)) << run.output();
    EXPECT_FALSE(EntryExists(name_));
    EXPECT_EQ("", ReadFile(restart)) << "a scripted removal asked for a restart";
  }
  for (int i = 0; i < 100 && !fs::exists(marker); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(fs::exists(marker)) << "the hand-over program did not run";
  unsetenv("BRIMSTEAD_TEST_RESTART_FILE");
  fs::remove_all(marker);
}

// The product removed by its installer run with /u: from a download folder: that program is not
// the uninstaller and stays. The batch is made anew in a folder of its own (which it removes at
// its end); a file at the batch's old fixed place is never opened.
TEST_F(UninstallTest, ARemovalRunFromElsewhereKeepsThatProgram) {
  ASSERT_NO_FATAL_FAILURE(Install("quiet_uninstall = true"));
  const fs::path downloads = DriveC() / "e2e-downloads";
  fs::remove_all(downloads);
  fs::create_directories(downloads);
  fs::copy_file(dir_ / "setup.exe", downloads / "setup.exe");
  const fs::path temp = WindowsTemp();
  ASSERT_TRUE(fs::is_directory(temp)) << temp;
  const fs::path fixed = temp / "delunins.bat";
  std::ofstream(fixed) << "canary\r\n";
  const std::set<std::string> before = PrivateFolders(temp);

  e2e::Launched run(e2e::ProgramCommandLine((downloads / "setup.exe").string(), "/u:\"" + name_ + "\" /a"), false);
  EXPECT_EQ(0, run.wait(30000)) << run.output();
  EXPECT_FALSE(EntryExists(name_));
  EXPECT_FALSE(fs::exists(Target() / "app.txt"));
  // Done once the batch has removed its own folder. Folders of earlier runs may go meanwhile.
  bool settled = false;
  for (int i = 0; i < 300 && !settled; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::set<std::string> now = PrivateFolders(temp);
    settled = i > 10 && std::includes(before.begin(), before.end(), now.begin(), now.end());
  }
  EXPECT_TRUE(settled) << "the batch's private folder stays";
  EXPECT_TRUE(fs::exists(downloads / "setup.exe")) << "the program run from elsewhere was deleted";
  EXPECT_EQ("canary\r\n", ReadFile(fixed));
  fs::remove(fixed);
  fs::remove_all(downloads);
}

// Stored data that went bad in one conditional deletion does not keep the product from going.
TEST_F(UninstallTest, AMalformedConditionalDeletionDoesNotStopTheRemoval) {
  ASSERT_NO_FATAL_FAILURE(Install("quiet_uninstall = true"));
  std::ofstream(Target() / "old.log") << "older\n";
  std::ofstream(Target() / "uninst" / "Uninstall.DAT", std::ios::app)
      << "\r\n\r\n[ConditionalDelete]\r\nold.log,2,not a date,8\r\n";
  EXPECT_EQ(0, RunEntryCommand("QuietUninstallString"));
  EXPECT_FALSE(EntryExists(name_));
  EXPECT_FALSE(fs::exists(Target() / "app.txt"));
  EXPECT_FALSE(fs::exists(Target() / "uninst" / "Uninstall.DAT"));
  EXPECT_TRUE(fs::exists(Target() / "old.log"));
}

// A recorded file whose folder has been replaced by a link to another folder is not deleted
// through it.
TEST_F(UninstallTest, AFileBehindALinkedFolderIsNotDeletedThroughIt) {
  ASSERT_NO_FATAL_FAILURE(Install("quiet_uninstall = true"));
  const fs::path elsewhere = DriveC() / "e2e-elsewhere";
  fs::remove_all(elsewhere);
  fs::create_directories(elsewhere);
  std::ofstream(elsewhere / "doc.txt") << "somebody else's\n";
  fs::remove_all(Target() / "docs");
  fs::create_directory_symlink(elsewhere, Target() / "docs");
  EXPECT_EQ(0, RunEntryCommand("QuietUninstallString"));
  EXPECT_FALSE(EntryExists(name_));
  EXPECT_FALSE(fs::exists(Target() / "app.txt"));
  EXPECT_EQ("somebody else's\n", ReadFile(elsewhere / "doc.txt"));
  fs::remove(Target() / "docs");
  fs::remove_all(elsewhere);
}

}  // namespace
