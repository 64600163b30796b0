#include "setup/engine_macros.h"

#include "setup/install_context.h"
#include "setup/os_facts.h"
#include "setup/system_folders.h"

namespace setup {

namespace {

vk::Streng DescribeSystem(unsigned flags) { return vk::AnsiToStreng(DescribeOperatingSystem(flags)); }

void Refresh(MacroContext& m) {
  const InstallContext& c = Context();
  const InstallSettings& s = c.settings;
  m.automaticMode = c.automaticMode;
  m.Bitness = s.Bitness;
  m.ShortcutMode = s.ShortcutMode;
  m.portable = c.portable;
  m.ProductFlags = s.ProductFlags;
  m.productName = s.ProductName;
  m.productDescription = s.ProductDescription;
  m.companyName = s.Publisher;
  m.version = s.DisplayVersion;
  m.oldVersion = c.previousVersion;
  m.installDir = c.installDir;
  m.sharedDir = c.sharedDir;
  m.UninstallSubdir = s.UninstallSubdir;
  m.startMenuFolder = c.startMenuFolder;
  m.DesktopFolder = s.DesktopFolder;
  m.describeOperatingSystem = &DescribeSystem;
}

}  // namespace

const MacroValues& EngineMacroValues() {
  static MacroContext context;
  static SystemMacroValues values(context);
  Refresh(context);
  return values;
}

vk::Streng ExpandMacros(const vk::Streng& text) {
  vk::Streng out = text;
  ExpandMacros(out, EngineMacroValues());
  return out;
}

vk::Streng ExpandMacrosForFormat(const vk::Streng& text) {
  vk::Streng out = text;
  ExpandMacrosForFormat(out, EngineMacroValues());
  return out;
}

}  // namespace setup
