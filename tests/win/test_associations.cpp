#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include "tests/win/removal_test_support.h"
#include "uninstall/associations.h"
#include "uninstall/registry_keys.h"

namespace {

using namespace wintest;
using uninstall::FileAssociation;

const Streng kProduct = u"Brimstead Assoc\\Test";          // the backslash is dropped from the name
const Streng kBackup = u"Brimstead AssocTest Backup";
const Streng kDefault = u"";

class Associations : public ::testing::Test {
protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    SetKeySecurity(u"BsTest.Locked", L"D:P(A;;KA;;;WD)");
    for (const char16_t* key : {u".bsta", u".bstb", u".bstc", u".bstd", u".bste", u"BsTest.A", u"BsTest.B",
                                u"BsTest.Shared", u"BsTest.D", u"BsTest.Locked"})
      uninstall::DeleteKeyTree(HKEY_CLASSES_ROOT, key, 0);
  }
  // Gives an existing key the access list of an SDDL text; false when it could not.
  static bool SetKeySecurity(const Streng& path, const wchar_t* sddl) {
    vk::RegKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, vk::W(path), 0, WRITE_DAC, key.put()) != ERROR_SUCCESS) return false;
    vk::LocalMemory descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                              reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()),
                                                              nullptr))
      return false;
    return RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor.get()) == ERROR_SUCCESS;
  }
  // A file type as the installation leaves it: description, icon and the verb's command.
  static void ProgramId(const Streng& id, const Streng& verb, bool icon) {
    SetString(HKEY_CLASSES_ROOT, id, kDefault, u"Test document");
    if (icon) SetString(HKEY_CLASSES_ROOT, id + u"\\DefaultIcon", kDefault, u"C:\\App\\app.exe,0");
    SetString(HKEY_CLASSES_ROOT, id + u"\\shell\\" + verb, kDefault, u"&Open");
    SetString(HKEY_CLASSES_ROOT, id + u"\\shell\\" + verb + u"\\command", kDefault, u"\"C:\\App\\app.exe\" \"%1\"");
  }
};

TEST_F(Associations, TakenOverExtensionGetsItsTypeBack) {
  SetString(HKEY_CLASSES_ROOT, u".bsta", kDefault, u"BsTest.A");
  SetString(HKEY_CLASSES_ROOT, u".bsta", kBackup, u"Old.Type");
  SetString(HKEY_CLASSES_ROOT, u".bsta\\OpenWithProgids", u"BsTest.A", u"");
  SetString(HKEY_CLASSES_ROOT, u".bsta\\OpenWithProgids", u"Other.App", u"");
  ProgramId(u"BsTest.A", u"open", true);

  uninstall::RestoreAssociations({{".bsta", "BsTest.A", "open", u"C:\\App\\app.exe,0"}}, kProduct);

  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, u".bsta", kDefault), u"Old.Type");
  EXPECT_FALSE(ValueExists(HKEY_CLASSES_ROOT, u".bsta", kBackup));
  EXPECT_FALSE(ValueExists(HKEY_CLASSES_ROOT, u".bsta\\OpenWithProgids", u"BsTest.A"));
  EXPECT_TRUE(ValueExists(HKEY_CLASSES_ROOT, u".bsta\\OpenWithProgids", u"Other.App")) << "another program's entry";
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, u"BsTest.A"));
}

TEST_F(Associations, CreatedKeysAreDeleted) {
  SetString(HKEY_CLASSES_ROOT, u".bstb", kDefault, u"BsTest.B");
  SetString(HKEY_CLASSES_ROOT, u".bstb\\OpenWithProgids", u"BsTest.B", u"");
  ProgramId(u"BsTest.B", u"open", true);

  uninstall::RestoreAssociations({{".bstb", "BsTest.B", "open", u"C:\\App\\app.exe,0"}}, kProduct);

  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, u"BsTest.B"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, u".bstb"));
}

TEST_F(Associations, AnExistingTypeKeepsWhatWasThere) {
  // The installation added its verb to a type that had one, and replaced that verb's command.
  SetString(HKEY_CLASSES_ROOT, u"BsTest.Shared", kDefault, u"Shared type");
  SetString(HKEY_CLASSES_ROOT, u"BsTest.Shared\\shell\\print\\command", kDefault, u"print.exe");
  SetString(HKEY_CLASSES_ROOT, u"BsTest.Shared\\shell\\open\\command", kDefault, u"new.exe \"%1\"");
  SetString(HKEY_CLASSES_ROOT, u"BsTest.Shared\\shell\\open\\command", kBackup, u"old.exe \"%1\"");
  SetString(HKEY_CLASSES_ROOT, u"BsTest.Shared\\shell\\edit\\command", kDefault, u"edit.exe \"%1\"");
  SetString(HKEY_CLASSES_ROOT, u".bstc", kDefault, u"BsTest.Shared");
  SetString(HKEY_CLASSES_ROOT, u".bstc\\ShellNew", u"NullFile", u"");

  uninstall::RestoreAssociations({{".bstc", "BsTest.Shared", "open", u""}, {".bstc", "BsTest.Shared", "edit", u""}},
                                 kProduct);

  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, u"BsTest.Shared\\shell\\open\\command", kDefault), u"old.exe \"%1\"");
  EXPECT_FALSE(ValueExists(HKEY_CLASSES_ROOT, u"BsTest.Shared\\shell\\open\\command", kBackup));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, u"BsTest.Shared\\shell\\edit"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u"BsTest.Shared\\shell\\print\\command"));
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, u"BsTest.Shared", kDefault), u"Shared type");
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, u".bstc", kDefault), u"BsTest.Shared");
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, u".bstc\\ShellNew"));
}

TEST_F(Associations, SecondVerbDoesNotUndoTheRestoredExtension) {
  // Two records (open, edit) for one taken-over extension: the first restores the extension's
  // type and uses up the backup; the second must not take the extension for a created one.
  SetString(HKEY_CLASSES_ROOT, u".bstd", kDefault, u"BsTest.D");
  SetString(HKEY_CLASSES_ROOT, u".bstd", kBackup, u"Old.D");
  ProgramId(u"BsTest.D", u"open", false);
  SetString(HKEY_CLASSES_ROOT, u"BsTest.D\\shell\\edit\\command", kDefault, u"edit.exe");

  uninstall::RestoreAssociations({{".bstd", "BsTest.D", "open", u""}, {".bstd", "BsTest.D", "edit", u""}}, kProduct);

  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, u"BsTest.D"));
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, u".bstd", kDefault), u"Old.D");
}

TEST_F(Associations, BlankRecordsAndMissingKeysAreHarmless) {
  SetString(HKEY_CLASSES_ROOT, u".bsta", kDefault, u"BsTest.A");
  uninstall::RestoreAssociations({{".bsta", "", "open", u""}, {"", "BsTest.A", "open", u""},
                                  {".bstb", "BsTest.B", "open", u"x"}},
                                 kProduct);
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, u".bsta", kDefault), u"BsTest.A");
}

// A type key the uninstaller may not open is somebody's: it is not taken for gone, so the
// extension that names it keeps pointing to it.
TEST_F(Associations, ATypeThatCannotBeOpenedIsNotGone) {
  SetString(HKEY_CLASSES_ROOT, u".bste", kDefault, u"BsTest.Locked");
  ProgramId(u"BsTest.Locked", u"open", false);
  ASSERT_TRUE(SetKeySecurity(u"BsTest.Locked", L"D:P(A;;KR;;;WD)"));
  {
    vk::RegKey probe;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"BsTest.Locked", 0, KEY_SET_VALUE | DELETE, probe.put()) == ERROR_SUCCESS)
      GTEST_SKIP() << "this system does not enforce registry access lists";
  }
  uninstall::RestoreAssociations({{".bste", "BsTest.Locked", "open", u""}}, kProduct);
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, u".bste", kDefault), u"BsTest.Locked");
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, u"BsTest.Locked", kDefault), u"Test document");
}

}  // namespace
