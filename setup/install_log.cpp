#include "setup/install_log.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "lib/datetime.h"
#include "lib/narrow_path.h"
#include "lib/win32/fileops.h"
#include "lib/win32/handle.h"
#include "lib/win32/system_error.h"
#include "setup/core/product_flags.h"
#include "setup/launch_process.h"
#include "setup/notifications.h"
#include "setup/os_facts.h"

namespace setup {

namespace {

constexpr int64_t kCopyChunk = 256 * 1024;

// Keeps the thread's last error across a block, so that logging never changes what the
// caller is about to report.
class KeepLastError {
public:
  KeepLastError() : error_(GetLastError()) {}
  ~KeepLastError() { SetLastError(error_); }

private:
  DWORD error_;
};

uint64_t Flags() {
  const uint64_t* flags = LogContext().productFlags;
  return flags ? *flags : 0;
}

vk::Streng Text(int n) {
  const auto& source = LogContext().text;
  return source ? source(n) : vk::Streng();
}

int Ask(const vk::Streng& text, const vk::Streng& caption, unsigned type) {
  const InstallLogContext& c = LogContext();
  if (c.messageBox) return c.messageBox(text, caption, type);
  return MessageBoxW(nullptr, vk::W(text), vk::W(caption), type);
}

bool CopyWhole(vk::File& from, vk::File& to) {
  if (!from.Seek(0)) return false;
  std::vector<uint8_t> buffer(kCopyChunk);
  for (;;) {
    int64_t got = 0;
    if (!from.Read(buffer.data(), kCopyChunk, &got)) return false;
    if (got == 0) return true;
    if (!to.Write(buffer.data(), got)) return false;
  }
}

// Step 5: a log from before the file was UTF-8 is rewritten as a whole. It is converted piece by
// piece into a temporary file and copied back, so that a log of any size takes little memory; the
// old text stays as it is unless the whole conversion was written.
void ConvertIfOld(vk::File& log, int64_t size) {
  if (size <= 0) return;
  char start[3] = {};
  const int64_t probe = size < 3 ? size : 3;
  if (!log.Seek(0) || !log.Read(start, probe)) return;
  if (!LogNeedsConversion(std::string_view(start, static_cast<size_t>(probe)))) return;
  RunningLogFile converted;
  if (!converted.Open()) return;
  vk::ScopeExit remove([&] { converted.CloseAndDelete(); });
  OldLogConverter converter;
  std::vector<char> buffer(kCopyChunk);
  if (!log.Seek(0)) return;
  for (;;) {
    int64_t got = 0;
    if (!log.Read(buffer.data(), kCopyChunk, &got)) return;
    if (got == 0) break;
    if (!converted.Write(converter.feed(std::string_view(buffer.data(), size_t(got))))) return;
  }
  if (!converted.Write(converter.finish())) return;
  // A UTF-16 log may come out shorter, so the file is cut at the new end.
  if (log.Seek(0) && converted.CopyTo(log)) log.SetEnd();
}

// Step 11: a later run by another user must be able to append.
void OpenUp(const vk::Streng& path) {
  const DWORD attributes = GetFileAttributesW(vk::W(path));
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    DWORD cleared =
        attributes & ~DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (cleared == 0) cleared = FILE_ATTRIBUTE_NORMAL;
    if (cleared != attributes) SetFileAttributesW(vk::W(path), cleared);
  }
  if (LogContext().grantFullAccess) LogContext().grantFullAccess(path);
}

bool AppendBlock(const vk::Streng& path, const LogBlockInput& in) {
  vk::File log;
  if (log.Open(path, vk::FileMode::Read | vk::FileMode::Write | vk::FileMode::OpenAlways) !=
      vk::FileErr::Success)
    return false;
  const int64_t size = log.Size();
  if (size < 0) return false;
  ConvertIfOld(log, size);
  if (!log.Seek(0, vk::SeekFrom::End)) return false;

  const vk::String head = LogBlockHead(in, size == 0);
  log.Write(head.data(), static_cast<int64_t>(head.size()));
  RunningLog().CopyTo(log);
  const vk::String tail = LogBlockTail(in);
  log.Write(tail.data(), static_cast<int64_t>(tail.size()));
  log.Close();
  OpenUp(path);
  return true;
}

}  // namespace

InstallLogContext& LogContext() {
  static InstallLogContext context;
  return context;
}

// --- running log -------------------------------------------------------------------------------

bool RunningLogFile::Open() {
  KeepLastError keep;
  CloseAndDelete();
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(DWORD(std::size(folder)), folder);
  if (n == 0 || n >= std::size(folder)) return false;
  wchar_t name[MAX_PATH + 1] = {};
  // Makes the file, so the name stays ours.
  if (GetTempFileNameW(folder, L"bsl", 0, name) == 0) return false;
  path_ = vk::FromW(name);
  // Readable by others while the run goes on.
  if (file_.Open(path_, vk::FileMode::Read | vk::FileMode::Write | vk::FileMode::CreateAlways |
                            vk::FileMode::ShareRead) != vk::FileErr::Success) {
    DeleteFileW(name);
    path_.clear();
    return false;
  }
  return true;
}

bool RunningLogFile::Write(std::string_view bytes) {
  if (!file_.IsOpen()) return false;
  if (bytes.empty()) return true;
  KeepLastError keep;
  // Unbuffered: WriteFile hands each line to the system at once, so it outlives a crash of
  // the process without the cost of flushing to disk per line.
  return file_.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
}

bool RunningLogFile::CopyTo(vk::File& out) {
  if (!file_.IsOpen()) return true;
  KeepLastError keep;
  const int64_t end = file_.Position();
  const bool ok = CopyWhole(file_, out);
  if (end >= 0) file_.Seek(end);
  return ok;
}

void RunningLogFile::CloseAndDelete() {
  KeepLastError keep;
  file_.Close();
  if (!path_.empty()) DeleteFileW(vk::W(path_));
  path_.clear();
}

RunningLogFile& RunningLog() {
  static RunningLogFile log;
  return log;
}

bool OpenRunningLog() { return RunningLog().Open(); }

// --- line writers ------------------------------------------------------------------------------

void LogBytes(std::string_view bytes) { RunningLog().Write(bytes); }

void LogText(std::string_view text1252) { RunningLog().Write(vk::Cp1252ToUtf8(text1252)); }

void LogTextW(std::u16string_view text) { RunningLog().Write(vk::StrengToUtf8(text)); }

bool VerboseLog() { return HasFlag(Flags(), flag::VerboseLog); }

void LogFailureText(std::u16string_view entry) {
  LogTextW(EndWithEmptyLine(vk::Streng(entry)));
}

// --- failure summary ---------------------------------------------------------------------------

vk::Streng& FailureSummary() {
  static vk::Streng own;
  vk::Streng* shared = LogContext().failureSummary;
  return shared ? *shared : own;
}

void AddFailureText(std::u16string_view entry) {
  FailureSummary() += EndWithEmptyLine(vk::Streng(entry));
}

void AddFailureLine(const vk::Streng& item) {
  // The error first: fetching the language text may change it.
  const vk::Streng error = vk::SystemErrorText(GetLastError());
  KeepLastError keep;
  FailureSummary() += vk::Format(u"%s %s\r\n%s\r\n\r\n", Text(31), item, error);
}

// --- end of run --------------------------------------------------------------------------------

vk::Streng InstallLogPath() {
  const InstallLogContext& c = LogContext();
  const vk::Streng folder =
      c.uninstallSubdir.empty() ? c.installFolder : vk::JoinPath(c.installFolder, c.uninstallSubdir);
  return vk::JoinPath(folder, u"Install.log");
}

bool WriteInstallLog(const vk::Streng& summary, bool reinstall, bool finishNotice) {
  // The crash path may come in while a normal end is writing; the block is written once.
  static bool writing = false;
  if (writing) return false;
  writing = true;
  vk::ScopeExit done([] { writing = false; });

  InstallLogContext& c = LogContext();
  const bool failed = !summary.empty();
  if (failed) QueueNotification(c.problemReportUrl, true);

  bool viewLog = false;
  const CompletionDecision decision =
      DecideCompletionNotice(failed, finishNotice, c.automaticMode, Flags(), c.somethingToOffer);
  if (c.productFlags) *c.productFlags = decision.productFlags;
  switch (decision.notice) {
    case CompletionNotice::None:
      break;
    case CompletionNotice::AskToViewLog:
      if (c.windowsAllowed)
        viewLog = Ask(vk::Format(Text(40), InstallLogPath()), Text(41),
                      MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
      break;
    case CompletionNotice::FinishDialog:
      // Until the wizard can show its finish page, the plain notice says that the run ended.
      if (c.finishDialog) {
        c.finishDialog();
        break;
      }
      [[fallthrough]];
    case CompletionNotice::InfoBox:
      if (c.windowsAllowed) Ask(Text(42), Text(43), MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
      break;
  }

  bool written = false;
  if (ShouldWriteLogFile(failed, Flags())) {
    LogBlockInput in;
    in.installDate = vk::DateTime::Now().Format(kInstallDatePattern);
    in.productName = c.productName;
    in.hasUninstaller = HasFlag(Flags(), flag::Uninstaller);
    in.reinstall = reinstall;
    in.installFolder = c.installFolder;
    in.productVersion = c.productVersion;
    in.overwrittenVersion = c.overwrittenVersion;
    in.osDescription = DescribeOperatingSystem(0);
    in.failureSummary = summary;
    in.successNote = Text(43);
    written = AppendBlock(InstallLogPath(), in);
    if (!written) viewLog = false;
  }

  if (viewLog) ShowInstallLog();
  RunningLog().CloseAndDelete();
  return written;
}

void ShowInstallLog() {
  const vk::Streng path = InstallLogPath();
  const auto opened = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, nullptr, vk::W(path), nullptr, nullptr, SW_SHOWNORMAL));
  if (opened > 32) return;

  // By its full path: the search for a bare "notepad.exe" looks in the installer's folder first.
  LaunchProcess(u"\"" + vk::JoinPath(vk::WindowsFolder(), u"notepad.exe") + u"\" \"" + path + u"\"", 0);
}

}  // namespace setup
