#pragma once
// The install log's two channels and the file that receives them: the running log (a temporary
// file that every step writes to as it happens), the failure summary (in memory), and the block
// that WriteInstallLog appends to Install.log at the end of the run. Used on the main thread;
// the crash path calls WriteInstallLog from wherever it runs.
#include <cstdint>
#include <functional>
#include <string_view>

#include "lib/format.h"
#include "lib/strings.h"
#include "lib/win32/file.h"
#include "setup/core/log_block.h"

namespace setup {

// What the log needs from the engine. The integrator fills it before OpenRunningLog and
// brings the values that change later up to date before WriteInstallLog.
struct InstallLogContext {
  // The live ProductFlags word (InstallContext::ProductFlags): bits 2, 6, 14, 20, 22 and 57
  // are read, and bit 57 is cleared when no log will be written. Null: every bit clear.
  uint64_t* productFlags = nullptr;
  // Where the run's FailureSummary lives (InstallContext::FailureSummary); own storage when null.
  vk::Streng* failureSummary = nullptr;

  vk::Streng productName;         // after any /n: override
  vk::Streng installFolder;       // the settled installation folder
  vk::Streng uninstallSubdir;     // UninstallSubdir: Install.log lies there, beside Uninstall.DAT
  vk::Streng productVersion;      // empty: no "Product version: " line
  vk::Streng overwrittenVersion;  // the version being overwritten; empty when none
  vk::Streng problemReportUrl;    // receives the failure summary of a failed run; empty: none

  bool automaticMode = false;     // /a or /silent: no completion notice at all
  bool windowsAllowed = false;    // message boxes may be shown (WindowsAllowed())
  bool somethingToOffer = false;  // a program to launch or a document or page to show at the end

  // Language text n (setup::text); texts 31, 40, 41, 42 and 43 are read. Null: empty texts.
  std::function<vk::Streng(int n)> text;
  // The finish dialog; it reads ProductFlags bit 57 for its offer to view the log. Null: the
  // plain completion box stands in for it.
  std::function<void()> finishDialog;
  // The folder-rights routine (GrantFullAccess): owner taken over, deny entries removed, full
  // access for everyone. Returns a system error code. Null: only the attributes are cleared.
  std::function<uint32_t(const vk::Streng& path)> grantFullAccess;
  // Stands in for MessageBoxW (tests); returns the button pressed. Null: MessageBoxW.
  std::function<int(const vk::Streng& text, const vk::Streng& caption, unsigned type)> messageBox;
};

InstallLogContext& LogContext();

// The run's temporary log file. Every line goes to the file at once, so a crash leaves it.
class RunningLogFile {
public:
  // A new uniquely named file in the system's temporary folder; closes one left open.
  bool Open();
  bool IsOpen() const { return file_.IsOpen(); }
  const vk::Streng& Path() const { return path_; }
  // The thread's last error is kept; false when the bytes could not be written.
  bool Write(std::string_view bytes);
  // The whole content, from the first byte, appended to `out`.
  bool CopyTo(vk::File& out);
  void CloseAndDelete();

private:
  vk::File file_;
  vk::Streng path_;
};

RunningLogFile& RunningLog();
// Opens the process's running log (the log heading of the installation sequence).
bool OpenRunningLog();

// Line writers: each appends to the running log at once; none adds a line end.
void LogBytes(std::string_view bytes);      // unchanged
void LogText(std::string_view text1252);    // Windows-1252, written as UTF-8
void LogTextW(std::u16string_view text);    // written as UTF-8
template <class... A>
void LogPrint(std::string_view format, const A&... args) {
  LogText(vk::Format(format, args...));
}
template <class... A>
void LogPrintW(std::u16string_view format, const A&... args) {
  LogTextW(vk::Format(format, args...));
}

// Verbose mode (ProductFlags bit 20): success lines are written only then.
bool VerboseLog();
template <class... A>
void LogSuccess(std::string_view format, const A&... args) {
  if (VerboseLog()) LogPrint(format, args...);
}
template <class... A>
void LogSuccessW(std::u16string_view format, const A&... args) {
  if (VerboseLog()) LogPrintW(format, args...);
}
// A failure entry: written always, ending in an empty line.
void LogFailureText(std::u16string_view entry);
template <class... A>
void LogFailureW(std::u16string_view format, const A&... args) {
  LogFailureText(vk::Format(format, args...));
}

// The run's failure summary; not empty means the run had failures.
vk::Streng& FailureSummary();
// Appends one entry, made to end in an empty line.
void AddFailureText(std::u16string_view entry);
template <class... A>
void AddFailure(std::u16string_view format, const A&... args) {
  AddFailureText(vk::Format(format, args...));
}
// text(31), the item and the text of the thread's last error, as "%s %s\r\n%s\r\n\r\n". Call it
// right after the failing system call.
void AddFailureLine(const vk::Streng& item);

// The installation folder, the uninstall subfolder and "Install.log".
vk::Streng InstallLogPath();

// The end of the run: completion notice, the block appended to Install.log, the running log
// deleted. finishNotice is false from the crash path. Returns whether the block was written.
bool WriteInstallLog(const vk::Streng& summary, bool reinstall, bool finishNotice);

// Opens Install.log with its default handler, else with notepad; outcomes are not reported.
void ShowInstallLog();

}  // namespace setup
