#include "setup/work_file.h"

#include <windows.h>

#include "lib/win32/handle.h"

namespace setup {

namespace {

vk::FileHandle g_workFile;

constexpr unsigned kAttempts = 100;

}  // namespace

bool CreateWorkFile(const vk::Streng& folder) {
  DeleteWorkFile();
  const unsigned first = GetTickCount() ^ (GetCurrentProcessId() << 4);
  for (unsigned i = 0; i < kAttempts; ++i) {
    // With a number of its own, GetTempFileNameW only forms the name; 0 would make it create one.
    const unsigned number = ((first + i) & 0xFFFF) ? (first + i) & 0xFFFF : 1;
    wchar_t name[MAX_PATH + 1];
    if (!GetTempFileNameW(vk::W(folder), L"bsw", number, name)) return false;
    HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      g_workFile.reset(file);
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED) return false;
  }
  return false;
}

void DeleteWorkFile() { g_workFile.reset(); }

}  // namespace setup
