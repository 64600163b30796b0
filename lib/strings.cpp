#include "lib/strings.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vk {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

void AppendUtf8(String& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// Windows-1252 0x80..0x9F; 0 marks the five undefined positions.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

Streng Utf8ToStreng(std::string_view in) {
  Streng out;
  out.reserve(in.size());
  size_t i = 0;
  const size_t n = in.size();
  while (i < n) {
    const unsigned char b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      out += char16_t(b);
      ++i;
      continue;
    }
    int extra;
    char32_t c, min;
    if ((b & 0xE0) == 0xC0) {
      extra = 1, c = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, c = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, c = b & 0x07, min = 0x10000;
    } else {
      out += kReplacement;
      ++i;
      continue;
    }
    size_t j = i + 1;
    for (; j < n && j <= i + extra; ++j) {
      const unsigned char t = static_cast<unsigned char>(in[j]);
      if ((t & 0xC0) != 0x80) break;
      c = (c << 6) | (t & 0x3F);
    }
    if (j != i + 1 + extra || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out += kReplacement;
      i = j > i + 1 ? j : i + 1;
      continue;
    }
    i = j;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += char16_t(0xD800 + (c >> 10));
      out += char16_t(0xDC00 + (c & 0x3FF));
    } else {
      out += char16_t(c);
    }
  }
  return out;
}

String StrengToUtf8(std::u16string_view in) {
  String out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    char32_t c = in[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

Streng Cp1252ToStreng(std::string_view in) {
  Streng out;
  out.reserve(in.size());
  for (char ch : in) {
    const unsigned char b = static_cast<unsigned char>(ch);
    if (b >= 0x80 && b <= 0x9F)
      out += kCp1252High[b - 0x80] ? kCp1252High[b - 0x80] : char16_t(b);
    else
      out += char16_t(b);
  }
  return out;
}

String StrengToCp1252(std::u16string_view in) {
  String out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    const char16_t c = in[i];
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out += char(c);
      continue;
    }
    char mapped = '?';
    for (int k = 0; k < 32; ++k)
      if (kCp1252High[k] == c) mapped = char(0x80 + k);
    // A surrogate pair is one character: one "?".
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) ++i;
    out += mapped;
  }
  return out;
}

String Cp1252ToUtf8(std::string_view text) { return StrengToUtf8(Cp1252ToStreng(text)); }

Streng AsciiToStreng(std::string_view ascii) { return Streng(ascii.begin(), ascii.end()); }

namespace {

template <class C>
bool IsWhite(C c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

template <class C>
std::basic_string<C> TrimImpl(std::basic_string_view<C> t, bool left) {
  size_t b = 0, e = t.size();
  while (left && b < e && IsWhite(t[b])) ++b;
  while (e > b && IsWhite(t[e - 1])) --e;
  return std::basic_string<C>(t.substr(b, e - b));
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

}  // namespace

String Trim(std::string_view t) { return TrimImpl(t, true); }
Streng Trim(std::u16string_view t) { return TrimImpl(t, true); }
String TrimRight(std::string_view t) { return TrimImpl(t, false); }
Streng TrimRight(std::u16string_view t) { return TrimImpl(t, false); }

char16_t FoldCase(char16_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return char16_t(c + 32);
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs upper/lower at even/odd code points, except for a shifted stretch.
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? char16_t(c + 1) : c;
    if (c == 0x178) return 0xFF;
    return (c & 1) ? c : char16_t(c + 1);
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return char16_t(c + 32);
  if (c >= 0x410 && c <= 0x42F) return char16_t(c + 32);
  if (c >= 0x400 && c <= 0x40F) return char16_t(c + 80);
  return c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

#ifdef _WIN32

Streng AnsiToStreng(std::string_view in) {
  if (in.empty()) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, in.data(), int(in.size()), nullptr, 0);
  if (n <= 0) return Cp1252ToStreng(in);
  Streng out(size_t(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, in.data(), int(in.size()), reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

String StrengToAnsi(std::u16string_view in) {
  if (in.empty()) return {};
  const auto* w = reinterpret_cast<const wchar_t*>(in.data());
  const int n = WideCharToMultiByte(CP_ACP, 0, w, int(in.size()), nullptr, 0, "?", nullptr);
  if (n <= 0) return StrengToCp1252(in);
  String out(size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w, int(in.size()), out.data(), n, "?", nullptr);
  return out;
}

#else

Streng AnsiToStreng(std::string_view in) { return Cp1252ToStreng(in); }
String StrengToAnsi(std::u16string_view in) { return StrengToCp1252(in); }

#endif

}  // namespace vk
