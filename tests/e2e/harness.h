#pragma once
// End-to-end harness: runs Windows programs under this tree's Wine prefix and reads and answers
// the windows they show through the test tools (launch, uidriver) of the Windows test tree.
//
// Exit codes: a Windows program's own exit code, as launch prints it (signed: -1 is -1). The
// Linux side of wine sees it cut to 8 bits (-1 arrives as 255); that value is in linuxStatus.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

// This tree's programs and paths.
std::string WineRun();
std::string TestEngine();  // Linux path of the engine under test: the tests' build, with its seam
std::string ShippedEngine();  // Linux path of the engine the product ships
std::string SupportDir();  // where launch.exe and uidriver.exe are
std::string WindowsPath(std::string_view linuxPath);  // "Z:\..." for an absolute path
std::string Builder();     // Linux path of the brimstead builder

// The prefix's drive C, and a whole file's bytes (empty when it cannot be read).
std::filesystem::path DriveC();
std::string ReadFile(const std::filesystem::path& path);

// The engine's literal command line: its quoted Windows path, then args as they stand.
std::string EngineCommandLine(std::string_view args);
// The same for another program (Linux path), such as an installer a test has built.
std::string ProgramCommandLine(std::string_view linuxPath, std::string_view args);

struct Output {
  int linuxStatus = -1;  // -1 when it did not end normally
  std::string out, err;
};

// Runs a Windows program (Linux path) with the given arguments and waits for it. Wine quotes each
// argument anew; for quotes inside arguments use Launched.
Output RunWindowsProgram(const std::string& program, const std::vector<std::string>& args,
                         bool withDisplay);

// A program started in the background through launch with a literal command line. The run is
// ended by launch itself after timeoutMs.
class Launched {
public:
  Launched(std::string commandLine, bool withDisplay, int timeoutMs = 30000);
  ~Launched();
  Launched(const Launched&) = delete;
  Launched& operator=(const Launched&) = delete;

  bool running();
  // The program's Windows exit code once it has ended within ms; nullopt when it still runs or
  // could not be started (see output()).
  std::optional<int> wait(int ms);
  const std::string& output() const { return output_; }
  int linuxStatus() const { return linuxStatus_; }

private:
  bool reap(bool block);

  int pid_ = -1;
  int timeoutMs_;
  std::string outFile_;
  std::string output_;
  int linuxStatus_ = -1;
  std::optional<int> exitCode_;
};

// reg.exe over the 64-bit registry view, where the engine keeps the list of installed programs: on
// 64-bit Windows a 32-bit reg.exe would otherwise see the 32-bit view.
Output Reg(std::vector<std::string> args);

// The list of installed programs; a value of a product's entry there as "reg query" prints it
// (nullopt when the value or the entry is missing); whether the entry is there.
inline constexpr char kUninstallList[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
std::optional<std::string> EntryValue(const std::string& product, const std::string& value);
bool EntryExists(const std::string& product);

struct Control {
  std::string cls;
  unsigned id = 0;
  std::string text;
};

struct Window {
  std::string caption, cls;
  std::vector<Control> controls;
  // A message box's text (its static control 65535), or empty.
  std::string message() const;
  bool hasButton(std::string_view text) const;
};

// The first visible top-level window whose caption contains title (and whose class is cls when
// that is given), as the UI driver reads it; nullopt when none appears within timeoutMs.
std::optional<Window> WaitWindow(const std::string& title, const std::string& cls = "",
                                 int timeoutMs = 30000);
bool PressButton(const std::string& title, const std::string& button, const std::string& cls = "");
bool CloseWindow(const std::string& title, const std::string& cls = "");

// A screenshot of the tree's display into file (xwd format); false when xwd is missing.
bool Screenshot(const std::string& file);

// Parses the UI driver's description (exposed for the harness's own checks).
std::optional<Window> ParseWindowDescription(std::string_view text);

}  // namespace e2e
