#include "setup/core/archive.h"

#include <cstring>

#include "lib/bytes.h"

namespace setup {

namespace {

using vk::AppendLe32;
using vk::Le32;
using RecordCursor = vk::ByteCursor;

bool PutText8(Bytes& out, const vk::String& s) {
  if (s.find('\0') != vk::String::npos) return false;
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
  return true;
}

bool PutText16(Bytes& out, const vk::Streng& s) {
  for (char16_t c : s) {
    if (c == 0) return false;
    out.push_back(uint8_t(c));
    out.push_back(uint8_t(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return true;
}

}  // namespace

bool EncodeEntryRecord(const ArchiveEntry& e, Bytes& out) {
  out.clear();
  if (!PutText8(out, e.name)) return false;
  AppendLe32(out, uint32_t(e.kind));
  AppendLe32(out, e.flags);
  AppendLe32(out, uint32_t(e.attributes));
  for (int32_t t : e.time) AppendLe32(out, uint32_t(t));
  if (!PutText8(out, e.textA)) return false;
  if (e.hasTextB() && !PutText16(out, e.textB)) return false;
  if (!PutText8(out, e.textC) || !PutText16(out, e.destination) || !PutText8(out, e.textD)) return false;
  if (e.kind == kMsiPackageKind) AppendLe32(out, uint32_t(e.msiUiLevel));
  return out.size() <= kMaxRecordLength;
}

int DecodeEntryRecord(const uint8_t* record, size_t size, ArchiveEntry& e) {
  e = ArchiveEntry{};
  RecordCursor c{record, size};
  int32_t kind = 0;
  if (!c.text8(e.name) || !c.i32(kind) || !c.u32(e.flags) || !c.i32(e.attributes)) return kCorruptEntry;
  e.kind = kind;
  for (int32_t& t : e.time)
    if (!c.i32(t)) return kCorruptEntry;
  if (!c.text8(e.textA)) return kCorruptEntry;
  if (e.hasTextB() && !c.text16(e.textB)) return kCorruptEntry;
  if (!c.text8(e.textC) || !c.text16(e.destination) || !c.text8(e.textD)) return kCorruptEntry;
  if (e.kind == kMsiPackageKind && !c.i32(e.msiUiLevel)) return kCorruptEntry;
  // The builder writes exactly these fields; anything more means the record is not what it claims.
  if (c.pos != size) return kCorruptEntry;
  if (e.name.empty()) return kEmptyItemName;
  return kOk;
}

uint32_t RecordLength(size_t fieldsSize, int64_t dataSize) {
  const uint64_t length = uint64_t(fieldsSize) + uint64_t(dataSize) + 4;
  return dataSize < 0 || length > 0xFFFFFFFFu ? 0 : uint32_t(length);
}

void RunningChecksum::add(const uint8_t* data, size_t size) {
  if (carried_) {
    while (carried_ < 4 && size) {
      carry_[carried_++] = *data++;
      --size;
    }
    if (carried_ < 4) return;
    sum_.add(carry_, 4);
    carried_ = 0;
  }
  const size_t whole = size / 4 * 4;
  if (whole) sum_.add(data, whole);
  for (size_t i = whole; i < size; ++i) carry_[carried_++] = data[i];
}

uint32_t RunningChecksum::value() const {
  vk::Checksum c = sum_;
  c.add(carry_, carried_);
  return c.value();
}

void ByteQueue::append(const uint8_t* data, size_t size) {
  if (head_) {
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<ptrdiff_t>(head_));
    head_ = 0;
  }
  bytes_.insert(bytes_.end(), data, data + size);
}

void ByteQueue::consume(size_t n) {
  head_ += n < size() ? n : size();
  if (head_ == bytes_.size()) {
    bytes_.clear();
    head_ = 0;
  }
}

int ChunkReader::load() {
  const uint64_t left = size_ - pos_;
  // A partial chunk head cannot be a chunk.
  if (left < 8) return kChunkTooLong;
  uint8_t head[8];
  if (!source_->read(pos_, head, 8)) return kArchiveReadFailed;
  const int32_t length = static_cast<int32_t>(Le32(head));
  const uint32_t sum = Le32(head + 4);
  if (length <= 0) return kChunkLength;
  if (uint64_t(length) > left - 8) return kChunkTooLong;
  work_.resize(size_t(length));
  if (!source_->read(pos_ + 8, work_.data(), size_t(length))) return kArchiveReadFailed;
  if (vk::checksum(work_.data(), work_.size()) != sum) return kChunkChecksum;
  pos_ += 8 + uint64_t(length);

  if (cipher_) {
    cipher_->Decipher(work_);
    if (work_.empty()) return kChunkUndecodable;
  }
  taken_ = 0;
  decoder_.reset();
  loaded_ = true;
  return kOk;
}

int ChunkReader::readCurrent(uint8_t* out, size_t room, size_t& produced) {
  produced = 0;
  if (!loaded_) return kOk;
  if (!compressed_) {
    const size_t left = work_.size() - taken_;
    produced = left < room ? left : room;
    std::memcpy(out, work_.data() + taken_, produced);
    taken_ += produced;
    if (taken_ == work_.size()) loaded_ = false;
    return kOk;
  }
  // Decoder steps until some output comes or the chunk's streams end.
  while (produced == 0) {
    const uint8_t* in = work_.data() + taken_;
    size_t inLeft = work_.size() - taken_;
    const vk::XzDecoder::Status status = decoder_.step(in, inLeft, true, out, room, produced);
    taken_ = work_.size() - inLeft;
    if (status == vk::XzDecoder::Status::Error) return kChunkUndecodable;
    if (status == vk::XzDecoder::Status::End) {
      loaded_ = false;
      break;
    }
  }
  return kOk;
}

int ChunkReader::read(uint8_t* out, size_t room, size_t& produced) {
  produced = 0;
  while (produced == 0 && room != 0) {
    if (!loaded_) {
      if (pos_ == size_) return kOk;
      if (int err = load()) return err;
    }
    if (int err = readCurrent(out, room, produced)) return err;
  }
  return kOk;
}

int ArchiveReader::fill(size_t need) {
  if (piece_.empty()) piece_.resize(kPlainPiece);
  while (queue_.size() < need) {
    // No more than the record still lacks, so that the queue never holds much beyond it.
    const size_t lack = need - queue_.size();
    size_t got = 0;
    if (int err = chunks_.read(piece_.data(), lack < piece_.size() ? lack : piece_.size(), got)) return err;
    if (got == 0) return kCorruptEntry;  // the archive ends inside an item
    queue_.append(piece_.data(), got);
  }
  return kOk;
}

int ArchiveReader::nextEntry(ArchiveEntry& entry, int32_t& dataSize) {
  dataSize = 0;
  if (inItem_ || index_ >= sizes_.size()) return kCorruptEntry;
  const int32_t size = sizes_[index_];
  if (size < 0) return kItemSizeNegative;
  if (size > kMaxItemSize) return kItemSizeTooLarge;
  if (int err = fill(4)) return err;
  // The length covers the fields, the data and its checksum: what is left for the fields must be
  // a plausible record.
  const uint64_t length = Le32(queue_.data());
  if (length < uint64_t(size) + 4) return kCorruptEntry;
  const uint64_t fields = length - uint64_t(size) - 4;
  if (fields > kMaxRecordLength) return kCorruptEntry;
  if (int err = fill(4 + size_t(fields))) return err;
  const int err = DecodeEntryRecord(queue_.data() + 4, size_t(fields), entry);
  if (err) return err;
  queue_.consume(4 + size_t(fields));
  dataSize_ = dataSize = size;
  inItem_ = true;
  return kOk;
}

int ArchiveReader::readData(const Sink& sink) {
  if (!inItem_) return kCorruptEntry;
  if (piece_.empty()) piece_.resize(kPlainPiece);
  RunningChecksum sum;
  size_t left = size_t(dataSize_);
  const auto take = [&](const uint8_t* data, size_t n) {
    sum.add(data, n);
    if (sink) sink(data, n);
    left -= n;
  };
  // What the record's read left in the queue first, then straight from the chunks.
  if (queue_.size()) {
    const size_t n = queue_.size() < left ? queue_.size() : left;
    take(queue_.data(), n);
    queue_.consume(n);
  }
  while (left) {
    size_t got = 0;
    if (int err = chunks_.read(piece_.data(), left < piece_.size() ? left : piece_.size(), got)) return err;
    if (got == 0) return kCorruptEntry;
    take(piece_.data(), got);
  }
  if (int err = fill(4)) return err;
  const uint32_t stored = Le32(queue_.data());
  queue_.consume(4);
  inItem_ = false;
  ++index_;
  return stored == sum.value() ? kOk : kItemChecksum;
}

int ArchiveReader::finish() {
  if (inItem_ || index_ != sizes_.size()) return kCorruptEntry;
  if (chunks_.remaining()) return kArchiveLeftOver;
  if (queue_.size()) return kQueueLeftOver;
  // The last chunk must end where the last item does.
  uint8_t probe[16];
  size_t got = 0;
  if (int err = chunks_.readCurrent(probe, sizeof probe, got)) return err;
  return got ? kQueueLeftOver : kOk;
}

ArchiveWriter::ArchiveWriter(ArchiveWriterOptions options, Output output)
    : options_(options), output_(std::move(output)) {
  if (options_.chunkSize == 0) options_.chunkSize = 1;
  if (options_.cipher && !options_.cipher->hasKey()) options_.cipher = nullptr;
}

bool ArchiveWriter::put(const uint8_t* data, size_t size) {
  while (size && !failed_) {
    const size_t room = options_.chunkSize - plain_.size();
    const size_t piece = size < room ? size : room;
    plain_.insert(plain_.end(), data, data + piece);
    data += piece;
    size -= piece;
    if (plain_.size() == options_.chunkSize && !flush()) failed_ = true;
  }
  return !failed_;
}

bool ArchiveWriter::flush() {
  if (plain_.empty()) return true;
  Bytes payload;
  if (options_.compress) {
    if (!vk::XzEncode(plain_.data(), plain_.size(), payload, options_.xzPreset, options_.check)) return false;
  } else {
    payload.swap(plain_);
  }
  if (options_.cipher) payload = options_.cipher->Encipher(payload.data(), payload.size());
  plain_.clear();
  if (payload.empty() || payload.size() > 0x7FFFFFFFu) return false;
  if (stored_ + 8 + payload.size() > 0x7FFFFFFFu) return false;  // the archive size is an i32
  Bytes frame;
  AppendLe32(frame, uint32_t(payload.size()));
  AppendLe32(frame, vk::checksum(payload.data(), payload.size()));
  frame.insert(frame.end(), payload.begin(), payload.end());
  total_.add(frame.data(), frame.size());
  stored_ += frame.size();
  if (output_) return output_(frame.data(), frame.size());
  collected_.insert(collected_.end(), frame.begin(), frame.end());
  return true;
}

bool ArchiveWriter::beginItem(const ArchiveEntry& entry, int64_t size) {
  if (failed_ || inItem_ || size < 0 || size > kMaxItemSize) return false;
  Bytes record;
  if (entry.name.empty() || !EncodeEntryRecord(entry, record)) return false;
  const uint32_t length = RecordLength(record.size(), size);
  if (length == 0) return false;
  Bytes head;
  AppendLe32(head, length);
  if (!put(head.data(), head.size()) || !put(record.data(), record.size())) return false;
  sizes_.push_back(static_cast<int32_t>(size));
  item_ = RunningChecksum();
  left_ = size;
  inItem_ = true;
  return true;
}

bool ArchiveWriter::write(const uint8_t* data, size_t size) {
  if (!inItem_ || int64_t(size) > left_) return failed_ = true, false;
  item_.add(data, size);
  left_ -= int64_t(size);
  return put(data, size);
}

bool ArchiveWriter::endItem() {
  if (!inItem_ || left_ != 0) return failed_ = true, false;
  inItem_ = false;
  Bytes tail;
  AppendLe32(tail, item_.value());
  return put(tail.data(), tail.size());
}

bool ArchiveWriter::addItem(const ArchiveEntry& entry, const uint8_t* data, size_t size) {
  return beginItem(entry, int64_t(size)) && write(data, size) && endItem();
}

bool ArchiveWriter::finish() {
  if (failed_ || inItem_) return false;
  if (!flush()) failed_ = true;
  return !failed_;
}

}  // namespace setup
