#include "setup/core/macros.h"

#include <string>
#include <vector>

#include "lib/narrow_path.h"
#include "setup/core/product_flags.h"
#include "setup/core/version_compare.h"

namespace setup {

using vk::Streng;

namespace {

Streng Decimal(uint64_t n) { return vk::AsciiToStreng(std::to_string(n)); }
Streng Flag(bool on) { return on ? Streng(u"1") : Streng(u"0"); }

// The library's join, except that an empty name leaves the folder as it is.
Streng Join(std::u16string_view folder, std::u16string_view name) {
  return name.empty() ? Streng(folder) : vk::JoinPath(folder, name);
}

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// The piece'th part of a split at "."; empty when there are not that many.
Streng VersionPiece(std::u16string_view version, size_t piece) {
  if (version.empty()) return {};
  size_t start = 0;
  for (size_t i = 0; i < piece; ++i) {
    const size_t dot = version.find(u'.', start);
    if (dot == std::u16string_view::npos) return {};
    start = dot + 1;
  }
  const size_t end = version.find(u'.', start);
  return Streng(version.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos
                                                                      : end - start));
}

// The text being expanded, and for the format variant which of its characters came from values.
class Expansion {
public:
  Expansion(Streng& text, bool track) : text_(text), track_(track) {
    if (track_) inserted_.assign(text_.size(), false);
  }

  // Replaces every occurrence of name, searching on behind each inserted value. The value is
  // asked for once, at the first occurrence.
  template <class ValueOf>
  void replaceAll(std::u16string_view name, bool caseSensitive, ValueOf&& valueOf) {
    std::optional<Streng> value;
    size_t pos = 0;
    while (pos + name.size() <= text_.size()) {
      const size_t at = find(name, caseSensitive, pos);
      if (at == Streng::npos) return;
      if (!value) value = valueOf();
      replace(at, name.size(), *value);
      pos = at + value->size();
    }
  }

  // Each %name% pair that names a set variable becomes its value; any other pair stays as it is
  // and the search goes on behind its closing '%'. A lone '%' stays.
  void expandEnvironment(const MacroValues& values) {
    size_t pos = 0;
    while (pos < text_.size()) {
      const size_t open = text_.find(u'%', pos);
      if (open == Streng::npos) return;
      const size_t close = text_.find(u'%', open + 1);
      if (close == Streng::npos) return;
      const std::u16string_view name = std::u16string_view(text_).substr(open + 1, close - open - 1);
      std::optional<Streng> value;
      if (!name.empty() && name.find(u'\0') == std::u16string_view::npos)
        value = values.environment(name);
      if (!value) {
        pos = close + 1;
        continue;
      }
      replace(open, close + 1 - open, *value);
      pos = open + value->size();
    }
  }

  // Doubles every '%' that a value brought in.
  void escapeInserted() {
    Streng out;
    out.reserve(text_.size() + 8);
    for (size_t i = 0; i < text_.size(); ++i) {
      out += text_[i];
      if (text_[i] == u'%' && inserted_[i]) out += u'%';
    }
    text_.swap(out);
  }

private:
  size_t find(std::u16string_view name, bool caseSensitive, size_t from) const {
    if (caseSensitive) return text_.find(name, from);
    const std::u16string_view all(text_);
    for (size_t at = all.find(name[0], from); at != Streng::npos && at + name.size() <= all.size();
         at = all.find(name[0], at + 1)) {
      if (vk::StartsWithNoCase(all.substr(at), name)) return at;
    }
    return Streng::npos;
  }

  void replace(size_t at, size_t length, const Streng& value) {
    text_.replace(at, length, value);
    if (track_) {
      inserted_.erase(inserted_.begin() + at, inserted_.begin() + at + length);
      inserted_.insert(inserted_.begin() + at, value.size(), true);
    }
  }

  Streng& text_;
  bool track_;
  std::vector<bool> inserted_;
};

using Values = const MacroValues&;

Streng ProgramsDir(Values v, int mode) {
  return v.programFiles(NormaliseBitsMode(mode, v.osInfo().windows64, v.process64()));
}
Streng CommonDir(Values v, int mode) {
  return v.commonFiles(NormaliseBitsMode(mode, v.osInfo().windows64, v.process64()));
}

Streng DesktopShortcuts(Values v) {
  const MacroContext& c = v.context();
  const Streng desktop = v.folder(c.ShortcutMode == 1 ? SystemFolder::DesktopAll : SystemFolder::Desktop);
  Streng name = c.DesktopFolder;
  if (name.empty() && ((c.ProductFlags >> flag::DesktopFolderDefault) & 1)) name = c.productName;
  return Join(desktop, name);
}

Streng StartMenuChosen(Values v) {
  const MacroContext& c = v.context();
  return Join(v.folder(c.ShortcutMode == 1 ? SystemFolder::SMProgramsAll : SystemFolder::SMPrograms),
                      c.startMenuFolder);
}

Streng DescribeOs(Values v, unsigned flags) {
  const auto describe = v.context().describeOperatingSystem;
  return describe ? describe(flags) : Streng();
}

struct Macro {
  std::u16string_view name;
  bool caseSensitive;
  Streng (*value)(Values);
};

// The order matters: a macro inside an earlier macro's value is replaced by its later pass.
constexpr Macro kMacros[] = {
    {u"%AppDataAllDir%", false, [](Values v) { return v.folder(SystemFolder::AppDataAll); }},
    {u"%AppDataDir%", false, [](Values v) { return v.folder(SystemFolder::AppData); }},
    {u"%Automatic%", false, [](Values v) { return Flag(v.context().automaticMode); }},
    {u"%Bits%", false, [](Values v) { return Streng(v.osInfo().windows64 ? u"64" : u"32"); }},
    {u"%BootDrive%", false, [](Values v) { return v.folder(SystemFolder::BootDrive); }},
    {u"%CommonDir%", false,
     [](Values v) { return CommonDir(v, v.context().Bitness == 1 ? kBits64 : kBits32); }},
    {u"%CommonDir32%", false, [](Values v) { return CommonDir(v, kBits32); }},
    {u"%CommonDir64%", false, [](Values v) { return CommonDir(v, kBits64); }},
    {u"%DesktopAllDir%", false, [](Values v) { return v.folder(SystemFolder::DesktopAll); }},
    {u"%DesktopDir%", false, [](Values v) { return v.folder(SystemFolder::Desktop); }},
    {u"%DesktopShortcuts%", false, DesktopShortcuts},
    {u"%DeviceDir%", false, [](Values v) { return v.folder(SystemFolder::Device); }},
    {u"%DocumentAllDir%", false, [](Values v) { return v.folder(SystemFolder::DocumentAll); }},
    {u"%DocumentDir%", false, [](Values v) { return v.folder(SystemFolder::Document); }},
    {u"%Existing%", false,
     [](Values v) { return Decimal(unsigned(ExistingCode(v.context().oldVersion, v.context().version))); }},
    {u"%FavoritesAllDir%", false, [](Values v) { return v.folder(SystemFolder::FavoritesAll); }},
    {u"%FavoritesDir%", false, [](Values v) { return v.folder(SystemFolder::Favorites); }},
    {u"%FontDir%", false, [](Values v) { return v.folder(SystemFolder::Fonts); }},
    {u"%Inetpub%", false, [](Values v) { return v.folder(SystemFolder::Inetpub); }},
    {u"%InstallDir%", false, [](Values v) { return v.context().installDir; }},
    {u"%InstallDrive%", false, [](Values v) { return DriveOfPath(v.context().installDir); }},
    {u"%InstallerDir%", false, [](Values v) { return vk::PathFolder(v.installerPath()); }},
    {u"%InstallerDrive%", false, [](Values v) { return DriveOfPath(v.installerPath()); }},
    {u"%InstallerFilename%", false, [](Values v) { return vk::PathFileName(v.installerPath()); }},
    {u"%InstallerFilepath%", false, [](Values v) { return v.installerPath(); }},
    {u"%MediaDir%", false, [](Values v) { return v.folder(SystemFolder::Media); }},
    {u"%OldVersion%", false, [](Values v) { return v.context().oldVersion; }},
    {u"%OldVersionMajor%", true, [](Values v) { return VersionPiece(v.context().oldVersion, 0); }},
    {u"%OldVersionMinor%", true, [](Values v) { return VersionPiece(v.context().oldVersion, 1); }},
    {u"%Portable%", false, [](Values v) { return Flag(v.context().portable); }},
    {u"%ProductName%", false, [](Values v) { return v.context().productName; }},
    {u"%CompanyName%", false, [](Values v) { return v.context().companyName; }},
    {u"%ProgramsDir%", false,
     [](Values v) { return ProgramsDir(v, v.context().Bitness == 1 ? kBits64 : kBits32); }},
    {u"%ProgramsDir32%", false, [](Values v) { return ProgramsDir(v, kBits32); }},
    {u"%ProgramsDir64%", false, [](Values v) { return ProgramsDir(v, kBits64); }},
    {u"%SharedDir%", false, [](Values v) { return v.context().sharedDir; }},
    {u"%SMProgramsAllDir%", false, [](Values v) { return v.folder(SystemFolder::SMProgramsAll); }},
    {u"%SMProgramsDir%", false, [](Values v) { return v.folder(SystemFolder::SMPrograms); }},
    {u"%StartMenuAllDir%", false, [](Values v) { return v.folder(SystemFolder::StartMenuAll); }},
    {u"%StartMenuChosen%", false, StartMenuChosen},
    {u"%StartMenuDir%", false, [](Values v) { return v.folder(SystemFolder::StartMenu); }},
    {u"%StartupAllDir%", false, [](Values v) { return v.folder(SystemFolder::StartupAll); }},
    {u"%StartupDir%", false, [](Values v) { return v.folder(SystemFolder::Startup); }},
    {u"%SystemDir%", false, [](Values v) { return v.folder(SystemFolder::System); }},
    {u"%Temp%", false, [](Values v) { return v.tempFolder(); }},
    {u"%UninstallDir%", false,
     [](Values v) { return Join(v.context().installDir, v.context().UninstallSubdir); }},
    {u"%Version%", false, [](Values v) { return v.context().version; }},
    {u"%WinDir%", false, [](Values v) { return v.folder(SystemFolder::Windows); }},
    {u"%OS%", false, [](Values v) { return Decimal(unsigned(OperatingSystemCode(v.osInfo()))); }},
    {u"%OSMajor%", false, [](Values v) { return Decimal(v.osInfo().major); }},
    {u"%OSMinor%", false, [](Values v) { return Decimal(v.osInfo().minor); }},
    {u"%OSName%", false, [](Values v) { return DescribeOs(v, 4); }},
    {u"%OSDescription%", false, [](Values v) { return DescribeOs(v, 0); }},
    {u"%OSServer%", false, [](Values v) { return Flag(IsServerProductType(v.osInfo().productType)); }},
};

void Expand(Streng& text, const MacroValues& values, bool forFormat) {
  // Every macro and every environment variable needs a '%'.
  if (text.find(u'%') == Streng::npos) return;
  Expansion work(text, forFormat);
  for (const Macro& m : kMacros)
    work.replaceAll(m.name, m.caseSensitive, [&] { return m.value(values); });
  work.expandEnvironment(values);
  if (forFormat) work.escapeInserted();
}

}  // namespace

int OperatingSystemCode(const OsInfo& os) {
  if (!os.ntPlatform) return 0;
  const bool workstation = os.productType == 1;
  const uint32_t version = os.major * 100 + (os.minor < 100 ? os.minor : 99);
  switch (version) {
    case 501: return 20;
    case 502:
      if (os.homeServer52) return 28;
      if (workstation) return os.windows64 ? 24 : 20;
      return os.serverR252 ? 26 : 22;
    case 600: return workstation ? 30 : 32;
    case 601:
      if (os.productInfo == kProductHomeServer2011) return 38;
      return workstation ? 36 : 34;
    case 602: return workstation ? 40 : 42;
    case 603: return workstation ? 44 : 46;
    case 604: return 48;
    case 1000:
      if (workstation) return os.build < 21996 ? 48 : 56;
      return os.build < 17733 ? 50 : os.build < 20298 ? 52 : 60;
    default: return 0;
  }
}

int NormaliseBitsMode(int mode, bool windows64, bool process64) {
  if (!windows64) return kBitsNative;
  if (mode == kBits64 || mode == kBits64IfAny) return kBits64;
  if (mode == kBits32 && process64) return kBits32;
  return kBitsNative;
}

void ExpandMacros(Streng& text, const MacroValues& values) { Expand(text, values, false); }

void ExpandMacrosForFormat(Streng& text, const MacroValues& values) { Expand(text, values, true); }

std::optional<Streng> MacroValue(std::u16string_view name, const MacroValues& values) {
  for (const Macro& m : kMacros) {
    const std::u16string_view bare = m.name.substr(1, m.name.size() - 2);
    if (bare == name) return m.value(values);
  }
  return std::nullopt;
}

void ExpandPlaceholders(Streng& text, std::u16string_view productName, std::u16string_view description,
                        std::u16string_view windowsDir) {
  if (text.find(u'<') == Streng::npos) return;
  Expansion work(text, false);
  work.replaceAll(u"<product>", false, [&] { return Streng(productName); });
  work.replaceAll(u"<description>", false, [&] { return Streng(description); });
  work.replaceAll(u"<os>", false, [&] { return Streng(windowsDir); });
}

void ExpandPlaceholders(Streng& text, const MacroValues& values) {
  if (text.find(u'<') == Streng::npos) return;
  const MacroContext& c = values.context();
  // The Windows folder is looked up only when "<os>" is there.
  Expansion work(text, false);
  work.replaceAll(u"<product>", false, [&] { return c.productName; });
  work.replaceAll(u"<description>", false, [&] { return c.productDescription; });
  work.replaceAll(u"<os>", false, [&] { return values.folder(SystemFolder::Windows); });
}

void ExpandFilePlaceholder(Streng& command, std::u16string_view filePath) {
  Expansion work(command, false);
  work.replaceAll(u"<file>", true, [&] { return Streng(filePath); });
}

Streng TrimRegistryFolder(Streng value) {
  if (value.size() >= 4 && value.back() == u'\\') value.pop_back();
  return value;
}

Streng ParentPath(std::u16string_view path) {
  const size_t cut = path.rfind(u'\\');
  return cut == std::u16string_view::npos ? Streng() : Streng(path.substr(0, cut));
}

Streng BootDriveFromValue(std::u16string_view bootDir) {
  if (bootDir.size() >= 2 && bootDir[1] == u':' && IsAsciiLetter(bootDir[0])) {
    Streng out(1, bootDir[0] >= u'a' ? char16_t(bootDir[0] - 32) : bootDir[0]);
    return out + u":";
  }
  return u"C:";
}

Streng DeviceDirFromValue(std::u16string_view devicePath, std::u16string_view systemRoot) {
  Streng out(devicePath.substr(0, devicePath.find(u';')));
  constexpr std::u16string_view kSystemRoot = u"%SystemRoot%";
  if (systemRoot.empty()) return out;
  for (size_t at = 0; at + kSystemRoot.size() <= out.size(); ++at) {
    if (vk::StartsWithNoCase(std::u16string_view(out).substr(at), kSystemRoot)) {
      out.replace(at, kSystemRoot.size(), systemRoot);
      break;
    }
  }
  return out;
}

Streng InetpubFromWebRoot(std::u16string_view webRoot) {
  Streng out(webRoot);
  if (!out.empty() && out.back() == u'\\') out.pop_back();
  const size_t cut = out.rfind(u'\\');
  out.resize(cut == Streng::npos ? 0 : cut);
  if (!out.empty() && out.back() == u'\\') out.pop_back();
  return out;
}

Streng WithoutX86(std::u16string_view path) {
  Streng out(path);
  const size_t at = out.find(u" (x86)");
  if (at != Streng::npos) out.erase(at, 6);
  return out;
}

Streng DriveOfPath(std::u16string_view path) {
  if (path.size() < 2 || path[1] != u':' || !IsAsciiLetter(path[0])) return {};
  Streng out(1, path[0] >= u'a' ? char16_t(path[0] - 32) : path[0]);
  return out + u":";
}

int ExistingCode(std::u16string_view oldVersion, std::u16string_view version) {
  if (oldVersion.empty()) return 0;
  const int order = CompareProductVersion(oldVersion, version);
  return order == 0 ? 1 : order < 0 ? 2 : 3;
}

}  // namespace setup
