#include "setup/launch_process.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "lib/win32/handle.h"
#include "win/win_test_support.h"

namespace {

using namespace setup;
using vk::Streng;
using wintest::ReadAll;
using wintest::SupportProgram;
using wintest::TempFolder;

std::string U8(const Streng& s) { return vk::StrengToUtf8(s); }

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// What probe reported: working folder, show state ("-": none given), priority class, its path.
struct Report {
  std::string folder, show, priority, program;
};
Report ReadReport(const Streng& path) {
  const std::string text = ReadAll(path);
  Report r;
  size_t at = 0;
  for (std::string* field : {&r.folder, &r.show, &r.priority, &r.program}) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string::npos) return {text, "", "", ""};
    *field = text.substr(at, end - at);
    at = end + 2;
  }
  return r;
}

class LaunchProcessTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.created()) << "error " << folder_.error();
    // The probe copied into a folder whose name has a space, as programs often are.
    ASSERT_TRUE(CreateDirectoryW(vk::W(programDir_), nullptr));
    ASSERT_TRUE(CopyFileW(vk::W(SupportProgram(u"probe.exe")), vk::W(probe_), FALSE)) << U8(SupportProgram(u"probe.exe")) << ": " << GetLastError();
  }

  Streng Quoted(const Streng& s) const { return u"\"" + s + u"\""; }

  TempFolder folder_{u"bs_launch"};
  Streng programDir_ = folder_.path() + u"\\prog dir";
  Streng probe_ = programDir_ + u"\\probe.exe";
  Streng report_ = folder_.path() + u"\\report.txt";
};

TEST_F(LaunchProcessTest, WaitingReturnsTheExitCode) {
  for (uint32_t options : {LaunchOption::Wait, LaunchOption::Wait | LaunchOption::PumpMessages,
                           LaunchOption::Wait | LaunchOption::PumpMessages | LaunchOption::Hidden}) {
    uint32_t id = 0xDEADBEEF;
    EXPECT_EQ(LaunchProcess(Quoted(probe_) + u" 7", options, {}, &id), 7u) << std::hex << options;
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, 0xDEADBEEFu);
    EXPECT_EQ(LaunchProcess(Quoted(probe_) + u" -5", options), uint32_t(-5)) << std::hex << options;
  }
}

int ticks;
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { ++ticks; }

// Timer callbacks of the caller's thread run while it waits with pumping, and only then.
TEST_F(LaunchProcessTest, PumpingKeepsTheCallerResponsive) {
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, Tick);
  ASSERT_NE(timer, 0u);
  ticks = 0;
  EXPECT_EQ(LaunchProcess(Quoted(probe_) + u" --sleep 400 3", LaunchOption::Wait), 3u);
  EXPECT_EQ(ticks, 0) << "without pumping nothing is dispatched while waiting";
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {}  // the one WM_TIMER left over
  ticks = 0;
  EXPECT_EQ(LaunchProcess(Quoted(probe_) + u" --sleep 400 4", LaunchOption::Wait | LaunchOption::PumpMessages), 4u);
  EXPECT_GE(ticks, 2) << "the caller's timer should fire while the program runs";
  KillTimer(nullptr, timer);
}

// A quit request that arrives while the launcher pumps ends the pumping: the wait goes on without
// spinning on the request, which is still there for the caller's own loop.
TEST_F(LaunchProcessTest, QuitRequestStopsThePumping) {
  const auto cpuTime = [] {
    FILETIME created, exited, kernel, user;
    EXPECT_TRUE(GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user));
    const auto value = [](const FILETIME& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return (value(kernel) + value(user)) / 10000;  // milliseconds
  };
  PostQuitMessage(9);
  const uint64_t before = cpuTime();
  EXPECT_EQ(LaunchProcess(Quoted(probe_) + u" --sleep 2000 4", LaunchOption::Wait | LaunchOption::PumpMessages), 4u);
  const uint64_t spent = cpuTime() - before;
  EXPECT_LT(spent, 150u) << "milliseconds of processor time while the program slept";
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, UINT(WM_QUIT));
  EXPECT_EQ(msg.wParam, 9u);
}

// An unquoted program in a folder with a space is started as it stands, never as a shorter
// reading of its path: prog.exe beside "prog dir" is a decoy. A missing program starts nothing.
TEST_F(LaunchProcessTest, UnquotedProgramPathIsNotReadShorter) {
  ASSERT_TRUE(CopyFileW(vk::W(probe_), vk::W(folder_.path() + u"\\prog.exe"), FALSE)) << GetLastError();
  for (const Streng& program : {probe_, programDir_ + u"\\probe"}) {
    DeleteFileW(vk::W(report_));
    EXPECT_EQ(LaunchProcess(program + u" --report " + report_ + u" 5", LaunchOption::Wait), 5u) << U8(program);
    EXPECT_TRUE(wintest::EndsWithNoCase(vk::Utf8ToStreng(ReadReport(report_).program), u"\\prog dir\\probe.exe"))
        << U8(program) << " started " << ReadReport(report_).program;
  }
  DeleteFileW(vk::W(report_));
  const Streng missing = programDir_ + u"\\absent.exe --report " + report_ + u" 5";
  EXPECT_EQ(LaunchProcess(missing, LaunchOption::Wait), kLaunchFailed);
  EXPECT_EQ(ReadAll(report_), "<missing>");
}

TEST_F(LaunchProcessTest, NotWaitingReturnsNoExitCodeEvenForZero) {
  uint32_t id = 0;
  EXPECT_EQ(LaunchProcess(Quoted(probe_) + u" --report " + Quoted(report_) + u" 0", 0, {}, &id), kLaunchNoExitCode);
  ASSERT_NE(id, 0u);
  // It did start: it writes its report.
  vk::KernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
  if (process) WaitForSingleObject(process.get(), 10000);
  for (int i = 0; i < 100 && ReadAll(report_) == "<missing>"; ++i) Sleep(50);
  EXPECT_NE(ReadAll(report_), "<missing>");
}

// The error is the one the system gives for that command line.
TEST_F(LaunchProcessTest, MissingProgramFailsWithTheSystemError) {
  const auto systemError = [](Streng commandLine) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created = {};
    EXPECT_FALSE(CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(commandLine.data()), nullptr, nullptr, FALSE, 0,
                                nullptr, nullptr, &startup, &created));
    return GetLastError();
  };
  const Streng missingFolder = Quoted(folder_.path() + u"\\no such\\program.exe") + u" arg";
  const Streng missingFile = Quoted(programDir_ + u"\\absent.exe");
  for (const Streng& commandLine : {missingFolder, missingFile}) {
    const DWORD expected = systemError(commandLine);
    ASSERT_NE(expected, 0u);
    for (uint32_t options : {0u, uint32_t(LaunchOption::Wait), uint32_t(LaunchOption::Wait | LaunchOption::ErrorBox)}) {
      uint32_t id = 0xDEADBEEF;
      SetLastError(0xDEADBEEF);
      EXPECT_EQ(LaunchProcess(commandLine, options, {}, &id), kLaunchFailed) << U8(commandLine) << std::hex << options;
      EXPECT_EQ(GetLastError(), expected) << U8(commandLine) << std::hex << options;
      EXPECT_EQ(id, 0u) << "the id is cleared when nothing started";
    }
  }
  SetLastError(0);
  EXPECT_EQ(LaunchProcess({}, LaunchOption::Wait), kLaunchFailed);
  EXPECT_NE(GetLastError(), 0u);
}

// The program-folder option: the folder of the program, not of a path among the arguments;
// a given folder wins; without the option the caller's folder stays.
TEST_F(LaunchProcessTest, WorkingFolder) {
  const Streng other = folder_.path() + u"\\other";
  ASSERT_TRUE(CreateDirectoryW(vk::W(other), nullptr));
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  struct Case {
    const char* name;
    Streng commandLine;
    uint32_t options;
    Streng folder;
    Streng expected;
  } cases[] = {
      {"quoted program", Quoted(probe_) + u" --report " + Quoted(report_) + u" " + Quoted(other + u"\\x.txt"),
       LaunchOption::ProgramFolder, {}, programDir_},
      // An unquoted program with a space in its folder, found as the system finds it.
      {"unquoted program", probe_ + u" --report " + report_ + u" " + other + u"\\x.txt", LaunchOption::ProgramFolder,
       {}, programDir_},
      {"given folder wins", Quoted(probe_) + u" --report " + Quoted(report_), LaunchOption::ProgramFolder, other, other},
      {"without the option", Quoted(probe_) + u" --report " + Quoted(report_), 0, {}, vk::FromW(current)},
  };
  for (const Case& c : cases) {
    DeleteFileW(vk::W(report_));
    ASSERT_EQ(LaunchProcess(c.commandLine, c.options | LaunchOption::Wait, c.folder), 0u) << c.name;
    EXPECT_TRUE(wintest::EndsWithNoCase(vk::Utf8ToStreng(ReadReport(report_).folder), c.expected) ||
                wintest::EndsWithNoCase(vk::Utf8ToStreng(ReadReport(report_).folder), c.expected + u"\\"))
        << c.name << ": " << ReadReport(report_).folder;
  }
}

TEST_F(LaunchProcessTest, ShowStateAndPriorityReachTheProgram) {
  struct Case {
    uint32_t options;
    const char* show;
    DWORD priority;
  } cases[] = {
      {0x00, "-", NORMAL_PRIORITY_CLASS}, {0x10, "0", NORMAL_PRIORITY_CLASS}, {0x30, "3", NORMAL_PRIORITY_CLASS},
      {0x50, "6", NORMAL_PRIORITY_CLASS}, {0x04, "-", IDLE_PRIORITY_CLASS},   {0x0C, "-", HIGH_PRIORITY_CLASS},
  };
  for (const Case& c : cases) {
    DeleteFileW(vk::W(report_));
    uint32_t id = 0;
    ASSERT_EQ(LaunchProcess(Quoted(probe_) + u" --report " + Quoted(report_) + u" --sleep 300", c.options, {}, &id),
              kLaunchNoExitCode);
    vk::KernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, id));
    ASSERT_TRUE(process);
    // Known difference: Wine 8 starts every process in the normal class, whatever the flags ask
    // (the flags themselves are checked on the host).
    if (!UnderWine()) {
      EXPECT_EQ(GetPriorityClass(process.get()), c.priority) << std::hex << c.options;
    }
    WaitForSingleObject(process.get(), 10000);
    EXPECT_EQ(ReadReport(report_).show, c.show) << std::hex << c.options;
  }
}

TEST_F(LaunchProcessTest, DetachedScriptRunsInItsOwnFolder) {
  const Streng script = programDir_ + u"\\detached.bat";
  const Streng marker = programDir_ + u"\\marker.txt";
  {
    vk::FileHandle h(CreateFileW(vk::W(script), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(h);
    const std::string text = "@echo off\r\ncd > marker.tmp\r\nmove marker.tmp marker.txt >nul\r\n";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h.get(), text.data(), DWORD(text.size()), &written, nullptr));
  }
  ASSERT_TRUE(LaunchDetached(script));
  for (int i = 0; i < 200 && ReadAll(marker) == "<missing>"; ++i) Sleep(50);
  const std::string folder = ReadAll(marker);
  EXPECT_NE(folder.find("prog dir"), std::string::npos) << folder;
}

}  // namespace
