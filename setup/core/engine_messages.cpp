#include "setup/core/engine_messages.h"

#include "lib/format.h"

namespace setup {

vk::Streng CorruptInstallerMessage(int code, const vk::Streng& languageText, unsigned long systemError,
                                   const vk::Streng& systemErrorText) {
  static constexpr char16_t kBuiltIn[] =
      u"This installation program is corrupt.  This is usually caused by a faulty download, but it "
      u"can also be caused by a virus on your computer.  The installation cannot proceed.\r\n\r\n"
      u"Delete the corrupted installer (to prevent caching), then re-download it.  If the problem "
      u"persists, check your system for viruses.\r\n\r\nError code: %d";
  std::u16string_view format = languageText.empty() ? std::u16string_view(kBuiltIn) : languageText;
  vk::Streng message = vk::Format(format, code);
  if (systemError != 0)
    message += vk::Format(u"\r\nSystem error, code %d: %s", static_cast<unsigned>(systemError), systemErrorText);
  return message;
}

vk::Streng NotInstalledMessage(const vk::Streng& productName) {
  return vk::Format(u"No product named '%s' is installed.", productName);
}

bool IsBlankText(std::u16string_view text) { return vk::Trim(text).empty(); }

}  // namespace setup
