#include "setup/core/settings_stream.h"

#include <algorithm>
#include <cstring>

namespace setup {

namespace {

uint32_t LoadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

SettingsStream::SettingsStream(std::vector<uint8_t> block) : owned_(std::move(block)) {
  data_ = owned_.data();
  size_ = owned_.size();
}

SettingsStream::SettingsStream(const uint8_t* data, size_t size)
    : data_(data), size_(data ? size : 0) {}

SettingsStream::SettingsStream(SettingsStream&& other) noexcept { *this = std::move(other); }

SettingsStream& SettingsStream::operator=(SettingsStream&& other) noexcept {
  if (this == &other) return *this;
  const bool owning = other.data_ == other.owned_.data() && !other.owned_.empty();
  owned_ = std::move(other.owned_);
  data_ = owning ? owned_.data() : other.data_;
  size_ = other.size_;
  pos_ = other.pos_;
  other.data_ = nullptr;
  other.size_ = other.pos_ = 0;
  return *this;
}

bool SettingsStream::take(size_t n, const uint8_t*& p, size_t& got) {
  p = data_ + pos_;
  const size_t left = remaining();
  if (n <= left) {
    got = n;
    pos_ += n;
    return true;
  }
  got = left;
  pos_ = size_;
  return false;
}

bool SettingsStream::read(void* dst, int64_t n) {
  if (n <= 0) return n == 0;
  const uint8_t* p;
  size_t got;
  const bool ok = take(static_cast<size_t>(n), p, got);
  if (got) std::memcpy(dst, p, got);
  if (!ok) std::memset(static_cast<uint8_t*>(dst) + got, 0, static_cast<size_t>(n) - got);
  return ok;
}

bool SettingsStream::readU8(uint8_t& v) { return read(&v, 1); }

bool SettingsStream::readU16(uint16_t& v) {
  uint8_t b[2];
  const bool ok = read(b, 2);
  v = uint16_t(b[0] | b[1] << 8);
  return ok;
}

bool SettingsStream::readU32(uint32_t& v) {
  uint8_t b[4];
  const bool ok = read(b, 4);
  v = LoadU32(b);
  return ok;
}

bool SettingsStream::readI32(int32_t& v) {
  uint32_t u;
  const bool ok = readU32(u);
  v = static_cast<int32_t>(u);
  return ok;
}

bool SettingsStream::readU64(uint64_t& v) {
  uint32_t lo, hi;
  const bool ok = readU32(lo) & readU32(hi);
  v = uint64_t(hi) << 32 | lo;
  return ok;
}

bool SettingsStream::readDouble(double& v) {
  uint64_t bits;
  const bool ok = readU64(bits);
  std::memcpy(&v, &bits, sizeof v);
  return ok;
}

// A length beyond the data never allocates more than the data holds: the string gets what is
// left, which a damaged length cannot inflate.
bool SettingsStream::readBytesOf(size_t n, vk::String& out) {
  const uint8_t* p;
  size_t got;
  const bool ok = take(n, p, got);
  out.assign(reinterpret_cast<const char*>(p), got);
  return ok;
}

bool SettingsStream::readBytesOf(size_t n, vk::Streng& out) {
  const uint8_t* p;
  size_t got;
  const bool ok = take(n, p, got);
  out.resize(got / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = char16_t(p[2 * i] | p[2 * i + 1] << 8);
  return ok;
}

// 255 announces a 16-bit length; when its low byte is 255 as well, a 32-bit length follows.
bool SettingsStream::sizedLength(uint32_t& length) {
  uint8_t b;
  bool ok = readU8(b);
  length = b;
  if (b == 255) {
    uint16_t v;
    ok = readU16(v) && ok;
    length = v;
    if ((v & 0xFF) == 0xFF) ok = readU32(length) && ok;
  }
  return ok;
}

bool SettingsStream::readSized(vk::String& out) {
  out.clear();
  uint32_t length;
  if (!sizedLength(length) || length > kMaxSized) return false;
  return readBytesOf(length, out);
}

bool SettingsStream::readSized(vk::Streng& out) {
  out.clear();
  uint32_t length;
  if (!sizedLength(length) || length > kMaxSized) return false;
  return readBytesOf(length, out);
}

bool SettingsStream::readLen8(vk::String& out) {
  out.clear();
  uint8_t n;
  return readU8(n) && readBytesOf(n, out);
}

bool SettingsStream::readLen8(vk::Streng& out) {
  out.clear();
  uint8_t n;
  return readU8(n) && readBytesOf(n, out);
}

bool SettingsStream::readLen16(vk::String& out) {
  out.clear();
  uint16_t n;
  return readU16(n) && readBytesOf(n, out);
}

bool SettingsStream::readLen16(vk::Streng& out) {
  out.clear();
  uint16_t n;
  return readU16(n) && readBytesOf(n, out);
}

bool SettingsStream::readLen32(vk::String& out) {
  out.clear();
  int32_t n;
  return readI32(n) && n >= 0 && readBytesOf(size_t(n), out);
}

bool SettingsStream::readLen32(vk::Streng& out) {
  out.clear();
  int32_t n;
  return readI32(n) && n >= 0 && readBytesOf(size_t(n), out);
}

bool SettingsStream::readZ8(vk::String& out) {
  out.clear();
  constexpr size_t kStep = 512;
  size_t scan = pos_;
  while (scan < size_) {
    const size_t step = std::min(kStep, size_ - scan);
    const void* hit = std::memchr(data_ + scan, 0, step);
    if (hit) {
      const size_t end = static_cast<const uint8_t*>(hit) - data_;
      out.assign(reinterpret_cast<const char*>(data_ + pos_), end - pos_);
      pos_ = end + 1;
      return true;
    }
    scan += step;
  }
  out.assign(reinterpret_cast<const char*>(data_ + pos_), size_ - pos_);
  pos_ = size_;
  return false;
}

bool SettingsStream::readZ16(vk::Streng& out) {
  out.clear();
  constexpr size_t kStep = 1024;
  const size_t units = remaining() / 2;
  const uint8_t* base = data_ + pos_;
  for (size_t first = 0; first < units; first += kStep / 2) {
    const size_t last = std::min(units, first + kStep / 2);
    for (size_t i = first; i < last; ++i) {
      if (base[2 * i] == 0 && base[2 * i + 1] == 0) {
        out.resize(i);
        for (size_t k = 0; k < i; ++k) out[k] = char16_t(base[2 * k] | base[2 * k + 1] << 8);
        pos_ += 2 * i + 2;
        return true;
      }
    }
  }
  out.resize(units);
  for (size_t k = 0; k < units; ++k) out[k] = char16_t(base[2 * k] | base[2 * k + 1] << 8);
  pos_ = size_;
  return false;
}

bool SettingsStream::readFixed(size_t n, vk::String& buffer) {
  const uint8_t* p;
  size_t got;
  const bool ok = take(n, p, got);
  buffer.append(reinterpret_cast<const char*>(p), got);
  return ok;
}

// --- writer ---

void SettingsWriter::writeU8(uint8_t v) { out_.push_back(v); }

void SettingsWriter::writeU16(uint16_t v) {
  out_.push_back(uint8_t(v));
  out_.push_back(uint8_t(v >> 8));
}

void SettingsWriter::writeU32(uint32_t v) {
  for (int i = 0; i < 4; ++i) out_.push_back(uint8_t(v >> (8 * i)));
}

void SettingsWriter::writeU64(uint64_t v) {
  writeU32(uint32_t(v));
  writeU32(uint32_t(v >> 32));
}

void SettingsWriter::writeDouble(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  writeU64(bits);
}

void SettingsWriter::writeBytes(const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  out_.insert(out_.end(), p, p + n);
}

void SettingsWriter::writeUtf16(std::u16string_view s) {
  for (char16_t c : s) writeU16(uint16_t(c));
}

bool SettingsWriter::writeSizedLength(uint64_t length) {
  if (length > SettingsStream::kMaxSized) return false;
  if (length < 255) {
    writeU8(uint8_t(length));
  } else if (length <= 0xFFFF && (length & 0xFF) != 0xFF) {
    writeU8(255);
    writeU16(uint16_t(length));
  } else {
    writeU8(255);
    writeU16(0xFFFF);
    writeU32(uint32_t(length));
  }
  return true;
}

bool SettingsWriter::writeSized(std::string_view s) {
  if (!writeSizedLength(s.size())) return false;
  writeBytes(s.data(), s.size());
  return true;
}

bool SettingsWriter::writeSized(std::u16string_view s) {
  if (!writeSizedLength(uint64_t(s.size()) * 2)) return false;
  writeUtf16(s);
  return true;
}

bool SettingsWriter::writeLen8(std::string_view s) {
  if (s.size() > 0xFF) return false;
  writeU8(uint8_t(s.size()));
  writeBytes(s.data(), s.size());
  return true;
}

bool SettingsWriter::writeLen8(std::u16string_view s) {
  if (s.size() * 2 > 0xFF) return false;
  writeU8(uint8_t(s.size() * 2));
  writeUtf16(s);
  return true;
}

bool SettingsWriter::writeLen16(std::string_view s) {
  if (s.size() > 0xFFFF) return false;
  writeU16(uint16_t(s.size()));
  writeBytes(s.data(), s.size());
  return true;
}

bool SettingsWriter::writeLen16(std::u16string_view s) {
  if (s.size() * 2 > 0xFFFF) return false;
  writeU16(uint16_t(s.size() * 2));
  writeUtf16(s);
  return true;
}

bool SettingsWriter::writeLen32(std::string_view s) {
  if (s.size() > 0x7FFFFFFF) return false;
  writeU32(uint32_t(s.size()));
  writeBytes(s.data(), s.size());
  return true;
}

bool SettingsWriter::writeLen32(std::u16string_view s) {
  if (s.size() > 0x3FFFFFFF) return false;
  writeU32(uint32_t(s.size() * 2));
  writeUtf16(s);
  return true;
}

bool SettingsWriter::writeZ8(std::string_view s) {
  if (s.find('\0') != std::string_view::npos) return false;
  writeBytes(s.data(), s.size());
  writeU8(0);
  return true;
}

bool SettingsWriter::writeZ16(std::u16string_view s) {
  if (s.find(u'\0') != std::u16string_view::npos) return false;
  writeUtf16(s);
  writeU16(0);
  return true;
}

}  // namespace setup
