#pragma once
// The engine's side of the installer container: its own executable opened as a file, the
// `.setup` section found through the file's section table and read through the loader's mapping,
// the settings block unpacked, and the archive located and checked. Every failure ends the run
// through its numbered error; the functions return only on success.
#include <cstdint>
#include <memory>

#include "lib/cipher.h"
#include "lib/win32/file.h"
#include "setup/core/container.h"
#include "setup/core/settings_stream.h"

namespace setup {

// The bytes of an open file, bounded by the size it had when the source was made. Reads seek the
// file, so one source per file object and one thread.
class FileSource : public ByteSource {
public:
  FileSource(vk::File& file, uint64_t size) : file_(&file), size_(size) {}
  uint64_t size() const override { return size_; }
  bool read(uint64_t offset, void* dst, size_t n) const override;

private:
  vk::File* file_;
  uint64_t size_;
};

// A window [offset, offset + size) of another source.
class RangeSource : public ByteSource {
public:
  RangeSource(const ByteSource& base, uint64_t offset, uint64_t size) : base_(&base), offset_(offset), size_(size) {}
  uint64_t size() const override { return size_; }
  bool read(uint64_t offset, void* dst, size_t n) const override;

private:
  const ByteSource* base_;
  uint64_t offset_, size_;
};

struct Container {
  Container() = default;
  Container(const Container&) = delete;
  Container& operator=(const Container&) = delete;

  vk::Streng path;                      // the executable, as the system named it
  vk::File file;                        // open read-only, shared, until exit
  std::unique_ptr<FileSource> fileView;
  SectionLocation location;             // .setup in the file's section table
  const uint8_t* image = nullptr;       // the section in the loader's mapping
  size_t imageSize = 0;                 // what the loader mapped of it (its virtual size)
  SetupHeader header;
  vk::Blowfish cipher;                  // keyed only when the container is enciphered
  Bytes front;                          // the file in front of the section, once read
  // The stored archive, once openArchive has checked it: a view of the image (image mode) or a
  // window of the file (file mode). The extraction reads its chunks through this.
  std::unique_ptr<ByteSource> archive;
};

// The process's one container.
Container& InstallerContainer();

// Opens the executable and checks the section and its header (1, 43, 44, 9, 10, the no-data
// message, 20, the version box, 22, 45, 27, 29, 28); keys the cipher.
void openContainer(Container& c);

// The unpacked settings block (47).
SettingsStream unpackSettings(const Container& c);

// The archive bytes and their check: 46 when the bytes there are not the archive size, 55 on a
// checksum mismatch, "Error code 2" when the file cannot be read. In file mode the checksum is
// taken while reading the file in pieces, so memory does not grow with the archive.
void openArchive(Container& c, bool fileMode);

// Reading pieces of this size from the file.
constexpr size_t kArchiveReadPiece = size_t(1) << 20;

}  // namespace setup
