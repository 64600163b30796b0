#pragma once
// Uninstall.DAT on disk: the bytes of uninstall/core/uninstall_data.h read from and written to
// the uninstall data folder.
#include "lib/strings.h"
#include "uninstall/core/uninstall_data.h"

namespace uninstall {

inline constexpr char16_t kUninstallDataFileName[] = u"Uninstall.DAT";

// The outcome of reading the file: the file error code (0 on success) and its text.
struct UninstallDataReadResult {
  int code = 0;
  vk::Streng errorText;
  bool ok() const { return code == 0; }
};

// Loads `path` and fills `data`. Only the file read can fail; its content never does.
UninstallDataReadResult ReadUninstallDataFile(const vk::Streng& path, UninstallData& data);

// Writes the whole file to a new temporary file in the same folder and renames it over an
// earlier one; on failure the earlier file stays as it was and no temporary file is left.
// True on success.
bool WriteUninstallDataFile(const vk::Streng& path, const UninstallData& data);

}  // namespace uninstall
