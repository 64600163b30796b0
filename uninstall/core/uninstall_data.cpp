#include "uninstall/core/uninstall_data.h"

#include <string>

#include "lib/narrow_path.h"
#include "uninstall/core/comma_separated.h"

namespace uninstall {

namespace {

constexpr std::string_view kEnd = "\r\n";
constexpr std::string_view kSeparator = "\r\n\r\n";
constexpr std::string_view kAssociationSeparator = "~!~";

enum class Section { Leading, Strings, Associations, AutoClose, Firewall, Inf, Registry2, Msi, ConditionalDelete };

struct Header {
  std::string_view name;
  Section section;
};
constexpr Header kHeaders[] = {
    {"[Strings]", Section::Strings},         {"[Associations]", Section::Associations},
    {"[AutoClose]", Section::AutoClose},     {"[Firewall]", Section::Firewall},
    {"[INF]", Section::Inf},                 {"[Registry2]", Section::Registry2},
    {"[MSI]", Section::Msi},                 {"[ConditionalDelete]", Section::ConditionalDelete},
};

const Header* HeaderOf(std::string_view trimmed) {
  for (const auto& h : kHeaders)
    if (trimmed == h.name) return &h;
  return nullptr;
}

// Ends a text of "[Strings]": the next record, or a line that opens another section.
bool EndsText(std::string_view raw, std::string_view trimmed) {
  if (!raw.empty() && raw.front() == '~') return true;
  for (const auto& h : kHeaders)
    if (h.section != Section::Strings && trimmed.starts_with(h.name)) return true;
  return false;
}

struct Line {
  std::string_view text;      // without its end
  std::string_view withEnd;   // as it stands in the file
};

// A line ends at CR or LF; CR LF and LF CR are one end each.
class LineReader {
public:
  explicit LineReader(std::string_view bytes) : bytes_(bytes) {}

  bool Next(Line& line) {
    if (pos_ >= bytes_.size()) return false;
    const size_t start = pos_;
    size_t end = bytes_.find_first_of("\r\n", pos_);
    if (end == std::string_view::npos) end = bytes_.size();
    size_t next = end;
    if (next < bytes_.size()) {
      const char first = bytes_[next++];
      if (next < bytes_.size() && (bytes_[next] == '\r' || bytes_[next] == '\n') && bytes_[next] != first)
        ++next;
    }
    line.text = bytes_.substr(start, end - start);
    line.withEnd = bytes_.substr(start, next - start);
    pos_ = next;
    return true;
  }

  bool Peek(Line& line) {
    const size_t saved = pos_;
    const bool got = Next(line);
    pos_ = saved;
    return got;
  }

private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The number after a record's "~", read like atoi: leading blanks, a sign, digits, anything after
// them ignored. Saturates far outside the accepted range.
long long RecordId(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i)
    if (value < 1000000) value = value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

// A whole field of decimal digits (white space around it allowed).
bool ParseDecimal(std::string_view field, long long limit, long long* out) {
  const vk::String t = vk::Trim(field);
  std::string_view digits = t;
  bool negative = false;
  if (!digits.empty() && digits.front() == '-') {
    negative = true;
    digits.remove_prefix(1);
  }
  if (digits.empty()) return false;
  long long value = 0;
  for (char c : digits) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - '0');
    if (value > limit) return false;
  }
  *out = negative ? -value : value;
  return true;
}

bool ParseByte(std::string_view field, uint8_t* out) {
  long long v = 0;
  if (!ParseDecimal(field, 255, &v) || v < 0) return false;
  *out = uint8_t(v);
  return true;
}

bool IsBlank(std::string_view text) { return vk::Trim(text).empty(); }

vk::Streng LowerCase(std::u16string_view text) {
  vk::Streng out(text);
  for (auto& c : out) c = vk::FoldCase(c);
  return out;
}

// A record field of a line-based file cannot hold a line break.
vk::String OneLine(vk::String text) {
  for (auto& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

vk::String AnsiToUtf8(std::string_view ansi) { return vk::StrengToUtf8(vk::AnsiToStreng(ansi)); }
vk::String Utf8ToAnsi(std::string_view utf8) { return vk::StrengToAnsi(vk::Utf8ToStreng(utf8)); }

void BeginSection(vk::String& out, std::string_view header) {
  out += kSeparator;
  out += header;
  out += kEnd;
}

void ReadStringsRecord(std::string_view trimmed, LineReader& lines, UninstallData& data) {
  const long long id = RecordId(trimmed.substr(1));
  if (id < 1 || id > kMaxTextId) return;
  vk::String text;
  Line next;
  while (lines.Peek(next) && !EndsText(next.withEnd, vk::Trim(next.text))) {
    text += next.withEnd;
    lines.Next(next);
  }
  vk::Streng wide = vk::Utf8ToStreng(vk::TrimRight(text));
  if (id == kProductNameId)
    data.productName = std::move(wide);
  else
    data.SetText(int(id), std::move(wide));
}

void ReadAssociation(std::string_view line, UninstallData& data) {
  std::string_view fields[4];
  std::string_view rest = line;
  for (int n = 0; n < 3; ++n) {
    const size_t at = rest.find(kAssociationSeparator);
    if (at == std::string_view::npos) {
      fields[n] = rest;
      rest = {};
      break;
    }
    fields[n] = rest.substr(0, at);
    rest = rest.substr(at + kAssociationSeparator.size());
    if (n == 2) fields[3] = rest;
  }
  if (IsBlank(fields[0]) || IsBlank(fields[1]) || IsBlank(fields[2])) return;
  data.associations.push_back({vk::String(fields[0]), vk::String(fields[1]), vk::String(fields[2]),
                               vk::DecodeNarrowPath(fields[3])});
}

void ReadCloseProgram(std::string_view line, UninstallData& data) {
  const auto fields = SplitCommaSeparated(line);
  if (fields.size() != 4) return;
  CloseWindow w;
  if (!ParseByte(fields[3], &w.action)) return;
  w.titlePattern = Utf8ToAnsi(fields[0]);
  w.classPattern = vk::Utf8ToStreng(fields[1]);
  w.displayName = Utf8ToAnsi(fields[2]);
  w.phaseMask = w.action == 2 ? 4 : 2;
  data.closePrograms.push_back(std::move(w));
}

void ReadConditionalDeletion(std::string_view line, UninstallData& data) {
  auto fields = SplitCommaSeparated(line);
  if (fields.size() != 4) return;
  FileDeletion d;
  if (!ParseByte(fields[1], &d.conditionKind) || !ParseByte(fields[3], &d.flags)) return;
  d.fileSpec = std::move(fields[0]);
  d.comparisonValue = std::move(fields[2]);
  PutConditionalDeletion(data, std::move(d));
}

}  // namespace

const vk::Streng& UninstallData::Text(int id) const {
  static const vk::Streng empty;
  return id >= 0 && size_t(id) < texts.size() ? texts[size_t(id)] : empty;
}

void UninstallData::SetText(int id, vk::Streng text) {
  if (id < 0 || id > kMaxTextId) return;
  if (size_t(id) >= texts.size()) texts.resize(size_t(id) + 1);
  texts[size_t(id)] = std::move(text);
}

UninstallData& ProcessUninstallData() {
  static UninstallData data;
  return data;
}

bool AddUninstallEntry(UninstallData& data, std::string_view narrowPath, int type) {
  if (narrowPath.size() <= 3) return false;  // a drive root is never removed
  if (type == kEntryFolder && !data.folders.insert(LowerCase(vk::DecodeNarrowPath(narrowPath))).second)
    return false;
  vk::String entry;
  switch (type) {
    case kEntryFolder: entry = "~"; break;
    case kEntryRegistryValue: entry = "!"; break;
    case kEntryRegistryKey: entry = "^"; break;
    case kEntryRegistryKey64: entry = "*"; break;
    default: break;
  }
  entry += narrowPath;
  data.entries.push_back(std::move(entry));
  return true;
}

bool AddUninstallEntry(UninstallData& data, std::u16string_view widePath, int type) {
  return AddUninstallEntry(data, std::string_view(vk::EncodeNarrowPath(widePath)), type);
}

UninstallEntry ParseUninstallEntry(std::string_view line) {
  UninstallEntry e;
  if (!line.empty()) {
    switch (line.front()) {
      case '~': e.type = kEntryFolder; break;
      case '!': e.type = kEntryRegistryValue; break;
      case '^': e.type = kEntryRegistryKey; break;
      case '*': e.type = kEntryRegistryKey64; break;
      default: break;
    }
  }
  e.narrowPath = vk::String(e.type == kEntryFile ? line : line.substr(1));
  return e;
}

void ClearUninstallEntries(UninstallData& data) {
  data.entries.clear();
  data.folders.clear();
}

void AddAssociation(UninstallData& data, FileAssociation association) {
  data.associations.push_back(std::move(association));
}

void AddDriver(UninstallData& data, std::u16string_view infPath) {
  data.drivers.push_back(vk::EncodeNarrowPath(infPath));
}

vk::String PackageLine(std::u16string_view packagePath, int uiLevel) {
  return "\"" + vk::EncodeNarrowPath(packagePath) + "\"," + std::to_string(uiLevel);
}

bool ParsePackageLine(std::string_view line, vk::Streng* packagePath, int* uiLevel) {
  const auto fields = SplitCommaSeparated(line);
  if (fields.size() != 2) return false;
  long long level = 0;
  if (!ParseDecimal(fields[1], 0x7FFFFFFF, &level)) return false;
  vk::String path = vk::Trim(fields[0]);
  std::erase(path, '"');
  *packagePath = vk::DecodeNarrowPath(vk::Trim(path));
  *uiLevel = int(level);
  return true;
}

FileDeletion NarrowDeletion(const setup::FileDeletion& fromSettings) {
  FileDeletion d = fromSettings;
  d.fileSpec = vk::EncodeNarrowPath(vk::AnsiToStreng(fromSettings.fileSpec));
  return d;
}

void PutConditionalDeletion(UninstallData& data, FileDeletion deletion) {
  for (auto& d : data.conditionalDeletions) {
    if (d.fileSpec == deletion.fileSpec) {
      d = std::move(deletion);
      return;
    }
  }
  data.conditionalDeletions.push_back(std::move(deletion));
}

vk::String WriteUninstallData(const UninstallData& data) {
  vk::String out;
  for (const auto& e : data.entries) {
    out += e;
    out += kEnd;
  }

  BeginSection(out, "[Strings]");
  for (int id : kCarriedTextIds) {
    out += "~" + std::to_string(id) + "\r\n";
    out += vk::StrengToUtf8(data.Text(id));
    out += kEnd;
  }
  out += "~" + std::to_string(kProductNameId) + "\r\n";
  out += vk::StrengToUtf8(data.productName);
  out += kEnd;

  if (!data.closePrograms.empty()) {
    BeginSection(out, "[AutoClose]");
    for (const auto& w : data.closePrograms) {
      out += JoinCommaSeparated({OneLine(AnsiToUtf8(w.titlePattern)), OneLine(vk::StrengToUtf8(w.classPattern)),
                                 OneLine(AnsiToUtf8(w.displayName)), std::to_string(w.action)});
      out += kEnd;
    }
  }

  if (!data.associations.empty()) {
    BeginSection(out, "[Associations]");
    for (const auto& a : data.associations) {
      out += a.extension;
      out += kAssociationSeparator;
      out += a.programId;
      out += kAssociationSeparator;
      out += a.verb;
      out += kAssociationSeparator;
      out += vk::EncodeNarrowPath(a.icon);
      out += kEnd;
    }
  }

  const std::pair<std::string_view, const std::vector<vk::String>*> lists[] = {
      {"[Firewall]", &data.firewall}, {"[INF]", &data.drivers}, {"[MSI]", &data.packages}};
  for (const auto& [header, lines] : lists) {
    if (lines->empty()) continue;
    BeginSection(out, header);
    for (const auto& line : *lines) {
      out += line;
      out += kEnd;
    }
  }

  if (!data.registryEntries.empty()) {
    BeginSection(out, "[Registry2]");
    out += vk::StrengToUtf8(data.registryEntries);
  }

  vk::String deletions;
  for (const auto& d : data.conditionalDeletions) {
    if (!(d.flags & kDeletionAtUninstall)) continue;
    deletions += JoinCommaSeparated({OneLine(d.fileSpec), std::to_string(d.conditionKind),
                                     OneLine(d.comparisonValue), std::to_string(d.flags)});
    deletions += kEnd;
  }
  if (!deletions.empty()) {
    BeginSection(out, "[ConditionalDelete]");
    out += deletions;
  }
  return out;
}

void ReadUninstallData(std::string_view bytes, UninstallData& data) {
  data = UninstallData{};
  Section section = Section::Leading;
  LineReader lines(bytes);
  Line line;
  while (lines.Next(line)) {
    const vk::String trimmed = vk::Trim(line.text);
    if (const Header* h = HeaderOf(trimmed)) {
      section = h->section;
      continue;
    }
    // Empty lines carry nothing; the writer's section separators would otherwise pile up in
    // the lists each time a partial uninstallation writes the file again.
    if (trimmed.empty()) continue;
    switch (section) {
      case Section::Leading:
        if (ParseUninstallEntry(trimmed).type == kEntryFolder)
          data.folders.insert(LowerCase(vk::DecodeNarrowPath(std::string_view(trimmed).substr(1))));
        data.entries.push_back(trimmed);
        break;
      case Section::Strings:
        if (trimmed.front() == '~') ReadStringsRecord(trimmed, lines, data);
        break;
      case Section::Associations: ReadAssociation(trimmed, data); break;
      case Section::AutoClose: ReadCloseProgram(trimmed, data); break;
      case Section::ConditionalDelete: ReadConditionalDeletion(trimmed, data); break;
      case Section::Firewall: data.firewall.push_back(trimmed); break;
      case Section::Inf: data.drivers.push_back(trimmed); break;
      case Section::Msi: data.packages.push_back(trimmed); break;
      case Section::Registry2:
        data.registryEntries += vk::Utf8ToStreng(trimmed);
        data.registryEntries += u"\r\n";
        break;
    }
  }
}

}  // namespace uninstall
