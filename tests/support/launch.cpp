// Test-only launcher: starts a program with a literal Windows command line, which `wine prog
// args...` cannot pass when arguments hold quotes (Wine quotes each argument anew).
//
//   launch [--timeout MS] "command line"
//
// Waits for the program, prints "exit=N" with its exit code as a signed number (-1, not 255)
// and returns that code. When the program runs longer than the time (default 120000 ms) it is
// ended, "timeout" is printed and the code is 124; when it cannot be started, 127.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  DWORD timeout = 120000;
  int i = 1;
  if (argc == 4 && std::wcscmp(argv[1], L"--timeout") == 0) {
    timeout = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
    i = 3;
  }
  if (argc != i + 1) {
    std::fprintf(stderr, "usage: launch [--timeout MS] \"command line\"\n");
    return 2;
  }
  std::wstring commandLine = argv[i];  // CreateProcessW may write into it
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fprintf(stderr, "launch: CreateProcessW failed, error %lu\n", GetLastError());
    return 127;
  }
  CloseHandle(process.hThread);
  if (WaitForSingleObject(process.hProcess, timeout) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 124);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hProcess);
    std::printf("timeout\n");
    return 124;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  std::printf("exit=%ld\n", static_cast<long>(static_cast<LONG>(code)));
  std::fflush(stdout);
  return static_cast<int>(code);
}
