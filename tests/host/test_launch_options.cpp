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

// The program of a command line, as the launcher starts it: never a shorter reading of an
// unquoted path with spaces (C:\Program.exe is there as a decoy), never the folder of an argument.
TEST(LaunchOptions, ProgramOfACommandLine) {
  const std::set<Streng> files = {u"C:\\Program Files\\App\\app.exe", u"C:\\Tools\\run.exe", u"C:\\Program.exe",
                                  u"C:\\My Tools\\tool.exe"};
  const std::set<Streng> folders = {u"C:", u"C:\\Program Files", u"C:\\Program Files\\App", u"C:\\Tools",
                                    u"C:\\My Tools", u"D:\\x"};
  const setup::PathFacts facts{[&](const Streng& p) { return files.count(p) > 0; },
                               [&](const Streng& p) { return folders.count(p) > 0; }};
  struct Case {
    const char16_t *commandLine, *program, *startedAs;  // startedAs: null when unchanged
  } cases[] = {
      {u"\"C:\\Program Files\\App\\app.exe\" -x \"D:\\data\\f.txt\"", u"C:\\Program Files\\App\\app.exe", nullptr},
      {u"C:\\Tools\\run.exe D:\\data\\file.txt", u"C:\\Tools\\run.exe", nullptr},
      {u"C:\\Program Files\\App\\app.exe /s D:\\x\\y", u"C:\\Program Files\\App\\app.exe",
       u"\"C:\\Program Files\\App\\app.exe\" /s D:\\x\\y"},
      {u"C:\\Program Files\\App\\app.exe", u"C:\\Program Files\\App\\app.exe", u"\"C:\\Program Files\\App\\app.exe\""},
      // Missing: still not the decoy, whether its folder is there or only a parent of it.
      {u"C:\\Program Files\\App\\gone.exe /s", u"C:\\Program Files\\App\\gone.exe",
       u"\"C:\\Program Files\\App\\gone.exe\" /s"},
      {u"C:\\Program Files\\Gone\\x.exe", u"C:\\Program Files\\Gone\\x.exe", u"\"C:\\Program Files\\Gone\\x.exe\""},
      // Found with ".exe"; a folder among the arguments cuts nothing off.
      {u"C:\\My Tools\\tool -f D:\\x\\in.txt", u"C:\\My Tools\\tool", u"\"C:\\My Tools\\tool\" -f D:\\x\\in.txt"},
      {u"C:\\Tools\\run D:\\x", u"C:\\Tools\\run", nullptr},
      {u"C:\\Program /x", u"C:\\Program", nullptr},
      // Nothing found: up to the first space; a bare name is left to the system's search.
      {u"C:\\Missing\\m.exe D:\\x\\y.txt", u"C:\\Missing\\m.exe", nullptr},
      {u"notepad.exe C:\\x\\y.txt", u"notepad.exe", nullptr},
      {u"C:\\app.exe", u"C:\\app.exe", nullptr},
      {u"  \"C:\\Q\\a.exe\"", u"C:\\Q\\a.exe", nullptr},
      {u"\"C:\\Unclosed\\a.exe", u"C:\\Unclosed\\a.exe", nullptr},
      {u"", u"", nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Show(setup::SplitCommandLine(c.commandLine, facts).program), Show(c.program)) << Show(c.commandLine);
    const char16_t* startedAs = c.startedAs ? c.startedAs : c.commandLine;
    EXPECT_EQ(Show(setup::QuoteCommandLineProgram(c.commandLine, facts)), Show(startedAs)) << Show(c.commandLine);
  }
}

}  // namespace
