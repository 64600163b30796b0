#include <gtest/gtest.h>

#include "setup/core/system_checks.h"

namespace {

using setup::MinimumVersion;

setup::OsFacts Running(uint32_t major, uint32_t minor, uint32_t build, const char* sp) {
  setup::OsFacts f;
  f.major = major, f.minor = minor, f.build = build, f.servicePack = sp;
  f.productType = setup::kProductWorkstation;
  return f;
}

TEST(SystemChecks, MinimumVersionComparesMajorMinorBuildServicePack) {
  struct Case {
    MinimumVersion required;
    setup::OsFacts running;
    bool below;
  };
  const Case cases[] = {
      {{0, 0, 0, 0, 0}, Running(5, 0, 2195, ""), false},            // all zero: no check
      {{6, 1, 0, 0, 0}, Running(6, 1, 7601, "Service Pack 1"), false},
      {{6, 1, 7601, 1, 0}, Running(6, 1, 7601, "Service Pack 1"), false},
      {{6, 1, 7601, 2, 0}, Running(6, 1, 7601, "Service Pack 1"), true},
      {{6, 2, 0, 0, 0}, Running(6, 1, 7601, "Service Pack 1"), true},
      {{10, 0, 19045, 0, 0}, Running(10, 0, 19044, ""), true},
      {{5, 1, 0, 0, 0}, Running(10, 0, 1, ""), false},
      {{6, 1, 7601, 1, 9}, Running(6, 1, 7601, "Service Pack 1"), false},  // unknown minor counts as met
  };
  for (const auto& c : cases)
    EXPECT_EQ(setup::IsBelowMinimumVersion(c.required, c.running), c.below)
        << c.required[0] << "." << c.required[1] << "." << c.required[2] << " sp" << c.required[3];
  EXPECT_EQ(setup::ServicePackNumber("Service Pack 12 (v.123)"), 12u);
  EXPECT_EQ(setup::ServicePackNumber(""), 0u);
  EXPECT_EQ(setup::DescribeOperatingSystem(setup::RequiredVersionFacts({6, 1, 7601, 1, 0}), 0),
            setup::DescribeOperatingSystem(Running(6, 1, 7601, "Service Pack 1"), 0));
}

TEST(SystemChecks, ExcludedSystemsByTheClassBitOfTheirCode) {
  EXPECT_TRUE(setup::IsExcludedSystem(1u << 18, 36));   // Windows 7 workstation
  EXPECT_FALSE(setup::IsExcludedSystem(1u << 18, 34));  // Windows Server 2008 R2
  EXPECT_TRUE(setup::IsExcludedSystem(1u << 30, 60));   // the highest code
  EXPECT_TRUE(setup::IsExcludedSystem(1u, 0));
  EXPECT_FALSE(setup::IsExcludedSystem(0xFFFFFFFF, 64));
  EXPECT_FALSE(setup::IsExcludedSystem(0xFFFFFFFF, -2));
}

}  // namespace
