#include "uninstall/self_removal.h"

#include <windows.h>

#include <vector>

#include "lib/narrow_path.h"
#include "lib/win32/handle.h"
#include "setup/launch_process.h"
#include "setup/os_facts.h"

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

bool StartSelfRemovalBatch(const Streng& batchFile) { return setup::LaunchDetached(batchFile); }

bool WriteSelfRemovalBatch(const Streng& installFolder, const Streng& uninstallSubdir) {
  SelfRemovalPaths paths{ModulePath(), installFolder, uninstallSubdir, SelfRemovalBatchPath()};
  if (paths.executable.empty() || paths.batchFile.empty() || installFolder.empty()) return false;
  if (!WriteSelfRemovalBatchFile(paths, SystemHasUtf8Console())) return false;
  return StartSelfRemovalBatch(paths.batchFile);
}

}  // namespace uninstall
