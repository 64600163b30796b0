#include "uninstall/uninstall_data_file.h"

#include "lib/file_errors.h"
#include "lib/win32/file.h"

namespace uninstall {

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
  vk::File file;
  if (file.Open(path, vk::FileMode::Write | vk::FileMode::CreateAlways) != vk::FileErr::Success) return false;
  if (!file.Write(bytes.data(), int64_t(bytes.size()))) return false;
  file.Close();
  return true;
}

}  // namespace uninstall
