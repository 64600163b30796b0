#include "lib/narrow_path.h"

#include <vector>

namespace vk {

namespace {

template <class Text>
bool NeedsSeparatorBefore(const Text& folder) {
  return !folder.empty() && folder.back() != ':' && folder.back() != '\\';
}

// Applies the backslash rule: returns the folder to use and appends it plus separator.
template <class Text, class View>
void AppendJoined(Text& out, View folder, View name) {
  if (!name.empty() && name.front() == '\\') {
    if (!folder.empty() && folder.back() == '\\') folder.remove_suffix(1);
    out.append(folder);
  } else {
    out.append(folder);
    if (NeedsSeparatorBefore(folder)) out += '\\';
  }
  out.append(name);
}

}  // namespace

String EncodeNarrowPath(std::u16string_view wide) {
  for (char16_t c : wide) {
    if (c >= 0x80) {
      String out = "|";
      out += StrengToUtf8(wide);
      return out;
    }
  }
  return String(wide.begin(), wide.end());
}

Streng DecodeNarrowPath(std::string_view narrow) {
  if (IsUtf8NarrowPath(narrow)) return Utf8ToStreng(narrow.substr(1));
  return AnsiToStreng(narrow);
}

char NarrowPathDriveLetter(std::string_view narrow) {
  const size_t at = IsUtf8NarrowPath(narrow) ? 1 : 0;
  return at < narrow.size() ? narrow[at] : '\0';
}

String JoinNarrowPath(std::string_view folder, std::string_view name) {
  const bool folderMarked = IsUtf8NarrowPath(folder);
  const bool nameMarked = IsUtf8NarrowPath(name);
  const std::string_view folderText = folderMarked ? folder.substr(1) : folder;
  const std::string_view nameText = nameMarked ? name.substr(1) : name;
  if (nameMarked) {
    const String folderUtf8 =
        folderMarked ? String(folderText) : StrengToUtf8(AnsiToStreng(folderText));
    String out = "|";
    AppendJoined(out, std::string_view(folderUtf8), nameText);
    return out;
  }
  if (folderMarked) {
    const Streng wideFolder = Utf8ToStreng(folderText);
    const Streng wideName = AnsiToStreng(nameText);
    return EncodeNarrowPath(JoinPath(wideFolder, wideName));
  }
  String out;
  AppendJoined(out, folder, name);
  return out;
}

Streng JoinPath(std::u16string_view folder, std::u16string_view name) {
  Streng out;
  out.reserve(folder.size() + name.size() + 1);
  AppendJoined(out, folder, name);
  return out;
}

Streng PathFolder(std::u16string_view path) {
  const size_t cut = path.rfind(u'\\');
  if (cut == std::u16string_view::npos) return {};
  // "\name" and "C:\name" keep the root's backslash.
  if (cut == 0 || (cut == 2 && path[1] == u':')) return Streng(path.substr(0, cut + 1));
  return Streng(path.substr(0, cut));
}

Streng PathFileName(std::u16string_view path) {
  const size_t cut = path.rfind(u'\\');
  return Streng(cut == std::u16string_view::npos ? path : path.substr(cut + 1));
}

Streng RemoveDotComponents(std::u16string_view path) {
  // The root is what ".." may not remove.
  size_t rootEnd = 0;
  auto skipComponents = [&](size_t from, int count) {
    size_t at = from;
    for (int k = 0; k < count && at < path.size(); ++k) {
      const size_t slash = path.find(u'\\', at);
      at = slash == std::u16string_view::npos ? path.size() : slash + 1;
    }
    return at;
  };
  if (path.substr(0, 4) == u"\\\\?\\") {
    if (path.substr(4, 4) == u"UNC\\")
      rootEnd = skipComponents(8, 2);
    else
      rootEnd = skipComponents(4, 1);
  } else if (path.substr(0, 2) == u"\\\\") {
    rootEnd = skipComponents(2, 2);
  } else if (path.size() >= 2 && path[1] == u':') {
    rootEnd = path.size() >= 3 && path[2] == u'\\' ? 3 : 2;
  } else if (!path.empty() && path[0] == u'\\') {
    rootEnd = 1;
  }
  Streng root(path.substr(0, rootEnd));
  const std::u16string_view rest = path.substr(rootEnd);

  std::vector<std::u16string_view> parts;
  bool trailingSlash = false;
  size_t at = 0;
  while (at <= rest.size()) {
    const size_t slash = rest.find(u'\\', at);
    const size_t end = slash == std::u16string_view::npos ? rest.size() : slash;
    const std::u16string_view part = rest.substr(at, end - at);
    const bool last = slash == std::u16string_view::npos;
    if (part == u".") {
      trailingSlash = false;
    } else if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
      trailingSlash = false;
    } else if (!part.empty() || !last) {
      parts.push_back(part);
      trailingSlash = false;
    } else {
      trailingSlash = !parts.empty();
    }
    if (last) break;
    at = slash + 1;
  }
  Streng out = root;
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k) out += u'\\';
    out.append(parts[k]);
  }
  if (trailingSlash) out += u'\\';
  return out;
}

Streng MakeAbsolutePath(std::u16string_view base, std::u16string_view path) {
  const Streng p = Trim(path);
  if (p.empty()) return Streng(base);
  const bool drive = p.size() >= 2 && p[1] == u':';
  if (drive || (p.size() >= 2 && p[0] == u'\\' && p[1] == u'\\')) return p;
  if (!p.empty() && p[0] == u'\\')
    return base.size() >= 2 && base[1] == u':' ? Streng(base.substr(0, 2)) + p : p;
  return JoinPath(base, p);
}

bool IsAbsolutePath(std::u16string_view path) {
  const auto slash = [](char16_t c) { return c == u'\\' || c == u'/'; };
  if (path.size() >= 3 && path[1] == u':' && slash(path[2]))
    return (path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z');
  return path.size() >= 3 && slash(path[0]) && slash(path[1]) && !slash(path[2]);
}

}  // namespace vk
