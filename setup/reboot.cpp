#include "setup/reboot.h"

#include <windows.h>

#include <random>

#include "lib/format.h"
#include "lib/narrow_path.h"
#include "lib/win32/fileops.h"
#include "lib/win32/handle.h"
#include "lib/win32/system_error.h"
#include "lib/wininit.h"
#include "setup/core/product_flags.h"

namespace setup {

namespace {

constexpr DWORD kProtectedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
constexpr int kTempTries = 400;

vk::Streng TempFolder() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH) return {};
  vk::Streng folder = vk::FromW(buffer, n);
  if (folder.size() > 3 && folder.back() == u'\\') folder.pop_back();
  return folder;
}

uint16_t Random16() {
  static std::minstd_rand generator(GetTickCount() ^ (GetCurrentProcessId() << 16));
  return uint16_t(generator() >> 8);
}

RestartRequest& CurrentRestartRequest() {
  static RestartRequest request = &RequestSystemRestart;
  return request;
}

bool SetShutdownPrivilege(HANDLE token, bool enable) {
  TOKEN_PRIVILEGES privileges{};
  if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) return false;
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  return AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
}

}  // namespace

bool EntryTimeToFileTime(const int32_t time[6], FILETIME& out) {
  if (!time || time[1] == 0 || time[3] < 0) return false;
  for (int i = 0; i < 6; ++i)
    if (time[i] < 0 || time[i] > 0xFFFF) return false;
  SYSTEMTIME st{};
  st.wYear = WORD(time[0]);
  st.wMonth = WORD(time[1]);
  st.wDay = WORD(time[2]);
  st.wHour = WORD(time[3]);
  st.wMinute = WORD(time[4]);
  st.wSecond = WORD(time[5]);
  return SystemTimeToFileTime(&st, &out) != 0;
}

bool SetEntryFileTime(const vk::Streng& path, const int32_t time[6]) {
  FILETIME ft;
  if (!EntryTimeToFileTime(time, ft)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  vk::FileHandle file(CreateFileW(vk::W(path), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.valid() && SetFileTime(file.get(), &ft, nullptr, &ft);
}

uint32_t CreateFolderTree(const vk::Streng& folder) {
  vk::Streng path = folder;
  while (path.size() > 3 && path.back() == u'\\') path.pop_back();
  if (path.empty()) return ERROR_PATH_NOT_FOUND;
  const DWORD attributes = GetFileAttributesW(vk::W(path));
  if (attributes != INVALID_FILE_ATTRIBUTES)
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ERROR_ALREADY_EXISTS;
  const size_t cut = path.find_last_of(u'\\');
  if (cut != vk::Streng::npos && cut > 0 && path[cut - 1] != u':' && path[cut - 1] != u'\\') {
    if (const uint32_t error = CreateFolderTree(path.substr(0, cut))) return error;
  }
  if (CreateDirectoryW(vk::W(path), nullptr)) return 0;
  const DWORD error = GetLastError();
  return error == ERROR_ALREADY_EXISTS && vk::IsFolder(path) ? 0 : error;
}

vk::Streng MakeTempName(const vk::Streng& folder, const vk::Streng& extension, uint32_t flags) {
  vk::Streng dir = folder;
  if (!dir.empty()) {
    if (const uint32_t error = CreateFolderTree(dir)) {
      SetLastError(error);
      return {};
    }
  } else {
    dir = TempFolder();
  }
  vk::Streng ext = extension;
  if (!ext.empty() && ext[0] == u'.') ext.erase(0, 1);
  if (ext.empty()) {
    wchar_t buffer[MAX_PATH];
    if (GetTempFileNameW(vk::W(dir), L"VKT", 0, buffer)) return vk::FromW(buffer);
  }
  for (int attempt = 0; attempt < kTempTries; ++attempt) {
    const vk::Streng name =
        vk::JoinPath(dir, vk::Format(u"VKT%4X.%s", unsigned(Random16()), ext.empty() ? vk::Streng(u"tmp") : ext));
    if (ext.empty()) {
      if (GetFileAttributesW(vk::W(name)) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND)
        return name;
    } else {
      vk::FileHandle file(CreateFileW(vk::W(name), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file.valid()) return name;
    }
    if (flags & kTempKeepFolder) continue;
    if (attempt == 200) {
      const vk::Streng temp = TempFolder();
      if (!temp.empty() && vk::IsFolder(temp)) dir = temp;
    } else if (attempt == 300) {
      const vk::Streng fallback = u"c:\\temp";
      CreateFolderTree(fallback);
      if (vk::IsFolder(fallback)) dir = fallback;
    }
  }
  SetLastError(ERROR_FILE_EXISTS);
  return {};
}

bool MoveAtReboot(const vk::Streng& source, const vk::Streng& target) {
  if (!MoveFileExW(vk::W(source), vk::W(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT)) {
    const DWORD error = GetLastError();
    if (!vk::HasWininit()) {
      SetLastError(error);
      return false;
    }
    if (!vk::WriteWininitRename(vk::ShortPath(target), vk::ShortPath(source))) return false;
  }
  SetLastError(ERROR_BUSY);
  return true;
}

bool DeleteAtReboot(const vk::Streng& path) { return vk::DeleteFileEx(path, vk::KeepReadOnly | vk::AtReboot); }

bool RegisterReplacement(ReplacementContext& context, const PendingReplacement& r) {
  auto dropTemp = [&] {
    if (!r.tempFile.empty()) {
      SetFileAttributesW(vk::W(r.tempFile), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(vk::W(r.tempFile));
    }
  };
  vk::Streng message = u"\r\n" + context.Text(31) + u" " + r.target + u"\r\n";
  const bool attempt = (r.existedBefore || context.ProductFlag(flag::ReplaceNewFilesAtReboot)) &&
                       r.errorCode != ERROR_INVALID_NAME;
  // A path without a drive letter (a network share) has no drive to miss.
  if (r.target.size() >= 2 && r.target[1] == u':' && vk::DriveKind(r.target) == 0) {
    message += vk::Format(u"Drive %c: is not present.\r\n", r.target[0]);
    context.AddFailure(message);
    dropTemp();
    return false;
  }
  const vk::Streng reason = vk::SystemErrorText(r.errorCode);
  if (!reason.empty()) message += reason + u"\r\n\r\n";
  if (!attempt) {
    context.AddFailure(message);
    dropTemp();
    return false;
  }
  if (r.tempFile.empty()) {
    message += vk::Format(u"Failed to register '%s' for replacement because no temporary file could be created.\r\n%s\r\n\r\n",
                          r.target, vk::SystemErrorText(r.tempError));
    context.AddFailure(message);
    return false;
  }
  const DWORD attributes = GetFileAttributesW(vk::W(r.tempFile));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kProtectedAttributes)) {
    const DWORD cleared = attributes & ~kProtectedAttributes;
    SetFileAttributesW(vk::W(r.tempFile), cleared ? cleared : FILE_ATTRIBUTE_NORMAL);
  }
  if (r.time) SetEntryFileTime(r.tempFile, r.time);
  if (MoveAtReboot(r.tempFile, r.target)) {
    context.SetProductFlag(flag::RestartRequired);
    message += vk::Format(u"\"%s\" was successfully registered for replacement.\r\nTemporary file is \"%s\"\r\n"
                          u"Reboot will be required.\r\n\r\n",
                          r.target, r.tempFile);
    context.Log(message);
    return true;
  }
  const DWORD error = GetLastError();
  message += vk::Format(u"Failed to register '%s' for replacement with temporary file '%s'\r\n%s\r\n\r\n", r.target,
                        r.tempFile, vk::SystemErrorText(error));
  dropTemp();
  context.AddFailure(message);
  return false;
}

bool CreateRebootMarker(ReplacementContext& context, const vk::Streng& installFolder) {
  if (!context.ProductFlag(flag::RebootMarker)) return false;
  const vk::Streng path = vk::JoinPath(installFolder, u"reboot.dat");
  {
    vk::FileHandle file(CreateFileW(vk::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
  }
  DeleteAtReboot(path);
  return true;
}

bool RequestSystemRestart() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return false;
  vk::KernelHandle token(raw);
  SetShutdownPrivilege(token.get(), true);
  const bool ok = ExitWindowsEx(EWX_REBOOT | EWX_FORCEIFHUNG, 0x80040002) != 0;
  SetShutdownPrivilege(token.get(), false);
  return ok;
}

RestartRequest SetRestartRequest(RestartRequest request) {
  RestartRequest previous = CurrentRestartRequest();
  CurrentRestartRequest() = request ? request : &RequestSystemRestart;
  return previous;
}

bool RestartWanted(ReplacementContext& context) {
  if (!context.ProductFlag(flag::RestartRequired)) return false;
  if (context.AutomaticMode() && !context.ProductFlag(flag::RebootQuestionInAutomaticMode)) return true;
  if (context.SilentMode()) return true;
  return context.AskYesNo(context.Text(37), context.Text(20));
}

bool RestartIfRequired(ReplacementContext& context, const std::function<void()>& beforeRestart) {
  const bool restart = RestartWanted(context);
  if (beforeRestart) beforeRestart();
  if (!restart) return false;
  CurrentRestartRequest()();
  return true;
}

}  // namespace setup
