#pragma once
// The version resource of a PE file, read from bytes with every offset checked: damaged input
// gives "no version", never a read outside the buffer.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "lib/strings.h"

namespace setup {

struct FixedFileVersion {
  uint32_t ms = 0;  // dwFileVersionMS
  uint32_t ls = 0;  // dwFileVersionLS
};

// "a.b.c.d"
vk::String FormatFixedFileVersion(const FixedFileVersion& version);

struct VersionResource {
  std::optional<FixedFileVersion> fixed;  // VS_FIXEDFILEINFO, when present with its signature
  // The "FileVersion" string of the first "\VarFileInfo\Translation" entry's string table,
  // commas made dots and white space trimmed; unset when there is no translation or no string.
  std::optional<vk::Streng> fileVersion;
};

// A VS_VERSIONINFO block, as stored in the resource or as GetFileVersionInfoW returns it.
// false when the block's root is damaged; damaged children leave their fields unset.
bool ParseVersionBlock(const uint8_t* data, size_t size, VersionResource& out);

// The first RT_VERSION resource of a PE image's file bytes (PE32 or PE32+).
bool ReadPeVersionResource(const uint8_t* file, size_t size, VersionResource& out);

}  // namespace setup
