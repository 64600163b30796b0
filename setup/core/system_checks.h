#pragma once
// The start-up checks of the running system against the data: the minimum Windows version and
// the excluded systems.
#include <array>
#include <cstdint>

#include "setup/core/os_description.h"

namespace setup {

// The data's minimum version is five numbers: major, minor, build, service-pack major and
// service-pack minor; all zero asks for nothing. Compared in that order.
using MinimumVersion = std::array<uint32_t, 5>;

bool IsBelowMinimumVersion(const MinimumVersion& required, const OsFacts& running);
// Facts that describe the required version, for the refusal text.
OsFacts RequiredVersionFacts(const MinimumVersion& required);
// The service pack of a version record's text ("Service Pack 1" gives 1, none 0).
uint32_t ServicePackNumber(const vk::String& servicePackText);

// A system is excluded when its class bit is set in the data's mask. The %OS% codes are even
// numbers from 0 to 60, one per class of system, so the class bit is the code halved.
bool IsExcludedSystem(uint32_t mask, int osCode);

}  // namespace setup
