#include "setup/launch_process.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "lib/format.h"
#include "lib/narrow_path.h"
#include "lib/win32/fileops.h"
#include "lib/win32/handle.h"
#include "lib/win32/system_error.h"
#include "setup/batch_runner.h"
#include "setup/core/batch_text.h"
#include "setup/install_context.h"

namespace setup {

using vk::Streng;

namespace {

constexpr DWORD kPumpInterval = 75;  // ms between looks at the process while messages are pumped
constexpr size_t kSpareRoom = 512;   // CreateProcessW may write into the command line

// Dispatches what is queued for the caller's windows. A quit request is put back for the
// caller's own loop and ends the pumping: false then.
bool PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(int(msg.wParam));
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

void WaitFor(HANDLE process, bool pump) {
  // The quit request put back would wake every later wait at once: after it, the wait goes on
  // without looking at messages.
  while (pump) {
    const DWORD r = MsgWaitForMultipleObjects(1, &process, FALSE, kPumpInterval, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) return;
    pump = PumpMessages();
  }
  WaitForSingleObject(process, INFINITE);
}

std::vector<wchar_t> CommandBuffer(const Streng& commandLine) {
  std::vector<wchar_t> buffer(commandLine.size() + kSpareRoom + 1, L'\0');
  for (size_t i = 0; i < commandLine.size(); ++i) buffer[i] = wchar_t(commandLine[i]);
  return buffer;
}

uint32_t Launch(const Streng& commandLine, uint32_t options, const Streng& workingFolder, uint32_t* processId) {
  if (commandLine.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return kLaunchFailed;
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  const ShowState show = LaunchShowState(options);
  if (show.given) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = show.show;
  }
  const PathFacts facts{vk::IsFile, vk::IsFolder};
  Streng folder = workingFolder;
  if (folder.empty() && (options & LaunchOption::ProgramFolder)) {
    Streng programFolder = vk::PathFolder(SplitCommandLine(commandLine, facts).program);
    if (vk::IsFolder(programFolder)) folder = std::move(programFolder);
  }
  std::vector<wchar_t> buffer = CommandBuffer(QuoteCommandLineProgram(commandLine, facts));
  PROCESS_INFORMATION created = {};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, (options & LaunchOption::InheritHandles) != 0,
                      LaunchCreationFlags(options), nullptr, folder.empty() ? nullptr : vk::W(folder), &startup,
                      &created)) {
    const DWORD error = GetLastError();
    if ((options & LaunchOption::ErrorBox) && WindowsAllowed()) {
      const Streng message = u"Unable to create process:\r\n" + commandLine + u"\r\n\r\n" + vk::SystemErrorText(error);
      MessageBoxW(nullptr, vk::W(message), L"Error", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    }
    SetLastError(error);
    return kLaunchFailed;
  }
  vk::KernelHandle process(created.hProcess), thread(created.hThread);
  if (processId) *processId = created.dwProcessId;
  if (!(options & LaunchOption::Wait)) return kLaunchNoExitCode;
  WaitFor(process.get(), (options & LaunchOption::PumpMessages) != 0);
  DWORD code = 0;
  if (!GetExitCodeProcess(process.get(), &code)) return kLaunchNoExitCode;
  return code;
}

}  // namespace

uint32_t LaunchProcess(const Streng& commandLine, uint32_t options, const Streng& workingFolder, uint32_t* processId) {
  if (processId) *processId = 0;
  try {
    return Launch(commandLine, options, workingFolder, processId);
  } catch (...) {
    SetLastError(DWORD(E_UNEXPECTED));
    return kLaunchFailed;
  }
}

bool LaunchDetached(const Streng& file) {
  try {
    // The script's own folder is its working folder, so that it holds no folder it may remove.
    const Streng folder = vk::PathFolder(file);
    const wchar_t* inFolder = folder.empty() ? nullptr : vk::W(folder);
    const Streng command = u"\"" + CommandInterpreterPath() + u"\" /c " + InterpreterArgument(vk::ShortPath(file));
    std::vector<wchar_t> buffer = CommandBuffer(command);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION created = {};
    if (CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, inFolder,
                       &startup, &created)) {
      CloseHandle(created.hThread);
      CloseHandle(created.hProcess);
      return true;
    }
    const auto opened = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", vk::W(file), nullptr, inFolder, SW_HIDE));
    return opened > 32;  // 32 and below are the shell's error codes
  } catch (...) {
    return false;
  }
}

}  // namespace setup
