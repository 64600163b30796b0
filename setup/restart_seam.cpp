#include "setup/restart_seam.h"

#include <windows.h>

#include "lib/win32/handle.h"
#include "setup/reboot.h"

namespace setup {

namespace {

wchar_t g_restartFile[MAX_PATH + 1];

bool NoteRestartRequest() {
  vk::FileHandle file(CreateFileW(g_restartFile, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  static const char kLine[] = "restart requested\r\n";
  DWORD written = 0;
  return WriteFile(file.get(), kLine, sizeof kLine - 1, &written, nullptr) && written == sizeof kLine - 1;
}

}  // namespace

void InstallRestartTestSeam() {
  const DWORD n = GetEnvironmentVariableW(L"BRIMSTEAD_TEST_RESTART_FILE", g_restartFile, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return;
  SetRestartRequest(&NoteRestartRequest);
}

}  // namespace setup
