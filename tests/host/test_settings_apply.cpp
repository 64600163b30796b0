#include <gtest/gtest.h>

#include "setup/core/settings_apply.h"

namespace {

using setup::AppendBatchLines;
using setup::Nt52OptionKept;
using setup::SystemVersion;

TEST(Nt52Option, KeptFromNt52OnExceptTheWorkstation) {
  struct Case {
    SystemVersion version;
    uint32_t hook;
    bool kept;
  } cases[] = {
      {{5, 1, 1}, 0, false},   // XP
      {{5, 2, 1}, 0, false},   // XP x64
      {{5, 2, 3}, 0, true},    // Server 2003
      {{5, 2, 2}, 0, true},    // Server 2003 domain controller
      {{6, 0, 1}, 0, true},    // Vista
      {{10, 0, 1}, 0, true},
      {{4, 9, 1}, 0, false},
      {{10, 0, 1}, 1, false},  // the hook says no
      {{5, 2, 3}, 7, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.kept, Nt52OptionKept(c.version, c.hook))
        << c.version.major << "." << c.version.minor << " type " << int(c.version.productType) << " hook " << c.hook;
}

TEST(BatchAppend, GoesOnItsOwnLine) {
  struct Case {
    const char* batch;
    const char* addition;
    const char* result;
  } cases[] = {
      {"", "", ""},
      {"echo a", "", "echo a"},
      {"", "echo b", "echo b\r\n"},
      {"echo a", "echo b", "echo a\r\necho b\r\n"},
      {"echo a\r\n", "echo b", "echo a\r\necho b\r\n"},
      {"echo a\n", "echo b\r\necho c", "echo a\necho b\r\necho c\r\n"},
      {"echo a", "echo b\r\n", "echo a\r\necho b\r\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.result, AppendBatchLines(c.batch, c.addition)) << "[" << c.batch << "] + [" << c.addition << "]";
}

}  // namespace
