#include "setup/core/trust_outcome.h"

#include "lib/file_errors.h"

namespace setup {

namespace {

// System errors (plain or as HRESULT_FROM_WIN32) of a file that could not be opened.
uint32_t Win32Code(uint32_t error) {
  return (error & 0xFFFF0000u) == 0x80070000u ? (error & 0xFFFFu) : error;
}

bool IsOtherFileError(uint32_t code) {
  if (code == 0 || code == vk::kSystemErrorFail) return false;
  for (int c = vk::FileErr::Success + 1; c <= vk::FileErr::Last; ++c)
    if (vk::FileErrorToSystemError(c) == code) return true;
  return false;
}

int Classify(uint32_t answer) {
  switch (answer) {
    case 0: return 0;
    case trust::kNoSignature: return 1;
    case trust::kExplicitDistrust: return 2;
    case trust::kBadDigest:
    case trust::kSubjectNotTrusted:
    case trust::kUntrustedRoot:
    case trust::kChaining: return 3;
    case trust::kSecuritySettings: return 4;
    case trust::kSubjectFormUnknown: return 9;
    case trust::kRevoked: return 10;
    case trust::kExpired: return 11;
    case trust::kTimeStamp: return 12;
    case trust::kCertSignature: return 13;
    case trust::kProviderUnknown: return 16;
    default: break;
  }
  const uint32_t code = Win32Code(answer);
  switch (code) {
    case 2:   // ERROR_FILE_NOT_FOUND
    case 3:   // ERROR_PATH_NOT_FOUND
    case 4:   // ERROR_TOO_MANY_OPEN_FILES
      return 7;
    case 5:   // ERROR_ACCESS_DENIED
    case 32:  // ERROR_SHARING_VIOLATION
      return 8;
    default: break;
  }
  return IsOtherFileError(code) ? 14 : 6;
}

// The answer that decides: the result, or for "no signature" the last error in its place.
uint32_t DecidingAnswer(const TrustFacts& facts) {
  if (facts.result != trust::kNoSignature) return facts.result;
  return facts.lastError == 0 ? trust::kNoSignature : facts.lastError;
}

}  // namespace

int TrustOutcome(const TrustFacts& facts) {
  if (!facts.available) return 5;
  if (facts.raisedException) return 15;
  return Classify(DecidingAnswer(facts));
}

bool TrustOutcomeAccepted(int outcome) {
  return outcome == 0 || (outcome >= 4 && outcome <= 11) || outcome == 13;
}

uint32_t TrustOutcomeSystemError(const TrustFacts& facts) {
  if (!facts.available) return trust::kNotAvailableError;
  if (facts.raisedException) return 0;
  return DecidingAnswer(facts);
}

}  // namespace setup
