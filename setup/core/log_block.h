#pragma once
// The block that one run appends to Install.log, and the rules around it: the entry endings of
// the failure summary, the crash marker, and the conversion of a log written before the file
// was UTF-8. Pure: the writer (setup/install_log.h) does the file work.
#include <cstdint>
#include <string_view>

#include "lib/strings.h"
#include "setup/core/product_flags.h"

namespace setup {

inline constexpr char kInstallerVersion[] = "42.0";
inline constexpr char kInstallDatePattern[] = "yy/mm/dd HH:ii:ss";
inline constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
inline constexpr char kLogSeparator[] =
    "\r\n\r\n**********************************************\r\n";
inline constexpr char16_t kCrashMarker[] = u"\r\n\r\nINSTALLER CRASHED!\r\n";
inline constexpr char kFailureSummaryTitle[] = "*** FAILURE SUMMARY ***\r\n";

struct LogBlockInput {
  vk::String installDate;            // the local time stamp, kInstallDatePattern
  vk::Streng productName;            // after any /n: override
  bool hasUninstaller = false;       // ProductFlags bit 2: only then the "Install type: " line
  bool reinstall = false;            // a previous installation of the product was found
  vk::Streng installFolder;
  vk::Streng productVersion;         // empty: no "Product version: " line
  vk::Streng overwrittenVersion;     // empty: no "Overwriting version: " line
  vk::String osDescription;          // DescribeOperatingSystem(0), ANSI code page
  vk::Streng failureSummary;         // empty: the run had no failures
  vk::Streng successNote;            // language text 43
};

// The header lines, ending in the empty line before the running log.
vk::Streng LogBlockHeader(const LogBlockInput& in);

// Everything appended to the file after its old content: the mark (empty file) or the
// separator, the header in UTF-8, the running log as it stands, an empty line's end, then the
// failure summary or the success note. The writer copies the running log between the head and
// the tail, so that a long log is never held in memory.
vk::String LogBlockHead(const LogBlockInput& in, bool fileEmpty);
vk::String LogBlockTail(const LogBlockInput& in);
vk::String ComposeLogBlock(const LogBlockInput& in, std::string_view runningLog, bool fileEmpty);

// An existing log that is not empty and does not begin with the UTF-8 mark was written in
// Windows-1252 (or, when edited by hand, in UTF-16) and is converted as a whole.
bool LogNeedsConversion(std::string_view content);
// The converted content, beginning with the UTF-8 mark. UTF-16 text with its mark (either byte
// order) is decoded as UTF-16 so that it survives; everything else is read as Windows-1252.
vk::String ConvertOldLog(std::string_view content);

// The same conversion over content that arrives in pieces of any length, so that a log of any
// size is converted without being held whole: each piece gives the converted text that is
// complete so far (the first one with the mark), finish() what a cut left over.
class OldLogConverter {
public:
  vk::String feed(std::string_view piece);
  vk::String finish();

private:
  enum class Form { Unknown, Cp1252, Utf16Le, Utf16Be };
  vk::String convert(std::string_view bytes, bool last);

  Form form_ = Form::Unknown;
  std::string held_;  // bytes of a mark, a UTF-16 unit or a surrogate pair not yet complete
};

// Makes a log or summary entry end in an empty line ("\r\n\r\n"), adding only what is missing.
vk::Streng EndWithEmptyLine(vk::Streng entry);
vk::String EndWithEmptyLine(vk::String entry);

// What the crash path adds to the failure summary: the marker and the crash report text
// (Windows-1252).
void AppendCrashReport(vk::Streng& summary, std::string_view crashReport1252);

inline bool HasFlag(uint64_t flags, int bit) { return ((flags >> bit) & 1) != 0; }

enum class CompletionNotice {
  None,          // crash path, automatic mode, or the product wants none
  AskToViewLog,  // failed run: yes/no question (texts 40 and 41)
  FinishDialog,  // something to offer at the end and no restart pending
  InfoBox,       // the plain completion message (texts 42 and 43)
};

struct CompletionDecision {
  CompletionNotice notice = CompletionNotice::None;
  uint64_t productFlags = 0;  // bit 57 cleared when no log will be there to view
};

// somethingToOffer: a program to launch or a document or page to show at the end.
CompletionDecision DecideCompletionNotice(bool failed, bool finishNotice, bool automaticMode,
                                          uint64_t productFlags, bool somethingToOffer);

// Install.log is written for a failed run, or for every run with ProductFlags bit 6.
inline bool ShouldWriteLogFile(bool failed, uint64_t productFlags) {
  return failed || HasFlag(productFlags, flag::AlwaysWriteLog);
}

}  // namespace setup
