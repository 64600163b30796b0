#pragma once
// Writing an installer: the engine executable with the product's `.setup` section appended.
#include <filesystem>
#include <ostream>
#include <string>

#include "builder/project.h"

namespace builder {

struct BuildReport {
  uint64_t installerSize = 0;
  uint64_t archiveSize = 0;
  uint64_t plainSize = 0;  // all items' data before packing
  size_t items = 0;
};

// Builds the installer at out (written beside it first, then renamed). Progress lines go to
// progress when it is not null. False with the reason in error.
bool BuildInstaller(const Project& project, const std::filesystem::path& engine, const std::filesystem::path& out,
                    std::ostream* progress, BuildReport& report, std::string& error);

// The cipher key used when the project gives none: derived from the project's contents, so that
// the same inputs always give the same installer.
std::array<uint8_t, 8> DeriveKey(const std::vector<uint8_t>& settingsBlock, const Project& project);

}  // namespace builder
