#pragma once
// Lowers the reference counts of the product's shared files and removes those nobody uses.
#include "lib/strings.h"
#include "uninstall/step_context.h"

namespace uninstall {

inline constexpr const wchar_t* kSharedDllsKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// For each file of the SharedFiles list that has a counter under HKLM kSharedDllsKey: the
// counter goes down by one (at 0 the value is deleted); a file still counted stays. Otherwise,
// unless the file is marked never to be removed: a "^" file is unregistered with
// "regsvr32.exe /s /u" (its own DllUnregisterServer when regsvr32 cannot start), a type library
// with UnRegisterTypeLib; then, with ProductFlags bit 17 and not quiet, the user is asked
// (text 59 with the path, caption text 35) and the file is deleted (at the next restart when it
// is held). When the counter key cannot be opened, a failure is reported and nothing is touched.
// The caller deletes the SharedFiles value.
void RemoveSharedFiles(const vk::String& sharedFiles, StepContext& run);

}  // namespace uninstall
