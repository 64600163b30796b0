#pragma once
// Adding the installer's data section to the engine executable (PE32 or PE32+).
#include <cstdint>
#include <string>
#include <vector>

namespace builder {

struct AppendedSection {
  uint32_t rawPointer = 0;      // file offset of the section's bytes
  uint32_t virtualAddress = 0;  // where the loader maps them, relative to the module base
  uint32_t peOffset = 0;        // e_lfanew of the executable
};

// Appends `data` as a new section ".setup" at the end of `exe`. Only the first `mappedSize`
// bytes are mapped by the loader; the rest stays in the file (the archive in file mode).
// The section starts at the next page (4 KiB) boundary, a multiple of the file alignment. When all of it is mapped, its raw data
// is padded to the file alignment as loaders expect; otherwise it is not padded, so that a
// file-mode archive runs exactly to the end of the file. Returns false with a message when the
// executable is not a PE file, already carries a ".setup" section, has an attribute certificate
// (signature), or has no room in its headers for another section entry.
bool AppendSetupSection(std::vector<uint8_t>& exe, const std::vector<uint8_t>& data,
                        uint32_t mappedSize, AppendedSection& placed, std::string& error);

}  // namespace builder
