#pragma once
// What the signature check of the installer file (integrity mode 2) makes of WinVerifyTrust's
// answer: one outcome number 0..16, and whether the run may go on with it. Pure, so that every
// answer can be tried on the host; the engine only gathers the facts.
#include <cstdint>

namespace setup {

// The answers that the mapping tells apart (HRESULTs of winerror.h).
namespace trust {
constexpr uint32_t kNoSignature = 0x800B0100;         // TRUST_E_NOSIGNATURE
constexpr uint32_t kExplicitDistrust = 0x800B0111;    // TRUST_E_EXPLICIT_DISTRUST
constexpr uint32_t kBadDigest = 0x80096010;           // TRUST_E_BAD_DIGEST
constexpr uint32_t kSubjectNotTrusted = 0x800B0004;   // TRUST_E_SUBJECT_NOT_TRUSTED
constexpr uint32_t kUntrustedRoot = 0x800B0109;       // CERT_E_UNTRUSTEDROOT
constexpr uint32_t kChaining = 0x800B010A;            // CERT_E_CHAINING
constexpr uint32_t kSecuritySettings = 0x80092026;    // CRYPT_E_SECURITY_SETTINGS
constexpr uint32_t kSubjectFormUnknown = 0x800B0003;  // TRUST_E_SUBJECT_FORM_UNKNOWN
constexpr uint32_t kRevoked = 0x800B010C;             // CERT_E_REVOKED
constexpr uint32_t kExpired = 0x800B0101;             // CERT_E_EXPIRED
constexpr uint32_t kTimeStamp = 0x80096005;           // TRUST_E_TIME_STAMP
constexpr uint32_t kCertSignature = 0x80096004;       // TRUST_E_CERT_SIGNATURE
constexpr uint32_t kProviderUnknown = 0x800B0001;     // TRUST_E_PROVIDER_UNKNOWN
// The last system error given when WinVerifyTrust cannot be loaded.
constexpr uint32_t kNotAvailableError = 632;
}  // namespace trust

struct TrustFacts {
  bool available = true;         // wintrust.dll and WinVerifyTrust were found
  bool raisedException = false;  // the call did not return normally
  uint32_t result = 0;           // WinVerifyTrust's return value
  uint32_t lastError = 0;        // the thread's last error right after the call
};

// 0 trusted; 1 no signature; 2 explicitly distrusted; 3 bad digest or untrusted chain; 4 security
// settings; 5 not available; 6 anything else; 7 file not found, path not found or too many open
// files; 8 access or sharing denied; 9 subject form unknown; 10 revoked; 11 expired;
// 12 time stamp; 13 certificate signature; 14 another file error; 15 exception; 16 unknown
// provider.
// "No signature" is looked at again through the last error, which may name the real cause (the
// file could not be opened, say). A last error of 0 there does not make the file trusted: it
// stays "no signature".
int TrustOutcome(const TrustFacts& facts);

// Outcomes the run accepts: 0, 4-11 and 13.
bool TrustOutcomeAccepted(int outcome);

// The system error that goes with an outcome in the corrupt-installer message: the code that
// decided it (632 when the call was not available, 0 after an exception).
uint32_t TrustOutcomeSystemError(const TrustFacts& facts);

}  // namespace setup
