#include <windows.h>

#include <gtest/gtest.h>

#include "tests/win/removal_test_support.h"
#include "uninstall/product_registry.h"
#include "uninstall/registry_keys.h"

namespace {

using namespace wintest;

const Streng kVendor = u"Software\\BsTestVendor";

class ProductRegistry : public ::testing::Test {
protected:
  void SetUp() override { Clean(); }
  void TearDown() override { Clean(); }
  static void Clean() {
    uninstall::DeleteKeyTree(HKEY_LOCAL_MACHINE, kVendor, 0);
    uninstall::DeleteKeyTree(HKEY_CURRENT_USER, kVendor, 0);
  }
};

TEST_F(ProductRegistry, TheCurrentUserIsAmongTheHives) {
  SetString(HKEY_CURRENT_USER, kVendor, u"Marker", u"here");
  bool found = false;
  for (const Streng& hive : uninstall::LoadedUserHives())
    found = found || ReadString(HKEY_USERS, hive + u"\\" + kVendor, u"Marker") == u"here";
  EXPECT_TRUE(found);
}

TEST_F(ProductRegistry, KeyTreeAndEmptyParentsGo) {
  SetString(HKEY_LOCAL_MACHINE, kVendor + u"\\Suite\\Product\\Settings\\Deep", u"Value", u"1");
  SetString(HKEY_LOCAL_MACHINE, kVendor + u"\\Suite\\Product", u"Path", u"C:\\App");
  SetString(HKEY_LOCAL_MACHINE, kVendor, u"Shared", u"kept");  // a value keeps the vendor key
  SetString(HKEY_CURRENT_USER, kVendor + u"\\Suite\\Product\\User", u"Value", u"1");

  uninstall::RemoveProductRegistry(u"BsTestVendor\\Suite\\Product", false);

  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kVendor + u"\\Suite"));
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kVendor, u"Shared"), u"kept");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kVendor)) << "the user's hive, empty parents included";
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, u"Software"));
}

TEST_F(ProductRegistry, ASiblingKeepsTheParent) {
  SetString(HKEY_LOCAL_MACHINE, kVendor + u"\\Product", u"Value", u"1");
  SetString(HKEY_LOCAL_MACHINE, kVendor + u"\\Other");
  uninstall::RemoveProductRegistry(u"\\BsTestVendor\\Product\\", false);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kVendor + u"\\Product"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kVendor + u"\\Other"));
}

TEST_F(ProductRegistry, NoTextNoRemoval) {
  SetString(HKEY_LOCAL_MACHINE, kVendor);
  for (const char16_t* text : {u"", u"\\", u"  "}) uninstall::RemoveProductRegistry(text, false);
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kVendor));
}

TEST_F(ProductRegistry, RegistryEntries) {
  const Streng p = kVendor + u"\\Entries";
  SetString(HKEY_LOCAL_MACHINE, p + u"\\Empty\\Deeper");
  SetString(HKEY_LOCAL_MACHINE, p + u"\\Full", u"Other", u"kept");
  SetString(HKEY_LOCAL_MACHINE, p, u"Keep", u"1");
  SetString(HKEY_LOCAL_MACHINE, p, u"Three", u"3");
  SetString(HKEY_LOCAL_MACHINE, p, u"Two", u"2");
  SetString(HKEY_LOCAL_MACHINE, p, u"Five", u"5");
  SetString(HKEY_CURRENT_USER, p, u"Every user", u"x");
  SetString(HKEY_CURRENT_USER, p, u"Stay", u"x");

  // As the installation data lists them: keys before their subkeys.
  const Streng text =
      u"\\HKLM\\Software\\BsTestVendor\\Entries\r\n"
      u"\\HKLM\\Software\\BsTestVendor\\Entries\\Empty\r\n"
      u"\\HKLM\\Software\\BsTestVendor\\Entries\\Empty\\Deeper\r\n"
      u"\\HKLM\\Software\\BsTestVendor\\Entries\\Full\r\n"
      u"\\hklm\\Software\\BsTestVendor\\Entries,Keep,1,1,1\r\n"
      u"\\HKLM\\Software\\BsTestVendor\\Entries,Three,1,3,3\r\n"
      u"\\HKLM\\Software\\BsTestVendor\\Entries,Two,2,2,2\r\n"
      u"\\HKLM\\Software\\BsTestVendor\\Entries,Five,1,5,5\r\n"
      u"\\HKAU\\Software\\BsTestVendor\\Entries,Every user,1,x,3\r\n"
      u"\\HKAU\\Software\\BsTestVendor\\Entries,Stay,1,x,1\r\n"
      u"\\HKXX\\Software\\BsTestVendor\\Entries,Keep,1,1,3\r\n"
      u"\\HKLM\r\n";
  uninstall::RemoveRegistryEntries(text, false);

  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, p + u"\\Empty")) << "deepest first";
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, p + u"\\Full"));
  EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, p, u"Keep"));
  for (const char16_t* gone : {u"Three", u"Two", u"Five"}) EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, p, gone));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, p)) << "still holds a value";
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, p, u"Every user"));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, p, u"Stay"));
}

}  // namespace
