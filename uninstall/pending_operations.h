#pragma once
// The clean-up of the system's pending file operations on the real registry value.
#include <functional>

#include "lib/strings.h"
#include "uninstall/core/pending_operations.h"

namespace uninstall {

inline constexpr const wchar_t* kSessionManagerKey = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
inline constexpr const wchar_t* kPendingRenamesValue = L"PendingFileRenameOperations";

// Reads PendingFileRenameOperations (HKLM Session Manager), removes the deletions and moves that
// would destroy a protected file, sends the sources of removed moves to the recycle bin and
// writes the list back when a pair was removed. At installation pass the running log's writer:
// it receives "\r\n" first and a line per removed pair; at uninstallation pass none. Never
// reports errors: true only when the value was written back.
bool CleanPendingOperations(const ProtectedFiles& protectedFiles,
                            const std::function<void(const vk::Streng&)>& installLog = {});

}  // namespace uninstall
