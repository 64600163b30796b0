#pragma once
// The product's uninstall registry entry as the uninstaller reads it: the settings that the
// installation stored there, read with bounds, each with the uninstaller's default.
#include <cstdint>
#include <optional>

#include "lib/strings.h"

typedef struct HKEY__* HKEY;

namespace uninstall {

inline constexpr char16_t kUninstallRoot[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The background window's look, stored by the installation for the uninstaller's window.
struct BackgroundLook {
  vk::Streng DisplayTitle, TaskbarText, CopyrightText;
  vk::String TitleFont, TitleSize, CopyrightFont, CopyrightSize, CopyrightColor;
  uint32_t TitleColor = 0, TopColor = 0, BottomColor = 0, MonoColor = 0;
  uint32_t TitleShadow = 0, TitlePosition = 0, CopyrightPos = 0;
  std::optional<uint32_t> BitmapSize, BitmapTPI, StretchMode;
};

struct ProductSettings {
  vk::Streng DisplayName;
  vk::Streng InstallLocation;
  uint64_t ProductFlags = 0;
  uint32_t ProductFlags2 = 0;
  uint32_t Bitness = 0;
  vk::String DisplayVersion;
  vk::Streng UninstallSubdir;
  vk::Streng AddToPathSubfolder;
  vk::String ProductFonts;
  uint32_t ShortcutMode = 0;
  vk::String NotifyURL;
  uint64_t Session = 0;
  vk::Streng DesktopFolder;  // the folder name as stored
  vk::Streng SharedPath;
  vk::Streng ProductStartMenu;
  vk::String UninstallBatch1, UninstallBatch2;
  vk::String SharedFiles;
  vk::Streng ProductRegistry;
  vk::String SupportOffer;
  BackgroundLook look;

  bool flag(int bit) const { return bit >= 0 && bit < 64 && ((ProductFlags >> bit) & 1); }
  bool flag2(int bit) const { return bit >= 0 && bit < 32 && ((ProductFlags2 >> bit) & 1); }
};

// Values longer than this are taken as absent: no installation writes one that long.
inline constexpr uint32_t kMaxValueBytes = 4u << 20;

vk::Streng ReadWideValue(HKEY key, const wchar_t* name);
vk::String ReadAnsiValue(HKEY key, const wchar_t* name);  // as the ANSI code page holds it
std::optional<uint32_t> ReadDwordValue(HKEY key, const wchar_t* name);
std::optional<uint64_t> ReadQwordValue(HKEY key, const wchar_t* name);

// Decimal text of a signed 64-bit number, as the installation writes ProductFlags; 0 when it
// does not parse.
uint64_t ParseDecimal64(std::u16string_view text);

// Every value of the entry, DisplayName defaulting to the name the run was given.
ProductSettings ReadProductSettings(HKEY key, const vk::Streng& givenName);

}  // namespace uninstall
