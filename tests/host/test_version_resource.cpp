#include "setup/core/version_resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pe_fixture.h"

namespace {

using Blob = std::vector<uint8_t>;

void Put16(Blob& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Pad4(Blob& b) {
  while (b.size() % 4) b.push_back(0);
}

// One version-tree node; valueLength is stored as given (characters for text, bytes for binary).
Blob Node(const std::u16string& key, const Blob& value, uint16_t valueLength, bool text,
          const std::vector<Blob>& children = {}) {
  Blob b(6, 0);
  for (char16_t c : key) Put16(b, c);
  Put16(b, 0);
  Pad4(b);
  b.insert(b.end(), value.begin(), value.end());
  for (const Blob& child : children) {
    Pad4(b);
    b.insert(b.end(), child.begin(), child.end());
  }
  b[0] = uint8_t(b.size()), b[1] = uint8_t(b.size() >> 8);
  b[2] = uint8_t(valueLength), b[3] = uint8_t(valueLength >> 8);
  b[4] = text ? 1 : 0;
  return b;
}

Blob Text(const std::u16string& s) {
  Blob b;
  for (char16_t c : s) Put16(b, c);
  Put16(b, 0);
  return b;
}
Blob StringValue(const std::u16string& key, const std::u16string& value) {
  return Node(key, Text(value), uint16_t(value.size() + 1), true);
}

Blob Fixed(uint32_t ms, uint32_t ls) {
  Blob b(52, 0);
  fixture::Put32(b, 0, 0xFEEF04BD);
  fixture::Put32(b, 4, 0x00010000);
  fixture::Put32(b, 8, ms);
  fixture::Put32(b, 12, ls);
  return b;
}

Blob VersionBlock(const std::u16string& table = u"040904B0", uint32_t translation = 0x04B00409,
                  const std::u16string& fileVersion = u" 1, 2, 3, 4 ") {
  Blob lang(4);
  fixture::Put32(lang, 0, translation);
  return Node(u"VS_VERSION_INFO", Fixed(0x00050006, 0x00070008), 52, false,
              {Node(u"StringFileInfo", {}, 0, true,
                    {Node(u"000004E4", {}, 0, true, {StringValue(u"FileVersion", u"9.9")}),
                     Node(table, {}, 0, true,
                          {StringValue(u"CompanyName", u"Example"), StringValue(u"FileVersion", fileVersion)})}),
               Node(u"VarFileInfo", {}, 0, true, {Node(u"Translation", lang, 4, false)})});
}

// A PE image whose second section holds a resource tree: RT_VERSION -> id 1 -> language -> block.
Blob PeWithVersion(const Blob& block, uint16_t magic = 0x10B) {
  Blob pe = fixture::MinimalPe(magic, 2);
  const size_t sectionEntry = fixture::SectionTable(magic) + 40;
  const uint32_t va = fixture::Get32(pe, sectionEntry + 12);
  const uint32_t raw = fixture::Get32(pe, sectionEntry + 20);
  Blob tree(16 * 3 + 8 * 3 + 16, 0);
  auto dir = [&](size_t at, uint32_t name, uint32_t target) {
    tree[at + 14] = 1;  // one id entry
    fixture::Put32(tree, at + 16, name);
    fixture::Put32(tree, at + 20, target);
  };
  dir(0, 16, 0x80000000u | 24);
  dir(24, 1, 0x80000000u | 48);
  dir(48, 0x409, 72);
  const uint32_t blockOffset = 88;
  fixture::Put32(tree, 72, va + blockOffset);
  fixture::Put32(tree, 76, uint32_t(block.size()));
  tree.insert(tree.end(), block.begin(), block.end());
  const size_t rawSize = (tree.size() + 0x1FF) & ~size_t(0x1FF);
  pe.resize(raw);
  pe.insert(pe.end(), tree.begin(), tree.end());
  pe.resize(raw + rawSize, 0);
  fixture::Put32(pe, sectionEntry + 8, uint32_t(tree.size()));
  fixture::Put32(pe, sectionEntry + 16, uint32_t(rawSize));
  const size_t dirs = fixture::kOptional + (magic == 0x10B ? 96 : 112);
  fixture::Put32(pe, dirs + 16, va);
  fixture::Put32(pe, dirs + 20, uint32_t(tree.size()));
  return pe;
}

TEST(VersionResource, ReadsFixedAndStringVersionFromPe) {
  for (uint16_t magic : {uint16_t(0x10B), uint16_t(0x20B)}) {
    const Blob pe = PeWithVersion(VersionBlock(), magic);
    setup::VersionResource v;
    ASSERT_TRUE(setup::ReadPeVersionResource(pe.data(), pe.size(), v)) << magic;
    ASSERT_TRUE(v.fixed);
    EXPECT_EQ(setup::FormatFixedFileVersion(*v.fixed), "5.6.7.8");
    ASSERT_TRUE(v.fileVersion);
    EXPECT_EQ(*v.fileVersion, u"1. 2. 3. 4");  // commas made dots, only the ends trimmed
  }
}

TEST(VersionResource, StringVersionFollowsTheFirstTranslation) {
  setup::VersionResource v;
  Blob other = VersionBlock(u"040904b0", 0x04E40000);  // translation names the 000004E4 table
  ASSERT_TRUE(setup::ParseVersionBlock(other.data(), other.size(), v));
  EXPECT_EQ(v.fileVersion, std::u16string(u"9.9"));
  Blob lower = VersionBlock(u"040904b0");  // table names compare without case
  ASSERT_TRUE(setup::ParseVersionBlock(lower.data(), lower.size(), v));
  EXPECT_EQ(v.fileVersion, std::u16string(u"1. 2. 3. 4"));
  Blob missing = VersionBlock(u"040704B0");  // no table for the translation: no version
  ASSERT_TRUE(setup::ParseVersionBlock(missing.data(), missing.size(), v));
  EXPECT_FALSE(v.fileVersion);
  EXPECT_TRUE(v.fixed);
}

TEST(VersionResource, DamagedInputGivesNoVersion) {
  const Blob block = VersionBlock();
  const Blob pe = PeWithVersion(block);
  setup::VersionResource v;
  // Every truncation of the image and of the block is read without going past its end.
  for (size_t n = 0; n < pe.size(); n += 7) {
    Blob cut(pe.begin(), pe.begin() + n);
    setup::ReadPeVersionResource(cut.data(), cut.size(), v);
  }
  for (size_t n = 0; n < block.size(); ++n) {
    Blob cut(block.begin(), block.begin() + n);
    if (setup::ParseVersionBlock(cut.data(), cut.size(), v)) ADD_FAILURE() << "truncated block read at " << n;
  }
  // Every single corrupted byte of the block still parses or fails cleanly.
  for (size_t i = 0; i < block.size(); ++i) {
    Blob bad = block;
    bad[i] ^= 0xFF;
    setup::ParseVersionBlock(bad.data(), bad.size(), v);
  }
  struct {
    const char* name;
    size_t offset;
    uint32_t value;
  } damage[] = {
      {"e_lfanew past end", 0x3C, 0x7FFFFFF0},
      {"resource rva outside sections", fixture::kOptional + 96 + 16, 0x900000},
  };
  for (const auto& d : damage) {
    Blob bad = pe;
    fixture::Put32(bad, d.offset, d.value);
    EXPECT_FALSE(setup::ReadPeVersionResource(bad.data(), bad.size(), v)) << d.name;
  }
  // A data entry whose size runs past the section.
  Blob big = pe;
  const uint32_t raw = fixture::Get32(pe, fixture::SectionTable(0x10B) + 40 + 20);
  fixture::Put32(big, raw + 76, 0x100000);
  EXPECT_FALSE(setup::ReadPeVersionResource(big.data(), big.size(), v));
  // A self-referencing directory is not followed around.
  Blob loop = pe;
  fixture::Put32(loop, raw + 20, 0x80000000u);
  EXPECT_FALSE(setup::ReadPeVersionResource(loop.data(), loop.size(), v));
  // Not a version block at all.
  Blob wrongKey = Node(u"VS_VERSION_INFX", Fixed(1, 2), 52, false);
  EXPECT_FALSE(setup::ParseVersionBlock(wrongKey.data(), wrongKey.size(), v));
  // No resource section: no version.
  Blob plain = fixture::MinimalPe();
  EXPECT_FALSE(setup::ReadPeVersionResource(plain.data(), plain.size(), v));
}

}  // namespace
