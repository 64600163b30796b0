#include "builder/flags.h"

namespace builder {

namespace {

using W = FlagWord;

constexpr NamedFlag kFlags[] = {
    {"must_uninstall_first", W::Product, 0, "an older version must be uninstalled before this one installs"},
    {"uninstaller_start_menu_shortcut", W::Product, 1, "a shortcut to the uninstaller in the Start Menu folder"},
    {"uninstaller", W::Product, 2, "the product has an uninstaller: previous-installation checks, uninstall data and entry"},
    {"greeting_in_automatic_mode", W::Product, 3, "the greeting page is shown even in automatic mode"},
    {"uninstall_asks_for_fonts", W::Product, 4, "the uninstaller asks before removing each font"},
    {"always_write_log", W::Product, 6, "Install.log is written after every run, not only after a failed one"},
    {"folder_page", W::Product, 7, "the installation folder page is shown for a new installation"},
    {"single_instance", W::Product, 8, "only one installer runs at a time"},
    {"quiet_uninstall", W::Product, 9, "the uninstaller asks nothing and shows no final message"},
    {"uninstall_removes_folder", W::Product, 10, "the uninstaller deletes the whole installation folder tree"},
    {"replace_new_files_at_reboot", W::Product, 11, "locked targets that did not exist before are also replaced at restart"},
    {"add_to_path", W::Product, 12, "the installation folder (or its path subfolder) is added to PATH"},
    {"restart_required", W::Product, 14, "a restart follows the installation"},
    {"background_bitmap", W::Product, 15, "the uninstaller keeps and shows the background picture"},
    {"requires_master_product", W::Product, 16, "the product needs a master product installed first"},
    {"uninstall_asks_for_shared_files", W::Product, 17, "the uninstaller asks before deleting an unused shared file"},
    {"verify_files", W::Product, 18, "written files are read back and compared"},
    {"clear_protected_attributes", W::Product, 19, "read-only, hidden and system attributes are cleared after a failed write"},
    {"verbose_log", W::Product, 20, "the install log lists successes too"},
    {"no_cancel_during_progress", W::Product, 21, "the progress page's Cancel button is disabled"},
    {"no_completion_notice", W::Product, 22, "no message at the end of a successful run"},
    {"hide_pre_install_batch", W::Product, 23, "the Pre-Installation Batch runs hidden"},
    {"hide_post_install_batch", W::Product, 24, "the Post-Installation Batch runs hidden"},
    {"hide_exit_batch", W::Product, 25, "the Installation-Exit Batch runs hidden"},
    {"uninstall_batch1_option", W::Product, 26, "batch option of the first uninstall batch"},
    {"uninstall_batch2_option", W::Product, 27, "batch option of the second uninstall batch"},
    {"no_reinstall_confirmation", W::Product, 28, "no confirmation question over a previous installation"},
    {"no_background_window", W::Product, 29, "no full-screen background window"},
    {"uninstaller_desktop_shortcut", W::Product, 33, "a shortcut to the uninstaller on the desktop"},
    {"start_menu_page", W::Product, 34, "the Start Menu folder page is shown"},
    {"errors_in_automatic_mode", W::Product, 35, "error boxes are shown even in automatic mode"},
    {"compare_versions", W::Product, 36, "versions are compared to classify a run over a previous installation"},
    {"uninstaller_shortcut_in_uninstall_folder", W::Product, 38, "a shortcut to the uninstaller in the uninstall folder"},
    {"background_maximized", W::Product, 40, "the background window is shown maximised"},
    {"reboot_question_in_automatic_mode", W::Product, 41, "the restart question is asked even in automatic mode"},
    {"fixed_display_title", W::Product, 42, "the background title does not follow the chosen language"},
    {"no_greeting_page", W::Product, 43, "no greeting page"},
    {"second_upgrade_question", W::Product, 44, "a second question before upgrading old versions"},
    {"uninstall_restarts", W::Product, 45, "the uninstaller restarts Windows at its end"},
    {"copy_readme_texts", W::Product, 46, "the readme texts are copied into the installation folder"},
    {"copy_license_texts", W::Product, 47, "the licence texts are copied into the installation folder"},
    {"hide_paths", W::Product, 49, "the progress window shows no paths"},
    {"grant_folder_rights", W::Product, 50, "everyone gets full access to the installation folder"},
    {"progress_window", W::Product, 51, "the progress window is shown"},
    {"reboot_marker", W::Product, 53, "a \"reboot.dat\" marker is left until the next restart"},
    {"uninstall_keeps_log", W::Product, 54, "the uninstaller keeps Install.log"},
    {"portable_without_uninstaller", W::Product, 56, "a portable installation has no uninstaller"},
    {"offer_log_view", W::Product, 57, "the finish page offers to show the install log"},
    {"desktop_folder_default", W::Product, 58, "an empty desktop folder name becomes the product name"},
    {"log_shortcut", W::Product, 59, "a Start Menu shortcut to the install log"},
    {"hide_upgrade_batch", W::Product, 60, "the Upgrade Batch runs hidden"},
    {"hide_reinstall_batch", W::Product, 61, "the Reinstall Batch runs hidden"},
    {"shared_folder_rights", W::Product, 62, "the shared folder gets access rights too"},

    {"reinstall_batch_same_version_only", W::Product2, 0, "the Reinstall Batch runs only for a reinstallation of the same version"},
    {"restore_point", W::Product2, 1, "a system restore point is made"},
    {"finish_run_checked", W::Product2, 2, "the finish page's run-program box starts checked"},
    {"finish_open_document_checked", W::Product2, 3, "the finish page's open-document box starts checked"},
    {"finish_second_document_checked", W::Product2, 4, "the finish page's further-document box starts checked"},
    {"uninstaller_without_data", W::Product2, 5, "the uninstaller copy leaves out the installation data"},
    {"log_pre_install_batch", W::Product2, 6, "the Pre-Installation Batch is titled and its output logged"},
    {"log_post_install_batch", W::Product2, 7, "the Post-Installation Batch is titled and its output logged"},
    {"log_upgrade_batch", W::Product2, 8, "the Upgrade Batch is titled and its output logged"},
    {"log_reinstall_batch", W::Product2, 9, "the Reinstall Batch is titled and its output logged"},
    {"button_images", W::Product2, 10, "wizard buttons show images"},
    {"no_shortcuts_on_removable", W::Product2, 11, "no shortcuts when installing to a removable drive"},
    {"previous_install_file_operation", W::Product2, 13, "the previous-installation text names a file operation"},
    {"no_registry_on_removable", W::Product2, 15, "no registry entries when installing to a removable drive"},
    {"no_space_check_for_unicode_paths", W::Product2, 16, "no disk-space check for a folder that is not 7-bit text"},
    {"no_associations_on_removable", W::Product2, 17, "no file associations when installing to a removable drive"},
    {"uninstall_completion_message", W::Product2, 18, "the uninstaller says when it has finished"},
    {"no_firewall_on_removable", W::Product2, 19, "no firewall changes when installing to a removable drive"},
    {"uninstaller_shortcut_in_install_folder", W::Product2, 21, "a shortcut to the uninstaller in the installation folder"},
    {"live_space_lines", W::Product2, 22, "the folder page updates its space lines as the folder changes"},
    {"license_scroll_to_end", W::Product2, 23, "the licence must be scrolled to its end before going on"},
};

}  // namespace

std::span<const NamedFlag> NamedFlags() { return kFlags; }

const NamedFlag* FindFlag(std::string_view name) {
  for (const auto& f : kFlags)
    if (f.name == name) return &f;
  return nullptr;
}

}  // namespace builder
