// Installers that refuse the running system: the box a user sees and the exit code.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "tests/e2e/harness.h"

namespace {

namespace fs = std::filesystem;

// A product name with a percent sign: the refusal texts are formats, and the name must come
// through them as it stands.
constexpr char kName[] = "100% Refusal";

fs::path BuildInstaller(const fs::path& dir, const std::string& name, const std::string& extra) {
  fs::create_directories(dir);
  std::ofstream(dir / "file.txt") << "file\n";
  std::ofstream toml(dir / (name + ".toml"));
  toml << "[product]\nname = \"" << kName << "\"\nversion = \"1.0\"\n" << extra
       << "\n[[files]]\nsource = \"file.txt\"\n";
  toml.close();
  const fs::path out = dir / (name + ".exe");
  const std::string command = e2e::Builder() + " build " + (dir / (name + ".toml")).string() + " -o " + out.string() +
                              " --engine " + e2e::TestEngine() + " -q";
  EXPECT_EQ(0, std::system(command.c_str())) << command;
  return out;
}

TEST(Refusals, TheRunningSystemIsRefusedWithItsTextAndExitCodeOne) {
  char dirName[] = "/tmp/brimstead-refusals-XXXXXX";
  const fs::path dir = mkdtemp(dirName);
  struct Case {
    const char* name;
    std::string project;
    std::string start, end;  // of the box's text
  };
  const Case cases[] = {
      {"minimum", "[system]\nminimum_windows = [99, 1]", std::string(kName) + " requires Windows", " or later."},
      {"excluded", "[system]\nexcluded_systems = 0xFFFFFFFF", std::string(kName) + " cannot be installed on ", "."},
      {"bitness", "bitness = \"32\"", "This version of " + std::string(kName) + " is for 32-bit Windows only",
       "cannot be installed on this computer."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path exe = BuildInstaller(dir, c.name, c.project);
    e2e::Launched run(e2e::ProgramCommandLine(exe.string(), ""), true, 45000);
    std::optional<e2e::Window> box = e2e::WaitWindow("Error", "#32770");
    ASSERT_TRUE(box) << "no box; the run said: " << run.output();
    const std::string message = box->message();
    EXPECT_EQ(message.rfind(c.start, 0), 0u) << message;
    EXPECT_TRUE(message.size() >= c.end.size() && message.compare(message.size() - c.end.size(), c.end.size(), c.end) == 0)
        << message;
    EXPECT_TRUE(e2e::PressButton("Error", "OK", "#32770"));
    EXPECT_EQ(1, run.wait(30000)) << run.output();

    e2e::Launched silent(e2e::ProgramCommandLine(exe.string(), "/silent"), true, 20000);
    EXPECT_EQ(1, silent.wait(15000)) << "a silent refusal shows nothing and exits 1: " << silent.output();
  }
  fs::remove_all(dir);
}

}  // namespace
