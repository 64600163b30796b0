#include "uninstall/unpin.h"

#include <windows.h>
#include <shellapi.h>

#include "lib/narrow_path.h"
#include "uninstall/core/uninstall_data.h"
#include "uninstall/core/unpin.h"

namespace uninstall {

void UnpinShortcuts(const std::vector<vk::String>& entries) {
  for (const vk::String& line : entries) {
    const UninstallEntry entry = ParseUninstallEntry(vk::Trim(line));
    if (entry.type != kEntryFile || entry.narrowPath.empty()) continue;
    const vk::Streng path = vk::DecodeNarrowPath(entry.narrowPath);
    if (!PassesThroughUserPinned(path) || GetFileAttributesW(vk::W(path)) == INVALID_FILE_ATTRIBUTES) continue;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"taskbarunpin";
    info.lpFile = vk::W(path);
    info.nShow = SW_HIDE;
    ShellExecuteExW(&info);
  }
}

}  // namespace uninstall
