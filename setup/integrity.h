#pragma once
// The checks of the installer file that follow the settings, and the uninstaller's bytes.
#include <cstdint>

#include "setup/container_reader.h"
#include "setup/core/trust_outcome.h"

namespace setup {

// Integrity mode 1: the engine checksum (40); mode 2: the file's signature (1000 + outcome, with
// the system error); other modes check nothing. Reads the file in front of the section first
// (35), which the engine image reuses.
void verifyIntegrity(Container& c, uint32_t mode);

// The uninstaller's bytes into Context() (42). Without ProductFlags2 bit 5 the uninstaller is the
// file itself: nothing is read, the uninstall registration copies the file.
void buildEngineImage(Container& c);

// WinVerifyTrust on the file (WINTRUST_ACTION_GENERIC_VERIFY_V2, no user interface), wintrust.dll
// loaded from the system folder on first use.
TrustFacts VerifyFileSignature(const vk::Streng& path);

}  // namespace setup
