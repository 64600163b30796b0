#include "builder/pe_section.h"

#include <cstring>

#include "lib/bytes.h"

namespace builder {

namespace {

uint16_t Get16(const std::vector<uint8_t>& b, size_t at) { return vk::Le16(&b[at]); }
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) { return vk::Le32(&b[at]); }
void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) { vk::PutLe16(&b[at], v); }
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { vk::PutLe32(&b[at], v); }
uint64_t AlignUp(uint64_t v, uint32_t a) { return a ? (v + a - 1) / a * a : v; }

constexpr uint32_t kSectionEntry = 40;
constexpr uint32_t kScnInitializedData = 0x00000040;
constexpr uint32_t kScnMemRead = 0x40000000;

}  // namespace

bool AppendSetupSection(std::vector<uint8_t>& exe, const std::vector<uint8_t>& data,
                        uint32_t mappedSize, AppendedSection& placed, std::string& error) {
  auto fail = [&](const char* why) {
    error = why;
    return false;
  };
  if (exe.size() < 0x40 || exe[0] != 'M' || exe[1] != 'Z') return fail("not a Windows executable (no MZ header)");
  const uint32_t pe = Get32(exe, 0x3C);
  if (pe < 64 || pe > 4096 || size_t(pe) + 24 > exe.size() || std::memcmp(&exe[pe], "PE\0\0", 4) != 0)
    return fail("not a Windows executable (no PE header within the first 4096 bytes)");
  const uint16_t sections = Get16(exe, pe + 6);
  const uint16_t optionalSize = Get16(exe, pe + 20);
  const size_t opt = pe + 24;
  if (optionalSize < 96 || opt + optionalSize > exe.size()) return fail("the PE optional header is damaged");
  const uint16_t magic = Get16(exe, opt);
  if (magic != 0x10B && magic != 0x20B) return fail("unknown PE optional header kind");
  const uint32_t sectionAlign = Get32(exe, opt + 32);
  const uint32_t fileAlign = Get32(exe, opt + 36);
  const uint32_t headersSize = Get32(exe, opt + 60);
  // The attribute certificate table (the signature) is data directory 4; appending after it
  // would invalidate the signature and the signature would hide our data.
  const size_t dirCountAt = opt + (magic == 0x10B ? 92 : 108);
  const size_t certDir = dirCountAt + 4 + 4 * 8;
  if (certDir + 8 <= opt + optionalSize && Get32(exe, dirCountAt) > 4 && Get32(exe, certDir + 4) != 0)
    return fail("the engine is signed: sign the finished installer instead");

  const size_t table = opt + optionalSize;
  const size_t tableEnd = table + size_t(sections) * kSectionEntry;
  if (tableEnd > exe.size()) return fail("the PE section table is damaged");
  uint64_t imageEnd = 0;
  uint64_t firstRaw = headersSize;
  for (uint16_t i = 0; i < sections; ++i) {
    const size_t e = table + size_t(i) * kSectionEntry;
    if (std::strncmp(reinterpret_cast<const char*>(&exe[e]), ".setup", 8) == 0)
      return fail("the executable already carries installation data (a .setup section)");
    const uint32_t vsize = Get32(exe, e + 8), va = Get32(exe, e + 12);
    const uint32_t rawSize = Get32(exe, e + 16), raw = Get32(exe, e + 20);
    imageEnd = std::max<uint64_t>(imageEnd, uint64_t(va) + std::max(vsize, rawSize));
    if (raw && rawSize && raw < firstRaw) firstRaw = raw;
  }
  // The new entry must fit in the headers, in front of the first section's data, over bytes
  // that nothing uses.
  if (tableEnd + kSectionEntry > std::min<uint64_t>(headersSize, firstRaw))
    return fail("the engine's headers have no room for another section entry");
  for (size_t i = tableEnd; i < tableEnd + kSectionEntry; ++i)
    if (exe[i] != 0) return fail("the engine's headers have no room for another section entry");

  // A page-aligned start lets loaders map the section straight from the file instead of copying
  // it into private memory (Wine copies sections whose file offset is not page-aligned).
  const uint64_t raw = AlignUp(exe.size(), std::max<uint32_t>(fileAlign, 0x1000));
  const uint64_t va = AlignUp(imageEnd, sectionAlign);
  if (mappedSize > data.size()) return fail("internal error: mapped size beyond the section data");
  if (raw + AlignUp(data.size(), fileAlign) > 0x7FFFFFFF || va + mappedSize > 0x7FFFFFFF) return fail("the installer would exceed 2 GiB");

  const uint64_t rawSize = mappedSize == data.size() ? AlignUp(data.size(), fileAlign) : data.size();
  uint8_t* entry = &exe[tableEnd];
  std::memcpy(entry, ".setup\0\0", 8);
  Put32(exe, tableEnd + 8, mappedSize);
  Put32(exe, tableEnd + 12, uint32_t(va));
  Put32(exe, tableEnd + 16, uint32_t(rawSize));
  Put32(exe, tableEnd + 20, uint32_t(raw));
  Put32(exe, tableEnd + 36, kScnInitializedData | kScnMemRead);
  Put16(exe, pe + 6, uint16_t(sections + 1));
  Put32(exe, opt + 8, Get32(exe, opt + 8) + uint32_t(rawSize));                       // initialised data
  Put32(exe, opt + 56, uint32_t(AlignUp(va + std::max<uint32_t>(mappedSize, 1), sectionAlign)));  // image
  Put32(exe, opt + 64, 0);  // the PE checksum no longer holds; executables need none

  exe.resize(size_t(raw), 0);
  exe.insert(exe.end(), data.begin(), data.end());
  exe.resize(size_t(raw + rawSize), 0);
  placed.rawPointer = uint32_t(raw);
  placed.virtualAddress = uint32_t(va);
  placed.peOffset = pe;
  return true;
}

}  // namespace builder
