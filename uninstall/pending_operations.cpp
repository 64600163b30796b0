#include "uninstall/pending_operations.h"

#include <windows.h>

#include <vector>

#include "lib/format.h"
#include "lib/win32/fileops.h"
#include "lib/win32/handle.h"

namespace uninstall {

using vk::Streng;

bool CleanPendingOperations(const ProtectedFiles& protectedFiles,
                            const std::function<void(const Streng&)>& installLog) {
  vk::RegKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.put()) !=
      ERROR_SUCCESS)
    return false;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.get(), kPendingRenamesValue, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_MULTI_SZ || size == 0)
    return false;
  // The value may grow between the two calls; ask again with the size the second call wants.
  std::vector<uint8_t> bytes;
  LONG rc = ERROR_MORE_DATA;
  for (int attempt = 0; attempt < 4 && rc == ERROR_MORE_DATA; ++attempt) {
    bytes.assign(size, 0);
    rc = RegQueryValueExW(key.get(), kPendingRenamesValue, nullptr, &type, bytes.data(), &size);
  }
  if (rc != ERROR_SUCCESS || type != REG_MULTI_SZ) return false;
  bytes.resize(size);

  std::vector<Streng> list = ParseMultiString(bytes.data(), bytes.size());
  if (list.empty()) return false;
  if (installLog) installLog(u"\r\n");

  const PendingCleanup cleanup = CleanPendingOperations(list, protectedFiles);
  for (const PendingRemoval& removed : cleanup.removed) {
    if (removed.move) {
      if (installLog) installLog(vk::Format(u"File \"%s\" was removed from the list of pending moves.\r\n", removed.path));
      // The move's source is the temporary copy that would have replaced the file.
      if (!removed.source.empty()) vk::DeleteFileEx(removed.source, vk::ToRecycleBin);
    } else if (installLog && !removed.path.empty()) {
      installLog(vk::Format(u"File \"%s\" was removed from the list of pending deletions.\r\n", removed.path));
    }
  }
  if (!cleanup.changed) return false;
  const std::vector<uint8_t> out = SerializeMultiString(list);
  return RegSetValueExW(key.get(), kPendingRenamesValue, 0, REG_MULTI_SZ, out.data(), DWORD(out.size())) ==
         ERROR_SUCCESS;
}

}  // namespace uninstall
