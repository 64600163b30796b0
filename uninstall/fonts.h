#pragma once
// Removes the fonts the installation registered.
#include "lib/strings.h"
#include "uninstall/step_context.h"

namespace uninstall {

inline constexpr const wchar_t* kFontsKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// For each font of the ProductFonts list: with ProductFlags bit 4 and not quiet, asks first
// (text 56 with the value name, caption text 57; No keeps the font). Then deletes the value
// under HKLM kFontsKey, removes the font resource and deletes the file from the Fonts folder
// (only the file name counts: the file is never taken from another folder; a file still held
// goes at the next restart). Returns how many fonts were removed; the caller broadcasts
// WM_FONTCHANGE when it is not 0 and clears the ProductFonts value.
int RemoveFonts(const vk::String& productFonts, StepContext& run);

}  // namespace uninstall
