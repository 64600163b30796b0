#include "builder/project.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

#include "builder/catalogue.h"
#include "builder/flags.h"
#include "builder/toml_reader.h"
#include "lib/narrow_path.h"
#include "setup/core/product_flags.h"

namespace builder {

namespace fs = std::filesystem;
using vk::Streng;
using vk::String;

std::string Diagnostic::text() const {
  std::string s = file;
  if (line > 0) s += ":" + std::to_string(line);
  s += ": ";
  if (!key.empty()) s += key + ": ";
  return s + message;
}

std::string Diagnostics::text() const {
  std::string s;
  for (const auto& e : errors) s += e.text() + "\n";
  return s;
}

namespace {

// Entry kinds by name; the number is what the installer stores.
constexpr std::pair<std::string_view, int64_t> kKinds[] = {
    {"program", 0},      {"shared", 1},        {"font", 4},       {"startup-program", 5},
    {"system", 6},       {"com-server", 7},    {"type-library", 8}, {"versioned", 9},
    {"driver-inf", 10},  {"msi-package", 11},  {"control-panel-applet", 12},
};

constexpr std::pair<std::string_view, int64_t> kOverwrite[] = {
    {"by-kind", 0}, {"never", 4}, {"if-exists", 8}, {"if-missing", 12}, {"unless-newer", 16},
};

constexpr std::pair<std::string_view, uint32_t> kAttributes[] = {
    {"readonly", 0x1}, {"hidden", 0x2}, {"system", 0x4}, {"archive", 0x20}, {"normal", 0x80},
    {"not-indexed", 0x2000},
};

constexpr size_t kMaxList = setup::kMaxRecords;

class Loader {
public:
  Loader(Project& project, Diagnostics& diagnostics) : p_(project), d_(diagnostics) {}

  bool load(const fs::path& file) {
    p_.file = file;
    p_.baseDir = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    file_ = file.string();
    toml::table root;
    try {
      root = toml::parse_file(file_);
    } catch (const toml::parse_error& e) {
      d_.errors.push_back({file_, int(e.source().begin.line), "", std::string(e.description())});
      return false;
    } catch (const std::exception& e) {
      d_.errors.push_back({file_, 0, "", e.what()});
      return false;
    }
    TableReader top(root, "", file_, d_);
    section(top, "product", &Loader::product, true);
    section(top, "options", &Loader::options);
    section(top, "archive", &Loader::archive);
    section(top, "wizard", &Loader::wizard);
    section(top, "look", &Loader::look);
    section(top, "batches", &Loader::batches);
    section(top, "upgrade", &Loader::upgrade);
    section(top, "master", &Loader::master);
    section(top, "system", &Loader::system);
    section(top, "finish", &Loader::finish);
    section(top, "notify", &Loader::notify);
    section(top, "registry", &Loader::registry);
    section(top, "firewall", &Loader::firewall);
    section(top, "path", &Loader::path);
    section(top, "root_shortcut", &Loader::rootShortcut);
    section(top, "taskbar_pin", &Loader::taskbarPin);
    list(top, "files", &Loader::fileEntry);
    list(top, "deletions", &Loader::deletion);
    list(top, "associations", &Loader::association);
    list(top, "shortcuts", &Loader::shortcut);
    list(top, "uninstall_values", &Loader::uninstallValue);
    list(top, "close_programs", &Loader::closeProgram);
    languages(top);
    top.finish();
    return d_.ok();
  }

private:
  using SectionFn = void (Loader::*)(TableReader&);

  void section(TableReader& top, std::string_view name, SectionFn fn, bool required = false) {
    const toml::table* t = top.table(name);
    if (!t) {
      if (required && !top.has(name)) d_.errors.push_back({file_, 1, std::string(name), "missing section [" + std::string(name) + "]"});
      return;
    }
    TableReader r(*t, std::string(name), file_, d_);
    (this->*fn)(r);
    r.finish();
  }

  void list(TableReader& top, std::string_view name, SectionFn fn) {
    const toml::array* a = top.array(name);
    if (!a) return;
    size_t i = 0;
    for (const auto& item : *a) {
      const std::string where = std::string(name) + "[" + std::to_string(i++) + "]";
      const toml::table* t = item.as_table();
      if (!t) {
        d_.errors.push_back({file_, LineOf(item), where, "expected a table ([[" + std::string(name) + "]])"});
        continue;
      }
      TableReader r(*t, where, file_, d_);
      (this->*fn)(r);
      r.finish();
    }
    if (i > kMaxList)
      d_.errors.push_back({file_, LineOf(*a), std::string(name), "at most 1000 entries, not " + std::to_string(i)});
  }

  // ---- value helpers ----

  static Streng Wide(const std::string& utf8) { return vk::Utf8ToStreng(utf8); }

  bool wide(TableReader& r, std::string_view key, Streng& out) {
    if (auto v = r.string(key)) {
      if (v->find('\0') != std::string::npos) return r.error(key, "must not contain a zero character"), false;
      out = Wide(*v);
      return true;
    }
    return false;
  }

  // Texts the engine keeps in Windows-1252 (batches, arguments): refuse what it cannot hold.
  bool cp1252(TableReader& r, std::string_view key, String& out) {
    auto v = r.string(key);
    if (!v) return false;
    const Streng w = Wide(*v);
    const String s = vk::StrengToCp1252(w);
    if (vk::Cp1252ToStreng(s) != w) {
      r.error(key, "holds characters that Windows-1252 cannot represent");
      return false;
    }
    out = s;
    return true;
  }

  // Plain 7-bit texts (addresses, version numbers, registry value names).
  bool ascii(TableReader& r, std::string_view key, String& out) {
    auto v = r.string(key);
    if (!v) return false;
    for (unsigned char c : *v)
      if (c >= 0x80 || c == 0) return r.error(key, "must be plain ASCII text"), false;
    out = *v;
    return true;
  }

  fs::path resolve(const std::string& p) const {
    fs::path path = fs::u8path(p);
    return path.is_absolute() ? path : p_.baseDir / path;
  }

  bool readFile(TableReader& r, std::string_view key, const fs::path& path, String& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      r.error(key, "cannot read file \"" + path.string() + "\"");
      return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    out = ss.str();
    return true;
  }

  bool fileContent(TableReader& r, std::string_view key, String& out) {
    auto v = r.string(key);
    if (!v) return false;
    return readFile(r, key, resolve(*v), out);
  }

  template <class T>
  void setInt(TableReader& r, std::string_view key, T& out, int64_t min, int64_t max) {
    if (auto v = r.integer(key, min, max)) out = T(*v);
  }

  void setFlag(uint64_t& word, int bit, bool on) {
    if (on) word |= uint64_t(1) << bit;
    else word &= ~(uint64_t(1) << bit);
  }

  // ---- sections ----

  void product(TableReader& r) {
    auto& s = p_.settings;
    if (!wide(r, "name", s.ProductName) || s.ProductName.empty()) {
      if (!r.has("name")) d_.errors.push_back({file_, 0, "product.name", "every product needs a name"});
    }
    wide(r, "version", s.DisplayVersion);
    wide(r, "publisher", s.Publisher);
    wide(r, "description", s.ProductDescription);
    wide(r, "install_folder", s.DefaultInstallFolder);
    if (auto b = r.choice("bitness", {{"any", 0}, {"32", 2}, {"64", 1}})) s.Bitness = uint8_t(*b);
    wide(r, "registry_key", s.ProductRegistry);
    wide(r, "uninstall_key", s.UninstallKeyName);
    wide(r, "start_menu_folder", s.ProductStartMenu);
    wide(r, "desktop_folder", s.DesktopFolder);
    fileContent(r, "desktop_folder_icon", s.DesktopFolderIcon);
    if (auto m = r.choice("shortcuts_for", {{"user", 0}, {"all-users", 1}})) s.ShortcutMode = uint8_t(*m);
    wide(r, "shared_folder", s.SharedPath);
    setInt(r, "shared_folder_base", s.SharedFolderBase, 0, 255);
    wide(r, "shared_subfolder", s.SharedSubfolder);
    wide(r, "uninstall_folder", s.UninstallSubdir);
    wide(r, "uninstaller_file_name", s.UninstallerFileName);
    cp1252(r, "previous_install_text", s.PreviousInstallText);
    wide(r, "title", s.InstallerTitle);
    wide(r, "password", s.InstallPassword);
    fileContent(r, "icon", s.ProductIcon);
    fileContent(r, "uninstaller_icon", s.UninstallerIcon);
    cp1252(r, "support_offer", s.SupportOffer);
    if (auto a = r.choice("automatic_mode", {{"unchanged", 0}, {"on", 1}, {"off", 2}})) s.AutomaticModeByte = uint8_t(*a);
    if (const toml::node* n = r.get("uninstaller_time")) storedTime(r, "uninstaller_time", *n, s.UninstallerTime);
  }

  void storedTime(TableReader& r, std::string_view key, const toml::node& n, setup::StoredTime& t) {
    const auto dt = n.value<toml::date_time>();
    if (!dt) return r.error(key, "expected a date and time such as 2026-01-31T12:00:00Z");
    t = {int32_t(dt->date.year), int32_t(dt->date.month), int32_t(dt->date.day),
         int32_t(dt->time.hour), int32_t(dt->time.minute), int32_t(dt->time.second)};
  }

  void options(TableReader& r) {
    uint64_t& f = p_.settings.ProductFlags;
    for (const NamedFlag& flag : NamedFlags()) {
      auto v = r.boolean(flag.name);
      if (!v) continue;
      if (flag.word == FlagWord::Product) setFlag(f, flag.bit, *v);
      else if (*v) p_.productFlags2 |= 1u << flag.bit;
      else p_.productFlags2 &= ~(1u << flag.bit);
    }
    // Raw words for bits without a name; TOML numbers are signed, so bit 63 needs the text form.
    if (auto raw = rawWord(r, "product_flags", UINT64_MAX)) f |= *raw;
    if (auto raw = rawWord(r, "product_flags2", 0xFFFFFFFF)) p_.productFlags2 |= uint32_t(*raw);
  }

  std::optional<uint64_t> rawWord(TableReader& r, std::string_view key, uint64_t max) {
    const toml::node* n = r.get(key);
    if (!n) return std::nullopt;
    if (n->is_integer() && *n->value<int64_t>() >= 0 && uint64_t(*n->value<int64_t>()) <= max)
      return uint64_t(*n->value<int64_t>());
    if (auto t = n->value<std::string>(); t && t->size() > 2 && t->size() <= 18 && t->rfind("0x", 0) == 0 &&
                                           t->find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos) {
      const uint64_t v = std::stoull(t->substr(2), nullptr, 16);
      if (v <= max) return v;
    }
    r.error(key, max == UINT64_MAX ? "expected a number, or a text \"0x...\" of up to 16 hexadecimal digits"
                                   : "expected a number up to 0xFFFFFFFF");
    return std::nullopt;
  }

  void archive(TableReader& r) {
    auto& a = p_.archive;
    if (auto m = r.choice("mode", {{"image", 0}, {"file", 1}})) a.fileMode = *m == 1;
    if (auto v = r.boolean("compress")) a.compress = *v;
    setInt(r, "xz_preset", a.xzPreset, 0, 9);
    if (auto v = r.integer("chunk_size", 4096, int64_t(64) << 20)) a.chunkSize = size_t(*v);
    if (auto v = r.boolean("cipher")) a.cipher = *v;
    if (auto k = r.string("key")) {
      if (k->size() != 16 || k->find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        r.error("key", "expected 16 hexadecimal digits (8 bytes)");
      } else {
        for (size_t i = 0; i < 8; ++i) a.key[i] = uint8_t(std::stoul(k->substr(2 * i, 2), nullptr, 16));
        a.keyGiven = true;
        a.cipher = a.cipher || !r.has("cipher");
      }
    }
  }

  void pageTexts(TableReader& r, std::string_view key, std::vector<String>& out) {
    const toml::array* a = r.array(key);
    if (!a) return;
    for (const auto& item : *a) {
      String text;
      if (auto path = item.value<std::string>()) {
        std::ifstream in(resolve(*path), std::ios::binary);
        if (!in) {
          r.errorAt(item, key, "cannot read file \"" + resolve(*path).string() + "\"");
          continue;
        }
        std::ostringstream ss;
        ss << in.rdbuf();
        text = ss.str();
      } else if (const toml::table* t = item.as_table(); t && t->get("text") && t->get("text")->is_string()) {
        text = *t->get("text")->value<std::string>();
      } else {
        r.errorAt(item, key, "expected a file name or { text = \"...\" }");
        continue;
      }
      out.push_back(std::move(text));
    }
    if (out.size() > setup::kMaxPageTexts)
      r.error(key, "at most 20 pages, not " + std::to_string(out.size()));
  }

  void wizard(TableReader& r) {
    auto& s = p_.settings;
    static constexpr std::pair<std::string_view, int> kStyles[] = {
        {"greeting_style", 2}, {"language_style", 3}, {"license_style", 4}, {"readme_style", 5},
        {"folder_style", 6},   {"start_menu_style", 7}, {"progress_style", 8}, {"summary_style", 9}};
    if (const toml::array* raw = r.array("options")) {
      if (raw->size() != 11) r.error("options", "expected 11 numbers");
      for (size_t i = 0; i < raw->size() && i < 11; ++i) {
        auto v = (*raw)[i].value<int64_t>();
        if (!v || *v < 0 || *v > 0xFFFFFFFF) r.errorAt((*raw)[i], "options", "expected a whole number 0..4294967295");
        else s.WizardOptions[i] = uint32_t(*v);
      }
    }
    for (const auto& [key, index] : kStyles) setInt(r, key, s.WizardOptions[index], 0, 3);
    if (auto m = r.choice("integrity", {{"none", 0}, {"checksum", 1}, {"signature", 2}})) s.WizardOptions[10] = uint32_t(*m);
    wide(r, "greeting_link", s.GreetingLink);
    fileContent(r, "greeting_sound", s.GreetingSound);
    pageTexts(r, "license", s.LicenseTexts);
    pageTexts(r, "readme", s.ReadmeTexts);
    setInt(r, "progress_placement", s.ProgressPlacement, 0, 0xFFFFFFFF);
    setInt(r, "status_hold_ms", s.StatusHoldTime, 0, 9999);
    if (auto c = r.color("label_color")) s.LabelColor = *c;
  }

  void look(TableReader& r) {
    auto& s = p_.settings;
    wide(r, "taskbar_text", s.TaskbarText);
    if (auto v = r.number("title_size")) s.TitleSize = *v;
    if (auto c = r.color("title_color")) s.TitleColor = *c;
    setInt(r, "title_shadow", s.TitleShadow, 0, 255);
    setInt(r, "title_position", s.TitlePosition, 0, 255);
    cp1252(r, "title_font", s.TitleFont);
    if (auto c = r.color("top_color")) s.TopColor = *c;
    if (auto c = r.color("bottom_color")) s.BottomColor = *c;
    fileContent(r, "bitmap", s.BackgroundBitmap);
    setInt(r, "bitmap_size", s.BitmapSize, 0, 100);
    setInt(r, "bitmap_tpi", s.BitmapTPI, INT32_MIN, INT32_MAX);
    setInt(r, "stretch_mode", s.StretchMode, INT32_MIN, INT32_MAX);
    setInt(r, "copyright_position", s.CopyrightPos, 0, 255);
    if (auto c = r.color("copyright_color")) s.CopyrightColor = *c;
    if (auto v = r.number("copyright_size")) s.CopyrightSize = *v;
    wide(r, "copyright_text", s.CopyrightText);
    cp1252(r, "copyright_font", s.CopyrightFont);
    if (s.CopyrightPos == 0 && (r.has("copyright_text") || r.has("copyright_color")))
      r.error("copyright_position", "a copyright line needs a position other than 0");
  }

  void batches(TableReader& r) {
    auto& s = p_.settings;
    cp1252(r, "pre_install", s.PreInstallBatch);
    cp1252(r, "post_install", s.PostInstallBatch);
    cp1252(r, "install_exit", s.InstallExitBatch);
    cp1252(r, "uninstall1", s.UninstallBatch1);
    cp1252(r, "uninstall2", s.UninstallBatch2);
    cp1252(r, "upgrade", s.UpgradeBatch);
    cp1252(r, "reinstall", s.ReinstallBatch);
  }

  void upgrade(TableReader& r) {
    auto& s = p_.settings;
    ascii(r, "warning_version", s.WarningVersion);
    ascii(r, "no_downgrade_below", s.NoDowngradeBelow);
    wide(r, "upgrade_floor", s.UpgradeFloor);
  }

  void master(TableReader& r) {
    auto& s = p_.settings;
    setFlag(s.ProductFlags, setup::flag::RequiresMasterProduct, true);
    wide(r, "name", s.MasterProductName);
    wide(r, "title", s.MasterProductTitle);
    wide(r, "minimum_version", s.MinimumMasterVersion);
  }

  void system(TableReader& r) {
    auto& s = p_.settings;
    if (const toml::array* v = r.array("minimum_windows")) {
      if (v->size() > 5) r.error("minimum_windows", "at most 5 numbers");
      for (size_t i = 0; i < v->size() && i < 5; ++i) {
        auto n = (*v)[i].value<int64_t>();
        if (!n || *n < 0 || *n > 0xFFFFFFFF) r.errorAt((*v)[i], "minimum_windows", "expected whole numbers");
        else s.MinimumWindowsVersion[i] = uint32_t(*n);
      }
    }
    setInt(r, "excluded_systems", s.ExcludedSystems, 0, 0xFFFFFFFF);
  }

  void finish(TableReader& r) {
    auto& s = p_.settings;
    wide(r, "run", s.ApplicationCommand);
    wide(r, "document", s.DocumentPath);
    wide(r, "second_document", s.SecondDocumentPath);
  }

  void notify(TableReader& r) {
    auto& s = p_.settings;
    ascii(r, "launch", s.LaunchAddress);
    ascii(r, "install_start", s.InstallStartAddress);
    ascii(r, "fresh_install", s.FreshInstallAddress);
    ascii(r, "upgrade", s.UpgradeAddress);
    ascii(r, "downgrade", s.DowngradeAddress);
    ascii(r, "reinstall", s.ReinstallAddress);
    ascii(r, "uninstall", s.NotifyURL);
    ascii(r, "link", s.LinkAddress);
    ascii(r, "cancel", s.CancelAddress);
    ascii(r, "failure", s.FailureAddress);
  }

  void registry(TableReader& r) {
    wide(r, "entries", p_.settings.RegistryEntries);
    fileContent(r, "merge_file", p_.settings.RegistryMerge);
  }
  void firewall(TableReader& r) { wide(r, "entries", p_.settings.FirewallEntries); }
  void path(TableReader& r) { wide(r, "subfolder", p_.settings.AddToPathSubfolder); }
  void rootShortcut(TableReader& r) {
    wide(r, "name", p_.settings.RootShortcutName);
    wide(r, "command", p_.settings.RootShortcutCommand);
  }
  void taskbarPin(TableReader& r) {
    wide(r, "name", p_.settings.TaskbarPinName);
    wide(r, "command", p_.settings.TaskbarPinCommand);
  }

  // ---- lists ----

  static bool Matches(std::string_view pattern, std::string_view name) {
    // '*' and '?' wildcards over one file name.
    size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
    while (n < name.size()) {
      if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
        ++p, ++n;
      } else if (p < pattern.size() && pattern[p] == '*') {
        star = p++, mark = n;
      } else if (star != std::string_view::npos) {
        p = star + 1, n = ++mark;
      } else {
        return false;
      }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
  }

  std::vector<fs::path> expandSource(TableReader& r, const std::string& source) {
    const fs::path full = resolve(source);
    const std::string leaf = full.filename().string();
    std::vector<fs::path> found;
    if (leaf.find_first_of("*?") == std::string::npos) {
      std::error_code ec;
      if (!fs::is_regular_file(full, ec)) r.error("source", "no such file \"" + full.string() + "\"");
      else found.push_back(full);
      return found;
    }
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(full.parent_path(), ec))
      if (e.is_regular_file() && Matches(leaf, e.path().filename().string())) found.push_back(e.path());
    std::sort(found.begin(), found.end());  // the same order on every machine
    if (found.empty()) r.error("source", "\"" + source + "\" matches no file");
    return found;
  }

  void fileEntry(TableReader& r) {
    setup::ArchiveEntry base;
    auto source = r.string("source");
    if (!source) {
      if (!r.has("source")) r.error("source", "every file needs a source");
      r.finish({"kind", "destination", "overwrite", "permanent", "desktop_shortcut", "start_menu_shortcut",
                "shortcut_name", "shortcut_icon", "shortcut_arguments", "shortcut_start_in", "to_uninstall_folder",
                "msi_uninstall", "msi_ui_level", "attributes", "time", "version", "font_name", "applet_name",
                "applet_arguments", "applet_clsid", "name", "flags"});
      return;
    }
    if (auto k = r.get("kind")) {
      if (k->is_integer()) {
        const int64_t v = *k->value<int64_t>();
        if (v < 0 || v > 12 || v == 2 || v == 3) r.error("kind", "unknown kind number " + std::to_string(v));
        else base.kind = int32_t(v);
      } else {
        bool ok = false;
        if (auto s = k->value<std::string>())
          for (const auto& [name, value] : kKinds)
            if (*s == name) base.kind = int32_t(value), ok = true;
        if (!ok) {
          std::string names;
          for (const auto& [name, value] : kKinds) names += (names.empty() ? "" : ", ") + std::string(name);
          r.error("kind", "unknown kind (expected one of " + names + ")");
        }
      }
    }
    const int kind = base.kind;
    Streng destination;
    wide(r, "destination", destination);
    base.destination = destination;
    if (auto o = r.get("overwrite")) {
      (void)o;
      if (auto v = r.choice("overwrite", kOverwrite))
        base.flags |= uint32_t(*v);
    }
    auto flag = [&](std::string_view key, uint32_t mask) {
      if (auto v = r.boolean(key); v && *v) base.flags |= mask;
    };
    flag("desktop_shortcut", 0x1);
    flag("start_menu_shortcut", 0x2);
    flag("permanent", 0x20);
    flag("to_uninstall_folder", 0x40);
    flag("msi_uninstall", 0x80);
    if (auto raw = r.integer("flags", 0, 0xFFFFFFFF)) base.flags |= uint32_t(*raw);
    if (kind == 11) setInt(r, "msi_ui_level", base.msiUiLevel, INT32_MIN, INT32_MAX);
    if (auto a = r.get("attributes")) attributes(r, *a, base.attributes);

    // Kind-specific texts.
    if (kind == 0 || kind == 5) {
      if (auto v = r.string("shortcut_name")) base.textA = *v;
      wide(r, "shortcut_icon", base.textB);
      cp1252(r, "shortcut_arguments", base.textC);
      Streng startIn;
      if (wide(r, "shortcut_start_in", startIn)) base.textD = vk::EncodeNarrowPath(startIn);
    } else if (kind == 4) {
      if (auto v = r.string("font_name")) base.textA = *v;
    } else if (kind == 12) {
      if (auto v = r.string("applet_name")) base.textA = *v;
      cp1252(r, "applet_arguments", base.textC);
      ascii(r, "applet_clsid", base.textD);
    } else if (kind >= 6 && kind <= 9) {
      ascii(r, "version", base.textA);
    }
    if ((kind == 2 || kind == 3) && destination.empty()) r.error("destination", "this kind needs a destination");

    std::string timeMode = "source";
    const toml::node* timeNode = r.get("time");
    if (timeNode) {
      if (auto s = timeNode->value<std::string>(); s && (*s == "source" || *s == "none")) timeMode = *s;
      else if (timeNode->is_date_time()) timeMode = "fixed";
      else r.error("time", "expected \"source\", \"none\" or a date and time");
    }
    std::optional<std::string> name = r.string("name");
    r.finish({"shortcut_name", "shortcut_icon", "shortcut_arguments", "shortcut_start_in", "font_name", "applet_name",
              "applet_arguments", "applet_clsid", "version", "msi_ui_level"});

    const auto sources = expandSource(r, *source);
    if (name && sources.size() != 1) r.error("name", "a name can only be given to a single file");
    for (const fs::path& src : sources) {
      ProjectFile f;
      f.source = src;
      f.entry = base;
      std::error_code ec;
      f.size = fs::file_size(src, ec);
      if (f.size > uint64_t(setup::kMaxItemSize)) {
        r.error("source", "\"" + src.string() + "\" is larger than 1 GiB");
        continue;
      }
      f.entry.name = vk::EncodeNarrowPath(Wide(name ? *name : src.filename().string()));
      if (f.entry.hasTextB() == false) f.entry.textB.clear();
      if (timeMode == "source") {
        struct stat st {};
        const std::time_t tt = ::stat(src.c_str(), &st) == 0 ? st.st_mtime : 0;
        std::tm tm{};
        gmtime_r(&tt, &tm);
        f.entry.time[0] = tm.tm_year + 1900, f.entry.time[1] = tm.tm_mon + 1, f.entry.time[2] = tm.tm_mday;
        f.entry.time[3] = tm.tm_hour, f.entry.time[4] = tm.tm_min, f.entry.time[5] = tm.tm_sec;
      } else if (timeMode == "fixed") {
        setup::StoredTime st;
        storedTime(r, "time", *timeNode, st);
        f.entry.time[0] = st.year, f.entry.time[1] = st.month, f.entry.time[2] = st.day;
        f.entry.time[3] = st.hour, f.entry.time[4] = st.minute, f.entry.time[5] = st.second;
      }
      p_.files.push_back(std::move(f));
    }
  }

  void attributes(TableReader& r, const toml::node& n, int32_t& out) {
    if (n.is_integer()) {
      out = int32_t(*n.value<int64_t>());
      return;
    }
    const toml::array* a = n.as_array();
    if (!a) return r.error("attributes", "expected a list of names or a number");
    uint32_t bits = 0;
    for (const auto& item : *a) {
      bool ok = false;
      if (auto s = item.value<std::string>())
        for (const auto& [name, mask] : kAttributes)
          if (*s == name) bits |= mask, ok = true;
      if (!ok) r.errorAt(item, "attributes", "unknown attribute (readonly, hidden, system, archive, normal, not-indexed)");
    }
    out = int32_t(bits);
  }

  void deletion(TableReader& r) {
    setup::FileDeletion d;
    if (!cp1252(r, "file", d.fileSpec)) r.error("file", "every deletion names a file");
    if (d.fileSpec == "~~THE END~~") r.error("file", "this name ends the list in the installer and cannot be used");
    setInt(r, "condition", d.conditionKind, 0, 255);
    cp1252(r, "value", d.comparisonValue);
    setInt(r, "flags", d.flags, 0, 255);
    p_.settings.FileDeletions.push_back(std::move(d));
  }

  void association(TableReader& r) {
    setup::FileAssociation a;
    setInt(r, "kind", a.kind, INT32_MIN, INT32_MAX);
    cp1252(r, "extension", a.extension);
    cp1252(r, "file_type", a.fileType);
    cp1252(r, "description", a.description);
    cp1252(r, "verbs", a.verbs);
    cp1252(r, "verb_text", a.verbText);
    wide(r, "command", a.command);
    wide(r, "language", a.language);
    wide(r, "icon", a.icon);
    p_.settings.FileAssociations.push_back(std::move(a));
  }

  void shortcut(TableReader& r) {
    setup::ShortcutEntry s;
    wide(r, "target", s.target);
    wide(r, "name", s.name);
    wide(r, "icon", s.icon);
    wide(r, "arguments", s.arguments);
    wide(r, "start_in", s.startIn);
    if (auto v = r.boolean("desktop")) s.desktop = *v;
    if (auto v = r.boolean("start_menu")) s.startMenu = *v;
    if (auto v = r.boolean("startup")) s.startup = *v;
    Streng folder;
    if (wide(r, "folder", folder)) s.folder = vk::EncodeNarrowPath(folder);
    setInt(r, "window_state", s.windowState, 0, 255);
    if (auto v = r.boolean("keep_at_uninstall"); v && *v) s.options |= 1;
    if (auto v = r.boolean("expand_target"); v && *v) s.options |= 2;
    if (auto v = r.boolean("quiet_failure"); v && *v) s.options |= 4;
    p_.settings.Shortcuts.push_back(std::move(s));
  }

  void uninstallValue(TableReader& r) {
    setup::UninstallValue v;
    v.type = 1;  // the engine knows no value without a type
    if (!ascii(r, "name", v.name)) r.error("name", "every value needs a name");
    if (auto t = r.choice("type", {{"string", 1}, {"expand-string", 2}, {"dword", 4}})) v.type = uint8_t(*t);
    wide(r, "data", v.data);
    p_.settings.UninstallValues.push_back(std::move(v));
  }

  void closeProgram(TableReader& r) {
    setup::CloseWindow c;
    wide(r, "window_class", c.classPattern);
    if (c.classPattern == u"~~THE~END~~") r.error("window_class", "this name ends the list in the installer and cannot be used");
    cp1252(r, "window_title", c.titlePattern);
    cp1252(r, "name", c.displayName);
    setInt(r, "action", c.action, 0, 255);
    setInt(r, "phases", c.phaseMask, 0, 255);
    p_.settings.CloseWindows.push_back(std::move(c));
  }

  // ---- languages ----

  void languages(TableReader& top) {
    std::vector<Catalogue> chosen;
    if (const toml::table* t = top.table("languages")) {
      TableReader r(*t, "languages", file_, d_);
      if (const toml::array* use = r.array("use")) {
        for (const auto& item : *use) {
          auto name = item.value<std::string>();
          if (!name) {
            r.errorAt(item, "use", "expected a language name or a catalogue file");
            continue;
          }
          if (const Catalogue* c = FindBuiltInCatalogue(*name)) {
            chosen.push_back(*c);
            continue;
          }
          const fs::path path = resolve(*name);
          std::ifstream in(path, std::ios::binary);
          if (!in) {
            r.errorAt(item, "use", "\"" + *name + "\" is neither a built-in language (English, Deutsch) nor a readable catalogue file");
            continue;
          }
          std::ostringstream ss;
          ss << in.rdbuf();
          Catalogue c;
          if (ParseCatalogue(ss.str(), path.string(), c, d_)) chosen.push_back(std::move(c));
        }
      }
      r.finish();
    }
    if (chosen.empty() && !top.has("languages")) chosen.push_back(*FindBuiltInCatalogue("English"));
    if (chosen.empty()) d_.errors.push_back({file_, 0, "languages.use", "choose at least one language"});
    if (chosen.size() > 200) d_.errors.push_back({file_, 0, "languages.use", "at most 200 languages"});

    // Overrides: [texts.NAME] id = "text".
    if (const toml::table* t = top.table("texts")) {
      TableReader r(*t, "texts", file_, d_);
      for (auto& c : chosen) {
        const toml::table* lang = r.table(c.name);
        if (!lang) continue;
        for (const auto& [key, node] : *lang) {
          const std::string k(key.str());
          const std::string where = "texts." + c.name + "." + k;
          int id = -1;
          if (!k.empty() && k.size() <= 4 && k.find_first_not_of("0123456789") == std::string::npos) id = std::stoi(k);
          if (id < 0 || id > 9999) {
            d_.errors.push_back({file_, LineOf(node), where, "text ids are numbers 0..9999"});
            continue;
          }
          auto text = node.value<std::string>();
          if (!text) {
            d_.errors.push_back({file_, LineOf(node), where, "expected a text in quotes"});
            continue;
          }
          c.texts[id] = *text;
        }
      }
      r.finish();
    }
    for (auto& c : chosen) p_.languages.push_back(c.name);
    buildLanguageTable(chosen);
  }

  void buildLanguageTable(const std::vector<Catalogue>& chosen) {
    if (chosen.empty()) return;
    int highest = kHighestTextId;
    for (const auto& c : chosen)
      if (!c.texts.empty()) highest = std::max(highest, c.texts.rbegin()->first);
    const size_t count = size_t(highest) + 1;
    std::vector<Streng> names, texts;
    for (const auto& c : chosen) names.push_back(Wide(c.name));
    texts.reserve(count * chosen.size());
    for (size_t id = 0; id < count; ++id)
      for (const auto& c : chosen) {
        auto it = c.texts.find(int(id));
        texts.push_back(it == c.texts.end() ? Streng() : Wide(it->second));
      }
    p_.settings.Languages.assign(std::move(names), std::move(texts), count);
  }

  Project& p_;
  Diagnostics& d_;
  std::string file_;
};

}  // namespace

bool LoadProject(const fs::path& file, Project& project, Diagnostics& diagnostics) {
  return Loader(project, diagnostics).load(file);
}

}  // namespace builder
