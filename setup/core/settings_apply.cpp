#include "setup/core/settings_apply.h"

namespace setup {

namespace {
bool EndsInLineBreak(const vk::String& s) { return !s.empty() && (s.back() == '\n' || s.back() == '\r'); }
}  // namespace

bool Nt52OptionKept(const SystemVersion& v, uint32_t hookStatus) {
  if (hookStatus != 0) return false;
  if (v.major != 5) return v.major > 5;
  if (v.minor != 2) return v.minor > 2;
  return v.productType != kWorkstation;
}

vk::String AppendBatchLines(const vk::String& batch, const vk::String& addition) {
  if (addition.empty()) return batch;
  vk::String out = batch;
  if (!out.empty() && !EndsInLineBreak(out)) out += "\r\n";
  out += addition;
  if (!EndsInLineBreak(out)) out += "\r\n";
  return out;
}

}  // namespace setup
