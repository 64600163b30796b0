// What an installation leaves for its uninstallation: Uninstall.DAT in the uninstall data folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/e2e/harness.h"

namespace {

namespace fs = std::filesystem;
using e2e::DriveC;
using e2e::ReadFile;

TEST(UninstallData, AnInstallationWithAnUninstallerRecordsWhatItCreated) {
  char dirName[] = "/tmp/brimstead-udat-XXXXXX";
  const fs::path dir = mkdtemp(dirName);
  std::ofstream(dir / "app.txt") << "app\n";
  std::ofstream(dir / "doc.txt") << "doc\n";
  std::ofstream(dir / "project.toml")
      << "[product]\nname = \"Data Sample \u00C4\"\nversion = \"1.0\"\nuninstall_folder = \"uninst\"\n"
      << "[options]\nuninstaller = true\n"
      << "[[files]]\nsource = \"app.txt\"\n"
      << "[[files]]\nsource = \"doc.txt\"\ndestination = \"docs\\\\\"\n"
      << "[[files]]\nsource = \"doc.txt\"\nname = \"kept.txt\"\npermanent = true\n";
  const fs::path exe = dir / "setup.exe";
  const std::string build = e2e::Builder() + " build " + (dir / "project.toml").string() + " -o " + exe.string() +
                            " --engine " + e2e::TestEngine() + " -q";
  ASSERT_EQ(0, std::system(build.c_str())) << build;

  const fs::path target = DriveC() / "e2e-udat";
  fs::remove_all(target);
  e2e::Launched run(e2e::ProgramCommandLine(exe.string(), "/silent /d:\"C:\\e2e-udat\""), false, 30000);
  ASSERT_EQ(1, run.wait(30000)) << run.output();

  const std::string data = ReadFile(target / "uninst" / "Uninstall.DAT");
  ASSERT_FALSE(data.empty()) << "no Uninstall.DAT in the uninstall data folder";
  // Files and folders in the order they were made; the permanent file is not there.
  const size_t app = data.find("C:\\e2e-udat\\app.txt\r\n");
  const size_t folder = data.find("~C:\\e2e-udat\\docs\r\n");
  const size_t doc = data.find("C:\\e2e-udat\\docs\\doc.txt\r\n");
  EXPECT_NE(app, std::string::npos) << data;
  EXPECT_NE(folder, std::string::npos) << data;
  EXPECT_NE(doc, std::string::npos) << data;
  EXPECT_LT(app, folder);
  EXPECT_LT(folder, doc) << "a folder is recorded before the file in it";
  EXPECT_EQ(data.find("kept.txt"), std::string::npos) << data;
  EXPECT_NE(data.find("[Strings]"), std::string::npos) << data;
  EXPECT_NE(data.find("Data Sample"), std::string::npos) << "the product name goes with the texts";
  fs::remove_all(target);
  fs::remove_all(dir);
}

}  // namespace
