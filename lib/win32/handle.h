#pragma once
// One small owner for every kind of system handle. The traits give the handle's type, the value
// that means "none" (INVALID_HANDLE_VALUE for files and searches, NULL for most others) and how
// to close it. Closing keeps the thread's last error, so a handle dropped on an error path does
// not change the error the caller is about to report.
#include <windows.h>

#include <utility>

namespace vk {

template <class Traits>
class UniqueHandle {
public:
  using Type = typename Traits::Type;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Type h) noexcept : h_(h) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Type get() const noexcept { return h_; }
  bool valid() const noexcept { return h_ != Traits::Empty(); }
  explicit operator bool() const noexcept { return valid(); }

  // For out-parameters: closes what is held and hands out the slot.
  Type* put() noexcept {
    reset();
    return &h_;
  }
  Type release() noexcept { return std::exchange(h_, Traits::Empty()); }
  void reset(Type h = Traits::Empty()) noexcept {
    Type old = std::exchange(h_, h);
    if (old != Traits::Empty()) {
      const DWORD error = GetLastError();
      Traits::Close(old);
      SetLastError(error);
    }
  }

private:
  Type h_ = Traits::Empty();
};

struct FileHandleTraits {  // CreateFileW, CreateNamedPipeW, ...
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { CloseHandle(h); }
};
struct KernelHandleTraits {  // processes, threads, events, mappings, ...
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { CloseHandle(h); }
};
struct FindHandleTraits {  // FindFirstFileW
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { FindClose(h); }
};
struct ModuleHandleTraits {  // LoadLibraryExW
  using Type = HMODULE;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { FreeLibrary(h); }
};
struct LocalMemoryTraits {  // buffers the system allocates with LocalAlloc
  using Type = HLOCAL;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { LocalFree(h); }
};
struct RegKeyTraits {  // RegOpenKeyExW, RegCreateKeyExW
  using Type = HKEY;
  static Type Empty() { return nullptr; }
  static void Close(Type h) { RegCloseKey(h); }
};

using FileHandle = UniqueHandle<FileHandleTraits>;
using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using ModuleHandle = UniqueHandle<ModuleHandleTraits>;
using LocalMemory = UniqueHandle<LocalMemoryTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;

// Runs a callable when the scope ends, unless dismissed.
template <class F>
class ScopeExit {
public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ~ScopeExit() {
    if (active_) f_();
  }
  void dismiss() { active_ = false; }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

private:
  F f_;
  bool active_ = true;
};

}  // namespace vk
