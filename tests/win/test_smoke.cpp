#include <gtest/gtest.h>
#include <windows.h>
#include "lib/checksum.h"
TEST(Smoke, Runs) {
  EXPECT_EQ(vk::checksum("", 0), 0x79E2BC9Du);
  wchar_t buf[MAX_PATH];
  EXPECT_GT(GetWindowsDirectoryW(buf, MAX_PATH), 0u);
}
