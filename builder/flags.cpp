#include "builder/flags.h"

#include "setup/core/product_flags.h"

namespace builder {

namespace {

using W = FlagWord;
namespace flag = setup::flag;
namespace flag2 = setup::flag2;

constexpr NamedFlag kFlags[] = {
    {"must_uninstall_first", W::Product, flag::MustUninstallFirst, "an older version must be uninstalled before this one installs"},
    {"uninstaller_start_menu_shortcut", W::Product, flag::UninstallerStartMenuShortcut, "a shortcut to the uninstaller in the Start Menu folder"},
    {"uninstaller", W::Product, flag::Uninstaller, "the product has an uninstaller: previous-installation checks, uninstall data and entry"},
    {"greeting_in_automatic_mode", W::Product, flag::GreetingInAutomaticMode, "the greeting page is shown even in automatic mode"},
    {"uninstall_asks_for_fonts", W::Product, flag::UninstallAsksForFonts, "the uninstaller asks before removing each font"},
    {"always_write_log", W::Product, flag::AlwaysWriteLog, "Install.log is written after every run, not only after a failed one"},
    {"folder_page", W::Product, flag::FolderPage, "the installation folder page is shown for a new installation"},
    {"single_instance", W::Product, flag::SingleInstance, "only one installer runs at a time"},
    {"quiet_uninstall", W::Product, flag::QuietUninstall, "the uninstaller asks nothing and shows no final message"},
    {"uninstall_removes_folder", W::Product, flag::UninstallRemovesFolder, "the uninstaller deletes the whole installation folder tree"},
    {"replace_new_files_at_reboot", W::Product, flag::ReplaceNewFilesAtReboot, "locked targets that did not exist before are also replaced at restart"},
    {"add_to_path", W::Product, flag::AddToPath, "the installation folder (or its path subfolder) is added to PATH"},
    {"restart_required", W::Product, flag::RestartRequired, "a restart follows the installation"},
    {"background_bitmap", W::Product, flag::BackgroundBitmap, "the uninstaller keeps and shows the background picture"},
    {"requires_master_product", W::Product, flag::RequiresMasterProduct, "the product needs a master product installed first"},
    {"uninstall_asks_for_shared_files", W::Product, flag::UninstallAsksForSharedFiles, "the uninstaller asks before deleting an unused shared file"},
    {"verify_files", W::Product, flag::VerifyFiles, "written files are read back and compared"},
    {"clear_protected_attributes", W::Product, flag::ClearProtectedAttributes, "read-only, hidden and system attributes are cleared after a failed write"},
    {"verbose_log", W::Product, flag::VerboseLog, "the install log lists successes too"},
    {"no_cancel_during_progress", W::Product, flag::NoCancelDuringProgress, "the progress page's Cancel button is disabled"},
    {"no_completion_notice", W::Product, flag::NoCompletionNotice, "no message at the end of a successful run"},
    {"hide_pre_install_batch", W::Product, flag::HidePreInstallBatch, "the Pre-Installation Batch runs hidden"},
    {"hide_post_install_batch", W::Product, flag::HidePostInstallBatch, "the Post-Installation Batch runs hidden"},
    {"hide_exit_batch", W::Product, flag::HideExitBatch, "the Installation-Exit Batch runs hidden"},
    {"uninstall_batch1_option", W::Product, flag::UninstallBatch1Option, "batch option of the first uninstall batch"},
    {"uninstall_batch2_option", W::Product, flag::UninstallBatch2Option, "batch option of the second uninstall batch"},
    {"no_reinstall_confirmation", W::Product, flag::NoReinstallConfirmation, "no confirmation question over a previous installation"},
    {"no_background_window", W::Product, flag::NoBackgroundWindow, "no full-screen background window"},
    {"uninstaller_desktop_shortcut", W::Product, flag::UninstallerDesktopShortcut, "a shortcut to the uninstaller on the desktop"},
    {"start_menu_page", W::Product, flag::StartMenuPage, "the Start Menu folder page is shown"},
    {"errors_in_automatic_mode", W::Product, flag::ErrorsInAutomaticMode, "error boxes are shown even in automatic mode"},
    {"compare_versions", W::Product, flag::CompareVersions, "versions are compared to classify a run over a previous installation"},
    {"uninstaller_shortcut_in_uninstall_folder", W::Product, flag::UninstallerShortcutInUninstallFolder, "a shortcut to the uninstaller in the uninstall folder"},
    {"background_maximized", W::Product, flag::BackgroundMaximized, "the background window is shown maximised"},
    {"reboot_question_in_automatic_mode", W::Product, flag::RebootQuestionInAutomaticMode, "the restart question is asked even in automatic mode"},
    {"fixed_display_title", W::Product, flag::FixedDisplayTitle, "the background title does not follow the chosen language"},
    {"no_greeting_page", W::Product, flag::NoGreetingPage, "no greeting page"},
    {"second_upgrade_question", W::Product, flag::SecondUpgradeQuestion, "a second question before upgrading old versions"},
    {"uninstall_restarts", W::Product, flag::UninstallRestarts, "the uninstaller restarts Windows at its end"},
    {"copy_readme_texts", W::Product, flag::CopyReadmeTexts, "the readme texts are copied into the installation folder"},
    {"copy_license_texts", W::Product, flag::CopyLicenseTexts, "the licence texts are copied into the installation folder"},
    {"hide_paths", W::Product, flag::HidePaths, "the progress window shows no paths"},
    {"grant_folder_rights", W::Product, flag::GrantFolderRights, "everyone gets full access to the installation folder"},
    {"progress_window", W::Product, flag::ProgressWindow, "the progress window is shown"},
    {"reboot_marker", W::Product, flag::RebootMarker, "a \"reboot.dat\" marker is left until the next restart"},
    {"uninstall_keeps_log", W::Product, flag::UninstallKeepsLog, "the uninstaller keeps Install.log"},
    {"portable_without_uninstaller", W::Product, flag::PortableWithoutUninstaller, "a portable installation has no uninstaller"},
    {"offer_log_view", W::Product, flag::OfferLogView, "the finish page offers to show the install log"},
    {"desktop_folder_default", W::Product, flag::DesktopFolderDefault, "an empty desktop folder name becomes the product name"},
    {"log_shortcut", W::Product, flag::LogShortcut, "a Start Menu shortcut to the install log"},
    {"hide_upgrade_batch", W::Product, flag::HideUpgradeBatch, "the Upgrade Batch runs hidden"},
    {"hide_reinstall_batch", W::Product, flag::HideReinstallBatch, "the Reinstall Batch runs hidden"},
    {"shared_folder_rights", W::Product, flag::SharedFolderRights, "the shared folder gets access rights too"},

    {"reinstall_batch_same_version_only", W::Product2, flag2::ReinstallBatchSameVersionOnly, "the Reinstall Batch runs only for a reinstallation of the same version"},
    {"restore_point", W::Product2, flag2::RestorePoint, "a system restore point is made"},
    {"finish_run_checked", W::Product2, flag2::FinishRunChecked, "the finish page's run-program box starts checked"},
    {"finish_open_document_checked", W::Product2, flag2::FinishOpenDocumentChecked, "the finish page's open-document box starts checked"},
    {"finish_second_document_checked", W::Product2, flag2::FinishSecondDocumentChecked, "the finish page's further-document box starts checked"},
    {"uninstaller_without_data", W::Product2, flag2::UninstallerWithoutData, "the uninstaller copy leaves out the installation data"},
    {"log_pre_install_batch", W::Product2, flag2::LogPreInstallBatch, "the Pre-Installation Batch is titled and its output logged"},
    {"log_post_install_batch", W::Product2, flag2::LogPostInstallBatch, "the Post-Installation Batch is titled and its output logged"},
    {"log_upgrade_batch", W::Product2, flag2::LogUpgradeBatch, "the Upgrade Batch is titled and its output logged"},
    {"log_reinstall_batch", W::Product2, flag2::LogReinstallBatch, "the Reinstall Batch is titled and its output logged"},
    {"button_images", W::Product2, flag2::ButtonImages, "wizard buttons show images"},
    {"no_shortcuts_on_removable", W::Product2, flag2::NoShortcutsOnRemovable, "no shortcuts when installing to a removable drive"},
    {"previous_install_file_operation", W::Product2, flag2::PreviousInstallFileOperation, "the previous-installation text names a file operation"},
    {"no_registry_on_removable", W::Product2, flag2::NoRegistryOnRemovable, "no registry entries when installing to a removable drive"},
    {"no_space_check_for_unicode_paths", W::Product2, flag2::NoSpaceCheckForUnicodePaths, "no disk-space check for a folder that is not 7-bit text"},
    {"no_associations_on_removable", W::Product2, flag2::NoAssociationsOnRemovable, "no file associations when installing to a removable drive"},
    {"uninstall_completion_message", W::Product2, flag2::UninstallCompletionMessage, "the uninstaller says when it has finished"},
    {"no_firewall_on_removable", W::Product2, flag2::NoFirewallOnRemovable, "no firewall changes when installing to a removable drive"},
    {"uninstaller_shortcut_in_install_folder", W::Product2, flag2::UninstallerShortcutInInstallFolder, "a shortcut to the uninstaller in the installation folder"},
    {"live_space_lines", W::Product2, flag2::LiveSpaceLines, "the folder page updates its space lines as the folder changes"},
    {"license_scroll_to_end", W::Product2, flag2::LicenseScrollToEnd, "the licence must be scrolled to its end before going on"},
};

}  // namespace

std::span<const NamedFlag> NamedFlags() { return kFlags; }

const NamedFlag* FindFlag(std::string_view name) {
  for (const auto& f : kFlags)
    if (f.name == name) return &f;
  return nullptr;
}

}  // namespace builder
