#include "setup/extract_archive.h"

#include "lib/narrow_path.h"
#include "setup/core/archive.h"
#include "setup/core/overwrite.h"
#include "setup/core/product_flags.h"
#include "setup/engine_macros.h"
#include "setup/engine_services.h"
#include "setup/errors.h"
#include "setup/install_context.h"
#include "setup/install_log.h"
#include "setup/progress.h"
#include "setup/system_folders.h"
#include "setup/write_entry.h"

namespace setup {

namespace {


constexpr uint32_t kPermanent = 0x20;
constexpr uint32_t kIntoUninstallFolder = 0x40;

bool Is(const ArchiveEntry& e, EntryKind kind) { return e.kind == int32_t(kind); }

void Check(int code) {
  if (code) corruptInstaller(code, false);
}

// A product without uninstall data has no shared folder; its shared files go into the
// installation folder rather than wherever the current folder happens to be.
vk::Streng SharedFolder() {
  const InstallContext& c = Context();
  return c.sharedDir.empty() ? c.installDir : c.sharedDir;
}

vk::Streng DefaultFolderOf(DefaultFolder folder) {
  const InstallContext& c = Context();
  switch (folder) {
    case DefaultFolder::Installation: return c.installDir;
    case DefaultFolder::Shared: return SharedFolder();
    case DefaultFolder::Fonts: return FolderPath(SystemFolder::Fonts);
    case DefaultFolder::System: return FolderPath(SystemFolder::System);
    default: return {};
  }
}

// The lists that the registration steps read, filled before the replacement decision so that a
// skipped entry is still counted and registered.
void AddToRunLists(const ArchiveEntry& e, const vk::Streng& target, const vk::Streng& name) {
  InstallContext& c = Context();
  const bool permanent = (e.flags & kPermanent) != 0;
  const vk::String target8 = vk::EncodeNarrowPath(target);
  switch (EntryKind(e.kind)) {
    case EntryKind::SharedFile:
      if (!c.portable) c.sharedFiles.push_back(target8 + (permanent ? " " : ""));
      break;
    case EntryKind::SystemFile: c.sharedFiles.push_back(target8 + " "); break;
    case EntryKind::ComServerFile:
      c.comServers.push_back(target);
      if (!c.portable) c.sharedFiles.push_back(target8 + (permanent ? " " : "^"));
      break;
    case EntryKind::TypeLibraryFile:
      c.typeLibraries.push_back(target);
      c.sharedFiles.push_back(target8 + (permanent ? " " : "\xA9"));
      break;
    case EntryKind::FontFile:
      if (e.destination.empty() && !permanent)
        c.productFonts += "\"" + e.textA + "\" \"" + vk::StrengToAnsi(name) + "\" ";
      break;
    default: break;
  }
}

void RecordRemoval(InstallContext::RemovalRecord::Kind kind, const vk::Streng& path) {
  Context().removalRecords.push_back({kind, path});
}

// The shortcut that an entry asks for, appended to the data's shortcut list.
void RequestShortcut(const ArchiveEntry& e, const vk::Streng& target) {
  ShortcutEntry s;
  s.desktop = (e.flags & 0x1) != 0;
  s.startMenu = (e.flags & 0x2) != 0;
  s.startup = Is(e, EntryKind::StartupProgramFile);
  s.options = (e.flags & kPermanent) ? 1 : 0;
  s.target = target;
  s.name = vk::Utf8ToStreng(e.textA);
  s.icon = e.textB;
  s.arguments = vk::Cp1252ToStreng(e.textC);
  s.folder = e.textD;
  Context().settings.Shortcuts.push_back(std::move(s));
}

// Registration work that comes right after an entry (fonts, MSI packages, applets) is done by the
// registration step; drivers are collected for it.
void StartFollowUp(const ArchiveEntry& e, const vk::Streng& target, bool written) {
  if (Is(e, EntryKind::DriverInfFile) && written) Context().drivers.push_back(target);
}

}  // namespace

void ExtractArchive(Container& container) {
  InstallContext& c = Context();
  const InstallSettings& s = c.settings;
  ReplacementContext& files = EngineReplacementContext();

  ArchiveReader reader(*container.archive, container.header.itemSizes,
                       container.header.enciphered() ? &container.cipher : nullptr, s.hasFlag(flag::ArchiveCompressed));
  const size_t count = container.header.itemSizes.size();
  for (size_t i = 0; i < count; ++i) {
    SetProgress(int(28 + i * 62 / count));
    ArchiveEntry e;
    int32_t size = 0;
    Check(reader.nextEntry(e, size));
    const KindInfo* kind = FindKind(e.kind);
    if (!kind || (kind->folder == DefaultFolder::None && e.destination.empty())) Check(kCorruptEntry);

    // The name; a destination without a backslash renames the file.
    vk::Streng name = vk::DecodeNarrowPath(e.name);
    vk::Streng destination = e.destination;
    if (!destination.empty() && destination.find(u'\\') == vk::Streng::npos) {
      name = destination;
      e.name = vk::EncodeNarrowPath(name);
      destination.clear();
    }
    if (Is(e, EntryKind::SharedFile) && c.portable && !s.SharedSubfolder.empty()) {
      const bool keep = destination.find(u'\\') != vk::Streng::npos && destination.front() != u'%' &&
                        !(destination.size() >= 2 && destination[1] == u':') && destination.front() != u'\\';
      destination = keep ? vk::MakeAbsolutePath(vk::JoinPath(c.installDir, s.SharedSubfolder), destination) : vk::Streng();
    }

    // The target and whether its folder is to be created.
    vk::Streng target;
    bool createFolder = false;
    if (!destination.empty()) {
      destination = ExpandMacros(destination);
      if (destination.size() >= 2 && destination.ends_with(u"\\\\")) destination.pop_back();
      target = vk::MakeAbsolutePath(Is(e, EntryKind::SharedFile) ? SharedFolder() : c.installDir, destination);
      if (!target.empty() && target.back() == u'\\') target += name;
      createFolder = true;
    } else if (e.flags & kIntoUninstallFolder) {
      target = vk::JoinPath(c.uninstallDir, name);
    } else {
      target = vk::JoinPath(DefaultFolderOf(kind->folder), name);
      createFolder = kind->createsDefaultFolder;
    }

    if (s.hasFlag(flag::HidePaths) || e.name == "b/0@+") SetStatus(54);
    else SetStatusLine(target);
    AddToRunLists(e, target, name);

    ReplacementFacts facts;
    facts.target = target;
    facts.kind = e.kind;
    facts.flags = e.flags;
    facts.portable = c.portable;
    facts.entryDate = FileDate::FromEntry(e.time);
    facts.entryVersion = e.textA;
    GatherReplacementFacts(facts);
    const ReplacementDecision decision = DecideReplacement(facts);
    if (!decision.log.empty()) LogTextW(decision.log);
    const bool permanent = (e.flags & kPermanent) != 0;
    if (!decision.install) {
      if (decision.recordSkipped) RecordRemoval(InstallContext::RemovalRecord::File, target);
      Check(reader.readData({}));
      continue;
    }

    if ((Is(e, EntryKind::ProgramFile) && (e.flags & 0x3)) || Is(e, EntryKind::StartupProgramFile))
      RequestShortcut(e, target);

    const vk::Streng folder = vk::PathFolder(target);
    if (createFolder && !vk::EqualsNoCase(folder, c.installDir)) {
      if (!CreateTargetFolder(files, folder, target)) {
        Check(reader.readData({}));
        continue;
      }
      if (!permanent && kind->recordsFolder) RecordRemoval(InstallContext::RemovalRecord::Folder, folder);
    }
    if (!permanent && KindRecordsFile(e.kind, c.portable)) RecordRemoval(InstallContext::RemovalRecord::File, target);

    EntryWrite write;
    write.target = target;
    write.size = size;
    write.time = e.time;
    write.attributes = e.attributes;
    write.existedBefore = facts.exists;
    const WriteOutcome outcome =
        WriteEntryFile(files, write, [&](const EntrySink& sink) { return reader.readData(sink); });
    Check(outcome.dataError);
    if (outcome.written && VerboseLog()) LogPrintW(u"%s >>> %s\r\n", name, target);
    if (!outcome.written && !outcome.pending) continue;
    if (outcome.pending && !Is(e, EntryKind::ControlPanelAppletFile)) continue;
    StartFollowUp(e, target, outcome.written);
    if (!outcome.pending) c.writtenFiles.push_back(vk::EncodeNarrowPath(target));
  }
  Check(reader.finish());
}

}  // namespace setup
