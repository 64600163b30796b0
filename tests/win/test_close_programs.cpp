#include "setup/close_programs.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "lib/win32/handle.h"
#include "setup/install_context.h"

namespace {

using setup::CloseWindow;
using vk::Streng;

// Each test's class names carry the process id, so that no other window of the session matches.
Streng Unique(const char16_t* name) {
  return Streng(name) + u"_" + vk::AsciiToStreng(std::to_string(GetCurrentProcessId()));
}

Streng HelperPath() {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  Streng path = vk::FromW(self, n);
  path.resize(path.find_last_of(u'\\') + 1);
  return path + u"..\\..\\support\\window_owner.exe";
}

// window_owner running with one window of the given class and title; ended at the end when it
// is still running.
class OwnedWindow {
public:
  OwnedWindow(const Streng& cls, const Streng& title) {
    Streng command = u"\"" + HelperPath() + u"\" \"" + cls + u"\" \"" + title + u"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(command.data()), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info))
      return;
    process_.reset(info.hProcess);
    CloseHandle(info.hThread);
    for (int i = 0; i < 500 && !window_; ++i) {
      window_ = FindOwn(cls, title, info.dwProcessId);
      if (!window_ && WaitForSingleObject(process_.get(), 20) != WAIT_TIMEOUT) break;
    }
  }
  ~OwnedWindow() {
    if (process_ && running()) TerminateProcess(process_.get(), 99);
  }
  OwnedWindow(const OwnedWindow&) = delete;
  OwnedWindow& operator=(const OwnedWindow&) = delete;

  bool ready() const { return window_ != nullptr; }
  bool running() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }
  // The exit code once the process has ended within the time; -1 when it still runs.
  long exitCodeWithin(DWORD ms) const {
    if (WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return long(code);
  }

  HWND window() const { return window_; }

private:
  // The window of that class and title that the helper made (the test may have one alike).
  static HWND FindOwn(const Streng& cls, const Streng& title, DWORD processId) {
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, vk::W(cls), vk::W(title))) != nullptr;) {
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      if (owner == processId) return w;
    }
    return nullptr;
  }

  vk::KernelHandle process_;
  HWND window_ = nullptr;
};

setup::ClosingOptions NoCancel() { return {}; }

TEST(CloseRunningPrograms, EachActionEndsTheMatchingProgram) {
  struct Row {
    const char* name;
    uint8_t action;
    const char* titlePattern;
    long exitCode;  // window_owner: 10 closed, 20 quit; 0 terminated
  } rows[] = {
      {"close by class", 0, "", 10},
      {"close by class and title word", 0, "*Editor", 10},
      {"quit", 1, "", 20},
      {"terminate", 3, "Brimstead Editor", 0},
  };
  const Streng cls = Unique(u"BrimsteadCloseA");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    OwnedWindow owner(cls, u"Brimstead Editor");
    ASSERT_TRUE(owner.ready());
    const std::vector<CloseWindow> records = {{cls, row.titlePattern, "Editor", row.action, 1}};
    EXPECT_TRUE(setup::CloseRunningPrograms(records, setup::kClosePhaseInstall, NoCancel()));
    EXPECT_EQ(owner.exitCodeWithin(10000), row.exitCode);
  }
}

TEST(CloseRunningPrograms, RecordsThatDoNotMatchLeaveItRunning) {
  const Streng cls = Unique(u"BrimsteadCloseB");
  OwnedWindow owner(cls, u"Brimstead Editor");
  ASSERT_TRUE(owner.ready());
  const std::vector<CloseWindow> records = {
      {u"", "", "both patterns empty", 3, 7},
      {cls, "", "other phase", 3, 2},
      {cls + u"X", "", "other class", 3, 1},
      {u"", "brimstead editor", "title in other case", 3, 1},
      {u"", "Editor", "a word without the asterisk", 3, 1},
      {cls, "*Viewer", "class matches, title not", 3, 1},
      {cls, "", "action without meaning", 9, 1},
  };
  EXPECT_TRUE(setup::CloseRunningPrograms(records, setup::kClosePhaseInstall, NoCancel()));
  EXPECT_EQ(owner.exitCodeWithin(500), -1);
  EXPECT_TRUE(owner.running());
}

// The test program's own window, which counts the close messages it gets.
int g_ownCloses = 0;
LRESULT CALLBACK OwnProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_CLOSE) {
    ++g_ownCloses;
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

TEST(CloseRunningPrograms, OwnWindowsAreNeverTouched) {
  const Streng cls = Unique(u"BrimsteadCloseC");
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = OwnProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = vk::W(cls);
  ASSERT_TRUE(RegisterClassW(&windowClass));
  HWND own = CreateWindowExW(0, vk::W(cls), L"Brimstead Editor", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                             nullptr, windowClass.hInstance, nullptr);
  ASSERT_TRUE(own);
  // Another process with a window of the same class and title: the walk goes on past the own
  // window and closes that one.
  OwnedWindow other(cls, u"Brimstead Editor");
  ASSERT_TRUE(other.ready());

  // Terminating the own process would end this test program.
  const std::vector<CloseWindow> records = {{cls, "*Editor", "Editor", 0, 1}, {cls, "", "Editor", 3, 1}};
  EXPECT_TRUE(setup::CloseRunningPrograms(records, setup::kClosePhaseInstall, NoCancel()));
  EXPECT_EQ(other.exitCodeWithin(10000), 10);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  EXPECT_TRUE(IsWindow(own));
  EXPECT_EQ(g_ownCloses, 0);
  DestroyWindow(own);
  UnregisterClassW(vk::W(cls), windowClass.hInstance);
}

// Answers the message boxes of the calling thread from a second thread: before each answer it
// runs the step given for it.
class BoxAnswerer {
public:
  struct Answer {
    std::function<void()> before;
    int button;  // IDRETRY, IDCANCEL
  };
  explicit BoxAnswerer(std::vector<Answer> answers)
      : answers_(std::move(answers)), thread_(GetCurrentThreadId()), worker_([this] { run(); }) {}
  ~BoxAnswerer() {
    stop_ = true;
    worker_.join();
  }
  int answered() const { return answered_; }

private:
  static BOOL CALLBACK FindBox(HWND window, LPARAM found) {
    wchar_t cls[16];
    if (IsWindowVisible(window) && GetClassNameW(window, cls, 16) && wcscmp(cls, L"#32770") == 0) {
      *reinterpret_cast<HWND*>(found) = window;
      return FALSE;
    }
    return TRUE;
  }
  void run() {
    for (int waited = 0; !stop_ && answered_ < int(answers_.size()) && waited < 20000; waited += 20) {
      HWND box = nullptr;
      EnumThreadWindows(thread_, FindBox, reinterpret_cast<LPARAM>(&box));
      if (box) {
        const Answer& answer = answers_[size_t(answered_)];
        if (answer.before) answer.before();
        PostMessageW(box, WM_COMMAND, WPARAM(answer.button), 0);
        ++answered_;
        while (IsWindow(box) && !stop_) Sleep(20);
      }
      Sleep(20);
    }
  }
  std::vector<Answer> answers_;
  DWORD thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> answered_{0};
  std::thread worker_;
};

TEST(CloseRunningPrograms, AskingRecords) {
  const Streng cls = Unique(u"BrimsteadCloseD");
  const std::vector<CloseWindow> records = {
      {cls, "", "Editor", 2, 1}, {cls, "", "Editor", 0, 2}, {cls, "", "Editor", 3, 1}};
  int cancels = 0;
  setup::ClosingOptions options;
  options.cancel = [&] { ++cancels; };
  {
    OwnedWindow owner(cls, u"Brimstead Editor");
    ASSERT_TRUE(owner.ready());

    // Silent: nobody is asked, and the later terminating record does not act in its place.
    setup::Context().silentMode = true;
    EXPECT_TRUE(setup::CloseRunningPrograms(records, setup::kClosePhaseInstall, options));
    setup::Context().silentMode = false;
    EXPECT_EQ(cancels, 0);
    EXPECT_TRUE(owner.running());

    // Cancel: the run's cancel routine, and the pass ends there.
    {
      BoxAnswerer answerer({{nullptr, IDCANCEL}});
      EXPECT_FALSE(setup::CloseRunningPrograms(records, setup::kClosePhaseInstall, options));
      EXPECT_EQ(answerer.answered(), 1);
    }
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(owner.running());

    // The phase-2 record closes it; the asking one is not in that phase.
    EXPECT_TRUE(setup::CloseRunningPrograms(records, setup::kClosePhaseUninstall, options));
    EXPECT_EQ(owner.exitCodeWithin(10000), 10);
  }
  {
    // Retry asks again while the window is there; once the user has closed it, the pass goes on.
    OwnedWindow owner(cls, u"Brimstead Editor");
    ASSERT_TRUE(owner.ready());
    HWND window = owner.window();
    BoxAnswerer answerer({{nullptr, IDRETRY},
                          {[&] {
                             PostMessageW(window, WM_CLOSE, 0, 0);
                             owner.exitCodeWithin(10000);
                           },
                           IDRETRY}});
    EXPECT_TRUE(setup::CloseRunningPrograms(records, setup::kClosePhaseInstall, options));
    EXPECT_EQ(answerer.answered(), 2);
    EXPECT_FALSE(owner.running());
  }
  EXPECT_EQ(cancels, 1);
}

}  // namespace
