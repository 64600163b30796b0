#include "setup/batch_runner.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "lib/win32/handle.h"
#include "setup/core/macros.h"
#include "setup/engine_macros.h"
#include "setup/install_context.h"
#include "setup/install_log.h"
#include "setup/system_folders.h"
#include "win/win_test_support.h"

namespace {

using namespace setup;
using vk::Streng;
using wintest::Exists;
using wintest::ReadAll;
using wintest::SupportProgram;
using wintest::TempFolder;

std::string U8(const Streng& s) { return vk::StrengToUtf8(s); }

void WriteText(const Streng& path, const std::string& text) {
  vk::FileHandle file(CreateFileW(vk::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(file.valid()) << U8(path);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(file.get(), text.data(), DWORD(text.size()), &written, nullptr));
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Ends the test program when a batch hangs (a PAUSE that nobody can answer), so that the
// failure shows instead of a run that never ends.
class Watchdog {
public:
  explicit Watchdog(DWORD ms) : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = std::thread([this, ms] {
      if (WaitForSingleObject(event_.get(), ms) == WAIT_TIMEOUT) {
        std::fprintf(stderr, "the batch did not end within %lu ms\n", ms);
        TerminateProcess(GetCurrentProcess(), 99);
      }
    });
  }
  ~Watchdog() {
    SetEvent(event_.get());
    thread_.join();
  }

private:
  vk::KernelHandle event_;
  std::thread thread_;
};

// The installation folder of the context is a scratch folder; the running log is open.
class BatchRunnerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.created()) << "error " << folder_.error();
    InstallContext& c = Context();
    c.installDir = folder_.path();
    c.silentMode = false;
    c.automaticMode = false;
    c.settings.ProductName = u"Demo M\u00fcller 50%";
    c.settings.DisplayVersion = u"2.5.1";
    if (!RunningLog().IsOpen()) {
      ASSERT_TRUE(OpenRunningLog());
    }
  }

  static std::string Log() { return ReadAll(RunningLog().Path()); }
  Streng In(const char16_t* name) const { return folder_.path() + u"\\" + name; }

  TempFolder folder_{u"bs_batch"};
};

// The script sees the installer's variables, and runs in the installation folder. "set NAME"
// shows a value as the interpreter holds it ("echo" would take "6>>" for a redirection).
TEST_F(BatchRunnerTest, VariablesAndWorkingFolder) {
  Context().settings.Publisher = u"Acme 100%";
  const std::string script =
      "set InstallDir> vars.txt\r\n"
      "set CompanyName>> vars.txt\r\n"
      "set Version>> vars.txt\r\n"
      "set Automatic>> vars.txt\r\n"
      "set OSMajor>> vars.txt\r\n"
      "cd >> vars.txt\r\n"
      "copy SETUPBAT.BAT ran.txt >nul\r\n";
  ASSERT_TRUE(RunBatch(script, true));
  const std::string dir = U8(folder_.path());
  EXPECT_EQ(ReadAll(In(u"vars.txt")), "InstallDir=" + dir + "\r\nCompanyName=Acme 100%\r\nVersion=2.5.1\r\n"
                                      "Automatic=0\r\nOSMajor=" + U8(*MacroValue(u"OSMajor", EngineMacroValues())) +
                                      "\r\n" + dir + "\r\n");
  // The file that ran: UTF-8 for the umlaut on this system (Wine's interpreter does not take
  // "chcp 65001" in a hidden batch, so the value is checked here rather than in its output).
  const std::string ran = ReadAll(In(u"ran.txt"));
  EXPECT_EQ(ran.rfind("@chcp 65001 >nul\r\n@echo off\r\nSET Automatic=0\r\nSET \"InstallDir=" + dir + "\"\r\n", 0), 0u)
      << ran;
  EXPECT_NE(ran.find("SET \"ProductName=Demo M\xC3\xBCller 50%%\"\r\n"), std::string::npos) << ran;
  EXPECT_FALSE(Exists(In(u"SETUPBAT.BAT"))) << "the batch file goes after the run";
}

// A hidden batch cannot be answered: its PAUSE lines go, and the run ends.
TEST_F(BatchRunnerTest, HiddenBatchDropsPause) {
  Watchdog watchdog(60000);
  ASSERT_TRUE(RunBatch("pause\r\n  @ PAUSE  \r\necho done> done.txt\r\n", true));
  EXPECT_EQ(ReadAll(In(u"done.txt")), "done\r\n");
}

TEST_F(BatchRunnerTest, TitledOutputFollowsItsAnnouncement) {
  ASSERT_TRUE(RunBatch("echo hello from the batch\necho.\r\necho.", false, u"Pre-Installation Batch"));
  const std::string log = Log();
  EXPECT_TRUE(EndsWith(log, "\r\nRunning Pre-Installation Batch...\r\nhello from the batch\r\n\r\n")) << log;
  EXPECT_FALSE(Exists(In(u"SETUPBAT.BAT")));
  EXPECT_FALSE(Exists(In(u"bs_batch.log")));

  // Output that is only white space adds nothing after the announcement.
  ASSERT_TRUE(RunBatch("echo.\r\necho.", true, u"Post-Installation Batch"));
  const std::string quiet = Log();
  EXPECT_TRUE(EndsWith(quiet, "\r\nRunning Post-Installation Batch...\r\n")) << quiet;

  // Without a title nothing is announced or captured.
  ASSERT_TRUE(RunBatch("echo not for the log", true));
  EXPECT_EQ(Log(), quiet);
}

TEST_F(BatchRunnerTest, EmptyScriptRunsNothing) {
  const std::string before = Log();
  EXPECT_TRUE(RunBatch("", false, u"Pre-Installation Batch"));
  EXPECT_EQ(Log(), before);
  EXPECT_FALSE(Exists(In(u"SETUPBAT.BAT")));
}

// Without the installation folder (a first installation's Pre-Installation Batch) the files go
// to the temporary folder, and the batch runs there.
TEST_F(BatchRunnerTest, MissingInstallFolderUsesTheTemporaryFolder) {
  Context().installDir = In(u"not yet");
  const Streng report = In(u"where.txt");
  ASSERT_TRUE(RunBatch("cd > \"" + U8(report) + "\"", true, u"Pre-Installation Batch"));
  const std::string where = ReadAll(report);
  EXPECT_TRUE(wintest::EndsWithNoCase(vk::Utf8ToStreng(where), TemporaryFolder() + u"\r\n") ||
              wintest::EndsWithNoCase(vk::Utf8ToStreng(where), TemporaryFolder() + u"\\\r\n"))
      << where << " / " << U8(TemporaryFolder());
  EXPECT_FALSE(Exists(In(u"not yet")));
  EXPECT_FALSE(Exists(TemporaryFolder() + u"\\SETUPBAT.BAT"));
}

// The installation folder may be writable by everyone: while the batch runs, nobody else may
// change or replace its file, though it may be read.
TEST_F(BatchRunnerTest, BatchFileIsNotWritableWhileItRuns) {
  const Streng batch = In(u"SETUPBAT.BAT");
  std::atomic<bool> stop{false};
  struct Seen {
    bool started = false;
    DWORD writeError = 0, deleteError = 0;
    bool readable = false;
  } seen;
  std::thread other([&] {
    while (!stop && !Exists(In(u"started.txt"))) Sleep(10);
    if (stop) return;
    seen.started = true;
    HANDLE h = CreateFileW(vk::W(batch), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    seen.writeError = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    seen.deleteError = DeleteFileW(vk::W(batch)) ? 0 : GetLastError();
    vk::FileHandle r(CreateFileW(vk::W(batch), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, 0, nullptr));
    seen.readable = r.valid();
  });
  const std::string script = "echo x> started.txt\r\n\"" + U8(SupportProgram(u"probe.exe")) + "\" --sleep 1500\r\n";
  const bool ran = RunBatch(script, true);
  stop = true;
  other.join();
  ASSERT_TRUE(ran);
  ASSERT_TRUE(seen.started);
  EXPECT_EQ(seen.writeError, DWORD(ERROR_SHARING_VIOLATION));
  EXPECT_NE(seen.deleteError, 0u);
  EXPECT_TRUE(seen.readable);
  EXPECT_FALSE(Exists(batch));
}

// ComSpec names the interpreter only as an absolute path to an existing file; otherwise the
// system folder's cmd.exe runs the batch (a bare "cmd.exe" would be looked for in the working
// folder, which an installation folder may let anybody fill).
TEST_F(BatchRunnerTest, InterpreterFromComSpecOnlyWhenAbsoluteAndThere) {
  wchar_t saved[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"ComSpec", saved, MAX_PATH);
  ASSERT_TRUE(n > 0 && n < MAX_PATH);
#ifdef _WIN64
  const Streng system = FolderPath(SystemFolder::System) + u"\\cmd.exe";
#else
  const Streng system = ShellFolderPath(0x29 /* the 32-bit system folder */) + u"\\cmd.exe";
#endif
  const Streng present = In(u"other-cmd.exe");
  WriteText(present, "x");
  struct Case {
    Streng comSpec;
    Streng expected;
  } cases[] = {
      {vk::FromW(saved), vk::FromW(saved)},
      {present, present},
      {In(u"no-cmd.exe"), system},
      {u"cmd.exe", system},
      {u"..\\cmd.exe", system},
      {folder_.path(), system},  // a folder is no program
      {u"", system},
  };
  for (const Case& c : cases) {
    SetEnvironmentVariableW(L"ComSpec", c.comSpec.empty() ? nullptr : vk::W(c.comSpec));
    EXPECT_TRUE(vk::EqualsNoCase(CommandInterpreterPath(), c.expected))
        << U8(c.comSpec) << " gave " << U8(CommandInterpreterPath());
  }
  // With a bare name the batch still runs, through the system's interpreter.
  SetEnvironmentVariableW(L"ComSpec", L"cmd.exe");
  const bool ran = RunBatch("echo x> x.txt", true, u"Upgrade Batch");
  SetEnvironmentVariableW(L"ComSpec", saved);
  EXPECT_TRUE(ran);
  EXPECT_EQ(ReadAll(In(u"x.txt")), "x\r\n");
}

// The capture file is made new: a link left under its name is never written through, even one
// that cannot be deleted first.
TEST_F(BatchRunnerTest, CaptureFileIsNeverALinkToAnotherFile) {
  TempFolder elsewhere(u"bs_batch_elsewhere");
  const Streng precious = elsewhere.path() + u"\\precious.txt";
  WriteText(precious, "keep me");
  const Streng capture = In(u"bs_batch.log");
  // (Wine's CreateSymbolicLinkW reports success and makes nothing.)
  if (!CreateSymbolicLinkW(vk::W(capture), vk::W(precious), 0) || !Exists(capture))
    GTEST_SKIP() << "this system makes no file links";
  // Held open, the link cannot be deleted before the capture file is made.
  vk::FileHandle holder(CreateFileW(vk::W(capture), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  ASSERT_TRUE(holder.valid());
  const bool ran = RunBatch("echo written through the link", true, u"Post-Installation Batch");
  holder.reset();
  EXPECT_TRUE(ran);
  EXPECT_EQ(ReadAll(precious), "keep me");
  EXPECT_NE(Log().find("Failed to create batch output capture file.  "), std::string::npos) << Log();
  EXPECT_EQ(Log().find("written through the link"), std::string::npos) << Log();
  DeleteFileW(vk::W(capture));
}

}  // namespace
