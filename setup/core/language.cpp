#include "setup/core/language.h"

namespace setup {

namespace {

const vk::Streng kEmpty;

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

}  // namespace

bool LanguageTable::assign(std::vector<vk::Streng> names, std::vector<vk::Streng> texts,
                           size_t textCount) {
  *this = LanguageTable();
  if (texts.size() != textCount * names.size()) return false;
  for (auto& t : texts) t = NormaliseText(t);
  chosen_ = DefaultLanguage(names);
  names_ = std::move(names);
  texts_ = std::move(texts);
  textCount_ = textCount;
  return true;
}

const vk::Streng& LanguageTable::name(size_t language) const {
  return language < names_.size() ? names_[language] : kEmpty;
}

void LanguageTable::choose(size_t language) {
  if (language < names_.size()) chosen_ = language;
}

const vk::Streng& LanguageTable::raw(size_t n, size_t language) const {
  if (n >= textCount_ || language >= names_.size()) return kEmpty;
  return texts_[n * names_.size() + language];
}

size_t LanguageTable::DefaultLanguage(const std::vector<vk::Streng>& names) {
  size_t chosen = 0;
  for (size_t i = 0; i < names.size(); ++i)
    if (EqualsNoCase(names[i], u"English")) chosen = i;
  return chosen;
}

vk::Streng LanguageTable::NormaliseText(std::u16string_view text) {
  vk::Streng out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'\r') {
      out += u"\r\n";
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else if (c == u'\n') {
      out += u"\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace setup
