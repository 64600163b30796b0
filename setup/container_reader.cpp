#include "setup/container_reader.h"

#include <windows.h>

#include <cstring>

#include "lib/fatal.h"
#include "lib/file_errors.h"
#include "setup/core/archive.h"
#include "setup/core/engine_messages.h"
#include "setup/errors.h"
#include "setup/install_context.h"

namespace setup {

namespace {

// The module's own path, however long.
vk::Streng OwnPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return vk::Streng();
    // A full buffer means the path may have been cut (XP does not say so through the error).
    if (n < buffer.size() - 1) return vk::FromW(buffer.data(), n);
    if (buffer.size() >= 0x10000) return vk::Streng();
    buffer.resize(buffer.size() * 2);
  }
}

[[noreturn]] void CannotOpenSelf(const vk::Streng& path, int fileError) {
  vk::FatalError(u"Error code 1: The installer could not open itself.\r\nFilename: %s\r\nError #%d: %s", path,
                 fileError, vk::FileErrorMessageW(fileError));
}

// How much of the section at virtualAddress the loader mapped, read from the loaded image's own
// section table (the file may differ from what was loaded). 0 when the image has no such section.
size_t MappedSectionSize(const uint8_t* base, uint32_t virtualAddress) {
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return 0;
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return 0;
  const size_t headersSize = nt->OptionalHeader.SizeOfHeaders;
  auto first = IMAGE_FIRST_SECTION(nt);
  const size_t tableOffset = reinterpret_cast<const uint8_t*>(first) - base;
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
    if (tableOffset + (i + 1) * sizeof(IMAGE_SECTION_HEADER) > headersSize) return 0;
    const IMAGE_SECTION_HEADER& s = first[i];
    if (s.VirtualAddress != virtualAddress || std::memcmp(s.Name, kSectionName, sizeof kSectionName) != 0) continue;
    // A virtual size of 0 makes the loader map the raw size.
    return s.Misc.VirtualSize ? s.Misc.VirtualSize : s.SizeOfRawData;
  }
  return 0;
}

[[noreturn]] void ArchiveUnreadable(uint64_t size, uint64_t position) {
  vk::FatalError(u"Error code 2: failed to read archive data\r\nsize=%d pos=%d", static_cast<long long>(size),
                 static_cast<long long>(position));
}

}  // namespace

bool FileSource::read(uint64_t offset, void* dst, size_t n) const {
  if (offset > size_ || n > size_ - offset) return false;
  if (n == 0) return true;
  return file_->Seek(static_cast<int64_t>(offset)) && file_->Read(dst, static_cast<int64_t>(n));
}

bool RangeSource::read(uint64_t offset, void* dst, size_t n) const {
  if (offset > size_ || n > size_ - offset) return false;
  return base_->read(offset_ + offset, dst, n);
}

Container& InstallerContainer() {
  static Container container;
  return container;
}

void openContainer(Container& c) {
  c.path = OwnPath();
  const int opened = c.file.Open(c.path, vk::FileMode::Read | vk::FileMode::ShareRead | vk::FileMode::ShareWrite);
  if (opened != vk::FileErr::Success) CannotOpenSelf(c.path, opened);
  const int64_t size = c.file.Size();
  if (size < 0) CannotOpenSelf(c.path, vk::FileErr::Unknown);
  c.fileView = std::make_unique<FileSource>(c.file, static_cast<uint64_t>(size));

  const int found = FindSetupSection(*c.fileView, c.location);
  if (found == kNoSetupSection) fatalError(kNoSetupDataText);
  if (found != kOk) corruptInstaller(found, false);

  const auto* base = reinterpret_cast<const uint8_t*>(GetModuleHandleW(nullptr));
  c.imageSize = MappedSectionSize(base, c.location.virtualAddress);
  c.image = c.imageSize ? base + c.location.virtualAddress : nullptr;

  const int parsed = ParseHeader(c.image, c.imageSize, c.header);
  if (parsed == kVersionMismatch)
    fatalError(vk::Format("The installer version (42.0) does not match the version of %s (%s).  Close all "
                          "applications and reinstall %s.",
                          kEngineTitle8, c.header.engineVersion, kEngineTitle8));
  if (parsed != kOk) corruptInstaller(parsed, false);
  KeyCipher(c.header, c.cipher);
}

SettingsStream unpackSettings(const Container& c) {
  Bytes plain;
  const int unpacked =
      UnpackSettings(c.header, c.cipher, c.image + c.header.headerLength, static_cast<size_t>(c.header.blockSize), plain);
  if (unpacked != kOk) corruptInstaller(unpacked, false);
  return SettingsStream(std::move(plain));
}

void openArchive(Container& c, bool fileMode) {
  const SetupHeader& h = c.header;
  if (!fileMode) {
    size_t offset = 0, length = 0;
    int located = LocateImageArchive(h, c.imageSize, offset, length);
    if (located == kOk) located = CheckArchive(h, c.image + offset, length);
    if (located != kOk) corruptInstaller(located, false);
    c.archive = std::make_unique<MemorySource>(c.image + offset, length);
    return;
  }

  const uint64_t position = uint64_t(c.location.rawPointer) + h.blockEnd;
  const uint64_t fileSize = c.fileView->size();
  const uint64_t available = position <= fileSize ? fileSize - position : 0;
  if (position > fileSize || h.archiveSize < 0 || available != uint64_t(h.archiveSize))
    corruptInstaller(kArchiveSizeMismatch, false);

  RunningChecksum sum;
  Bytes piece(std::min<uint64_t>(available, kArchiveReadPiece));
  for (uint64_t done = 0; done < available;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(available - done, piece.size()));
    if (!c.fileView->read(position + done, piece.data(), n)) ArchiveUnreadable(available, position);
    sum.add(piece.data(), n);
    done += n;
  }
  if (sum.value() != h.archiveChecksum) corruptInstaller(kArchiveChecksum, false);
  c.archive = std::make_unique<RangeSource>(*c.fileView, position, available);
}

}  // namespace setup
