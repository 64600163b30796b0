#pragma once
// The installer container: the `.setup` PE section with its header, the packed settings block and
// the archive of chunks, plus the engine image (the executable without the section). Shared by the
// engine, which reads it, and the builder, which writes it. Nothing here touches the system: file
// access goes through ByteSource, and every failure is returned as its corrupt-installer code.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lib/cipher.h"
#include "lib/strings.h"

namespace setup {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kSetupMagic = 0xA4F23DE5;
constexpr const char* kEngineVersion = "42.0";
constexpr char kSectionName[] = ".setup";
constexpr int32_t kMaxBlockSize = 0x31FFFFF;
// The settings block unpacks to no more than the largest block; a block that would unpack to more
// is damaged (or hostile) and is refused before it can take more memory.
constexpr size_t kMaxSettingsSize = size_t(kMaxBlockSize);
constexpr int32_t kMaxItemSize = 0x40000000;
constexpr uint32_t kMinPeOffset = 64, kMaxPeOffset = 4096;
constexpr uint32_t kMinSections = 4, kMaxSections = 99;
constexpr size_t kSectionEntrySize = 40;
constexpr size_t kCipherKeySize = 8;
// Engine checksum (integrity mode 1) starts this far into the PE header, past the headers that
// adding or removing the section changes and the PE checksum field.
constexpr uint32_t kEngineChecksumSkip = 92;

// Bits of ProductFlags2, the flag word of the header.
enum ProductFlags2Bits : uint32_t {
  kReinstallBatchSameVersionOnly = 0x0001,  // bit 0
  kCreateRestorePoint = 0x0002,             // bit 1
  kBuildEngineImage = 0x0020,               // bit 5: uninstaller without the .setup section
  kAnnouncePreInstallBatch = 0x0040,        // bit 6
  kAnnounceUpgradeBatch = 0x0100,           // bit 8
  kAnnounceReinstallBatch = 0x0200,         // bit 9
  kNt52Option = 0x0400,                     // bit 10: cleared at start-up below NT 5.2
  kEnciphered = 0x1000,                     // bit 12: cipher key present, block and chunks enciphered
};

// Outcomes. Positive values are the numbered corrupt-installer errors; the two negative ones have
// messages of their own in the engine.
enum Error : int {
  kOk = 0,
  kNoSetupSection = -1,   // no section named ".setup": the engine's no-data message
  kVersionMismatch = -2,  // header version is not kEngineVersion: the version-mismatch fatal error
  kArchiveReadFailed = -3,  // the archive could not be read from the file (file mode)
  kRawPointerZero = 9,
  kRawPointerBeyondFile = 10,
  kBadMagic = 20,
  kBadBlockSize = 22,
  kSettingsChecksum = 25,
  kBadItemCount = 27,
  kBadItemSize = 28,
  kBadArchiveSize = 29,
  kFrontUnreadable = 35,
  kEngineChecksumMismatch = 40,
  kTailUnreadable = 42,
  kBadPeOffset = 43,
  kBadSectionCount = 44,
  kBadDataSize = 45,
  kArchiveSizeMismatch = 46,
  kSettingsUndecodable = 47,
  kArchiveChecksum = 55,
  kChunkUndecodable = 60,
  kChunkLength = 61,
  kChunkChecksum = 62,
  kChunkTooLong = 63,
  kEmptyItemName = 70,
  kItemSizeNegative = 71,
  kItemSizeTooLarge = 72,
  kArchiveLeftOver = 80,
  kQueueLeftOver = 83,
  kItemChecksum = 100,
  kCorruptEntry = 110,  // malformed or truncated entry record or item data
};

// Dotted numeric versions: components compared as numbers, missing ones are 0, so "42" == "42.0"
// == "42.0.0". A component that is not all digits makes the comparison textual.
int CompareVersions(std::string_view a, std::string_view b);

// Random access to the bytes of a file (the engine's own executable) or of a buffer.
class ByteSource {
public:
  virtual ~ByteSource() = default;
  virtual uint64_t size() const = 0;
  // Exactly n bytes at offset, or false.
  virtual bool read(uint64_t offset, void* dst, size_t n) const = 0;
};

class MemorySource : public ByteSource {
public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit MemorySource(const Bytes& bytes) : data_(bytes.data()), size_(bytes.size()) {}
  uint64_t size() const override { return size_; }
  bool read(uint64_t offset, void* dst, size_t n) const override;

private:
  const uint8_t* data_;
  size_t size_;
};

// ---- PE lookup (file view) ----

struct SectionLocation {
  uint64_t fileSize = 0;
  uint32_t peOffset = 0;         // e_lfanew
  uint16_t sectionCount = 0;
  uint16_t optionalHeaderSize = 0;
  uint32_t tableOffset = 0;      // file offset of section-table entry 0
  uint32_t index = 0;            // table index of .setup
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;
  uint32_t rawPointer = 0;
};

// 43, 44 (also when the file header or the section table cannot be read), kNoSetupSection, 9, 10.
int FindSetupSection(const ByteSource& file, SectionLocation& out);

// ---- Header (image view) ----

struct SetupHeader {
  uint32_t magic = kSetupMagic;
  std::string engineVersion = kEngineVersion;
  uint32_t productFlags2 = 0;
  int32_t blockSize = 0;
  uint32_t blockChecksum = 0;
  uint32_t engineChecksum = 0;
  int32_t dataSize = 0;
  int32_t itemCount = 0;      // kept equal to itemSizes.size() by the parser and by ComposeSection
  int32_t archiveSize = 0;
  uint32_t archiveChecksum = 0;
  std::vector<int32_t> itemSizes;
  std::array<uint8_t, kCipherKeySize> cipherKey{};  // only with kEnciphered

  // Set by the parser (and by SerializeHeader): length of fields 1-12 and offset of the block end,
  // where the archive begins.
  size_t headerLength = 0;
  size_t blockEnd = 0;

  bool enciphered() const { return (productFlags2 & kEnciphered) != 0; }
};

// Parses the header from the section's bytes, never reading past size. Also checks that the
// settings block lies within them. A header cut short gives the code of the field that could not
// be read; fields without a code of their own take the next one's: magic and version 20; flags and
// block size 22; block checksum, engine checksum and data size 45; item count 27; archive size 29;
// archive checksum and item sizes 28; cipher key and settings block 22 (the block does not fit).
// A version string without terminator is 20. The wrong version gives kVersionMismatch with
// engineVersion set to the stored text.
int ParseHeader(const uint8_t* section, size_t size, SetupHeader& out);

// Fields 1-12 as stored (itemCount is taken from itemSizes); sets headerLength and blockEnd.
Bytes SerializeHeader(SetupHeader& header);

// Builder: fills blockSize, archiveSize, itemCount, dataSize and the lengths, and returns the whole
// section (header, packed block, archive). The checksums must already be set.
Bytes ComposeSection(SetupHeader& header, const Bytes& packedBlock, const Bytes& archive);

// ---- Settings block ----

// Keys the cipher from the header when kEnciphered is set; otherwise leaves it without a key.
void KeyCipher(const SetupHeader& header, vk::Blowfish& cipher);

// Decipher (or XOR with the block checksum), then xz: 47 when it does not decode or would unpack
// to more than kMaxSettingsSize bytes.
int UnpackSettings(const SetupHeader& header, const vk::Blowfish& cipher, const uint8_t* block, size_t size,
                   Bytes& plain);

// Builder: the inverse. Sets header.blockChecksum to the checksum of plain (it is the XOR key
// without a cipher) and returns the packed block; false when compression fails or plain is larger
// than the engine unpacks.
bool PackSettings(SetupHeader& header, const vk::Blowfish& cipher, const Bytes& plain, Bytes& packed,
                  uint32_t xzPreset = 6);

// ---- Integrity and engine image ----

// The file's bytes in front of the section (0 .. raw pointer): 35 when they cannot be read.
int ReadFront(const ByteSource& file, const SectionLocation& loc, Bytes& front);

// Integrity mode 1: checksum of front from e_lfanew + 92 to its end (of nothing if shorter).
uint32_t EngineChecksum(const uint8_t* front, size_t size, uint32_t peOffset);

// The uninstaller's bytes. Without kBuildEngineImage the whole file. With it: front + the bytes
// after the section's raw data (42 when unreadable), with the section count, size of initialised
// data and size of image lowered, and the table entries after .setup moved up one slot (the freed
// last slot zeroed). Moved entries whose raw data lay behind the section get their raw pointers
// lowered by its raw size; entries without raw data (pointer 0) keep theirs. The header offsets
// are the same in PE32 and PE32+.
int BuildEngineImage(const ByteSource& file, const SectionLocation& loc, const Bytes& front, uint32_t productFlags2,
                     Bytes& image);

// ---- Archive ----

// Image mode: the archive is data size - block end bytes from the block end; 46 when that is not
// the archive size or the range is not inside the section.
int LocateImageArchive(const SetupHeader& header, size_t sectionSize, size_t& offset, size_t& length);
// 46 when available != archive size, 55 on a checksum mismatch.
int CheckArchive(const SetupHeader& header, const uint8_t* archive, size_t available);

}  // namespace setup
