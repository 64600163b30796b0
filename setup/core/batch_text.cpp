#include "setup/core/batch_text.h"

namespace setup {

using vk::Streng;

const BatchVariable kBatchVariables[kBatchVariableCount] = {
    {u"Automatic", false},
    {u"InstallDir", true},
    {u"Bits", true},
    {u"UninstallDir", true},
    {u"SharedDir", true},
    {u"InstallerFilepath", true},
    {u"InstallerDir", true},
    {u"InstallerFilename", true},
    {u"InstallerDrive", true},
    {u"SystemDir", true},
    {u"DeviceDir", true},
    {u"MediaDir", true},
    {u"FavoritesDir", true},
    {u"FavoritesAllDir", true},
    {u"FontDir", true},
    {u"DesktopDir", true},
    {u"DesktopAllDir", true},
    {u"DesktopShortcuts", true},
    {u"DocumentDir", true},
    {u"DocumentAllDir", true},
    {u"ProductName", true},
    {u"CompanyName", true},
    {u"ProgramsDir", true},
    {u"ProgramsDir32", true},
    {u"ProgramsDir64", true},
    {u"StartMenuAllDir", true},
    {u"StartMenuChosen", true},
    {u"StartMenuDir", true},
    {u"SMProgramsDir", true},
    {u"SMProgramsAllDir", true},
    {u"StartupDir", true},
    {u"StartupAllDir", true},
    {u"CommonDir", true},
    {u"CommonDir32", true},
    {u"CommonDir64", true},
    {u"Inetpub", true},
    {u"AppDataDir", true},
    {u"AppDataAllDir", true},
    {u"InstallDrive", false},
    {u"BootDrive", false},
    {u"Version", false},
    {u"OldVersion", false},
    {u"Portable", false},
    {u"Existing", false},
    {u"OldVersionMajor", false},
    {u"OldVersionMinor", false},
    {u"OS", false},
    {u"OSMajor", false},
    {u"OSMinor", false},
    {u"OSName", false},
    {u"OSDescription", false},
    {u"OSServer", false},
};

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f'; }

std::u16string_view TrimBlanks(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

Streng EscapeForBatch(std::u16string_view text) {
  Streng out;
  out.reserve(text.size());
  for (char16_t c : text) {
    out += c;
    if (c == u'%') out += u'%';
  }
  return out;
}

Streng BatchVariableLines(const MacroValues& values) {
  Streng out;
  for (const BatchVariable& v : kBatchVariables) {
    const Streng value = EscapeForBatch(MacroValue(v.name, values).value_or(Streng()));
    out += v.quoted ? u"SET \"" : u"SET ";
    out += v.name;
    out += u'=';
    out += value;
    out += v.quoted ? u"\"\r\n" : u"\r\n";
  }
  return out;
}

bool IsPauseLine(std::u16string_view line) {
  line = TrimBlanks(line);
  if (!line.empty() && line.front() == u'@') line = TrimBlanks(line.substr(1));
  return vk::EqualsNoCase(line, u"PAUSE");
}

Streng WithoutPauseLines(std::u16string_view text) {
  Streng out;
  size_t start = 0;
  while (start < text.size()) {
    // A line runs up to and with its break: CR LF, LF CR, or a CR or LF alone.
    size_t end = start;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
    size_t next = end;
    if (next < text.size()) {
      const char16_t first = text[next++];
      if (next < text.size() && (text[next] == u'\r' || text[next] == u'\n') && text[next] != first) ++next;
    }
    if (!IsPauseLine(text.substr(start, end - start))) out += text.substr(start, next - start);
    start = next;
  }
  return out;
}

Streng NormalisedLineBreaks(std::u16string_view text) {
  Streng out;
  out.reserve(text.size() + text.size() / 16 + 2);
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c != u'\r' && c != u'\n') {
      out += c;
      continue;
    }
    // CR LF and LF CR are one break each.
    if (i + 1 < text.size() && (text[i + 1] == u'\r' || text[i + 1] == u'\n') && text[i + 1] != c) ++i;
    out += u"\r\n";
  }
  if (out.size() < 2 || out.compare(out.size() - 2, 2, u"\r\n") != 0) out += u"\r\n";
  return out;
}

bool SystemTakesUtf8Batch(const OsInfo& os) {
  return os.ntPlatform && (os.major > 6 || (os.major == 6 && os.minor >= 1));
}

Streng InterpreterArgument(std::u16string_view batch, std::u16string_view capture) {
  constexpr std::u16string_view kSpecial = u" \t&()[]{}^=;!'+,";
  const bool quote = batch.find_first_of(kSpecial) != std::u16string_view::npos ||
                     capture.find_first_of(kSpecial) != std::u16string_view::npos;
  if (!quote) return capture.empty() ? Streng(batch) : Streng(batch) + u" > " + Streng(capture);
  Streng out = u"\"\"" + Streng(batch) + u"\"";
  if (!capture.empty()) out += u" > \"" + Streng(capture) + u"\"";
  return out + u"\"";
}

BatchFile BatchFileText(std::string_view script1252, bool hidden, const MacroValues& values) {
  Streng script = vk::Cp1252ToStreng(script1252);
  if (hidden || values.context().automaticMode) script = WithoutPauseLines(script);
  const Streng text = NormalisedLineBreaks(u"@echo off\r\n" + BatchVariableLines(values) + script);

  bool wide = false;
  for (char16_t c : text) wide = wide || c > 127;
  if (wide && SystemTakesUtf8Batch(values.osInfo())) return {"@chcp 65001 >nul\r\n" + vk::StrengToUtf8(text), true};
  return {"@chcp 1252 >nul\r\n" + vk::StrengToCp1252(text), false};
}

}  // namespace setup
