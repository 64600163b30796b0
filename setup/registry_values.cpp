#include "setup/registry_values.h"

#include <algorithm>
#include <vector>

#include "setup/core/registry_path.h"

namespace setup {

namespace {

uint32_t Done(LSTATUS rc) {
  SetLastError(DWORD(rc));
  return uint32_t(rc);
}

const BYTE* Bytes(const void* p) { return static_cast<const BYTE*>(p); }

DWORD TextBytes(const vk::Streng& s) { return DWORD((s.size() + 1) * sizeof(char16_t)); }

}  // namespace

HKEY RootKeyOf(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegistryRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegistryRoot::Users: return HKEY_USERS;
    case RegistryRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
    case RegistryRoot::DynData: return HKEY_DYN_DATA;
    case RegistryRoot::None:
    case RegistryRoot::AllUsers: break;
  }
  return nullptr;
}

uint32_t OpenOrCreateRegistryKey(HKEY root, const vk::Streng& path, REGSAM access, vk::RegKey& key) {
  DWORD disposition = 0;
  return Done(RegCreateKeyExW(root, vk::W(path), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key.put(),
                              &disposition));
}

uint32_t OpenOrCreateRegistryPath(const vk::Streng& fullPath, REGSAM access, vk::RegKey& key) {
  const RegistryPath p = ParseRegistryPath(fullPath);
  HKEY root = RootKeyOf(p.root);
  if (!root) return Done(ERROR_BAD_PATHNAME);
  return OpenOrCreateRegistryKey(root, p.key, access, key);
}

uint32_t ApplyRegistryValue(HKEY key, const RegValueOp& op) {
  switch (op.kind) {
    case RegValueKind::Wide:
    case RegValueKind::Expand:
      return Done(RegSetValueExW(key, vk::W(op.name), 0, op.kind == RegValueKind::Wide ? REG_SZ : REG_EXPAND_SZ,
                                 Bytes(op.wide.c_str()), TextBytes(op.wide)));
    case RegValueKind::Ansi: {
      const vk::String name = vk::StrengToAnsi(op.name);
      return Done(RegSetValueExA(key, name.c_str(), 0, REG_SZ, Bytes(op.text.c_str()), DWORD(op.text.size() + 1)));
    }
    case RegValueKind::Dword: {
      const DWORD value = DWORD(op.number);
      return Done(RegSetValueExW(key, vk::W(op.name), 0, REG_DWORD, Bytes(&value), sizeof value));
    }
    case RegValueKind::Qword: {
      const uint64_t value = op.number;
      return Done(RegSetValueExW(key, vk::W(op.name), 0, REG_QWORD, Bytes(&value), sizeof value));
    }
    case RegValueKind::Delete: {
      const LSTATUS rc = RegDeleteValueW(key, vk::W(op.name));
      return Done(rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc);
    }
  }
  return Done(ERROR_INVALID_PARAMETER);
}

bool ReadRegistryText(HKEY key, const vk::Streng& name, vk::Streng& text) {
  constexpr DWORD kMaxBytes = 65536 * sizeof(char16_t);
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, vk::W(name), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size > kMaxBytes) return false;
  std::vector<char16_t> buffer(size / sizeof(char16_t) + 1, u'\0');
  DWORD got = DWORD(buffer.size() * sizeof(char16_t));
  if (RegQueryValueExW(key, vk::W(name), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got) != ERROR_SUCCESS)
    return false;
  size_t n = std::min<size_t>(got / sizeof(char16_t), buffer.size());
  while (n > 0 && buffer[n - 1] == u'\0') --n;  // the stored terminator, when there is one
  text.assign(buffer.data(), n);
  return true;
}

}  // namespace setup
