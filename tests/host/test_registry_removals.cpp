// The uninstaller's reading of registry paths: roots, "[Registry2]" removals, user hives and
// the product's own key chain; and the protected-folder decision.
#include <gtest/gtest.h>

#include <vector>

#include "uninstall/core/protected_folders.h"
#include "uninstall/core/registry_entries.h"

namespace {

using uninstall::RegistryRemoval;
using uninstall::RegistryRoot;
using vk::Streng;

TEST(RegistryRoots, FramedShortNames) {
  struct Case {
    const char16_t* path;
    bool ok;
    RegistryRoot root;
    const char16_t* key;
  };
  const Case cases[] = {
      {u"\\HKLM\\Software\\X", true, RegistryRoot::LocalMachine, u"Software\\X"},
      {u"\\hkcu\\Software", true, RegistryRoot::CurrentUser, u"Software"},
      {u"\\HKCR\\.abc", true, RegistryRoot::ClassesRoot, u".abc"},
      {u"\\HKU\\S-1-5-18\\X", true, RegistryRoot::Users, u"S-1-5-18\\X"},
      {u"\\HKCC\\X", true, RegistryRoot::CurrentConfig, u"X"},
      {u"\\HKDD\\X", true, RegistryRoot::DynData, u"X"},
      {u"\\HKAU\\Software\\P", true, RegistryRoot::AllUsers, u"Software\\P"},
      {u"\\HKLM", true, RegistryRoot::LocalMachine, u""},
      {u"\\HKLM\\", true, RegistryRoot::LocalMachine, u""},
      {u"HKLM\\Software", false, RegistryRoot::LocalMachine, u""},
      {u"\\HKEY_LOCAL_MACHINE\\Software", false, RegistryRoot::LocalMachine, u""},
      {u"\\HKLMX\\Software", false, RegistryRoot::LocalMachine, u""},
      {u"", false, RegistryRoot::LocalMachine, u""},
  };
  for (const Case& c : cases) {
    const setup::RegistryPath parsed = setup::ParseRegistryPath(c.path);
    ASSERT_EQ(parsed.root != RegistryRoot::None, c.ok) << vk::StrengToUtf8(c.path);
    if (!c.ok) continue;
    EXPECT_EQ(parsed.root, c.root) << vk::StrengToUtf8(c.path);
    EXPECT_EQ(parsed.key, c.key) << vk::StrengToUtf8(c.path);
  }
}

TEST(RegistryRemovals, ValuesFirstThenKeysDeepestFirst) {
  const Streng text =
      u"\\HKLM\\Software\\P\r\n"
      u"\\HKLM\\Software\\P\\Sub\\Deeper\r\n"
      u"\\HKLM\\Software\\P\\Sub\r\n"
      u"\\HKLM\\Software\\P,Kept,1,data,1\r\n"
      u"\\HKLM\\Software\\P,Gone,1,data,3\n"
      u"\\HKAU\\Software\\P,\"A,B\",2,x,2\r\n"
      u"\\HKCU\\Software\\P,,4,1,5\r\n"
      u"\\HKCU\\Software\\P,Six,1,x,6\r\n"
      u"\\HKLM\r\n"               // one backslash: never a key deletion
      u"  \r\n"
      u"\\HKLM\\A,B,C\r\n"        // three fields: ignored
      u"\\HKCU\\Caf\u00E9 ,Na\u00EFve,1,x, 3 ";
  const std::vector<RegistryRemoval> expected = {
      {true, u"\\HKLM\\Software\\P", u"Gone"},
      {true, u"\\HKAU\\Software\\P", u"A,B"},
      {true, u"\\HKCU\\Software\\P", u""},
      {true, u"\\HKCU\\Caf\u00E9", u"Na\u00EFve"},
      {false, u"\\HKLM\\Software\\P\\Sub\\Deeper", u""},
      {false, u"\\HKLM\\Software\\P\\Sub", u""},
      {false, u"\\HKLM\\Software\\P", u""},
  };
  EXPECT_EQ(uninstall::ParseRegistryRemovals(text), expected);
  EXPECT_TRUE(uninstall::ParseRegistryRemovals(u"").empty());
}

TEST(RegistryRemovals, WholeTreesNeverARootAFirstLevelOrASharedKey) {
  struct Case {
    RegistryRoot root;
    const char16_t* key;
    bool may;
  } cases[] = {
      {RegistryRoot::LocalMachine, u"Software\\Acme", true},
      {RegistryRoot::LocalMachine, u"Software\\Acme\\Tool", true},
      {RegistryRoot::CurrentUser, u"\\Software\\\\Acme\\", true},  // empty components name no level
      {RegistryRoot::ClassesRoot, u"CLSID\\{0A1B}", true},
      {RegistryRoot::ClassesRoot, u".acme\\ShellNew", true},
      {RegistryRoot::Users, u"S-1-5-21-1\\Software\\Acme", true},
      {RegistryRoot::AllUsers, u"Software\\Acme", true},
      {RegistryRoot::LocalMachine, u"Software\\Classes\\CLSID\\{0A1B}", true},
      {RegistryRoot::LocalMachine, u"Software\\Wow6432Node\\Acme", true},
      {RegistryRoot::LocalMachine, u"Software\\Microsoft\\Acme", true},
      {RegistryRoot::LocalMachine, u"", false},
      {RegistryRoot::LocalMachine, u"Software", false},
      {RegistryRoot::CurrentUser, u"Software\\", false},
      {RegistryRoot::CurrentUser, u"\\\\Software\\\\", false},
      {RegistryRoot::ClassesRoot, u"CLSID", false},
      {RegistryRoot::ClassesRoot, u".txt", false},
      {RegistryRoot::ClassesRoot, u"Wow6432Node\\CLSID", false},
      {RegistryRoot::LocalMachine, u"Software\\Classes", false},
      {RegistryRoot::LocalMachine, u"SOFTWARE\\classes\\CLSID", false},
      {RegistryRoot::LocalMachine, u"Software\\Wow6432Node", false},
      {RegistryRoot::LocalMachine, u"Software\\Wow6432Node\\Classes\\CLSID", false},
      {RegistryRoot::Users, u"S-1-5-21-1", false},
      {RegistryRoot::Users, u"S-1-5-21-1\\Software", false},
      {RegistryRoot::Users, u".DEFAULT\\Software\\Classes\\CLSID", false},
      {RegistryRoot::AllUsers, u"Software", false},
      {RegistryRoot::LocalMachine, u"Software\\Microsoft", false},
      {RegistryRoot::LocalMachine, u"Software\\Microsoft\\Windows\\CurrentVersion", false},
      {RegistryRoot::CurrentUser, u"Software\\Policies", false},
      {RegistryRoot::LocalMachine, u"system\\currentcontrolset\\services", false},
      {RegistryRoot::None, u"Software\\Acme", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.may, uninstall::MayDeleteKeyTree(c.root, c.key)) << int(c.root) << " " << vk::StrengToUtf8(c.key);
}

TEST(UserHives, ProfileListFirstOtherwiseLoadedHives) {
  EXPECT_EQ(uninstall::SelectUserHives({u"S-1-5-18", u"S-1-5-21-1"}, {u".DEFAULT", u"S-1-5-21-1"}),
            (std::vector<Streng>{u"S-1-5-18", u"S-1-5-21-1"}));
  EXPECT_EQ(uninstall::SelectUserHives({}, {u".DEFAULT", u"S-1-5-21-1", u"S-1-5-21-1_Classes", u".default",
                                            u"S-1-5-21-2_CLASSES", u"S-1-5-19"}),
            (std::vector<Streng>{u"S-1-5-21-1", u"S-1-5-19"}));
  EXPECT_TRUE(uninstall::SelectUserHives({}, {}).empty());
}

TEST(ProductRegistryKeys, KeyThenParentsNeverSoftware) {
  EXPECT_EQ(uninstall::ProductRegistryKeys(u"Vendor\\Product"),
            (std::vector<Streng>{u"Software\\Vendor\\Product", u"Software\\Vendor"}));
  EXPECT_EQ(uninstall::ProductRegistryKeys(u" \\Vendor\\\\Product\\ "),
            (std::vector<Streng>{u"Software\\Vendor\\Product", u"Software\\Vendor"}));
  for (const char16_t* none : {u"", u"\\", u" \\\\ "})
    EXPECT_TRUE(uninstall::ProductRegistryKeys(none).empty()) << "\"" << vk::StrengToUtf8(none) << "\"";

  Streng deep;
  for (int n = 0; n < 30; ++n) deep += u"\\K" + vk::AsciiToStreng(std::to_string(n));
  const auto keys = uninstall::ProductRegistryKeys(deep);
  ASSERT_EQ(keys.size(), 21u) << "the key and 20 levels above it";
  EXPECT_EQ(keys.back().substr(0, 15), u"Software\\K0\\K1\\");
}

TEST(ProtectedFolders, Decisions) {
  const std::vector<Streng> protectedFolders = {u"C:\\Windows", u"C:\\Program Files\\", u"C:\\Users\\bob",
                                                u"\\\\server\\share\\Apps", u""};
  struct Case {
    const char16_t* folder;
    bool isProtected;
  };
  const Case cases[] = {
      {u"C:\\Program Files\\Product", false},
      {u"C:\\Users\\bob\\AppData\\Local\\Product", false},
      {u"D:\\Product\\", false},
      {u"\\\\server\\share\\Product", false},
      {u"C:\\windows", true},
      {u"c:\\PROGRAM FILES\\\\", true},
      {u" C:/Program Files ", true},
      {u"C:\\Program Files\\Product\\..", true},
      {u"C:\\Users", true},                 // holds a protected folder
      {u"C:\\Program", false},              // a prefix, not a parent
      {u"C:\\", true},
      {u"C:", true},
      {u"D:\\\\", true},
      {u"\\\\server\\share\\", true},
      {u"\\\\server\\share", true},
      {u"\\\\server", true},
      {u"\\\\?\\C:\\Product", true},
      {u"\\Product", true},                 // relative to the current drive
      {u"Product", true},
      {u"C:Product", true},
      {u"", true},
      {u"   ", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(uninstall::IsProtectedFolder(c.folder, protectedFolders), c.isProtected) << vk::StrengToUtf8(c.folder);
}

}  // namespace
