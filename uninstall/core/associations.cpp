#include "uninstall/core/associations.h"

namespace uninstall {

vk::Streng AssociationBackupName(std::u16string_view displayName) {
  vk::Streng name;
  for (const char16_t c : vk::Streng(displayName) + u" Backup")
    if (c != u'\\' && c != u'\r' && c != u'\n' && c != u'\t') name.push_back(c);
  return name;
}

}  // namespace uninstall
