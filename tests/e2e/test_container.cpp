// Installers made by the builder, whole and damaged, run under Wine: how far the engine reads its
// own container and how it stops on each kind of damage.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "builder/pe_section.h"
#include "lib/checksum.h"
#include "setup/core/container.h"
#include "tests/common/hand_archive.h"
#include "tests/e2e/harness.h"

namespace {

namespace fs = std::filesystem;
using setup::Bytes;
using e2e::Launched;

constexpr char kFatalCaption[] = "FATAL ERROR - Brimstead Setup";
// The product's own text 13 shows which errors come after the language texts are read.
constexpr char kProductCorruptText[] = "Sample is damaged.\\r\\n\\r\\nError code: %d";
constexpr char kBuiltInCorruptStart[] = "This installation program is corrupt.";

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = uint8_t(v >> (8 * i));
}
uint32_t Get32(const Bytes& b, size_t at) {
  return uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8 | uint32_t(b.at(at + 2)) << 16 | uint32_t(b.at(at + 3)) << 24;
}

// Where the parts of a built installer lie in its file.
struct Layout {
  setup::SectionLocation section;
  setup::SetupHeader header;
  size_t fields = 0;  // file offset of the header's ProductFlags2 (the word after the version)
  size_t field(int n) const { return fields + 4 * size_t(n - 3); }  // header field n, 3..10
  size_t itemSizes() const { return field(10) + 4; }
  size_t block() const { return section.rawPointer + header.headerLength; }
  size_t archive() const { return section.rawPointer + header.blockEnd; }
};

Layout LayoutOf(const Bytes& file) {
  Layout l;
  setup::MemorySource src(file);
  EXPECT_EQ(setup::kOk, setup::FindSetupSection(src, l.section));
  EXPECT_EQ(setup::kOk, setup::ParseHeader(file.data() + l.section.rawPointer, file.size() - l.section.rawPointer, l.header));
  l.fields = l.section.rawPointer + 4 + l.header.engineVersion.size() + 1;
  return l;
}

enum class Variant { Image, ImageCipher, File, FileCipher, Signature, Product64, ImagePlain };

class Fixtures {
public:
  Fixtures() {
    char name[] = "/tmp/brimstead-container-XXXXXX";
    dir_ = mkdtemp(name);
    // Incompressible, and more than one read piece of the file-mode check.
    Bytes payload(2'600'000);
    uint32_t x = 12345;
    for (uint8_t& b : payload) b = uint8_t((x = x * 1103515245 + 12345) >> 24);
    WriteAll(dir_ / "payload.bin", payload);
    std::ofstream(dir_ / "small.txt") << "a small file\n";
  }
  ~Fixtures() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  const fs::path& dir() const { return dir_; }

  // The installer of a variant, built once.
  const fs::path& installer(Variant v) {
    auto it = built_.find(v);
    if (it != built_.end()) return it->second;
    const bool file = v == Variant::File || v == Variant::FileCipher;
    const bool compress = !file && v != Variant::ImagePlain;
    const bool cipher = v == Variant::ImageCipher || v == Variant::FileCipher;
    std::string name = std::to_string(int(v));
    name.insert(0, 1, 'v');
    std::ofstream toml(dir_ / (name + ".toml"));
    toml << "[product]\nname = \"Sample\"\nversion = \"1.0\"\n"
         << "bitness = \"" << (v == Variant::Product64 ? "64" : "any") << "\"\n"
         << "[options]\nuninstaller_without_data = " << (v == Variant::ImageCipher ? "true" : "false") << "\n"
         << "[archive]\nmode = \"" << (file ? "file" : "image") << "\"\n"
         << "compress = " << (compress ? "true" : "false") << "\ncipher = " << (cipher ? "true" : "false") << "\n"
         << "[wizard]\nintegrity = \"" << (v == Variant::Signature ? "signature" : "checksum") << "\"\n"
         << "[texts.English]\n13 = \"" << kProductCorruptText << "\"\n"
         << "[[files]]\nsource = \"small.txt\"\n";
    if (file) toml << "[[files]]\nsource = \"payload.bin\"\n";
    toml.close();
    const fs::path out = dir_ / (name + ".exe");
    const std::string command = e2e::Builder() + " build " + (dir_ / (name + ".toml")).string() + " -o " +
                                out.string() + " --engine " + e2e::TestEngine() + " >/dev/null";
    EXPECT_EQ(0, std::system(command.c_str())) << command;
    return built_[v] = out;
  }

private:
  fs::path dir_;
  std::map<Variant, fs::path> built_;
};

Fixtures& TheFixtures() {
  static Fixtures fixtures;
  return fixtures;
}

// A section put onto a fresh copy of the engine as the builder does, with the engine checksum
// of that copy.
Bytes OntoEngine(setup::SetupHeader& h, const Bytes& packedBlock, const Bytes& archive) {
  Bytes section = setup::ComposeSection(h, packedBlock, archive);
  Bytes exe = ReadAll(e2e::TestEngine());
  builder::AppendedSection placed;
  std::string error;
  EXPECT_TRUE(builder::AppendSetupSection(exe, section, uint32_t(section.size()), placed, error)) << error;
  h.engineChecksum = setup::EngineChecksum(exe.data(), placed.rawPointer, placed.peOffset);
  const Bytes header = setup::SerializeHeader(h);
  std::copy(header.begin(), header.end(), exe.begin() + placed.rawPointer);
  return exe;
}

// The settings block decoded, changed and packed again (with its new checksum): for damage inside
// the records.
Bytes WithSettings(const Bytes& installer, const std::function<void(Bytes&)>& change) {
  Layout l = LayoutOf(installer);
  setup::SetupHeader h = l.header;
  vk::Blowfish cipher;
  setup::KeyCipher(h, cipher);
  Bytes plain;
  EXPECT_EQ(setup::kOk, setup::UnpackSettings(h, cipher, installer.data() + l.block(), size_t(h.blockSize), plain));
  change(plain);
  Bytes packed;
  EXPECT_TRUE(setup::PackSettings(h, cipher, plain, packed));
  const Bytes archive(installer.begin() + l.archive(), installer.begin() + l.archive() + h.archiveSize);
  return OntoEngine(h, packed, archive);
}

// The same settings with another archive and its item sizes.
Bytes WithArchive(const Bytes& installer, const Bytes& archive, const std::vector<int32_t>& sizes) {
  Layout l = LayoutOf(installer);
  setup::SetupHeader h = l.header;
  h.itemSizes = sizes;
  h.archiveChecksum = vk::checksum(archive.data(), archive.size());
  const Bytes block(installer.begin() + l.block(), installer.begin() + l.block() + h.blockSize);
  return OntoEngine(h, block, archive);
}

// A run that shows no box ends by itself with its code.
void ExpectQuietExit(const fs::path& exe, const std::string& args, int exitCode, bool withDisplay) {
  Launched run(e2e::ProgramCommandLine(exe.string(), args), withDisplay, 15000);
  EXPECT_EQ(exitCode, run.wait(12000)) << run.output() << " (launcher's Linux status " << run.linuxStatus() << ")";
}

TEST(Container, GoodInstallersReadToTheEndAndPassTheArchiveCheck) {
  for (Variant v : {Variant::Image, Variant::ImageCipher, Variant::File, Variant::FileCipher}) {
    SCOPED_TRACE("variant " + std::to_string(int(v)));
    const fs::path& exe = TheFixtures().installer(v);
    ExpectQuietExit(exe, "/silent", 1, true);
    // With windows allowed, the only box is the completion notice at the end.
    Launched run(e2e::ProgramCommandLine(exe.string(), ""), true, 20000);
    std::optional<e2e::Window> box = e2e::WaitWindow("Installation Complete", "#32770");
    ASSERT_TRUE(box) << "no completion notice; the run said: " << run.output();
    EXPECT_NE(box->message().find("Setup has finished installing"), std::string::npos) << box->message();
    EXPECT_TRUE(e2e::PressButton("Installation Complete", "OK", "#32770"));
    EXPECT_EQ(1, run.wait(15000)) << run.output();
  }
}

// A 64-bit product switches the file-system redirection off, which a 64-bit engine does not
// have; the command line's batch additions go into the settings on the way.
TEST(Container, SixtyFourBitProductWithBatchAdditionsReadsToTheEnd) {
  const fs::path& exe = TheFixtures().installer(Variant::Product64);
  ExpectQuietExit(exe, "/silent /b1:\"echo one~~echo `two`\" /b3:\"echo three\"", 1, true);
  ExpectQuietExit(exe, "/a", 1, true);
}

// Items laid out by another writer than ours install; a record whose length disagrees with its
// fields, data and checksum stops the run with the corrupt-entry error before that item.
TEST(Container, RecordsFramedByAnotherWriterInstall) {
  const Bytes base = ReadAll(TheFixtures().installer(Variant::ImagePlain));
  const fs::path folder = e2e::DriveC() / "e2e-hand-framed";
  const std::string args = "/silent /d:\"C:\\e2e-hand-framed\"";
  std::error_code ec;
  fs::remove_all(folder, ec);

  std::vector<int32_t> sizes;
  const fs::path good = TheFixtures().dir() / "hand-framed.exe";
  WriteAll(good, WithArchive(base, hand::Archive({{"one.txt", "first file\r\n"}, {"two.txt", "second"}}, sizes), sizes));
  ExpectQuietExit(good, args, 1, false);
  EXPECT_EQ("first file\r\n", e2e::ReadFile(folder / "one.txt"));
  EXPECT_EQ("second", e2e::ReadFile(folder / "two.txt"));
  fs::remove_all(folder, ec);

  const fs::path bad = TheFixtures().dir() / "hand-framed-bad.exe";
  WriteAll(bad, WithArchive(base, hand::Archive({{"one.txt", "first"}, {"two.txt", "second", 0, 1}}, sizes), sizes));
  ExpectQuietExit(bad, args, -1, false);
  EXPECT_EQ("first", e2e::ReadFile(folder / "one.txt"));
  EXPECT_FALSE(fs::exists(folder / "two.txt"));
  fs::remove_all(folder, ec);
  Launched shown(e2e::ProgramCommandLine(bad.string(), "/d:\"C:\\e2e-hand-framed\""), true);
  std::optional<e2e::Window> box = e2e::WaitWindow(kFatalCaption, "#32770");
  ASSERT_TRUE(box) << "no box; the run said: " << shown.output();
  EXPECT_NE(std::string::npos, box->message().find("Error code: 110")) << box->message();
  EXPECT_TRUE(e2e::PressButton(kFatalCaption, "OK", "#32770"));
  EXPECT_EQ(-1, shown.wait(15000)) << shown.output();
  fs::remove_all(folder, ec);
}

struct Damage {
  const char* name;
  Variant variant;
  std::function<void(Bytes& file, const Layout& l)> patch;
  int code;           // the corrupt-installer number; 0: the version box
  bool productText;   // raised after the settings are read, so with the product's text 13
};

const std::vector<Damage>& DamageTable() {
  static const std::vector<Damage> table = {
      {"section raw pointer 0", Variant::Image,
       [](Bytes& f, const Layout& l) {
         Put32(f, l.section.tableOffset + l.section.index * setup::kSectionEntrySize + 20, 0);
       },
       9, false},
      {"header magic", Variant::Image, [](Bytes& f, const Layout& l) { f[l.section.rawPointer] ^= 0x01; }, 20, false},
      {"engine version", Variant::Image,
       [](Bytes& f, const Layout& l) { std::memcpy(&f[l.section.rawPointer + 4], "41.7", 4); }, 0, false},
      {"block size 0", Variant::Image, [](Bytes& f, const Layout& l) { Put32(f, l.field(4), 0); }, 22, false},
      {"block size past the mapping", Variant::File,
       [](Bytes& f, const Layout& l) { Put32(f, l.field(4), Get32(f, l.field(4)) + 1); }, 22, false},
      {"data size negative", Variant::Image, [](Bytes& f, const Layout& l) { Put32(f, l.field(7), 0xFFFFFFFF); }, 45, false},
      {"item count negative", Variant::Image, [](Bytes& f, const Layout& l) { Put32(f, l.field(8), 0x80000000); }, 27, false},
      {"archive size negative", Variant::Image, [](Bytes& f, const Layout& l) { Put32(f, l.field(9), 0xFFFFFFFE); }, 29, false},
      {"item size above 1 GiB", Variant::Image, [](Bytes& f, const Layout& l) { Put32(f, l.itemSizes(), 0x40000001); }, 28, false},
      {"settings block byte", Variant::Image,
       [](Bytes& f, const Layout& l) { f[l.block() + size_t(l.header.blockSize) / 2] ^= 0x10; }, 47, false},
      {"enciphered settings block byte", Variant::ImageCipher,
       [](Bytes& f, const Layout& l) { f[l.block() + size_t(l.header.blockSize) / 2] ^= 0x10; }, 47, false},
      {"block checksum (enciphered)", Variant::ImageCipher,
       [](Bytes& f, const Layout& l) { Put32(f, l.field(5), Get32(f, l.field(5)) ^ 0x100); }, 25, false},
      {"status hold time 10000", Variant::Image,
       [](Bytes& f, const Layout&) {
         // Rows 1-6 with empty texts take 23 bytes; the hold time follows.
         f = WithSettings(f, [](Bytes& plain) { plain[23] = 0x10, plain[24] = 0x27; });
       },
       19, false},
      {"settings end marker", Variant::Image,
       [](Bytes& f, const Layout&) { f = WithSettings(f, [](Bytes& plain) { plain.back() ^= 0x01; }); }, 32, false},
      {"engine byte under the checksum", Variant::Image,
       [](Bytes& f, const Layout& l) {
         // The header padding behind the section table: the loader never looks at it.
         f[l.section.tableOffset + l.section.sectionCount * setup::kSectionEntrySize + 16] ^= 0x5A;
       },
       40, true},
      {"archive byte, image mode", Variant::Image,
       [](Bytes& f, const Layout& l) { f[l.archive() + size_t(l.header.archiveSize) - 1] ^= 0x01; }, 55, true},
      {"archive byte in the last piece, file mode", Variant::FileCipher, [](Bytes& f, const Layout&) { f.back() ^= 0x01; }, 55, true},
      {"archive checksum, file mode", Variant::File,
       [](Bytes& f, const Layout& l) { Put32(f, l.field(10), Get32(f, l.field(10)) + 1); }, 55, true},
      {"data size one more, image mode", Variant::Image,
       [](Bytes& f, const Layout& l) { Put32(f, l.field(7), Get32(f, l.field(7)) + 1); }, 46, true},
      {"file cut, file mode", Variant::File, [](Bytes& f, const Layout&) { f.pop_back(); }, 46, true},
      {"file grown, file mode", Variant::File, [](Bytes& f, const Layout&) { f.push_back(0); }, 46, true},
      {"unsigned file, signature check", Variant::Signature, [](Bytes&, const Layout&) {}, 1001, true},
  };
  return table;
}

fs::path Damaged(const Damage& d, size_t row) {
  Bytes file = ReadAll(TheFixtures().installer(d.variant));
  const Layout l = LayoutOf(file);
  d.patch(file, l);
  const fs::path out = TheFixtures().dir() / ("damaged" + std::to_string(row) + ".exe");
  WriteAll(out, file);
  return out;
}

std::string VersionMessage() {
  return "The installer version (42.0) does not match the version of Brimstead Setup (41.7).  Close all "
         "applications and reinstall Brimstead Setup.";
}

// Each box is read and answered; the run then ends with -1 (1 after the version box).
void ExpectBoxes(bool productText) {
  const auto& table = DamageTable();
  for (size_t row = 0; row < table.size(); ++row) {
    const Damage& d = table[row];
    if (d.productText != productText) continue;
    SCOPED_TRACE(d.name);
    const fs::path exe = Damaged(d, row);
    Launched run(e2e::ProgramCommandLine(exe.string(), ""), true);
    const std::string caption = d.code == 0 ? "Error" : kFatalCaption;
    std::optional<e2e::Window> box = e2e::WaitWindow(caption, "#32770");
    ASSERT_TRUE(box) << "no box; the run said: " << run.output();
    EXPECT_EQ(caption, box->caption);
    const std::string message = box->message();
    if (d.code == 0) {
      EXPECT_EQ(VersionMessage(), message);
    } else {
      const std::string tail = "Error code: " + std::to_string(d.code);
      const size_t at = message.find(tail);
      ASSERT_NE(std::string::npos, at) << message;
      // With the system error appended (the signature check), the number still ends its line.
      const std::string rest = message.substr(at + tail.size());
      EXPECT_TRUE(rest.empty() || rest.rfind("\r\nSystem error, code ", 0) == 0) << message;
      if (d.code > 1000) {
        EXPECT_FALSE(rest.empty()) << "the system error belongs to the message";
      }
      EXPECT_EQ(0u, message.rfind(d.productText ? "Sample is damaged." : kBuiltInCorruptStart, 0)) << message;
    }
    EXPECT_TRUE(run.running()) << "the run must wait for the box";
    ASSERT_TRUE(e2e::PressButton(caption, "OK", "#32770"));
    EXPECT_EQ(d.code == 0 ? 1 : -1, run.wait(15000)) << run.output();
  }
}

// Before the language texts are read the built-in corrupt-installer text is shown.
TEST(Container, DamageFoundBeforeTheSettingsShowsItsNumberedError) { ExpectBoxes(false); }

// From the integrity check on, the product's own text 13 is the message.
TEST(Container, DamageFoundAfterTheSettingsShowsItsNumberedErrorInTheProductText) { ExpectBoxes(true); }

TEST(Container, DamageInSilentModeShowsNothing) {
  const auto& table = DamageTable();
  for (size_t row = 0; row < table.size(); ++row) {
    const Damage& d = table[row];
    SCOPED_TRACE(d.name);
    ExpectQuietExit(Damaged(d, row), "/silent", d.code == 0 ? 1 : -1, true);
  }
}

}  // namespace
