#pragma once
// Blowfish (ECB, big-endian halves) over installer data, with the length trailer that lets a
// deciphered buffer be cut back to its plain size, and the XOR scrambling used when the data is
// not enciphered.
#include <nettle/blowfish.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vk {

class Blowfish {
public:
  // Keys shorter than 8 bytes are zero-padded to 8, longer ones to a multiple of 4. After padding
  // the key must be 8..56 bytes (64..448 bits); a longer key is refused and leaves no key set.
  bool setKey(const uint8_t* key, size_t size);
  bool hasKey() const { return keyed_; }

  // Whole blocks in place; size must be a multiple of 8 (a partial last block is left as it is).
  void encryptBlocks(uint8_t* data, size_t size) const;
  void decryptBlocks(uint8_t* data, size_t size) const;

  // Deciphers an enciphered buffer and cuts it to the plain length stored in its last 4 bytes
  // (little-endian). The buffer must be a multiple of 8 and at least 8 bytes, and the length L must
  // satisfy size-12 <= L <= size-4; any violation (or no key) empties the buffer.
  void Decipher(std::vector<uint8_t>& buffer) const;

  // The inverse: zero padding and the length trailer, so that the result is a multiple of 8 and
  // Decipher gives back exactly the plain bytes. Returns an empty buffer without a key.
  std::vector<uint8_t> Encipher(const uint8_t* plain, size_t size) const;

private:
  blowfish_ctx ctx_{};
  bool keyed_ = false;
};

// XORs each whole little-endian 32-bit word with key, then the 1..3 tail bytes with the key's
// low, second and third byte. Applying it twice restores the data.
void XorScramble(uint8_t* data, size_t size, uint32_t key);

}  // namespace vk
