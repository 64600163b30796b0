#include "setup/batch_runner.h"

#include <windows.h>

#include <iterator>
#include <vector>

#include "lib/format.h"
#include "lib/narrow_path.h"
#include "lib/win32/file.h"
#include "lib/win32/fileops.h"
#include "lib/win32/system_error.h"
#include "setup/core/batch_text.h"
#include "setup/engine_macros.h"
#include "setup/errors.h"
#include "setup/install_context.h"
#include "setup/install_log.h"
#include "setup/launch_process.h"
#include "setup/system_folders.h"

namespace setup {

using vk::Streng;

namespace {

constexpr char16_t kBatchFileName[] = u"SETUPBAT.BAT";
constexpr char16_t kCaptureFileName[] = u"bs_batch.log";
#ifndef _WIN64
constexpr int kCsidlSystemX86 = 41;
#endif

void Report(const Streng& message) {
  LogTextW(message + u"\r\n");
  showError(message);
}

// The batch file, written and then held open for reading with read sharing only until the
// interpreter is done: the folder may be writable by every user, and nobody may change the
// script between its writing and its run. What is held is read back and compared, so a change
// made in the moment between closing the writer and opening the holder is noticed too.
class HeldBatchFile {
public:
  // The file error text on failure.
  bool Write(const Streng& path, const vk::String& bytes, Streng& errorText) {
    // A file put there by someone else (a link to another file, say) is removed, not written
    // through; one that comes back in the meantime fails the creation.
    DeleteFileW(vk::W(path));
    vk::File out;
    if (out.Open(path, vk::FileMode::Write | vk::FileMode::CreateNew) != vk::FileErr::Success ||
        !out.Write(bytes.data(), int64_t(bytes.size())) || !out.Flush()) {
      errorText = out.ErrorText();
      return false;
    }
    out.Close();
    written_ = true;
    path_ = path;
    if (held_.Open(path, vk::FileMode::Read | vk::FileMode::ShareRead) != vk::FileErr::Success) {
      errorText = held_.ErrorText();
      return false;
    }
    std::vector<char> back(bytes.size() + 1);
    int64_t count = 0;
    if (held_.Size() != int64_t(bytes.size()) || !held_.Read(back.data(), int64_t(back.size()), &count) ||
        count != int64_t(bytes.size()) || vk::String(back.data(), size_t(count)) != bytes) {
      errorText = vk::FileErrorMessageW(vk::FileErr::Corrupted);
      return false;
    }
    return true;
  }

  ~HeldBatchFile() {
    held_.Close();
    if (written_) DeleteFileW(vk::W(path_));
  }

private:
  vk::File held_;
  Streng path_;
  bool written_ = false;
};

// The capture file: made new and held from its creation for reading (the interpreter writes it
// through its redirection), and read from the held handle. Made new, it is never an existing file
// or a link to one; without delete sharing, nobody can put another file in its place meanwhile.
class CaptureFile {
public:
  bool Create(const Streng& path, Streng& errorText) {
    DeleteFileW(vk::W(path));  // one left by an earlier run; a link goes itself
    if (held_.Open(path, vk::FileMode::Read | vk::FileMode::CreateNew | vk::FileMode::ShareRead |
                             vk::FileMode::ShareWrite) != vk::FileErr::Success) {
      errorText = held_.ErrorText();
      return false;
    }
    path_ = path;
    return true;
  }

  // The output less its trailing white space, into the log, then an empty line; nothing for
  // output that is only white space. Read in pieces: a batch may print a lot.
  void AppendToLog(bool utf8) {
    if (!held_.IsOpen() || !held_.Seek(0)) return;
    const auto write = [utf8](std::string_view bytes) {
      if (utf8)
        LogBytes(bytes);
      else
        LogText(bytes);
    };
    std::vector<char> buffer(64 * 1024);
    vk::String whitespace;  // held back until something follows it (leading white space stays)
    bool any = false;
    int64_t count = 0;
    while (held_.Read(buffer.data(), int64_t(buffer.size()), &count) && count > 0) {
      const std::string_view piece(buffer.data(), size_t(count));
      const size_t last = piece.find_last_not_of(" \t\r\n\v\f");
      if (last == std::string_view::npos) {
        whitespace.append(piece);
        continue;
      }
      write(whitespace);
      whitespace.clear();
      write(piece.substr(0, last + 1));
      whitespace.assign(piece.substr(last + 1));
      any = true;
    }
    if (any) LogBytes("\r\n\r\n");
  }

  ~CaptureFile() {
    held_.Close();
    if (!path_.empty()) vk::DeleteFileEx(path_, vk::FallBackToReboot | vk::MissingIsSuccess);
  }

private:
  vk::File held_;
  Streng path_;
};

bool RunBatchFile(const vk::String& script, bool hidden, const Streng& title) {
  const InstallContext& c = Context();
  if (c.silentMode) hidden = true;
  if (!title.empty()) LogTextW(u"\r\nRunning " + title + u"...\r\n");

  const Streng interpreter = CommandInterpreterPath();
  if (!vk::IsFile(interpreter)) {
    LogTextW(u"The CLI " + interpreter + u" does not exist!\r\n");
    return false;
  }
  const BatchFile text = BatchFileText(script, hidden, EngineMacroValues());

  const Streng folder = vk::IsFolder(c.installDir) ? c.installDir : TemporaryFolder();
  const Streng batchPath = vk::JoinPath(folder, kBatchFileName);
  HeldBatchFile batch;
  Streng errorText;
  if (!batch.Write(batchPath, text.bytes, errorText)) {
    Report(vk::Format(u"Unable to create batch file \"%s\".\r\n\r\n%s", batchPath, errorText));
    return false;
  }

  CaptureFile capture;
  Streng capturePath;
  if (!title.empty()) {
    const Streng path = vk::JoinPath(folder, kCaptureFileName);
    if (capture.Create(path, errorText))
      capturePath = vk::ShortPath(path);
    else
      LogTextW(u"Failed to create batch output capture file.  " + errorText + u"\r\n");
  }
  const Streng command = u"\"" + interpreter + u"\" /c " + InterpreterArgument(vk::ShortPath(batchPath), capturePath);

  const uint32_t options = LaunchOption::Wait | LaunchOption::PumpMessages | (hidden ? LaunchOption::Hidden : 0);
  if (LaunchProcess(command, options, folder) == kLaunchFailed) {
    const DWORD error = GetLastError();
    Report(vk::Format(u"Unable to launch batch file \"%s\".\r\n%s\r\nCommand line: %s", batchPath,
                      vk::SystemErrorText(error), command));
    return false;
  }
  if (!capturePath.empty()) capture.AppendToLog(text.utf8);
  return true;
}

}  // namespace

Streng CommandInterpreterPath() {
  wchar_t buffer[MAX_PATH * 2];
  const DWORD n = ExpandEnvironmentStringsW(L"%comspec%", buffer, DWORD(std::size(buffer)));
  if (n > 1 && n <= std::size(buffer)) {
    // Only an absolute path to an existing file: a bare name would be looked for in the working
    // folder first, which may be one that anybody can write.
    const Streng path = vk::FromW(buffer, n - 1);
    if (vk::IsAbsolutePath(path) && vk::IsFile(path)) return path;
  }
  const OsInfo& os = OperatingSystemInfo();
  if (!os.ntPlatform && os.major == 4) return vk::JoinPath(FolderPath(SystemFolder::Windows), u"command.com");
#ifdef _WIN64
  // A 64-bit build runs the system's own interpreter, not the 32-bit one beside it.
  const Streng system = FolderPath(SystemFolder::System);
#else
  Streng system = ShellFolderPath(kCsidlSystemX86);
  if (system.empty()) system = FolderPath(SystemFolder::System);
#endif
  return vk::JoinPath(system, u"cmd.exe");
}

bool RunBatch(const vk::String& script, bool hidden, const Streng& title) {
  if (script.empty()) return true;
  try {
    return RunBatchFile(script, hidden, title);
  } catch (...) {  // out of memory: the run goes on without the batch
    return false;
  }
}

}  // namespace setup
