#include "uninstall/self_removal.h"

#include "setup/os_facts.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "lib/narrow_path.h"
#include "lib/win32/handle.h"

namespace uninstall {

using vk::Streng;

namespace {

Streng TempFolder() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  DWORD n = GetTempPathW(DWORD(buffer.size()), buffer.data());
  if (n >= buffer.size()) {
    buffer.resize(n + 1);
    n = GetTempPathW(DWORD(buffer.size()), buffer.data());
  }
  if (n == 0 || n >= buffer.size()) return {};
  return vk::FromW(buffer.data(), n);
}

Streng ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (int attempt = 0; attempt < 6; ++attempt) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return vk::FromW(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

Streng CommandInterpreter() {
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"ComSpec", buffer, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return vk::FromW(buffer, n);
  const UINT m = GetSystemDirectoryW(buffer, MAX_PATH);
  if (m == 0 || m >= MAX_PATH) return u"cmd.exe";
  return vk::JoinPath(vk::FromW(buffer, m), u"cmd.exe");
}

}  // namespace

bool SystemHasUtf8Console() {
  // Earlier consoles run a UTF-8 batch under "chcp 65001" only in part.
  return setup::SystemOsFacts().major >= 10;
}

Streng SelfRemovalBatchPath() {
  const Streng temp = TempFolder();
  return temp.empty() ? Streng() : vk::JoinPath(temp, kSelfRemovalBatchName);
}

bool WriteSelfRemovalBatchFile(const SelfRemovalPaths& paths, bool utf8Console) {
  if (paths.batchFile.empty()) return false;
  const vk::String bytes = EncodeSelfRemovalBatch(SelfRemovalText(paths), utf8Console);
  vk::FileHandle file(CreateFileW(vk::W(paths.batchFile), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
}

bool LaunchDetached(const Streng& commandLine, const Streng& folder) {
  if (commandLine.empty()) return false;
  // CreateProcessW may write into the command line.
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      folder.empty() ? nullptr : vk::W(folder), &startup, &process))
    return false;
  vk::KernelHandle thread(process.hThread);
  vk::KernelHandle handle(process.hProcess);
  return true;
}

bool StartSelfRemovalBatch(const Streng& batchFile) {
  const Streng folder = vk::PathFolder(batchFile);
  if (LaunchDetached(u"\"" + CommandInterpreter() + u"\" /c \"" + batchFile + u"\"", folder)) return true;
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", vk::W(batchFile), nullptr, folder.empty() ? nullptr : vk::W(folder), SW_HIDE));
  return result > 32;  // 32 and below are the shell's error codes
}

bool WriteSelfRemovalBatch(const Streng& installFolder, const Streng& uninstallSubdir) {
  SelfRemovalPaths paths{ModulePath(), installFolder, uninstallSubdir, SelfRemovalBatchPath()};
  if (paths.executable.empty() || paths.batchFile.empty() || installFolder.empty()) return false;
  if (!WriteSelfRemovalBatchFile(paths, SystemHasUtf8Console())) return false;
  return StartSelfRemovalBatch(paths.batchFile);
}

}  // namespace uninstall
