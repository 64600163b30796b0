#include "lib/number_words.h"

namespace vk {

namespace {

constexpr const char* kUnits[20] = {
    "Zero",    "One",     "Two",       "Three",    "Four",     "Five",    "Six",
    "Seven",   "Eight",   "Nine",      "Ten",      "Eleven",   "Twelve",  "Thirteen",
    "Fourteen", "Fifteen", "Sixteen",  "Seventeen", "Eighteen", "Nineteen"};
constexpr const char* kTens[10] = {"",      "",      "Twenty",  "Thirty", "Forty",
                                   "Fifty", "Sixty", "Seventy", "Eighty", "Ninety"};

// 1..999 without the empty cases.
void AppendBelowThousand(String& out, unsigned n) {
  if (n >= 100) {
    out += kUnits[n / 100];
    out += " Hundred";
    n %= 100;
    if (n == 0) return;
    out += ' ';
  }
  if (n < 20) {
    out += kUnits[n];
  } else {
    out += kTens[n / 10];
    if (n % 10 != 0) {
      out += '-';
      out += kUnits[n % 10];
    }
  }
}

String OrdinalOfWord(const String& word) {
  struct Irregular {
    const char* cardinal;
    const char* ordinal;
  };
  static constexpr Irregular kIrregular[] = {{"One", "First"},   {"Two", "Second"},
                                             {"Three", "Third"}, {"Five", "Fifth"},
                                             {"Eight", "Eighth"}, {"Nine", "Ninth"},
                                             {"Twelve", "Twelfth"}};
  for (const auto& i : kIrregular)
    if (word == i.cardinal) return i.ordinal;
  if (!word.empty() && word.back() == 'y') return word.substr(0, word.size() - 1) + "ieth";
  return word + "th";
}

}  // namespace

String CardinalWords(int64_t n) {
  if (n == 0) return kUnits[0];
  String out;
  // Work on the magnitude as unsigned so that the minimum value does not overflow.
  uint64_t rest = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
  if (n < 0) out = "Minus ";
  static constexpr struct {
    uint64_t value;
    const char* name;
  } kScales[] = {{1000000000000000000ull, "Quintillion"},
                 {1000000000000000ull, "Quadrillion"},
                 {1000000000000ull, "Trillion"},
                 {1000000000ull, "Billion"},
                 {1000000ull, "Million"},
                 {1000ull, "Thousand"}};
  bool first = true;
  for (const auto& s : kScales) {
    if (rest < s.value) continue;
    if (!first) out += ' ';
    AppendBelowThousand(out, static_cast<unsigned>(rest / s.value));
    out += ' ';
    out += s.name;
    rest %= s.value;
    first = false;
  }
  if (rest != 0) {
    if (!first) out += ' ';
    AppendBelowThousand(out, static_cast<unsigned>(rest));
  }
  return out;
}

String OrdinalWords(int64_t n) {
  String words = CardinalWords(n);
  const size_t cut = words.find_last_of(" -");
  const size_t start = cut == String::npos ? 0 : cut + 1;
  return words.substr(0, start) + OrdinalOfWord(words.substr(start));
}

String YearWords(int64_t year) {
  if (year < 0) return "Minus " + YearWords(0 - year);
  if (year < 100) return CardinalWords(year);
  const int64_t high = year / 100;
  const int low = static_cast<int>(year % 100);
  if (high % 10 == 0 && low < 10) {
    // 2000-2009 and the like: "Two Thousand", "Two Thousand Five".
    String out = CardinalWords(year - low);
    if (low != 0) out += ' ' + CardinalWords(low);
    return out;
  }
  String out = CardinalWords(high);
  if (low == 0) return out + " Hundred";
  out += ' ';
  out += TwoDigitYearWords(low);
  return out;
}

String TwoDigitYearWords(int value) {
  value %= 100;
  if (value < 0) value += 100;
  if (value < 10) return String("Oh ") + (value == 0 ? "Oh" : kUnits[value]);
  return CardinalWords(value);
}

}  // namespace vk
