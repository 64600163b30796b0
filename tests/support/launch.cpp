// Test-only launcher: starts a program with a literal Windows command line, which `wine prog
// args...` cannot pass when arguments hold quotes (Wine quotes each argument anew).
//
//   launch [--timeout MS] [--memory] "command line"
//
// Waits for the program, prints "exit=N" with its exit code as a signed number (-1, not 255)
// and returns that code. When the program runs longer than the time (default 120000 ms) it is
// ended, "timeout" is printed and the code is 124; when it cannot be started, 127.
//
// With --memory, "peak_private=N peak_working_set=N" (bytes) is printed before "exit=". The
// process is sampled every few milliseconds while it runs and the largest values are kept: Wine
// reports the current private usage in the peak field and nothing once the process has ended.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Peaks {
  SIZE_T privateBytes = 0;
  SIZE_T workingSet = 0;
  void sample(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, &counters, sizeof(counters))) return;
    privateBytes = std::max({privateBytes, counters.PeakPagefileUsage, counters.PagefileUsage});
    workingSet = std::max({workingSet, counters.PeakWorkingSetSize, counters.WorkingSetSize});
  }
};

constexpr DWORD kSampleMs = 10;

}  // namespace

int wmain(int argc, wchar_t** argv) {
  DWORD timeout = 120000;
  bool memory = false;
  int i = 1;
  for (; i < argc - 1; ++i) {
    if (std::wcscmp(argv[i], L"--timeout") == 0 && i + 2 < argc) {
      timeout = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
    } else if (std::wcscmp(argv[i], L"--memory") == 0) {
      memory = true;
    } else {
      break;
    }
  }
  if (argc != i + 1) {
    std::fprintf(stderr, "usage: launch [--timeout MS] [--memory] \"command line\"\n");
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
  Peaks peaks;
  const ULONGLONG end = GetTickCount64() + timeout;
  DWORD waited = WAIT_TIMEOUT;
  for (;;) {
    if (memory) peaks.sample(process.hProcess);
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now >= end ? 0 : static_cast<DWORD>(end - now);
    waited = WaitForSingleObject(process.hProcess, memory ? std::min(left, kSampleMs) : left);
    if (waited != WAIT_TIMEOUT || left == 0) break;
  }
  if (waited != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 124);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hProcess);
    std::printf("timeout\n");
    return 124;
  }
  if (memory) {
    peaks.sample(process.hProcess);
    std::printf("peak_private=%llu peak_working_set=%llu\n", static_cast<unsigned long long>(peaks.privateBytes),
                static_cast<unsigned long long>(peaks.workingSet));
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  std::printf("exit=%ld\n", static_cast<long>(static_cast<LONG>(code)));
  std::fflush(stdout);
  return static_cast<int>(code);
}
