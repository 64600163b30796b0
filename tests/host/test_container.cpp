#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "lib/checksum.h"
#include "lib/xz.h"
#include "setup/core/archive.h"
#include "setup/core/container.h"
#include "tests/common/hand_archive.h"

namespace {

using namespace setup;

Bytes Noise(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& x : b) x = uint8_t(rng());
  return b;
}

uint32_t GetU32(const Bytes& b, size_t off) {
  return uint32_t(b[off]) | uint32_t(b[off + 1]) << 8 | uint32_t(b[off + 2]) << 16 | uint32_t(b[off + 3]) << 24;
}
uint16_t GetU16(const Bytes& b, size_t off) { return uint16_t(b[off] | b[off + 1] << 8); }
void SetU32(Bytes& b, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[off + i] = uint8_t(v >> (8 * i));
}
void SetU16(Bytes& b, size_t off, uint16_t v) {
  b[off] = uint8_t(v);
  b[off + 1] = uint8_t(v >> 8);
}

// ---- A minimal PE image in memory ----

struct PeSection {
  std::string name;  // up to 8 bytes, may hold zeros
  Bytes data;
  bool noRawData = false;  // like .bss: raw pointer 0, raw size 0
};

struct Pe {
  Bytes file;
  uint32_t peOffset = 0x80;
  uint32_t tableOffset = 0;
  std::vector<uint32_t> rawPointers, rawSizes;
};

constexpr uint32_t kFileAlign = 0x200;
uint32_t Align(size_t n) { return uint32_t((n + kFileAlign - 1) / kFileAlign * kFileAlign); }

// DOS header with e_lfanew, PE signature, file header, an optional header (PE32 or PE32+ by its
// size) and the section table; raw data in table order, then an optional overlay.
Pe BuildPe(const std::vector<PeSection>& sections, bool pe64 = false, const Bytes& overlay = {}) {
  Pe pe;
  const uint16_t optSize = pe64 ? 0xF0 : 0xE0;
  pe.tableOffset = pe.peOffset + 24 + optSize;
  const uint32_t headers = Align(pe.tableOffset + sections.size() * 40);
  pe.file.assign(headers, 0);
  Bytes& f = pe.file;
  f[0] = 'M', f[1] = 'Z';
  SetU32(f, 0x3C, pe.peOffset);
  std::memcpy(&f[pe.peOffset], "PE\0\0", 4);
  SetU16(f, pe.peOffset + 4, pe64 ? 0x8664 : 0x14C);
  SetU16(f, pe.peOffset + 6, uint16_t(sections.size()));
  SetU16(f, pe.peOffset + 20, optSize);
  SetU16(f, pe.peOffset + 24, pe64 ? 0x20B : 0x10B);
  uint32_t initialised = 0;
  for (size_t i = 0; i < sections.size(); ++i) {
    const auto& s = sections[i];
    const size_t entry = pe.tableOffset + i * 40;
    std::memcpy(&f[entry], s.name.data(), std::min<size_t>(8, s.name.size()));
    SetU32(f, entry + 8, uint32_t(s.data.size()));
    SetU32(f, entry + 12, 0x1000 * uint32_t(i + 1));
    uint32_t pointer = 0, size = 0;
    if (!s.noRawData) {
      pointer = uint32_t(f.size());
      size = Align(s.data.size());
      f.resize(f.size() + size, 0);
      std::copy(s.data.begin(), s.data.end(), f.begin() + pointer);
    }
    SetU32(f, entry + 16, size);
    SetU32(f, entry + 20, pointer);
    pe.rawPointers.push_back(pointer);
    pe.rawSizes.push_back(size);
    initialised += size;
  }
  SetU32(f, pe.peOffset + 32, initialised);
  SetU32(f, pe.peOffset + 80, 0x1000 * uint32_t(sections.size() + 1));
  f.insert(f.end(), overlay.begin(), overlay.end());
  return pe;
}

// ---- A whole installer, built with the builder-side functions ----

struct Item {
  ArchiveEntry entry;
  Bytes data;
};

std::vector<Item> SampleItems() {
  std::vector<Item> items(3);
  items[0].entry.name = "readme.txt";
  items[0].data = {'h', 'e', 'l', 'l', 'o'};
  items[1].entry.name = "app.exe";
  items[1].entry.kind = 9;
  items[1].entry.flags = 0x3 | 0x20;
  items[1].entry.attributes = 0x20;
  const int32_t time[6] = {2024, 2, 29, 23, 59, 58};
  std::copy(time, time + 6, items[1].entry.time);
  items[1].entry.textA = "1.2.3.4";
  items[1].entry.textB = u"%InstallDir%\\app.ico";
  items[1].entry.textC = "/start";
  items[1].entry.destination = u"%InstallDir%\\bin\\app.exe";
  items[1].entry.textD = "|C:\\Caf\xC3\xA9";
  items[1].data = Noise(3000, 11);
  items[2].entry.name = "setup.msi";
  items[2].entry.kind = kMsiPackageKind;
  items[2].entry.msiUiLevel = 5;
  return items;  // the last item has no data
}

const Bytes kSettings = [] {
  Bytes b(5000);
  for (size_t i = 0; i < b.size(); ++i) b[i] = uint8_t("settings "[i % 9]);
  return b;
}();

constexpr uint8_t kKey[8] = {0x13, 0x37, 0xC0, 0xDE, 0x42, 0x00, 0xFF, 0x7E};

// Header field offsets with the version "42.0".
constexpr size_t kOffBlockSize = 13, kOffBlockSum = 17, kOffEngineSum = 21, kOffDataSize = 25, kOffItemCount = 29,
                 kOffArchiveSize = 33, kOffItemSizes = 41;

// The first chunk's payload changed, its framing mended.
void Reframe(Bytes& archive, const std::function<void(Bytes&)>& change) {
  const uint32_t length = GetU32(archive, 0);
  Bytes payload(archive.begin() + 8, archive.begin() + 8 + length);
  change(payload);
  Bytes out(8);
  SetU32(out, 0, uint32_t(payload.size()));
  SetU32(out, 4, vk::checksum(payload.data(), payload.size()));
  out.insert(out.end(), payload.begin(), payload.end());
  out.insert(out.end(), archive.begin() + 8 + length, archive.end());
  archive = out;
}

// The first entry record of a plain stream (its data dataSize bytes), changed and re-encoded.
void ChangeFirstRecord(Bytes& plain, size_t dataSize, const std::function<void(ArchiveEntry&)>& change) {
  const uint32_t fields = GetU32(plain, 0) - uint32_t(dataSize) - 4;
  ArchiveEntry e;
  ASSERT_EQ(DecodeEntryRecord(plain.data() + 4, fields, e), kOk);
  change(e);
  Bytes record;
  ASSERT_TRUE(EncodeEntryRecord(e, record));
  Bytes out(4);
  SetU32(out, 0, RecordLength(record.size(), int64_t(dataSize)));
  out.insert(out.end(), record.begin(), record.end());
  out.insert(out.end(), plain.begin() + 4 + fields, plain.end());
  plain = out;
}

struct Fixture {
  bool cipher = false;
  bool compress = true;
  size_t chunkSize = 1 << 16;
  std::string version = kEngineVersion;
  std::vector<Item> items = SampleItems();
  std::function<void(Bytes&)> mendBlock, mendPlain, mendArchive;
  std::function<void(Bytes& file, const Pe& pe, size_t section)> mendFile;
};

Bytes BuildInstaller(const Fixture& fx, Pe* peOut = nullptr) {
  SetupHeader h;
  h.engineVersion = fx.version;
  h.productFlags2 = kBuildEngineImage | (fx.cipher ? uint32_t(kEnciphered) : 0u);
  std::copy(kKey, kKey + 8, h.cipherKey.begin());
  vk::Blowfish bf;
  KeyCipher(h, bf);
  Bytes block;
  EXPECT_TRUE(PackSettings(h, bf, kSettings, block));
  if (fx.mendBlock) fx.mendBlock(block);

  ArchiveWriterOptions options;
  options.chunkSize = fx.mendPlain ? size_t(1) << 30 : fx.chunkSize;  // one chunk to mend
  options.compress = fx.compress && !fx.mendPlain;
  options.cipher = fx.mendPlain ? nullptr : &bf;
  ArchiveWriter writer(options);
  for (const auto& item : fx.items) EXPECT_TRUE(writer.addItem(item.entry, item.data.data(), item.data.size()));
  EXPECT_TRUE(writer.finish());
  Bytes archive = writer.bytes();
  if (fx.mendPlain) Reframe(archive, fx.mendPlain);
  if (fx.mendArchive) fx.mendArchive(archive);
  h.itemSizes = writer.itemSizes();
  h.archiveChecksum = vk::checksum(archive.data(), archive.size());
  const Bytes section = ComposeSection(h, block, archive);

  Pe pe = BuildPe({{".text", Noise(700, 1)}, {".data", Noise(100, 2)}, {".setup", section}, {".rsrc", Noise(300, 3)},
                   {".reloc", Noise(64, 4)}});
  const size_t at = pe.rawPointers[2];
  SetU32(pe.file, at + kOffEngineSum + fx.version.size() - 4, EngineChecksum(pe.file.data(), at, pe.peOffset));
  if (fx.mendFile) fx.mendFile(pe.file, pe, at);
  if (peOut) *peOut = pe;
  return pe.file;
}

struct Outcome {
  int code = kOk;
  Bytes settings;
  std::vector<Item> items;
  size_t largestPiece = 0, pieces = 0;
};

// What the engine does with its own file: find, check, unpack, verify, and read every item.
Outcome Open(const Bytes& file, bool compressed = true, const std::vector<int32_t>* sizes = nullptr) {
  Outcome o;
  MemorySource src(file);
  SectionLocation loc;
  if ((o.code = FindSetupSection(src, loc))) return o;
  const uint8_t* section = file.data() + loc.rawPointer;
  const size_t sectionSize = std::min<uint64_t>(loc.rawSize, file.size() - loc.rawPointer);
  SetupHeader h;
  if ((o.code = ParseHeader(section, sectionSize, h))) return o;
  vk::Blowfish bf;
  KeyCipher(h, bf);
  if ((o.code = UnpackSettings(h, bf, section + h.headerLength, size_t(h.blockSize), o.settings))) return o;
  if (vk::checksum(o.settings.data(), o.settings.size()) != h.blockChecksum) return o.code = kSettingsChecksum, o;
  Bytes front;
  if ((o.code = ReadFront(src, loc, front))) return o;
  if (EngineChecksum(front.data(), front.size(), loc.peOffset) != h.engineChecksum)
    return o.code = kEngineChecksumMismatch, o;
  size_t offset = 0, length = 0;
  if ((o.code = LocateImageArchive(h, sectionSize, offset, length))) return o;
  if ((o.code = CheckArchive(h, section + offset, length))) return o;
  ArchiveReader reader(section + offset, length, sizes ? *sizes : h.itemSizes, &bf, compressed);
  while (!reader.atEnd()) {
    Item item;
    int32_t size = 0;
    if ((o.code = reader.nextEntry(item.entry, size))) return o;
    o.code = reader.readData([&](const uint8_t* p, size_t n) {
      item.data.insert(item.data.end(), p, p + n);
      o.largestPiece = std::max(o.largestPiece, n);
      ++o.pieces;
    });
    if (o.code) return o;
    EXPECT_EQ(item.data.size(), size_t(size));
    o.items.push_back(std::move(item));
  }
  o.code = reader.finish();
  return o;
}

void ExpectSameEntry(const ArchiveEntry& a, const ArchiveEntry& b) {
  EXPECT_EQ(a.name, b.name);
  EXPECT_EQ(a.kind, b.kind);
  EXPECT_EQ(a.flags, b.flags);
  EXPECT_EQ(a.attributes, b.attributes);
  EXPECT_TRUE(std::equal(a.time, a.time + 6, b.time));
  EXPECT_EQ(a.textA, b.textA);
  EXPECT_TRUE(a.textB == b.textB);
  EXPECT_EQ(a.textC, b.textC);
  EXPECT_TRUE(a.destination == b.destination);
  EXPECT_EQ(a.textD, b.textD);
  EXPECT_EQ(a.msiUiLevel, b.msiUiLevel);
}

// ---- Tests ----

TEST(Container, RoundTripWithAndWithoutCipherAndCompression) {
  Item big;
  big.entry.name = "big.bin";
  big.data = Noise(50000, 99);  // many times the chunk size
  for (bool cipher : {false, true})
    for (bool compress : {false, true}) {
      Fixture fx;
      fx.cipher = cipher;
      fx.compress = compress;
      fx.chunkSize = 4096;
      fx.items.insert(fx.items.begin() + 1, big);
      const Outcome o = Open(BuildInstaller(fx), compress);
      SCOPED_TRACE(testing::Message() << "cipher " << cipher << " compress " << compress);
      ASSERT_EQ(o.code, kOk);
      EXPECT_EQ(o.settings, kSettings);
      ASSERT_EQ(o.items.size(), fx.items.size());
      for (size_t i = 0; i < o.items.size(); ++i) {
        ExpectSameEntry(o.items[i].entry, fx.items[i].entry);
        EXPECT_EQ(o.items[i].data, fx.items[i].data) << i;
      }
      // Handed out as the chunks arrive, never as one whole item.
      EXPECT_LE(o.largestPiece, 4096u);
      EXPECT_GT(o.pieces, 50000u / 4096);
    }
}

TEST(Container, DamagedContainersGiveTheirErrorCode) {
  using File = std::function<void(Bytes&, const Pe&, size_t)>;
  auto file = [](File f) { return [f](Fixture& fx) { fx.mendFile = f; }; };
  auto headerU32 = [&](size_t off, uint32_t v) {
    return file([=](Bytes& b, const Pe&, size_t at) { SetU32(b, at + off, v); });
  };
  auto plain = [](std::function<void(Bytes&)> f) { return [f](Fixture& fx) { fx.mendPlain = f; }; };
  auto archive = [](std::function<void(Bytes&)> f) { return [f](Fixture& fx) { fx.mendArchive = f; }; };
  const size_t firstRecord = [] {
    Bytes r;
    EncodeEntryRecord(SampleItems()[0].entry, r);
    return r.size();
  }();

  struct Row {
    const char* name;
    int code;
    std::function<void(Fixture&)> setup;
    bool compressedRead = true;
    std::vector<int32_t> sizes = {};
  };
  const std::vector<Row> rows = {
      {"intact", kOk, [](Fixture&) {}},
      {"version 42.0.0 is 42.0", kOk, [](Fixture& fx) { fx.version = "42.0.0"; }},
      {"e_lfanew 63", 43, file([](Bytes& b, const Pe&, size_t) { SetU16(b, 0x3C, 63); })},
      {"e_lfanew 4097", 43, file([](Bytes& b, const Pe&, size_t) { SetU16(b, 0x3C, 4097); })},
      {"e_lfanew unreadable", 43, file([](Bytes& b, const Pe&, size_t) { b.resize(0x3D); })},
      {"3 sections", 44, file([](Bytes& b, const Pe& pe, size_t) { SetU16(b, pe.peOffset + 6, 3); })},
      {"100 sections", 44, file([](Bytes& b, const Pe& pe, size_t) { SetU16(b, pe.peOffset + 6, 100); })},
      {"raw pointer 0", 9, file([](Bytes& b, const Pe& pe, size_t) { SetU32(b, pe.tableOffset + 2 * 40 + 20, 0); })},
      {"raw pointer beyond the file", 10,
       file([](Bytes& b, const Pe& pe, size_t) { SetU32(b, pe.tableOffset + 2 * 40 + 20, uint32_t(b.size() + 1)); })},
      {"no .setup", kNoSetupSection, file([](Bytes& b, const Pe& pe, size_t) { b[pe.tableOffset + 2 * 40 + 1] = 'S'; })},
      {"magic", 20, headerU32(0, kSetupMagic + 1)},
      {"version 42.1", kVersionMismatch, [](Fixture& fx) { fx.version = "42.1"; }},
      {"block size 0", 22, headerU32(kOffBlockSize, 0)},
      {"block size 0x3200000", 22, headerU32(kOffBlockSize, 0x3200000)},
      {"block size beyond the section", 22, headerU32(kOffBlockSize, 0x3100000)},
      {"item count -1", 27, headerU32(kOffItemCount, 0xFFFFFFFF)},
      {"item size -1", 28, headerU32(kOffItemSizes, 0xFFFFFFFF)},
      {"item size 0x40000001", 28, headerU32(kOffItemSizes + 4, 0x40000001)},
      {"item count past the section", 28, headerU32(kOffItemCount, 0x10000000)},
      {"archive size -1", 29, headerU32(kOffArchiveSize, 0xFFFFFFFF)},
      {"data size -1", 45, headerU32(kOffDataSize, 0xFFFFFFFF)},
      {"data size one short", 46,
       file([](Bytes& b, const Pe&, size_t at) { SetU32(b, at + kOffDataSize, GetU32(b, at + kOffDataSize) - 1); })},
      {"data size past the section", 46, headerU32(kOffDataSize, 0x7FFFFFFF)},
      {"enciphered block not a multiple of 8", 47,
       [](Fixture& fx) {
         fx.cipher = true;
         fx.mendBlock = [](Bytes& b) { b.pop_back(); };
       }},
      {"scrambled block damaged", 47, [](Fixture& fx) { fx.mendBlock = [](Bytes& b) { b[b.size() / 2] ^= 1; }; }},
      {"block checksum", 25,
       [](Fixture& fx) {
         fx.cipher = true;
         fx.mendFile = [](Bytes& b, const Pe&, size_t at) { SetU32(b, at + kOffBlockSum, GetU32(b, at + kOffBlockSum) + 1); };
       }},
      {"engine checksum", 40, file([](Bytes& b, const Pe& pe, size_t) { b[pe.rawPointers[0] + 5] ^= 1; })},
      {"archive checksum", 55,
       file([](Bytes& b, const Pe&, size_t at) { b[at + GetU32(b, at + kOffDataSize) - 1] ^= 0x01; })},
      {"chunk not xz", 60, [](Fixture& fx) { fx.compress = false; }},
      {"chunk does not decipher", 60,
       [](Fixture& fx) {
         fx.cipher = true;
         fx.mendArchive = [](Bytes& a) { Reframe(a, [](Bytes& p) { p.pop_back(); }); };
       }},
      {"chunk length 0", 61, archive([](Bytes& a) { SetU32(a, 0, 0); })},
      {"chunk length negative", 61, archive([](Bytes& a) { SetU32(a, 0, 0xFFFFFFFB); })},
      {"chunk checksum", 62, archive([](Bytes& a) { a[9] ^= 0x10; })},
      {"chunk longer than the archive", 63, archive([](Bytes& a) { SetU32(a, 0, uint32_t(a.size() - 7)); })},
      {"archive ends in a chunk head", 63,
       [](Fixture& fx) {
         fx.mendPlain = [](Bytes& p) { p.resize(p.size() - 4); };  // last checksum missing
         fx.mendArchive = [](Bytes& a) { a.insert(a.end(), {1, 2, 3}); };
       }},
      {"empty name", 70, plain([](Bytes& p) { ChangeFirstRecord(p, 5, [](ArchiveEntry& e) { e.name.clear(); }); })},
      {"item size negative", 71, [](Fixture&) {}, true, {5, -1, 0}},
      {"item size above 1 GiB", 72, [](Fixture&) {}, true, {5, 0x40000001, 0}},
      {"chunk after the last item", 80,
       archive([](Bytes& a) {
         Bytes extra(a.begin(), a.begin() + 8 + GetU32(a, 0));
         a.insert(a.end(), extra.begin(), extra.end());
       })},
      {"plain bytes after the last item", 83, plain([](Bytes& p) { p.insert(p.end(), {7, 7, 7}); })},
      {"item data", 100, plain([=](Bytes& p) { p[4 + firstRecord] ^= 0x20; })},
      {"record length one too long", 110, plain([](Bytes& p) { SetU32(p, 0, GetU32(p, 0) + 1); })},
      {"record length one too short", 110, plain([](Bytes& p) { SetU32(p, 0, GetU32(p, 0) - 1); })},
      {"record length huge", 110, plain([](Bytes& p) { SetU32(p, 0, 0x7FFFFFFF); })},
      {"record length without the data", 110, plain([=](Bytes& p) { SetU32(p, 0, uint32_t(firstRecord)); })},
      {"record length shorter than data and checksum", 110, plain([](Bytes& p) { SetU32(p, 0, 8); })},
      {"archive ends inside an item", 110, plain([](Bytes& p) { p.resize(p.size() - 1000); })},
      {"name without terminator", 110,
       plain([](Bytes& p) {
         SetU32(p, 0, 5 + 5 + 4);  // five bytes of fields before the item's five bytes of data
         p.resize(9);
         std::memcpy(&p[4], "abcde", 5);
       })},
  };
  for (const auto& row : rows) {
    Fixture fx;
    row.setup(fx);
    const Bytes installer = BuildInstaller(fx);
    const Outcome o = Open(installer, row.compressedRead && !fx.mendPlain, row.sizes.empty() ? nullptr : &row.sizes);
    EXPECT_EQ(o.code, row.code) << row.name;
  }
}

TEST(Container, ArchiveChecksumCoversEveryArchiveByte) {
  Pe pe;
  const Bytes intact = BuildInstaller(Fixture{}, &pe);
  MemorySource src(intact);
  SectionLocation loc;
  ASSERT_EQ(FindSetupSection(src, loc), kOk);
  SetupHeader h;
  ASSERT_EQ(ParseHeader(intact.data() + loc.rawPointer, loc.rawSize, h), kOk);
  for (size_t at : {h.blockEnd, h.blockEnd + size_t(h.archiveSize) / 2, size_t(h.dataSize) - 1}) {
    Bytes damaged = intact;
    damaged[loc.rawPointer + at] ^= 0x01;
    EXPECT_EQ(Open(damaged).code, kArchiveChecksum) << at;
  }
}

TEST(Container, BoundsAreInclusive) {
  // A block of exactly the largest size, in a section big enough to hold it.
  SetupHeader h;
  h.blockSize = kMaxBlockSize;
  h.itemSizes = {kMaxItemSize, 0};
  Bytes section = SerializeHeader(h);
  section.resize(section.size() + size_t(kMaxBlockSize));
  SetupHeader parsed;
  EXPECT_EQ(ParseHeader(section.data(), section.size(), parsed), kOk);
  EXPECT_EQ(parsed.itemSizes, h.itemSizes);
  EXPECT_EQ(parsed.blockEnd, section.size());
  // One block byte missing from the section.
  EXPECT_EQ(ParseHeader(section.data(), section.size() - 1, parsed), kBadBlockSize);
}

TEST(Container, HeaderCutShortGivesTheCodeOfTheUnreadField) {
  SetupHeader h;
  h.productFlags2 = kEnciphered;
  h.blockSize = 3;
  h.itemSizes = {1, 2};
  Bytes whole = SerializeHeader(h);
  whole.insert(whole.end(), {0xAA, 0xBB, 0xCC});
  auto expected = [](size_t n) {
    if (n < 9) return 20;         // magic, version
    if (n < 17) return 22;        // flags, block size
    if (n < 29) return 45;        // checksums, data size
    if (n < 33) return 27;        // item count
    if (n < 37) return 29;        // archive size
    if (n < 41 + 8) return 28;    // archive checksum, item sizes
    if (n < 41 + 8 + 8 + 3) return 22;  // key, block
    return 0;
  };
  for (size_t n = 0; n <= whole.size(); ++n) {
    Bytes exact(whole.begin(), whole.begin() + n);  // nothing readable past n
    SetupHeader parsed;
    EXPECT_EQ(ParseHeader(exact.data(), exact.size(), parsed), expected(n)) << "length " << n;
  }
}

TEST(Container, SectionNameMustMatchWhole) {
  struct Row {
    const char* name;
    std::vector<std::string> names;
    int code;
    uint32_t index;
  };
  const std::vector<Row> rows = {
      {"last entry", {".text", ".data", ".rsrc", ".reloc", ".setup"}, kOk, 4},
      {"first entry", {".setup", ".text", ".data", ".rsrc"}, kOk, 0},
      {"longer name", {".text", ".setupX", ".data", ".rsrc"}, kNoSetupSection, 0},
      {"zero then bytes", {".text", std::string(".setup\0X", 8), ".data", ".rsrc"}, kOk, 1},
      {"shorter name", {".text", ".setu", ".data", ".rsrc"}, kNoSetupSection, 0},
      {"other case", {".text", ".SETUP", ".data", ".rsrc"}, kNoSetupSection, 0},
      {"longer first, then exact", {".setup1", ".text", ".data", ".setup"}, kOk, 3},
  };
  for (const auto& row : rows) {
    std::vector<PeSection> sections;
    for (const auto& n : row.names) sections.push_back({n, Noise(10, 1)});
    const Pe pe = BuildPe(sections);
    MemorySource src(pe.file);
    SectionLocation loc;
    EXPECT_EQ(FindSetupSection(src, loc), row.code) << row.name;
    if (row.code == kOk) {
      EXPECT_EQ(loc.index, row.index) << row.name;
      EXPECT_EQ(loc.rawPointer, pe.rawPointers[row.index]) << row.name;
      EXPECT_EQ(loc.rawSize, pe.rawSizes[row.index]) << row.name;
      EXPECT_EQ(loc.virtualAddress, 0x1000u * (row.index + 1)) << row.name;
    }
  }
}

TEST(EngineImage, SectionInTheMiddleIsCutOutAndTheHeadersMended) {
  for (bool pe64 : {false, true}) {
    SCOPED_TRACE(pe64 ? "PE32+" : "PE32");
    const Bytes setupData = Noise(1500, 5);
    const Pe pe = BuildPe({{".text", Noise(700, 1)},
                           {".setup", setupData},
                           {".rsrc", Noise(300, 3)},
                           {".bss", {}, true},
                           {".reloc", Noise(64, 4)}},
                          pe64, Noise(33, 6));
    MemorySource src(pe.file);
    SectionLocation loc;
    ASSERT_EQ(FindSetupSection(src, loc), kOk);
    Bytes front, image;
    ASSERT_EQ(ReadFront(src, loc, front), kOk);
    ASSERT_EQ(BuildEngineImage(src, loc, front, kBuildEngineImage, image), kOk);

    const uint32_t cut = pe.rawSizes[1];
    ASSERT_EQ(image.size(), pe.file.size() - cut);
    const Bytes& f = pe.file;
    EXPECT_EQ(GetU16(image, pe.peOffset + 6), 4);
    EXPECT_EQ(GetU32(image, pe.peOffset + 32), GetU32(f, pe.peOffset + 32) - cut);
    EXPECT_EQ(GetU32(image, pe.peOffset + 80), GetU32(f, pe.peOffset + 80) - cut);
    // Entry 0 stays; 2..4 move up one slot, keeping their names and data; the freed slot is empty.
    auto entry = [&](const Bytes& b, size_t i) { return Bytes(b.begin() + pe.tableOffset + i * 40, b.begin() + pe.tableOffset + i * 40 + 40); };
    EXPECT_EQ(entry(image, 0), entry(f, 0));
    for (size_t i = 2; i < 5; ++i) {
      const Bytes moved = entry(image, i - 1);
      EXPECT_EQ(0, std::memcmp(moved.data(), &f[pe.tableOffset + i * 40], 20)) << i;
      const uint32_t oldPointer = pe.rawPointers[i];
      const uint32_t newPointer = GetU32(moved, 20);
      if (oldPointer == 0) {
        EXPECT_EQ(newPointer, 0u) << "section without raw data";
        continue;
      }
      EXPECT_EQ(newPointer, oldPointer - cut) << i;
      EXPECT_EQ(0, std::memcmp(&image[newPointer], &f[oldPointer], pe.rawSizes[i])) << i;
    }
    EXPECT_EQ(entry(image, 4), Bytes(40, 0));
    // Everything in front of the section and the overlay after the sections are kept.
    EXPECT_EQ(0, std::memcmp(&image[pe.rawPointers[0]], &f[pe.rawPointers[0]], pe.rawSizes[0]));
    EXPECT_EQ(0, std::memcmp(&image[image.size() - 33], &f[f.size() - 33], 33));
    // And the result has no .setup any more.
    MemorySource again(image);
    SectionLocation none;
    EXPECT_EQ(FindSetupSection(again, none), kNoSetupSection);
  }
}

TEST(EngineImage, LastSectionAndFlagClear) {
  const Bytes overlay = Noise(48, 8);
  const Pe pe = BuildPe({{".text", Noise(700, 1)}, {".data", Noise(90, 2)}, {".rsrc", Noise(300, 3)},
                         {".setup", Noise(900, 4)}},
                        false, overlay);
  MemorySource src(pe.file);
  SectionLocation loc;
  ASSERT_EQ(FindSetupSection(src, loc), kOk);
  Bytes front, image;
  ASSERT_EQ(ReadFront(src, loc, front), kOk);
  ASSERT_EQ(BuildEngineImage(src, loc, front, kBuildEngineImage, image), kOk);
  // No entry moves: the copy is the bytes up to the raw pointer, then what follows the section.
  Bytes expected = front;
  expected.insert(expected.end(), overlay.begin(), overlay.end());
  for (size_t i = 0; i < 3; ++i) SetU32(expected, pe.tableOffset + i * 40 + 20, pe.rawPointers[i]);
  SetU16(expected, pe.peOffset + 6, 3);
  SetU32(expected, pe.peOffset + 32, GetU32(front, pe.peOffset + 32) - loc.rawSize);
  SetU32(expected, pe.peOffset + 80, GetU32(front, pe.peOffset + 80) - loc.rawSize);
  std::fill(expected.begin() + pe.tableOffset + 3 * 40, expected.begin() + pe.tableOffset + 4 * 40, 0);
  EXPECT_EQ(image, expected);

  ASSERT_EQ(BuildEngineImage(src, loc, front, 0, image), kOk);
  EXPECT_EQ(image, pe.file);

  // The file ends inside the section's raw data.
  Bytes cut(pe.file.begin(), pe.file.end() - overlay.size() - 1);
  MemorySource short_(cut);
  EXPECT_EQ(BuildEngineImage(short_, loc, front, kBuildEngineImage, image), kTailUnreadable);
}

TEST(EngineChecksum, CoversTheFrontFromPeOffsetPlus92) {
  const Pe pe = BuildPe({{".text", Noise(700, 1)}, {".data", Noise(90, 2)}, {".rsrc", Noise(30, 3)},
                         {".setup", Noise(10, 4)}});
  const size_t end = pe.rawPointers[3];
  const uint32_t base = EngineChecksum(pe.file.data(), end, pe.peOffset);
  EXPECT_EQ(base, vk::checksum(pe.file.data() + pe.peOffset + 92, end - pe.peOffset - 92));
  struct Row {
    size_t at;
    bool counts;
  };
  // Section count, size of image and the PE checksum field lie in front of the covered range.
  for (Row r : {Row{pe.peOffset + 6, false}, Row{pe.peOffset + 80, false}, Row{pe.peOffset + 88, false},
                Row{pe.peOffset + 92, true}, Row{pe.tableOffset + 3 * 40 + 16, true}, Row{end - 1, true}}) {
    Bytes b = pe.file;
    b[r.at] ^= 0x5A;
    EXPECT_EQ(EngineChecksum(b.data(), end, pe.peOffset) != base, r.counts) << r.at;
  }
  EXPECT_EQ(EngineChecksum(pe.file.data(), 50, pe.peOffset), vk::kChecksumStart);
}

TEST(Versions, DottedNumericComparison) {
  struct Row {
    const char *a, *b;
    int expected;
  };
  const Row rows[] = {
      {"42.0", "42.0", 0},    {"42", "42.0", 0},     {"42.0.0", "42.0", 0}, {"042.00", "42", 0},
      {"42.1", "42.0", 1},    {"41.9", "42.0", -1},  {"42.10", "42.9", 1},  {"100", "99.99", 1},
      {"", "0", 0},           {"42.0a", "42.0", 1},  {"x", "x", 0},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(CompareVersions(r.a, r.b), r.expected) << r.a << " vs " << r.b;
    EXPECT_EQ(CompareVersions(r.b, r.a), -r.expected) << r.b << " vs " << r.a;
  }
}

// Reads every item of a plain, unenciphered archive: the names and data, or the first error.
struct Read {
  int code = kOk;
  std::vector<std::pair<std::string, std::string>> items;
};

Read ReadArchive(const Bytes& archive, const std::vector<int32_t>& sizes, bool compressed) {
  Read r;
  ArchiveReader reader(archive.data(), archive.size(), sizes, nullptr, compressed);
  while (!reader.atEnd()) {
    ArchiveEntry e;
    int32_t size = 0;
    if ((r.code = reader.nextEntry(e, size))) return r;
    std::string data;
    if ((r.code = reader.readData([&](const uint8_t* p, size_t n) { data.append(p, p + n); }))) return r;
    r.items.emplace_back(e.name, data);
  }
  r.code = reader.finish();
  return r;
}

TEST(Archive, RecordsFramedByAnotherWriterAreRead) {
  struct Row {
    const char* name;
    std::vector<hand::Item> items;
    int code;
  };
  const std::vector<Row> rows = {
      {"two small items", {{"one.txt", "first\r\n"}, {"two.txt", "second"}}, kOk},
      {"an empty item", {{"empty.txt", ""}, {"two.txt", "second"}}, kOk},
      {"length one more", {{"one.txt", "first"}, {"two.txt", "second", 0, 1}}, kCorruptEntry},
      {"length one less", {{"one.txt", "first", 0, -1}, {"two.txt", "second"}}, kCorruptEntry},
      {"length without data and checksum", {{"one.txt", "first", 0, -9}}, kCorruptEntry},
  };
  for (const Row& row : rows) {
    std::vector<int32_t> sizes;
    const Bytes archive = hand::Archive(row.items, sizes);
    const Read r = ReadArchive(archive, sizes, false);
    EXPECT_EQ(r.code, row.code) << row.name;
    if (row.code != kOk) continue;
    ASSERT_EQ(r.items.size(), row.items.size()) << row.name;
    for (size_t i = 0; i < r.items.size(); ++i) {
      EXPECT_EQ(r.items[i].first, row.items[i].name) << row.name;
      EXPECT_EQ(r.items[i].second, row.items[i].data) << row.name;
    }
  }
}

// Copies of one stream of zeros: a little input that unpacks to count x size bytes.
Bytes ZeroStreams(size_t size, size_t count) {
  Bytes one;
  EXPECT_TRUE(vk::XzEncode(Bytes(size).data(), size, one));
  Bytes all;
  for (size_t i = 0; i < count; ++i) all.insert(all.end(), one.begin(), one.end());
  return all;
}

size_t PeakMemoryMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return size_t(usage.ru_maxrss) / 1024;
}

// One chunk of about 120 KB that unpacks to 768 MiB, behind a proper item or in place of one: the
// reader decodes only what the items need and stops at the first thing that does not fit.
TEST(Archive, ChunkExpandingFarBeyondItsItemsEndsInItsErrorWithLittleMemory) {
  std::vector<int32_t> sizes;
  const Bytes plainArchive = hand::Archive({{"one.txt", "first"}}, sizes);
  const Bytes itemPlain(plainArchive.begin() + 8, plainArchive.end());
  const Bytes zeros = ZeroStreams(size_t(8) << 20, 96);
  ASSERT_LT(zeros.size(), 200000u);

  const auto chunk = [](const Bytes& payload) {
    Bytes a;
    hand::Put32(a, uint32_t(payload.size()));
    hand::Put32(a, vk::checksum(payload.data(), payload.size()));
    a.insert(a.end(), payload.begin(), payload.end());
    return a;
  };
  Bytes item;
  ASSERT_TRUE(vk::XzEncode(itemPlain.data(), itemPlain.size(), item));
  Bytes behind = item;
  behind.insert(behind.end(), zeros.begin(), zeros.end());

  const Read after = ReadArchive(chunk(behind), sizes, true);
  EXPECT_EQ(after.code, kQueueLeftOver);
  EXPECT_EQ(after.items.size(), 1u);
  EXPECT_EQ(ReadArchive(chunk(zeros), sizes, true).code, kCorruptEntry);
  EXPECT_LT(PeakMemoryMiB(), 100u);
}

TEST(Container, SettingsBlockUnpackingBeyondItsLimitIsRefusedWithLittleMemory) {
  SetupHeader h;
  h.blockChecksum = 0x12345678;
  // 64 MiB from a few kilobytes: more than any settings block may hold.
  Bytes block = ZeroStreams(size_t(8) << 20, 8);
  vk::XorScramble(block.data(), block.size(), h.blockChecksum);
  vk::Blowfish none;
  Bytes plain;
  EXPECT_EQ(UnpackSettings(h, none, block.data(), block.size(), plain), kSettingsUndecodable);
  EXPECT_TRUE(plain.empty());
  EXPECT_LT(PeakMemoryMiB(), 100u);
  // And the builder does not write one.
  EXPECT_FALSE(PackSettings(h, none, Bytes(kMaxSettingsSize + 1), block));
}

TEST(RunningChecksum, PiecesOfAnyLengthGiveTheWholeSum) {
  const Bytes data = Noise(1001, 9);
  for (size_t step : {1, 2, 3, 5, 7, 1000}) {
    RunningChecksum sum;
    for (size_t pos = 0; pos < data.size(); pos += step) sum.add(data.data() + pos, std::min(step, data.size() - pos));
    EXPECT_EQ(sum.value(), vk::checksum(data.data(), data.size())) << step;
  }
}

}  // namespace
