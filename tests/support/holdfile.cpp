// Test-only: keeps a file open without sharing, so that an installer run meets a locked target.
//
//   holdfile PATH SECONDS
//
// Opens PATH (creating it when missing) with no sharing, prints "held" once it holds it, waits
// SECONDS and exits 0. Exits 1 when the file cannot be opened, 2 on a usage error.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: holdfile PATH SECONDS\n");
    return 2;
  }
  const DWORD seconds = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
  HANDLE file = CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "holdfile: cannot open the file, error %lu\n", GetLastError());
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  Sleep(seconds * 1000);
  CloseHandle(file);
  return 0;
}
