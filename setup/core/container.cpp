#include "setup/core/container.h"

#include <cstring>

#include "lib/bytes.h"
#include "lib/checksum.h"
#include "lib/xz.h"

namespace setup {

namespace {

using vk::Le16;
using vk::Le32;
using vk::PutLe16;
using vk::PutLe32;

bool ReadLe16(const ByteSource& src, uint64_t offset, uint16_t& v) {
  uint8_t b[2];
  if (!src.read(offset, b, 2)) return false;
  v = Le16(b);
  return true;
}

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

using Cursor = vk::ByteCursor;

}  // namespace

int CompareVersions(std::string_view a, std::string_view b) {
  auto split = [](std::string_view s) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
      size_t dot = s.find('.', start);
      parts.push_back(s.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
      if (dot == std::string_view::npos) break;
      start = dot + 1;
    }
    return parts;
  };
  const auto pa = split(a), pb = split(b);
  for (auto parts : {&pa, &pb})
    for (auto part : *parts)
      if (!AllDigits(part)) return a < b ? -1 : a > b ? 1 : 0;
  // Numbers of any length: drop leading zeros, then the longer is larger, else compare the digits.
  auto number = [](std::string_view s) {
    size_t i = s.find_first_not_of('0');
    return i == std::string_view::npos ? std::string_view() : s.substr(i);
  };
  const size_t n = pa.size() > pb.size() ? pa.size() : pb.size();
  for (size_t i = 0; i < n; ++i) {
    const auto x = number(i < pa.size() ? pa[i] : std::string_view());
    const auto y = number(i < pb.size() ? pb[i] : std::string_view());
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    if (int c = x.compare(y)) return c < 0 ? -1 : 1;
  }
  return 0;
}

bool MemorySource::read(uint64_t offset, void* dst, size_t n) const {
  if (offset > size_ || n > size_ - offset) return false;
  if (n) std::memcpy(dst, data_ + offset, n);
  return true;
}

int FindSetupSection(const ByteSource& file, SectionLocation& out) {
  out = SectionLocation{};
  out.fileSize = file.size();
  uint16_t peOffset = 0;
  if (!ReadLe16(file, 0x3C, peOffset) || peOffset < kMinPeOffset || peOffset > kMaxPeOffset) return kBadPeOffset;
  out.peOffset = peOffset;
  uint16_t count = 0;
  if (!ReadLe16(file, peOffset + 6, count) || count < kMinSections || count > kMaxSections) return kBadSectionCount;
  out.sectionCount = count;
  if (!ReadLe16(file, peOffset + 20, out.optionalHeaderSize)) return kBadSectionCount;
  out.tableOffset = peOffset + 24u + out.optionalHeaderSize;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t entry[kSectionEntrySize];
    if (!file.read(out.tableOffset + uint64_t(i) * kSectionEntrySize, entry, sizeof entry)) return kBadSectionCount;
    // The 8-byte name as a zero-terminated string: ".setup" followed by a zero, nothing longer.
    if (std::memcmp(entry, kSectionName, sizeof kSectionName) != 0) continue;
    out.index = i;
    out.virtualAddress = Le32(entry + 12);
    out.rawSize = Le32(entry + 16);
    out.rawPointer = Le32(entry + 20);
    if (out.rawPointer == 0) return kRawPointerZero;
    if (out.rawPointer > out.fileSize) return kRawPointerBeyondFile;
    return kOk;
  }
  return kNoSetupSection;
}

int ParseHeader(const uint8_t* section, size_t size, SetupHeader& out) {
  out = SetupHeader{};
  out.engineVersion.clear();
  Cursor c{section, size};
  if (!c.u32(out.magic) || out.magic != kSetupMagic) return kBadMagic;
  const void* zero = std::memchr(section + c.pos, 0, size - c.pos);
  if (!zero) return kBadMagic;
  const size_t versionEnd = static_cast<const uint8_t*>(zero) - section;
  out.engineVersion.assign(reinterpret_cast<const char*>(section + c.pos), versionEnd - c.pos);
  c.pos = versionEnd + 1;
  if (CompareVersions(out.engineVersion, kEngineVersion) != 0) return kVersionMismatch;
  if (!c.u32(out.productFlags2)) return kBadBlockSize;
  if (!c.i32(out.blockSize) || out.blockSize < 1 || out.blockSize > kMaxBlockSize) return kBadBlockSize;
  if (!c.u32(out.blockChecksum) || !c.u32(out.engineChecksum)) return kBadDataSize;
  if (!c.i32(out.dataSize) || out.dataSize < 0) return kBadDataSize;
  if (!c.i32(out.itemCount) || out.itemCount < 0) return kBadItemCount;
  if (!c.i32(out.archiveSize) || out.archiveSize < 0) return kBadArchiveSize;
  if (!c.u32(out.archiveChecksum)) return kBadItemSize;
  // Bounded by the bytes present before anything is allocated for the list.
  if (uint64_t(out.itemCount) * 4 > size - c.pos) return kBadItemSize;
  out.itemSizes.resize(static_cast<size_t>(out.itemCount));
  for (auto& s : out.itemSizes) {
    c.i32(s);
    if (s < 0 || s > kMaxItemSize) return kBadItemSize;
  }
  if (out.enciphered()) {
    if (size - c.pos < kCipherKeySize) return kBadBlockSize;
    std::memcpy(out.cipherKey.data(), section + c.pos, kCipherKeySize);
    c.pos += kCipherKeySize;
  }
  out.headerLength = c.pos;
  out.blockEnd = c.pos + static_cast<size_t>(out.blockSize);
  if (static_cast<size_t>(out.blockSize) > size - c.pos) return kBadBlockSize;
  return kOk;
}

Bytes SerializeHeader(SetupHeader& h) {
  h.itemCount = static_cast<int32_t>(h.itemSizes.size());
  const size_t length = 4 + h.engineVersion.size() + 1 + 8 * 4 + h.itemSizes.size() * 4 +
                        (h.enciphered() ? kCipherKeySize : 0);
  // Written into a buffer of its final size: fewer reallocations, and g++ 12 warns falsely on
  // repeated small inserts.
  Bytes out(length, 0);
  uint8_t* p = out.data();
  PutLe32(p, h.magic);
  p += 4;
  if (!h.engineVersion.empty()) std::memcpy(p, h.engineVersion.data(), h.engineVersion.size());
  p += h.engineVersion.size() + 1;
  for (uint32_t v : {h.productFlags2, uint32_t(h.blockSize), h.blockChecksum, h.engineChecksum, uint32_t(h.dataSize),
                     uint32_t(h.itemCount), uint32_t(h.archiveSize), h.archiveChecksum}) {
    PutLe32(p, v);
    p += 4;
  }
  for (int32_t s : h.itemSizes) {
    PutLe32(p, uint32_t(s));
    p += 4;
  }
  if (h.enciphered()) std::memcpy(p, h.cipherKey.data(), kCipherKeySize);
  h.headerLength = out.size();
  h.blockEnd = h.headerLength + static_cast<size_t>(h.blockSize < 0 ? 0 : h.blockSize);
  return out;
}

Bytes ComposeSection(SetupHeader& h, const Bytes& packedBlock, const Bytes& archive) {
  h.blockSize = static_cast<int32_t>(packedBlock.size());
  h.archiveSize = static_cast<int32_t>(archive.size());
  SerializeHeader(h);  // for the header length
  h.dataSize = static_cast<int32_t>(h.headerLength + packedBlock.size() + archive.size());
  Bytes out = SerializeHeader(h);
  out.insert(out.end(), packedBlock.begin(), packedBlock.end());
  out.insert(out.end(), archive.begin(), archive.end());
  return out;
}

void KeyCipher(const SetupHeader& header, vk::Blowfish& cipher) {
  cipher = vk::Blowfish();
  if (header.enciphered()) cipher.setKey(header.cipherKey.data(), header.cipherKey.size());
}

int UnpackSettings(const SetupHeader& header, const vk::Blowfish& cipher, const uint8_t* block, size_t size,
                   Bytes& plain) {
  Bytes packed(block, block + size);
  if (header.enciphered())
    cipher.Decipher(packed);
  else
    vk::XorScramble(packed.data(), packed.size(), header.blockChecksum);
  if (!vk::XzDecode(packed.data(), packed.size(), plain, kMaxSettingsSize)) return kSettingsUndecodable;
  return kOk;
}

bool PackSettings(SetupHeader& header, const vk::Blowfish& cipher, const Bytes& plain, Bytes& packed,
                  uint32_t xzPreset) {
  if (plain.size() > kMaxSettingsSize) return false;
  header.blockChecksum = vk::checksum(plain.data(), plain.size());
  Bytes compressed;
  if (!vk::XzEncode(plain.data(), plain.size(), compressed, xzPreset)) return false;
  if (header.enciphered()) {
    if (!cipher.hasKey()) return false;
    packed = cipher.Encipher(compressed.data(), compressed.size());
  } else {
    vk::XorScramble(compressed.data(), compressed.size(), header.blockChecksum);
    packed = std::move(compressed);
  }
  return packed.size() >= 1 && packed.size() <= size_t(kMaxBlockSize);
}

int ReadFront(const ByteSource& file, const SectionLocation& loc, Bytes& front) {
  front.assign(loc.rawPointer, 0);
  if (!file.read(0, front.data(), front.size())) {
    front.clear();
    return kFrontUnreadable;
  }
  return kOk;
}

uint32_t EngineChecksum(const uint8_t* front, size_t size, uint32_t peOffset) {
  const size_t start = size_t(peOffset) + kEngineChecksumSkip;
  if (start >= size) return vk::checksum(nullptr, 0);
  return vk::checksum(front + start, size - start);
}

int BuildEngineImage(const ByteSource& file, const SectionLocation& loc, const Bytes& front, uint32_t productFlags2,
                     Bytes& image) {
  image.clear();
  const uint64_t fileSize = file.size();
  if (!(productFlags2 & kBuildEngineImage)) {
    image.resize(static_cast<size_t>(fileSize));
    if (!file.read(0, image.data(), image.size())) {
      image.clear();
      return kFrontUnreadable;
    }
    return kOk;
  }
  const uint64_t tail = uint64_t(loc.rawPointer) + loc.rawSize;
  if (front.size() != loc.rawPointer || tail > fileSize) return kTailUnreadable;
  image = front;
  image.resize(front.size() + static_cast<size_t>(fileSize - tail));
  if (!file.read(tail, image.data() + front.size(), image.size() - front.size())) {
    image.clear();
    return kTailUnreadable;
  }
  // The headers and the whole table must lie in front of the section to be mended here.
  const size_t tableEnd = size_t(loc.tableOffset) + size_t(loc.sectionCount) * kSectionEntrySize;
  if (loc.peOffset + 84u > front.size() || tableEnd > front.size() || loc.index >= loc.sectionCount) {
    image.clear();
    return kTailUnreadable;
  }
  uint8_t* pe = image.data() + loc.peOffset;
  PutLe16(pe + 6, uint16_t(Le16(pe + 6) - 1));
  PutLe32(pe + 32, Le32(pe + 32) - loc.rawSize);
  PutLe32(pe + 80, Le32(pe + 80) - loc.rawSize);
  uint8_t* table = image.data() + loc.tableOffset;
  const uint32_t removedEnd = loc.rawPointer + loc.rawSize;
  for (uint32_t i = loc.index + 1; i < loc.sectionCount; ++i) {
    uint8_t* to = table + size_t(i - 1) * kSectionEntrySize;
    std::memcpy(to, to + kSectionEntrySize, kSectionEntrySize);
    const uint32_t pointer = Le32(to + 20);
    // Only raw data that lay behind the removed section has moved.
    if (pointer != 0 && pointer >= removedEnd) PutLe32(to + 20, pointer - loc.rawSize);
  }
  std::memset(table + size_t(loc.sectionCount - 1) * kSectionEntrySize, 0, kSectionEntrySize);
  return kOk;
}

int LocateImageArchive(const SetupHeader& header, size_t sectionSize, size_t& offset, size_t& length) {
  offset = header.blockEnd;
  length = 0;
  const uint64_t dataSize = header.dataSize < 0 ? 0 : uint64_t(header.dataSize);
  if (dataSize < header.blockEnd || dataSize > sectionSize) return kArchiveSizeMismatch;
  length = static_cast<size_t>(dataSize - header.blockEnd);
  if (length != uint64_t(header.archiveSize)) return kArchiveSizeMismatch;
  return kOk;
}

int CheckArchive(const SetupHeader& header, const uint8_t* archive, size_t available) {
  if (header.archiveSize < 0 || available != size_t(header.archiveSize)) return kArchiveSizeMismatch;
  if (vk::checksum(archive, available) != header.archiveChecksum) return kArchiveChecksum;
  return kOk;
}

}  // namespace setup
