#include "setup/core/overwrite.h"

#include <algorithm>
#include <vector>

#include "lib/format.h"
#include "setup/core/version_compare.h"

namespace setup {

namespace {

using DF = DefaultFolder;
using RT = ReplacementTest;
using RR = RemovalRecord;
using FU = FollowUp;

constexpr KindInfo kKinds[] = {
    {0, DF::Installation, RT::OverwriteModeOnly, RR::Yes, true, true, FU::ShortcutWhenFlagged},
    {1, DF::Shared, RT::UpToDate, RR::PortableOnly, false, true, FU::SharedCount},
    {2, DF::None, RT::OverwriteModeOnly, RR::No, false, false, FU::None},
    {3, DF::None, RT::OverwriteModeOnly, RR::No, false, false, FU::None},
    {4, DF::Fonts, RT::UpToDate, RR::No, false, false, FU::FontRegistration},
    {5, DF::Installation, RT::OverwriteModeOnly, RR::Yes, true, true, FU::StartupShortcut},
    {6, DF::System, RT::VersionThenDate, RR::No, false, false, FU::SharedCountKept},
    {7, DF::System, RT::VersionThenDate, RR::No, false, false, FU::ComRegistration},
    {8, DF::System, RT::VersionThenDate, RR::No, false, false, FU::TypeLibraryRegistration},
    {9, DF::Installation, RT::VersionThenDate, RR::Yes, true, true, FU::None},
    {10, DF::Installation, RT::OverwriteModeOnly, RR::Yes, true, true, FU::DriverInstallation},
    {11, DF::Installation, RT::OverwriteModeOnly, RR::Yes, true, true, FU::MsiInstallation},
    {12, DF::Installation, RT::OverwriteModeOnly, RR::Yes, true, true, FU::AppletRegistration},
};

enum Mode : uint32_t { kByKind = 0, kNever = 4, kOnlyIfExists = 8, kOnlyIfMissing = 12, kUnlessNewer = 16, kNever2 = 20 };

vk::Streng Line(const vk::Streng& target, std::u16string_view text) { return target + vk::Streng(text); }

}  // namespace

const KindInfo* FindKind(int32_t kind) {
  for (const KindInfo& info : kKinds)
    if (info.kind == kind) return &info;
  return nullptr;
}

bool KindRecordsFile(int32_t kind, bool portable) {
  const KindInfo* info = FindKind(kind);
  if (!info) return false;
  return info->removal == RR::Yes || (info->removal == RR::PortableOnly && portable);
}

std::optional<FileDate> FileDate::FromEntry(const int32_t time[6]) {
  if (time[1] == 0 || time[3] < 0) return std::nullopt;
  return FileDate{time[0], time[1], time[2], time[3], time[4], time[5]};
}

vk::String FormatFileDate(const FileDate& d) {
  return vk::Format("%d/%02d/%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute, d.second);
}

NeededFacts FactsNeeded(int32_t kind, uint32_t flags, bool exists, bool entryVersionGiven) {
  NeededFacts needed;
  if (!exists) return needed;
  const uint32_t mode = flags & EntryFlag::OverwriteMask;
  if (mode == kNever || mode == kNever2) return needed;
  if (mode == kOnlyIfMissing) return needed;  // an existing target is skipped at once
  const KindInfo* info = FindKind(kind);
  const RT test = info ? info->test : RT::OverwriteModeOnly;
  needed.date = mode == kUnlessNewer || test != RT::OverwriteModeOnly;
  needed.version = test == RT::VersionThenDate && entryVersionGiven;
  return needed;
}

ReplacementDecision DecideReplacement(const ReplacementFacts& f) {
  ReplacementDecision d;
  const uint32_t mode = f.flags & EntryFlag::OverwriteMask;
  const bool permanent = (f.flags & EntryFlag::Permanent) != 0;
  const bool recordedKind = KindRecordsFile(f.kind, f.portable) && !permanent;

  if (mode == kNever || mode == kNever2) return d;
  if (mode == kOnlyIfExists && !f.exists) {
    d.log = Line(f.target, u" was not installed because it does not already exist.\r\n");
    return d;
  }
  if (mode == kOnlyIfMissing && f.exists) {
    d.recordSkipped = recordedKind;
    d.log = Line(f.target, u" was not installed because it already exists.\r\n");
    return d;
  }
  if (mode == kUnlessNewer && f.existingDate && f.entryDate && *f.existingDate > *f.entryDate) {
    d.recordSkipped = recordedKind;
    d.log = Line(f.target, u" was not installed because the existing file is newer.\r\n");
    return d;
  }

  const KindInfo* info = FindKind(f.kind);
  const RT test = info ? info->test : RT::OverwriteModeOnly;
  if (test == RT::OverwriteModeOnly || !f.exists) {
    d.install = true;
    return d;
  }

  if (test == RT::UpToDate) {
    if (f.entryDate && f.existingDate && *f.existingDate >= *f.entryDate) {
      d.recordSkipped = f.kind == int32_t(EntryKind::SharedFile) && f.portable && !permanent;
      d.log = Line(f.target, u" is up to date.\r\n");
      return d;
    }
    d.install = true;
    d.log = Line(f.target, u" is out of date and will be replaced.\r\n");
    return d;
  }

  // Version, then date: both must speak for the new file where they are known.
  const bool recordVersioned = f.kind == int32_t(EntryKind::VersionedFile) && !permanent;
  const vk::Streng entryVersion = vk::AnsiToStreng(f.entryVersion);
  const bool versionCompared = !f.entryVersion.empty() && f.existingVersion && !f.existingVersion->empty();
  if (versionCompared &&
      CompareProductVersion(f.entryVersion, vk::StrengToAnsi(*f.existingVersion)) <= 0) {
    d.recordSkipped = recordVersioned;
    d.log = Line(f.target, vk::Format(u" was not installed because its version (%s) is not newer than %s\r\n",
                                      entryVersion, *f.existingVersion));
    return d;
  }
  // An entry without a time has nothing to compare, so only the version speaks.
  const bool dateCompared = f.existingDate && f.entryDate;
  if (dateCompared && *f.entryDate <= *f.existingDate) {
    d.recordSkipped = recordVersioned;
    d.log = Line(f.target, vk::Format(u" was not installed because its date (%s) is not newer than %s.\r\n",
                                      FormatFileDate(*f.entryDate), FormatFileDate(*f.existingDate)));
    return d;
  }
  d.install = true;
  if (!versionCompared && !dateCompared) {
    d.log = Line(f.target, u" is out of date and will be replaced.\r\n");
    return d;
  }
  vk::Streng reasons = u" needs replacement because ";
  if (versionCompared)
    reasons += vk::Format(u"its version (%s) is newer than %s", entryVersion, *f.existingVersion);
  if (versionCompared && dateCompared) reasons += u" and ";
  if (dateCompared)
    reasons += vk::Format(u"its date (%s) is newer than %s", FormatFileDate(*f.entryDate),
                          FormatFileDate(*f.existingDate));
  reasons += u"\r\n";
  d.log = f.target + reasons;
  return d;
}

}  // namespace setup
