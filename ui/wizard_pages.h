#pragma once
// The wizard pages that the installation's folder decisions call. Until the dialog templates are
// in place each page is a message box that shows its prompt and the proposed value and lets the
// user go on (OK) or cancel; without windows (silent mode) a page takes its default, go on.
#include "lib/strings.h"

namespace ui {

// The earlier installation must be removed first: true when the user agrees.
bool ShowMustUninstall();

// The installation folder page; folder holds the proposal and receives the choice. False: cancelled.
bool ChooseInstallFolder(vk::Streng& folder);

// The Start Menu folder page, the same way.
bool ChooseStartMenuFolder(vk::Streng& name);

}  // namespace ui
