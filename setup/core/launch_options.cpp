#include "setup/core/launch_options.h"

#include <vector>

#include "lib/narrow_path.h"

namespace setup {

ShowState LaunchShowState(uint32_t options) {
  if (options & LaunchOption::Maximized) return {true, LaunchConstant::ShowMaximized};
  if (options & LaunchOption::Minimized) return {true, LaunchConstant::ShowMinimized};
  if (options & LaunchOption::Hidden) return {true, LaunchConstant::ShowHide};
  return {};
}

uint32_t LaunchCreationFlags(uint32_t options) {
  uint32_t flags = 0;
  if (options & LaunchOption::NewConsole) flags |= LaunchConstant::CreateNewConsole;
  if (options & LaunchOption::HighPriority)
    flags |= LaunchConstant::HighPriority;
  else if (options & LaunchOption::IdlePriority)
    flags |= LaunchConstant::IdlePriority;
  else
    flags |= LaunchConstant::NormalPriority;
  return flags;
}

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

bool NamesFile(const vk::Streng& path, const PathFacts& facts) {
  return facts.isFile && (facts.isFile(path) || facts.isFile(path + u".exe"));
}

}  // namespace

CommandLineSplit SplitCommandLine(std::u16string_view line, const PathFacts& facts) {
  size_t start = 0;
  while (start < line.size() && IsBlank(line[start])) ++start;
  CommandLineSplit split;
  if (start < line.size() && line[start] == u'"') {
    const size_t close = line.find(u'"', start + 1);
    split.quoted = true;
    split.program = vk::Streng(line.substr(start + 1, close == std::u16string_view::npos ? close : close - start - 1));
    split.argumentsAt = close == std::u16string_view::npos ? line.size() : close + 1;
    return split;
  }
  // The readings, shortest first: up to each white space that follows a word, and the whole line.
  std::vector<size_t> ends;
  for (size_t i = start + 1; i < line.size(); ++i)
    if (IsBlank(line[i]) && !IsBlank(line[i - 1])) ends.push_back(i);
  if (line.size() > start && !IsBlank(line.back())) ends.push_back(line.size());
  if (ends.empty()) {
    split.argumentsAt = line.size();
    return split;
  }
  const auto reading = [&](size_t k) { return vk::Streng(line.substr(start, ends[k] - start)); };
  // The longest existing folder that the line begins with, looked for only past the first
  // reading: a reading that it reaches past is cut off.
  size_t reach = 0;
  for (size_t i = line.size(); facts.isFolder && i-- > ends[0];)
    if (line[i] == u'\\' && facts.isFolder(vk::Streng(line.substr(start, i - start)))) {
      reach = i;
      break;
    }
  const auto cutOff = [&](size_t k) { return reach > ends[k]; };
  size_t chosen = ends.size();
  for (size_t k = ends.size(); k-- > 0 && chosen == ends.size();)
    if (!cutOff(k) && NamesFile(reading(k), facts)) chosen = k;
  for (size_t k = 0; k < ends.size() && chosen == ends.size(); ++k)
    if (!cutOff(k)) chosen = k;
  split.program = reading(chosen);
  split.argumentsAt = ends[chosen];
  return split;
}

vk::Streng QuoteCommandLineProgram(std::u16string_view line, const PathFacts& facts) {
  const CommandLineSplit split = SplitCommandLine(line, facts);
  if (split.quoted || split.program.find_first_of(u" \t") == vk::Streng::npos) return vk::Streng(line);
  return u"\"" + split.program + u"\"" + vk::Streng(line.substr(split.argumentsAt));
}

}  // namespace setup
