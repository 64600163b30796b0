// Icon files read for the resource update: the images found, the group directory made of them,
// and damaged files refused without reading outside them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/core/icon_file.h"

namespace {

void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(uint8_t(x));
  v.push_back(uint8_t(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

// Two images: 16x16 of 5 bytes, 32x32 of 3 bytes.
std::vector<uint8_t> TwoImageIcon() {
  std::vector<uint8_t> f;
  Put16(f, 0), Put16(f, 1), Put16(f, 2);
  const uint32_t first = 6 + 2 * 16;
  f.insert(f.end(), {16, 16, 0, 0}), Put16(f, 1), Put16(f, 32), Put32(f, 5), Put32(f, first);
  f.insert(f.end(), {32, 32, 0, 0}), Put16(f, 1), Put16(f, 32), Put32(f, 3), Put32(f, first + 5);
  f.insert(f.end(), {'a', 'b', 'c', 'd', 'e', 'X', 'Y', 'Z'});
  return f;
}

TEST(IconFile, ImagesAndTheirGroupDirectory) {
  const std::vector<uint8_t> file = TwoImageIcon();
  std::vector<setup::IconImage> images;
  ASSERT_TRUE(setup::ParseIconFile(file.data(), file.size(), images));
  ASSERT_EQ(2u, images.size());
  EXPECT_EQ("abcde", std::string(images[0].data, images[0].data + images[0].size));
  EXPECT_EQ("XYZ", std::string(images[1].data, images[1].data + images[1].size));

  const std::vector<uint8_t> group = setup::IconGroupDirectory(images);
  std::vector<uint8_t> expected;
  Put16(expected, 0), Put16(expected, 1), Put16(expected, 2);
  expected.insert(expected.end(), {16, 16, 0, 0}), Put16(expected, 1), Put16(expected, 32), Put32(expected, 5);
  Put16(expected, 1);
  expected.insert(expected.end(), {32, 32, 0, 0}), Put16(expected, 1), Put16(expected, 32), Put32(expected, 3);
  Put16(expected, 2);
  EXPECT_EQ(expected, group);
}

TEST(IconFile, DamagedFilesAreRefused) {
  struct Case {
    const char* what;
    void (*damage)(std::vector<uint8_t>&);
  };
  const Case cases[] = {
      {"empty", [](std::vector<uint8_t>& f) { f.clear(); }},
      {"shorter than the directory", [](std::vector<uint8_t>& f) { f.resize(5); }},
      {"entries cut off", [](std::vector<uint8_t>& f) { f.resize(6 + 16 + 8); }},
      {"cursor type", [](std::vector<uint8_t>& f) { f[2] = 2; }},
      {"reserved word set", [](std::vector<uint8_t>& f) { f[0] = 1; }},
      {"no images", [](std::vector<uint8_t>& f) { f[4] = 0; }},
      {"more images than entries", [](std::vector<uint8_t>& f) { f[4] = 0xFF, f[5] = 0xFF; }},
      {"image runs past the end", [](std::vector<uint8_t>& f) { f[16 + 6 + 8] = 4; }},
      {"offset past the end", [](std::vector<uint8_t>& f) { f[16 + 6 + 12] = 0xF0; }},
      {"offset wraps around", [](std::vector<uint8_t>& f) {
         for (int i = 12; i < 16; ++i) f[16 + 6 + i] = 0xFF;
       }},
      {"size wraps around", [](std::vector<uint8_t>& f) {
         for (int i = 8; i < 12; ++i) f[16 + 6 + i] = 0xFF;
       }},
      {"image of no bytes", [](std::vector<uint8_t>& f) { f[6 + 8] = 0; }},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> file = TwoImageIcon();
    c.damage(file);
    std::vector<setup::IconImage> images(1);
    EXPECT_FALSE(setup::ParseIconFile(file.data(), file.size(), images)) << c.what;
    EXPECT_TRUE(images.empty()) << c.what;
  }
}

}  // namespace
