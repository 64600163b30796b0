#include "uninstall/core/self_removal.h"

#include <vector>

#include "lib/format.h"
#include "lib/narrow_path.h"

namespace uninstall {

using vk::Streng;

Streng SelfRemovalText(const SelfRemovalPaths& paths) {
  Streng text = vk::Format(u":Repeat\r\ndel \"%s\"\r\nif exist \"%s\" goto Repeat\r\n", paths.executable,
                           paths.executable);
  text += u"CHOICE /T 3 /D Y\r\n";

  // The subfolder and each of its parents, deepest first; empty components ("a\\b", a leading or
  // trailing backslash) name no folder of their own.
  std::vector<Streng> parts;
  Streng part;
  for (char16_t c : paths.uninstallSubdir) {
    if (c == u'\\' || c == u'/') {
      if (!part.empty()) parts.push_back(std::move(part));
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty()) parts.push_back(std::move(part));
  // A path through "." or ".." may name a folder outside the installation folder; those stay.
  size_t inside = 0;
  while (inside < parts.size() && parts[inside] != u"." && parts[inside] != u"..") ++inside;
  size_t levels = inside;
  for (size_t lines = 0; levels > 0 && lines < kMaxSubfolderLevels; --levels, ++lines) {
    Streng relative;
    for (size_t k = 0; k < levels; ++k) {
      if (k) relative += u'\\';
      relative += parts[k];
    }
    text += vk::Format(u"rd \"%s\"\r\n", vk::JoinPath(paths.installFolder, relative));
  }

  text += vk::Format(u"rd \"%s\"\r\n", paths.installFolder);
  text += vk::Format(u"del \"%s\"\r\n", paths.batchFile);
  return text;
}

vk::String EncodeSelfRemovalBatch(const Streng& text, bool utf8Console) {
  bool ascii = true;
  for (char16_t c : text)
    if (c >= 0x80) ascii = false;
  if (utf8Console && !ascii) return "@chcp 65001 >nul\r\n" + vk::StrengToUtf8(text);
  return "@chcp 1252 >nul\r\n" + vk::StrengToCp1252(text);
}

}  // namespace uninstall
