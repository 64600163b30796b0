#pragma once
// The wizard's texts: T texts in L languages, one of them chosen.
#include <cstddef>
#include <vector>

#include "lib/strings.h"

namespace setup {

class LanguageTable {
public:
  // texts holds, for each text number, its text in every language (text-major), so its size is
  // textCount * names.size(). Texts are normalised on the way in; the default language is chosen.
  // Returns false (and leaves the table empty) when the sizes do not agree.
  bool assign(std::vector<vk::Streng> names, std::vector<vk::Streng> texts, size_t textCount);

  size_t languageCount() const { return names_.size(); }
  size_t textCount() const { return textCount_; }
  const std::vector<vk::Streng>& names() const { return names_; }
  const vk::Streng& name(size_t language) const;

  size_t chosen() const { return chosen_; }
  // Ignored for a language the table does not have.
  void choose(size_t language);

  // Text n of the chosen language, unexpanded; empty when n >= textCount().
  const vk::Streng& raw(size_t n) const { return raw(n, chosen_); }
  const vk::Streng& raw(size_t n, size_t language) const;

  // The last language named "English" (any case), else language 0.
  static size_t DefaultLanguage(const std::vector<vk::Streng>& names);
  // Every line break ("\r\n", a lone "\n" or a lone "\r") becomes "\r\n", the form the edit
  // controls and message boxes of the wizard expect.
  static vk::Streng NormaliseText(std::u16string_view text);

  bool operator==(const LanguageTable&) const = default;

private:
  std::vector<vk::Streng> names_;
  std::vector<vk::Streng> texts_;
  size_t textCount_ = 0;
  size_t chosen_ = 0;
};

}  // namespace setup
