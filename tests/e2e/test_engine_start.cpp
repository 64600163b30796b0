#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/harness.h"

namespace {

using e2e::Launched;

constexpr char kFatalCaption[] = "FATAL ERROR - Brimstead Setup";
constexpr char kNoData[] =
    "This program performs installations and uninstallations.\r\n"
    "There is no installation data present.\r\n"
    "No uninstallation parameters were specified.\r\n\r\n"
    "You should not delete this program or execute it directly.";

// A box holds the run until its OK is pressed; then the run ends with the given code.
void ExpectBoxThenExit(Launched& run, const std::string& caption, int exitCode,
                       const std::function<void(const e2e::Window&)>& check) {
  std::optional<e2e::Window> box = e2e::WaitWindow(caption, "#32770");
  ASSERT_TRUE(box) << "no box; the run said: " << run.output();
  EXPECT_EQ(caption, box->caption);
  EXPECT_TRUE(box->hasButton("OK"));
  check(*box);
  EXPECT_TRUE(run.running()) << "the run must wait for the box";
  ASSERT_TRUE(e2e::PressButton(caption, "OK", "#32770"));
  EXPECT_EQ(exitCode, run.wait(20000)) << run.output();
}

TEST(EngineStart, WithoutDataShowsTheNoDataBoxAndExitsOne) {
  Launched run(e2e::EngineCommandLine(""), true);
  ExpectBoxThenExit(run, "Error", 1, [](const e2e::Window& box) { EXPECT_EQ(kNoData, box.message()); });
}

TEST(EngineStart, CommandLineErrorsShowTheUsageBoxAndExitMinusOne) {
  struct Case {
    const char* args;
    const char* heading;
  } cases[] = {
      {"/x", "Illegal command line atom:\r\nx"},
      {"install.txt", "Unexpected command line parameter:\r\ninstall.txt"},
      {"/u", "Product name required"},
      {"/a /Uninstall", "Product name required"},
  };
  bool first = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    Launched run(e2e::EngineCommandLine(c.args), true);
    ExpectBoxThenExit(run, kFatalCaption, -1, [&](const e2e::Window& box) {
      std::string expected = std::string(c.heading) + "\r\n\r\nUsage:\r\n" +
                             std::filesystem::path(e2e::TestEngine()).filename().string() + " [/a] ";
      EXPECT_EQ(expected, box.message().substr(0, expected.size()));
      EXPECT_NE(std::string::npos, box.message().find("/silent\tDisplay no user interface."));
      if (first && e2e::Screenshot(BRIMSTEAD_E2E_OUTPUT_DIR "/usage-box.xwd"))
        std::printf("screenshot: %s\n", BRIMSTEAD_E2E_OUTPUT_DIR "/usage-box.xwd");
      first = false;
    });
  }
}

TEST(EngineStart, UninstallOfAnUnknownProductSaysSoAndExitsZero) {
  Launched run(e2e::EngineCommandLine("/u:\"Nothing Here\""), true);
  ExpectBoxThenExit(run, "Error", 0, [](const e2e::Window& box) {
    EXPECT_EQ("No product named 'Nothing Here' is installed.", box.message());
  });
}

// An entry without its installation folder, in either registry view, is reported corrupt and
// nothing is done.
TEST(EngineStart, UninstallOfAnEntryWithoutFolderSaysItIsCorrupt) {
  const std::string key = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\E2E Listed";
  for (const char* view : {"/reg:64", "/reg:32"}) {
    SCOPED_TRACE(view);
    ASSERT_EQ(0, e2e::RunWindowsProgram("reg", {"add", key, "/f", view}, false).linuxStatus);
    Launched run(e2e::EngineCommandLine("/u:\"E2E Listed\""), true);
    ExpectBoxThenExit(run, "Error", 0, [](const e2e::Window& box) {
      EXPECT_EQ("The uninstall information for E2E Listed is corrupt.\r\n\r\nThe uninstallation cannot be performed.",
                box.message());
    });
    e2e::RunWindowsProgram("reg", {"delete", key, "/f", view}, false);
  }
}

// With the display on, a box would hold the run until the time runs out; ending promptly with
// the code shows that none was shown.
TEST(EngineStart, SilentRunsShowNothing) {
  struct Case {
    const char* args;
    int exitCode;
  } cases[] = {
      {"/silent /x", -1},
      {"/silent", 1},
      {"/SILENT /u", -1},
      // Automatic mode suppresses the plain error box (the product flag is unknown here).
      {"/a /u:\"Nothing Here\"", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    Launched run(e2e::EngineCommandLine(c.args), true, 15000);
    EXPECT_EQ(c.exitCode, run.wait(10000)) << run.output();
  }
}

TEST(EngineStart, ExitCodeMinusOneReachesLinuxAs255) {
  Launched run(e2e::EngineCommandLine("/silent /x"), false);
  ASSERT_EQ(-1, run.wait(10000));
  EXPECT_EQ(255, run.linuxStatus());
}

// The restart seam belongs to the tests' engine: the shipped engine must not hold the name of its
// variable, neither as 8-bit nor as UTF-16 text.
TEST(EngineStart, OnlyTheTestsEngineHoldsTheRestartSeam) {
  const std::string name = "BRIMSTEAD_TEST_RESTART_FILE";
  std::string wide;
  for (char c : name) wide += {c, '\0'};
  const std::string shipped = e2e::ReadFile(e2e::ShippedEngine());
  ASSERT_FALSE(shipped.empty()) << e2e::ShippedEngine();
  EXPECT_EQ(std::string::npos, shipped.find(name));
  EXPECT_EQ(std::string::npos, shipped.find(wide));
  // The search finds the seam where it is.
  EXPECT_NE(std::string::npos, e2e::ReadFile(e2e::TestEngine()).find(wide)) << e2e::TestEngine();
}

}  // namespace
