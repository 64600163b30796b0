// An installer started from a folder where a web page has dropped DLLs named like system DLLs (a
// Downloads folder, say) must load none of them: not when it installs silently, not when it shows
// its windows, not when it uninstalls with /u: from there. Wine is told to prefer such native DLLs
// over its own, as Windows takes a DLL from the program's folder before the system folder; a small
// program that loads one by its bare name shows that a planted DLL would be seen.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kPlantedNames = {
    "version", "uxtheme", "dwmapi",  "propsys", "cryptbase", "winmm",   "msimg32",  "riched20", "msftedit",
    "comctl32", "dbghelp", "wininet", "srclient", "msi",     "userenv", "profapi",  "secur32",  "netapi32",
    "wintrust", "crypt32", "hnetcfg", "apphelp",  "oleacc",  "cabinet", "zlib1",    "setupapi", "sspicli",
    "shcore",  "wldp",    "textshaping", "windows.storage", "edputil", "ntmarta", "iertutil", "urlmon"};

class DllPlantingTest : public ::testing::Test {
protected:
  void SetUp() override {
    char name[] = "/tmp/brimstead-planted-XXXXXX";
    project_ = mkdtemp(name);
    fs::remove_all(Downloads());
    fs::remove_all(e2e::DriveC() / kTarget);
    fs::create_directories(Downloads());
    const fs::path support = e2e::SupportDir();
    for (const std::string& dll : kPlantedNames) fs::copy_file(support / "planted.dll", Downloads() / (dll + ".dll"));
    fs::copy_file(support / "loadbare.exe", Downloads() / "loadbare.exe");

    std::ofstream(project_ / "app.txt") << "app\n";
    std::ofstream(project_ / "project.toml")
        << "[product]\nname = \"" << kProduct << "\"\nversion = \"1.0\"\npublisher = \"Brimstead Tests\"\n"
        << "uninstall_folder = \"uninst\"\n[options]\nuninstaller = true\n[[files]]\nsource = \"app.txt\"\n";
    const std::string build = e2e::Builder() + " build " + (project_ / "project.toml").string() + " -o " +
                              (Downloads() / "setup.exe").string() + " --engine " + e2e::TestEngine() + " -q";
    ASSERT_EQ(0, std::system(build.c_str())) << build;

    std::string overrides;
    for (const std::string& dll : kPlantedNames) overrides += (overrides.empty() ? "" : ",") + dll;
    setenv("WINEDLLOVERRIDES", (overrides + "=n,b").c_str(), 1);
  }

  void TearDown() override {
    unsetenv("WINEDLLOVERRIDES");
    e2e::Reg({"delete", std::string(e2e::kUninstallList) + kProduct, "/f"});
    std::error_code ec;
    fs::remove_all(Downloads(), ec);
    fs::remove_all(e2e::DriveC() / kTarget, ec);
    fs::remove_all(project_, ec);
  }

  static fs::path Downloads() { return e2e::DriveC() / "e2e-planted"; }

  // The planted DLLs that some run has loaded, each removed once seen.
  static std::vector<std::string> TakeLoaded() {
    std::vector<std::string> loaded;
    for (const auto& entry : fs::directory_iterator(Downloads())) {
      if (entry.path().extension() != ".loaded") continue;
      loaded.push_back(entry.path().stem().string());
      fs::remove(entry.path());
    }
    return loaded;
  }

  static std::string Joined(const std::vector<std::string>& names) {
    std::string all;
    for (const std::string& n : names) all += " " + n;
    return all;
  }

  static constexpr char kProduct[] = "Planted Sample";
  static constexpr char kTarget[] = "e2e-planted-target";
  fs::path project_;
};

TEST_F(DllPlantingTest, NoRunLoadsADllFromTheInstallersFolder) {
  const std::string installer = (Downloads() / "setup.exe").string();
  const std::string folder = "/d:\"C:\\" + std::string(kTarget) + "\"";

  // The control: a bare name is found in the program's folder first.
  {
    e2e::Launched control(e2e::ProgramCommandLine((Downloads() / "loadbare.exe").string(), "version.dll"), false);
    ASSERT_EQ(0, control.wait(20000)) << control.output();
    EXPECT_EQ(std::vector<std::string>{"version.dll"}, TakeLoaded()) << "the planted DLL is not preferred here";
  }

  {
    e2e::Launched run(e2e::ProgramCommandLine(installer, "/silent " + folder), false);
    ASSERT_EQ(1, run.wait(60000)) << run.output();
    ASSERT_TRUE(fs::exists(e2e::DriveC() / kTarget / "app.txt")) << "the silent run did not install";
    EXPECT_EQ("", Joined(TakeLoaded())) << "loaded by the silent installation";
  }

  {
    // A folder that is gone makes the next run a fresh one, without the upgrade question.
    fs::remove_all(e2e::DriveC() / kTarget);
    e2e::Launched run(e2e::ProgramCommandLine(installer, folder), true);
    const std::optional<e2e::Window> box = e2e::WaitWindow("Installation Complete", "#32770");
    ASSERT_TRUE(box) << "no completion notice; the run said: " << run.output();
    EXPECT_TRUE(e2e::PressButton("Installation Complete", "OK", "#32770"));
    ASSERT_EQ(1, run.wait(20000)) << run.output();
    EXPECT_EQ("", Joined(TakeLoaded())) << "loaded by the installation with windows";
  }

  {
    e2e::Launched run(e2e::ProgramCommandLine(installer, std::string("/a /u:\"") + kProduct + "\""), false);
    EXPECT_EQ(0, run.wait(60000)) << run.output();
    EXPECT_FALSE(fs::exists(e2e::DriveC() / kTarget / "app.txt")) << "the uninstallation did not run";
    EXPECT_EQ("", Joined(TakeLoaded())) << "loaded by the uninstallation";
  }
}

}  // namespace
