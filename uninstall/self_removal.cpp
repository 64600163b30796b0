#include "uninstall/self_removal.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

#include "lib/narrow_path.h"
#include "lib/win32/fileops.h"
#include "lib/win32/handle.h"
#include "setup/batch_runner.h"
#include "setup/launch_process.h"
#include "setup/os_facts.h"
#include "setup/system_folders.h"

namespace uninstall {

using vk::Streng;

namespace {

constexpr int kFolderAttempts = 8;

// The path with its components in their long form; the path itself when the system has none.
Streng LongPath(const Streng& path) {
  const DWORD n = GetLongPathNameW(vk::W(path), nullptr, 0);
  if (n == 0) return path;
  std::vector<wchar_t> buffer(n + 1);
  const DWORD got = GetLongPathNameW(vk::W(path), buffer.data(), DWORD(buffer.size()));
  return got == 0 || got >= buffer.size() ? path : vk::FromW(buffer.data(), got);
}

// The running user's SID as text ("S-1-5-21-..."); empty when it cannot be read.
Streng UserSid() {
  vk::KernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<unsigned char> buffer(size);
  if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
  vk::LocalMemory text;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid,
                              reinterpret_cast<LPWSTR*>(text.put())))
    return {};
  return vk::FromW(static_cast<const wchar_t*>(text.get()));
}

SelfRemovalPaths InShortForm(const SelfRemovalPaths& paths) {
  SelfRemovalPaths out = paths;
  if (!out.executable.empty()) out.executable = vk::ShortPath(out.executable);
  out.installFolder = vk::ShortPath(out.installFolder);
  out.batchFile = vk::JoinPath(vk::ShortPath(vk::PathFolder(out.batchFile)), vk::PathFileName(out.batchFile));
  out.interpreter = vk::ShortPath(out.interpreter);
  // The subfolder's short form, relative again to the installation folder's.
  const Streng dataFolder = vk::ShortPath(vk::JoinPath(paths.installFolder, paths.uninstallSubdir));
  if (!paths.uninstallSubdir.empty() && dataFolder.size() > out.installFolder.size() + 1 &&
      vk::EqualsNoCase(std::u16string_view(dataFolder).substr(0, out.installFolder.size()), out.installFolder))
    out.uninstallSubdir = dataFolder.substr(out.installFolder.size() + 1);
  return out;
}

}  // namespace

bool SystemHasUtf8Console() {
  // Earlier consoles run a UTF-8 batch under "chcp 65001" only in part.
  return setup::SystemOsFacts().major >= 10;
}

Streng CreatePrivateFolder() {
  const Streng temp = setup::TemporaryFolder();
  const Streng sid = UserSid();
  if (temp.empty() || sid.empty()) return {};
  // Full access for the user, the administrators and the system only; nothing inherited from a
  // temporary folder that others may share.
  const Streng sddl = u"D:P(A;OICI;FA;;;" + sid + u")(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";
  vk::LocalMemory descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(vk::W(sddl), SDDL_REVISION_1,
                                                            reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()),
                                                            nullptr))
    return {};
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.get(), FALSE};
  for (int attempt = 0; attempt < kFolderAttempts; ++attempt) {
    const Streng name = vk::RandomNamePart();
    if (name.empty()) return {};
    const Streng folder = vk::JoinPath(temp, u"bs-" + name);
    // Fails for anything already under the name, a link included: the folder is always new.
    if (CreateDirectoryW(vk::W(folder), &attributes)) return folder;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

bool WriteSelfRemovalBatchFile(const SelfRemovalPaths& paths, bool utf8Console) {
  if (paths.batchFile.empty()) return false;
  bool lossless = true;
  vk::String bytes = EncodeSelfRemovalBatch(SelfRemovalText(paths), utf8Console, &lossless);
  // A character the code page lacks would become "?", a wildcard: the short forms may do
  // without it; otherwise nothing is written.
  if (!lossless) bytes = EncodeSelfRemovalBatch(SelfRemovalText(InShortForm(paths)), utf8Console, &lossless);
  if (!lossless) return false;
  vk::FileHandle file(CreateFileW(vk::W(paths.batchFile), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
}

bool StartSelfRemovalBatch(const Streng& batchFile) { return setup::LaunchDetached(batchFile); }

bool WriteSelfRemovalBatch(const Streng& installFolder, const Streng& uninstallSubdir) {
  if (installFolder.empty()) return false;
  Streng executable = setup::ModulePath();
  const Streng uninstallFolder =
      uninstallSubdir.empty() ? installFolder : vk::JoinPath(installFolder, uninstallSubdir);
  if (executable.empty() || !IsProductUninstaller(LongPath(executable), LongPath(uninstallFolder))) executable.clear();
  const Streng folder = CreatePrivateFolder();
  if (folder.empty()) return false;
  const SelfRemovalPaths paths{executable, installFolder, uninstallSubdir, vk::JoinPath(folder, kSelfRemovalBatchName),
                               setup::CommandInterpreterPath()};
  if (WriteSelfRemovalBatchFile(paths, SystemHasUtf8Console()) && StartSelfRemovalBatch(paths.batchFile)) return true;
  DeleteFileW(vk::W(paths.batchFile));
  RemoveDirectoryW(vk::W(folder));
  return false;
}

}  // namespace uninstall
