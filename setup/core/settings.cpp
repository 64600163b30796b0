#include "setup/core/settings.h"

#include "lib/checksum.h"
#include "setup/core/product_flags.h"

namespace setup {

namespace {

const vk::Streng kCloseWindowsEnd = u"~~THE~END~~";
const vk::String kDeletionsEnd = "~~THE END~~";

constexpr uint32_t kSilentLowKeep = 0x7FFFFF7F;
constexpr uint32_t kSilentLowSet = 0x30600000;
constexpr uint32_t kSilentHighClear = 0x0008121C;
constexpr uint32_t kSilentHighSet = 0x00000800;

constexpr uint16_t kMaxStatusHoldTime = 9999;
constexpr int32_t kMaxBitmapSize = 100;
constexpr uint8_t kMaxLanguages = 200;
constexpr int32_t kMaxTexts = 10000;

bool IsBlank(const vk::Streng& s) {
  for (char16_t c : s)
    if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n') return false;
  return true;
}

void DefaultTo(vk::Streng& field, const vk::Streng& value) {
  if (field.empty()) field = value;
}

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

bool StartsWithNoCase(std::u16string_view s, std::u16string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (LowerAscii(s[i]) != LowerAscii(prefix[i])) return false;
  return true;
}

bool IsAbsolutePath(std::u16string_view p) {
  if (p.size() >= 2 && p[1] == u':') return true;
  return p.size() >= 2 && p[0] == u'\\' && p[1] == u'\\';
}

// Reads a count bounded by 0..max; returns false when it is out of bounds or when the rest of
// the block cannot hold that many records of at least minBytes each, so that nothing is made
// for records that are not there.
bool ReadCount(SettingsStream& s, int32_t max, size_t minBytes, int32_t& count) {
  s.readI32(count);
  return count >= 0 && count <= max && uint64_t(count) * minBytes <= s.remaining();
}

// The fewest bytes each kind of record takes: every text at least its length prefix or
// terminator, every number its width.
constexpr size_t kMinPageText = 4;        // readLen32
constexpr size_t kMinAssociation = 13;    // i32, five Z8, sized, Z16, sized
constexpr size_t kMinShortcut = 11;       // five sized, three u8, Z8, two u8
constexpr size_t kMinUninstallValue = 3;  // Z8, u8, sized
constexpr size_t kMinText = 2;            // Z16

}  // namespace

uint64_t ForceSilentFlags(uint64_t flags) {
  uint32_t low = uint32_t(flags);
  uint32_t high = uint32_t(flags >> 32);
  low = (low & kSilentLowKeep) | kSilentLowSet;
  high = (high & ~kSilentHighClear) | kSilentHighSet;
  return uint64_t(high) << 32 | low;
}

void ApplyAutomaticModeByte(uint8_t value, RunModes& modes) {
  if (value == 1)
    modes.automaticMode = true;
  else if (value == 2 && !modes.silentMode)
    modes.automaticMode = false;
}

int ReadSettings(SettingsStream& s, SettingsHeader& header, RunModes& modes,
                 const SettingsHooks& hooks, InstallSettings& out) {
  out = InstallSettings();

  // Rows 1-6. Short reads zero-fill and are caught by the end marker.
  s.readU64(out.ProductFlags);
  if (modes.silentMode) out.ProductFlags = ForceSilentFlags(out.ProductFlags);
  if (!(hooks.buttonImagesSupported && hooks.buttonImagesSupported()))
    header.ProductFlags2 &= ~kFlag2ButtonImages;
  s.readU8(out.AutomaticModeByte);
  ApplyAutomaticModeByte(out.AutomaticModeByte, modes);
  s.readSized(out.TaskbarText);
  s.readSized(out.ReservedText);
  s.readDouble(out.TitleSize);
  s.readU32(out.ProgressPlacement);

  if (!out.hasFlag(flag::NoBackgroundWindow) && hooks.createBackgroundWindow)
    hooks.createBackgroundWindow(out, modes.startMinimized);
  if (vk::checksum(s.data(), s.size()) != header.blockChecksum) return kErrBlockChecksum;

  s.readU16(out.StatusHoldTime);
  if (out.StatusHoldTime > kMaxStatusHoldTime) return kErrStatusHoldTime;
  s.readU8(out.ShortcutMode);
  auto& t = out.UninstallerTime;
  for (int32_t* f : {&t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second}) s.readI32(*f);
  s.readSized(out.Publisher);
  s.readSized(out.ProductName);
  s.readSized(out.ProductDescription);
  s.readU8(out.Bitness);
  if (out.Bitness == 1 && hooks.disableWow64Redirection) hooks.disableWow64Redirection();
  s.readU8(out.SharedFolderBase);
  s.readSized(out.SharedPath);
  s.readSized(out.SharedSubfolder);
  s.readSized(out.ProductStartMenu);
  s.readSized(out.DisplayVersion);
  s.readSized(out.DefaultInstallFolder);
  s.readSized(out.ProductRegistry);
  s.readLen32(out.RegistryEntries);
  s.readSized(out.RegistryMerge);
  s.readI32(out.BitmapSize);
  if (out.BitmapSize < 0 || out.BitmapSize > kMaxBitmapSize) return kErrBitmapSize;
  s.readI32(out.StretchMode);
  s.readLen16(out.GreetingLink);

  int32_t count;
  if (!ReadCount(s, kMaxPageTexts, kMinPageText, count)) return kErrLicenseCount;
  out.LicenseTexts.resize(size_t(count));
  for (auto& text : out.LicenseTexts) s.readLen32(text);
  if (!ReadCount(s, kMaxPageTexts, kMinPageText, count)) return kErrReadmeCount;
  out.ReadmeTexts.resize(size_t(count));
  for (auto& text : out.ReadmeTexts) s.readLen32(text);

  s.readSized(out.UninstallSubdir);
  s.readLen8(out.UninstallerFileName);
  s.readSized(out.UninstallKeyName);
  s.readZ8(out.PreviousInstallText);
  s.readSized(out.InstallerTitle);
  s.readU32(out.LabelColor);
  s.readU8(out.ReservedByte);
  s.readU32(out.TitleColor);
  s.readU8(out.TitleShadow);
  s.readU8(out.TitlePosition);
  s.readLen16(out.TitleFont);
  s.readU32(out.TopColor);
  s.readU32(out.BottomColor);

  int32_t bitmapLength;
  s.readI32(bitmapLength);
  if (bitmapLength > 0) {
    s.readFixed(size_t(bitmapLength), out.BackgroundBitmap);
    s.readI32(out.BitmapTPI);
  }
  s.readU8(out.CopyrightPos);
  if (out.CopyrightPos != 0) {
    s.readU32(out.CopyrightColor);
    s.readDouble(out.CopyrightSize);
    s.readSized(out.CopyrightText);
    s.readSized(out.CopyrightFont);
  }
  if (out.hasFlag(flag::RequiresMasterProduct)) {
    s.readSized(out.MasterProductName);
    s.readSized(out.MasterProductTitle);
    s.readSized(out.MinimumMasterVersion);
  }
  s.readSized(out.GreetingSound);
  s.readSized(out.DesktopFolder);
  s.readLen32(out.DesktopFolderIcon);
  for (vk::String* batch : {&out.PreInstallBatch, &out.PostInstallBatch, &out.InstallExitBatch,
                            &out.UninstallBatch1, &out.UninstallBatch2, &out.UpgradeBatch,
                            &out.ReinstallBatch})
    s.readSized(*batch);
  for (auto& v : out.MinimumWindowsVersion) s.readU32(v);
  s.readU32(out.ExcludedSystems);
  s.readU8(out.ArchiveFileMode);

  s.readSized(out.ApplicationCommand);
  s.readSized(out.DocumentPath);
  s.readSized(out.SecondDocumentPath);
  for (vk::String* address :
       {&out.LaunchAddress, &out.InstallStartAddress, &out.FreshInstallAddress,
        &out.UpgradeAddress, &out.DowngradeAddress, &out.ReinstallAddress, &out.NotifyURL,
        &out.LinkAddress, &out.CancelAddress, &out.FailureAddress})
    s.readSized(*address);

  s.readZ8(out.WarningVersion);
  s.readLen8(out.NoDowngradeBelow);
  s.readSized(out.InstallPassword);
  s.readSized(out.UpgradeFloor);
  s.readSized(out.FirewallEntries);
  s.readSized(out.AddToPathSubfolder);
  for (auto& v : out.WizardOptions) s.readU32(v);
  if (out.hasFlag(flag::Uninstaller)) s.readLen32(out.UninstallerIcon);

  // A terminated list that runs off the end of the block is a truncated block.
  for (;;) {
    FileDeletion d;
    if (!s.readZ8(d.fileSpec)) return kErrEndMarker;
    if (d.fileSpec == kDeletionsEnd) break;
    if (out.FileDeletions.size() == kMaxRecords) return kErrDeletionCount;
    s.readU8(d.conditionKind);
    s.readZ8(d.comparisonValue);
    s.readU8(d.flags);
    out.FileDeletions.push_back(std::move(d));
  }

  if (!ReadCount(s, kMaxRecords, kMinAssociation, count)) return kErrAssociationCount;
  out.FileAssociations.resize(size_t(count));
  for (auto& a : out.FileAssociations) {
    s.readI32(a.kind);
    s.readZ8(a.extension);
    s.readZ8(a.fileType);
    s.readZ8(a.description);
    s.readZ8(a.verbs);
    s.readZ8(a.verbText);
    s.readSized(a.command);
    s.readZ16(a.language);
    s.readSized(a.icon);
  }

  if (!ReadCount(s, kMaxRecords, kMinShortcut, count)) return kErrShortcutCount;
  out.Shortcuts.resize(size_t(count));
  for (auto& e : out.Shortcuts) {
    s.readSized(e.target);
    s.readSized(e.name);
    s.readSized(e.icon);
    s.readSized(e.arguments);
    s.readSized(e.startIn);
    s.readU8(e.desktop);
    s.readU8(e.startMenu);
    s.readU8(e.startup);
    s.readZ8(e.folder);
    s.readU8(e.windowState);
    s.readU8(e.options);
  }

  s.readSized(out.RootShortcutName);
  s.readSized(out.RootShortcutCommand);
  s.readZ16(out.TaskbarPinName);
  s.readZ16(out.TaskbarPinCommand);

  if (!ReadCount(s, kMaxRecords, kMinUninstallValue, count)) return kErrUninstallValueCount;
  out.UninstallValues.resize(size_t(count));
  for (auto& v : out.UninstallValues) {
    s.readZ8(v.name);
    s.readU8(v.type);
    s.readSized(v.data);
  }

  s.readLen16(out.SupportOffer);
  s.readLen32(out.ProductIcon);

  for (;;) {
    CloseWindow w;
    if (!s.readLen16(w.classPattern)) return kErrEndMarker;
    if (w.classPattern == kCloseWindowsEnd) break;
    if (out.CloseWindows.size() == kMaxRecords) return kErrCloseWindowCount;
    s.readZ8(w.titlePattern);
    s.readZ8(w.displayName);
    s.readU8(w.action);
    s.readU8(w.phaseMask);
    out.CloseWindows.push_back(std::move(w));
  }

  uint8_t languageCount;
  s.readU8(languageCount);
  if (languageCount < 1 || languageCount > kMaxLanguages) return kErrLanguageCount;
  int32_t textCount;
  s.readI32(textCount);
  if (textCount < 1 || textCount > kMaxTexts) return kErrTextCount;
  // The table is made only when the rest of the block can hold its names and texts.
  if ((uint64_t(textCount) + 1) * languageCount * kMinText > s.remaining()) return kErrEndMarker;
  std::vector<vk::Streng> names(languageCount);
  for (auto& name : names) s.readZ16(name);
  std::vector<vk::Streng> texts(size_t(textCount) * languageCount);
  for (auto& text : texts)
    if (!s.readZ16(text)) return kErrEndMarker;  // the block ends inside the table
  out.Languages.assign(std::move(names), std::move(texts), size_t(textCount));

  uint32_t marker;
  s.readU32(marker);
  if (marker != kSettingsEndMarker) return kErrEndMarker;
  return 0;
}

namespace {

// Collects the first field that could not be written.
class RecordWriter {
public:
  RecordWriter(SettingsWriter& w, vk::String* problem) : w_(w), problem_(problem) {}

  SettingsWriter& w() { return w_; }
  bool ok() const { return ok_; }
  void check(bool fine, const char* field) {
    if (fine || !ok_) return;
    ok_ = false;
    if (problem_) *problem_ = field;
  }

private:
  SettingsWriter& w_;
  vk::String* problem_;
  bool ok_ = true;
};

}  // namespace

bool WriteSettings(const InstallSettings& in, SettingsWriter& writer, vk::String* problem) {
  RecordWriter r(writer, problem);
  SettingsWriter& w = writer;

  w.writeU64(in.ProductFlags);
  w.writeU8(in.AutomaticModeByte);
  r.check(w.writeSized(in.TaskbarText), "TaskbarText");
  r.check(w.writeSized(in.ReservedText), "ReservedText");
  w.writeDouble(in.TitleSize);
  w.writeU32(in.ProgressPlacement);
  r.check(in.StatusHoldTime <= kMaxStatusHoldTime, "StatusHoldTime");
  w.writeU16(in.StatusHoldTime);
  w.writeU8(in.ShortcutMode);
  const auto& t = in.UninstallerTime;
  for (int32_t f : {t.year, t.month, t.day, t.hour, t.minute, t.second}) w.writeI32(f);
  r.check(w.writeSized(in.Publisher), "Publisher");
  r.check(w.writeSized(in.ProductName), "ProductName");
  r.check(w.writeSized(in.ProductDescription), "ProductDescription");
  w.writeU8(in.Bitness);
  w.writeU8(in.SharedFolderBase);
  r.check(w.writeSized(in.SharedPath), "SharedPath");
  r.check(w.writeSized(in.SharedSubfolder), "SharedSubfolder");
  r.check(w.writeSized(in.ProductStartMenu), "ProductStartMenu");
  r.check(w.writeSized(in.DisplayVersion), "DisplayVersion");
  r.check(w.writeSized(in.DefaultInstallFolder), "DefaultInstallFolder");
  r.check(w.writeSized(in.ProductRegistry), "ProductRegistry");
  r.check(w.writeLen32(in.RegistryEntries), "RegistryEntries");
  r.check(w.writeSized(in.RegistryMerge), "RegistryMerge");
  r.check(in.BitmapSize >= 0 && in.BitmapSize <= kMaxBitmapSize, "BitmapSize");
  w.writeI32(in.BitmapSize);
  w.writeI32(in.StretchMode);
  r.check(w.writeLen16(in.GreetingLink), "GreetingLink");

  r.check(in.LicenseTexts.size() <= kMaxPageTexts, "LicenseTexts");
  w.writeU32(uint32_t(in.LicenseTexts.size()));
  for (const auto& text : in.LicenseTexts) r.check(w.writeLen32(text), "LicenseTexts");
  r.check(in.ReadmeTexts.size() <= kMaxPageTexts, "ReadmeTexts");
  w.writeU32(uint32_t(in.ReadmeTexts.size()));
  for (const auto& text : in.ReadmeTexts) r.check(w.writeLen32(text), "ReadmeTexts");

  r.check(w.writeSized(in.UninstallSubdir), "UninstallSubdir");
  r.check(w.writeLen8(in.UninstallerFileName), "UninstallerFileName");
  r.check(w.writeSized(in.UninstallKeyName), "UninstallKeyName");
  r.check(w.writeZ8(in.PreviousInstallText), "PreviousInstallText");
  r.check(w.writeSized(in.InstallerTitle), "InstallerTitle");
  w.writeU32(in.LabelColor);
  w.writeU8(in.ReservedByte);
  w.writeU32(in.TitleColor);
  w.writeU8(in.TitleShadow);
  w.writeU8(in.TitlePosition);
  r.check(w.writeLen16(in.TitleFont), "TitleFont");
  w.writeU32(in.TopColor);
  w.writeU32(in.BottomColor);

  r.check(in.BackgroundBitmap.size() <= 0x7FFFFFFF, "BackgroundBitmap");
  w.writeU32(uint32_t(in.BackgroundBitmap.size()));
  if (!in.BackgroundBitmap.empty()) {
    w.writeFixed(in.BackgroundBitmap);
    w.writeI32(in.BitmapTPI);
  }
  w.writeU8(in.CopyrightPos);
  if (in.CopyrightPos != 0) {
    w.writeU32(in.CopyrightColor);
    w.writeDouble(in.CopyrightSize);
    r.check(w.writeSized(in.CopyrightText), "CopyrightText");
    r.check(w.writeSized(in.CopyrightFont), "CopyrightFont");
  }
  if (in.hasFlag(flag::RequiresMasterProduct)) {
    r.check(w.writeSized(in.MasterProductName), "MasterProductName");
    r.check(w.writeSized(in.MasterProductTitle), "MasterProductTitle");
    r.check(w.writeSized(in.MinimumMasterVersion), "MinimumMasterVersion");
  }
  r.check(w.writeSized(in.GreetingSound), "GreetingSound");
  r.check(w.writeSized(in.DesktopFolder), "DesktopFolder");
  r.check(w.writeLen32(in.DesktopFolderIcon), "DesktopFolderIcon");
  for (const vk::String* batch : {&in.PreInstallBatch, &in.PostInstallBatch,
                                  &in.InstallExitBatch, &in.UninstallBatch1, &in.UninstallBatch2,
                                  &in.UpgradeBatch, &in.ReinstallBatch})
    r.check(w.writeSized(*batch), "batch");
  for (uint32_t v : in.MinimumWindowsVersion) w.writeU32(v);
  w.writeU32(in.ExcludedSystems);
  w.writeU8(in.ArchiveFileMode);

  r.check(w.writeSized(in.ApplicationCommand), "ApplicationCommand");
  r.check(w.writeSized(in.DocumentPath), "DocumentPath");
  r.check(w.writeSized(in.SecondDocumentPath), "SecondDocumentPath");
  for (const vk::String* address :
       {&in.LaunchAddress, &in.InstallStartAddress, &in.FreshInstallAddress,
        &in.UpgradeAddress, &in.DowngradeAddress, &in.ReinstallAddress, &in.NotifyURL,
        &in.LinkAddress, &in.CancelAddress, &in.FailureAddress})
    r.check(w.writeSized(*address), "notification address");

  r.check(w.writeZ8(in.WarningVersion), "WarningVersion");
  r.check(w.writeLen8(in.NoDowngradeBelow), "NoDowngradeBelow");
  r.check(w.writeSized(in.InstallPassword), "InstallPassword");
  r.check(w.writeSized(in.UpgradeFloor), "UpgradeFloor");
  r.check(w.writeSized(in.FirewallEntries), "FirewallEntries");
  r.check(w.writeSized(in.AddToPathSubfolder), "AddToPathSubfolder");
  for (uint32_t v : in.WizardOptions) w.writeU32(v);
  if (in.hasFlag(flag::Uninstaller))
    r.check(w.writeLen32(in.UninstallerIcon), "UninstallerIcon");

  r.check(in.FileDeletions.size() <= kMaxRecords, "FileDeletions");
  for (const auto& d : in.FileDeletions) {
    r.check(d.fileSpec != kDeletionsEnd && w.writeZ8(d.fileSpec), "FileDeletions");
    w.writeU8(d.conditionKind);
    r.check(w.writeZ8(d.comparisonValue), "FileDeletions");
    w.writeU8(d.flags);
  }
  w.writeZ8(kDeletionsEnd);

  r.check(in.FileAssociations.size() <= kMaxRecords, "FileAssociations");
  w.writeU32(uint32_t(in.FileAssociations.size()));
  for (const auto& a : in.FileAssociations) {
    w.writeI32(a.kind);
    bool fine = w.writeZ8(a.extension);
    fine = w.writeZ8(a.fileType) && fine;
    fine = w.writeZ8(a.description) && fine;
    fine = w.writeZ8(a.verbs) && fine;
    fine = w.writeZ8(a.verbText) && fine;
    fine = w.writeSized(a.command) && fine;
    fine = w.writeZ16(a.language) && fine;
    fine = w.writeSized(a.icon) && fine;
    r.check(fine, "FileAssociations");
  }

  r.check(in.Shortcuts.size() <= kMaxRecords, "Shortcuts");
  w.writeU32(uint32_t(in.Shortcuts.size()));
  for (const auto& e : in.Shortcuts) {
    bool fine = w.writeSized(e.target);
    fine = w.writeSized(e.name) && fine;
    fine = w.writeSized(e.icon) && fine;
    fine = w.writeSized(e.arguments) && fine;
    fine = w.writeSized(e.startIn) && fine;
    w.writeU8(e.desktop);
    w.writeU8(e.startMenu);
    w.writeU8(e.startup);
    fine = w.writeZ8(e.folder) && fine;
    w.writeU8(e.windowState);
    w.writeU8(e.options);
    r.check(fine, "Shortcuts");
  }

  r.check(w.writeSized(in.RootShortcutName), "RootShortcutName");
  r.check(w.writeSized(in.RootShortcutCommand), "RootShortcutCommand");
  r.check(w.writeZ16(in.TaskbarPinName), "TaskbarPinName");
  r.check(w.writeZ16(in.TaskbarPinCommand), "TaskbarPinCommand");

  r.check(in.UninstallValues.size() <= kMaxRecords, "UninstallValues");
  w.writeU32(uint32_t(in.UninstallValues.size()));
  for (const auto& v : in.UninstallValues) {
    bool fine = w.writeZ8(v.name);
    w.writeU8(v.type);
    fine = w.writeSized(v.data) && fine;
    r.check(fine, "UninstallValues");
  }

  r.check(w.writeLen16(in.SupportOffer), "SupportOffer");
  r.check(w.writeLen32(in.ProductIcon), "ProductIcon");

  r.check(in.CloseWindows.size() <= kMaxRecords, "CloseWindows");
  for (const auto& c : in.CloseWindows) {
    bool fine = c.classPattern != kCloseWindowsEnd && w.writeLen16(c.classPattern);
    fine = w.writeZ8(c.titlePattern) && fine;
    fine = w.writeZ8(c.displayName) && fine;
    w.writeU8(c.action);
    w.writeU8(c.phaseMask);
    r.check(fine, "CloseWindows");
  }
  w.writeLen16(kCloseWindowsEnd);

  const LanguageTable& lang = in.Languages;
  r.check(lang.languageCount() >= 1 && lang.languageCount() <= kMaxLanguages, "languages");
  r.check(lang.textCount() >= 1 && lang.textCount() <= size_t(kMaxTexts), "texts");
  w.writeU8(uint8_t(lang.languageCount()));
  w.writeU32(uint32_t(lang.textCount()));
  for (const auto& name : lang.names()) r.check(w.writeZ16(name), "language names");
  for (size_t n = 0; n < lang.textCount(); ++n)
    for (size_t l = 0; l < lang.languageCount(); ++l)
      r.check(w.writeZ16(lang.raw(n, l)), "texts");

  w.writeU32(kSettingsEndMarker);
  return r.ok();
}

void ApplyDefaults(InstallSettings& s, RunModes& modes) {
  if (modes.overrideProductName.empty())
    modes.overrideProductName = s.ProductName;
  else
    s.ProductName = modes.overrideProductName;
  const vk::Streng& name = s.ProductName;

  DefaultTo(s.ProductDescription, name);
  if (s.SharedPath.empty()) s.SharedPath = IsBlank(s.Publisher) ? name : s.Publisher;
  DefaultTo(s.ProductStartMenu, name);
  DefaultTo(s.UninstallKeyName, name);
  if (s.hasFlag(flag::RequiresMasterProduct)) {
    DefaultTo(s.MasterProductName, name);
    DefaultTo(s.MasterProductTitle, name);
  }
  if (s.hasFlag(flag::DesktopFolderDefault)) DefaultTo(s.DesktopFolder, name);
}

vk::Streng ResolveDefaultInstallFolder(const vk::Streng& stored, const vk::Streng& productName,
                                       uint8_t bitness, const FolderProvider& provider) {
  vk::Streng folder;
  if (stored.empty()) {
    folder = productName;
  } else {
    const std::u16string_view os = u"<os>";
    const vk::Streng windows = provider.windowsFolder();
    folder = stored;
    for (size_t at = folder.find(os); at != vk::Streng::npos; at = folder.find(os, at + windows.size()))
      folder.replace(at, os.size(), windows);
    folder = provider.expandMacros(folder);
  }

  // Resolved later against the master product or the registry.
  if (folder.size() == 8 && StartsWithNoCase(folder, u"<master>")) return folder;
  if (StartsWithNoCase(folder, u"HKLM\\") || StartsWithNoCase(folder, u"HKCU\\")) return folder;
  return FolderUnderProgramFiles(folder, bitness, provider);
}

vk::Streng FolderUnderProgramFiles(const vk::Streng& folder, uint8_t bitness, const FolderProvider& provider) {
  if (IsAbsolutePath(folder)) return folder;
  vk::Streng base = bitness == 1 ? provider.programFiles64() : provider.programFiles32();
  size_t skip = 0;
  while (skip < folder.size() && folder[skip] == u'\\') ++skip;
  if (!base.empty() && base.back() != u'\\') base += u'\\';
  return base + folder.substr(skip);
}

}  // namespace setup
