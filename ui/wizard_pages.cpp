#include "ui/wizard_pages.h"

#include <windows.h>

#include "setup/install_context.h"

namespace ui {

namespace {

bool Page(int prompt, const vk::Streng& value, int title) {
  if (!setup::WindowsAllowed()) return true;
  vk::Streng message = setup::text(prompt);
  if (!value.empty()) message += u"\r\n\r\n" + value;
  return MessageBoxW(nullptr, vk::W(message), vk::W(setup::text(title)),
                     MB_OKCANCEL | MB_ICONQUESTION | MB_SETFOREGROUND) == IDOK;
}

}  // namespace

bool ShowMustUninstall() { return Page(9, {}, 21); }
bool ChooseInstallFolder(vk::Streng& folder) { return Page(11, folder, 24); }
bool ChooseStartMenuFolder(vk::Streng& name) { return Page(88, name, 89); }

}  // namespace ui
