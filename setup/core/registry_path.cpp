#include "setup/core/registry_path.h"

namespace setup {

RegistryPath ParseRegistryPath(std::u16string_view path) {
  static constexpr struct {
    std::u16string_view framed;
    RegistryRoot root;
  } kRoots[] = {
      {u"\\HKLM\\", RegistryRoot::LocalMachine}, {u"\\HKCU\\", RegistryRoot::CurrentUser},
      {u"\\HKCR\\", RegistryRoot::ClassesRoot},  {u"\\HKU\\", RegistryRoot::Users},
      {u"\\HKCC\\", RegistryRoot::CurrentConfig}, {u"\\HKDD\\", RegistryRoot::DynData},
      {u"\\HKAU\\", RegistryRoot::AllUsers},
  };
  for (const auto& r : kRoots) {
    const std::u16string_view bare = r.framed.substr(0, r.framed.size() - 1);
    if (path.size() == bare.size() && vk::EqualsNoCase(path, bare)) return {r.root, {}};
    if (vk::StartsWithNoCase(path, r.framed)) return {r.root, vk::Streng(path.substr(r.framed.size()))};
  }
  return {};
}

}  // namespace setup
