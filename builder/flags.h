#pragma once
// The named options of a project: one name per ProductFlags / ProductFlags2 bit that the
// engine tests. `brimstead inspect` prints the same names.
#include <cstdint>
#include <span>
#include <string_view>

namespace builder {

enum class FlagWord { Product, Product2 };

struct NamedFlag {
  std::string_view name;
  FlagWord word;
  int bit;
  std::string_view meaning;
};

std::span<const NamedFlag> NamedFlags();
const NamedFlag* FindFlag(std::string_view name);

}  // namespace builder
