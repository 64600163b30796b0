#include "setup/integrity.h"

#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

#include "lib/win32/handle.h"
#include "lib/win32/system_library.h"
#include "setup/errors.h"
#include "setup/install_context.h"

namespace setup {

namespace {

constexpr uint32_t kIntegrityChecksum = 1;
constexpr uint32_t kIntegritySignature = 2;

using WinVerifyTrustFn = LONG(WINAPI*)(HWND, GUID*, LPVOID);

// Loaded once and kept: the library stays for the process.
WinVerifyTrustFn LoadWinVerifyTrust() {
  static vk::ModuleHandle library;
  static WinVerifyTrustFn function = nullptr;
  if (function) return function;
  if (!library) library.reset(vk::LoadSystemLibrary(L"wintrust.dll"));
  if (library)
    function = reinterpret_cast<WinVerifyTrustFn>(reinterpret_cast<void*>(GetProcAddress(library.get(), "WinVerifyTrust")));
  return function;
}

}  // namespace

TrustFacts VerifyFileSignature(const vk::Streng& path) {
  TrustFacts facts;
  WinVerifyTrustFn verify = LoadWinVerifyTrust();
  if (!verify) {
    facts.available = false;
    return facts;
  }
  WINTRUST_FILE_INFO file = {};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = vk::W(path);
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  // GCC has no structured exception handling: a fault inside the call reaches the crash filter
  // rather than outcome 15.
  SetLastError(0);
  facts.result = static_cast<uint32_t>(verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data));
  facts.lastError = GetLastError();
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return facts;
}

void verifyIntegrity(Container& c, uint32_t mode) {
  const int front = ReadFront(*c.fileView, c.location, c.front);
  if (front != kOk) corruptInstaller(front, false);
  if (mode == kIntegrityChecksum) {
    if (EngineChecksum(c.front.data(), c.front.size(), c.location.peOffset) != c.header.engineChecksum)
      corruptInstaller(kEngineChecksumMismatch, false);
  } else if (mode == kIntegritySignature) {
    const TrustFacts facts = VerifyFileSignature(c.path);
    const int outcome = TrustOutcome(facts);
    if (!TrustOutcomeAccepted(outcome)) {
      SetLastError(TrustOutcomeSystemError(facts));
      corruptInstaller(1000 + outcome, true);
    }
  }
}

void buildEngineImage(Container& c) {
  InstallContext& context = Context();
  if (!(context.ProductFlags2 & kBuildEngineImage)) {
    // The whole file would hold the archive too (file mode): it is copied when it is written.
    context.engineImageIsWholeFile = true;
    context.engineImage.clear();
    return;
  }
  const int built = BuildEngineImage(*c.fileView, c.location, c.front, context.ProductFlags2, context.engineImage);
  if (built != kOk) corruptInstaller(built, false);
  context.engineImageIsWholeFile = false;
}

}  // namespace setup
