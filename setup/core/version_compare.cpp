#include "setup/core/version_compare.h"

#include <algorithm>
#include <vector>

namespace setup {

namespace {

template <class C>
bool IsDigit(C c) { return c >= '0' && c <= '9'; }
template <class C>
bool IsLetter(C c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

template <class C>
struct ParsedVersion {
  std::vector<std::basic_string_view<C>> numbers;  // digit runs without leading zeros; 0 is empty
  C suffix = 0;
};

template <class C>
ParsedVersion<C> ParseVersion(std::basic_string_view<C> text) {
  ParsedVersion<C> v;
  if (!text.empty() && text[0] == '.') v.numbers.push_back({});
  size_t i = 0;
  while (i < text.size()) {
    if (IsLetter(text[i])) v.suffix = text[i];
    if (!IsDigit(text[i])) {
      ++i;
      continue;
    }
    size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    while (start < i && text[start] == '0') ++start;
    v.numbers.push_back(text.substr(start, i - start));
  }
  return v;
}

template <class C>
int CompareNumber(std::basic_string_view<C> a, std::basic_string_view<C> b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  const int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

template <class C>
int Compare(std::basic_string_view<C> a, std::basic_string_view<C> b) {
  const ParsedVersion<C> va = ParseVersion(a), vb = ParseVersion(b);
  const size_t shared = std::min(va.numbers.size(), vb.numbers.size());
  for (size_t i = 0; i < shared; ++i)
    if (int c = CompareNumber(va.numbers[i], vb.numbers[i])) return c;
  if (va.numbers.size() != vb.numbers.size()) return va.numbers.size() < vb.numbers.size() ? -1 : 1;
  // Letters are ASCII, so the code order is the same for both kinds of text.
  const unsigned sa = unsigned(va.suffix), sb = unsigned(vb.suffix);
  return sa < sb ? -1 : sa > sb ? 1 : 0;
}

}  // namespace

int CompareProductVersion(std::string_view a, std::string_view b) { return Compare(a, b); }
int CompareProductVersion(std::u16string_view a, std::u16string_view b) { return Compare(a, b); }

}  // namespace setup
