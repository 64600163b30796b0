#pragma once
// The safe formatter: every text that serves as a format (language texts, messages, data) goes
// through here instead of printf. Arguments are typed; the format only chooses how they look.
//
// Conversions: %d %i %u %x %X %o %c %s %S %f %F %e %E %g %G %p %% with flags (- + space 0 #),
// width, precision (* takes them from the arguments) and length modifiers (h hh l ll L q j z t
// I I32 I64, accepted and ignored: the argument's own type decides). A conversion never reads
// more arguments than were given and never misreads one:
//   - a conversion with no argument left is copied to the output as it stands;
//   - an unknown or unfinished conversion is copied as it stands;
//   - surplus arguments are ignored;
//   - a number given to %s prints as decimal, a text given to a number conversion prints as text.
// In an 8-bit format, UTF-16 arguments are converted to the ANSI code page; in a UTF-16 format,
// 8-bit arguments are read in the ANSI code page. Width and precision are capped at 4096.
#include <cstdint>
#include <span>
#include <string_view>

#include "lib/strings.h"

namespace vk {

class FormatArg {
public:
  enum class Kind { Signed, Unsigned, Char, Double, Text8, Text16, Pointer };

  FormatArg(signed char v) : kind_(Kind::Signed), i_(v) {}
  FormatArg(short v) : kind_(Kind::Signed), i_(v) {}
  FormatArg(int v) : kind_(Kind::Signed), i_(v) {}
  FormatArg(long v) : kind_(Kind::Signed), wide_(sizeof(long) > 4), i_(v) {}
  FormatArg(long long v) : kind_(Kind::Signed), wide_(true), i_(v) {}
  FormatArg(unsigned char v) : kind_(Kind::Unsigned), u_(v) {}
  FormatArg(unsigned short v) : kind_(Kind::Unsigned), u_(v) {}
  FormatArg(unsigned v) : kind_(Kind::Unsigned), u_(v) {}
  FormatArg(unsigned long v) : kind_(Kind::Unsigned), wide_(sizeof(long) > 4), u_(v) {}
  FormatArg(unsigned long long v) : kind_(Kind::Unsigned), wide_(true), u_(v) {}
  FormatArg(bool v) : kind_(Kind::Signed), i_(v ? 1 : 0) {}
  FormatArg(char v) : kind_(Kind::Char), u_(static_cast<unsigned char>(v)) {}
  FormatArg(char16_t v) : kind_(Kind::Char), u_(v) {}
  FormatArg(wchar_t v) : kind_(Kind::Char), u_(static_cast<uint64_t>(v)) {}
  FormatArg(double v) : kind_(Kind::Double), d_(v) {}
  FormatArg(float v) : kind_(Kind::Double), d_(v) {}
  FormatArg(const char* v) : kind_(Kind::Text8), s8_(v ? std::string_view(v) : std::string_view()) {}
  FormatArg(std::string_view v) : kind_(Kind::Text8), s8_(v) {}
  FormatArg(const String& v) : kind_(Kind::Text8), s8_(v) {}
  FormatArg(const char16_t* v)
      : kind_(Kind::Text16), s16_(v ? std::u16string_view(v) : std::u16string_view()) {}
  FormatArg(std::u16string_view v) : kind_(Kind::Text16), s16_(v) {}
  FormatArg(const Streng& v) : kind_(Kind::Text16), s16_(v) {}
#ifdef _WIN32
  FormatArg(const wchar_t* v) : FormatArg(reinterpret_cast<const char16_t*>(v)) {}
#endif
  FormatArg(const void* v)
      : kind_(Kind::Pointer), wide_(sizeof(void*) > 4), u_(reinterpret_cast<uintptr_t>(v)) {}

  Kind kind() const { return kind_; }
  // As C would read the argument for a signed or an unsigned conversion: a 32-bit value keeps
  // 32 bits, so -1 prints as FFFFFFFF with %X and 0xFFFFFFFF as -1 with %d.
  int64_t asSigned() const;
  uint64_t asUnsigned() const;
  double asDouble() const { return d_; }
  std::string_view text8() const { return s8_; }
  std::u16string_view text16() const { return s16_; }

private:
  Kind kind_;
  bool wide_ = false;  // a 64-bit integer
  union {
    int64_t i_;
    uint64_t u_;
    double d_;
  };
  std::string_view s8_;
  std::u16string_view s16_;
};

String FormatArgs(std::string_view format, std::span<const FormatArg> args);
Streng FormatArgs(std::u16string_view format, std::span<const FormatArg> args);

template <class... A>
String Format(std::string_view format, const A&... args) {
  const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
  return FormatArgs(format, std::span<const FormatArg>(list, sizeof...(A)));
}

template <class... A>
Streng Format(std::u16string_view format, const A&... args) {
  const FormatArg list[] = {FormatArg(args)..., FormatArg(0)};
  return FormatArgs(format, std::span<const FormatArg>(list, sizeof...(A)));
}

}  // namespace vk
