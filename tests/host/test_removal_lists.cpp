// The uninstaller's readers of the lists it removes: fonts, shared files, firewall lines,
// taskbar pins, and the association backup name.
#include <gtest/gtest.h>

#include <vector>

#include "uninstall/core/associations.h"
#include "uninstall/core/firewall_entries.h"
#include "uninstall/core/fonts.h"
#include "uninstall/core/shared_files.h"
#include "uninstall/core/unpin.h"

namespace {

using uninstall::FirewallEntry;
using uninstall::ProductFont;
using uninstall::SharedFile;
using vk::Streng;
using vk::String;

TEST(AssociationBackupName, DropsWhatAValueNameCannotHold) {
  EXPECT_EQ(uninstall::AssociationBackupName(u"My Product"), u"My Product Backup");
  EXPECT_EQ(uninstall::AssociationBackupName(u"A\\B\r\n\tC \u00C9"), u"ABC \u00C9 Backup");
  EXPECT_EQ(uninstall::AssociationBackupName(u""), u" Backup");
}

TEST(ProductFonts, PairsOfQuotedStrings) {
  // As the installation writes it: quote, face, quote-space-quote, file, quote, space.
  EXPECT_EQ(uninstall::ParseProductFonts("\"Caf\xC3\xA9 Sans (TrueType)\" \"|caf\xC3\xA9.ttf\" \"Mono\" \"mono.ttf\" "),
            (std::vector<ProductFont>{{u"Caf\u00E9 Sans (TrueType)", u"caf\u00E9.ttf"}, {u"Mono", u"mono.ttf"}}));
  EXPECT_TRUE(uninstall::ParseProductFonts("").empty());
  EXPECT_EQ(uninstall::ParseProductFonts("\"A\" \"a.ttf\" \"B\""), (std::vector<ProductFont>{{u"A", u"a.ttf"}}))
      << "a face without its file";
  EXPECT_EQ(uninstall::ParseProductFonts("\"A\" \"a.ttf\" \"B\" \"b.ttf"), (std::vector<ProductFont>{{u"A", u"a.ttf"}}))
      << "an unclosed quote";
}

TEST(SharedFiles, MarksFromTheEnd) {
  struct Case {
    const char* marked;
    SharedFile expected;
  };
  const Case cases[] = {
      {"C:\\a.dll", {"C:\\a.dll", false, false, false}},
      {"C:\\a.dll^", {"C:\\a.dll", true, false, false}},
      {"C:\\a.dll ", {"C:\\a.dll", false, true, false}},
      {"C:\\a.tlb\xA9", {"C:\\a.tlb", false, false, true}},
      {"C:\\a.tlb\xA9 ^", {"C:\\a.tlb", true, true, true}},
      {"C:\\a.dll^ ", {"C:\\a.dll^", false, true, false}},  // the order is fixed
      {"C:\\a.dll^^", {"C:\\a.dll^", true, false, false}},  // one of each at most
      // In a UTF-8 path the last byte of "\u00E9" (C3 A9) is no type-library mark...
      {"|C:\\caf\xC3\xA9", {"|C:\\caf\xC3\xA9", false, false, false}},
      {"|C:\\caf\xC3\xA9^", {"|C:\\caf\xC3\xA9", true, false, false}},
      // ...but one after a complete character is.
      {"|C:\\caf\xC3\xA9\xA9", {"|C:\\caf\xC3\xA9", false, false, true}},
      {"|C:\\\xE2\x84\xA9\xA9", {"|C:\\\xE2\x84\xA9", false, false, true}},
      {"|C:\\\xE2\x84\xA9", {"|C:\\\xE2\x84\xA9", false, false, false}},
      {"|C:\\x\xA9", {"|C:\\x", false, false, true}},
  };
  for (const Case& c : cases) EXPECT_EQ(uninstall::SplitSharedFileMarks(c.marked), c.expected) << c.marked;
}

TEST(SharedFiles, QuotedEntriesSeparatedBySemicolons) {
  EXPECT_EQ(uninstall::ParseSharedFiles("\"C:\\a;b.dll^\";\"C:\\t.tlb\xA9\";\"\";\" \";\"C:\\k.dll \""),
            (std::vector<SharedFile>{{"C:\\a;b.dll", true, false, false},
                                     {"C:\\t.tlb", false, false, true},
                                     {"C:\\k.dll", false, true, false}}))
      << "empty paths are dropped; a \";\" inside quotes belongs to the path";
  EXPECT_TRUE(uninstall::ParseSharedFiles("").empty());
  EXPECT_TRUE(uninstall::ParseSharedFiles("C:\\unquoted.dll").empty());
}

TEST(FirewallLines, PortsProgramsAndRejects) {
  struct Case {
    const char* line;
    std::optional<FirewallEntry> expected;
  };
  const Case cases[] = {
      {"8080;Web;1;0", FirewallEntry{8080, true, false, {}, u"Web"}},
      {"53;DNS;3;", FirewallEntry{53, true, true, {}, u"DNS"}},
      {" 500 ; IKE ; 2 ; 0 ", FirewallEntry{500, false, true, {}, u"IKE"}},
      {"70;None;0;0", FirewallEntry{70, false, false, {}, u"None"}},
      {"70;Bad bits;x;0", FirewallEntry{70, false, false, {}, u"Bad bits"}},
      {"%InstallDir%\\app.exe;R\xC3\xA8gle;0;0", FirewallEntry{0, false, false, u"%InstallDir%\\app.exe", u"R\u00E8gle"}},
      {"bin\\app.exe;;1;", FirewallEntry{0, false, false, u"bin\\app.exe", u""}},
      {"80a;Mixed;1;0", FirewallEntry{0, false, false, u"80a", u"Mixed"}},  // not all digits: a program
      {"8080;Kept;1;1", std::nullopt},   // asked to stay after uninstallation
      {"0;Zero;1;0", std::nullopt},
      {"65536;Too big;1;0", std::nullopt},
      {"99999999999999999999;Huge;1;0", std::nullopt},
      {";Empty;1;0", std::nullopt},
      {"8080;Three;1", std::nullopt},
      {"8080;Five;1;0;x", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(uninstall::ParseFirewallLine(c.line), c.expected) << c.line;
}

class RecordingFirewall final : public uninstall::FirewallControl {
public:
  void ClosePort(int port, int protocol, const Streng& name) override {
    calls.push_back(u"port " + vk::AsciiToStreng(std::to_string(port)) + u"/" +
                    vk::AsciiToStreng(std::to_string(protocol)) + u" " + name);
  }
  void RemoveApplication(const Streng& path) override { calls.push_back(u"app " + path); }
  std::vector<Streng> calls;
};

TEST(FirewallLines, RemovalCallsTheBackEnd) {
  RecordingFirewall firewall;
  const auto expand = [](const Streng& s) {
    Streng out = s;
    const Streng macro = u"%InstallDir%";
    if (const size_t at = out.find(macro); at != Streng::npos) out.replace(at, macro.size(), u"C:\\App");
    return out;
  };
  uninstall::RemoveFirewallEntries(
      {"53;DNS;3;0", "%InstallDir%\\a.exe;A;0;0", "bin\\b.exe;B;0;0", "D:\\c.exe;C;0;0", "81;Kept;1;1", "bad"},
      u"C:\\App", expand, firewall);
  EXPECT_EQ(firewall.calls, (std::vector<Streng>{u"port 53/6 DNS", u"port 53/17 DNS", u"app C:\\App\\a.exe",
                                                 u"app C:\\App\\bin\\b.exe", u"app D:\\c.exe"}));
}

TEST(Unpin, UserPinnedAsAWholeFolderComponent) {
  struct Case {
    const char16_t* path;
    bool expected;
  };
  const Case cases[] = {
      {u"C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\User Pinned\\TaskBar\\App.lnk", true},
      {u"C:\\x\\uSER pINNED\\App.lnk", true},
      {u"C:/x/User Pinned/App.lnk", true},
      {u"User Pinned\\App.lnk", true},
      {u"C:\\x\\User Pinned", false},            // the entry itself, not a folder it passes through
      {u"C:\\x\\User Pinned2\\App.lnk", false},
      {u"C:\\x\\My User Pinned\\App.lnk", false},
      {u"C:\\x\\UserPinned\\App.lnk", false},
      {u"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(uninstall::PassesThroughUserPinned(c.path), c.expected) << vk::StrengToUtf8(c.path);
}

}  // namespace
