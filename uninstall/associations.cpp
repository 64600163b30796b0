#include "uninstall/associations.h"

#include <windows.h>

#include "lib/win32/handle.h"
#include "uninstall/core/associations.h"
#include "uninstall/registry_keys.h"

namespace uninstall {

namespace {

constexpr REGSAM kAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS | DELETE;
// A default value longer than this is not one the installation saved.
constexpr DWORD kMaxValueBytes = 64 * 1024;

// status: why the key could not be opened.
vk::RegKey Open(HKEY parent, const vk::Streng& path, LONG* status = nullptr) {
  vk::RegKey key;
  const LONG rc = parent ? RegOpenKeyExW(parent, vk::W(path), 0, kAccess, key.put()) : ERROR_INVALID_HANDLE;
  if (status) *status = rc;
  return key;
}

// A string value (REG_SZ or REG_EXPAND_SZ); empty when missing or of another type.
vk::Streng ReadString(HKEY key, const vk::Streng& name) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, vk::W(name), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0 || size > kMaxValueBytes)
    return {};
  std::u16string text(size / 2 + 1, u'\0');
  if (RegQueryValueExW(key, vk::W(name), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) !=
      ERROR_SUCCESS)
    return {};
  text.resize(size / 2);
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

bool HasSubkeys(HKEY key) {
  DWORD subkeys = 0;
  return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr) != ERROR_SUCCESS ||
         subkeys != 0;
}

bool HasValues(HKEY key) {
  DWORD values = 0;
  return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                          nullptr, nullptr) != ERROR_SUCCESS ||
         values != 0;
}

// When the backup value holds a non-blank text: makes it the default value, deletes the backup
// and returns true. Otherwise deletes the default value when asked to.
bool RestoreDefault(HKEY key, const vk::Streng& backupName, bool deleteWithoutBackup) {
  const vk::Streng backup = ReadString(key, backupName);
  if (!vk::Trim(backup).empty()) {
    const DWORD bytes = DWORD((backup.size() + 1) * sizeof(char16_t));
    if (RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(backup.c_str()), bytes) ==
        ERROR_SUCCESS) {
      RegDeleteValueW(key, vk::W(backupName));
      return true;
    }
  }
  if (deleteWithoutBackup) RegDeleteValueW(key, L"");
  return false;
}

// The extension's own part: its default value and the "Open With" entry. True when the
// extension key has no earlier default to go back to.
bool RestoreExtension(const vk::Streng& extension, const vk::Streng& programId, const vk::Streng& verb,
                      const vk::Streng& backupName) {
  vk::RegKey key = Open(HKEY_CLASSES_ROOT, extension);
  if (!key) return true;
  const bool created = !RestoreDefault(key.get(), backupName, false);
  if (vk::EqualsNoCase(verb, u"open")) {
    vk::RegKey openWith = Open(key.get(), u"OpenWithProgids");
    if (openWith) {
      RegDeleteValueW(openWith.get(), vk::W(programId));
      const bool empty = !HasValues(openWith.get()) && !HasSubkeys(openWith.get());
      openWith.reset();
      if (empty) RegDeleteKeyExW(key.get(), L"OpenWithProgids", 0, 0);
    }
  }
  return created;
}

// The program identifier's part. True when the key is gone or has no subkeys left. Only the
// system's "not found" means gone: a key that cannot be opened (access denied, say) is
// somebody's, and it stays with its extension.
bool RestoreProgramId(const vk::Streng& programId, const vk::Streng& verb, bool hasIcon,
                      const vk::Streng& backupName) {
  LONG status = ERROR_SUCCESS;
  vk::RegKey key = Open(HKEY_CLASSES_ROOT, programId, &status);
  if (!key) return status == ERROR_FILE_NOT_FOUND;
  RestoreDefault(key.get(), backupName, false);
  if (hasIcon) {
    vk::RegKey icon = Open(key.get(), u"DefaultIcon");
    if (icon) {
      const bool restored = RestoreDefault(icon.get(), backupName, true);
      icon.reset();
      if (!restored) DeleteKeyTree(key.get(), u"DefaultIcon", 0);
    }
  }
  vk::RegKey shell = Open(key.get(), u"shell");
  if (shell) {
    RestoreDefault(shell.get(), backupName, true);
    if (!verb.empty()) {
      bool restored = false;
      vk::RegKey command = Open(shell.get(), verb + u"\\command");
      if (command) {
        restored = RestoreDefault(command.get(), backupName, true);
        command.reset();
      }
      if (!restored) DeleteKeyTree(shell.get(), verb, 0);
    }
    const bool empty = !HasSubkeys(shell.get());
    shell.reset();
    if (empty) DeleteKeyTree(key.get(), u"shell", 0);
  }
  return !HasSubkeys(key.get());
}

// An extension key the installation created goes when it no longer points anywhere: its
// default is cleared when it still names the program identifier, and the key is deleted when
// nothing else is left in it (another program's entries keep it).
void RemoveCreatedExtension(const vk::Streng& extension, const vk::Streng& programId) {
  vk::RegKey key = Open(HKEY_CLASSES_ROOT, extension);
  if (!key) return;
  if (vk::EqualsNoCase(ReadString(key.get(), u""), programId)) RegDeleteValueW(key.get(), L"");
  const bool empty = !HasValues(key.get()) && !HasSubkeys(key.get());
  key.reset();
  if (empty) RegDeleteKeyExW(HKEY_CLASSES_ROOT, vk::W(extension), 0, 0);
}

}  // namespace

void RestoreAssociations(const std::vector<FileAssociation>& records, const vk::Streng& displayName) {
  const vk::Streng backupName = AssociationBackupName(displayName);
  for (const FileAssociation& record : records) {
    const vk::Streng extension = vk::Trim(vk::AnsiToStreng(record.extension));
    const vk::Streng programId = vk::Trim(vk::AnsiToStreng(record.programId));
    const vk::Streng verb = vk::Trim(vk::AnsiToStreng(record.verb));
    if (extension.empty() || programId.empty()) continue;
    const bool extensionCreated = RestoreExtension(extension, programId, verb, backupName);
    const bool programIdGone = RestoreProgramId(programId, verb, !vk::Trim(record.icon).empty(), backupName);
    if (!programIdGone) continue;
    DeleteKeyTree(HKEY_CLASSES_ROOT, programId, 0);
    if (extensionCreated) RemoveCreatedExtension(extension, programId);
  }
}

}  // namespace uninstall
