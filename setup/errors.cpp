#include "setup/errors.h"

#include <windows.h>

#include <iterator>

#include "lib/fatal.h"
#include "setup/core/command_line.h"
#include "setup/core/engine_messages.h"
#include "setup/install_context.h"
#include "setup/notifications.h"
#include "setup/startup.h"

namespace setup {

namespace {

// Stand-in for SystemErrorText of lib/win32/system_error until that lands: the system's message
// for the code with trailing white space removed, or "Error 0x%08X".
vk::Streng LocalSystemErrorText(unsigned long code) {
  if (code == 0) return {};
  wchar_t* buffer = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                           reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  vk::Streng text;
  if (n && buffer) text = vk::TrimRight(vk::FromW(buffer, n));
  if (buffer) LocalFree(buffer);
  if (text.empty()) text = vk::Format(u"Error 0x%08X", static_cast<unsigned>(code));
  return text;
}

void ErrorBox(const vk::Streng& message) {
  if (!WindowsAllowed()) return;
  MessageBoxW(nullptr, vk::W(message), vk::W(ErrorCaption()), MB_OK | MB_ICONERROR);
}

// ProductFlags bit 35: error boxes also in automatic mode.
constexpr int kErrorBoxesInAutomaticMode = 35;

}  // namespace

vk::Streng ErrorCaption() {
  vk::Streng caption = text(21);
  return caption.empty() ? vk::Streng(u"Error") : caption;
}

void fatalError(const vk::String& message) {
  if (!Context().silentMode) ErrorBox(vk::AnsiToStreng(message));
  exitInstaller(1);
}

void showUsage(std::u16string_view message) {
  wchar_t path[MAX_PATH * 2] = {};
  DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  vk::Streng exeName = FileNameOfPath(vk::FromW(path, n < std::size(path) ? n : 0));
  vk::FatalErrorText(UsageText(message, exeName));
}

void showError(const vk::Streng& message) {
  if (IsBlankText(message)) return;
  const InstallContext& c = Context();
  if (c.automaticMode && !c.hasProductFlag(kErrorBoxesInAutomaticMode)) return;
  ErrorBox(message);
}

void corruptInstaller(int code, bool withSystemError) {
  DWORD systemError = withSystemError ? GetLastError() : 0;
  vk::Streng message =
      CorruptInstallerMessage(code, text(13), systemError, LocalSystemErrorText(systemError));
  InstallContext& c = Context();
  c.FailureSummary = message;
  QueueNotification(c.failureNotifyUrl, true);
  vk::FatalErrorText(std::move(message));
}

}  // namespace setup
