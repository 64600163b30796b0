// Test-only program that owns one top-level window:
//
//   window_owner CLASS TITLE [SECONDS]
//
// Creates a window of that class and title (hidden) and handles its messages until the loop
// ends. Exit code 10: the window got WM_CLOSE; 20: the loop got WM_QUIT without a close;
// 30: nothing came within SECONDS, default a minute (so that a failed test leaves nothing
// running); 2: bad use;
// 3: the class cannot be registered; 4: the window cannot be made.
#include <windows.h>
#include <stdlib.h>  // _wtoi

namespace {

bool g_closed = false;
constexpr UINT_PTR kLifetimeTimer = 1;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_CLOSE:
      g_closed = true;
      break;  // the default destroys the window
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_TIMER:
      if (w == kLifetimeTimer) ExitProcess(30);
      return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3 && argc != 4) return 2;
  const UINT lifetime = argc == 4 ? UINT(_wtoi(argv[3])) * 1000 : 60000;
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = argv[1];
  if (!RegisterClassW(&windowClass)) return 3;
  HWND window = CreateWindowExW(0, argv[1], argv[2], WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
  if (!window) return 4;
  SetTimer(window, kLifetimeTimer, lifetime ? lifetime : 60000, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return g_closed ? 10 : 20;
}
