#include "uninstall/product_key.h"

#include <windows.h>

#include <vector>

namespace uninstall {

namespace {

// The value's type and bytes, or nothing when it is missing or implausibly large.
// 8-bit text is read through the ANSI call, so that the bytes come back as they were written.
std::optional<std::vector<uint8_t>> ReadRaw(HKEY key, const wchar_t* name, DWORD* type, bool ansi = false) {
  const vk::String name8 = ansi ? vk::StrengToAnsi(vk::FromW(name)) : vk::String();
  auto query = [&](uint8_t* data, DWORD* size) {
    return ansi ? RegQueryValueExA(key, name8.c_str(), nullptr, type, data, size)
                : RegQueryValueExW(key, name, nullptr, type, data, size);
  };
  DWORD size = 0;
  if (query(nullptr, &size) != ERROR_SUCCESS || size > kMaxValueBytes) return std::nullopt;
  std::vector<uint8_t> bytes(size);
  // The value may grow between the two calls; then it is read again once with the new size.
  LONG status = query(bytes.data(), &size);
  if (status == ERROR_MORE_DATA && size <= kMaxValueBytes) {
    bytes.resize(size);
    status = query(bytes.data(), &size);
  }
  if (status != ERROR_SUCCESS) return std::nullopt;
  bytes.resize(size);
  return bytes;
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

}  // namespace

vk::Streng ReadWideValue(HKEY key, const wchar_t* name) {
  DWORD type = 0;
  auto bytes = ReadRaw(key, name, &type);
  if (!bytes || !IsText(type)) return {};
  vk::Streng text(bytes->size() / 2, u'\0');
  std::copy(bytes->begin(), bytes->begin() + text.size() * 2, reinterpret_cast<uint8_t*>(text.data()));
  // Stored text need not end in a terminator, and may carry several.
  const size_t end = text.find(u'\0');
  if (end != vk::Streng::npos) text.resize(end);
  return text;
}

vk::String ReadAnsiValue(HKEY key, const wchar_t* name) {
  DWORD type = 0;
  auto bytes = ReadRaw(key, name, &type, true);
  if (!bytes || !IsText(type)) return {};
  vk::String text(bytes->begin(), bytes->end());
  const size_t end = text.find('\0');
  if (end != vk::String::npos) text.resize(end);
  return text;
}

std::optional<uint32_t> ReadDwordValue(HKEY key, const wchar_t* name) {
  DWORD type = 0;
  auto bytes = ReadRaw(key, name, &type);
  if (!bytes || type != REG_DWORD || bytes->size() != 4) return std::nullopt;
  return uint32_t((*bytes)[0]) | uint32_t((*bytes)[1]) << 8 | uint32_t((*bytes)[2]) << 16 | uint32_t((*bytes)[3]) << 24;
}

std::optional<uint64_t> ReadQwordValue(HKEY key, const wchar_t* name) {
  DWORD type = 0;
  auto bytes = ReadRaw(key, name, &type);
  if (!bytes || type != REG_QWORD || bytes->size() != 8) return std::nullopt;
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | (*bytes)[size_t(i)];
  return value;
}

uint64_t ParseDecimal64(std::u16string_view text) {
  const vk::Streng trimmed = vk::Trim(text);
  size_t i = 0;
  bool negative = false;
  if (i < trimmed.size() && (trimmed[i] == u'-' || trimmed[i] == u'+')) negative = trimmed[i++] == u'-';
  if (i == trimmed.size() || trimmed.size() - i > 20) return 0;
  uint64_t value = 0;
  for (; i < trimmed.size(); ++i) {
    const char16_t c = trimmed[i];
    if (c < u'0' || c > u'9') return 0;
    const uint64_t next = value * 10 + uint64_t(c - u'0');
    if (next / 10 != value) return 0;  // beyond 64 bits
    value = next;
  }
  return negative ? uint64_t(0) - value : value;
}

ProductSettings ReadProductSettings(HKEY key, const vk::Streng& givenName) {
  ProductSettings s;
  s.DisplayName = ReadWideValue(key, L"DisplayName");
  if (vk::Trim(s.DisplayName).empty()) s.DisplayName = givenName;
  s.InstallLocation = ReadWideValue(key, L"InstallLocation");
  s.ProductFlags = ParseDecimal64(ReadWideValue(key, L"ProductFlags"));
  s.ProductFlags2 = uint32_t(ParseDecimal64(ReadWideValue(key, L"ProductFlags2")));
  s.Bitness = ReadDwordValue(key, L"Bitness").value_or(0);

  BackgroundLook& b = s.look;
  b.DisplayTitle = ReadWideValue(key, L"DisplayTitle");
  b.TitleColor = ReadDwordValue(key, L"TitleColor").value_or(0);
  b.TitleSize = ReadAnsiValue(key, L"TitleSize");
  b.TopColor = ReadDwordValue(key, L"TopColor").value_or(0);
  b.BottomColor = ReadDwordValue(key, L"BottomColor").value_or(b.TopColor);
  b.MonoColor = ReadDwordValue(key, L"MonoColor").value_or(0);
  b.TitleShadow = ReadDwordValue(key, L"TitleShadow").value_or(0);
  b.TitlePosition = ReadDwordValue(key, L"TitlePosition").value_or(0);
  b.TitleFont = ReadAnsiValue(key, L"TitleFont");
  b.TaskbarText = ReadWideValue(key, L"TaskbarText");
  b.CopyrightText = ReadWideValue(key, L"CopyrightText");
  b.CopyrightFont = ReadAnsiValue(key, L"CopyrightFont");
  b.CopyrightSize = ReadAnsiValue(key, L"CopyrightSize");
  b.CopyrightColor = ReadAnsiValue(key, L"CopyrightColor");
  b.CopyrightPos = ReadDwordValue(key, L"CopyrightPos").value_or(0);
  b.BitmapSize = ReadDwordValue(key, L"BitmapSize");
  b.BitmapTPI = ReadDwordValue(key, L"BitmapTPI");
  b.StretchMode = ReadDwordValue(key, L"StretchMode");

  s.DisplayVersion = ReadAnsiValue(key, L"DisplayVersion");
  s.UninstallSubdir = ReadWideValue(key, L"UninstallSubdir");
  s.AddToPathSubfolder = ReadWideValue(key, L"AddToPathSubfolder");
  s.ProductFonts = ReadAnsiValue(key, L"ProductFonts");
  s.ShortcutMode = ReadDwordValue(key, L"ShortcutMode").value_or(0);
  s.NotifyURL = ReadAnsiValue(key, L"NotifyURL");
  s.Session = ReadQwordValue(key, L"Session").value_or(0);
  s.DesktopFolder = ReadWideValue(key, L"DesktopFolder");
  s.SharedPath = ReadWideValue(key, L"SharedPath");
  s.ProductStartMenu = ReadWideValue(key, L"ProductStartMenu");
  s.UninstallBatch1 = ReadAnsiValue(key, L"UninstallBatch1");
  s.UninstallBatch2 = ReadAnsiValue(key, L"UninstallBatch2");
  s.SharedFiles = ReadAnsiValue(key, L"SharedFiles");
  s.ProductRegistry = ReadWideValue(key, L"ProductRegistry");
  s.SupportOffer = ReadAnsiValue(key, L"SupportOffer");
  return s;
}

}  // namespace uninstall
