#include "setup/close_programs.h"

#include <windows.h>

#include <algorithm>

#include "lib/format.h"
#include "lib/win32/handle.h"
#include "setup/engine_macros.h"
#include "setup/install_context.h"
#include "setup/progress.h"

namespace setup {

namespace {

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

// Taken before acting, so that questions and closing windows do not run inside the enumeration.
std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

WindowFacts FactsOf(HWND window, DWORD& processId) {
  WindowFacts facts;
  wchar_t className[256];
  const int n = GetClassNameW(window, className, 256);
  if (n > 0) facts.className = vk::FromW(className, size_t(n));
  const int length = GetWindowTextLengthA(window);
  if (length > 0) {
    std::vector<char> title(size_t(length) + 1);
    const int got = GetWindowTextA(window, title.data(), length + 1);
    if (got > 0) facts.title.assign(title.data(), size_t(std::min(got, length)));
  }
  processId = 0;
  GetWindowThreadProcessId(window, &processId);
  facts.ownProcess = processId == GetCurrentProcessId();
  return facts;
}

void PostToFront(HWND window, UINT message) {
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  PostMessageW(window, message, 0, 0);
}

void TerminateOwner(DWORD processId) {
  if (processId == 0 || processId == GetCurrentProcessId()) return;
  vk::KernelHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId));
  // Older systems refuse the full access mask of newer headers; ending it needs only this.
  if (!process) process.reset(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
  if (process) TerminateProcess(process.get(), 0);
}

// Asks while the window exists. false: the user cancelled (a box that could not be shown counts
// as Cancel, so that nobody is asked in a loop that cannot end).
bool AskUntilClosed(HWND window, const CloseWindow& record, ClosingRun run) {
  const ClosingTexts texts = ClosingTextsFor(run);
  const vk::Streng name = ExpandMacros(vk::AnsiToStreng(record.displayName));
  while (IsWindow(window)) {
    const vk::Streng message = vk::Format(formatText(texts.question), name);
    const int answer = MessageBoxW(nullptr, vk::W(message), vk::W(text(texts.questionCaption)),
                                   MB_RETRYCANCEL | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    if (answer != IDRETRY) return false;
  }
  return true;
}

// A program that was asked to close is usually still on its way out when the caller goes on to
// its files; they are free only once it has ended. Bounded: a program that ignores the request
// keeps its files, which the caller then reports.
constexpr DWORD kClosingWaitMs = 5000;

void WaitForEnd(std::vector<vk::KernelHandle>& processes) {
  const ULONGLONG start = GetTickCount64();
  for (vk::KernelHandle& process : processes) {
    for (;;) {
      const ULONGLONG elapsed = GetTickCount64() - start;
      if (elapsed >= kClosingWaitMs) return;
      HANDLE handle = process.get();
      const DWORD woke = MsgWaitForMultipleObjects(1, &handle, FALSE, DWORD(kClosingWaitMs - elapsed), QS_ALLINPUT);
      if (woke != WAIT_OBJECT_0 + 1) break;  // ended, failed or timed out
      PumpMessages();
    }
  }
}

void Remember(std::vector<vk::KernelHandle>& processes, DWORD processId) {
  if (processId == 0 || processId == GetCurrentProcessId()) return;
  vk::KernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
  if (process) processes.push_back(std::move(process));
}

}  // namespace

bool CloseRunningPrograms(const std::vector<CloseWindow>& records, int phase, const ClosingOptions& options) {
  if (records.empty()) return true;
  const bool canAsk = WindowsAllowed();
  std::vector<vk::KernelHandle> closing;
  for (HWND window : TopLevelWindows()) {
    DWORD processId = 0;
    const WindowFacts facts = FactsOf(window, processId);
    const std::optional<size_t> chosen = RecordToApply(records, phase, facts, canAsk);
    if (!chosen) continue;
    const CloseWindow& record = records[*chosen];
    if (*ActionOf(record.action) != CloseAction::AskUser) Remember(closing, processId);
    switch (*ActionOf(record.action)) {
      case CloseAction::PostClose: PostToFront(window, WM_CLOSE); break;
      case CloseAction::PostQuit: PostToFront(window, WM_QUIT); break;
      case CloseAction::Terminate: TerminateOwner(processId); break;
      case CloseAction::AskUser:
        if (!AskUntilClosed(window, record, options.run)) {
          if (options.cancel) options.cancel();
          return false;
        }
        break;
    }
  }
  WaitForEnd(closing);
  return true;
}

bool CloseRunningPrograms(int phase, const ClosingOptions& options) {
  return CloseRunningPrograms(Context().settings.CloseWindows, phase, options);
}

void CloseProgramsBeforeInstalling(void (*cancel)()) {
  std::vector<CloseWindow>& records = Context().settings.CloseWindows;
  if (records.empty()) return;
  ClosingOptions options;
  options.run = ClosingRun::Installer;
  if (cancel) options.cancel = cancel;
  CloseRunningPrograms(records, kClosePhaseInstall, options);
  DropInstallOnlyRecords(records);
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    PumpMessages();
    const ULONGLONG elapsed = GetTickCount64() - start;
    if (elapsed >= 333) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(333 - elapsed), QS_ALLINPUT);
  }
  // The background window is brought to the front here once the window layer has one.
}

void ShowClosingCancelNotice(ClosingRun run) {
  if (!WindowsAllowed()) return;
  const ClosingTexts texts = ClosingTextsFor(run);
  MessageBoxW(nullptr, vk::W(text(texts.cancelNotice)), vk::W(text(texts.cancelCaption)), MB_OK | MB_ICONWARNING);
}

}  // namespace setup
