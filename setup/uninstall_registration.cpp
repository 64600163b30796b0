#include "setup/uninstall_registration.h"

#include <windows.h>

#include <array>
#include <vector>

#include "lib/datetime.h"
#include "lib/narrow_path.h"
#include "lib/win32/file.h"
#include "lib/win32/handle.h"
#include "lib/win32/system_error.h"
#include "setup/core/icon_file.h"
#include "setup/core/product_flags.h"
#include "setup/core/uninstall_values.h"
#include "setup/engine_macros.h"
#include "setup/engine_services.h"
#include "setup/errors.h"
#include "setup/install_context.h"
#include "setup/install_log.h"
#include "setup/progress.h"
#include "setup/reboot.h"
#include "setup/registry_values.h"
#include "setup/write_entry.h"
#include "uninstall/product_key.h"

namespace setup {

namespace {

constexpr uint32_t kFlag2EngineImage = 0x20;

// Full access to the uninstall entry, in the 64-bit view: there the system's list of programs,
// the previous-installation lookup and the uninstaller all look first. (On 32-bit Windows the
// view bit is ignored.)
constexpr REGSAM kKeyAccess = 0x2000F;
constexpr REGSAM kUninstallKeyAccess = kKeyAccess | KEY_WOW64_64KEY;
constexpr char16_t kDefaultUninstallerName[] = u"uninstall.exe";
// Icon files larger than this are not icons the engine writes into a program.
constexpr int64_t kMaxIconFile = 16 * 1024 * 1024;

InstallContext& C() { return Context(); }
const InstallSettings& S() { return Context().settings; }
bool Flag(int bit) { return Context().hasProductFlag(bit); }

void RecordFile(const vk::Streng& path) {
  C().removalRecords.push_back({InstallContext::RemovalRecord::File, path});
}

void ShowPath(const vk::Streng& path) {
  if (!Flag(flag::HidePaths)) SetStatusLine(path);
}

// The running program's own path, however long.
vk::Streng OwnPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size() - 1) return vk::FromW(buffer.data(), n);
    if (buffer.size() >= 0x10000) return {};
    buffer.resize(buffer.size() * 2);
  }
}

// Writes bytes as the whole new content of path; the file error text on failure.
bool SaveFile(const vk::Streng& path, const void* data, size_t size, vk::Streng* errorText = nullptr) {
  vk::File file;
  if (file.Open(path, vk::FileMode::Write | vk::FileMode::CreateAlways) != vk::FileErr::Success ||
      !file.Write(data, int64_t(size))) {
    if (errorText) *errorText = file.ErrorText();
    return false;
  }
  file.Close();
  return true;
}

bool SaveFile(const vk::Streng& path, const vk::String& bytes, vk::Streng* errorText = nullptr) {
  return SaveFile(path, bytes.data(), bytes.size(), errorText);
}

// --- background picture, readme and licence copies --------------------------------------------

void SaveBackgroundBitmap() {
  if (!Flag(flag::BackgroundBitmap) || S().BackgroundBitmap.empty()) return;
  const vk::Streng path = vk::JoinPath(C().uninstallDir, u"Installer Background.bmp");
  ShowPath(path);
  if (!SaveFile(path, S().BackgroundBitmap)) return AddFailureLine(path);
  RecordFile(path);
}

// A page text as a file: rich text (after an optional UTF-8 byte-order mark) as it is stored,
// plain text as UTF-16LE behind the byte-order mark FF FE.
struct TextFile {
  bool rich = false;
  vk::String bytes;
};

TextFile PageTextFile(std::string_view stored) {
  constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
  if (stored.starts_with(kUtf8Bom)) stored.remove_prefix(kUtf8Bom.size());
  TextFile out;
  out.rich = stored.starts_with("{\\rtf");
  if (out.rich) {
    out.bytes = vk::String(stored);
    return out;
  }
  const vk::Streng text = vk::Utf8ToStreng(stored);
  out.bytes = "\xFF\xFE";
  for (char16_t c : text) {
    out.bytes.push_back(char(c & 0xFF));
    out.bytes.push_back(char(c >> 8));
  }
  return out;
}

struct PageCopy {
  int flag;
  const std::vector<vk::String>* texts;
  const char16_t* stem;  // "readme" / "eula"
  const char16_t* failure;
  const char16_t* success;
};

void CopyPageTexts(const PageCopy& copy) {
  if (!Flag(copy.flag)) return;
  const std::vector<vk::String>& texts = *copy.texts;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (texts[i].empty()) continue;
    const TextFile file = PageTextFile(texts[i]);
    const vk::Streng extension = file.rich ? u".rtf" : u".txt";
    const vk::Streng name = texts.size() == 1 ? copy.stem + extension
                                              : vk::Format(u"%s%d", copy.stem, int(i + 1)) + extension;
    const vk::Streng path = vk::JoinPath(C().installDir, name);
    ShowPath(path);
    vk::Streng error;
    if (!SaveFile(path, file.bytes, &error)) {
      LogFailureW(copy.failure, path, error);
      continue;
    }
    LogSuccessW(copy.success, path);
    RecordFile(path);
  }
}

// The PATH change of the firewall and PATH phase runs here, after the registry entries.
void AddToPath() {
  if (!Flag(flag::AddToPath)) return;
}

// --- the uninstaller executable ----------------------------------------------------------------

std::array<int32_t, 6> UninstallerTime() {
  const StoredTime& t = S().UninstallerTime;
  return {t.year, t.month, t.day, t.hour, t.minute, t.second};
}

// The uninstaller's own icon, kept beside it for the uninstaller's windows; empty when none.
vk::Streng SaveUninstallerIcon() {
  if (S().UninstallerIcon.empty()) return {};
  const vk::Streng path = vk::JoinPath(C().uninstallDir, u"uninstall.ico");
  if (!SaveFile(path, S().UninstallerIcon)) {
    AddFailureLine(path);
    return {};
  }
  RecordFile(path);
  return path;
}

// The running file in pieces, for the engine image that is the whole file.
int StreamOwnFile(const EntrySink& sink) {
  vk::File self;
  if (self.Open(OwnPath(), vk::FileMode::Read | vk::FileMode::ShareRead) != vk::FileErr::Success) return 1;
  std::vector<uint8_t> buffer(256 * 1024);
  for (;;) {
    int64_t got = 0;
    if (!self.Read(buffer.data(), int64_t(buffer.size()), &got)) return 1;
    if (got <= 0) return 0;
    sink(buffer.data(), size_t(got));
  }
}

// The engine image through the replacement routine: written now, or registered for the next
// restart when the old uninstaller is locked.
void WriteEngineImage(const vk::Streng& path, const vk::Streng& icon) {
  const std::array<int32_t, 6> time = UninstallerTime();
  EntryWrite entry;
  entry.target = path;
  entry.time = time.data();
  entry.existedBefore = GetFileAttributesW(vk::W(path)) != INVALID_FILE_ATTRIBUTES;
  const Bytes& image = C().engineImage;
  WriteOutcome outcome;
  if (C().engineImageIsWholeFile) {
    vk::File self;
    entry.size = self.Open(OwnPath(), vk::FileMode::Read | vk::FileMode::ShareRead) == vk::FileErr::Success ? self.Size() : 0;
    self.Close();
    outcome = WriteEntryFile(EngineReplacementContext(), entry, StreamOwnFile);
  } else {
    entry.size = int64_t(image.size());
    outcome = WriteEntryFile(EngineReplacementContext(), entry, [&](const EntrySink& sink) {
      sink(image.data(), image.size());
      return 0;
    });
  }
  if (!outcome.written) return;
  LogSuccessW(u"Uninstaller >>> %s\r\n", path);
  if (icon.empty()) return;
  switch (ReplaceExecutableIconResources(path, icon)) {
    case IconReplacement::Replaced: SetEntryFileTime(path, time.data()); break;
    case IconReplacement::OpenFailed: LogFailureW(u"Failed to open uninstaller for icon replacement.\r\n"); break;
    case IconReplacement::Failed: LogFailureW(u"Failed to replace uninstaller icon.\r\n"); break;
  }
}

// The running setup program copied as it is; a locked old uninstaller is replaced at the next
// restart by a copy beside it.
void CopyRunningProgram(const vk::Streng& path) {
  const vk::Streng self = OwnPath();
  const std::array<int32_t, 6> time = UninstallerTime();
  if (CopyFileW(vk::W(self), vk::W(path), FALSE)) {
    SetEntryFileTime(path, time.data());
    LogSuccessW(u"Uninstaller >>> %s\r\n", path);
    return;
  }
  const vk::Streng temp = MakeTempName(C().uninstallDir, u"", kTempKeepFolder);
  bool filled = false;
  if (!temp.empty()) {
    SetFileAttributesW(vk::W(temp), FILE_ATTRIBUTE_NORMAL);
    filled = CopyFileW(vk::W(self), vk::W(temp), FALSE) != FALSE;
  }
  if (!filled) {
    const vk::Streng error = vk::LastSystemErrorText();
    if (!temp.empty()) DeleteFileW(vk::W(temp));
    AddFailure(u"Failed to register '%s' for replacement because no temporary file could be created.\r\n%s\r\n\r\n",
               path, error);
    return;
  }
  SetEntryFileTime(temp, time.data());
  if (MoveAtReboot(temp, path)) {
    C().settings.ProductFlags |= uint64_t(1) << flag::RestartRequired;
    LogPrintW(u"\"%s\" was successfully registered for replacement.\r\nTemporary file is \"%s\"\r\nReboot will be required.\r\n\r\n",
              path, temp);
    return;
  }
  const vk::Streng error = vk::LastSystemErrorText();
  DeleteFileW(vk::W(temp));
  AddFailure(u"Failed to register '%s' for replacement with temporary file '%s'\r\n%s\r\n\r\n", path, temp, error);
}

void CopyUninstaller() {
  if (!Flag(flag::Uninstaller)) return;
  const vk::Streng path = UninstallerPath();
  const vk::Streng icon = SaveUninstallerIcon();
  if (C().ProductFlags2 & kFlag2EngineImage)
    WriteEngineImage(path, icon);
  else
    CopyRunningProgram(path);
}

// --- the uninstall entry -----------------------------------------------------------------------

// The product icon for the list of installed programs; empty when there is none or it could not
// be written.
vk::Streng SaveProductIcon() {
  if (S().ProductIcon.empty()) return {};
  const vk::Streng path = vk::JoinPath(C().uninstallDir, u"product.ico");
  if (!SaveFile(path, S().ProductIcon)) {
    AddFailureLine(path);
    return {};
  }
  RecordFile(path);
  return path;
}

vk::String SharedFilesList() { return C().sharedFilesList; }

UninstallValueInputs GatherInputs(const vk::Streng& productIcon) {
  const InstallContext& c = C();
  UninstallValueInputs in;
  in.settings = &c.settings;
  in.ProductFlags2 = c.ProductFlags2;
  in.uninstallerPath = UninstallerPath();
  in.uninstallName = c.settings.UninstallKeyName;
  in.setupPath = OwnPath();
  in.productIconPath = productIcon;
  in.startMenuFolder = c.startMenuFolder;
  in.sharedFolder = c.sharedDir;
  in.productFonts = c.productFonts;
  in.sharedFiles = SharedFilesList();
  in.installFolder = c.installDir;
  in.installedBytes = c.archiveItemsSize;
  in.sessionNumber = c.sessionNumber;
  in.installDate = vk::DateTime::Now().Format("yymmdd");
  for (const UninstallValue& v : c.settings.UninstallValues) in.customValues.push_back({v.name, v.type, ExpandMacros(v.data)});
  return in;
}

// A custom value outside the uninstall key: its key in the product's registry view, the 64-bit
// one only for a 64-bit product (named either way, so that a 64-bit build behaves alike).
uint32_t WriteOutside(const RegValueOp& op) {
  const REGSAM view = S().Bitness == 1 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
  vk::RegKey key;
  if (const uint32_t rc = OpenOrCreateRegistryPath(op.key, kKeyAccess | view, key)) return rc;
  return ApplyRegistryValue(key.get(), op);
}

// Every value in order; the outcome is saved when UninstallString reads back as written.
bool WriteEntry(HKEY key, const std::vector<RegValueOp>& ops, vk::Streng& error) {
  bool saved = false;
  const vk::Streng* uninstallString = nullptr;
  for (const RegValueOp& op : ops) {
    const uint32_t rc = op.key.empty() ? ApplyRegistryValue(key, op) : WriteOutside(op);
    if (op.custom) {
      if (rc) {
        const vk::Streng name = op.key.empty() ? op.name : op.key + u"\\" + op.name;
        AddFailure(u"Failed to save data in registry key \"%s\": %s\r\n", name, vk::SystemErrorText(rc));
      }
    } else if (op.name == u"UninstallString") {
      if (rc)
        error = vk::SystemErrorText(rc);
      else
        uninstallString = &op.wide;
    }
  }
  vk::Streng readBack;
  if (uninstallString && ReadRegistryText(key, u"UninstallString", readBack)) saved = readBack == *uninstallString;
  return saved;
}

// The installation data has no record naming a registry value for the installation folder yet;
// when it has, the folder is written there (wide text, key created) whatever the entry's outcome.
void WriteInstallFolderValue() {}

}  // namespace

vk::Streng UninstallerPath() {
  const vk::Streng& name = S().UninstallerFileName;
  return vk::JoinPath(C().uninstallDir, name.empty() ? vk::Streng(kDefaultUninstallerName) : name);
}

void CopyUninstallerFiles() {
  // An earlier version's uninstaller that started this run removes its empty folders a few
  // seconds after it has ended, which may be after this run made them: make sure they are there.
  if (!C().uninstallDir.empty()) CreateFolderTree(C().uninstallDir);
  SaveBackgroundBitmap();
  CopyPageTexts({flag::CopyReadmeTexts, &S().ReadmeTexts, u"readme", u"Failed to save readme to: %s\r\n%s\r\n",
                 u"README >>> %s\r\n"});
  CopyPageTexts({flag::CopyLicenseTexts, &S().LicenseTexts, u"eula", u"Failed to save EULA to: %s\r\n%s\r\n",
                 u"EULA >>> %s\r\n"});
  SetProgress(99);
  AddToPath();
  CopyUninstaller();
}

void RegisterUninstall() {
  SetStatus(36);
  SetProgress(100);
  if (Flag(flag::Uninstaller)) {
    bool saved = false;
    vk::Streng error;
    vk::RegKey key;
    const vk::Streng keyPath = vk::Streng(uninstall::kUninstallRoot) + u"\\" + S().UninstallKeyName;
    if (const uint32_t rc = OpenOrCreateRegistryKey(HKEY_LOCAL_MACHINE, keyPath, kUninstallKeyAccess, key)) {
      error = vk::SystemErrorText(rc);
    } else {
      const vk::Streng icon = SaveProductIcon();
      const UninstallValueInputs in = GatherInputs(icon);
      std::vector<RegValueOp> ops;
      if (const int code = BuildUninstallValues(in, ops)) corruptInstaller(code, false);
      saved = WriteEntry(key.get(), ops, error);
    }
    WriteInstallFolderValue();
    if (!saved) {
      error = vk::Trim(error);
      if (!error.empty()) AddFailure(u"System error: %s\r\n\r\n", error);
      AddFailureText(u"Unable to save the uninstall information to the registry.  Uninstall will not work properly.\r\n\r\n");
    }
  }
  CreateRebootMarker(EngineReplacementContext(), C().installDir);
}

// --- icon replacement ---------------------------------------------------------------------------

IconReplacement ReplaceExecutableIconResources(const vk::Streng& executable, const vk::Streng& iconFile) {
  std::vector<uint8_t> bytes;
  {
    vk::File file;
    if (file.Open(iconFile, vk::FileMode::Read | vk::FileMode::ShareRead) != vk::FileErr::Success)
      return IconReplacement::Failed;
    const int64_t size = file.Size();
    if (size <= 0 || size > kMaxIconFile) return IconReplacement::Failed;
    bytes.resize(size_t(size));
    if (!file.Read(bytes.data(), size)) return IconReplacement::Failed;
  }
  std::vector<IconImage> images;
  if (!ParseIconFile(bytes.data(), bytes.size(), images) || images.size() > 0xFFFF) return IconReplacement::Failed;

  using BeginFn = HANDLE(WINAPI*)(LPCWSTR, BOOL);
  using UpdateFn = BOOL(WINAPI*)(HANDLE, LPCSTR, LPCSTR, WORD, LPVOID, DWORD);
  using EndFn = BOOL(WINAPI*)(HANDLE, BOOL);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return IconReplacement::OpenFailed;
  auto begin = reinterpret_cast<BeginFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "BeginUpdateResourceW")));
  auto update = reinterpret_cast<UpdateFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "UpdateResourceA")));
  auto end = reinterpret_cast<EndFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "EndUpdateResourceA")));
  if (!begin || !update || !end) return IconReplacement::OpenFailed;

  HANDLE h = begin(vk::W(executable), FALSE);
  if (!h) return IconReplacement::OpenFailed;
  constexpr WORD kLanguage = 1033;
  bool ok = true;
  for (size_t i = 0; i < images.size() && ok; ++i)
    ok = update(h, MAKEINTRESOURCEA(3), MAKEINTRESOURCEA(i + 1), kLanguage, const_cast<uint8_t*>(images[i].data),
                images[i].size) != FALSE;
  std::vector<uint8_t> group = IconGroupDirectory(images);
  if (ok) ok = update(h, MAKEINTRESOURCEA(14), MAKEINTRESOURCEA(1), kLanguage, group.data(), DWORD(group.size())) != FALSE;
  // Discarding also releases the handle.
  if (!end(h, ok ? FALSE : TRUE)) ok = false;
  return ok ? IconReplacement::Replaced : IconReplacement::Failed;
}

}  // namespace setup
