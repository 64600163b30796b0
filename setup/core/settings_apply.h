#pragma once
// Decisions taken while the settings are put into the installation context, kept apart from the
// system calls that gather their facts.
#include <cstdint>

#include "lib/strings.h"

namespace setup {

// The running system as the version query reports it.
struct SystemVersion {
  uint32_t major = 0, minor = 0;
  uint8_t productType = 0;  // VER_NT_WORKSTATION 1, VER_NT_DOMAIN_CONTROLLER 2, VER_NT_SERVER 3
};

constexpr uint8_t kWorkstation = 1;

// ProductFlags2 bit 10 stays set on NT 5.2 and later, except on the one 5.2 workstation
// (Windows XP Professional x64 Edition, whose shell is that of XP), and only when the optional
// system hook reported 0.
bool Nt52OptionKept(const SystemVersion& version, uint32_t hookStatus);

// A command-line batch addition goes on its own line at the end of the stored batch: a line
// break is put in front of it unless the batch is empty or already ends in one, and after it
// unless it ends in one itself.
vk::String AppendBatchLines(const vk::String& batch, const vk::String& addition);

}  // namespace setup
