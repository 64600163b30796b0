#pragma once
// English number words, capitalised word by word ("Twenty-One", "Forty-Second").
#include <cstdint>

#include "lib/strings.h"

namespace vk {

// "Zero", "Seven", "One Hundred Five", "Two Thousand Twenty-Six", "Minus Three".
String CardinalWords(int64_t n);

// "First", "Twelfth", "Twenty-Third", "One Hundredth".
String OrdinalWords(int64_t n);

// A year said in two halves: 1905 "Nineteen Oh Five", 2026 "Twenty Twenty-Six",
// 1900 "Nineteen Hundred". Years 2000-2009 (and every other x000-x009) are said the way
// people say them, "Two Thousand" and "Two Thousand Five", because "Twenty Oh Five" is not.
// Years below 100 are plain cardinals; negative years take "Minus ".
String YearWords(int64_t year);

// A two-digit year (0-99) the way it is said after an apostrophe: "Twenty-Six", "Oh Five";
// 0 is "Oh Oh".
String TwoDigitYearWords(int value);

}  // namespace vk
