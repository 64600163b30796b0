#include "uninstall/whole_folder.h"

#include <windows.h>
#include <shlobj.h>

#include "lib/narrow_path.h"
#include "lib/win32/handle.h"
#include "setup/system_folders.h"
#include "uninstall/core/protected_folders.h"

namespace uninstall {

namespace {

// Deeper trees than this are not an installation's; what lies below stays.
constexpr int kMaxDepth = 128;

constexpr int kProtectedCsidls[] = {
    CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
    CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86, CSIDL_PROFILE, CSIDL_COMMON_APPDATA,
    CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_PERSONAL, CSIDL_COMMON_DOCUMENTS, CSIDL_DESKTOPDIRECTORY,
    CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS, CSIDL_STARTMENU,
    CSIDL_COMMON_STARTMENU, CSIDL_STARTUP, CSIDL_COMMON_STARTUP, CSIDL_FONTS, CSIDL_FAVORITES,
    CSIDL_COMMON_FAVORITES, CSIDL_MYMUSIC, CSIDL_MYPICTURES, CSIDL_MYVIDEO, CSIDL_TEMPLATES,
    CSIDL_COMMON_TEMPLATES, CSIDL_ADMINTOOLS, CSIDL_COMMON_ADMINTOOLS, CSIDL_RESOURCES,
};

// Environment variables that name the same folders where the shell reports another view.
constexpr const char16_t* kProtectedVariables[] = {
    u"SystemRoot", u"windir", u"SystemDrive", u"ProgramFiles", u"ProgramFiles(x86)", u"ProgramW6432",
    u"CommonProgramFiles", u"CommonProgramFiles(x86)", u"CommonProgramW6432", u"ProgramData",
    u"ALLUSERSPROFILE", u"PUBLIC", u"USERPROFILE", u"APPDATA", u"LOCALAPPDATA",
};

vk::Streng FromBuffer(const wchar_t* buffer, UINT n) { return n && n < MAX_PATH ? vk::FromW(buffer, n) : vk::Streng(); }

// The path in the form the system takes beyond MAX_PATH.
vk::Streng LongForm(const vk::Streng& path) {
  if (path.substr(0, 4) == u"\\\\?\\") return path;
  if (path.substr(0, 2) == u"\\\\") return u"\\\\?\\UNC\\" + path.substr(2);
  return u"\\\\?\\" + path;
}

bool RemoveEntry(const vk::Streng& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_READONLY)
    SetFileAttributesW(vk::W(path), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return RemoveDirectoryW(vk::W(path)) != FALSE;
  return DeleteFileW(vk::W(path)) != FALSE;
}

// Deletes what the folder holds and then the folder. A reparse point is removed as it stands.
bool DeleteTree(const vk::Streng& folder, DWORD attributes, int depth) {
  bool complete = true;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    if (depth >= kMaxDepth) return false;
    WIN32_FIND_DATAW found;
    vk::FindHandle search(FindFirstFileW(vk::W(folder + u"\\*"), &found));
    if (search) {
      do {
        const vk::Streng name = vk::FromW(found.cFileName);
        if (name == u"." || name == u"..") continue;
        const vk::Streng path = folder + u"\\" + name;
        const bool done = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                              ? DeleteTree(path, found.dwFileAttributes, depth + 1)
                              : RemoveEntry(path, found.dwFileAttributes);
        complete = complete && done;
      } while (FindNextFileW(search.get(), &found));
    }
  }
  return RemoveEntry(folder, attributes) && complete;
}

}  // namespace

std::vector<vk::Streng> ProtectedSystemFolders() {
  std::vector<vk::Streng> folders;
  for (const int csidl : kProtectedCsidls) folders.push_back(setup::ShellFolderPath(csidl));
  for (const char16_t* name : kProtectedVariables) folders.push_back(setup::EnvironmentFolder(name));
  wchar_t buffer[MAX_PATH];
  folders.push_back(FromBuffer(buffer, GetWindowsDirectoryW(buffer, MAX_PATH)));
  folders.push_back(FromBuffer(buffer, GetSystemWindowsDirectoryW(buffer, MAX_PATH)));
  folders.push_back(FromBuffer(buffer, GetSystemDirectoryW(buffer, MAX_PATH)));
  folders.push_back(FromBuffer(buffer, GetSystemWow64DirectoryW(buffer, MAX_PATH)));
  folders.push_back(setup::TemporaryFolder());
  // The folder that holds every user's profile.
  const vk::Streng profile = setup::ShellFolderPath(CSIDL_PROFILE);
  if (!profile.empty()) folders.push_back(vk::PathFolder(NormalizeFolder(profile)));
  std::erase_if(folders, [](const vk::Streng& f) { return f.empty(); });
  return folders;
}

bool DeleteInstallationTree(const vk::Streng& installFolder) {
  if (IsProtectedFolder(installFolder, ProtectedSystemFolders())) return false;
  const vk::Streng folder = LongForm(NormalizeFolder(installFolder));
  const DWORD attributes = GetFileAttributesW(vk::W(folder));
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // nothing there
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  DeleteTree(folder, attributes, 0);
  return GetFileAttributesW(vk::W(folder)) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace uninstall
