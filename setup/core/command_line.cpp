#include "setup/core/command_line.h"

#include "lib/narrow_path.h"

#include "lib/format.h"

namespace setup {

namespace {

bool IsSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}

// "\" and "X:\" keep their backslash: without it they would name no folder or the drive's
// current folder.
bool IsRootFolder(std::u16string_view path) {
  return path.size() == 1 || (path.size() == 3 && path[1] == u':');
}

vk::Streng StripQuotePair(std::u16string_view s) {
  if (s.size() >= 2 && s.front() == u'"' && s.back() == u'"') s = s.substr(1, s.size() - 2);
  return vk::Streng(s);
}

vk::Streng StripTrailingQuote(std::u16string_view s) {
  if (!s.empty() && s.back() == u'"') s.remove_suffix(1);
  return vk::Streng(s);
}

template <class S>
void BackQuotesToQuotes(S& s) {
  for (auto& c : s)
    if (c == '`') c = '"';
}

vk::String TildesToLineBreaks(std::string_view s) {
  vk::String out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '~' && i + 1 < s.size() && s[i + 1] == '~') {
      out += "\r\n";
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

// The value of /b1:" and its kind.
vk::String BatchLines(std::u16string_view rest) {
  vk::String s = vk::StrengToAnsi(rest);
  if (!s.empty() && s.back() == '"') s.pop_back();
  BackQuotesToQuotes(s);
  return TildesToLineBreaks(s);
}

}  // namespace

std::vector<vk::Streng> TokeniseCommandLine(std::u16string_view text, size_t maxTokens) {
  std::vector<vk::Streng> tokens;
  size_t i = 0;
  while (tokens.size() < maxTokens) {
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i >= text.size()) break;
    size_t start = i;
    bool quoted = false;
    while (i < text.size() && (quoted || !IsSpace(text[i]))) {
      if (text[i] == u'"') quoted = !quoted;
      ++i;
    }
    tokens.emplace_back(text.substr(start, i - start));
  }
  return tokens;
}

CommandLineResult ParseCommandLine(std::u16string_view commandLine) {
  CommandLineResult result;
  CommandLine& v = result.values;
  vk::Streng text = vk::Trim(commandLine);
  std::vector<vk::Streng> tokens = TokeniseCommandLine(text, 1 + kMaxCommandLineTokens);
  for (size_t t = 1; t < tokens.size(); ++t) {
    const vk::Streng& token = tokens[t];
    if (token.empty()) break;
    if (token[0] != u'/' && token[0] != u'-') {
      result.ok = false;
      result.usageError = u"Unexpected command line parameter:\r\n" + token;
      return result;
    }
    std::u16string_view atom = std::u16string_view(token).substr(1);
    auto prefix = [&](std::u16string_view p, std::u16string_view& rest) {
      if (!vk::StartsWithNoCase(atom, p)) return false;
      rest = atom.substr(p.size());
      return true;
    };
    std::u16string_view rest;
    if (vk::EqualsNoCase(atom, u"A")) {
      v.automaticMode = true;
    } else if (prefix(u"D:", rest)) {
      vk::Streng path = StripQuotePair(rest);
      if (!path.empty() && path.back() == u'\\' && !IsRootFolder(path)) path.pop_back();
      v.overridePath = path;
      v.overridePath8 = vk::EncodeNarrowPath(path);
    } else if (prefix(u"N:", rest)) {
      v.overrideProductName = StripQuotePair(rest);
    } else if (prefix(u"U", rest)) {
      v.uninstallRequested = true;
      if (!rest.empty() && rest[0] == u':') v.uninstallProductName = StripQuotePair(rest.substr(1));
    } else if (prefix(u"R:\"", rest)) {
      v.runAfterProgram = StripTrailingQuote(rest);
      BackQuotesToQuotes(v.runAfterProgram);
    } else if (prefix(u"B1:\"", rest)) {
      v.batchAppend1 = BatchLines(rest);
    } else if (prefix(u"B2:\"", rest)) {
      v.batchAppend2 = BatchLines(rest);
    } else if (prefix(u"B3:\"", rest)) {
      v.batchAppend3 = BatchLines(rest);
    } else if (vk::EqualsNoCase(atom, u"Silent")) {
      v.automaticMode = true;
      v.silentMode = true;
    } else if (vk::EqualsNoCase(atom, u"MIN")) {
      v.startMinimized = true;
    } else if (!atom.empty()) {
      result.ok = false;
      result.usageError = u"Illegal command line atom:\r\n" + vk::Streng(atom);
      return result;
    }
  }
  return result;
}

vk::Streng UninstallUsageError(const CommandLine& values) {
  if (values.uninstallProductName.empty()) return u"Product name required";
  return {};
}

vk::Streng UsageText(std::u16string_view message, std::u16string_view exeFileName) {
  static constexpr char16_t kUsage[] =
      u"%s\r\n\r\nUsage:\r\n%s [/a] [/b1:\"commands\"] [/b2:\"commands\"] [/b3:\"commands\"] "
      u"[/d:\"dir\"] [/n:\"name\"] [/u:\"name\"] [/r:\"program\"] [/silent]\r\n\r\n"
      u"/a                  \tAutomatic mode.\r\n"
      u"/d:\"dir\"        \tOverride installation path.\r\n"
      u"/b1:\"commands\"\tAdd commands to the end of the Pre-Installation Batch.\r\n"
      u"/b2:\"commands\"\tAdd commands to the end of the Post-Installation Batch.\r\n"
      u"/b3:\"commands\"\tAdd commands to the end of the Installation-Exit Batch.\r\n"
      u"/n:\"name\"\tOverride product name.\r\n"
      u"/u:\"name\"\tUninstall product by name.\r\n"
      u"/r:\"program\"\tRun the specified program after a successful installation.\r\n"
      u"/silent\tDisplay no user interface.";
  return vk::Format(std::u16string_view(kUsage), message, exeFileName);
}

vk::Streng FileNameOfPath(std::u16string_view path) {
  size_t slash = path.find_last_of(u"\\/");
  return vk::Streng(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace setup
