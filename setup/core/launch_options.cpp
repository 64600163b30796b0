#include "setup/core/launch_options.h"

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

vk::Streng CommandLineProgram(std::u16string_view commandLine,
                              const std::function<bool(const vk::Streng&)>& fileExists) {
  while (!commandLine.empty() && (commandLine.front() == u' ' || commandLine.front() == u'\t'))
    commandLine.remove_prefix(1);
  if (!commandLine.empty() && commandLine.front() == u'"') {
    const std::u16string_view rest = commandLine.substr(1);
    return vk::Streng(rest.substr(0, rest.find(u'"')));
  }
  // Arguments may hold backslashes too, so the program ends at a space, not at the last one.
  const size_t firstSpace = commandLine.find_first_of(u" \t");
  for (size_t end = firstSpace; end != std::u16string_view::npos; end = commandLine.find_first_of(u" \t", end + 1)) {
    const vk::Streng candidate(commandLine.substr(0, end));
    if (fileExists && (fileExists(candidate) || fileExists(candidate + u".exe"))) return candidate;
  }
  if (fileExists && firstSpace != std::u16string_view::npos) {
    const vk::Streng whole(commandLine);
    if (fileExists(whole) || fileExists(whole + u".exe")) return whole;
  }
  return vk::Streng(commandLine.substr(0, firstSpace));
}

vk::Streng CommandLineProgramFolder(std::u16string_view commandLine,
                                    const std::function<bool(const vk::Streng&)>& fileExists) {
  return vk::PathFolder(CommandLineProgram(commandLine, fileExists));
}

}  // namespace setup
