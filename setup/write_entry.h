#pragma once
// Writing one archive entry's file, and the facts its replacement decision needs.
//
// The data is never held whole. It arrives in pieces (the archive reader's sink) and goes at once
// into a "VKT" temporary file beside the target. Only when the item's checksum has matched does
// the temporary file replace the target; a damaged item leaves the target untouched.
//
// The replacement keeps the attempts of a direct write: up to three, 50 ms apart; after the first
// failure missing folders are created, and with ProductFlags bit 19 the read-only, hidden and
// system attributes of the target are cleared; after the third the replacement at the next restart
// takes over, and since the new content already stands beside the target, that temporary file is
// the one registered. An existing target with any of those three attributes fails an attempt with
// ERROR_ACCESS_DENIED, as creating it for writing with normal attributes would; a target held open
// by another program fails it with the system's sharing error. So the log lines, FailureSummary
// texts and error texts are those of a direct write.
//
// What differs: the replaced file is a new file (a rename), so it carries the security that the
// folder gives new files rather than the old file's own, and hard links to the old file keep the
// old content. The verify option (bit 18) reads the temporary file back before the replacement;
// since the data is gone by then, a difference fails the entry at once instead of after three
// writes. A temporary file that cannot be made in the target's folder ends in the replacement's
// "no temporary file could be created" failure, with that error as the reason.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "lib/strings.h"
#include "lib/win32/handle.h"
#include "setup/core/overwrite.h"
#include "setup/reboot.h"

namespace setup {

struct EntryWrite {
  vk::Streng target;
  int64_t size = 0;
  const int32_t* time = nullptr;  // six UTC fields; null or unset keeps the system's time
  int32_t attributes = -1;        // -1 leaves them
  bool existedBefore = false;     // the target existed when the entry was tested
};

struct WriteOutcome {
  bool written = false;
  bool pending = false;  // registered for replacement at the next restart
  int dataError = 0;     // the data source's error (the item is damaged); nothing was written
};

// Receives the item's data piece by piece.
class EntryFileWriter {
public:
  EntryFileWriter(ReplacementContext& context, EntryWrite entry);
  ~EntryFileWriter();  // aborts when neither committed nor aborted
  EntryFileWriter(const EntryFileWriter&) = delete;
  EntryFileWriter& operator=(const EntryFileWriter&) = delete;

  void Write(const uint8_t* data, size_t size);
  // The checksum matched: replace the target.
  WriteOutcome Commit();
  // The item is damaged: the temporary file goes, the target stays as it was.
  void Abort();

private:
  bool Verify();
  void DropTemp();

  ReplacementContext& context_;
  EntryWrite entry_;
  vk::Streng temp_;
  vk::FileHandle file_;
  uint32_t stageError_ = 0;
  int64_t received_ = 0;
  uint8_t digest_[32] = {};
  struct Hash;
  std::unique_ptr<Hash> hash_;
  bool done_ = false;
};

// The data source hands the item's data to the sink and returns 0 when its checksum matched,
// otherwise its error code (then nothing is written and dataError carries the code).
using EntrySink = std::function<void(const uint8_t* data, size_t size)>;
using EntryData = std::function<int(const EntrySink& sink)>;
WriteOutcome WriteEntryFile(ReplacementContext& context, const EntryWrite& entry, const EntryData& data);

// Creates the target's folder with its parents. On failure FailureSummary gets the
// "Not installed" text (language text 25, the folder, the reason, the target).
bool CreateTargetFolder(ReplacementContext& context, const vk::Streng& folder, const vk::Streng& target);

// The existing file's modification date (UTC) in six fields, when readable.
std::optional<FileDate> ReadFileDate(const vk::Streng& path);
// The "FileVersion" string of the file's version resource as the system gives it, when present.
std::optional<vk::Streng> ReadFileVersion(const vk::Streng& path);
// Fills exists, existingDate and existingVersion of facts.target, asking only for what the decision reads.
void GatherReplacementFacts(ReplacementFacts& facts);

}  // namespace setup
