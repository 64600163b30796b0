#pragma once
// The library's two kinds of text and the conversions between them.
//
// String is 8-bit text (its code page depends on the field: UTF-8, the ANSI code page,
// Windows-1252, or a narrow path). Streng is UTF-16 text; at the Win32 boundary it is handed
// over as wchar_t* (both are 16-bit on Windows).
#include <string>
#include <string_view>

namespace vk {

using String = std::string;
using Streng = std::u16string;

// UTF-8 <-> UTF-16. Malformed input (bad or overlong sequences, lone surrogates) becomes U+FFFD.
Streng Utf8ToStreng(std::string_view utf8);
String StrengToUtf8(std::u16string_view text);

// Windows-1252 <-> UTF-16; "?" for what Windows-1252 cannot hold.
Streng Cp1252ToStreng(std::string_view text);
String StrengToCp1252(std::u16string_view text);
String Cp1252ToUtf8(std::string_view text);

// The system's ANSI code page <-> UTF-16; "?" for what it cannot hold.
// On the host (builder, tests) the ANSI code page is Windows-1252.
Streng AnsiToStreng(std::string_view text);
String StrengToAnsi(std::u16string_view text);

// ASCII-only, locale-free helpers used on both sides.
Streng AsciiToStreng(std::string_view ascii);

// White space at both ends (space, tab, CR, LF, VT, FF) removed.
String Trim(std::string_view text);
Streng Trim(std::u16string_view text);
String TrimRight(std::string_view text);
Streng TrimRight(std::u16string_view text);

// Comparison without regard to case, the same on every platform. 8-bit text folds ASCII letters
// only; UTF-16 text folds ASCII, Latin-1, Latin Extended-A and the basic Greek and Cyrillic letters.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool StartsWithNoCase(std::u16string_view text, std::u16string_view prefix);
char16_t FoldCase(char16_t c);

#ifdef _WIN32
inline const wchar_t* W(const Streng& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline Streng FromW(const wchar_t* s) {
  return s ? Streng(reinterpret_cast<const char16_t*>(s)) : Streng();
}
inline Streng FromW(const wchar_t* s, size_t n) {
  return Streng(reinterpret_cast<const char16_t*>(s), n);
}
#endif

}  // namespace vk
