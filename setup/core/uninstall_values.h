#pragma once
// The values of the product's entry in the list of installed programs, in the order they are
// written: what each value holds, its type, and when it is written, left alone or deleted. The
// engine gathers the inputs, the registry writer carries the list out. The uninstaller and a later
// installation read these values back, so names, types and text forms are fixed.
#include <cstdint>
#include <vector>

#include "lib/strings.h"
#include "setup/core/settings.h"

namespace setup {

enum class RegValueKind {
  Wide,    // REG_SZ, UTF-16
  Ansi,    // REG_SZ, 8-bit text in the ANSI code page
  Dword,   // REG_DWORD
  Qword,   // REG_QWORD
  Expand,  // REG_EXPAND_SZ, UTF-16
  Delete,  // the value is removed
};

struct RegValueOp {
  // Empty: a value of the uninstall key. Otherwise a full key path ("\HKLM\Software\..."), opened
  // or created for this one value.
  vk::Streng key;
  vk::Streng name;
  RegValueKind kind = RegValueKind::Delete;
  vk::Streng wide;     // Wide, Expand
  vk::String text;     // Ansi
  uint64_t number = 0; // Dword (low 32 bits), Qword
  bool custom = false;  // one of the data's own values: a failed write is reported
  bool operator==(const RegValueOp&) const = default;
};

// What the values are made of besides the settings: the facts of this run.
struct UninstallValueInputs {
  const InstallSettings* settings = nullptr;
  uint32_t ProductFlags2 = 0;
  vk::Streng uninstallerPath;   // uninstall folder joined with the uninstaller file name
  vk::Streng uninstallName;     // the name the entry is registered under
  vk::Streng setupPath;         // the running setup program
  vk::Streng productIconPath;   // "product.ico" written; empty: no DisplayIcon
  vk::Streng startMenuFolder;   // the Start Menu folder chosen
  vk::Streng sharedFolder;
  vk::String productFonts;      // the font list of the archive phase
  vk::String sharedFiles;       // the shared-file list: quoted entries separated by ";"
  vk::Streng installFolder;
  uint64_t installedBytes = 0;  // every archive item's data
  uint64_t sessionNumber = 0;
  vk::String installDate;       // today's local date, "yymmdd" pattern (eight digits)
  // The custom values with their data already macro-expanded, in data order.
  std::vector<UninstallValue> customValues;
};

// Error of a custom value whose type code is not 1, 2 or 4.
constexpr int kErrUninstallValueType = 200;

// The whole list in write order; 0, or kErrUninstallValueType with `ops` left empty, so that a
// damaged list never leaves half an entry behind.
int BuildUninstallValues(const UninstallValueInputs& in, std::vector<RegValueOp>& ops);

// Pieces with rules of their own, for the tests and for the uninstaller's reader.
vk::Streng UninstallCommand(const vk::Streng& uninstallerPath, const vk::Streng& uninstallName, bool quiet);
// The numbers before and after the first "."; false when the version has none.
bool SplitVersion(std::u16string_view version, uint32_t& major, uint32_t& minor);
// Shortest decimal text that reads back as the same double ("1", "1.25"), never localised.
vk::String DecimalText(double value);
// A decimal number with an optional sign, as the custom DWORD values hold it; 0 for no number.
uint32_t ParseDecimalDword(std::u16string_view text);

}  // namespace setup
