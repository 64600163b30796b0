#include "tests/e2e/harness.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace e2e {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::filesystem::path DriveC() { return std::filesystem::path(WineRun()).parent_path() / "wineprefix" / "drive_c"; }

namespace {

std::string TempFile() {
  char name[] = "/tmp/brimstead-e2e-XXXXXX";
  int fd = mkstemp(name);
  if (fd >= 0) close(fd);
  return name;
}

// Starts program with args, stdout and stderr into the files, stdin from /dev/null.
int Spawn(const std::vector<std::string>& argv, bool withDisplay, const std::string& outFile,
          const std::string& errFile) {
  pid_t pid = fork();
  if (pid != 0) return pid;
  if (withDisplay) setenv("BRIMSTEAD_WITH_DISPLAY", "1", 1);
  else unsetenv("BRIMSTEAD_WITH_DISPLAY");
  int in = open("/dev/null", O_RDONLY);
  int out = open(outFile.c_str(), O_WRONLY | O_TRUNC);
  int err = errFile == outFile ? out : open(errFile.c_str(), O_WRONLY | O_TRUNC);
  if (in < 0 || out < 0 || err < 0) _exit(126);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  _exit(127);
}

int StatusOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// Lines without the carriage returns that the Windows C runtime adds.
std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(start, end - start));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

std::string Unescaped(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char c = s[++i];
    out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
  }
  return out;
}

Output UiDriver(const std::vector<std::string>& args) {
  return RunWindowsProgram(SupportDir() + "/uidriver.exe", args, true);
}

std::vector<std::string> WindowArgs(const char* command, const std::string& title,
                                    const std::string& cls) {
  std::vector<std::string> args = {command};
  if (!title.empty()) args.insert(args.end(), {"--title", title});
  if (!cls.empty()) args.insert(args.end(), {"--class", cls});
  return args;
}

}  // namespace

std::string WineRun() { return BRIMSTEAD_E2E_WINE_RUN; }
std::string TestEngine() { return BRIMSTEAD_E2E_TEST_ENGINE; }
std::string ShippedEngine() { return BRIMSTEAD_E2E_SHIPPED_ENGINE; }
std::string SupportDir() { return BRIMSTEAD_E2E_SUPPORT_DIR; }

std::string WindowsPath(std::string_view linuxPath) {
  std::string path = "Z:";
  for (char c : linuxPath) path += c == '/' ? '\\' : c;
  return path;
}

std::string Builder() { return BRIMSTEAD_E2E_BUILDER; }

std::string EngineCommandLine(std::string_view args) { return ProgramCommandLine(TestEngine(), args); }

std::string ProgramCommandLine(std::string_view linuxPath, std::string_view args) {
  std::string line = "\"" + WindowsPath(linuxPath) + "\"";
  if (!args.empty()) line += " " + std::string(args);
  return line;
}

Output RunWindowsProgram(const std::string& program, const std::vector<std::string>& args,
                         bool withDisplay) {
  std::vector<std::string> argv = {WineRun(), program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string outFile = TempFile(), errFile = TempFile();
  Output result;
  int pid = Spawn(argv, withDisplay, outFile, errFile);
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid) result.linuxStatus = StatusOf(status);
  result.out = ReadFile(outFile);
  result.err = ReadFile(errFile);
  unlink(outFile.c_str());
  unlink(errFile.c_str());
  return result;
}

Output Reg(std::vector<std::string> args) {
  args.push_back("/reg:64");
  return RunWindowsProgram("reg", args, false);
}

std::optional<std::string> EntryValue(const std::string& product, const std::string& value) {
  const Output out = Reg({"query", kUninstallList + product, "/v", value});
  std::smatch m;
  const std::regex line("\\s+" + value + "\\s+REG_\\w+\\s+([^\\r\\n]*)");
  if (!std::regex_search(out.out, m, line)) return std::nullopt;
  return m[1].str();
}

bool EntryExists(const std::string& product) { return Reg({"query", kUninstallList + product}).linuxStatus == 0; }

Launched::Launched(std::string commandLine, bool withDisplay, int timeoutMs)
    : timeoutMs_(timeoutMs), outFile_(TempFile()) {
  pid_ = Spawn({WineRun(), SupportDir() + "/launch.exe", "--timeout", std::to_string(timeoutMs),
                std::move(commandLine)},
               withDisplay, outFile_, outFile_);
}

Launched::~Launched() {
  // launch ends the program after its time; only a launcher that hangs itself is killed.
  if (wait(timeoutMs_ + 10000) == std::nullopt && pid_ > 0) {
    kill(pid_, SIGKILL);
    reap(true);
  }
  unlink(outFile_.c_str());
}

bool Launched::reap(bool block) {
  if (pid_ <= 0) return true;
  int status = 0;
  if (waitpid(pid_, &status, block ? 0 : WNOHANG) != pid_) return false;
  pid_ = -1;
  linuxStatus_ = StatusOf(status);
  output_ = ReadFile(outFile_);
  for (const std::string& line : Lines(output_))
    if (line.rfind("exit=", 0) == 0) exitCode_ = std::atoi(line.c_str() + 5);
  return true;
}

bool Launched::running() { return !reap(false); }

std::optional<int> Launched::wait(int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!reap(false)) {
    if (std::chrono::steady_clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return exitCode_;
}

std::string Window::message() const {
  for (const Control& c : controls)
    if (c.cls == "Static" && c.id == 65535) return c.text;
  return {};
}

bool Window::hasButton(std::string_view text) const {
  for (const Control& c : controls)
    if (c.cls == "Button" && c.text == text) return true;
  return false;
}

std::optional<Window> ParseWindowDescription(std::string_view text) {
  Window w;
  bool any = false;
  for (const std::string& line : Lines(text)) {
    std::vector<std::string> f = Fields(line);
    if (f[0] == "caption" && f.size() == 2) {
      w.caption = Unescaped(f[1]);
      any = true;
    } else if (f[0] == "class" && f.size() == 2) {
      w.cls = Unescaped(f[1]);
    } else if (f[0] == "control" && f.size() == 4) {
      w.controls.push_back({Unescaped(f[1]), static_cast<unsigned>(std::stoul(f[2])), Unescaped(f[3])});
    }
  }
  if (!any) return std::nullopt;
  return w;
}

std::optional<Window> WaitWindow(const std::string& title, const std::string& cls, int timeoutMs) {
  std::vector<std::string> args = WindowArgs("wait-window", title, cls);
  args.insert(args.end(), {"--timeout", std::to_string(timeoutMs)});
  Output out = UiDriver(args);
  if (out.linuxStatus != 0) return std::nullopt;
  return ParseWindowDescription(out.out);
}

bool PressButton(const std::string& title, const std::string& button, const std::string& cls) {
  std::vector<std::string> args = WindowArgs("press", title, cls);
  args.insert(args.end(), {"--button", button});
  return UiDriver(args).linuxStatus == 0;
}

bool CloseWindow(const std::string& title, const std::string& cls) {
  return UiDriver(WindowArgs("close", title, cls)).linuxStatus == 0;
}

bool Screenshot(const std::string& file) {
  if (access("/usr/bin/xwd", X_OK) != 0) return false;
  std::string display = ":";  // (not ":" + ..., which trips a false -Wrestrict warning in GCC 12)
  display += std::to_string(BRIMSTEAD_E2E_XDISPLAY);
  std::string errFile = TempFile();
  int pid = Spawn({"/usr/bin/xwd", "-root", "-display", display, "-out", file}, false, errFile, errFile);
  int status = 0;
  bool ok = pid > 0 && waitpid(pid, &status, 0) == pid && StatusOf(status) == 0;
  unlink(errFile.c_str());
  return ok;
}

}  // namespace e2e
