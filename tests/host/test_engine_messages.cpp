#include <gtest/gtest.h>

#include "setup/core/engine_messages.h"

namespace {

std::string U8(const vk::Streng& s) { return vk::StrengToUtf8(s); }

TEST(EngineMessages, CorruptInstallerMessage) {
  const std::string builtIn =
      "This installation program is corrupt.  This is usually caused by a faulty download, but it "
      "can also be caused by a virus on your computer.  The installation cannot proceed.\r\n\r\n"
      "Delete the corrupted installer (to prevent caching), then re-download it.  If the problem "
      "persists, check your system for viruses.\r\n\r\nError code: ";
  EXPECT_EQ(builtIn + "25", U8(setup::CorruptInstallerMessage(25, u"", 0, u"ignored")));
  EXPECT_EQ(builtIn + "9\r\nSystem error, code 2: The system cannot find the file specified.",
            U8(setup::CorruptInstallerMessage(9, u"", 2, u"The system cannot find the file specified.")));
  // The language text is the format; a surplus or unknown conversion stays as it stands.
  EXPECT_EQ("Kaputt (40) %s 100%", U8(setup::CorruptInstallerMessage(40, u"Kaputt (%d) %s 100%", 0, u"")));
  EXPECT_EQ(builtIn + "1\r\nSystem error, code -2147467259: Unspecified error",
            U8(setup::CorruptInstallerMessage(1, u"", 0x80004005, u"Unspecified error")));
}

TEST(EngineMessages, NotInstalledAndBlankText) {
  EXPECT_EQ("No product named '100% %s' is installed.", U8(setup::NotInstalledMessage(u"100% %s")));
  EXPECT_TRUE(setup::IsBlankText(u""));
  EXPECT_TRUE(setup::IsBlankText(u" \t\r\n"));
  EXPECT_FALSE(setup::IsBlankText(u" x "));
}

}  // namespace
