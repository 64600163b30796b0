#include "setup/startup.h"

#include <windows.h>
#include <ole2.h>

#include "lib/fatal.h"
#include "lib/win32/handle.h"
#include "lib/win32/system_library.h"
#include "setup/core/command_line.h"
#include "setup/container_reader.h"
#include "setup/core/engine_messages.h"
#include "setup/engine_macros.h"
#include "setup/errors.h"
#include "setup/install_context.h"
#include "setup/install_sequence.h"
#include "setup/integrity.h"
#include "setup/notifications.h"
#include "setup/progress.h"
#include "setup/settings_reader.h"
#include "setup/work_file.h"
#include "ui/fatal_box.h"
#include "uninstall/self_removal.h"
#include "uninstall/uninstall_procedure.h"

namespace setup {

namespace {

// The crash report hooks in here; until then an unhandled exception takes the system's path.
LONG WINAPI CrashFilter(EXCEPTION_POINTERS*) { return EXCEPTION_CONTINUE_SEARCH; }

void InstallCrashFilter() { SetUnhandledExceptionFilter(&CrashFilter); }

void EnableTakeOwnershipPrivilege() {
  vk::KernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) return;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, L"SeTakeOwnershipPrivilege", &privileges.Privileges[0].Luid)) return;
  AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
}

uint64_t SessionNumberNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  uint64_t fileTime = (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return MakeSessionNumber(fileTime, GetCurrentProcessId());
}


// Exit steps whose subjects do not exist yet.
void DestroyProgressWindow() {}
void DestroyBackgroundWindow() {}
void RemoveSelfException() {}

[[noreturn]] void UninstallByName() {
  const InstallContext& c = Context();
  vk::Streng missing = UninstallUsageError(c);
  if (!missing.empty()) showUsage(missing);
  if (uninstall::RunUninstall(c.uninstallProductName)) {
    const uninstall::UninstallOutcome& done = uninstall::LastUninstall();
    QueueNotification(vk::AnsiToStreng(done.notifyUrl), false);
    uninstall::WriteSelfRemovalBatch(done.installFolder, done.uninstallSubdir);
  }
  exitInstaller(0);
}

[[noreturn]] void Install() {
  Container& container = InstallerContainer();
  openContainer(container);
  readSettings(container);
  InstallContext& c = Context();
  // Once, here: the language's title that may replace it later comes expanded already.
  c.settings.InstallerTitle = ExpandMacros(c.settings.InstallerTitle);
  QueueNotification(vk::AnsiToStreng(c.settings.LaunchAddress), false);
  verifyIntegrity(container, c.settings.integrityMode());
  buildEngineImage(container);
  RunInstallation(container);
}

}  // namespace

uint64_t MakeSessionNumber(uint64_t fileTime, unsigned long processId) {
  // Process ids are multiples of 4.
  return (fileTime & ~uint64_t(0xFFFF)) | ((processId >> 2) & 0xFFFF);
}

void RunEngine(void* instance) {
  // Before anything needs a system DLL other than kernel32 and the C runtime.
  vk::LoadSystemDllsOnly();
  InstallCrashFilter();
  InstallContext& c = Context();
  c.oleInitialized = SUCCEEDED(OleInitialize(nullptr));
  EnableTakeOwnershipPrivilege();
  // The window layer registered the wide handler before the entry ran; naming it here again also
  // keeps that registration in the link.
  vk::SetFatalErrorHandler(&ui::ShowFatalError);
  vk::SetFatalErrorHandler(&fatalError);
  c.instance = instance;
  c.sessionNumber = SessionNumberNow();

  CommandLineResult parsed = ParseCommandLine(vk::FromW(GetCommandLineW()));
  static_cast<CommandLine&>(c) = parsed.values;
  if (!parsed.ok) showUsage(parsed.usageError);

  if (c.uninstallRequested) UninstallByName();
  Install();
}

void exitInstaller(int exitCode) {
  DestroyProgressWindow();
  DestroyBackgroundWindow();
  PumpMessages();
  DeleteWorkFile();
  StopNotificationWorker();
  RemoveSelfException();
  if (Context().oleInitialized) OleUninitialize();
  ExitProcess(static_cast<UINT>(exitCode));
}

}  // namespace setup
