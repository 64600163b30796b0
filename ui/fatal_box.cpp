#include "ui/fatal_box.h"

#include <windows.h>

#include "lib/fatal.h"
#include "lib/format.h"
#include "setup/install_context.h"

namespace ui {

void ShowFatalError(const vk::Streng& text) {
  if (!setup::WindowsAllowed()) return;
  vk::Streng caption = vk::Format(u"FATAL ERROR - %s", setup::kEngineTitle);
  MessageBoxW(nullptr, vk::W(text), vk::W(caption), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

namespace {

// Registered while the static objects are built, so that a wide fatal error anywhere after that,
// even before the entry runs, gets its box.
struct Registration {
  Registration() {
    setup::Context();  // built here, on the starting thread
    vk::SetFatalErrorHandler(&ShowFatalError);
  }
};
const Registration registration;

}  // namespace

}  // namespace ui
