#include "setup/core/version_resource.h"

#include <algorithm>

#include "lib/format.h"

namespace setup {

namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BD;
constexpr uint32_t kRtVersion = 16;
constexpr uint32_t kHighBit = 0x80000000u;

struct View {
  const uint8_t* p;
  size_t size;
  bool has(size_t offset, size_t n) const { return offset <= size && n <= size - offset; }
  uint16_t u16(size_t o) const { return uint16_t(p[o] | p[o + 1] << 8); }
  uint32_t u32(size_t o) const { return uint32_t(p[o]) | uint32_t(p[o + 1]) << 8 | uint32_t(p[o + 2]) << 16 | uint32_t(p[o + 3]) << 24; }
};

size_t Align4(size_t n) { return (n + 3) & ~size_t(3); }

// One node of the version tree: [wLength][wValueLength][wType][key\0][pad][value][pad][children].
struct Node {
  size_t end = 0;
  vk::Streng key;
  size_t value = 0;       // offset of the value
  size_t valueBytes = 0;  // clamped to the node
  size_t children = 0;    // offset of the first child
  bool text = false;
};

bool ReadNode(const View& b, size_t at, size_t limit, Node& node) {
  if (at > limit || limit - at < 6 || !b.has(at, 6)) return false;
  const size_t length = b.u16(at);
  if (length < 6 || length > limit - at) return false;
  node.end = at + length;
  const size_t valueLength = b.u16(at + 2);
  node.text = b.u16(at + 4) == 1;
  node.key.clear();
  size_t o = at + 6;
  for (;;) {
    if (o + 2 > node.end) return false;  // key without terminator
    const char16_t c = b.u16(o);
    o += 2;
    if (c == 0) break;
    node.key.push_back(c);
  }
  node.value = std::min(Align4(o), node.end);
  const size_t bytes = node.text ? valueLength * 2 : valueLength;
  node.valueBytes = std::min(bytes, node.end - node.value);
  if (!node.text && node.valueBytes < bytes) return false;  // binary value cut short
  node.children = std::min(Align4(node.value + bytes), node.end);
  return true;
}

// Calls visit(child) for each readable child; stops at the first damaged one.
template <class F>
void ForChildren(const View& b, const Node& parent, F visit) {
  size_t at = parent.children;
  Node child;
  while (at < parent.end && ReadNode(b, at, parent.end, child)) {
    if (visit(child)) return;
    at = Align4(child.end);
  }
}

vk::Streng TextValue(const View& b, const Node& node) {
  vk::Streng text;
  for (size_t o = node.value; o + 2 <= node.value + node.valueBytes; o += 2) {
    const char16_t c = b.u16(o);
    if (c == 0) break;
    text.push_back(c == u',' ? u'.' : c);
  }
  return vk::Trim(text);
}

// The file offset of an RVA inside a section's stored bytes, with the bytes left from there.
bool MapRva(const View& b, size_t sections, unsigned count, uint32_t rva, size_t& offset, size_t& room) {
  for (unsigned i = 0; i < count; ++i) {
    const size_t s = sections + size_t(i) * 40;
    if (!b.has(s, 40)) return false;
    const uint32_t virtualSize = b.u32(s + 8), va = b.u32(s + 12), rawSize = b.u32(s + 16), raw = b.u32(s + 20);
    const uint32_t span = std::max(virtualSize, rawSize);
    if (rva < va || rva - va >= span) continue;
    const uint32_t delta = rva - va;
    if (delta >= rawSize || !b.has(raw, rawSize)) return false;
    offset = size_t(raw) + delta;
    room = rawSize - delta;
    return true;
  }
  return false;
}

// The offset (relative to the resource root) of the entry's target in a directory: by id, or
// the first entry when id is negative. wantDirectory says which kind of target is expected.
bool FindEntry(const View& tree, size_t dir, int64_t id, bool wantDirectory, size_t& target) {
  if (!tree.has(dir, 16)) return false;
  const size_t count = size_t(tree.u16(dir + 12)) + tree.u16(dir + 14);
  for (size_t i = 0; i < count; ++i) {
    const size_t e = dir + 16 + i * 8;
    if (!tree.has(e, 8)) return false;
    const uint32_t name = tree.u32(e), data = tree.u32(e + 4);
    if (id >= 0 && ((name & kHighBit) || name != uint32_t(id))) continue;
    if (bool(data & kHighBit) != wantDirectory) {
      if (id >= 0) return false;
      continue;
    }
    target = data & ~kHighBit;
    return true;
  }
  return false;
}

}  // namespace

vk::String FormatFixedFileVersion(const FixedFileVersion& v) {
  return vk::Format("%u.%u.%u.%u", v.ms >> 16, v.ms & 0xFFFF, v.ls >> 16, v.ls & 0xFFFF);
}

bool ParseVersionBlock(const uint8_t* data, size_t size, VersionResource& out) {
  out = {};
  const View b{data, size};
  Node root;
  if (!data || !ReadNode(b, 0, size, root) || root.key != u"VS_VERSION_INFO") return false;
  if (!root.text && root.valueBytes >= 16 && b.u32(root.value) == kFixedSignature)
    out.fixed = FixedFileVersion{b.u32(root.value + 8), b.u32(root.value + 12)};

  std::optional<uint32_t> translation;
  ForChildren(b, root, [&](const Node& child) {
    if (!vk::EqualsNoCase(child.key, u"VarFileInfo")) return false;
    ForChildren(b, child, [&](const Node& var) {
      if (!vk::EqualsNoCase(var.key, u"Translation") || var.valueBytes < 4) return false;
      translation = b.u32(var.value);
      return true;
    });
    return translation.has_value();
  });
  if (!translation) return true;

  const vk::Streng table = vk::Format(u"%04X%04X", *translation & 0xFFFF, *translation >> 16);
  ForChildren(b, root, [&](const Node& child) {
    if (!vk::EqualsNoCase(child.key, u"StringFileInfo")) return false;
    ForChildren(b, child, [&](const Node& strings) {
      if (!vk::EqualsNoCase(strings.key, table)) return false;
      ForChildren(b, strings, [&](const Node& value) {
        if (!vk::EqualsNoCase(value.key, u"FileVersion") || value.valueBytes == 0) return false;
        out.fileVersion = TextValue(b, value);
        return true;
      });
      return out.fileVersion.has_value();
    });
    return out.fileVersion.has_value();
  });
  return true;
}

bool ReadPeVersionResource(const uint8_t* file, size_t size, VersionResource& out) {
  out = {};
  const View b{file, size};
  if (!file || !b.has(0, 0x40) || b.u16(0) != 0x5A4D) return false;  // "MZ"
  const size_t pe = b.u32(0x3C);
  if (!b.has(pe, 24) || b.u32(pe) != 0x00004550) return false;  // "PE\0\0"
  const unsigned sectionCount = b.u16(pe + 6);
  const size_t optionalSize = b.u16(pe + 20);
  const size_t optional = pe + 24;
  if (!b.has(optional, optionalSize) || optionalSize < 2) return false;
  const uint16_t magic = b.u16(optional);
  const size_t dirCountAt = magic == 0x10B ? 92 : magic == 0x20B ? 108 : 0;
  if (dirCountAt == 0 || optionalSize < dirCountAt + 4) return false;
  const uint32_t dirCount = b.u32(optional + dirCountAt);
  const size_t resourceDir = optional + dirCountAt + 4 + 2 * 8;
  if (dirCount < 3 || resourceDir + 8 > optional + optionalSize) return false;
  const uint32_t resourceRva = b.u32(resourceDir);
  if (resourceRva == 0) return false;
  const size_t sections = optional + optionalSize;

  size_t rootOffset = 0, rootRoom = 0;
  if (!MapRva(b, sections, sectionCount, resourceRva, rootOffset, rootRoom)) return false;
  const View tree{file + rootOffset, rootRoom};
  size_t names = 0, languages = 0, entry = 0;
  if (!FindEntry(tree, 0, kRtVersion, true, names)) return false;
  if (!FindEntry(tree, names, -1, true, languages)) return false;
  if (!FindEntry(tree, languages, -1, false, entry) || !tree.has(entry, 16)) return false;
  size_t dataOffset = 0, dataRoom = 0;
  if (!MapRva(b, sections, sectionCount, tree.u32(entry), dataOffset, dataRoom)) return false;
  const size_t dataSize = tree.u32(entry + 4);
  if (dataSize > dataRoom) return false;
  return ParseVersionBlock(file + dataOffset, dataSize, out);
}

}  // namespace setup
