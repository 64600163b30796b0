#include "uninstall/core/uninstall_plan.h"

#include <algorithm>

#include "lib/narrow_path.h"
#include "uninstall/core/protected_folders.h"

namespace uninstall {

namespace {

std::u16string_view WithoutTrailingSlashes(std::u16string_view path) {
  while (!path.empty() && (path.back() == u'\\' || path.back() == u'/')) path.remove_suffix(1);
  return path;
}

}  // namespace

std::vector<vk::Streng> FoldersDeepestFirst(std::vector<vk::Streng> folders) {
  std::stable_sort(folders.begin(), folders.end(),
                   [](const vk::Streng& a, const vk::Streng& b) { return a.size() > b.size(); });
  return folders;
}

bool IsInsideFolder(std::u16string_view path, std::u16string_view folder) {
  path = WithoutTrailingSlashes(path);
  folder = WithoutTrailingSlashes(folder);
  if (folder.empty() || path.size() <= folder.size() + 1) return false;
  return vk::StartsWithNoCase(path, folder) && (path[folder.size()] == u'\\' || path[folder.size()] == u'/');
}

int FilePassProgress(size_t done, size_t total) {
  if (total == 0) return 11;
  done = std::min(done, total);
  return 11 + int(81 * uint64_t(done) / uint64_t(total));
}

bool IsSupportLink(std::u16string_view text) {
  const vk::Streng link = vk::Trim(text);
  for (std::u16string_view scheme : {u"http://", u"https://"})
    if (link.size() > scheme.size() && vk::StartsWithNoCase(link, scheme))
      return link.find_first_of(u" \t\r\n\"<>") == vk::Streng::npos;
  return false;
}

std::vector<vk::Streng> FoldersToCheckForLinks(std::u16string_view path, const std::vector<vk::Streng>& productFolders,
                                               bool pathIsFolder) {
  const vk::Streng target = NormalizeFolder(path);
  vk::Streng anchor;
  for (const vk::Streng& folder : productFolders) {
    const vk::Streng f = NormalizeFolder(folder);
    if (!f.empty() && f.size() > anchor.size() && IsInsideFolder(target, f)) anchor = f;
  }
  std::vector<vk::Streng> folders;
  if (anchor.empty()) return folders;
  vk::Streng current = pathIsFolder ? target : vk::PathFolder(target);
  while (IsInsideFolder(current, anchor)) {
    folders.push_back(current);
    current = vk::PathFolder(current);
  }
  std::reverse(folders.begin(), folders.end());
  return folders;
}

UninstallEnding EndOfUninstall(bool restartAtEnd, bool productQuiet, bool automaticMode, bool hasProgram) {
  UninstallEnding ending;
  ending.runProgram = hasProgram;
  if (restartAtEnd && !automaticMode && !hasProgram)
    ending.restart = productQuiet ? UninstallRestart::Now : UninstallRestart::Ask;
  return ending;
}

}  // namespace uninstall
