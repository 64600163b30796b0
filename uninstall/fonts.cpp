#include "uninstall/fonts.h"

#include <windows.h>

#include "lib/format.h"
#include "lib/narrow_path.h"
#include "lib/win32/fileops.h"
#include "lib/win32/handle.h"
#include "setup/core/product_flags.h"
#include "setup/system_folders.h"
#include "uninstall/core/fonts.h"

namespace uninstall {

int RemoveFonts(const vk::String& productFonts, StepContext& run) {
  const std::vector<ProductFont> fonts = ParseProductFonts(productFonts);
  if (fonts.empty()) return 0;
  const bool ask = run.ProductFlag(setup::flag::UninstallAsksForFonts) && !run.Quiet();
  const vk::Streng fontsFolder = setup::FolderPath(setup::SystemFolder::Fonts);
  vk::RegKey fontsKey;
  RegOpenKeyExW(HKEY_LOCAL_MACHINE, kFontsKey, 0, KEY_SET_VALUE, fontsKey.put());

  int removed = 0;
  for (const ProductFont& font : fonts) {
    if (ask && !run.AskYesNo(vk::Format(std::u16string_view(run.Text(56)), font.valueName), run.Text(57))) continue;
    bool any = false;
    if (fontsKey && !font.valueName.empty())
      any |= RegDeleteValueW(fontsKey.get(), vk::W(font.valueName)) == ERROR_SUCCESS;
    // Only a file of the Fonts folder is deleted, whatever folder the list names.
    const vk::Streng name = vk::PathFileName(vk::Trim(font.file));
    if (!name.empty() && name != u"." && name != u".." && !fontsFolder.empty()) {
      const vk::Streng path = vk::JoinPath(fontsFolder, name);
      // The resource may have been added under the file name alone.
      if (RemoveFontResourceW(vk::W(path)) || RemoveFontResourceW(vk::W(name))) any = true;
      if (vk::IsFile(path) && vk::DeleteFileEx(path, vk::FallBackToReboot)) any = true;
    }
    if (any) ++removed;
  }
  return removed;
}

}  // namespace uninstall
