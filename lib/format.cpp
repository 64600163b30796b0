#include "lib/format.h"

#include <cstdio>
#include <vector>

namespace vk {

int64_t FormatArg::asSigned() const {
  switch (kind_) {
    case Kind::Signed: return wide_ ? i_ : int64_t(int32_t(i_));
    case Kind::Unsigned:
    case Kind::Char:
    case Kind::Pointer: return wide_ ? int64_t(u_) : int64_t(int32_t(uint32_t(u_)));
    case Kind::Double: return int64_t(d_);
    default: return 0;
  }
}

uint64_t FormatArg::asUnsigned() const {
  switch (kind_) {
    case Kind::Signed: return wide_ ? uint64_t(i_) : uint64_t(uint32_t(i_));
    case Kind::Double: return uint64_t(int64_t(d_));
    case Kind::Text8:
    case Kind::Text16: return 0;
    default: return wide_ ? u_ : uint64_t(uint32_t(u_));
  }
}

namespace {

constexpr int kMaxWidth = 4096;

struct Conversion {
  bool left = false, plus = false, space = false, zero = false, alt = false;
  int width = -1, precision = -1;
  char conv = 0;
};

template <class C>
class Formatter {
public:
  using Str = std::basic_string<C>;
  using View = std::basic_string_view<C>;

  Formatter(View format, std::span<const FormatArg> args) : f_(format), args_(args) {}

  Str run() {
    out_.reserve(f_.size() + 16);
    size_t i = 0;
    while (i < f_.size()) {
      if (f_[i] != C('%')) {
        out_ += f_[i++];
        continue;
      }
      i = conversion(i);
    }
    return std::move(out_);
  }

private:
  // Handles the conversion starting at the "%" at position start; returns where to go on.
  size_t conversion(size_t start) {
    size_t i = start + 1;
    const size_t n = f_.size();
    auto verbatim = [&](size_t end) {
      out_.append(f_.substr(start, end - start));
      return end;
    };
    if (i < n && f_[i] == C('%')) {
      out_ += C('%');
      return i + 1;
    }
    Conversion cv;
    for (; i < n; ++i) {
      const C c = f_[i];
      if (c == C('-')) cv.left = true;
      else if (c == C('+')) cv.plus = true;
      else if (c == C(' ')) cv.space = true;
      else if (c == C('0')) cv.zero = true;
      else if (c == C('#')) cv.alt = true;
      else break;
    }
    if (i < n && f_[i] == C('*')) {
      if (next_ >= args_.size()) return verbatim(i + 1);
      const int64_t w = args_[next_++].asSigned();
      if (w < 0) cv.left = true;
      cv.width = int(std::min<int64_t>(w < 0 ? -w : w, kMaxWidth));
      ++i;
    } else {
      i = number(i, cv.width);
    }
    if (i < n && f_[i] == C('.')) {
      ++i;
      if (i < n && f_[i] == C('*')) {
        if (next_ >= args_.size()) return verbatim(i + 1);
        const int64_t p = args_[next_++].asSigned();
        cv.precision = p < 0 ? -1 : int(std::min<int64_t>(p, kMaxWidth));
        ++i;
      } else {
        cv.precision = 0;
        i = number(i, cv.precision);
      }
    }
    i = lengthModifier(i);
    if (i >= n) return verbatim(n);
    const C conv = f_[i];
    if (conv > 127 || !std::char_traits<char>::find("diuxXocsSfFeEgGp", 16, char(conv)))
      return verbatim(i + 1);
    cv.conv = char(conv);
    if (next_ >= args_.size()) return verbatim(i + 1);
    emit(cv, args_[next_++]);
    return i + 1;
  }

  size_t number(size_t i, int& value) {
    int64_t v = -1;
    while (i < f_.size() && f_[i] >= C('0') && f_[i] <= C('9')) {
      v = (v < 0 ? 0 : v) * 10 + (f_[i] - C('0'));
      if (v > kMaxWidth) v = kMaxWidth;
      ++i;
    }
    if (v >= 0) value = int(v);
    return i;
  }

  size_t lengthModifier(size_t i) {
    const size_t n = f_.size();
    auto at = [&](size_t k, char c) { return k < n && f_[k] == C(c); };
    if (at(i, 'h')) return at(i + 1, 'h') ? i + 2 : i + 1;
    if (at(i, 'l')) return at(i + 1, 'l') ? i + 2 : i + 1;
    if (at(i, 'L') || at(i, 'q') || at(i, 'j') || at(i, 'z') || at(i, 't')) return i + 1;
    if (at(i, 'I')) {
      if (at(i + 1, '6') && at(i + 2, '4')) return i + 3;
      if (at(i + 1, '3') && at(i + 2, '2')) return i + 3;
      return i + 1;
    }
    return i;
  }

  void emit(const Conversion& cv, const FormatArg& arg) {
    using K = FormatArg::Kind;
    switch (cv.conv) {
      case 's':
      case 'S':
        if (arg.kind() == K::Text8 || arg.kind() == K::Text16) return text(cv, arg);
        if (arg.kind() == K::Char) return character(cv, arg);
        if (arg.kind() == K::Double) return floating(cv, 'g', arg.asDouble());
        return integer(cv, arg.kind() == K::Pointer ? 'p' : arg.kind() == K::Signed ? 'd' : 'u', arg);
      case 'c':
        if (arg.kind() == K::Text8 || arg.kind() == K::Text16) return text(cv, arg);
        return character(cv, arg);
      case 'f': case 'F': case 'e': case 'E': case 'g': case 'G':
        if (arg.kind() == K::Text8 || arg.kind() == K::Text16) return text(cv, arg);
        return floating(cv, cv.conv,
                        arg.kind() == K::Double ? arg.asDouble()
                        : arg.kind() == K::Signed ? double(arg.asSigned())
                                                  : double(arg.asUnsigned()));
      default:
        if (arg.kind() == K::Text8 || arg.kind() == K::Text16) return text(cv, arg);
        if (arg.kind() == K::Double) return floating(cv, 'g', arg.asDouble());
        return integer(cv, cv.conv, arg);
    }
  }

  void pad(const Str& body, const Conversion& cv) {
    const size_t w = cv.width > 0 ? size_t(cv.width) : 0;
    if (body.size() >= w) {
      out_ += body;
    } else if (cv.left) {
      out_ += body;
      out_.append(w - body.size(), C(' '));
    } else {
      out_.append(w - body.size(), C(' '));
      out_ += body;
    }
  }

  void text(const Conversion& cv, const FormatArg& arg) {
    Str t = convert(arg);
    if (cv.precision >= 0 && t.size() > size_t(cv.precision)) t.resize(size_t(cv.precision));
    pad(t, cv);
  }

  void character(const Conversion& cv, const FormatArg& arg) {
    const uint64_t code = arg.asUnsigned();
    Str t;
    if constexpr (sizeof(C) == 1) {
      if (code < 0x100) t += C(code);
      else t = StrengToAnsi(std::u16string(1, code <= 0xFFFF ? char16_t(code) : char16_t(0xFFFD)));
    } else {
      t += code <= 0xFFFF ? C(code) : C(0xFFFD);
    }
    pad(t, cv);
  }

  static Str convert(const FormatArg& arg) {
    if constexpr (sizeof(C) == 1) {
      if (arg.kind() == FormatArg::Kind::Text8) return Str(arg.text8());
      return StrengToAnsi(arg.text16());
    } else {
      if (arg.kind() == FormatArg::Kind::Text16) return Str(arg.text16());
      return AnsiToStreng(arg.text8());
    }
  }

  // Numbers go through snprintf with a format made here from checked parts only.
  void printf(const char* fmt, const Conversion& cv, auto value) {
    char f[24];
    size_t k = 0;
    f[k++] = '%';
    if (cv.left) f[k++] = '-';
    if (cv.plus) f[k++] = '+';
    if (cv.space) f[k++] = ' ';
    if (cv.zero) f[k++] = '0';
    if (cv.alt) f[k++] = '#';
    f[k++] = '*';
    f[k++] = '.';
    f[k++] = '*';
    for (const char* p = fmt; *p; ++p) f[k++] = *p;
    f[k] = 0;
    const int width = cv.width > 0 ? cv.width : 0;
    int precision = cv.precision;
    const int n = std::snprintf(nullptr, 0, f, width, precision, value);
    if (n <= 0) return;
    std::vector<char> buf(size_t(n) + 1);
    std::snprintf(buf.data(), buf.size(), f, width, precision, value);
    for (int i = 0; i < n; ++i) out_ += C(static_cast<unsigned char>(buf[size_t(i)]));
  }

  void integer(const Conversion& cv, char conv, const FormatArg& arg) {
    switch (conv) {
      case 'd':
      case 'i': return printf("lld", cv, static_cast<long long>(arg.asSigned()));
      case 'u': return printf("llu", cv, static_cast<unsigned long long>(arg.asUnsigned()));
      case 'x': return printf("llx", cv, static_cast<unsigned long long>(arg.asUnsigned()));
      case 'X': return printf("llX", cv, static_cast<unsigned long long>(arg.asUnsigned()));
      case 'o': return printf("llo", cv, static_cast<unsigned long long>(arg.asUnsigned()));
      default: {  // p: fixed-width upper-case hexadecimal, as on Windows
        Conversion s = cv;
        s.zero = false;
        s.precision = sizeof(void*) * 2;
        return printf("llX", s, static_cast<unsigned long long>(arg.asUnsigned()));
      }
    }
  }

  void floating(const Conversion& cv, char conv, double value) {
    const char f[2] = {conv, 0};
    Conversion s = cv;
    if (s.precision < 0) s.precision = 6;
    printf(f, s, value);
  }

  View f_;
  std::span<const FormatArg> args_;
  size_t next_ = 0;
  Str out_;
};

}  // namespace

String FormatArgs(std::string_view format, std::span<const FormatArg> args) {
  return Formatter<char>(format, args).run();
}

Streng FormatArgs(std::u16string_view format, std::span<const FormatArg> args) {
  return Formatter<char16_t>(format, args).run();
}

}  // namespace vk
