#include <gtest/gtest.h>

#include "setup/core/trust_outcome.h"

namespace {

using setup::TrustFacts;
using setup::TrustOutcome;
using setup::TrustOutcomeAccepted;
namespace trust = setup::trust;

struct Case {
  const char* name;
  TrustFacts facts;
  int outcome;
};

TEST(TrustOutcome, EveryAnswerHasItsOutcome) {
  const Case cases[] = {
      {"trusted", {true, false, 0, 0}, 0},
      {"unsigned, last error agrees", {true, false, trust::kNoSignature, trust::kNoSignature}, 1},
      {"unsigned, last error 0 stays unsigned", {true, false, trust::kNoSignature, 0}, 1},
      {"unsigned, file not found behind it", {true, false, trust::kNoSignature, 2}, 7},
      {"unsigned, path not found as HRESULT", {true, false, trust::kNoSignature, 0x80070003}, 7},
      {"unsigned, too many open files", {true, false, trust::kNoSignature, 4}, 7},
      {"unsigned, access denied", {true, false, trust::kNoSignature, 5}, 8},
      {"unsigned, sharing violation", {true, false, trust::kNoSignature, 32}, 8},
      {"unsigned, another file error", {true, false, trust::kNoSignature, 123}, 14},
      {"unsigned, device not ready", {true, false, trust::kNoSignature, 21}, 14},
      {"unsigned, unclassified open failure", {true, false, trust::kNoSignature, 1450}, 6},
      {"unsigned, E_FAIL is unclassified", {true, false, trust::kNoSignature, 0x80004005}, 6},
      {"unsigned, form unknown behind it", {true, false, trust::kNoSignature, trust::kSubjectFormUnknown}, 9},
      {"unsigned, provider unknown behind it", {true, false, trust::kNoSignature, trust::kProviderUnknown}, 16},
      {"distrusted", {true, false, trust::kExplicitDistrust, 0}, 2},
      {"bad digest", {true, false, trust::kBadDigest, 0}, 3},
      {"subject not trusted", {true, false, trust::kSubjectNotTrusted, 0}, 3},
      {"untrusted root", {true, false, trust::kUntrustedRoot, 0}, 3},
      {"chaining", {true, false, trust::kChaining, 0}, 3},
      {"security settings", {true, false, trust::kSecuritySettings, 0}, 4},
      {"not available", {false, false, 0, 0}, 5},
      {"not available wins over an exception", {false, true, 0, 0}, 5},
      {"another result", {true, false, 0x80090008, 0}, 6},
      {"form unknown", {true, false, trust::kSubjectFormUnknown, 0}, 9},
      {"revoked", {true, false, trust::kRevoked, 0}, 10},
      {"expired", {true, false, trust::kExpired, 0}, 11},
      {"time stamp", {true, false, trust::kTimeStamp, 0}, 12},
      {"certificate signature", {true, false, trust::kCertSignature, 0}, 13},
      {"exception", {true, true, 0, 0}, 15},
      {"provider unknown", {true, false, trust::kProviderUnknown, 0}, 16},
      // Only "no signature" is looked at again: the last error of another answer does not count.
      {"expired with a file error behind it", {true, false, trust::kExpired, 2}, 11},
  };
  for (const Case& c : cases) EXPECT_EQ(c.outcome, TrustOutcome(c.facts)) << c.name;
}

TEST(TrustOutcome, AcceptedOutcomes) {
  std::string accepted;
  for (int n = -1; n <= 17; ++n)
    if (TrustOutcomeAccepted(n)) accepted += std::to_string(n) + " ";
  EXPECT_EQ("0 4 5 6 7 8 9 10 11 13 ", accepted);
}

TEST(TrustOutcome, SystemErrorOfTheMessage) {
  EXPECT_EQ(632u, setup::TrustOutcomeSystemError({false, false, 0, 0}));
  EXPECT_EQ(0u, setup::TrustOutcomeSystemError({true, true, trust::kExpired, 5}));
  EXPECT_EQ(trust::kNoSignature, setup::TrustOutcomeSystemError({true, false, trust::kNoSignature, 0}));
  EXPECT_EQ(5u, setup::TrustOutcomeSystemError({true, false, trust::kNoSignature, 5}));
  EXPECT_EQ(trust::kTimeStamp, setup::TrustOutcomeSystemError({true, false, trust::kTimeStamp, 7}));
}

}  // namespace
