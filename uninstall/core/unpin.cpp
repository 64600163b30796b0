#include "uninstall/core/unpin.h"

namespace uninstall {

bool PassesThroughUserPinned(std::u16string_view path) {
  size_t start = 0;
  while (true) {
    const size_t end = path.find_first_of(u"\\/", start);
    if (end == std::u16string_view::npos) return false;  // the rest is the file's own name
    if (vk::EqualsNoCase(path.substr(start, end - start), u"User Pinned")) return true;
    start = end + 1;
  }
}

}  // namespace uninstall
