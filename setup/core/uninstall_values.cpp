#include "setup/core/uninstall_values.h"

#include <charconv>
#include <cmath>

#include "lib/format.h"
#include "setup/core/product_flags.h"

namespace setup {

namespace {

constexpr uint32_t kMaxDword = 0xFFFFFFFFu;

class ValueList {
public:
  explicit ValueList(std::vector<RegValueOp>& ops) : ops_(ops) {}

  void wide(std::u16string_view name, const vk::Streng& data, bool dropEmpty = false, const vk::Streng& key = {}) {
    if (dropEmpty && data.empty()) return remove(name, key);
    RegValueOp op = make(name, RegValueKind::Wide, key);
    op.wide = data;
    ops_.push_back(std::move(op));
  }
  void expand(std::u16string_view name, const vk::Streng& data, const vk::Streng& key) {
    if (data.empty()) return remove(name, key);
    RegValueOp op = make(name, RegValueKind::Expand, key);
    op.wide = data;
    ops_.push_back(std::move(op));
  }
  void ansi(std::u16string_view name, const vk::String& data, bool dropEmpty = false) {
    if (dropEmpty && data.empty()) return remove(name, {});
    RegValueOp op = make(name, RegValueKind::Ansi, {});
    op.text = data;
    ops_.push_back(std::move(op));
  }
  void dword(std::u16string_view name, uint32_t value, bool dropEmpty = false, const vk::Streng& key = {}) {
    if (dropEmpty && value == 0) return remove(name, key);
    RegValueOp op = make(name, RegValueKind::Dword, key);
    op.number = value;
    ops_.push_back(std::move(op));
  }
  void qword(std::u16string_view name, uint64_t value) {
    RegValueOp op = make(name, RegValueKind::Qword, {});
    op.number = value;
    ops_.push_back(std::move(op));
  }
  void remove(std::u16string_view name, const vk::Streng& key) { ops_.push_back(make(name, RegValueKind::Delete, key)); }

private:
  static RegValueOp make(std::u16string_view name, RegValueKind kind, const vk::Streng& key) {
    RegValueOp op;
    op.key = key;
    op.name = vk::Streng(name);
    op.kind = kind;
    return op;
  }
  std::vector<RegValueOp>& ops_;
};

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Leading digits as a number, capped at the DWORD range; 0 when the text does not start with one.
uint32_t LeadingNumber(std::u16string_view text) {
  uint64_t value = 0;
  for (char16_t c : text) {
    if (!IsDigit(c)) break;
    value = value * 10 + uint32_t(c - u'0');
    if (value > kMaxDword) return kMaxDword;
  }
  return uint32_t(value);
}

std::u16string_view TrimLeft(std::u16string_view text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  return text;
}

vk::String ColourText(uint32_t colour) {
  return vk::Format("%02X%02X%02X", unsigned(colour & 0xFF), unsigned((colour >> 8) & 0xFF),
                    unsigned((colour >> 16) & 0xFF));
}

}  // namespace

vk::Streng UninstallCommand(const vk::Streng& uninstallerPath, const vk::Streng& uninstallName, bool quiet) {
  return u"\"" + uninstallerPath + (quiet ? u"\" /a " : u"\" ") + u"/u:\"" + uninstallName + u"\"";
}

bool SplitVersion(std::u16string_view version, uint32_t& major, uint32_t& minor) {
  const size_t dot = version.find(u'.');
  if (dot == std::u16string_view::npos) return false;
  major = LeadingNumber(TrimLeft(version.substr(0, dot)));
  minor = LeadingNumber(version.substr(dot + 1));
  return true;
}

vk::String DecimalText(double value) {
  if (!std::isfinite(value)) return "0";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (result.ec != std::errc()) return vk::Format("%.17g", value);
  return vk::String(buffer, result.ptr);
}

uint32_t ParseDecimalDword(std::u16string_view text) {
  text = TrimLeft(text);
  bool negative = false;
  if (!text.empty() && (text.front() == u'-' || text.front() == u'+')) {
    negative = text.front() == u'-';
    text.remove_prefix(1);
  }
  const uint32_t value = LeadingNumber(text);
  return negative ? uint32_t(0u - value) : value;
}

int BuildUninstallValues(const UninstallValueInputs& in, std::vector<RegValueOp>& ops) {
  ops.clear();
  const InstallSettings& s = *in.settings;

  // A damaged custom list stops the run before anything is written.
  for (const UninstallValue& v : in.customValues)
    if (v.type != 1 && v.type != 2 && v.type != 4) return kErrUninstallValueType;

  ValueList list(ops);
  list.wide(u"UninstallString", UninstallCommand(in.uninstallerPath, in.uninstallName, false));
  list.wide(u"QuietUninstallString", UninstallCommand(in.uninstallerPath, in.uninstallName, true));
  list.wide(u"DisplayName", s.ProductName);
  list.wide(u"InstallSource", in.setupPath);
  list.wide(u"Publisher", s.Publisher, true);
  list.dword(u"Bitness", s.Bitness);
  list.ansi(u"DisplayVersion", s.DisplayVersion8(), true);
  list.ansi(u"NoDowngradeBelow", s.NoDowngradeBelow, true);
  if (!in.productIconPath.empty()) list.wide(u"DisplayIcon", in.productIconPath);
  uint32_t major = 0, minor = 0;
  if (SplitVersion(s.DisplayVersion, major, minor)) {
    list.dword(u"VersionMajor", major);
    list.dword(u"VersionMinor", minor);
  }
  list.wide(u"ProductRegistry", s.ProductRegistry, true);
  list.wide(u"ProductStartMenu", in.startMenuFolder, true);
  list.wide(u"SharedPath", in.sharedFolder, true);
  list.ansi(u"ProductFonts", in.productFonts, true);
  list.ansi(u"ProductFlags", vk::Format("%lld", static_cast<long long>(s.ProductFlags)));
  list.ansi(u"ProductFlags2", vk::Format("%u", in.ProductFlags2));
  list.ansi(u"UninstallBatch1", s.UninstallBatch1, true);
  list.ansi(u"UninstallBatch2", s.UninstallBatch2, true);
  list.ansi(u"SharedFiles", in.sharedFiles, true);
  list.wide(u"UninstallSubdir", s.UninstallSubdir, true);
  list.wide(u"AddToPathSubfolder", s.AddToPathSubfolder, true);
  // Only the all-users mode is kept; any other mode reads back as the user's own folders.
  list.dword(u"ShortcutMode", s.ShortcutMode == 1 ? 1 : 0, true);
  list.ansi(u"NotifyURL", s.NotifyURL, true);
  list.ansi(u"SupportOffer", s.SupportOffer, true);
  list.wide(u"DesktopFolder", s.DesktopFolder, true);
  const uint64_t kilobytes = in.installedBytes / 1024;
  if (kilobytes >= 1 && kilobytes <= kMaxDword)
    list.dword(u"EstimatedSize", uint32_t(kilobytes));
  else
    list.remove(u"EstimatedSize", {});
  list.wide(u"DisplayTitle", s.InstallerTitle);
  list.dword(u"TitleColor", s.TitleColor);
  list.ansi(u"TitleSize", DecimalText(s.TitleSize));
  list.dword(u"TopColor", s.TopColor);
  if (s.MonoColor())
    list.remove(u"BottomColor", {});
  else
    list.dword(u"BottomColor", s.BottomColor);
  list.dword(u"MonoColor", s.MonoColor() ? 1 : 0);
  list.dword(u"TitleShadow", s.TitleShadow);
  list.dword(u"TitlePosition", s.TitlePosition);
  list.ansi(u"TitleFont", s.TitleFont);
  list.wide(u"TaskbarText", s.TaskbarText);
  list.wide(u"CopyrightText", s.CopyrightText);
  list.ansi(u"CopyrightFont", s.CopyrightFont);
  list.ansi(u"CopyrightSize", DecimalText(s.CopyrightSize));
  list.ansi(u"CopyrightColor", ColourText(s.CopyrightColor));
  list.dword(u"CopyrightPos", s.CopyrightPos);
  list.qword(u"Session", in.sessionNumber);
  const bool bitmap = s.hasFlag(flag::BackgroundBitmap) && !s.BackgroundBitmap.empty();
  if (bitmap) {
    list.dword(u"BitmapSize", uint32_t(s.BitmapSize));
    if (s.BitmapTPI == -1)
      list.remove(u"BitmapTPI", {});
    else
      list.dword(u"BitmapTPI", uint32_t(s.BitmapTPI));
    list.dword(u"StretchMode", uint32_t(s.StretchMode));
  } else {
    list.remove(u"BitmapSize", {});
    list.remove(u"BitmapTPI", {});
    list.remove(u"StretchMode", {});
  }

  for (const UninstallValue& v : in.customValues) {
    // A name with a backslash is a full key path and a value name in that key.
    const vk::Streng name = vk::AnsiToStreng(v.name);
    const size_t slash = name.rfind(u'\\');
    const vk::Streng key = slash == vk::Streng::npos ? vk::Streng() : name.substr(0, slash);
    const vk::Streng valueName = slash == vk::Streng::npos ? name : name.substr(slash + 1);
    switch (v.type) {
      case 1: list.wide(valueName, v.data, true, key); break;
      case 2: list.expand(valueName, v.data, key); break;
      default: list.dword(valueName, ParseDecimalDword(v.data), true, key); break;
    }
    ops.back().custom = true;
  }

  list.wide(u"InstallLocation", in.installFolder);
  list.ansi(u"InstallDate", in.installDate);
  return 0;
}

}  // namespace setup
