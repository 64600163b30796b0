#include "lib/cipher.h"

#include <cstring>

namespace vk {

bool Blowfish::setKey(const uint8_t* key, size_t size) {
  keyed_ = false;
  size_t padded = size < 8 ? 8 : (size + 3) / 4 * 4;
  if (padded > BLOWFISH_MAX_KEY_SIZE) return false;
  uint8_t buffer[BLOWFISH_MAX_KEY_SIZE] = {};
  if (size) std::memcpy(buffer, key, size);
  // The return value only flags a weak key; the schedule is complete either way, and the key is
  // whatever the build step stored, so it is used as it is.
  blowfish_set_key(&ctx_, padded, buffer);
  keyed_ = true;
  return true;
}

void Blowfish::encryptBlocks(uint8_t* data, size_t size) const {
  size_t whole = size / BLOWFISH_BLOCK_SIZE * BLOWFISH_BLOCK_SIZE;
  if (whole) blowfish_encrypt(&ctx_, whole, data, data);
}

void Blowfish::decryptBlocks(uint8_t* data, size_t size) const {
  size_t whole = size / BLOWFISH_BLOCK_SIZE * BLOWFISH_BLOCK_SIZE;
  if (whole) blowfish_decrypt(&ctx_, whole, data, data);
}

void Blowfish::Decipher(std::vector<uint8_t>& buffer) const {
  const size_t size = buffer.size();
  if (!keyed_ || size < 8 || size % 8 != 0) {
    buffer.clear();
    return;
  }
  decryptBlocks(buffer.data(), size);
  const uint8_t* t = buffer.data() + size - 4;
  const uint64_t plain = uint64_t(t[0]) | uint64_t(t[1]) << 8 | uint64_t(t[2]) << 16 | uint64_t(t[3]) << 24;
  const uint64_t total = size;
  if (plain + 12 < total || plain + 4 > total) {
    buffer.clear();
    return;
  }
  buffer.resize(static_cast<size_t>(plain));
}

std::vector<uint8_t> Blowfish::Encipher(const uint8_t* plain, size_t size) const {
  std::vector<uint8_t> out;
  if (!keyed_ || size > 0xFFFFFFFFu - 12) return out;
  // The smallest multiple of 8 with room for the trailer keeps size in [total-12, total-4].
  const size_t total = (size + 4 + 7) / 8 * 8;
  out.assign(total, 0);
  if (size) std::memcpy(out.data(), plain, size);
  const uint32_t length = static_cast<uint32_t>(size);
  uint8_t* t = out.data() + total - 4;
  t[0] = uint8_t(length);
  t[1] = uint8_t(length >> 8);
  t[2] = uint8_t(length >> 16);
  t[3] = uint8_t(length >> 24);
  encryptBlocks(out.data(), total);
  return out;
}

void XorScramble(uint8_t* data, size_t size, uint32_t key) {
  const uint8_t k[4] = {uint8_t(key), uint8_t(key >> 8), uint8_t(key >> 16), uint8_t(key >> 24)};
  // Byte-wise XOR with the key's little-endian bytes is the same as XORing whole LE words.
  for (size_t i = 0; i < size; ++i) data[i] ^= k[i % 4];
}

}  // namespace vk
