#include <gtest/gtest.h>

#include <set>
#include <string>

#include "setup/core/launch_options.h"

namespace {

using vk::Streng;

std::string Show(std::u16string_view s) { return vk::StrengToUtf8(s); }

TEST(LaunchOptions, ShowStateAndCreationFlags) {
  struct Case {
    uint32_t options;
    bool given;
    uint16_t show;
    uint32_t flags;
  } cases[] = {
      {0x000, false, 0, 0x20},
      {0x010, true, 0, 0x20},   // hidden
      {0x020, true, 3, 0x20},   // maximised
      {0x040, true, 6, 0x20},   // minimised
      {0x030, true, 3, 0x20},   // maximised wins over hidden
      {0x060, true, 3, 0x20},   // and over minimised
      {0x070, true, 3, 0x20},
      {0x050, true, 6, 0x20},   // minimised wins over hidden
      {0x002, false, 0, 0x30},  // new console, normal priority
      {0x004, false, 0, 0x40},  // idle
      {0x008, false, 0, 0x80},  // high
      {0x00C, false, 0, 0x80},  // high wins over idle
      {0x01E, true, 0, 0x90},
      // Waiting, the error box, pumping, inheritance and the program folder change neither.
      {0xB81, false, 0, 0x20},
  };
  for (const Case& c : cases) {
    const setup::ShowState s = setup::LaunchShowState(c.options);
    EXPECT_EQ(s.given, c.given) << std::hex << c.options;
    if (c.given) {
      EXPECT_EQ(s.show, c.show) << std::hex << c.options;
    }
    EXPECT_EQ(setup::LaunchCreationFlags(c.options), c.flags) << std::hex << c.options;
  }
}

// The working folder of the program-folder option is the program's folder, not the folder of a
// path among the arguments.
TEST(LaunchOptions, ProgramFolderOfACommandLine) {
  const std::set<Streng> files = {u"C:\\Program Files\\App\\app.exe", u"C:\\Tools\\run.exe"};
  const auto exists = [&](const Streng& path) { return files.count(path) > 0; };
  struct Case {
    const char16_t *commandLine, *program, *folder;
  } cases[] = {
      {u"\"C:\\Program Files\\App\\app.exe\" -x \"D:\\data\\f.txt\"", u"C:\\Program Files\\App\\app.exe",
       u"C:\\Program Files\\App"},
      {u"C:\\Tools\\run.exe D:\\data\\file.txt", u"C:\\Tools\\run.exe", u"C:\\Tools"},
      // Unquoted with spaces: as the system finds it, the first stretch that names a file.
      {u"C:\\Program Files\\App\\app.exe /s D:\\x\\y", u"C:\\Program Files\\App\\app.exe", u"C:\\Program Files\\App"},
      {u"C:\\Tools\\run D:\\x", u"C:\\Tools\\run", u"C:\\Tools"},
      // Nothing found: up to the first space.
      {u"C:\\Missing\\m.exe D:\\x\\y.txt", u"C:\\Missing\\m.exe", u"C:\\Missing"},
      {u"notepad.exe C:\\x\\y.txt", u"notepad.exe", u""},
      {u"C:\\app.exe", u"C:\\app.exe", u"C:\\"},
      {u"  \"C:\\Q\\a.exe\"", u"C:\\Q\\a.exe", u"C:\\Q"},
      {u"\"C:\\Unclosed\\a.exe", u"C:\\Unclosed\\a.exe", u"C:\\Unclosed"},
      {u"", u"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Show(setup::CommandLineProgram(c.commandLine, exists)), Show(c.program)) << Show(c.commandLine);
    EXPECT_EQ(Show(setup::CommandLineProgramFolder(c.commandLine, exists)), Show(c.folder)) << Show(c.commandLine);
  }
}

}  // namespace
