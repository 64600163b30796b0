#pragma once
// A product's project file (TOML) read into the settings and archive items of its installer.
// docs/project-format.md lists every key.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "setup/core/archive.h"
#include "setup/core/settings.h"

namespace builder {

// One problem of a project, named by file, line and key.
struct Diagnostic {
  std::string file;
  int line = 0;
  std::string key;
  std::string message;
  std::string text() const;  // "file:line: key: message"
};

struct Diagnostics {
  std::vector<Diagnostic> errors;
  bool ok() const { return errors.empty(); }
  std::string text() const;  // one line per error
};

struct ProjectFile {
  std::filesystem::path source;
  uint64_t size = 0;
  setup::ArchiveEntry entry;
};

struct ArchiveSettings {
  bool fileMode = false;   // the archive is read from the file instead of the mapped section
  bool compress = true;
  uint32_t xzPreset = 6;
  size_t chunkSize = size_t(1) << 20;
  bool cipher = false;
  bool keyGiven = false;
  std::array<uint8_t, 8> key{};
};

struct Project {
  std::filesystem::path file;     // the project file
  std::filesystem::path baseDir;  // relative paths in it start here
  setup::InstallSettings settings;
  uint32_t productFlags2 = 0;
  ArchiveSettings archive;
  std::vector<ProjectFile> files;
  std::vector<std::string> languages;  // as chosen, in order
};

// Reads and checks the project; false with every problem found in diagnostics.
bool LoadProject(const std::filesystem::path& file, Project& project, Diagnostics& diagnostics);

}  // namespace builder
