#include "setup/engine_services.h"

#include <windows.h>

#include "setup/install_context.h"
#include "setup/install_log.h"

namespace setup {

namespace {

class EngineReplacements final : public ReplacementContext {
public:
  vk::Streng Text(int n) override { return text(n); }
  bool ProductFlag(int bit) const override { return Context().hasProductFlag(bit); }
  void SetProductFlag(int bit) override { Context().settings.ProductFlags |= uint64_t(1) << bit; }
  void Log(const vk::Streng& line) override { LogTextW(line); }
  void AddFailure(const vk::Streng& entry) override { AddFailureText(entry); }
  bool AutomaticMode() const override { return Context().automaticMode; }
  bool SilentMode() const override { return Context().silentMode; }
  bool AskYesNo(const vk::Streng& message, const vk::Streng& caption) override {
    return setup::AskYesNo(message, caption);
  }
};

}  // namespace

bool AskYesNo(const vk::Streng& message, const vk::Streng& caption) {
  if (!WindowsAllowed()) return true;
  return MessageBoxW(nullptr, vk::W(message), vk::W(caption),
                     MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

ReplacementContext& EngineReplacementContext() {
  static EngineReplacements context;
  return context;
}

void UpdateLogContext() {
  InstallContext& c = Context();
  InstallLogContext& log = LogContext();
  log.productFlags = &c.settings.ProductFlags;
  log.failureSummary = &c.FailureSummary;
  log.productName = c.settings.ProductName;
  log.installFolder = c.installDir;
  log.uninstallSubdir = c.settings.UninstallSubdir;
  log.productVersion = c.settings.DisplayVersion;
  log.overwrittenVersion = c.previousInstallExists ? c.previousVersion : vk::Streng();
  log.problemReportUrl = vk::AnsiToStreng(c.settings.FailureAddress);
  log.automaticMode = c.automaticMode;
  log.windowsAllowed = WindowsAllowed();
  log.somethingToOffer = !c.settings.ApplicationCommand.empty() || !c.settings.DocumentPath.empty() ||
                         !c.settings.SecondDocumentPath.empty();
  log.text = [](int n) { return text(n); };
}

}  // namespace setup
