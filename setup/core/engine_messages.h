#pragma once
// Built-in texts of the engine's start-up and error paths, and the messages made from them.
#include "lib/strings.h"

namespace setup {

inline constexpr char kNoSetupDataText[] =
    "This program performs installations and uninstallations.\r\n"
    "There is no installation data present.\r\n"
    "No uninstallation parameters were specified.\r\n\r\n"
    "You should not delete this program or execute it directly.";

// The corrupt-installer message: languageText (text 13) or the built-in text, formatted with the
// code; with a system error other than 0 its code and text follow.
vk::Streng CorruptInstallerMessage(int code, const vk::Streng& languageText, unsigned long systemError,
                                   const vk::Streng& systemErrorText);

vk::Streng NotInstalledMessage(const vk::Streng& productName);

// True when the text is empty or only white space: such a text shows no box.
bool IsBlankText(std::u16string_view text);

}  // namespace setup
