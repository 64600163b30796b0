#pragma once
// The named bits of the two option words: ProductFlags (64 bits, from the settings) and
// ProductFlags2 (32 bits, the container header's flag word). One definition for the engine, which
// tests them, and the builder, which sets them from a project's options.

namespace setup {

namespace flag {
inline constexpr int MustUninstallFirst = 0;
inline constexpr int UninstallerStartMenuShortcut = 1;
inline constexpr int Uninstaller = 2;
inline constexpr int GreetingInAutomaticMode = 3;
inline constexpr int UninstallAsksForFonts = 4;
inline constexpr int AlwaysWriteLog = 6;
inline constexpr int FolderPage = 7;
inline constexpr int SingleInstance = 8;
inline constexpr int QuietUninstall = 9;
inline constexpr int UninstallRemovesFolder = 10;
inline constexpr int ReplaceNewFilesAtReboot = 11;
inline constexpr int AddToPath = 12;
inline constexpr int RestartRequired = 14;
inline constexpr int BackgroundBitmap = 15;
inline constexpr int RequiresMasterProduct = 16;
inline constexpr int UninstallAsksForSharedFiles = 17;
inline constexpr int VerifyFiles = 18;
inline constexpr int ClearProtectedAttributes = 19;
inline constexpr int VerboseLog = 20;
inline constexpr int NoCancelDuringProgress = 21;
inline constexpr int NoCompletionNotice = 22;
inline constexpr int HidePreInstallBatch = 23;
inline constexpr int HidePostInstallBatch = 24;
inline constexpr int HideExitBatch = 25;
inline constexpr int UninstallBatch1Option = 26;
inline constexpr int UninstallBatch2Option = 27;
inline constexpr int NoReinstallConfirmation = 28;
inline constexpr int NoBackgroundWindow = 29;
inline constexpr int UninstallerDesktopShortcut = 33;
inline constexpr int StartMenuPage = 34;
inline constexpr int ErrorsInAutomaticMode = 35;
inline constexpr int CompareVersions = 36;
inline constexpr int UninstallerShortcutInUninstallFolder = 38;
inline constexpr int BackgroundMaximized = 40;
inline constexpr int RebootQuestionInAutomaticMode = 41;
inline constexpr int FixedDisplayTitle = 42;
inline constexpr int NoGreetingPage = 43;
inline constexpr int SecondUpgradeQuestion = 44;
inline constexpr int UninstallRestarts = 45;
inline constexpr int CopyReadmeTexts = 46;
inline constexpr int CopyLicenseTexts = 47;
inline constexpr int HidePaths = 49;
inline constexpr int GrantFolderRights = 50;
inline constexpr int ProgressWindow = 51;
inline constexpr int RebootMarker = 53;
inline constexpr int UninstallKeepsLog = 54;
inline constexpr int PortableWithoutUninstaller = 56;
inline constexpr int OfferLogView = 57;
inline constexpr int DesktopFolderDefault = 58;
inline constexpr int LogShortcut = 59;
inline constexpr int HideUpgradeBatch = 60;
inline constexpr int HideReinstallBatch = 61;
inline constexpr int SharedFolderRights = 62;
// Set by the builder from the archive settings rather than from the options.
inline constexpr int ArchiveCompressed = 5;  // the chunks are xz-compressed
}  // namespace flag

namespace flag2 {
inline constexpr int ReinstallBatchSameVersionOnly = 0;
inline constexpr int RestorePoint = 1;
inline constexpr int FinishRunChecked = 2;
inline constexpr int FinishOpenDocumentChecked = 3;
inline constexpr int FinishSecondDocumentChecked = 4;
inline constexpr int UninstallerWithoutData = 5;
inline constexpr int LogPreInstallBatch = 6;
inline constexpr int LogPostInstallBatch = 7;
inline constexpr int LogUpgradeBatch = 8;
inline constexpr int LogReinstallBatch = 9;
inline constexpr int ButtonImages = 10;
inline constexpr int NoShortcutsOnRemovable = 11;
inline constexpr int PreviousInstallFileOperation = 13;
inline constexpr int NoRegistryOnRemovable = 15;
inline constexpr int NoSpaceCheckForUnicodePaths = 16;
inline constexpr int NoAssociationsOnRemovable = 17;
inline constexpr int UninstallCompletionMessage = 18;
inline constexpr int NoFirewallOnRemovable = 19;
inline constexpr int UninstallerShortcutInInstallFolder = 21;
inline constexpr int LiveSpaceLines = 22;
inline constexpr int LicenseScrollToEnd = 23;
inline constexpr int Enciphered = 12;  // block and chunks enciphered; set from the archive settings
}  // namespace flag2

}  // namespace setup
