#pragma once
// Reading and writing the primitives of the unpacked settings block.
//
// SettingsStream never reads past the block: a read that runs off the end takes what is left,
// moves to the end and reports failure. The settings reader treats such a failure as a
// zero-filled field and relies on the end marker to catch the truncation.
// SettingsWriter is the builder's mirror; every write has a matching read.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "lib/strings.h"

namespace setup {

class SettingsStream {
public:
  SettingsStream() = default;
  // Owns the block.
  explicit SettingsStream(std::vector<uint8_t> block);
  // Views bytes that the caller keeps alive.
  SettingsStream(const uint8_t* data, size_t size);

  SettingsStream(const SettingsStream&) = delete;
  SettingsStream& operator=(const SettingsStream&) = delete;
  SettingsStream(SettingsStream&& other) noexcept;
  SettingsStream& operator=(SettingsStream&& other) noexcept;

  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  size_t position() const { return pos_; }
  size_t remaining() const { return size_ - pos_; }
  bool atEnd() const { return pos_ >= size_; }

  // n bytes into dst. Fewer left: copies those, zero-fills the rest, moves to the end and fails.
  // n <= 0 succeeds only for 0.
  bool read(void* dst, int64_t n);

  // Fixed-width little-endian values (zero on a short read, as with read).
  bool readU8(uint8_t& v);
  bool readU16(uint16_t& v);
  bool readU32(uint32_t& v);
  bool readI32(int32_t& v);
  bool readU64(uint64_t& v);
  bool readDouble(double& v);

  // Length prefix of 1, 3 or 7 bytes (see the writer); lengths above 0x40000000 fail.
  bool readSized(vk::String& out);
  bool readSized(vk::Streng& out);
  // Byte length as a 1-, 2- or 4-byte little-endian prefix; a negative 32-bit length fails.
  bool readLen8(vk::String& out);
  bool readLen8(vk::Streng& out);
  bool readLen16(vk::String& out);
  bool readLen16(vk::Streng& out);
  bool readLen32(vk::String& out);
  bool readLen32(vk::Streng& out);
  // Zero-terminated; the position ends just after the terminator. Unterminated: the rest of the
  // data becomes the string, the position moves to the end, and the read fails.
  bool readZ8(vk::String& out);
  bool readZ16(vk::Streng& out);
  // Appends exactly n raw bytes; fewer left: appends those, moves to the end and fails.
  bool readFixed(size_t n, vk::String& buffer);

  static constexpr uint32_t kMaxSized = 0x40000000;

private:
  // Takes up to n bytes from the current position (bounded by what is left).
  bool take(size_t n, const uint8_t*& p, size_t& got);
  bool readBytesOf(size_t n, vk::String& out);
  bool readBytesOf(size_t n, vk::Streng& out);
  bool sizedLength(uint32_t& length);

  std::vector<uint8_t> owned_;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
};

class SettingsWriter {
public:
  void writeU8(uint8_t v);
  void writeU16(uint16_t v);
  void writeU32(uint32_t v);
  void writeI32(int32_t v) { writeU32(static_cast<uint32_t>(v)); }
  void writeU64(uint64_t v);
  void writeDouble(double v);
  void writeBytes(const void* data, size_t n);

  // Shortest prefix: 1 byte below 255; 3 bytes up to 0xFFFF unless the low byte is 0xFF (that
  // byte announces the 32-bit form); otherwise 7 bytes. Fails above 0x40000000 bytes.
  bool writeSized(std::string_view s);
  bool writeSized(std::u16string_view s);
  // Fail when the byte length does not fit the prefix.
  bool writeLen8(std::string_view s);
  bool writeLen8(std::u16string_view s);
  bool writeLen16(std::string_view s);
  bool writeLen16(std::u16string_view s);
  bool writeLen32(std::string_view s);
  bool writeLen32(std::u16string_view s);
  // Fail when the text holds the terminator itself.
  bool writeZ8(std::string_view s);
  bool writeZ16(std::u16string_view s);
  void writeFixed(std::string_view bytes) { writeBytes(bytes.data(), bytes.size()); }

  const std::vector<uint8_t>& bytes() const { return out_; }
  std::vector<uint8_t> take() { return std::move(out_); }

private:
  void writeUtf16(std::u16string_view s);
  bool writeSizedLength(uint64_t length);

  std::vector<uint8_t> out_;
};

}  // namespace setup
