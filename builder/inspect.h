#pragma once
// Reading an installer without running it: its header, settings, archive and checksums.
#include <filesystem>
#include <ostream>
#include <string>

#include "builder/json.h"

namespace builder {

// Describes the installer as a tree of values. Returns 0 when every check passed, otherwise the
// first failing check's corrupt-installer code (the description says which); -1 when the file
// cannot be read or carries no installation data (error says why).
int InspectInstaller(const std::filesystem::path& installer, Value& report, std::string& error);

// Writes the archive's files into dir (created when missing), one file per item, named after the
// item; names that are not plain file names are made safe. Returns 0 or a code as above.
int ExtractInstaller(const std::filesystem::path& installer, const std::filesystem::path& dir, std::ostream& log,
                     std::string& error);

}  // namespace builder
