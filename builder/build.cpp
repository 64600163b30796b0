#include "builder/build.h"

#include <fstream>

#include "builder/pe_section.h"
#include "lib/cipher.h"
#include "setup/core/archive.h"
#include "setup/core/container.h"
#include "setup/core/product_flags.h"
#include "setup/core/settings.h"

namespace builder {

namespace fs = std::filesystem;

namespace {

bool ReadAll(const fs::path& path, std::vector<uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  in.seekg(0);
  out.resize(size_t(size));
  return size == 0 || bool(in.read(reinterpret_cast<char*>(out.data()), size));
}

std::string Size(uint64_t n) {
  if (n < 10 * 1024) return std::to_string(n) + " bytes";
  if (n < 10 * 1024 * 1024) return std::to_string(n / 1024) + " KiB";
  return std::to_string(n / (1024 * 1024)) + " MiB";
}

}  // namespace

std::array<uint8_t, 8> DeriveKey(const std::vector<uint8_t>& settingsBlock, const Project& project) {
  // FNV-1a over the settings and the items' names and sizes.
  uint64_t h = 0xcbf29ce484222325ull;
  auto mix = [&](const void* p, size_t n) {
    for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<const uint8_t*>(p)[i]) * 0x100000001b3ull;
  };
  mix(settingsBlock.data(), settingsBlock.size());
  for (const auto& f : project.files) {
    mix(f.entry.name.data(), f.entry.name.size());
    mix(&f.size, sizeof f.size);
  }
  std::array<uint8_t, 8> key{};
  for (int i = 0; i < 8; ++i) key[size_t(i)] = uint8_t(h >> (8 * i));
  return key;
}

bool BuildInstaller(const Project& project, const fs::path& engine, const fs::path& out, std::ostream* progress,
                    BuildReport& report, std::string& error) {
  auto say = [&](const std::string& line) {
    if (progress) *progress << line << "\n" << std::flush;
  };
  std::vector<uint8_t> exe;
  if (!ReadAll(engine, exe)) {
    error = "cannot read the engine \"" + engine.string() + "\"";
    return false;
  }

  // The settings as the engine will read them.
  setup::InstallSettings settings = project.settings;
  const uint64_t compressBit = uint64_t(1) << setup::flag::ArchiveCompressed;
  settings.ProductFlags = project.archive.compress ? (settings.ProductFlags | compressBit)
                                                   : (settings.ProductFlags & ~compressBit);
  settings.ArchiveFileMode = project.archive.fileMode ? 1 : 0;
  setup::SettingsWriter writer;
  vk::String problem;
  if (!WriteSettings(settings, writer, &problem)) {
    error = "the setting " + problem + " cannot be stored";
    return false;
  }
  const std::vector<uint8_t> plain = writer.take();

  setup::SetupHeader header;
  header.productFlags2 = project.productFlags2;
  vk::Blowfish cipher;
  if (project.archive.cipher) {
    header.productFlags2 |= setup::kEnciphered;
    header.cipherKey = project.archive.keyGiven ? project.archive.key : DeriveKey(plain, project);
    setup::KeyCipher(header, cipher);
  } else {
    header.productFlags2 &= ~uint32_t(setup::kEnciphered);
  }

  // The archive.
  setup::ArchiveWriterOptions options;
  options.chunkSize = project.archive.chunkSize;
  options.compress = project.archive.compress;
  options.xzPreset = project.archive.xzPreset;
  options.cipher = project.archive.cipher ? &cipher : nullptr;
  setup::ArchiveWriter archive(options);
  std::vector<uint8_t> piece(size_t(1) << 20);
  size_t index = 0;
  for (const ProjectFile& f : project.files) {
    ++index;
    say("[" + std::to_string(index) + "/" + std::to_string(project.files.size()) + "] " + f.source.string() + " (" +
        Size(f.size) + ")");
    std::ifstream in(f.source, std::ios::binary);
    if (!in) {
      error = "cannot read \"" + f.source.string() + "\"";
      return false;
    }
    if (!archive.beginItem(f.entry, int64_t(f.size))) {
      error = "cannot store \"" + f.source.string() + "\" (a text of its entry holds a zero character)";
      return false;
    }
    uint64_t left = f.size;
    while (left > 0) {
      const size_t n = size_t(std::min<uint64_t>(left, piece.size()));
      if (!in.read(reinterpret_cast<char*>(piece.data()), std::streamsize(n)) || !archive.write(piece.data(), n)) {
        error = "\"" + f.source.string() + "\" changed or could not be packed while it was read";
        return false;
      }
      left -= n;
      report.plainSize += n;
    }
    if (!archive.endItem()) {
      error = "cannot pack \"" + f.source.string() + "\"";
      return false;
    }
  }
  if (!archive.finish()) {
    error = "cannot pack the archive";
    return false;
  }
  if (archive.archiveSize() > 0x7FFFFFFF) {
    error = "the archive is larger than 2 GiB";
    return false;
  }
  header.itemSizes = archive.itemSizes();
  header.archiveChecksum = archive.archiveChecksum();

  std::vector<uint8_t> packed;
  if (plain.size() > setup::kMaxSettingsSize) {
    error = "the settings (" + Size(plain.size()) + ") exceed the engine's limit of 50 MiB; "
            "move large pictures, sounds or texts out of the settings";
    return false;
  }
  if (!setup::PackSettings(header, cipher, plain, packed, 9)) {
    error = "cannot compress the settings";
    return false;
  }
  if (packed.empty() || packed.size() > size_t(setup::kMaxBlockSize)) {
    error = "the packed settings (" + Size(packed.size()) + ") exceed the engine's limit of 50 MiB; "
            "move large pictures, sounds or texts out of the settings";
    return false;
  }
  std::vector<uint8_t> section = setup::ComposeSection(header, packed, archive.bytes());
  const uint32_t mapped = project.archive.fileMode ? uint32_t(header.blockEnd) : uint32_t(section.size());

  AppendedSection placed;
  if (!AppendSetupSection(exe, section, mapped, placed, error)) {
    error = "the engine \"" + engine.string() + "\": " + error;
    return false;
  }
  // The engine checksum covers the headers as they are now, with the new section entry.
  header.engineChecksum = setup::EngineChecksum(exe.data(), placed.rawPointer, placed.peOffset);
  const std::vector<uint8_t> headerBytes = setup::SerializeHeader(header);
  std::copy(headerBytes.begin(), headerBytes.end(), exe.begin() + placed.rawPointer);

  const fs::path temp = out.string() + ".part";
  {
    std::ofstream o(temp, std::ios::binary | std::ios::trunc);
    if (!o || !o.write(reinterpret_cast<const char*>(exe.data()), std::streamsize(exe.size())) || !o.flush()) {
      error = "cannot write \"" + temp.string() + "\"";
      std::error_code ec;
      fs::remove(temp, ec);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temp, out, ec);
  if (ec) {
    error = "cannot write \"" + out.string() + "\": " + ec.message();
    fs::remove(temp, ec);
    return false;
  }
  fs::permissions(out, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add, ec);
  report.installerSize = exe.size();
  report.archiveSize = archive.archiveSize();
  report.items = project.files.size();
  return true;
}

}  // namespace builder
