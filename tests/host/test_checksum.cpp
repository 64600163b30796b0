#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lib/checksum.h"

namespace {

TEST(Checksum, EmptyDataIsTheStartValue) {
  EXPECT_EQ(vk::checksum(nullptr, 0), 0x79E2BC9Du);
  EXPECT_EQ(vk::checksum("", 0), 0x79E2BC9Du);
}

TEST(Checksum, WordsThenSignedTailBytesThenLength) {
  struct Case {
    std::string data;
    uint32_t expected;
  };
  const Case cases[] = {
      {std::string("\x01\x00\x00\x00", 4), 0x79E2BC9Du + 1 + 4},
      {std::string("\x01\x02\x03\x04\x05", 5), 0x79E2BC9Du + 0x04030201u + 5 + 5},
      // Tail bytes count as signed: 0xFF adds -1.
      {std::string("\xFF", 1), 0x79E2BC9Du - 1 + 1},
      {std::string("\x00\x00\x00\x00\x80\x7F", 6), 0x79E2BC9Du - 128 + 127 + 6},
      // Words wrap at 32 bits.
      {std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8), 0x79E2BC9Du - 2 + 8},
  };
  for (const auto& c : cases)
    EXPECT_EQ(vk::checksum(c.data.data(), c.data.size()), c.expected) << "data size " << c.data.size();
}

TEST(Checksum, PiecesGiveTheSameSumAsOneBuffer) {
  std::string data(10007, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = char(i * 131 + 7);
  vk::Checksum c;
  c.add(data.data(), 4096);
  c.add(data.data() + 4096, 4096);
  c.add(data.data() + 8192, data.size() - 8192);
  EXPECT_EQ(c.value(), vk::checksum(data.data(), data.size()));
}

}  // namespace
