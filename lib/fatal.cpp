#include "lib/fatal.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vk {

namespace {

constexpr size_t kMaxText = 4095;  // a 4,096-character buffer with its terminator
constexpr int kMaxCleanups = 100;

struct FatalState {
  FatalHandler8 handler8 = nullptr;
  FatalHandler16 handler16 = nullptr;
  std::mutex lock;
  std::vector<std::function<void()>> cleanups;
  std::atomic<bool> handling{false};
};

FatalState& State() {
  static FatalState state;  // built on first use: handlers may be set by static constructors
  return state;
}

[[noreturn]] void EndProcess() {
#ifdef _WIN32
  ExitProcess(static_cast<UINT>(-1));
#else
  std::_Exit(-1);
#endif
}

void RunCleanups() {
  FatalState& s = State();
  for (int i = 0; i < kMaxCleanups; ++i) {
    std::function<void()> callback;
    {
      std::lock_guard<std::mutex> guard(s.lock);
      if (s.cleanups.empty()) return;
      callback = std::move(s.cleanups.back());
      s.cleanups.pop_back();
    }
    try {
      callback();
    } catch (...) {
    }
  }
}

// True for the first fatal error of the process.
bool FirstFatal() { return !State().handling.exchange(true); }

}  // namespace

void SetFatalErrorHandler(FatalHandler8 handler) { State().handler8 = handler; }
void SetFatalErrorHandler(FatalHandler16 handler) { State().handler16 = handler; }

void AddFatalCleanup(std::function<void()> callback) {
  std::lock_guard<std::mutex> guard(State().lock);
  State().cleanups.push_back(std::move(callback));
}

void FatalErrorText(String text) {
  if (FirstFatal()) {
    if (text.size() > kMaxText) text.resize(kMaxText);
    RunCleanups();
    if (State().handler8) State().handler8(text);
  }
  EndProcess();
}

void FatalErrorText(Streng text) {
  if (FirstFatal()) {
    if (text.size() > kMaxText) text.resize(kMaxText);
    if (State().handler16)
      State().handler16(text);
    else if (State().handler8)
      State().handler8(StrengToAnsi(text));
  }
  EndProcess();
}

void InternalFatalError(const char* module, int line) {
  FatalError("Internal Fatal Error\r\nModule: %s\r\nLine: %d", module, line);
}

}  // namespace vk
