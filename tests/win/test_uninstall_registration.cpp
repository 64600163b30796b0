// The uninstaller's icon put into a real program file, and the registry value writer of the
// uninstall entry, on the real file system and registry.
#include "setup/uninstall_registration.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/registry_values.h"
#include "win/win_test_support.h"

namespace {

using vk::Streng;

std::vector<uint8_t> ReadAll(const Streng& path) {
  std::vector<uint8_t> bytes;
  vk::FileHandle f(CreateFileW(vk::W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!f) return bytes;
  bytes.resize(GetFileSize(f.get(), nullptr));
  DWORD got = 0;
  if (!bytes.empty() && !ReadFile(f.get(), bytes.data(), DWORD(bytes.size()), &got, nullptr)) got = 0;
  bytes.resize(got);
  return bytes;
}

void WriteAll(const Streng& path, const std::vector<uint8_t>& bytes) {
  vk::FileHandle f(CreateFileW(vk::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(f.valid());
  DWORD put = 0;
  ASSERT_TRUE(WriteFile(f.get(), bytes.data(), DWORD(bytes.size()), &put, nullptr));
}

void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(uint8_t(x));
  v.push_back(uint8_t(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

// A 16x16 32-bit image: header, colour pixels and the AND mask.
std::vector<uint8_t> IconImage(uint8_t shade) {
  std::vector<uint8_t> d;
  Put32(d, 40), Put32(d, 16), Put32(d, 32), Put16(d, 1), Put16(d, 32);
  for (int i = 0; i < 6; ++i) Put32(d, 0);
  for (int i = 0; i < 16 * 16; ++i) d.insert(d.end(), {shade, uint8_t(255 - shade), 0x40, 0xFF});
  d.insert(d.end(), 16 * 4, 0);
  return d;
}

struct Icon {
  std::vector<uint8_t> file;
  std::vector<std::vector<uint8_t>> images;
};

Icon TwoImageIcon() {
  Icon icon;
  icon.images = {IconImage(0x10), IconImage(0xC0)};
  Put16(icon.file, 0), Put16(icon.file, 1), Put16(icon.file, 2);
  uint32_t offset = 6 + 2 * 16;
  for (const auto& image : icon.images) {
    icon.file.insert(icon.file.end(), {16, 16, 0, 0});
    Put16(icon.file, 1), Put16(icon.file, 32), Put32(icon.file, uint32_t(image.size())), Put32(icon.file, offset);
    offset += uint32_t(image.size());
  }
  for (const auto& image : icon.images) icon.file.insert(icon.file.end(), image.begin(), image.end());
  return icon;
}

std::vector<uint8_t> Resource(HMODULE module, LPCWSTR type, int id) {
  HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id), 1033);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const auto* p = static_cast<const uint8_t*>(LockResource(loaded));
  return p ? std::vector<uint8_t>(p, p + SizeofResource(module, found)) : std::vector<uint8_t>();
}

Streng OwnPath() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return vk::FromW(path, n);
}

class IconReplacement : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.path().empty());
    program_ = folder_.path() + u"\\program.exe";
    ASSERT_TRUE(CopyFileW(vk::W(OwnPath()), vk::W(program_), FALSE));
  }
  wintest::TempFolder folder_{u"bs-icon-replacement"};
  Streng program_;
};

TEST_F(IconReplacement, TheIconsImagesAndGroupStandInTheProgram) {
  const Icon icon = TwoImageIcon();
  const Streng iconFile = folder_.path() + u"\\good.ico";
  WriteAll(iconFile, icon.file);

  EXPECT_EQ(setup::IconReplacement::Replaced, setup::ReplaceExecutableIconResources(program_, iconFile));

  vk::ModuleHandle module(LoadLibraryExW(vk::W(program_), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(module.valid()) << GetLastError();
  EXPECT_EQ(icon.images[0], Resource(module.get(), RT_ICON, 1));
  EXPECT_EQ(icon.images[1], Resource(module.get(), RT_ICON, 2));
  std::vector<uint8_t> group;
  Put16(group, 0), Put16(group, 1), Put16(group, 2);
  for (int i = 0; i < 2; ++i) {
    group.insert(group.end(), icon.file.begin() + 6 + 16 * i, icon.file.begin() + 6 + 16 * i + 12);
    Put16(group, uint16_t(i + 1));
  }
  EXPECT_EQ(group, Resource(module.get(), RT_GROUP_ICON, 1));
  // The program still loads as the image it was.
  EXPECT_NE(nullptr, FindResourceExW(module.get(), RT_GROUP_ICON, MAKEINTRESOURCEW(1), 1033));
}

TEST_F(IconReplacement, ADamagedIconFileLeavesTheProgramUnchanged) {
  const std::vector<uint8_t> before = ReadAll(program_);
  ASSERT_FALSE(before.empty());
  Icon icon = TwoImageIcon();
  // The second image claims more bytes than the file has.
  icon.file[6 + 16 + 8] = 0xFF, icon.file[6 + 16 + 9] = 0xFF;
  const Streng iconFile = folder_.path() + u"\\damaged.ico";
  WriteAll(iconFile, icon.file);
  EXPECT_FALSE(setup::ReplaceExecutableIcon(program_, iconFile));
  EXPECT_FALSE(setup::ReplaceExecutableIcon(program_, folder_.path() + u"\\missing.ico"));
  EXPECT_EQ(before, ReadAll(program_));
}

TEST_F(IconReplacement, AFileThatIsNoProgramCannotBeOpenedForTheUpdate) {
  const Streng iconFile = folder_.path() + u"\\good.ico";
  WriteAll(iconFile, TwoImageIcon().file);
  const Streng text = folder_.path() + u"\\notes.txt";
  const std::vector<uint8_t> content = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'r', 'o', 'g', 'r', 'a', 'm'};
  WriteAll(text, content);
  EXPECT_EQ(setup::IconReplacement::OpenFailed, setup::ReplaceExecutableIconResources(text, iconFile));
  EXPECT_EQ(setup::IconReplacement::OpenFailed,
            setup::ReplaceExecutableIconResources(folder_.path() + u"\\absent.exe", iconFile));
  EXPECT_EQ(content, ReadAll(text));
}

// ---------------------------------------------------------------------------------------------

class RegistryValues : public ::testing::Test {
protected:
  static constexpr wchar_t kKey[] = L"Software\\Brimstead Tests\\Registry Values";
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    ASSERT_EQ(0u, setup::OpenOrCreateRegistryKey(HKEY_CURRENT_USER, vk::FromW(kKey), KEY_ALL_ACCESS, key_));
  }
  void TearDown() override {
    key_.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
  }
  std::vector<uint8_t> Raw(const wchar_t* name, DWORD& type) {
    DWORD size = 0;
    type = 0;
    if (RegQueryValueExW(key_.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    std::vector<uint8_t> data(size);
    RegQueryValueExW(key_.get(), name, nullptr, &type, data.data(), &size);
    return data;
  }
  vk::RegKey key_;
};

TEST_F(RegistryValues, EachKindIsStoredWithItsTypeAndBytes) {
  using setup::RegValueKind;
  using setup::RegValueOp;
  const RegValueOp ops[] = {
      {{}, u"Wide", RegValueKind::Wide, u"\u00C4 wide", {}, 0},
      {{}, u"Narrow", RegValueKind::Ansi, {}, "1.0", 0},
      {{}, u"Expand", RegValueKind::Expand, u"%TEMP%\\x", {}, 0},
      {{}, u"Dword", RegValueKind::Dword, {}, {}, 0x1234567890ull},
      {{}, u"Qword", RegValueKind::Qword, {}, {}, 0x1234567890ull},
  };
  for (const RegValueOp& op : ops) EXPECT_EQ(0u, setup::ApplyRegistryValue(key_.get(), op)) << vk::StrengToUtf8(op.name);

  DWORD type = 0;
  const std::vector<uint8_t> wide = Raw(L"Wide", type);
  EXPECT_EQ(DWORD(REG_SZ), type);
  const std::u16string expectedWide = u"\u00C4 wide";
  EXPECT_EQ(std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(expectedWide.c_str()),
                                 reinterpret_cast<const uint8_t*>(expectedWide.c_str() + expectedWide.size() + 1)),
            wide);
  Streng text;
  ASSERT_TRUE(setup::ReadRegistryText(key_.get(), u"Narrow", text));
  EXPECT_EQ(u"1.0", text);
  Raw(L"Narrow", type);
  EXPECT_EQ(DWORD(REG_SZ), type);
  ASSERT_TRUE(setup::ReadRegistryText(key_.get(), u"Expand", text));
  EXPECT_EQ(u"%TEMP%\\x", text);
  Raw(L"Expand", type);
  EXPECT_EQ(DWORD(REG_EXPAND_SZ), type);
  EXPECT_EQ((std::vector<uint8_t>{0x90, 0x78, 0x56, 0x34}), Raw(L"Dword", type));
  EXPECT_EQ(DWORD(REG_DWORD), type);
  EXPECT_EQ((std::vector<uint8_t>{0x90, 0x78, 0x56, 0x34, 0x12, 0, 0, 0}), Raw(L"Qword", type));
  EXPECT_EQ(DWORD(REG_QWORD), type);

  // Deleting removes the value; a value that is not there is no failure.
  const RegValueOp removeWide{{}, u"Wide", RegValueKind::Delete, {}, {}, 0};
  EXPECT_EQ(0u, setup::ApplyRegistryValue(key_.get(), removeWide));
  EXPECT_TRUE(Raw(L"Wide", type).empty());
  EXPECT_EQ(0u, setup::ApplyRegistryValue(key_.get(), removeWide));
  EXPECT_FALSE(setup::ReadRegistryText(key_.get(), u"Dword", text)) << "a number is no text";
}

TEST_F(RegistryValues, FullPathsNameTheirRoot) {
  vk::RegKey key;
  EXPECT_EQ(0u, setup::OpenOrCreateRegistryPath(u"\\HKCU\\Software\\Brimstead Tests\\Registry Values\\Sub",
                                                KEY_ALL_ACCESS, key));
  EXPECT_TRUE(key.valid());
  vk::RegKey bad;
  SetLastError(0xdeadbeef);
  EXPECT_EQ(uint32_t(ERROR_BAD_PATHNAME), setup::OpenOrCreateRegistryPath(u"HKCU\\Software", KEY_ALL_ACCESS, bad));
  EXPECT_EQ(DWORD(ERROR_BAD_PATHNAME), GetLastError());
  EXPECT_FALSE(bad.valid());
}

}  // namespace
