#include <gtest/gtest.h>

#include "lib/strings.h"
#include "setup/core/version_compare.h"

namespace {

TEST(VersionCompare, OrdersVersionsByTheirNumbersThenTheirLastLetter) {
  struct {
    const char* a;
    const char* b;
    int expected;
  } cases[] = {
      {"1.2", "1.2.0", -1},        {"1.10", "1.9", 1},       {"2.0", "2,0", 0},
      {"1.0a", "1.0", 1},          {"1.0a", "1.0b", -1},     {"1.0b", "1.0b", 0},
      {".5", "0.5", 0},            {".5", "5", -1},          {"v1.2 beta", "1.2", 1},
      {"007", "7", 0},             {"", "", 0},              {"", "0", -1},
      {"99999999999999999999999", "99999999999999999999998", 1},
      {"1.2.3.4", "1.2.3.10", -1}, {"1a2", "1.2", 1},        {"1-2", "1.2", 0},
      {"3.0", "10.0", -1},         {"1.0.0", "1", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(setup::CompareProductVersion(c.a, c.b), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ(setup::CompareProductVersion(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
    // Wide texts (the registry's and the data's versions) order the same way.
    EXPECT_EQ(setup::CompareProductVersion(vk::AsciiToStreng(c.a), vk::AsciiToStreng(c.b)), c.expected)
        << c.a << " vs " << c.b << " (wide)";
  }
}

}  // namespace
