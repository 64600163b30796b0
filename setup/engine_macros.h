#pragma once
// The engine's macro expansion: the one expansion over the installation context and the system as
// they stand at the moment of the call.
#include "lib/strings.h"
#include "setup/core/macros.h"

namespace setup {

vk::Streng ExpandMacros(const vk::Streng& text);
// For texts used as formats: every "%" that a value brings in is doubled.
vk::Streng ExpandMacrosForFormat(const vk::Streng& text);

// The values behind the expansion, taken from the context now.
const MacroValues& EngineMacroValues();

}  // namespace setup
