#include "uninstall/core/protected_folders.h"

#include <algorithm>

#include "lib/narrow_path.h"

namespace uninstall {

namespace {

bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// "X:" and "\\server\share" (without a trailing backslash); 0 when the path has neither form.
size_t RootLength(std::u16string_view path) {
  if (path.size() >= 2 && IsLetter(path[0]) && path[1] == u':') return 2;
  if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
    const size_t server = path.find(u'\\', 2);
    if (server == std::u16string_view::npos || server == 2) return 0;
    if (server == 3 && (path[2] == u'?' || path[2] == u'.')) return 0;  // device paths are refused
    const size_t share = path.find(u'\\', server + 1);
    if (share == server + 1) return 0;
    return share == std::u16string_view::npos ? path.size() : share;
  }
  return 0;
}

// Whether `inner` is `outer` or lies below it.
bool IsSameOrBelow(std::u16string_view inner, std::u16string_view outer) {
  if (outer.empty() || inner.size() < outer.size()) return false;
  if (!vk::EqualsNoCase(inner.substr(0, outer.size()), outer)) return false;
  return inner.size() == outer.size() || inner[outer.size()] == u'\\';
}

}  // namespace

vk::Streng NormalizeFolder(std::u16string_view folder) {
  vk::Streng path = vk::Trim(folder);
  std::replace(path.begin(), path.end(), u'/', u'\\');
  if (path.size() == 2 && path[1] == u':') path += u'\\';  // "C:" is a root, not the current folder
  if (!path.empty()) path = vk::RemoveDotComponents(path);
  while (!path.empty() && path.back() == u'\\') path.pop_back();
  return path;
}

bool IsProtectedFolder(const vk::Streng& folder, const std::vector<vk::Streng>& protectedFolders) {
  const vk::Streng path = NormalizeFolder(folder);
  const size_t root = RootLength(path);
  if (root == 0 || path.size() <= root) return true;
  if (path[root] != u'\\') return true;  // "C:relative"
  for (const vk::Streng& p : protectedFolders) {
    const vk::Streng other = NormalizeFolder(p);
    if (other.empty()) continue;
    if (IsSameOrBelow(other, path)) return true;
  }
  return false;
}

}  // namespace uninstall
