#include "uninstall/core/self_removal.h"

#include <string>
#include <vector>

#include "lib/narrow_path.h"
#include "setup/core/batch_text.h"
#include "uninstall/core/protected_folders.h"

namespace uninstall {

using vk::Streng;

namespace {

Streng Quoted(std::u16string_view path) { return u"\"" + setup::EscapeForBatch(path) + u"\""; }

}  // namespace

bool IsProductUninstaller(std::u16string_view executable, std::u16string_view uninstallFolder) {
  const Streng folder = NormalizeFolder(uninstallFolder);
  const Streng own = NormalizeFolder(vk::PathFolder(NormalizeFolder(executable)));
  return !folder.empty() && !vk::PathFileName(NormalizeFolder(executable)).empty() && vk::EqualsNoCase(own, folder);
}

Streng SelfRemovalText(const SelfRemovalPaths& paths) {
  const Streng batchFolder = vk::PathFolder(paths.batchFile);
  // Delayed expansion would take "!" of a path for a variable.
  Streng text = u"setlocal DisableDelayedExpansion\r\n";
  text += u"cd /d " + Quoted(vk::PathFolder(batchFolder)) + u"\r\n";
  if (!paths.executable.empty()) {
    // Bounded: a file that cannot be deleted (held by another program, say) is left behind
    // rather than spun on for ever. Ping waits about a second; CHOICE does not wait reliably in
    // a console that nobody sees.
    const Streng exe = Quoted(paths.executable);
    text += u"set Attempts=0\r\n:Repeat\r\n";
    text += u"del " + exe + u"\r\nif not exist " + exe + u" goto Deleted\r\n";
    text += u"set /a Attempts+=1\r\nif %Attempts% LSS " + vk::AsciiToStreng(std::to_string(paths.deleteAttempts)) +
            u" (\r\nping -n 2 127.0.0.1 >nul\r\ngoto Repeat\r\n)\r\n";
    text += u":Deleted\r\n";
  }
  text += u"CHOICE /T 3 /D Y\r\n";

  // The subfolder and each of its parents, deepest first; empty components ("a\\b", a leading or
  // trailing backslash) name no folder of their own.
  std::vector<Streng> parts;
  Streng part;
  for (char16_t c : paths.uninstallSubdir) {
    if (c == u'\\' || c == u'/') {
      if (!part.empty()) parts.push_back(std::move(part));
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty()) parts.push_back(std::move(part));
  // A path through "." or ".." may name a folder outside the installation folder; those stay.
  size_t inside = 0;
  while (inside < parts.size() && parts[inside] != u"." && parts[inside] != u"..") ++inside;
  size_t levels = inside;
  for (size_t lines = 0; levels > 0 && lines < kMaxSubfolderLevels; --levels, ++lines) {
    Streng relative;
    for (size_t k = 0; k < levels; ++k) {
      if (k) relative += u'\\';
      relative += parts[k];
    }
    text += u"rd " + Quoted(vk::JoinPath(paths.installFolder, relative)) + u"\r\n";
  }

  text += u"rd " + Quoted(paths.installFolder) + u"\r\n";
  // The batch's own folder can go only once the interpreter has let go of the batch (some keep it
  // open to the end): a second one tries after about 2, 4 and 9 seconds. It reads the folder from
  // the variable, so that nothing of the path is taken for a command or expanded once more.
  text += u"set \"SelfRemovalFolder=" + setup::EscapeForBatch(batchFolder) + u"\"\r\n";
  text += u"start \"\" /b " + Quoted(paths.interpreter) + u" /d /v:off /c";
  const char16_t* separator = u"";
  for (const char16_t* pings : {u"3", u"3", u"6"}) {
    text += separator;
    text += u" ping -n " + Streng(pings) + u" 127.0.0.1 ^>nul ^& rd \"%%SelfRemovalFolder%%\" 2^>nul";
    separator = u" ^&";
  }
  text += u"\r\n";
  text += u"del " + Quoted(paths.batchFile) + u"\r\n";
  return text;
}

vk::String EncodeSelfRemovalBatch(const Streng& text, bool utf8Console, bool* lossless) {
  bool ascii = true;
  for (char16_t c : text)
    if (c >= 0x80) ascii = false;
  if (lossless) *lossless = true;
  if (utf8Console && !ascii) return "@chcp 65001 >nul\r\n" + vk::StrengToUtf8(text);
  vk::String bytes = vk::StrengToCp1252(text);
  if (lossless) *lossless = vk::Cp1252ToStreng(bytes) == text;
  return "@chcp 1252 >nul\r\n" + bytes;
}

}  // namespace uninstall
