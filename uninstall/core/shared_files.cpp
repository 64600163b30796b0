#include "uninstall/core/shared_files.h"

#include "lib/narrow_path.h"
#include "uninstall/core/fonts.h"

namespace uninstall {

namespace {

constexpr char kTypeLibraryMark = '\xA9';

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The number of bytes a UTF-8 lead byte announces; 0 for a byte that cannot lead.
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Whether the final byte closes a complete UTF-8 sequence that begins after the "|" mark.
bool EndsCharacter(std::string_view path) {
  size_t continuations = 0;
  size_t i = path.size();
  while (i > 1 && IsContinuation(static_cast<unsigned char>(path[i - 1])) && continuations < 4) {
    --i;
    ++continuations;
  }
  if (i <= 1 || continuations == 0) return false;  // i == 1 is the "|" itself
  return SequenceLength(static_cast<unsigned char>(path[i - 1])) == continuations + 1;
}

}  // namespace

SharedFile SplitSharedFileMarks(std::string_view path) {
  SharedFile file;
  if (!path.empty() && path.back() == '^') {
    file.selfRegistering = true;
    path.remove_suffix(1);
  }
  if (!path.empty() && path.back() == ' ') {
    file.neverRemove = true;
    path.remove_suffix(1);
  }
  if (!path.empty() && path.back() == kTypeLibraryMark &&
      !(vk::IsUtf8NarrowPath(path) && EndsCharacter(path))) {
    file.typeLibrary = true;
    path.remove_suffix(1);
  }
  file.narrowPath = vk::String(path);
  return file;
}

std::vector<SharedFile> ParseSharedFiles(std::string_view text) {
  std::vector<SharedFile> files;
  for (const std::string_view quoted : QuotedStrings(text)) {
    SharedFile file = SplitSharedFileMarks(quoted);
    if (!vk::Trim(file.narrowPath).empty()) files.push_back(std::move(file));
  }
  return files;
}

}  // namespace uninstall
