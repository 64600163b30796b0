#pragma once
// The one installation context: run-mode flags and command-line values, and the run state that
// the start-up, the error paths and the exit routine share. Process-wide, lives until exit.
#include <cstdint>
#include <vector>

#include "lib/strings.h"
#include "setup/core/command_line.h"
#include "setup/core/container.h"
#include "setup/core/previous_install.h"
#include "setup/core/settings.h"

namespace setup {

inline constexpr char kEngineTitle8[] = "Brimstead Setup";
inline constexpr char16_t kEngineTitle[] = u"Brimstead Setup";

struct InstallContext : CommandLine {
  InstallContext();

  void* instance = nullptr;         // the module instance handle
  unsigned long startingThread = 0; // windows belong to this thread only
  uint64_t sessionNumber = 0;       // also the uninstall entry's "Session"
  bool oleInitialized = false;

  // Every setting of the installation data, and the header's flag word (bit 10 adjusted to the
  // system). settingsLoaded: the settings are read, so text(n) has its table.
  InstallSettings settings;
  uint32_t ProductFlags2 = 0;
  bool settingsLoaded = false;

  // Bitness 1: switching off the WOW64 file-system redirection failed (the start-up checks
  // refuse a 64-bit product then). wow64RedirectionState is what the system handed back.
  bool wow64RedirectionFailed = false;
  void* wow64RedirectionState = nullptr;

  // The uninstaller's bytes. engineImageIsWholeFile: the uninstaller is the installer file as it
  // stands, copied from the file when it is written (not held here).
  Bytes engineImage;
  bool engineImageIsWholeFile = false;

  vk::Streng FailureSummary;

  // Run state of the installation sequence.
  vk::Streng installDir;    // InstallDir, chosen before the archive phase
  vk::Streng sharedDir;
  vk::Streng uninstallDir;  // the installation folder joined with UninstallSubdir
  vk::Streng startMenuFolder;
  vk::Streng masterFolder;  // the master product's folder, for a "<master>" default folder
  bool portable = false;    // the installation folder is on a removable drive
  // The previous installation as its uninstall entry tells it.
  bool previousInstallExists = false;  // its recorded folder exists
  vk::Streng previousFolder;
  vk::Streng previousVersion;
  vk::String previousSharedFiles;
  vk::Streng previousStartMenu;
  using RunKind = setup::RunKind;
  RunKind runKind = RunKind::Fresh;  // Fresh without a previous installation
  bool rebootRequested = false;
  uint64_t archiveItemsSize = 0;  // all items' data, for the uninstall entry's EstimatedSize
  // What the user ticked on the finish page.
  struct FinishChoices {
    bool openDocument = false, launchApplication = false, showLog = false, openSecondDocument = false;
  } finishChoices;

  // What the archive phase leaves for the later phases: what to remove at uninstallation (in
  // order), and the lists of the registration steps.
  struct RemovalRecord {
    enum Kind { File, Folder, RegistryKey } kind;
    vk::Streng path;
  };
  std::vector<RemovalRecord> removalRecords;
  std::vector<vk::String> sharedFiles;  // 8-bit target and its one-character mark
  std::vector<vk::Streng> comServers, typeLibraries, drivers;
  std::vector<vk::String> writtenFiles;  // 8-bit targets
  vk::String productFonts;               // the uninstall entry's font list
  vk::String sharedFilesList;            // the uninstall entry's SharedFiles: quoted, ";"-separated
  vk::String msiPackages;                // MSI packages to remove at uninstallation

  bool hasProductFlag(int bit) const { return bit >= 0 && bit < 64 && settings.hasFlag(bit); }
};

// Built on first use, so that the window layer's static objects may reach it before the entry.
InstallContext& Context();

// Windows may be created: not silent, and on the thread that started the process.
bool WindowsAllowed();

// Language text n of the chosen language, macros expanded; empty before the table is loaded or
// when it has no such text.
vk::Streng text(int n);

// Text n for use as a format: every "%" that a macro value brings in is doubled, so that a name
// or folder can never act as a conversion.
vk::Streng formatText(int n);

}  // namespace setup
