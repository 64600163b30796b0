#include "builder/inspect.h"

#include <fstream>
#include <set>

#include "builder/flags.h"
#include "lib/cipher.h"
#include "lib/format.h"
#include "lib/narrow_path.h"
#include "setup/core/archive.h"
#include "setup/core/container.h"
#include "setup/core/product_flags.h"
#include "setup/core/settings.h"

namespace builder {

namespace fs = std::filesystem;
using vk::Streng;
using vk::String;

namespace {

std::string U8(const Streng& s) { return vk::StrengToUtf8(s); }
std::string Cp(const String& s) { return vk::Cp1252ToUtf8(s); }
std::string Hex(uint64_t v, int digits = 8) { return vk::Format("0x%0*llX", digits, v); }
std::string Bytes(const String& s) { return s.empty() ? "" : std::to_string(s.size()) + " bytes"; }

const char* ErrorName(int code) {
  switch (code) {
    case 0: return "ok";
    case setup::kNoSetupSection: return "no installation data";
    case setup::kVersionMismatch: return "made for another engine version";
    default: return "damaged";
  }
}

// What an installer holds, located and opened once for inspect and extract.
struct Opened {
  std::vector<uint8_t> file;
  setup::SectionLocation loc;
  setup::SetupHeader header;
  vk::Blowfish cipher;
  const uint8_t* section = nullptr;
  size_t sectionSize = 0;
  setup::InstallSettings settings;
  int settingsError = 0;

  // The archive bytes of either mode.
  int archive(const uint8_t*& data, size_t& size) const {
    if (settings.ArchiveFileMode == 1) {
      const uint64_t pos = uint64_t(loc.rawPointer) + header.blockEnd;
      data = file.data() + std::min<uint64_t>(pos, file.size());
      size = pos < file.size() ? size_t(file.size() - pos) : 0;
      return size == uint64_t(header.archiveSize) ? 0 : setup::kArchiveSizeMismatch;
    }
    size_t off = 0, len = 0;
    if (int e = setup::LocateImageArchive(header, sectionSize, off, len)) return e;
    data = section + off;
    size = len;
    return 0;
  }
};

int Open(const fs::path& path, Opened& o, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read \"" + path.string() + "\"";
    return -1;
  }
  o.file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  setup::MemorySource source(o.file);
  int e = setup::FindSetupSection(source, o.loc);
  if (e == setup::kNoSetupSection) {
    error = "\"" + path.string() + "\" carries no installation data (no .setup section)";
    return -1;
  }
  if (e) return e;
  // The loader maps the section from the file; the raw data holds everything the section has.
  o.section = o.file.data() + o.loc.rawPointer;
  o.sectionSize = size_t(std::min<uint64_t>(o.loc.rawSize, o.file.size() - o.loc.rawPointer));
  e = setup::ParseHeader(o.section, o.sectionSize, o.header);
  if (e) return e;
  setup::KeyCipher(o.header, o.cipher);
  std::vector<uint8_t> plain;
  e = setup::UnpackSettings(o.header, o.cipher, o.section + o.header.headerLength, size_t(o.header.blockSize), plain);
  if (e) return e;
  setup::SettingsStream stream(std::move(plain));
  setup::SettingsHeader sh{o.header.blockChecksum, o.header.productFlags2};
  sh.ProductFlags2 = o.header.productFlags2;
  setup::RunModes modes;
  setup::SettingsHooks hooks;
  hooks.buttonImagesSupported = [] { return true; };  // report the stored flags as they are
  o.settingsError = setup::ReadSettings(stream, sh, modes, hooks, o.settings);
  return 0;
}

Value FlagNames(uint64_t word, FlagWord which) {
  Value list = Value::List();
  for (const NamedFlag& f : NamedFlags())
    if (f.word == which && ((word >> f.bit) & 1)) list.add(std::string(f.name));
  return list;
}

Value Settings(const setup::InstallSettings& s) {
  Value v = Value::Object();
  v.set("product_name", U8(s.ProductName));
  v.set("version", U8(s.DisplayVersion));
  v.set("publisher", U8(s.Publisher));
  v.set("description", U8(s.ProductDescription));
  v.set("install_folder", U8(s.DefaultInstallFolder));
  v.set("bitness", s.Bitness == 1 ? "64" : s.Bitness == 2 ? "32" : "any");
  v.set("registry_key", U8(s.ProductRegistry));
  v.set("uninstall_key", U8(s.UninstallKeyName));
  v.set("start_menu_folder", U8(s.ProductStartMenu));
  v.set("desktop_folder", U8(s.DesktopFolder));
  v.set("shortcuts_for", s.ShortcutMode == 1 ? "all-users" : "user");
  v.set("shared_folder", U8(s.SharedPath));
  v.set("shared_folder_base", int(s.SharedFolderBase));
  v.set("shared_subfolder", U8(s.SharedSubfolder));
  v.set("uninstall_folder", U8(s.UninstallSubdir));
  v.set("uninstaller_file_name", U8(s.UninstallerFileName));
  v.set("title", U8(s.InstallerTitle));
  v.set("password_set", !s.InstallPassword.empty());
  v.set("automatic_mode", s.AutomaticModeByte == 1 ? "on" : s.AutomaticModeByte == 2 ? "off" : "unchanged");
  v.set("product_flags", Hex(s.ProductFlags, 16));
  v.set("options", FlagNames(s.ProductFlags, FlagWord::Product));
  v.set("archive_compressed", s.hasFlag(setup::flag::ArchiveCompressed));
  v.set("archive_mode", s.ArchiveFileMode == 1 ? "file" : "image");
  Value& w = v.set("wizard", Value::Object());
  Value opts = Value::List();
  for (uint32_t o : s.WizardOptions) opts.add(o);
  w.set("options", std::move(opts));
  w.set("integrity", s.integrityMode() == 1 ? "checksum" : s.integrityMode() == 2 ? "signature" : "none");
  w.set("license_pages", int64_t(s.LicenseTexts.size()));
  w.set("readme_pages", int64_t(s.ReadmeTexts.size()));
  w.set("greeting_link", U8(s.GreetingLink));
  w.set("greeting_sound", Bytes(s.GreetingSound));
  w.set("status_hold_ms", int(s.StatusHoldTime));
  w.set("progress_placement", s.ProgressPlacement);
  w.set("label_color", Hex(s.LabelColor, 6));
  Value& look = v.set("look", Value::Object());
  look.set("taskbar_text", U8(s.TaskbarText));
  look.set("title_size", int64_t(s.TitleSize));
  look.set("title_color", Hex(s.TitleColor, 6));
  look.set("title_shadow", int(s.TitleShadow));
  look.set("title_position", int(s.TitlePosition));
  look.set("title_font", Cp(s.TitleFont));
  look.set("top_color", Hex(s.TopColor, 6));
  look.set("bottom_color", Hex(s.BottomColor, 6));
  look.set("bitmap", Bytes(s.BackgroundBitmap));
  look.set("bitmap_size", s.BitmapSize);
  look.set("stretch_mode", s.StretchMode);
  look.set("copyright_position", int(s.CopyrightPos));
  look.set("copyright_text", U8(s.CopyrightText));
  Value& b = v.set("batches", Value::Object());
  b.set("pre_install", Cp(s.PreInstallBatch));
  b.set("post_install", Cp(s.PostInstallBatch));
  b.set("install_exit", Cp(s.InstallExitBatch));
  b.set("uninstall1", Cp(s.UninstallBatch1));
  b.set("uninstall2", Cp(s.UninstallBatch2));
  b.set("upgrade", Cp(s.UpgradeBatch));
  b.set("reinstall", Cp(s.ReinstallBatch));
  Value& up = v.set("upgrade", Value::Object());
  up.set("warning_version", s.WarningVersion);
  up.set("no_downgrade_below", s.NoDowngradeBelow);
  up.set("upgrade_floor", U8(s.UpgradeFloor));
  up.set("previous_install_text", Cp(s.PreviousInstallText));
  if (s.hasFlag(setup::flag::RequiresMasterProduct)) {
    Value& m = v.set("master", Value::Object());
    m.set("name", U8(s.MasterProductName));
    m.set("title", U8(s.MasterProductTitle));
    m.set("minimum_version", U8(s.MinimumMasterVersion));
  }
  Value minimum = Value::List();
  for (uint32_t x : s.MinimumWindowsVersion) minimum.add(x);
  Value& sys = v.set("system", Value::Object());
  sys.set("minimum_windows", std::move(minimum));
  sys.set("excluded_systems", Hex(s.ExcludedSystems));
  Value& fin = v.set("finish", Value::Object());
  fin.set("run", U8(s.ApplicationCommand));
  fin.set("document", U8(s.DocumentPath));
  fin.set("second_document", U8(s.SecondDocumentPath));
  Value& n = v.set("notify", Value::Object());
  const std::pair<const char*, const String*> addresses[] = {
      {"launch", &s.LaunchAddress},       {"install_start", &s.InstallStartAddress},
      {"fresh_install", &s.FreshInstallAddress}, {"upgrade", &s.UpgradeAddress},
      {"downgrade", &s.DowngradeAddress}, {"reinstall", &s.ReinstallAddress},
      {"uninstall", &s.NotifyURL},        {"link", &s.LinkAddress},
      {"cancel", &s.CancelAddress},       {"failure", &s.FailureAddress}};
  for (const auto& [key, value] : addresses) n.set(key, *value);
  v.set("registry_entries", U8(s.RegistryEntries));
  v.set("registry_merge", Bytes(s.RegistryMerge));
  v.set("firewall_entries", U8(s.FirewallEntries));
  v.set("path_subfolder", U8(s.AddToPathSubfolder));
  v.set("root_shortcut", U8(s.RootShortcutName) + (s.RootShortcutCommand.empty() ? "" : " -> " + U8(s.RootShortcutCommand)));
  v.set("taskbar_pin", U8(s.TaskbarPinName) + (s.TaskbarPinCommand.empty() ? "" : " -> " + U8(s.TaskbarPinCommand)));
  v.set("product_icon", Bytes(s.ProductIcon));
  v.set("uninstaller_icon", Bytes(s.UninstallerIcon));
  v.set("desktop_folder_icon", Bytes(s.DesktopFolderIcon));
  v.set("support_offer", Cp(s.SupportOffer));
  Value& del = v.set("deletions", Value::List());
  for (const auto& d : s.FileDeletions)
    del.add(vk::Format("%s (condition %d \"%s\", flags %d)", Cp(d.fileSpec), int(d.conditionKind), Cp(d.comparisonValue), int(d.flags)));
  Value& assoc = v.set("associations", Value::List());
  for (const auto& a : s.FileAssociations) assoc.add(Cp(a.extension) + " " + Cp(a.fileType) + ": " + U8(a.command));
  Value& sc = v.set("shortcuts", Value::List());
  for (const auto& x : s.Shortcuts) sc.add(U8(x.name) + " -> " + U8(x.target));
  Value& uv = v.set("uninstall_values", Value::List());
  for (const auto& x : s.UninstallValues) uv.add(x.name + " = " + U8(x.data));
  Value& cw = v.set("close_programs", Value::List());
  for (const auto& x : s.CloseWindows) cw.add(Cp(x.displayName) + " (class \"" + U8(x.classPattern) + "\")");
  Value& langs = v.set("languages", Value::List());
  for (size_t i = 0; i < s.Languages.languageCount(); ++i) {
    Value& l = langs.add(Value::Object());
    l.set("name", U8(s.Languages.name(i)));
    l.set("default", i == s.Languages.chosen());
  }
  v.set("text_count", int64_t(s.Languages.textCount()));
  return v;
}

std::string KindName(int kind) {
  static const char* names[] = {"program", "shared", "kind 2", "kind 3", "font", "startup-program", "system",
                                "com-server", "type-library", "versioned", "driver-inf", "msi-package",
                                "control-panel-applet"};
  return kind >= 0 && kind <= 12 ? names[kind] : "kind " + std::to_string(kind);
}

// An item name from the installer, made into one safe file name.
std::string SafeName(const String& stored) {
  std::string name = vk::StrengToUtf8(vk::DecodeNarrowPath(stored));
  for (char& c : name)
    if (c == '/' || c == '\\' || c == ':' || (unsigned char)c < 0x20) c = '_';
  if (name.empty() || name == "." || name == "..") name = "_" + name;
  return name;
}

// Walks the items; for each: the entry, its size and its data result.
template <class OnItem>
int WalkArchive(const Opened& o, OnItem onItem, int& firstError) {
  const uint8_t* data = nullptr;
  size_t size = 0;
  if (int e = o.archive(data, size)) return e;
  if (int e = setup::CheckArchive(o.header, data, size)) return e;
  setup::ArchiveReader reader(data, size, o.header.itemSizes, o.header.enciphered() ? &o.cipher : nullptr,
                              o.settings.hasFlag(setup::flag::ArchiveCompressed));
  while (!reader.atEnd()) {
    setup::ArchiveEntry entry;
    int32_t dataSize = 0;
    if (int e = reader.nextEntry(entry, dataSize)) return e;
    const int result = onItem(entry, dataSize, reader);
    if (result && !firstError) firstError = result;
    if (result && result != setup::kItemChecksum) return result;
  }
  return reader.finish();
}

}  // namespace

int InspectInstaller(const fs::path& path, Value& report, std::string& error) {
  Opened o;
  report = Value::Object();
  report.set("file", path.string());
  const int opened = Open(path, o, error);
  if (opened < 0 && !error.empty()) return -1;
  Value& checks = report.set("checks", Value::Object());
  if (opened) {
    checks.set("container", vk::Format("%s (error code %d)", ErrorName(opened), opened));
    return opened;
  }
  Value& h = report.set("header", Value::Object());
  h.set("engine_version", o.header.engineVersion);
  h.set("section_file_offset", o.loc.rawPointer);
  h.set("section_virtual_address", Hex(o.loc.virtualAddress));
  h.set("product_flags2", Hex(o.header.productFlags2));
  h.set("options2", FlagNames(o.header.productFlags2, FlagWord::Product2));
  h.set("enciphered", o.header.enciphered());
  h.set("settings_block_size", o.header.blockSize);
  h.set("data_size", o.header.dataSize);
  h.set("item_count", o.header.itemCount);
  h.set("archive_size", o.header.archiveSize);

  int first = 0;
  auto verdict = [&](const char* name, int code) {
    checks.set(name, code ? vk::Format("failed (error code %d)", code) : std::string("ok"));
    if (code && !first) first = code;
  };
  verdict("settings", o.settingsError);
  if (o.settingsError) return first;
  report.set("settings", Settings(o.settings));

  setup::MemorySource source(o.file);
  std::vector<uint8_t> front;
  const int frontError = setup::ReadFront(source, o.loc, front);
  const bool engineOk = !frontError && setup::EngineChecksum(front.data(), front.size(), o.loc.peOffset) == o.header.engineChecksum;
  checks.set("engine_checksum", engineOk ? std::string("ok") :
             o.settings.integrityMode() == 1 ? "failed (error code 40)" : "differs (not checked by this installer)");
  if (!engineOk && o.settings.integrityMode() == 1 && !first) first = setup::kEngineChecksumMismatch;

  Value items = Value::List();
  int itemError = 0;
  const int archiveResult = WalkArchive(o, [&](const setup::ArchiveEntry& e, int32_t size, setup::ArchiveReader& r) {
    const int result = r.readData({});
    Value& item = items.add(Value::Object());
    item.set("name", vk::StrengToUtf8(vk::DecodeNarrowPath(e.name)));
    item.set("kind", KindName(e.kind));
    item.set("flags", Hex(e.flags, 2));
    item.set("size", size);
    item.set("destination", U8(e.destination));
    if (e.timeSet()) item.set("time", vk::Format("%04d-%02d-%02d %02d:%02d:%02d UTC", e.time[0], e.time[1], e.time[2], e.time[3], e.time[4], e.time[5]));
    if (!e.textA.empty()) item.set("text_a", e.textA);
    item.set("checksum", result ? vk::Format("failed (error code %d)", result) : std::string("ok"));
    return result;
  }, itemError);
  verdict("archive", archiveResult ? archiveResult : itemError);
  report.set("items", std::move(items));
  return first;
}

int ExtractInstaller(const fs::path& path, const fs::path& dir, std::ostream& log, std::string& error) {
  Opened o;
  if (int e = Open(path, o, error)) return e;
  if (o.settingsError) return o.settingsError;
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    error = "cannot create \"" + dir.string() + "\": " + ec.message();
    return -1;
  }
  std::set<std::string> used;
  int itemError = 0;
  const int result = WalkArchive(o, [&](const setup::ArchiveEntry& e, int32_t, setup::ArchiveReader& r) {
    std::string name = SafeName(e.name);
    for (int n = 2; used.count(name); ++n) name = SafeName(e.name) + "~" + std::to_string(n);
    used.insert(name);
    const fs::path target = dir / fs::u8path(name);
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = "cannot write \"" + target.string() + "\"";
      return -1;
    }
    const int code = r.readData([&](const uint8_t* p, size_t n) { out.write(reinterpret_cast<const char*>(p), std::streamsize(n)); });
    out.close();
    log << (code ? "DAMAGED " : "") << target.string() << "\n";
    return code;
  }, itemError);
  if (result < 0) return -1;
  return result ? result : itemError;
}

}  // namespace builder
