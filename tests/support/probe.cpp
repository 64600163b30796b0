// Test-only program that tells how it was started:
//
//   probe [--report FILE] [--sleep MS] [CODE]
//
// With --report, writes four lines (UTF-8) into FILE: its working folder, its start-up
// record's show state ("-" when none was given, else the number), its priority class (in
// hexadecimal) and its own path. Then sleeps MS milliseconds and exits with CODE (default 0).
#include <windows.h>

#include <stdlib.h>

#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? size_t(n) : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  if (!out.empty()) out.pop_back();
  return out;
}

bool Report(const wchar_t* file) {
  wchar_t folder[MAX_PATH * 2] = {};
  GetCurrentDirectoryW(MAX_PATH * 2, folder);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  char numbers[64];
  if (startup.dwFlags & STARTF_USESHOWWINDOW)
    wsprintfA(numbers, "%u\r\n%lx\r\n", unsigned(startup.wShowWindow), GetPriorityClass(GetCurrentProcess()));
  else
    wsprintfA(numbers, "-\r\n%lx\r\n", GetPriorityClass(GetCurrentProcess()));
  wchar_t self[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  const std::string text = Utf8(folder) + "\r\n" + numbers + Utf8(self) + "\r\n";
  HANDLE h = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
  CloseHandle(h);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int code = 0;
  for (int i = 1; i < argc; ++i) {
    if (lstrcmpW(argv[i], L"--report") == 0 && i + 1 < argc) {
      if (!Report(argv[++i])) return 3;
    } else if (lstrcmpW(argv[i], L"--sleep") == 0 && i + 1 < argc) {
      Sleep(DWORD(_wtoi(argv[++i])));
    } else {
      code = _wtoi(argv[i]);
    }
  }
  return code;
}
