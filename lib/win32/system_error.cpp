#include "lib/win32/system_error.h"

#include <windows.h>

#include "lib/format.h"
#include "lib/win32/handle.h"

namespace vk {

namespace {

Streng Lookup(DWORD code) {
  constexpr DWORD kFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  const DWORD language = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);
  wchar_t buffer[1024];
  DWORD n = FormatMessageW(kFlags, nullptr, code, language, buffer, DWORD(std::size(buffer)), nullptr);
  if (n > 0 && n < std::size(buffer)) return FromW(buffer, n);
  if (n == 0 && GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
  // A message longer than the stack buffer: let the system size it.
  LocalMemory owned;
  n = FormatMessageW(kFlags | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code, language,
                     reinterpret_cast<wchar_t*>(owned.put()), 0, nullptr);
  if (n == 0 || !owned) return {};
  return FromW(static_cast<const wchar_t*>(owned.get()), n);
}

}  // namespace

Streng SystemErrorText(uint32_t code) {
  if (code == 0) return {};
  if (code == 86) return u"Incorrect password.";
  const DWORD saved = GetLastError();
  Streng text = Lookup(code);
  size_t end = text.size();
  while (end > 0) {
    const char16_t c = text[end - 1];
    if (c != u' ' && c != u'\r' && c != u'\n' && c != u'\t') break;
    --end;
  }
  text.resize(end);
  if (text.empty()) text = Format(u"Error 0x%08X", code);
  SetLastError(saved);
  return text;
}

Streng LastSystemErrorText() { return SystemErrorText(GetLastError()); }

}  // namespace vk
