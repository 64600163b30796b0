#include "setup/errors.h"

#include <windows.h>

#include <iterator>

#include "lib/fatal.h"
#include "lib/win32/system_error.h"
#include "setup/core/command_line.h"
#include "setup/core/engine_messages.h"
#include "setup/install_context.h"
#include "setup/notifications.h"
#include "setup/startup.h"

namespace setup {

namespace {

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

void refuseInstallation(const vk::Streng& message) {
  showError(message);
  exitInstaller(1);
}

void cancelInstallation() {
  QueueNotification(vk::AnsiToStreng(Context().settings.CancelAddress), false);
  if (!Context().automaticMode && WindowsAllowed())
    MessageBoxW(nullptr, vk::W(text(98)), vk::W(text(111)), MB_OK | MB_ICONWARNING);
  exitInstaller(1);
}

void corruptInstaller(int code, bool withSystemError) {
  DWORD systemError = withSystemError ? GetLastError() : 0;
  vk::Streng message =
      CorruptInstallerMessage(code, formatText(13), systemError, vk::SystemErrorText(systemError));
  InstallContext& c = Context();
  c.FailureSummary = message;
  QueueNotification(vk::AnsiToStreng(c.settings.FailureAddress), true);
  vk::FatalErrorText(std::move(message));
}

}  // namespace setup
