// Where an installation goes under Wine: a folder kept in the registry, the folder of a master
// product, and the folder page with its refusals and questions.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/e2e/harness.h"

namespace {

namespace fs = std::filesystem;
using e2e::DriveC;
using e2e::ReadFile;

constexpr char kFolderKey[] = "HKCU\\Software\\Brimstead E2E\\Folders";

class InstallFolderTest : public ::testing::Test {
protected:
  void SetUp() override {
    char dirName[] = "/tmp/brimstead-folder-XXXXXX";
    dir_ = mkdtemp(dirName);
    std::ofstream(dir_ / "app.txt") << "app\n";
    Clean();
  }
  void TearDown() override {
    Clean();
    fs::remove_all(dir_);
  }
  void Clean() {
    for (const char* name : {"Folder Sample", "Folder Master"}) e2e::Reg({"delete", e2e::kUninstallList + std::string(name), "/f"});
    e2e::Reg({"delete", "HKCU\\Software\\Brimstead E2E", "/f"});
    for (const char* folder : {"e2e-folder", "e2e-folder-master", "e2e-folder-new"}) fs::remove_all(DriveC() / folder);
    for (const char* programFiles : {"Program Files", "Program Files (x86)"})
      for (const std::string& folder : {std::string("E2E Relative"), name_})
        fs::remove_all(DriveC() / programFiles / folder);
  }

  fs::path Build(const std::string& name, const std::string& product, const std::string& rest = "") {
    std::ofstream(dir_ / (name + ".toml"))
        << "[product]\nname = \"" << name_ << "\"\nversion = \"1.0\"\n" << product
        << "\n[options]\nno_completion_notice = true\nno_background_window = true\n" << rest
        << "\n[[files]]\nsource = \"app.txt\"\n";
    const fs::path exe = dir_ / (name + ".exe");
    const std::string build = e2e::Builder() + " build " + (dir_ / (name + ".toml")).string() + " -o " +
                              exe.string() + " --engine " + e2e::TestEngine() + " -q";
    EXPECT_EQ(0, std::system(build.c_str())) << build;
    return exe;
  }

  // A run that ends on its own; with windows, the one error box it shows is read and closed.
  std::string RunToEnd(const fs::path& exe, const std::string& args, bool expectBox) {
    e2e::Launched run(e2e::ProgramCommandLine(exe.string(), args), true, 60000);
    std::string message;
    if (expectBox) {
      const std::optional<e2e::Window> box = e2e::WaitWindow("Error", "#32770");
      EXPECT_TRUE(box) << run.output();
      if (box) message = box->message();
      EXPECT_TRUE(e2e::PressButton("Error", "OK", "#32770"));
    }
    EXPECT_EQ(1, run.wait(40000)) << run.output();
    return message;
  }

  fs::path dir_;
  std::string name_ = "Folder Sample";
};

TEST_F(InstallFolderTest, AFolderKeptInTheRegistryMustBeThereAndExist) {
  const fs::path exe = Build("registry", std::string("install_folder = '") + kFolderKey + "\\Path'");
  const std::string reference = std::string(kFolderKey) + "\\Path";
  EXPECT_EQ("Failed to obtain installation path from \"" + reference + "\"", RunToEnd(exe, "", true));

  e2e::Reg({"add", kFolderKey, "/v", "Path", "/t", "REG_SZ", "/d", "C:\\e2e-folder", "/f"});
  EXPECT_EQ("Installation path \"C:\\e2e-folder\" obtained from \"" + reference + "\" does not exist.",
            RunToEnd(exe, "/d:\"C:\\e2e-folder-new\"", true));
  EXPECT_FALSE(fs::exists(DriveC() / "e2e-folder-new"));

  fs::create_directories(DriveC() / "e2e-folder");
  RunToEnd(exe, "/silent", false);
  EXPECT_EQ("app\n", ReadFile(DriveC() / "e2e-folder" / "app.txt"));
}

// A relative /d: folder keeps the user's path under Program Files (the engine's own, which one
// depends on the build under test), instead of the product's default name there.
TEST_F(InstallFolderTest, ARelativeFolderOnTheCommandLineGoesUnderProgramFilesAsGiven) {
  const fs::path exe = Build("relative", "");
  RunToEnd(exe, "/silent /d:\"E2E Relative\\Sub\"", false);
  int found = 0;
  for (const char* programFiles : {"Program Files", "Program Files (x86)"}) {
    found += ReadFile(DriveC() / programFiles / "E2E Relative" / "Sub" / "app.txt") == "app\n";
    EXPECT_FALSE(fs::exists(DriveC() / programFiles / name_)) << programFiles;
  }
  EXPECT_EQ(1, found);
}

TEST_F(InstallFolderTest, AMasterProductMustBeInstalledInItsVersionAndLendsItsFolder) {
  const std::string master = "[master]\nname = \"Folder Master\"\ntitle = \"The Master\"\nminimum_version = \"2.0\"\n";
  const fs::path exe = Build("addon", "install_folder = '<master>'", master);
  EXPECT_EQ("Folder Sample requires The Master, which is not installed on this computer.\r\n\r\n"
            "Please install it first, then run this Setup again.",
            RunToEnd(exe, "", true));

  const std::string entry = e2e::kUninstallList + std::string("Folder Master");
  for (const auto& [value, data] : {std::pair<std::string, std::string>{"UninstallString", "uninstall.exe"},
                                    {"DisplayVersion", "1.5"}, {"InstallLocation", "C:\\e2e-folder-master"}})
    e2e::Reg({"add", entry, "/v", value, "/t", "REG_SZ", "/d", data, "/f"});
  EXPECT_EQ("Folder Sample requires version 2.0 or later of The Master.\r\n\r\n"
            "Please update it first, then run this Setup again.",
            RunToEnd(exe, "", true));
  RunToEnd(exe, "/silent", false);
  EXPECT_FALSE(fs::exists(DriveC() / "e2e-folder-master" / "app.txt"));

  e2e::Reg({"add", entry, "/v", "DisplayVersion", "/t", "REG_SZ", "/d", "2.0", "/f"});
  RunToEnd(exe, "/silent", false);
  EXPECT_EQ("app\n", ReadFile(DriveC() / "e2e-folder-master" / "app.txt"));
}

// The folder page comes back after each refusal until the user settles or cancels.
TEST_F(InstallFolderTest, TheFolderPageRefusesADriveRootAndAsksBeforeCreatingAFolder) {
  const fs::path exe = Build("page", "", "folder_page = true");
  {
    e2e::Launched run(e2e::ProgramCommandLine(exe.string(), "/d:\"C:\\\""), true, 60000);
    ASSERT_TRUE(e2e::WaitWindow("Choose Installation Folder", "#32770")) << run.output();
    ASSERT_TRUE(e2e::PressButton("Choose Installation Folder", "OK", "#32770"));
    const std::optional<e2e::Window> refusal = e2e::WaitWindow(name_ + " Setup", "#32770");
    ASSERT_TRUE(refusal) << run.output();
    EXPECT_NE(std::string::npos, refusal->message().find("root folder of a drive")) << refusal->message();
    ASSERT_TRUE(e2e::PressButton(name_ + " Setup", "OK", "#32770"));
    ASSERT_TRUE(e2e::WaitWindow("Choose Installation Folder", "#32770")) << "the page comes back";
    ASSERT_TRUE(e2e::PressButton("Choose Installation Folder", "Cancel", "#32770"));
    ASSERT_TRUE(e2e::WaitWindow("Cancelled", "#32770")) << run.output();
    EXPECT_TRUE(e2e::PressButton("Cancelled", "OK", "#32770"));
    EXPECT_EQ(1, run.wait(20000)) << run.output();
  }
  e2e::Launched run(e2e::ProgramCommandLine(exe.string(), "/d:\"C:\\e2e-folder-new\\\""), true, 60000);
  const std::optional<e2e::Window> page = e2e::WaitWindow("Choose Installation Folder", "#32770");
  ASSERT_TRUE(page) << run.output();
  EXPECT_NE(std::string::npos, page->message().find("C:\\e2e-folder-new")) << page->message();
  ASSERT_TRUE(e2e::PressButton("Choose Installation Folder", "OK", "#32770"));
  const std::optional<e2e::Window> question = e2e::WaitWindow(name_ + " Setup", "#32770");
  ASSERT_TRUE(question) << run.output();
  EXPECT_NE(std::string::npos, question->message().find("C:\\e2e-folder-new\r\ndoes not exist.")) << question->message();
  ASSERT_TRUE(e2e::PressButton(name_ + " Setup", "&Yes", "#32770"));
  EXPECT_EQ(1, run.wait(30000)) << run.output();
  EXPECT_EQ("app\n", ReadFile(DriveC() / "e2e-folder-new" / "app.txt"));
}

}  // namespace
