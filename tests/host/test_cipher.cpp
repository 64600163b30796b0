#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "lib/cipher.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Hex(const std::string& hex) {
  Bytes out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

TEST(Blowfish, PublishedVectors) {
  struct Case {
    const char* key;
    const char* plain;
    const char* cipher;
  };
  const Case cases[] = {
      {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
      {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
      {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
      {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
      {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
      {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
      {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
  };
  for (const auto& c : cases) {
    vk::Blowfish bf;
    const Bytes key = Hex(c.key);
    ASSERT_TRUE(bf.setKey(key.data(), key.size()));
    Bytes block = Hex(c.plain);
    bf.encryptBlocks(block.data(), block.size());
    EXPECT_EQ(block, Hex(c.cipher)) << "key " << c.key;
    bf.decryptBlocks(block.data(), block.size());
    EXPECT_EQ(block, Hex(c.plain)) << "key " << c.key;
  }
}

TEST(Blowfish, ShortKeysAreZeroPaddedAndLongKeysRefused) {
  const Bytes block0 = Hex("0123456789ABCDEF");
  auto encrypt = [&](const Bytes& key) {
    vk::Blowfish bf;
    EXPECT_TRUE(bf.setKey(key.data(), key.size()));
    Bytes b = block0;
    bf.encryptBlocks(b.data(), b.size());
    return b;
  };
  // Zero padding, not the key repetition of the plain cipher: "AB" is "AB\0\0\0\0\0\0".
  EXPECT_EQ(encrypt(Hex("4142")), encrypt(Hex("4142000000000000")));
  EXPECT_NE(encrypt(Hex("4142")), encrypt(Hex("4142414241424142")));
  // Past 8 bytes, to a multiple of 4.
  EXPECT_EQ(encrypt(Hex("010203040506070809")), encrypt(Hex("010203040506070809000000")));

  vk::Blowfish bf;
  Bytes longest(56, 0x5A), tooLong(57, 0x5A);
  EXPECT_TRUE(bf.setKey(longest.data(), longest.size()));
  EXPECT_FALSE(bf.setKey(tooLong.data(), tooLong.size()));
  EXPECT_FALSE(bf.hasKey());
}

vk::Blowfish Keyed() {
  vk::Blowfish bf;
  const Bytes key = Hex("8A1C33F00D5EEB07");
  bf.setKey(key.data(), key.size());
  return bf;
}

TEST(Blowfish, EncipherThenDecipherGivesThePlainBytes) {
  const vk::Blowfish bf = Keyed();
  for (size_t n : {0, 1, 3, 4, 5, 7, 8, 11, 12, 13, 16, 1000, 4093}) {
    Bytes plain(n);
    for (size_t i = 0; i < n; ++i) plain[i] = uint8_t(i * 7 + 1);
    Bytes sealed = bf.Encipher(plain.data(), plain.size());
    EXPECT_EQ(sealed.size() % 8, 0u) << n;
    EXPECT_GE(sealed.size(), n + 4) << n;
    EXPECT_LE(sealed.size(), n + 12) << n;
    bf.Decipher(sealed);
    EXPECT_EQ(sealed, plain) << n;
  }
}

TEST(Blowfish, TrailerViolationsEmptyTheBuffer) {
  const vk::Blowfish bf = Keyed();
  // A 16-byte buffer whose last 4 plain bytes claim length L.
  auto sealedWithLength = [&](uint32_t length) {
    Bytes b(16, 0x33);
    std::memcpy(b.data() + 12, &length, 4);  // host is little-endian, as is the trailer
    bf.encryptBlocks(b.data(), b.size());
    return b;
  };
  struct Case {
    const char* name;
    Bytes buffer;
    size_t expected;
  };
  Bytes good = bf.Encipher(reinterpret_cast<const uint8_t*>("abcdefgh"), 8);
  Bytes odd = good;
  odd.push_back(0);
  const Case cases[] = {
      {"not a multiple of 8", odd, 0},
      {"shorter than 8", Bytes(good.begin(), good.begin() + 4), 0},
      {"empty", Bytes(), 0},
      {"L below length-12", sealedWithLength(3), 0},
      {"L equal to length-12", sealedWithLength(4), 4},
      {"L equal to length-4", sealedWithLength(12), 12},
      {"L above length-4", sealedWithLength(13), 0},
      {"L huge", sealedWithLength(0xFFFFFFF0u), 0},
  };
  for (const auto& c : cases) {
    Bytes b = c.buffer;
    bf.Decipher(b);
    EXPECT_EQ(b.size(), c.expected) << c.name;
  }
  Bytes noKey = good;
  vk::Blowfish().Decipher(noKey);
  EXPECT_TRUE(noKey.empty());
}

TEST(XorScramble, WordsWithTheKeyThenTailBytesWithItsLowBytes) {
  Bytes data = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
  vk::XorScramble(data.data(), data.size(), 0x11223344);
  EXPECT_EQ(data, (Bytes{0x45, 0x31, 0x21, 0x15, 0x05 ^ 0x44, 0x06 ^ 0x33, 0x07 ^ 0x22}));
  vk::XorScramble(data.data(), data.size(), 0x11223344);
  EXPECT_EQ(data, (Bytes{1, 2, 3, 4, 5, 6, 7}));
}

}  // namespace
