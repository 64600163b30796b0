#include "setup/progress.h"

#include <windows.h>

#include "setup/install_context.h"

namespace setup {

namespace {

constexpr UINT kProgressMessage = WM_USER + 2;
HWND g_window = nullptr;
ULONGLONG g_statusShown = 0;

}  // namespace

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void SetProgressWindow(void* window) { g_window = static_cast<HWND>(window); }

void SetStatusLine(const vk::Streng& line) {
  g_statusShown = GetTickCount64();
  if (g_window) SetDlgItemTextW(g_window, 1009, vk::W(line));
  PumpMessages();
}

void SetStatus(int textId) { SetStatusLine(text(textId)); }

void SetProgress(int position) {
  if (g_window) PostMessageW(g_window, kProgressMessage, WPARAM(position), 0);
  PumpMessages();
}

void HoldStatus() { WaitStatus(Context().settings.StatusHoldTime); }

void WaitStatus(unsigned milliseconds) {
  if (Context().automaticMode) return;
  while (GetTickCount64() - g_statusShown < milliseconds) {
    PumpMessages();
    Sleep(50);
  }
}

}  // namespace setup
