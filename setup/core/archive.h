#pragma once
// The archive of the `.setup` section.
//
// Stored form: a sequence of chunks, each [i32 payload length > 0][u32 checksum of the payload as
// stored][payload]. A payload is the plain bytes, xz-compressed when the archive is compressed,
// then enciphered (with the length trailer) when the container is enciphered.
//
// Plain form: the payloads' plain bytes joined into one stream, which holds for every item
//   [u32 record length][fields 1-11][data: item-size bytes][u32 data checksum]
// The record length counts the fields, the data and its checksum; the item sizes come from the
// header, so the fields' length is the record length less item size and 4. Items may span chunks
// in any way.
//
// The reader keeps one item's fields and one piece of plain bytes in memory: a chunk's payload is
// decoded only as far as the items need it, and an item's data is handed to the caller's sink
// piece by piece, so neither a large item nor a chunk that expands enormously is ever held whole.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "lib/checksum.h"
#include "lib/cipher.h"
#include "lib/xz.h"
#include "setup/core/container.h"

namespace setup {

// Record fields (1-11) longer than this are taken as damage rather than buffered.
constexpr uint32_t kMaxRecordLength = 1u << 20;
// Plain bytes decoded from a chunk at a time.
constexpr size_t kPlainPiece = 65536;
constexpr int32_t kMsiPackageKind = 11;

struct ArchiveEntry {
  vk::String name;              // file name, not empty
  int32_t kind = 0;
  uint32_t flags = 0;           // bits 0 and 1 make textB present
  int32_t attributes = -1;      // -1: leave them
  int32_t time[6] = {};         // year, month, day, hour, minute, second (UTC)
  vk::String textA;
  vk::Streng textB;
  vk::String textC;
  vk::Streng destination;
  vk::String textD;
  int32_t msiUiLevel = 0;       // stored only for kind 11

  bool hasTextB() const { return (flags & 0x3) != 0; }
  bool timeSet() const { return time[1] != 0 && time[3] >= 0; }
};

// Record fields 1-11 (without the length prefix). false when a text holds a zero character.
bool EncodeEntryRecord(const ArchiveEntry& entry, Bytes& out);
// The record length stored in front of an item: its fields, its data and the data checksum.
// 0 when that does not fit the 32-bit length.
uint32_t RecordLength(size_t fieldsSize, int64_t dataSize);
// Bounded parse of exactly size bytes: 110 when a field runs past the record, a text has no
// terminator inside it, or bytes are left over; 70 for an empty name.
int DecodeEntryRecord(const uint8_t* record, size_t size, ArchiveEntry& entry);

// The container checksum over data that arrives in pieces of any length.
class RunningChecksum {
public:
  void add(const uint8_t* data, size_t size);
  uint32_t value() const;

private:
  vk::Checksum sum_;
  uint8_t carry_[4] = {};
  size_t carried_ = 0;
};

// Plain bytes not yet taken, with the taken front dropped as more arrive.
class ByteQueue {
public:
  size_t size() const { return bytes_.size() - head_; }
  const uint8_t* data() const { return bytes_.data() + head_; }
  void append(const uint8_t* data, size_t size);
  void consume(size_t n);

private:
  Bytes bytes_;
  size_t head_ = 0;
};

// Reads chunk after chunk from the stored archive through a ByteSource (the mapped section, or
// the installer file in file mode) and hands out the plain bytes of the current chunk in pieces,
// decoding only as many as are asked for.
class ChunkReader {
public:
  // cipher: null or without key means not enciphered.
  ChunkReader(const ByteSource& archive, const vk::Blowfish* cipher, bool compressed)
      : source_(&archive), size_(archive.size()), cipher_(cipher && cipher->hasKey() ? cipher : nullptr),
        compressed_(compressed) {}
  ChunkReader(const uint8_t* archive, size_t size, const vk::Blowfish* cipher, bool compressed)
      : owned_(std::make_unique<MemorySource>(archive, size)), source_(owned_.get()), size_(size),
        cipher_(cipher && cipher->hasKey() ? cipher : nullptr), compressed_(compressed) {}

  // Up to room plain bytes into out; produced 0 only at the end of the archive. Moves on to the
  // next chunk when the current one has given all it holds. 61, 63, 62, 60, kArchiveReadFailed,
  // or kOk.
  int read(uint8_t* out, size_t room, size_t& produced);
  // The same from the loaded chunk only: produced 0 once it has ended (or none is loaded).
  int readCurrent(uint8_t* out, size_t room, size_t& produced);
  uint64_t remaining() const { return size_ - pos_; }
  uint64_t position() const { return pos_; }

private:
  int load();

  std::unique_ptr<MemorySource> owned_;
  const ByteSource* source_;
  uint64_t size_;
  uint64_t pos_ = 0;
  const vk::Blowfish* cipher_;
  bool compressed_;
  Bytes work_;  // the current chunk's payload as stored, deciphered
  size_t taken_ = 0;
  bool loaded_ = false;
  vk::XzDecoder decoder_;
};

class ArchiveReader {
public:
  using Sink = std::function<void(const uint8_t* data, size_t size)>;

  ArchiveReader(const uint8_t* archive, size_t size, std::vector<int32_t> itemSizes, const vk::Blowfish* cipher,
                bool compressed)
      : chunks_(archive, size, cipher, compressed), sizes_(std::move(itemSizes)) {}
  ArchiveReader(const ByteSource& archive, std::vector<int32_t> itemSizes, const vk::Blowfish* cipher, bool compressed)
      : chunks_(archive, cipher, compressed), sizes_(std::move(itemSizes)) {}

  bool atEnd() const { return index_ == sizes_.size() && !inItem_; }
  size_t index() const { return index_; }

  // The next item's record; its data size in dataSize. 71, 72, 110, 70 or a chunk error.
  int nextEntry(ArchiveEntry& entry, int32_t& dataSize);
  // The current item's data, in pieces, then its checksum (100). sink may be empty to skip it.
  // 110 when the archive ends inside the data.
  int readData(const Sink& sink);
  // After the last item: 80 for archive bytes left, 83 for plain bytes left (or a chunk error
  // when the last chunk turns out damaged behind its last plain byte).
  int finish();

private:
  int fill(size_t need);

  ChunkReader chunks_;
  Bytes piece_;
  ByteQueue queue_;
  std::vector<int32_t> sizes_;
  size_t index_ = 0;
  bool inItem_ = false;
  int32_t dataSize_ = 0;
};

struct ArchiveWriterOptions {
  size_t chunkSize = size_t(4) << 20;   // plain bytes per chunk
  bool compress = true;
  uint32_t xzPreset = 6;
  vk::XzCheck check = vk::XzCheck::Crc64;
  const vk::Blowfish* cipher = nullptr;  // null or without key: not enciphered
};

class ArchiveWriter {
public:
  // Receives the stored archive in pieces (framed chunks); false aborts. Empty: kept in bytes().
  using Output = std::function<bool(const uint8_t* data, size_t size)>;

  explicit ArchiveWriter(ArchiveWriterOptions options, Output output = {});

  // An item is its record, exactly size data bytes in any number of write() calls, then endItem().
  bool beginItem(const ArchiveEntry& entry, int64_t size);
  bool write(const uint8_t* data, size_t size);
  bool endItem();
  bool addItem(const ArchiveEntry& entry, const uint8_t* data, size_t size);
  // Flushes the last chunk. The archive totals are final afterwards.
  bool finish();

  const Bytes& bytes() const { return collected_; }
  const std::vector<int32_t>& itemSizes() const { return sizes_; }
  uint32_t archiveChecksum() const { return total_.value(); }
  uint64_t archiveSize() const { return stored_; }

private:
  bool put(const uint8_t* data, size_t size);
  bool flush();

  ArchiveWriterOptions options_;
  Output output_;
  Bytes collected_;
  Bytes plain_;
  std::vector<int32_t> sizes_;
  RunningChecksum total_;
  RunningChecksum item_;
  uint64_t stored_ = 0;
  int64_t left_ = 0;
  bool inItem_ = false;
  bool failed_ = false;
};

}  // namespace setup
