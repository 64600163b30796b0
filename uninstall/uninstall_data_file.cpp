#include "uninstall/uninstall_data_file.h"

#include <windows.h>

#include "lib/file_errors.h"
#include "lib/win32/file.h"
#include "lib/win32/fileops.h"

namespace uninstall {

namespace {

constexpr int kTempAttempts = 8;

}  // namespace

UninstallDataReadResult ReadUninstallDataFile(const vk::Streng& path, UninstallData& data) {
  UninstallDataReadResult result;
  vk::File file;
  result.code = file.Open(path, vk::FileMode::Read | vk::FileMode::ShareRead | vk::FileMode::LoadIntoMemory);
  if (result.code != vk::FileErr::Success) {
    result.errorText = file.ErrorText().empty() ? vk::FileErrorMessageW(result.code) : file.ErrorText();
    return result;
  }
  const auto& bytes = file.Data();
  ReadUninstallData(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), data);
  return result;
}

bool WriteUninstallDataFile(const vk::Streng& path, const UninstallData& data) {
  const vk::String bytes = WriteUninstallData(data);
  // Written in full beside the old file, then put in its place in one step: a write that fails
  // halfway keeps the previous data, which the next uninstallation still needs.
  vk::File file;
  vk::Streng temp;
  for (int attempt = 0; attempt < kTempAttempts && !file.IsOpen(); ++attempt) {
    const vk::Streng part = vk::RandomNamePart();
    if (part.empty()) return false;
    temp = path + u"." + part + u".tmp";
    if (file.Open(temp, vk::FileMode::Write | vk::FileMode::CreateNew | vk::FileMode::NoSharingRetry) !=
            vk::FileErr::Success &&
        file.SystemError() != ERROR_FILE_EXISTS && file.SystemError() != ERROR_ALREADY_EXISTS)
      return false;
  }
  if (!file.IsOpen()) return false;
  const bool written = file.Write(bytes.data(), int64_t(bytes.size())) && file.Flush();
  file.Close();
  if (written && MoveFileExW(vk::W(temp), vk::W(path), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  const DWORD error = GetLastError();
  DeleteFileW(vk::W(temp));
  SetLastError(error);
  return false;
}

}  // namespace uninstall
