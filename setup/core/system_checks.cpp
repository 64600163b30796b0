#include "setup/core/system_checks.h"

#include <tuple>

namespace setup {

uint32_t ServicePackNumber(const vk::String& text) {
  uint32_t n = 0;
  bool digits = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      n = n * 10 + uint32_t(c - '0');
      digits = true;
    } else if (digits) {
      break;
    }
  }
  return n;
}

bool IsBelowMinimumVersion(const MinimumVersion& required, const OsFacts& running) {
  if (required == MinimumVersion{}) return false;
  const MinimumVersion have = {running.major, running.minor, running.build, ServicePackNumber(running.servicePack), 0};
  // The service-pack minor number is not known for the running system: it counts as met.
  return std::tie(have[0], have[1], have[2], have[3]) < std::tie(required[0], required[1], required[2], required[3]);
}

OsFacts RequiredVersionFacts(const MinimumVersion& required) {
  OsFacts f;
  f.major = required[0];
  f.minor = required[1];
  f.build = required[2];
  f.productType = kProductWorkstation;
  if (required[3]) f.servicePack = "Service Pack " + std::to_string(required[3]);
  return f;
}

bool IsExcludedSystem(uint32_t mask, int osCode) {
  const int bit = osCode / 2;
  return osCode >= 0 && bit < 32 && ((mask >> bit) & 1);
}

}  // namespace setup
